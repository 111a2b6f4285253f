// The keyboard-only flow on a real X server (Xvfb): add three entries, edit one, delete one,
// undo twice, redo once, generate, zoom in with Ctrl+plus, Esc back, close. Every key goes to whatever has the focus,
// as from a keyboard, and every step is checked against the stored settings.
//
// The steps run from timers, one after another, so that they go on while an entry dialog runs
// its own event loop; a step that waits polls without blocking.
#include "EntryDialog.h"
#include "LogModel.h"
#include "Form1.h"
#include "Form2.h"
#include "ProgramFiles.h"
#include "MessageBox.h"
#include "Settings.h"
#include "Constants.h"
#include "StoredLog.h"
#include "TestSupport.h"
#include "automation/Automation.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace {

QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, "<missing>"); }

class Script {
public:
    // An action; the next step is scheduled first, so an action that opens a modal dialog
    // (whose loop then runs the next steps) does not hold the script up.
    void then(const QString& name, std::function<void()> action)
    {
        m_steps.push_back({name, std::move(action), nullptr});
    }
    // Waits, polling, until the condition holds.
    void waitFor(const QString& name, std::function<bool()> condition)
    {
        m_steps.push_back({name, nullptr, std::move(condition)});
    }

    // Runs the steps; false when one timed out or the whole took too long.
    bool run(int timeoutMs)
    {
        QTimer::singleShot(0, [this] { next(); });
        QTimer::singleShot(timeoutMs, &m_loop, [this] {
            ADD_FAILURE() << "the flow did not finish; last step: " << m_current.toStdString();
            m_ok = false;
            m_loop.exit(1);
        });
        return m_loop.exec() == 0 && m_ok;
    }

private:
    struct Step {
        QString name;
        std::function<void()> action;
        std::function<bool()> condition;
    };

    void next()
    {
        if (m_index >= m_steps.size()) {
            m_loop.exit(0);
            return;
        }
        const Step& step = m_steps[m_index];
        m_current = step.name;
        if (step.condition) {
            if (!m_waiting.isValid())
                m_waiting.start();
            if (!step.condition()) {
                if (m_waiting.elapsed() > 10000) {
                    ADD_FAILURE() << "step timed out: " << step.name.toStdString();
                    m_ok = false;
                    m_loop.exit(1);
                    return;
                }
                QTimer::singleShot(20, [this] { next(); });
                return;
            }
            m_waiting.invalidate();
            ++m_index;
            QTimer::singleShot(0, [this] { next(); });
            return;
        }
        ++m_index;
        QTimer::singleShot(30, [this] { next(); });
        SCOPED_TRACE(step.name.toStdString());
        step.action();
    }

    std::vector<Step> m_steps;
    size_t m_index = 0;
    QString m_current;
    QElapsedTimer m_waiting;
    QEventLoop m_loop;
    bool m_ok = true;
};

// A key as the keyboard sends it: to the widget with the focus.
void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the focus";
    QTest::keyClick(focus, key, modifiers);
}

void Keys(const QString& text)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the focus";
    QTest::keyClicks(focus, text);
}

EntryDialog* OpenDialog()
{
    auto* dialog = qobject_cast<EntryDialog*>(QApplication::activeModalWidget());
    return dialog && dialog->isVisible() && QApplication::activeWindow() == dialog ? dialog : nullptr;
}

