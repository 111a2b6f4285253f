// Where a workbook comes from and goes to: files, compound file bytes, workbook streams.
#include "io/WorkbookFile.h"

#include "biff/Compound.h"
#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"
#include "file/DurableFile.h"
#include "file/ReadFile.h"
#include "io/WorkbookReader.h"
#include "io/WorkbookWriter.h"
#include "model/Workbook.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

namespace sheet {

namespace {

const QString kOnlyBiff8 = QStringLiteral("; only Excel 97-2003 (BIFF8) workbooks are read");

std::unique_ptr<Workbook> fromCompound(CompoundFile compound, ReadBudget& budget)
{
    auto book = WorkbookReader(compound.workbook, budget).read();
    Bytes().swap(compound.workbook); // let go as soon as it has been read
    book->setOtherStreams(std::move(compound.others));
    return book;
}

// Opens the file at path as loadWorkbook does and hands its compound file to `use`; failures
// name the file.
template <typename Result>
Result withCompoundFile(const QString& path, const std::function<Result(CompoundFile, ReadBudget&)>& use)
{
    const QString shown = QFileInfo(path).fileName();
    // Regular files of sane size only: a device or a pipe would be read forever or waited on.
    qint64 size = 0;
    const int fd = openRegularFile(path, &size);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
    if (!file) {
        const int error = errno;
        ::close(fd);
        throw Error(QStringLiteral("Cannot open '%1': %2").arg(shown, QString::fromLocal8Bit(std::strerror(error))));
    }
    try {
        std::uint8_t head[8] = {};
        const std::size_t got = std::fread(head, 1, sizeof head, file.get());
        if (const QString older = olderBiffVersion(head, got); !older.isEmpty())
            throw UnsupportedFormatError(older + kOnlyBiff8);
        // The streams are taken out where they lie in the file, which is never held whole.
        ReadBudget budget;
        CompoundFile compound = CompoundFile::fromFile(file.get(), static_cast<std::size_t>(size), &budget);
        file.reset();
        return use(std::move(compound), budget);
    } catch (const UnsupportedFormatError& e) {
        throw UnsupportedFormatError(QStringLiteral("'%1' is %2").arg(shown, e.message()));
    } catch (const FormatError& e) {
        throw FormatError(QStringLiteral("'%1' is not a workbook: %2").arg(shown, e.message()));
    }
}

std::vector<SheetListing> sheetsOf(const Bytes& stream, ReadBudget& budget)
{
    const SubstreamRecords globals = WorkbookReader::globals(stream, budget);
    std::vector<SheetListing> sheets;
    for (std::size_t i = 1; i < globals.size(); ++i) {
        if (globals[i].id != rid::kBoundSheet)
            continue;
        const BoundSheet s = BoundSheet::decode(globals[i].data);
        SheetListing listed;
        listed.name = s.name;
        listed.kind = WorkbookReader::sheetKind(s, WorkbookReader::substreamType(stream, s.pos));
        listed.visibility = static_cast<Sheet::Visibility>(s.state & 0x03);
        sheets.push_back(listed);
    }
    return sheets;
}

} // namespace

std::unique_ptr<Workbook> workbookFromBytes(const Bytes& bytes)
{
    if (const QString older = olderBiffVersion(bytes); !older.isEmpty())
        throw UnsupportedFormatError(older + kOnlyBiff8);
    ReadBudget budget;
    return fromCompound(CompoundFile::fromBytes(bytes, &budget), budget);
}

std::unique_ptr<Workbook> workbookFromStream(const Bytes& stream)
{
    ReadBudget budget;
    // The stream is held while it is read, whoever owns it.
    budget.spend(stream.size());
    return WorkbookReader(stream, budget).read();
}

std::unique_ptr<Workbook> loadWorkbook(const QString& path)
{
    return withCompoundFile<std::unique_ptr<Workbook>>(path, fromCompound);
}

std::vector<SheetListing> listSheets(const QString& path)
{
    return withCompoundFile<std::vector<SheetListing>>(
        path, [](CompoundFile compound, ReadBudget& budget) { return sheetsOf(compound.workbook, budget); });
}

Bytes workbookToStream(const Workbook& book) { return WorkbookWriter(book).stream(); }

Bytes workbookToBytes(const Workbook& book)
{
    Bytes out;
    CompoundFile::write(workbookToStream(book), book.otherStreams(),
                        [&](const std::uint8_t* data, std::size_t size) { out.assign(data, data + size); });
    return out;
}

void saveWorkbook(const Workbook& book, const QString& path, Durability durability)
{
    DurableWriteOptions options;
    if (durability == Durability::Scratch) {
        // A program's own scratch copy: private, and a link found at its name is replaced.
        options.syncToDisk = false;
        options.links = DurableWriteOptions::Links::Replace;
        options.newFileMode = 0600;
    }
    // Written from where the container was built: the file is not copied once more.
    CompoundFile::write(workbookToStream(book), book.otherStreams(), [&](const std::uint8_t* data, std::size_t size) {
        writeFileDurably(
            path, QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), options);
    });
}

} // namespace sheet
