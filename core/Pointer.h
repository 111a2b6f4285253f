#pragma once

#include <QCursor>
#include <QObject>

#include <optional>

class QWidget;

// Pointers of the program's windows.

// Loads a cursor file (".cur", read by Qt's ico image plugin) with the hot spot the file
// names. Throws Failure when the file cannot be read as a cursor.
QCursor LoadCursorFile(const QString& path);

// The hand cursor "HAND-M.CUR" beside the program when that file exists, else nothing.
// Throws Failure when the file exists but cannot be read.
std::optional<QCursor> LoadHandCursor();

// The busy pointer that chart generation shows on the main window.
void SetBusyPointer(QWidget* window, bool busy);
bool IsBusyPointer(const QWidget* window);

// The pointer rule of a window: over a push button the window's pointer becomes the custom
// pointer (the arrow when there is none); over the window's background, a frame or a list it
// becomes the default pointer; neither happens while the window shows the busy pointer.
// Install once per window, after its controls exist; it watches the window's push buttons,
// frames, lists and the window itself.
class PointerRule : public QObject {
    Q_OBJECT
public:
    explicit PointerRule(QWidget* window);

    void setCustomPointer(const QCursor& cursor) { m_custom = cursor; }
    const QCursor& customPointer() const { return m_custom; }

    // What the rule does when the mouse comes over widget (exposed for tests).
    void pointerOver(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QCursor m_custom{Qt::ArrowCursor};
};