TEST(KeyboardFlow, AddEditDeleteUndoRedoGenerateClose)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under Xvfb (xvfb-run) with QT_QPA_PLATFORM=xcb";
    ClearSettings();
    QTemporaryDir programFolder;
    QTemporaryDir temp;
    SetApplicationPathForTesting(programFolder.path());
    qputenv("TEMP", temp.path().toUtf8());

    Form1 form;
    form.Form_Load();
    form.show();
    form.activateWindow();
    QString workbook;

    const LogEntry first = {"6/3/2004", "200", "42", "36", "34"};
    const LogEntry second = {"6/10/2004", "199", "42", "35.5", "33.5"};
    const LogEntry third = {"6/17/2004", "198", "41.5", "35", "33"};
    LogEntry secondEdited = second;
    secondEdited[1] = "197.5";
    auto expectStored = [](const QList<LogEntry>& rows) { EXPECT_EQ(Stored("Fitness Men"), JoinStoredLog(rows)); };

    Script s;
    s.waitFor("the main window is active",
              [&] { return QApplication::activeWindow() == &form && QApplication::focusWidget(); });
    s.then("the keyboard starts on \"Male\"",
           [&] { EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form.Option1())); });
    // Three entries in one "Add New Entry" dialog, opened with Alt+A.
    s.then("Alt+A", [&] { Key(Qt::Key_A, Qt::AltModifier); });
    s.waitFor("the add dialog is open", [] { return OpenDialog() != nullptr; });
    // Xvfb has no window manager to give the focus back to the main window when a dialog
    // closes; the script does what the window manager would.
    auto backToMainWindow = [&](const QString& name) {
        s.waitFor(name, [] { return QApplication::activeModalWidget() == nullptr; });
        s.then("the window manager activates the main window", [&] { form.activateWindow(); });
        s.waitFor("the main window is active again", [&] { return QApplication::activeWindow() == &form; });
    };
    auto typeEntry = [&](const LogEntry& e, bool fromWeight) {
        s.then("type " + e.first(), [e, fromWeight] {
            EntryDialog* dialog = OpenDialog();
            ASSERT_NE(dialog, nullptr);
            // The date field first: it has the focus on opening; after a save the weight has.
            if (fromWeight) {
                EXPECT_EQ(QApplication::focusWidget(), dialog->Text(1));
                Key(Qt::Key_Backtab, Qt::ShiftModifier);
            }
            EXPECT_EQ(QApplication::focusWidget(), dialog->DateTimePicker1());
            Key(Qt::Key_A, Qt::ControlModifier);
            Keys(e.at(0));
            // Screen order: weight, waist, chest, hips.
            for (int field : {1, 3, 2, 4}) {
                Key(Qt::Key_Tab);
                EXPECT_EQ(QApplication::focusWidget(), dialog->Text(field));
                Keys(e.at(field));
            }
            Key(Qt::Key_Return);
        });
    };
    typeEntry(first, false);
    s.then("check the first save", [&] {
        EXPECT_EQ(form.logModel().entries(), QList<LogEntry>({first}));
        // Stored when "Save" was pressed, with the dialog still open.
        expectStored({first});
    });
    typeEntry(second, true);
    typeEntry(third, true);
    s.then("Esc", [] { Key(Qt::Key_Escape); });
    backToMainWindow("the dialog is closed");
    s.then("three entries stored", [&] {
        EXPECT_EQ(form.logModel().entries(), QList<LogEntry>({first, second, third}));
        expectStored({first, second, third});
    });

    // Edit the second: Tab to the list past the heights and the goal (the focus is where it
    // was, on "Male"), Down to the second row, Enter edits it.
    s.then("Tab to the list, second row, Enter", [&] {
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form.Option1()));
        for (QWidget* next : QList<QWidget*>{form.Text1(), form.Text2(), form.GoalField(), form.ListView1()}) {
            Key(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next);
        }
        Key(Qt::Key_Down);
        Key(Qt::Key_Return);
    });
    s.waitFor("the edit dialog is open", [] { return OpenDialog() != nullptr; });
    s.then("a new weight, Enter", [&] {
        EntryDialog* dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Edit Record");
        Key(Qt::Key_Tab); // the weight, its text selected
        EXPECT_EQ(QApplication::focusWidget(), dialog->Text(1));
        Keys("197.5");
        Key(Qt::Key_Return);
    });
    backToMainWindow("the edit dialog is closed");
    s.then("edited and stored", [&] { expectStored({first, secondEdited, third}); });

    // Delete the third.
    s.then("Down, Delete", [&] {
        EXPECT_EQ(QApplication::focusWidget(), form.ListView1());
        Key(Qt::Key_Down);
        Key(Qt::Key_Delete);
        expectStored({first, secondEdited});
    });
    s.then("undo twice", [&] {
        Key(Qt::Key_Z, Qt::ControlModifier);
        expectStored({first, secondEdited, third});
        Key(Qt::Key_Z, Qt::ControlModifier);
        expectStored({first, second, third});
    });
    s.then("redo once", [&] {
        Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        expectStored({first, secondEdited, third});
        EXPECT_EQ(form.logModel().entries(), QList<LogEntry>({first, secondEdited, third}));
    });

    // Generate: Tab along the buttons to "Start Creating Template", Enter presses it.
    s.then("Tab to Start Creating Template, Enter", [&] {
        for (int n : {2, 3, 4, 5, 1}) {
            Key(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), form.PushButton(n));
        }
        ScriptedMessages messages;
        Key(Qt::Key_Return);
        EXPECT_EQ(messages.count(), 0) << (messages.count() ? messages.asked().first().text.toStdString() : "");
    });
    s.waitFor("the preview shows", [&] { return form.existingPreview() && form.existingPreview()->isVisible(); });
    s.then("the workbook holds the log", [&] {
        Form2* preview = form.existingPreview();
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(preview->pictureShown());
        workbook = preview->mExcelFile;
        const auto book = sheet::loadWorkbook(workbook);
        ASSERT_TRUE(book);
        const sheet::Worksheet* data = book->worksheet(book->activeSheet());
        ASSERT_TRUE(data);
        EXPECT_DOUBLE_EQ(data->value(5, 0).asNumber(), 38141); // 3 June 2004
        EXPECT_DOUBLE_EQ(data->value(6, 1).asNumber(), 197.5);
        EXPECT_DOUBLE_EQ(data->value(7, 3).asNumber(), 35);
        EXPECT_TRUE(data->value(8, 0).isEmpty());
        expectStored({first, secondEdited, third});
    });
    s.then("the window manager activates the preview", [&] { form.existingPreview()->activateWindow(); });
    s.waitFor("the preview is active", [&] { return QApplication::activeWindow() == form.existingPreview(); });
    // The data picture, with its trend and goal columns, is too wide for the preview to zoom
    // it in; zooming out shows the key reaches the preview all the same.
    s.then("Ctrl+minus zooms out one step", [&] {
        Form2* preview = form.existingPreview();
        EXPECT_FLOAT_EQ(preview->geometryModel().zoomFactor(), 1.0f);
        Key(Qt::Key_Minus, Qt::ControlModifier);
        EXPECT_FLOAT_EQ(preview->geometryModel().zoomFactor(), 0.75f);
    });
    s.then("Esc goes back", [&] { Key(Qt::Key_Escape); });
    s.waitFor("the main window is back", [&] { return form.isVisible() && !form.existingPreview()->isVisible(); });
    s.then("the temporary workbook is gone, the log kept", [&] {
        EXPECT_FALSE(QFileInfo::exists(workbook));
        expectStored({first, secondEdited, third});
        EXPECT_EQ(Stored("Text1_Men"), "5");
        EXPECT_EQ(Stored("Option1"), "<missing>");
    });
    // Closing the main window ends the program: it ends every event loop, the script's too,
    // so this is the last step.
    s.then("close", [&] { form.close(); });

    EXPECT_TRUE(s.run(120000));
    EXPECT_FALSE(form.isVisible());
    SetApplicationPathForTesting(QString());
    qunsetenv("TEMP");
    ClearSettings();
}

} // namespace
