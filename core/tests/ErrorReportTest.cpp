#include "Constants.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "Guarded.h"
#include "Help.h"
#include "ApplicationTitle.h"
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ErrorReport, TextIsBuiltPieceByPiece)
{
    const QString expected
        = QStringLiteral("Subscript out of range\r\nin Trevasso2021/08/31.Form1.Form_Load at line 80\r\r"
                         "Please email screenshot of this message to ")
        + SupportEmail;
    EXPECT_EQ(ErrorReportText("Subscript out of range", ProcedureName("Form1.Form_Load"), 80), expected);
}

TEST(ErrorReport, EmptyDescriptionKeepsEveryLine)
{
    const QString text = ErrorReportText(QString(), ProcedureName("Form3.PushButton2_Click"), 7);
    EXPECT_TRUE(text.startsWith("\r\nin Trevasso2021/08/31.Form3.PushButton2_Click at line 7\r\rPlease email"));
    EXPECT_TRUE(text.endsWith(SupportEmail));
}

TEST(ErrorReport, ShowsApplicationErrorBoxWithOkAndExclamation)
{
    ScriptedMessages messages;
    ReportError("Disk full", ProcedureName("Form1.PushButton5_Click"), 20);
    ASSERT_EQ(messages.count(), 1);
    const MessageRequest& box = messages.asked().first();
    EXPECT_EQ(box.title, "Application Error");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.text, ErrorReportText("Disk full", ProcedureName("Form1.PushButton5_Click"), 20));
}

TEST(Guarded, FailingStepIsReportedWithItsNumberAndTheNextStepRuns)
{
    ScriptedMessages messages;
    QStringList ran;
    {
        Guarded proc("Form1.PushButton3_Click");
        proc(10, [&] { ran << "10"; });
        proc(20, [&] { ran << "20"; });
        proc(30, [&] {
            ran << "30";
            throw Failure("Invalid procedure call");
        });
        proc(40, [&] { ran << "40"; });
        EXPECT_EQ(proc.failures(), 1);
        EXPECT_EQ(proc.name(), "Trevasso2021/08/31.Form1.PushButton3_Click");
    }
    EXPECT_EQ(ran, QStringList({"10", "20", "30", "40"}));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text,
              ErrorReportText("Invalid procedure call", "Trevasso2021/08/31.Form1.PushButton3_Click", 30));
}

TEST(Guarded, EveryFailingStepGivesItsOwnReport)
{
    ScriptedMessages messages;
    Guarded proc("Form2.RedrawImage");
    proc(1, [] { throw std::runtime_error("first"); });
    proc(2, [] { throw std::out_of_range("Größe"); });
    proc(3, [] { throw 42; });
    ASSERT_EQ(messages.count(), 3);
    EXPECT_TRUE(messages.asked().at(0).text.startsWith("first\r\nin Trevasso2021/08/31.Form2.RedrawImage at line 1"));
    // The engine's errors carry UTF-8 texts.
    EXPECT_TRUE(messages.asked().at(1).text.startsWith(QStringLiteral("Größe\r\n")));
    EXPECT_TRUE(messages.asked().at(2).text.startsWith("Unknown failure\r\n"));
    EXPECT_TRUE(messages.asked().at(2).text.contains("at line 3\r\r"));
}

TEST(Guarded, HandlerInsideAProcedureReportsUnderThatProcedureAndLine)
{
    ScriptedMessages messages;
    Guarded outer("Form1.Form_Load");
    outer(90, [&] {
        Guarded handler("Form1.Option2_Click", Guarded::InCaller);
        handler(40, [] { throw Failure("cannot write"); });
        handler(50, [] {});
    });
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text, ErrorReportText("cannot write", "Trevasso2021/08/31.Form1.Form_Load", 90));
    EXPECT_EQ(outer.failures(), 1);
}

TEST(Guarded, HandlerOnItsOwnReportsUnderItsOwnName)
{
    ScriptedMessages messages;
    {
        Guarded handler("Form1.Text1_Change", Guarded::InCaller);
        handler(10, [] { throw Failure("cannot write"); });
    }
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("in Trevasso2021/08/31.Form1.Text1_Change at line 10"));
    EXPECT_EQ(Guarded::Running(), nullptr);
}

TEST(Guarded, HandlerInsideAHandlerReportsAsTheOuterHandler)
{
    ScriptedMessages messages;
    Guarded outer("Form1.Option2_Click", Guarded::InCaller);
    outer(43, [] {
        Guarded inner("Form1.Text1_Change", Guarded::InCaller);
        inner(10, [] { throw Failure("x"); });
    });
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("in Trevasso2021/08/31.Form1.Option2_Click at line 43"));
}

