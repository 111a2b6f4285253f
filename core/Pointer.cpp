#include "Pointer.h"

#include "Constants.h"
#include "Failure.h"
#include "ProgramFiles.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QPixmap>
#include <QPushButton>
#include <QtEndian>
#include <QWidget>

namespace {

// Hot spot of the first image of a cursor file: the directory entry holds it where an icon
// holds its planes and bit count.
QPoint CursorHotSpot(const QByteArray& data)
{
    if (data.size() < 6 + 16)
        return QPoint(0, 0);
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (qFromLittleEndian<quint16>(bytes + 2) != 2)
        return QPoint(0, 0);
    return QPoint(qFromLittleEndian<quint16>(bytes + 6 + 4), qFromLittleEndian<quint16>(bytes + 6 + 6));
}

bool IsList(QWidget* widget) { return qobject_cast<QAbstractItemView*>(widget) != nullptr; }

} // namespace

QCursor LoadCursorFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QImageReader::supportedImageFormats().contains("cur"))
        throw Failure(QStringLiteral("The cursor %1 cannot be loaded: cursor files are not supported (the Qt image "
                                     "plugin for .ico and .cur files is missing).")
                          .arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The cursor %1 cannot be read: %2").arg(shown, file.errorString()));
    const QByteArray data = file.readAll();
    QImage image;
    if (!image.loadFromData(data, "CUR") || image.isNull())
        throw Failure(QStringLiteral("The cursor %1 is not a valid cursor file.").arg(shown));
    QPoint hot = CursorHotSpot(data);
    if (hot.x() >= image.width() || hot.y() >= image.height())
        hot = QPoint(0, 0);
    return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

std::optional<QCursor> LoadHandCursor()
{
    const QString path = BesideProgram(HandCursorFileName);
    if (!FileExists(path))
        return std::nullopt;
    return LoadCursorFile(path);
}

void SetBusyPointer(QWidget* window, bool busy)
{
    if (busy)
        window->setCursor(Qt::WaitCursor);
    else
        window->setCursor(Qt::ArrowCursor);
}

bool IsBusyPointer(const QWidget* window) { return window->cursor().shape() == Qt::WaitCursor; }

PointerRule::PointerRule(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QPushButton*>(child) || qobject_cast<QGroupBox*>(child))
            child->installEventFilter(this);
        if (IsList(child)) {
            child->installEventFilter(this);
            static_cast<QAbstractScrollArea*>(child)->viewport()->installEventFilter(this);
        }
    }
}

void PointerRule::pointerOver(QWidget* widget)
{
    if (IsBusyPointer(m_window))
        return;
    if (qobject_cast<QPushButton*>(widget))
        m_window->setCursor(m_custom);
    else
        m_window->setCursor(Qt::ArrowCursor);
}

bool PointerRule::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    // A list's viewport stands for the list.
    if (widget->parentWidget() && IsList(widget->parentWidget()))
        widget = widget->parentWidget();
    switch (event->type()) {
    case QEvent::Enter: pointerOver(widget); break;
    case QEvent::Leave:
        // Leaving a button goes back to whatever lies under it: background or frame.
        if (qobject_cast<QPushButton*>(widget))
            pointerOver(widget->parentWidget() ? widget->parentWidget() : m_window);
        break;
    default: break;
    }
    return false;
}
