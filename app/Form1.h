#pragma once

#include "LogView.h"

#include <QMainWindow>

#include <memory>
#include <random>

struct ActiveLogAccess;
class FocusRing;
class Form2;
class LogModel;
class PointerRule;
class QAction;
class QMenu;
class QGroupBox;
class WindowSizeMemory;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

// The main window: the log of the chosen template, its height, and the commands, with a menu
// bar above the designed controls and a status bar below them. The controls keep their
// designed places at the designed size, the smallest the window takes; a larger window gives
// the list the room and widens the buttons and frames by halves.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up, before the window is first shown.
    void Form_Load();

    QTreeView* ListView1() const { return m_controls.ListView1; }
    QRadioButton* Option1() const { return m_controls.Option1; }
    QRadioButton* Option2() const { return m_controls.Option2; }
    QLineEdit* Text1() const { return m_controls.Text1; }
    QLineEdit* Text2() const { return m_controls.Text2; }
    // Label1 index 0 and 1: the captions of the height fields.
    QLabel* Label1(int index) const { return m_controls.Label1.at(index); }
    QGroupBox* Frame1() const { return m_frame1; }
    QGroupBox* Frame2() const { return m_frame2; }
    // The active log's goal weight, beside the options that choose the log.
    QLineEdit* GoalField() const { return m_goal; }
    // PushButton1 ... PushButton7.
    QPushButton* PushButton(int n) const { return m_buttons.at(n - 1); }
    QPushButton* PushButton1() const { return PushButton(1); }
    const LogControls& controls() const { return m_controls; }
    PointerRule* pointerRule() const { return m_pointer; }
    // The active log; the list and the height fields show it.
    LogModel& logModel() const { return *m_log; }
    FocusRing* focusRing() const { return m_focusRing; }

    // The list's context menu: "Add New Entry", "Edit Selected Entry", "Delete Selected Entry",
    // "Undo", "Redo", set up for the row under pos (viewport coordinates), which it selects.
    QMenu* listMenu(const QPoint& pos);
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    // The menu bar's command with this object name ("Quit", "ClearList", ...).
    QAction* menuAction(const QString& name) const;
    // The area the designed controls stand in.
    QWidget* client() const { return m_client; }

    // The busy pointer chart generation shows; delete, clear and the example keep the rows
    // while it shows, and nothing is undone.
    void setBusyPointer(bool busy);
    bool isBusyPointer() const;

    // Set while a chart generation runs; a second click is refused.
    bool generationBusy = false;

    // The preview window, created when a generation first needs it.
    Form2* preview();
    Form2* existingPreview() const { return m_form2.get(); }

public slots:
    void PushButton1_Click(); // "Start Creating Template"
    void PushButton2_Click(); // "Add New Entry"
    void PushButton3_Click(); // "Delete Selected Entry"
    void PushButton4_Click(); // "Edit Selected Entry"
    void PushButton5_Click(); // "Clear List"
    void PushButton6_Click(); // "Help"
    void PushButton7_Click(); // "Load Sample/Example Data"

    void Undo();
    void Redo();

    // The menu bar's commands that have no button.
    void Import_Click();
    void ExportCsv_Click();
    void RestoreFromBackup_Click();
    void SortByDate_Click();
    void SetGoalWeight_Click();
    void Preferences_Click();

protected:
    // Closing the main window ends the program, whatever else is open.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createButtons();
    void createFrames();
    void createList();
    void setDesignTabOrder();
    void createMenus();
    void layOutControls();
    void nameControlsForScreenReaders();
    void sayUndoBringsBack(const QString& what, int stepsBefore);
    void ApplySkin();
    void setUpKeyboard();
    void blendIntoFrames();
    ActiveLogAccess activeLogAccess();
    void showStatus(const QString& text);
    void restoreOption(QRadioButton* option, const QString& key, const QString& defaultValue);

    QWidget* m_client = nullptr;
    LogControls m_controls;
    LogModel* m_log = nullptr;
    LogView* m_logView = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QLabel* m_goalCaption = nullptr;
    QLineEdit* m_goal = nullptr;
    QList<QPushButton*> m_buttons;
    PointerRule* m_pointer = nullptr;
    FocusRing* m_focusRing = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QMenu* m_listMenu = nullptr;
    WindowSizeMemory* m_size = nullptr;
    std::unique_ptr<Form2> m_form2;
    // One generator, seeded once, for the temporary workbook names.
    std::mt19937 m_rng{std::random_device{}()};
};
