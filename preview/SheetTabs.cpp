#include "SheetTabs.h"

#include "Failure.h"

#include "base/Error.h"
#include "file/ReadFile.h"
#include "io/WorkbookFile.h"

#include <QDir>

QByteArray ReadWorkbookFile(const QString& path)
{
    try {
        return sheet::readRegularFile(path);
    } catch (const sheet::Error& e) {
        throw Failure(
            QStringLiteral("Cannot read the workbook %1: %2").arg(QDir::toNativeSeparators(path), e.message()));
    }
}

QList<SheetTab> ReadSheetTabs(const QString& path)
{
    std::vector<sheet::SheetListing> sheets;
    try {
        sheets = sheet::listSheets(path);
    } catch (const sheet::Error& e) {
        throw Failure(
            QStringLiteral("Cannot read the workbook %1: %2").arg(QDir::toNativeSeparators(path), e.message()));
    }
    QList<SheetTab> tabs;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const sheet::SheetListing& s = sheets[i];
        if (s.visibility != sheet::Sheet::Visibility::Visible || s.kind == sheet::Sheet::Kind::Other)
            continue;
        tabs.append({s.name, static_cast<int>(i),
                     s.kind == sheet::Sheet::Kind::Chart ? SheetTab::Kind::Chart : SheetTab::Kind::Worksheet});
    }
    return tabs;
}
