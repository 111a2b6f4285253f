#pragma once

#include <QObject>

#include <array>

class EntryTableModel;
class LogModel;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeView;
class QWidget;

// The main window's controls that show the log.
struct LogControls {
    QWidget* window = nullptr;       // parent of the entry dialogs
    QRadioButton* Option1 = nullptr; // "Male": the imperial log
    QRadioButton* Option2 = nullptr; // "Female": the metric log
    std::array<QLabel*, 2> Label1{}; // captions of the height fields
    QLineEdit* Text1 = nullptr;      // first height field
    QLineEdit* Text2 = nullptr;      // second height field
    QTreeView* ListView1 = nullptr;  // the active log's rows
};

// Keeps the controls and the log model in step: selecting an option runs the switch, typing
// in a height field stores it, the list shows the model's rows and selection, and whatever the
// model changes (a command, undo, a switch) shows in the controls.
class LogView : public QObject {
    Q_OBJECT
public:
    LogView(const LogControls& controls, LogModel& model, QObject* parent = nullptr);

    const LogControls& controls() const { return m_c; }
    LogModel& model() const { return m_model; }
    EntryTableModel* tableModel() const { return m_table; }

    // The switch as the option with this number (1 or 2) runs it.
    void SwitchTemplate(int which);

    // What a screen reader calls the height fields: "Height, feet" and "Height, inches", or
    // "Height, metres" and "Height, centimetres".
    static std::array<QString, 2> HeightFieldNames(bool imperial);

    // The date column as designed; the others share the rest of the list's width, each at
    // least as wide as its caption.
    void fitColumns();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showHeight(int field, const QString& text);
    void heightEdited(int field);
    void showSelection();
    void takeSelection();
    void nameHeightFields(bool imperial);

    LogControls m_c;
    LogModel& m_model;
    EntryTableModel* m_table;
    // Kept apart from the list: its events still arrive while the list is half destroyed.
    QWidget* m_listViewport = nullptr;
    bool m_showingSelection = false;
};
