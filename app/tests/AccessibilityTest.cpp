// What a screen reader finds in the program's windows: every control it can move to has a name.
#include "Commands.h"
#include "EntryDialog.h"
#include "Form1.h"
#include "Form2.h"
#include "LogModel.h"
#include "ProgramFiles.h"
#include "Settings.h"
#include "TemplateResources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <memory>

namespace {

// The focusable controls of a window's accessibility tree without a name, as "role objectName".
QStringList Unnamed(QWidget* window)
{
    QStringList unnamed;
    int focusable = 0;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node, int depth) {
        if (!node || depth > 40)
            return;
        const QAccessible::State state = node->state();
        if (state.focusable && !state.invisible) {
            ++focusable;
            if (node->text(QAccessible::Name).trimmed().isEmpty()) {
                const QObject* object = node->object();
                unnamed << QStringLiteral("%1 %2").arg(int(node->role())).arg(object ? object->objectName() : "?");
            }
        }
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(window), 0);
    // A walk that found nothing to move to would pass whatever the windows hold.
    if (focusable < 3)
        unnamed << QStringLiteral("only %1 focusable controls found").arg(focusable);
    return unnamed;
}

QString Name(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); }

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        SetApplicationPathForTesting(programFolder.path());
    }
    void TearDown() override
    {
        SetEntryDialogOpenedHook({});
        SetApplicationPathForTesting(QString());
        ClearSettings();
    }

    QTemporaryDir programFolder;
};

TEST_F(AccessibilityTest, EveryFocusableControlOfTheMainWindowHasAName)
{
    Form1 form;
    form.Form_Load();
    form.PushButton(7)->click();
    form.show();
    EXPECT_EQ(Unnamed(&form), QStringList());
    EXPECT_EQ(Name(form.Text1()), "Height, feet");
    EXPECT_EQ(Name(form.Text2()), "Height, inches");
    EXPECT_EQ(Name(form.ListView1()), "Entries");
    // The names follow the log.
    form.Option2()->click();
    EXPECT_EQ(Name(form.Text1()), "Height, metres");
    EXPECT_EQ(Name(form.Text2()), "Height, centimetres");
    EXPECT_EQ(Unnamed(&form), QStringList());
}

TEST_F(AccessibilityTest, EveryFocusableControlOfBothEntryDialogsHasAName)
{
    Form1 form;
    form.Form_Load();
    for (bool metric : {false, true}) {
        if (metric)
            form.Option2()->click();
        std::unique_ptr<EntryDialog> dialog = MakeEntryDialog(form.logModel(), &form);
        dialog->setModal(false);
        dialog->show();
        EXPECT_EQ(Unnamed(dialog.get()), QStringList()) << metric;
        EXPECT_EQ(Name(dialog->Text(1)), metric ? "Weight (kg)" : "Weight (lbs)");
        EXPECT_EQ(Name(dialog->DateTimePicker1()), "Date");
        dialog->hide();
    }
}

TEST_F(AccessibilityTest, EveryFocusableControlOfThePreviewHasAName)
{
    QTemporaryDir dir;
    const QString workbook = dir.filePath("qarvel12345678.xls");
    QFile file(workbook);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kalmora::templateResourceBytes(101));
    file.close();
    QWidget mainWindow;
    Form2 preview(&mainWindow);
    preview.SetProgramEnd([] {});
    preview.mExcelFile = workbook;
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::white);
    preview.SetPicture(picture);
    preview.show();
    EXPECT_EQ(Unnamed(&preview), QStringList());
    EXPECT_EQ(Name(preview.viewport()), "Preview of sheet Data");
    preview.tabStrip()->setCurrentIndex(1);
    EXPECT_EQ(Name(preview.viewport()), "Preview of sheet Measurements Chart");
    EXPECT_EQ(Unnamed(&preview), QStringList());
}

} // namespace
