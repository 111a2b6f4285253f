#include "FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QTabBar>

FocusRing::FocusRing(QWidget* window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    follow(QApplication::focusWidget());
}

void FocusRing::follow(QWidget* focus)
{
    if (m_target)
        m_target->removeEventFilter(this);
    disconnect(m_tabChange);
    m_target = focus && focus != this && focus->window() == parentWidget() ? focus : nullptr;
    if (!m_target) {
        hide();
        return;
    }
    m_target->installEventFilter(this);
    if (auto* tabs = qobject_cast<QTabBar*>(focus))
        m_tabChange = connect(tabs, &QTabBar::currentChanged, this, [this] { place(); });
    place();
}

void FocusRing::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    QRect r = m_target->rect();
    if (auto* tabs = qobject_cast<QTabBar*>(m_target); tabs && tabs->currentIndex() >= 0)
        r = tabs->tabRect(tabs->currentIndex());
    const int margin = m_inside.contains(m_target) ? -Gap : Width + Gap;
    const QRect around(m_target->mapTo(parentWidget(), r.topLeft()), r.size());
    setGeometry(around.adjusted(-margin, -margin, margin, margin));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide: place(); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), Width);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = Width / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 3, 3);
}
