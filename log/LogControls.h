#pragma once

#include <array>

class LogHistory;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QWidget;

// The main window's controls that the log works on. The main window fills this in; the log
// code never needs the window class itself.
struct LogControls {
    QWidget* window = nullptr;        // shows the busy pointer; parent of the entry dialogs
    QRadioButton* Option1 = nullptr;  // "Male": the imperial log
    QRadioButton* Option2 = nullptr;  // "Female": the metric log
    std::array<QLabel*, 2> Label1{};  // captions of the height fields
    QLineEdit* Text1 = nullptr;       // first height field
    QLineEdit* Text2 = nullptr;       // second height field
    QTreeWidget* ListView1 = nullptr; // the active log's working copy
    LogHistory* history = nullptr;    // undo and redo; optional
};
