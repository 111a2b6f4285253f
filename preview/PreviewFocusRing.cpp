#include "PreviewFocusRing.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QPainter>
#include <QTabBar>

PreviewFocusRing::PreviewFocusRing(QWidget* window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
}

void PreviewFocusRing::follow(QWidget* focus)
{
    if (m_target)
        m_target->removeEventFilter(this);
    disconnect(m_tabChange);
    m_target = nullptr;
    if (focus && focus != parentWidget() && parentWidget()->isAncestorOf(focus)) {
        m_target = focus;
        m_target->installEventFilter(this);
        if (auto* tabs = qobject_cast<QTabBar*>(focus))
            m_tabChange = connect(tabs, &QTabBar::currentChanged, this, [this] { place(); });
    }
    place();
}

void PreviewFocusRing::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    QRect r = m_target->rect();
    if (auto* tabs = qobject_cast<QTabBar*>(m_target); tabs && tabs->currentIndex() >= 0)
        r = tabs->tabRect(tabs->currentIndex());
    // A framed area sits flush against its neighbours: the ring goes just inside its edge.
    const bool inside = qobject_cast<QFrame*>(m_target) != nullptr;
    r = inside ? r.adjusted(1, 1, -1, -1) : r.adjusted(-kWidth - 1, -kWidth - 1, kWidth + 1, kWidth + 1);
    setGeometry(QRect(m_target->mapTo(parentWidget(), r.topLeft()), r.size()));
    raise();
    show();
    update();
}

bool PreviewFocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PreviewFocusRing::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor colour = palette().color(QPalette::Active, QPalette::Highlight);
    colour.setAlpha(255);
    p.setPen(QPen(colour, kWidth));
    p.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    p.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 3, 3);
}
