// GLib headers name a struct member "signals", which Qt defines as a macro: include them first.
#include <gsf/gsf.h>

#include "biff/Compound.h"

#include "biff/ReadBudget.h"

#include <memory>
#include <mutex>

namespace sheet {

namespace {

// Nested storages deeper than this are refused; real files use two or three levels.
constexpr int kMaxDepth = 16;
constexpr std::size_t kMaxEntries = 4096;

void initGsfOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // libgsf reports damaged containers on stderr as well as through GError; the
        // caller gets a FormatError, so keep the console quiet.
        g_log_set_handler(
            "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

struct GObjectDeleter {
    void operator()(void* p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectDeleter>;

QString gerrorText(GError* err)
{
    QString text = err && err->message ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
    if (err)
        g_error_free(err);
    return text;
}

// What taking the streams out of one file may read: no more than the file holds (streams
// that share sectors would claim more), and what the budget allows.
struct Extraction {
    std::size_t fileSize = 0;
    std::size_t taken = 0;
    ReadBudget* budget = nullptr;
    std::size_t count = 0;
};

Bytes readStream(GsfInput* input, Extraction& ex, bool keptForWriting)
{
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || static_cast<std::uint64_t>(size) > ex.fileSize - ex.taken)
        throw FormatError(
            QStringLiteral("bad compound file: stream '%1' claims %2 bytes, more than the %3-byte file holds")
                .arg(QString::fromUtf8(gsf_input_name(input)))
                .arg(static_cast<qlonglong>(size))
                .arg(static_cast<qulonglong>(ex.fileSize)));
    const auto n = static_cast<std::size_t>(size);
    ex.taken += n;
    ex.budget->spend(keptForWriting ? readcost::keptStream(n) : n);
    Bytes data(n);
    if (n > 0 && !gsf_input_read(input, n, data.data()))
        throw FormatError(QStringLiteral("bad compound file: stream '%1' cannot be read")
                              .arg(QString::fromUtf8(gsf_input_name(input))));
    return data;
}

// Where the workbook stream goes, and which of its names it was found under.
struct WorkbookSlot {
    Bytes* data = nullptr;
    std::string name;
    int rank = 0;
};

void readChildren(GsfInfile* dir, std::vector<CompoundEntry>& out, Extraction& ex, int depth, WorkbookSlot* workbook)
{
    if (depth > kMaxDepth)
        throw FormatError(QStringLiteral("bad compound file: storages nested too deeply"));
    const int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        if (++ex.count > kMaxEntries)
            throw FormatError(QStringLiteral("bad compound file: too many directory entries"));
        GPtr<GsfInput> child(gsf_infile_child_by_index(dir, i));
        if (!child)
            throw FormatError(QStringLiteral("bad compound file: directory entry %1 cannot be opened").arg(i));
        CompoundEntry entry;
        entry.name = gsf_input_name(child.get()) ? gsf_input_name(child.get()) : "";
        ex.budget->spend(sizeof(CompoundEntry) + entry.name.size());
        const bool isDir = GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        if (isDir) {
            entry.storage = true;
            readChildren(GSF_INFILE(child.get()), entry.children, ex, depth + 1, nullptr);
            out.push_back(std::move(entry));
            continue;
        }
        // "Workbook" is BIFF8's stream; "Book" the older name some writers still use.
        const QString name = QString::fromUtf8(entry.name.c_str());
        int rank = 0;
        if (depth == 0 && name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0)
            rank = 2;
        else if (depth == 0 && name.compare(QLatin1String("Book"), Qt::CaseInsensitive) == 0)
            rank = 1;
        if (rank > 0 && workbook && rank > workbook->rank) {
            if (workbook->rank > 0) {
                // The stream read before under the lesser name is kept as it is.
                CompoundEntry lesser;
                lesser.name = workbook->name;
                ex.budget->spend(workbook->data->size());
                lesser.data = std::move(*workbook->data);
                out.push_back(std::move(lesser));
            }
            *workbook->data = readStream(child.get(), ex, false);
            workbook->name = entry.name;
            workbook->rank = rank;
            continue;
        }
        entry.data = readStream(child.get(), ex, true);
        out.push_back(std::move(entry));
    }
}

const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool readAt(GsfInput* input, std::uint64_t offset, std::size_t n, std::uint8_t* out)
{
    return gsf_input_seek(input, static_cast<gsf_off_t>(offset), G_SEEK_SET) == 0
        && gsf_input_read(input, n, out) != nullptr;
}

// The header and the allocation tables, before libgsf sees them. libgsf keeps a bit for each
// sector a table describes on its stack while it follows a chain, and an array of every
// small sector the small-sector table describes: a table far larger than the file (the
// header's count of table sectors, or a long chain of small-sector table sectors) would
// overflow the stack or take gigabytes. A table may describe twice the file's sectors and two
// table sectors more; the small-sector table no more small sectors than the file holds.
// What is merely inconsistent is left to libgsf to report.
void checkTables(GsfInput* input, std::size_t fileSize)
{
    std::uint8_t header[512];
    if (fileSize < 512 || !readAt(input, 0, sizeof header, header) || std::memcmp(header, kSignature, 8) != 0)
        throw FormatError(QStringLiteral("bad compound file header"));
    const unsigned shift = static_cast<unsigned>(header[30] | (header[31] << 8));
    if (shift < 7 || shift > 20)
        return; // libgsf refuses these sizes itself
    const std::size_t sectorSize = std::size_t(1) << shift;
    const std::uint64_t perSector = sectorSize / 4;
    const std::uint64_t sectors = (fileSize - 512) >> shift;
    const std::uint64_t fatSectors = le32(header + 44);
    if (fatSectors > 2 * ((sectors + perSector - 1) / perSector) + 2)
        throw FormatError(
            QStringLiteral("bad compound file: its allocation table claims %1 sectors, more than a %2-byte file holds")
                .arg(static_cast<qulonglong>(fatSectors * perSector))
                .arg(static_cast<qulonglong>(fileSize)));

    // Where the table's sectors are: 109 in the header, the rest in a chain of sectors.
    std::vector<std::uint32_t> fatAt;
    for (std::size_t k = 0; k < 109 && fatAt.size() < fatSectors; ++k)
        fatAt.push_back(le32(header + 76 + 4 * k));
    std::vector<std::uint8_t> sector(sectorSize);
    std::uint32_t next = le32(header + 68);
    for (std::uint64_t hops = 0; fatAt.size() < fatSectors; ++hops) {
        if (next >= sectors || hops > fatSectors
            || !readAt(input, 512 + (std::uint64_t(next) << shift), sectorSize, sector.data()))
            return;
        for (std::uint64_t k = 0; k + 1 < perSector && fatAt.size() < fatSectors; ++k)
            fatAt.push_back(le32(sector.data() + 4 * k));
        next = le32(sector.data() + sectorSize - 4);
    }
    std::vector<std::uint32_t> fat;
    fat.reserve(static_cast<std::size_t>(fatSectors * perSector));
    for (const std::uint32_t at : fatAt) {
        if (at >= sectors || !readAt(input, 512 + (std::uint64_t(at) << shift), sectorSize, sector.data()))
            return;
        for (std::uint64_t k = 0; k < perSector; ++k)
            fat.push_back(le32(sector.data() + 4 * k));
    }

    // The chain of the small-sector table, each sector once.
    const std::uint64_t miniSectorsMax = fileSize / 64;
    const std::uint64_t miniTableMax = (miniSectorsMax + perSector - 1) / perSector + 2;
    std::vector<bool> seen(fat.size());
    std::uint64_t length = 0;
    for (std::uint32_t at = le32(header + 60); at < fat.size() && !seen[at]; at = fat[at]) {
        seen[at] = true;
        if (++length > miniTableMax)
            throw FormatError(
                QStringLiteral("bad compound file: its small-sector table is longer than a %1-byte file can use")
                    .arg(static_cast<qulonglong>(fileSize)));
    }
}

CompoundFile readCompound(GsfInput* input, std::size_t fileSize, ReadBudget* budget)
{
    checkTables(input, fileSize);
    GError* err = nullptr;
    GPtr<GsfInfile> root(gsf_infile_msole_new(input, &err));
    if (!root)
        throw FormatError(QStringLiteral("bad compound file: %1").arg(gerrorText(err)));
    ReadBudget own;
    Extraction ex;
    ex.fileSize = fileSize;
    ex.budget = budget ? budget : &own;
    CompoundFile file;
    WorkbookSlot slot;
    slot.data = &file.workbook;
    readChildren(root.get(), file.others, ex, 0, &slot);
    if (slot.rank == 0)
        throw FormatError(QStringLiteral("the compound file holds no workbook stream"));
    return file;
}

void writeChildren(GsfOutfile* dir, const std::vector<CompoundEntry>& entries)
{
    for (const CompoundEntry& e : entries) {
        GPtr<GsfOutput> child(gsf_outfile_new_child(dir, e.name.c_str(), e.storage));
        if (!child)
            throw Error(
                QStringLiteral("Cannot create compound file entry '%1'").arg(QString::fromUtf8(e.name.c_str())));
        if (e.storage)
            writeChildren(GSF_OUTFILE(child.get()), e.children);
        else if (!e.data.empty() && !gsf_output_write(child.get(), e.data.size(), e.data.data()))
            throw Error(
                QStringLiteral("Cannot write compound file stream '%1'").arg(QString::fromUtf8(e.name.c_str())));
        gsf_output_close(child.get());
    }
}

void writeCompound(const Bytes& workbook, Bytes* letGo, const std::vector<CompoundEntry>& others,
                   const CompoundFile::Sink& sink);

} // namespace

CompoundFile CompoundFile::fromBytes(const Bytes& bytes, ReadBudget* budget)
{
    initGsfOnce();
    if (bytes.size() < 512 || std::memcmp(bytes.data(), kSignature, 8) != 0)
        throw FormatError(QStringLiteral("bad compound file header"));
    GPtr<GsfInput> input(gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
    if (!input)
        throw FormatError(QStringLiteral("bad compound file header"));
    return readCompound(input.get(), bytes.size(), budget);
}

CompoundFile CompoundFile::fromFile(std::FILE* file, std::size_t size, ReadBudget* budget)
{
    initGsfOnce();
    std::uint8_t head[8] = {};
    if (size < 512 || std::fseek(file, 0, SEEK_SET) != 0 || std::fread(head, 1, 8, file) != 8
        || std::memcmp(head, kSignature, 8) != 0)
        throw FormatError(QStringLiteral("bad compound file header"));
    // libgsf reads from where the file stands, taking it to be the start.
    if (std::fseek(file, 0, SEEK_SET) != 0)
        throw FormatError(QStringLiteral("bad compound file header"));
    // libgsf reads the directory and each stream's sectors where they are in the file.
    GPtr<GsfInput> input(gsf_input_stdio_new_FILE("", file, TRUE));
    if (!input)
        throw FormatError(QStringLiteral("bad compound file header"));
    if (gsf_input_size(input.get()) != static_cast<gsf_off_t>(size))
        throw FormatError(QStringLiteral("the file changed while it was read"));
    return readCompound(input.get(), size, budget);
}

Bytes CompoundFile::toBytes() const
{
    Bytes out;
    write(workbook, others, [&](const std::uint8_t* data, std::size_t size) { out.assign(data, data + size); });
    return out;
}

void CompoundFile::write(const Bytes& workbook, const std::vector<CompoundEntry>& others, const Sink& sink)
{
    writeCompound(workbook, nullptr, others, sink);
}

void CompoundFile::write(Bytes&& workbook, const std::vector<CompoundEntry>& others, const Sink& sink)
{
    writeCompound(workbook, &workbook, others, sink);
}

namespace {

void writeCompound(const Bytes& workbook, Bytes* letGo, const std::vector<CompoundEntry>& others,
                   const CompoundFile::Sink& sink)
{
    initGsfOnce();
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(memory.get()));
    if (!root)
        throw Error(QStringLiteral("Cannot create a compound file"));
    {
        GPtr<GsfOutput> stream(gsf_outfile_new_child(root.get(), "Workbook", FALSE));
        if (!stream || (!workbook.empty() && !gsf_output_write(stream.get(), workbook.size(), workbook.data())))
            throw Error(QStringLiteral("Cannot write the workbook stream"));
        gsf_output_close(stream.get());
    }
    if (letGo)
        Bytes().swap(*letGo);
    writeChildren(root.get(), others);
    // Closing the container writes directory, FAT and header, and closes the sink too.
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
        throw Error(QStringLiteral("Cannot finish the compound file"));
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    sink(data, static_cast<std::size_t>(size));
}

} // namespace

} // namespace sheet
