// Pictures of the windows for looking at them (not a test): kalmora-screenshots FOLDER writes
// main.png (with the example), main-metric.png, form3.png, form4.png, preview.png and, for a
// year's log with a goal, year-data.png, year-chart-2.png, year-chart-3.png and its workbook
// year-log.xls, and thirty entries with a goal (thirty*.png), each as
// the window draws itself under the platform, scale and locale it runs with. It works on a
// settings folder and a temporary folder of its own.
#include "AppIcon.h"
#include "Commands.h"
#include "Constants.h"
#include "EntryDialog.h"
#include "Form1.h"
#include "Form2.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Settings.h"
#include "format/CLocale.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QMenu>
#include <QTest>
#include <QTreeView>

#include <cstdio>

namespace {

bool Save(QWidget* window, const QString& path)
{
    window->show();
    window->raise();
    window->activateWindow();
    QTest::qWait(200);
    const bool ok = window->grab().save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), window->width(), window->height());
    return ok;
}

// A year of entries: weekly, three weeks away in summer, daily for a fortnight in spring.
QList<LogEntry> YearLog()
{
    QList<LogEntry> entries;
    const QDate start(2025, 1, 6);
    for (int day = 0; day < 365;) {
        const QDate date = start.addDays(day);
        const double weight = 205.0 - 17.0 * day / 365 + ((day * 7) % 11 - 5) * 0.25;
        entries.append({QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year()),
                        QString::number(weight, 'f', 1), QStringLiteral("43"),
                        QString::number(40.0 - 3.0 * day / 365, 'f', 2), QStringLiteral("41")});
        if (day >= 60 && day < 74)
            day += 1;
        else if (day == 182)
            day += 28;
        else
            day += 7;
    }
    return entries;
}

// The preview of that log with a goal of 185 pounds: the data tab and the two weight charts,
// and the workbook itself (year-log.xls) to open in other programs.
bool SaveYearLog(Form1& form, const QString& folder)
{
    form.Option1()->click();
    WriteSetting(SettingsSection, Keys::GoalMen, QStringLiteral("185"));
    form.logModel().clearEntries();
    form.logModel().appendEntries(YearLog());
    form.PushButton1()->click();
    Form2* preview = form.existingPreview();
    if (!preview)
        return false;
    bool ok = Save(preview, folder + QStringLiteral("/year-data.png"));
    for (int tab : {2, 3}) {
        preview->TabStrip1_Click(tab);
        ok &= Save(preview, folder + QStringLiteral("/year-chart-%1.png").arg(tab));
    }
    QFile::remove(folder + QStringLiteral("/year-log.xls"));
    ok &= QFile::copy(preview->mExcelFile, folder + QStringLiteral("/year-log.xls"));
    preview->PushButton8_Click();
    return ok;
}

// Thirty entries of that log with a goal: the main window (thirty.png), the preview's data
// tab at 100 % and one Zoom In (thirty-data.png, thirty-data-zoomed.png) and the first weight
// chart (thirty-chart.png).
bool SaveThirtyEntries(Form1& form, const QString& folder)
{
    form.Option1()->click();
    form.logModel().clearEntries();
    form.logModel().appendEntries(YearLog().mid(0, 30));
    form.logModel().setGoal(QStringLiteral("185"));
    // The year's goal was written to the store directly: shown as one changed elsewhere is.
    form.logModel().goalReadAgain(true);
    form.statusBar()->clearMessage();
    form.ListView1()->setFocus();
    bool ok = Save(&form, folder + QStringLiteral("/thirty.png"));
    form.PushButton1()->click();
    Form2* preview = form.existingPreview();
    if (!preview)
        return false;
    ok &= Save(preview, folder + QStringLiteral("/thirty-data.png"));
    preview->PushButton1_Click();
    std::printf("thirty entries: zoom after one Zoom In on the data tab: %g\n", preview->geometryModel().zoomFactor());
    ok &= Save(preview, folder + QStringLiteral("/thirty-data-zoomed.png"));
    preview->TabStrip1_Click(2);
    ok &= Save(preview, folder + QStringLiteral("/thirty-chart.png"));
    preview->PushButton8_Click();
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    sheet::useUsEnglishForCLocale();
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit() + "/data");
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("TEMP", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    SetMessageResponder([](const MessageRequest& request) {
        std::printf("message: %s\n", qPrintable(request.text));
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    });
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;

    Form1 form;
    form.Form_Load();
    form.PushButton(7)->click();
    form.PushButton(2)->setFocus();
    ok &= Save(&form, folder + QStringLiteral("/main.png"));
    {
        QTreeView* list = form.ListView1();
        const QPoint third = list->visualRect(list->model()->index(2, 0)).center();
        QMenu* menu = form.listMenu(third);
        menu->popup(list->viewport()->mapToGlobal(third));
        QTest::qWait(200);
        ok &= menu->grab().save(folder + QStringLiteral("/menu.png"));
        menu->hide();
    }

    for (int metric = 0; metric < 2; ++metric) {
        if (metric)
            form.Option2()->click();
        std::unique_ptr<EntryDialog> dialog = MakeEntryDialog(form.logModel(), &form);
        dialog->setModal(false);
        dialog->Text(1)->setText(ShownNumberText(metric ? QStringLiteral("63.5") : QStringLiteral("200")));
        dialog->Text(1)->setFocus();
        ok &= Save(dialog.get(), folder + (metric ? QStringLiteral("/form4.png") : QStringLiteral("/form3.png")));
        dialog->hide();
    }
    form.PushButton(7)->click();
    form.Text2()->setFocus();
    ok &= Save(&form, folder + QStringLiteral("/main-metric.png"));

    for (int imperial = 1; imperial >= 0; --imperial) {
        (imperial ? form.Option1() : form.Option2())->click();
        form.PushButton1()->click();
        Form2* preview = form.existingPreview();
        if (!preview) {
            ok = false;
            break;
        }
        const PreviewGeometry& geometry = preview->geometryModel();
        std::printf("%s data picture %dx%d px\n", imperial ? "imperial" : "metric", geometry.pictureWidth() / 15,
                    geometry.pictureHeight() / 15);
        ok &= Save(preview,
                   folder + (imperial ? QStringLiteral("/preview-imperial.png") : QStringLiteral("/preview.png")));
        preview->PushButton1_Click();
        std::printf("zoom after one Zoom In: %g\n", geometry.zoomFactor());
        preview->PushButton8_Click();
    }
    ok &= SaveYearLog(form, folder);
    ok &= SaveThirtyEntries(form, folder);
    if (Form2* preview = form.existingPreview())
        preview->SetProgramEnd([] {});
    return ok ? 0 : 1;
}
