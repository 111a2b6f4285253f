// The program on a full disk (a real 64 KB tmpfs, root only): the settings and the saved
// workbook keep their old content, and each command says so once.
#include "FileDialog.h"
#include "Form1.h"
#include "Form2.h"
#include "ProgramFiles.h"
#include "MessageBox.h"
#include "Settings.h"
#include "Constants.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QSettings>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!disk.mounted())
            GTEST_SKIP() << disk.skipReason().toStdString();
        ClearSettings();
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        SetApplicationPathForTesting(programFolder.path());
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
    }
    void TearDown() override
    {
        if (!disk.mounted())
            return;
        form.reset();
        if (storeOnDisk)
            ::umount2(QFile::encodeName(QFileInfo(SettingsFilePath()).path()).constData(), MNT_DETACH);
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        SetApplicationPathForTesting(QString());
        ClearSettings();
    }
    // The settings folder becomes the small disk.
    void putStoreOnDisk()
    {
        const QString folder = QFileInfo(SettingsFilePath()).path();
        QDir().mkpath(folder);
        QFile::copy(SettingsFilePath(), disk.filePath("Pendrel.ini"));
        ASSERT_EQ(::mount(QFile::encodeName(disk.path()).constData(), QFile::encodeName(folder).constData(), nullptr,
                          MS_BIND, nullptr),
                  0);
        storeOnDisk = true;
    }

    SmallDisk disk;
    QTemporaryDir runtime, programFolder;
    QByteArray savedRuntime;
    bool storeOnDisk = false;
    std::unique_ptr<Form1> form;
};

TEST_F(FullDiskTest, TypingIntoAHeightFieldKeepsTheStoreAndSaysSoOncePerCommand)
{
    ScriptedMessages messages;
    form->PushButton(7)->click(); // the example log
    ASSERT_EQ(messages.count(), 0);
    putStoreOnDisk();
    const QByteArray before = Bytes(SettingsFilePath());
    disk.fill(2048);

    // One digit typed: one command, one report.
    form->Text1()->setFocus();
    form->Text1()->end(false);
    QTest::keyClick(form->Text1(), Qt::Key_1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains("No space left on device")) << messages.asked()[0].text.toStdString();
    EXPECT_EQ(Bytes(SettingsFilePath()), before);

    // The example again puts back what the file holds: nothing is left unsaved, nothing to say.
    messages.clear();
    form->PushButton(7)->click();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_FALSE(HasUnsavedSettings());
    // The switch to the metric log writes four keys in one command: they fail, and say it once.
    messages.clear();
    form->Option2()->click();
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(Bytes(SettingsFilePath()), before);
    EXPECT_TRUE(HasUnsavedSettings());

    // Room again: the next change stores everything the window shows.
    QFile::remove(disk.filePath(".filler"));
    messages.clear();
    form->Option1()->click();
    QTest::keyClick(form->Text2(), Qt::Key_0);
    EXPECT_EQ(messages.count(), 0);
    EXPECT_FALSE(HasUnsavedSettings());
    EXPECT_EQ(StoredInFile("Text2_Men"), form->Text2()->text());
    EXPECT_EQ(StoredInFile("Text1_Men"), form->Text1()->text());
}

TEST_F(FullDiskTest, SavingOverAWorkbookOnAFullDiskKeepsItAndSaysWhy)
{
    ScriptedMessages messages;
    form->PushButton(7)->click();
    form->PushButton1()->click();
    Form2* preview = form->existingPreview();
    ASSERT_TRUE(preview && preview->isVisible());
    const QString target = disk.filePath("mine.xls");
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(8000, 'o'));
    }
    disk.fill(2048);
    ScriptedSaveFiles dialogs;
    dialogs.answer(target);
    messages.answer(MsgAnswer::Yes); // overwrite
    preview->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    // The overwrite question and the report; no "Done." after it.
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.asked()[0].text.startsWith("Are you sure you wish to overwrite"));
    EXPECT_TRUE(messages.asked()[1].text.contains("No space left on device")) << messages.asked()[1].text.toStdString();
    EXPECT_EQ(Bytes(target), QByteArray(8000, 'o'));
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{".filler", "mine.xls"}));
}

} // namespace
