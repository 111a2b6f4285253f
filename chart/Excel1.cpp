#include "Excel1.h"

#include "automation/Automation.h"
#include "file/DurableFile.h"

#include "Failure.h"
#include "Guarded.h"
#include "ClipboardPicture.h"
#include "LocaleText.h"
#include "MessageBox.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QLocale>
#include <QFile>

#include <cmath>

using sheet::automation::Application;

std::unique_ptr<Application> openExcelWithWorkbook(const QString& path)
{
    auto app = std::make_unique<Application>();
    app->Workbooks().Open(path);
    return app;
}

bool isExcelRunning()
{
    try {
        return sheet::isApplicationRunning();
    } catch (...) {
        return false;
    }
}

QString ExcelOpenWarningText()
{
    return QStringLiteral("Excel may be open. It is recommended that you close Excel first.\r"
                          "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
                          "Would you like to proceed anyway?");
}

bool warnExcelOpen()
{
    if (!isExcelRunning())
        return false;
    return ShowMessage(ExcelOpenWarningText(), MsgButtons::YesNo, MsgIcon::None) != MsgAnswer::Yes;
}

void saveCellsActivesheet(const sheet::automation::Workbook& workbook, const QString& path)
{
    Guarded proc(QStringLiteral("Excel1.saveCellsActivesheet"));
    std::unique_ptr<sheet::automation::Worksheet> sheet;
    int lastRow = 0;
    int lastColumn = 0;
    QImage picture;
    // Without the sheet nothing below can work: one report.
    proc.needed(10, [&] { sheet = std::make_unique<sheet::automation::Worksheet>(workbook.ActiveSheet()); });
    proc(20, [&] {
        const sheet::automation::Range used = sheet->UsedRange();
        lastRow = used.Rows().Row(used.Rows().count());
        lastColumn = used.Columns().Column(used.Columns().count());
    });
    if (lastRow > 1 && lastColumn > 1) {
        proc(30, [&] { sheet->UsedRange().CopyPicture(); });
        proc(40, [&] { picture = GetClipboardPicture(0); });
        proc(50, [&] {
            if (picture.isNull())
                throw Failure(QStringLiteral("Invalid picture: the clipboard holds no picture"));
            // Room for the whole file at once: a picture of tens of megabytes would otherwise be
            // copied each time the buffer doubled.
            QByteArray bytes;
            bytes.reserve(54 + qsizetype(picture.height()) * ((picture.width() * 3 + 3) & ~3));
            QBuffer encoded(&bytes);
            encoded.open(QIODevice::WriteOnly);
            QImageWriter writer(&encoded, "bmp");
            if (!writer.write(picture))
                throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, writer.errorString()));
            // Replaced whole, each write checked; a short-lived file, so no wait for the disk.
            sheet::DurableWriteOptions scratch;
            scratch.links = sheet::DurableWriteOptions::Links::Replace;
            scratch.newFileMode = 0600;
            scratch.syncToDisk = false;
            try {
                sheet::writeFileDurably(path, encoded.data(), scratch);
            } catch (const sheet::WriteError& e) {
                throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, e.reason()));
            }
        });
    }
}

int SaveFormatForVersion(const QString& version)
{
    // The version text in the user's notation, read back as the user's locale reads numbers.
    const QString local = NormalizeDecimal(version, DecimalDirection::FromPoint);
    bool ok = false;
    const double v = QLocale().toDouble(local, &ok);
    if (!ok)
        throw Failure(QStringLiteral("Type mismatch: version \"%1\"").arg(version));
    const double rounded = std::nearbyint(v);
    if (rounded < -32768 || rounded > 32767)
        throw Failure(QStringLiteral("Overflow: version \"%1\"").arg(version));
    return rounded > 11 ? 56 : -4143;
}

int excelSaveFormat(Application* application)
{
    if (application)
        return SaveFormatForVersion(application->Version());
    Application own;
    const QString version = own.Version();
    own.Quit();
    return SaveFormatForVersion(version);
}
