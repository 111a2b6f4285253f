#include "WindowSize.h"

#include "Constants.h"
#include "Guarded.h"
#include "Settings.h"

#include <QEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

WindowSizeMemory::WindowSizeMemory(QWidget* window, const QString& key, const QString& procedure)
    : QObject(window)
    , m_window(window)
    , m_key(key)
    , m_procedure(procedure)
{
    // Resizing by hand sends many sizes; the last one is stored.
    m_pending.setSingleShot(true);
    m_pending.setInterval(500);
    connect(&m_pending, &QTimer::timeout, this, &WindowSizeMemory::store);
    window->installEventFilter(this);
}

QSize WindowSizeMemory::ParseSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,5})\\s*x\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QSize();
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

QString WindowSizeMemory::SizeText(const QSize& size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

void WindowSizeMemory::restore()
{
    QSize size = ParseSize(ReadSetting(SettingsSection, m_key));
    if (!size.isValid())
        return;
    size = size.expandedTo(m_window->minimumSize());
    if (const QScreen* screen = m_window->screen())
        size = size.boundedTo(screen->availableGeometry().size()).expandedTo(m_window->minimumSize());
    m_restoring = true;
    m_window->resize(size);
    m_restoring = false;
    m_pending.stop();
}

void WindowSizeMemory::store()
{
    m_pending.stop();
    // A maximised or full-screen window keeps the size it had before.
    if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    const QString text = SizeText(m_window->size());
    if (ReadSetting(SettingsSection, m_key) == text)
        return;
    Guarded proc(m_procedure);
    proc(10, [&] { WriteSetting(SettingsSection, m_key, text); });
}

bool WindowSizeMemory::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Resize && !m_restoring && m_window->isVisible())
            m_pending.start();
        else if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
            if (m_pending.isActive())
                store();
    }
    return QObject::eventFilter(watched, event);
}
