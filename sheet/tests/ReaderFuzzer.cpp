// libFuzzer entry for the workbook reader: any input must end in a workbook or a
// sheet::Error, never a crash, a hang or unbounded memory. The first byte picks the layer:
// odd feeds the rest to the BIFF8 stream reader directly (past the container), even to the
// compound file reader.
#include "model/Workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const sheet::Bytes bytes(data + 1, data + size);
    try {
        auto book = (data[0] & 1) ? sheet::Workbook::fromStream(bytes) : sheet::Workbook::fromBytes(bytes);
        // What was read must also recalculate, write and read back.
        book->recalculate();
        const sheet::Bytes again = book->toStream();
        sheet::Workbook::fromStream(again);
    } catch (const sheet::Error&) {
    }
    return 0;
}
