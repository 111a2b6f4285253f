#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// A clearly visible ring around the control of `window` that has the keyboard focus, drawn
// over the window in the palette's highlight colour, 2 pixels wide (the styles' own hint is a
// thin line that is easy to miss). It lets the mouse through and takes no focus itself.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    explicit FocusRing(QWidget* window);

    // The control the ring stands around, or null while the focus is elsewhere.
    QWidget* target() const { return m_target; }

    // A control that sits flush against its neighbours (a picture area between its scroll
    // bars) gets the ring just inside its edge. A tab row always gets it around its current
    // tab.
    void placeInside(QWidget* control) { m_inside.append(control); }

    static constexpr int Width = 2;
    static constexpr int Gap = 1;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focus);
    void place();

    QPointer<QWidget> m_target;
    QList<QPointer<QWidget>> m_inside;
    QMetaObject::Connection m_tabChange;
};
