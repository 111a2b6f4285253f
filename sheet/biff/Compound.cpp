// GLib headers name a struct member "signals", which Qt defines as a macro: include them first.
#include <gsf/gsf.h>

#include "biff/Compound.h"

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
        g_log_set_handler("libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
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
template <typename T>
using GPtr = std::unique_ptr<T, GObjectDeleter>;

QString gerrorText(GError* err)
{
    QString text = err && err->message ? QString::fromUtf8(err->message) : QStringLiteral("unknown error");
    if (err)
        g_error_free(err);
    return text;
}

Bytes readStream(GsfInput* input, std::size_t fileSize)
{
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || static_cast<std::uint64_t>(size) > fileSize)
        throw FormatError(QStringLiteral("bad compound file: stream '%1' claims %2 bytes in a %3-byte file")
                              .arg(QString::fromUtf8(gsf_input_name(input)))
                              .arg(static_cast<qlonglong>(size))
                              .arg(static_cast<qulonglong>(fileSize)));
    Bytes data(static_cast<std::size_t>(size));
    if (size > 0 && !gsf_input_read(input, static_cast<std::size_t>(size), data.data()))
        throw FormatError(QStringLiteral("bad compound file: stream '%1' cannot be read")
                              .arg(QString::fromUtf8(gsf_input_name(input))));
    return data;
}

void readChildren(GsfInfile* dir, std::vector<CompoundEntry>& out, std::size_t fileSize, int depth,
                  std::size_t& count, Bytes* workbook, bool* haveWorkbook, int* workbookRank)
{
    if (depth > kMaxDepth)
        throw FormatError(QStringLiteral("bad compound file: storages nested too deeply"));
    const int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        if (++count > kMaxEntries)
            throw FormatError(QStringLiteral("bad compound file: too many directory entries"));
        GPtr<GsfInput> child(gsf_infile_child_by_index(dir, i));
        if (!child)
            throw FormatError(QStringLiteral("bad compound file: directory entry %1 cannot be opened").arg(i));
        CompoundEntry entry;
        entry.name = gsf_input_name(child.get()) ? gsf_input_name(child.get()) : "";
        const bool isDir = GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        if (isDir) {
            entry.storage = true;
            readChildren(GSF_INFILE(child.get()), entry.children, fileSize, depth + 1, count, nullptr, nullptr,
                         nullptr);
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
        if (rank > 0 && workbook && rank > *workbookRank) {
            *workbook = readStream(child.get(), fileSize);
            *haveWorkbook = true;
            *workbookRank = rank;
            continue;
        }
        entry.data = readStream(child.get(), fileSize);
        out.push_back(std::move(entry));
    }
}

void writeChildren(GsfOutfile* dir, const std::vector<CompoundEntry>& entries)
{
    for (const CompoundEntry& e : entries) {
        GPtr<GsfOutput> child(gsf_outfile_new_child(dir, e.name.c_str(), e.storage));
        if (!child)
            throw Error(QStringLiteral("Cannot create compound file entry '%1'").arg(QString::fromUtf8(e.name.c_str())));
        if (e.storage)
            writeChildren(GSF_OUTFILE(child.get()), e.children);
        else if (!e.data.empty() && !gsf_output_write(child.get(), e.data.size(), e.data.data()))
            throw Error(QStringLiteral("Cannot write compound file stream '%1'").arg(QString::fromUtf8(e.name.c_str())));
        gsf_output_close(child.get());
    }
}

} // namespace

CompoundFile CompoundFile::fromBytes(const Bytes& bytes)
{
    initGsfOnce();
    static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes.size() < 512 || std::memcmp(bytes.data(), kSignature, 8) != 0)
        throw FormatError(QStringLiteral("bad compound file header"));

    GPtr<GsfInput> input(gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
    if (!input)
        throw FormatError(QStringLiteral("bad compound file header"));
    GError* err = nullptr;
    GPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &err));
    if (!root)
        throw FormatError(QStringLiteral("bad compound file: %1").arg(gerrorText(err)));

    CompoundFile file;
    bool haveWorkbook = false;
    int rank = 0;
    std::size_t count = 0;
    readChildren(root.get(), file.others, bytes.size(), 0, count, &file.workbook, &haveWorkbook, &rank);
    if (!haveWorkbook)
        throw FormatError(QStringLiteral("the compound file holds no workbook stream"));
    return file;
}

Bytes CompoundFile::toBytes() const
{
    initGsfOnce();
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    if (!root)
        throw Error(QStringLiteral("Cannot create a compound file"));
    {
        GPtr<GsfOutput> stream(gsf_outfile_new_child(root.get(), "Workbook", FALSE));
        if (!stream || (!workbook.empty() && !gsf_output_write(stream.get(), workbook.size(), workbook.data())))
            throw Error(QStringLiteral("Cannot write the workbook stream"));
        gsf_output_close(stream.get());
    }
    writeChildren(root.get(), others);
    // Closing the container writes directory, FAT and header, and closes the sink too.
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
        throw Error(QStringLiteral("Cannot finish the compound file"));
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    const gsf_off_t size = gsf_output_size(sink.get());
    return Bytes(data, data + size);
}

} // namespace sheet