TEST(Guarded, NestedProcedureWithItsOwnReportUsesItsOwnName)
{
    ScriptedMessages messages;
    Guarded outer("Form1.PushButton2_Click");
    outer(20, [] {
        Guarded dialog("Form3.PushButton2_Click");
        dialog(21, [] { throw Failure("x"); });
    });
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("Form3.PushButton2_Click at line 21"));
    EXPECT_EQ(outer.failures(), 0);
}

TEST(MessageSeam, ScriptAnswersAndRecords)
{
    ScriptedMessages messages;
    messages.answer(MsgAnswer::Yes);
    EXPECT_EQ(ShowMessage("Overwrite?", MsgButtons::YesNo, MsgIcon::Exclamation, "Save"), MsgAnswer::Yes);
    // Script used up: a Yes/No box is answered No, an OK box Ok.
    EXPECT_EQ(ShowMessage("Again?", MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(ShowMessage("Done"), MsgAnswer::Ok);
    ASSERT_EQ(messages.count(), 3);
    EXPECT_EQ(messages.asked().at(0).title, "Save");
    EXPECT_EQ(messages.asked().at(0).icon, MsgIcon::Exclamation);
    EXPECT_EQ(messages.asked().at(1).buttons, MsgButtons::YesNo);
}

TEST(MessageSeam, BoxWithoutTitleShowsTheApplicationTitle)
{
    ApplyApplicationTitle();
    ScriptedMessages messages;
    ShowMessage("x");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().title, ApplicationTitle());
    EXPECT_EQ(ApplicationTitle(), "Kalmora");
}

TEST(Help, MessageNamesTheContactPageUnderTheApplicationTitle)
{
    ScriptedMessages messages;
    ShowHelpMessage();
    ShowHelpMessage();
    ASSERT_EQ(messages.count(), 2);
    const MessageRequest& box = messages.asked().first();
    EXPECT_EQ(box.text, "Questions? Please contact Team Pendrel at " + ContactWebAddress);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.title, ApplicationTitle());
    EXPECT_EQ(messages.asked().at(1).text, box.text);
}

} // namespace

namespace {

TEST(Guarded, ANeededStepThatFailsIsReportedOnceAndEndsTheProcedure)
{
    ScriptedMessages messages;
    QStringList ran;
    {
        Guarded proc("Form1.PushButton1_Click");
        proc.needed(35, [&] { throw Failure("Path not found"); });
        // What would each have failed on the missing folder: none of them runs, none reports.
        for (int i = 0; i < 200; ++i)
            proc(90, [&] {
                ran << "cell";
                throw Failure("Object variable not set");
            });
        proc.needed(130, [&] { ran << "save"; });
        proc.always(250, [&] { ran << "busy flag cleared"; });
        EXPECT_TRUE(proc.stopped());
        EXPECT_EQ(proc.failures(), 1);
    }
    EXPECT_EQ(ran, QStringList{"busy flag cleared"});
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.startsWith(
        "Path not found\r\nin Trevasso2021/08/31.Form1.PushButton1_Click at line 35"));
}

TEST(Guarded, ACommandSaysOnceThatSettingsAreNotSaved)
{
    ScriptedMessages messages;
    {
        Guarded command("Form1.PushButton7_Click");
        command(20, [&] {
            // A height field's handler, run by the command, fails on the same full disk.
            Guarded field("Form1.Text1_Change", Guarded::InCaller);
            field(10, [&] { throw SettingsNotSaved("The setting \"Text1_Men\" could not be saved"); });
        });
        command(21, [&] { throw SettingsNotSaved("The setting \"Text2_Men\" could not be saved"); });
        command(30, [&] { throw Failure("Another cause"); });
        command(40, [&] { throw SettingsNotSaved("The setting \"Fitness Men\" could not be saved"); });
        EXPECT_EQ(command.failures(), 4);
        EXPECT_FALSE(command.stopped());
    }
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.asked().at(0).text.contains("Text1_Men"));
    EXPECT_TRUE(messages.asked().at(1).text.startsWith("Another cause"));
    // The next command reports its own.
    {
        Guarded next("Form1.PushButton5_Click");
        next(20, [&] { throw SettingsNotSaved("The setting \"Fitness Men\" could not be saved"); });
    }
    EXPECT_EQ(messages.count(), 3);
}

} // namespace
