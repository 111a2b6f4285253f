#include "SheetTabs.h"

#include "Failure.h"

#include "biff/Bytes.h"
#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"

#include <QDir>
#include <QFile>

QByteArray ReadWorkbookFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("Cannot read the workbook %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(
            QStringLiteral("Cannot read the workbook %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return data;
}

QList<SheetTab> ReadSheetTabs(const QString& path)
{
    const QByteArray data = ReadWorkbookFile(path);
    QList<SheetTab> tabs;
    try {
        const sheet::CompoundFile compound = sheet::CompoundFile::fromBytes(sheet::Bytes(data.begin(), data.end()));
        // The globals substream lists every sheet in order (BOUNDSHEET: position, state,
        // type, name).
        const sheet::RecordList globals = sheet::readSubstream(compound.workbook, 0);
        int index = 0;
        for (const sheet::Record& r : globals) {
            if (r.id != sheet::rid::kBoundSheet)
                continue;
            sheet::ByteReader rd(r.data);
            rd.skip(4);
            const int state = rd.u8() & 0x03;
            const int type = rd.u8();
            const QString name = rd.shortXLUnicodeString();
            if (state == 0 && (type == 0x00 || type == 0x02))
                tabs.append({name, index, type == 0x02 ? SheetTab::Kind::Chart : SheetTab::Kind::Worksheet});
            ++index;
        }
    } catch (const sheet::Error& e) {
        throw Failure(
            QStringLiteral("Cannot read the workbook %1: %2").arg(QDir::toNativeSeparators(path), e.message()));
    }
    return tabs;
}
