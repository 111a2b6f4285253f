#pragma once

#include <QPointer>
#include <QWidget>

// A ring in the highlight colour around whichever control of a window has the keyboard
// focus, drawn above the controls and ignoring the mouse, so that the focus is plain to see
// whatever the style draws. Controls that fill a frame (a picture area between its scroll
// bars) get it just inside their edge; a tab row gets it around its current tab.
class PreviewFocusRing : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 2;

    explicit PreviewFocusRing(QWidget* window);

    // The control the ring is around, or null when it is hidden.
    QWidget* target() const { return m_target; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focus);
    void place();

    QPointer<QWidget> m_target;
    QMetaObject::Connection m_tabChange;
};
