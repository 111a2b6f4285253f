#pragma once

#include "biff/Bytes.h"

#include <cstdint>

namespace sheet {

// How a sheet prints: the SETUP record field by field, and whether the sheet is scaled to fit a
// number of pages (a flag of WSBOOL). A default page set-up leaves paper, scale and
// orientation to the printer.
struct PageSetup {
    enum Paper : std::uint16_t { PrinterPaper = 0, Letter = 1, A4 = 9 };
    enum Flag : std::uint16_t {
        PagesAcrossFirst = 0x0001,
        Portrait = 0x0002,
        NoPrinterSettings = 0x0004, // paper, scale, resolution, copies and orientation unset
        BlackAndWhite = 0x0008,
        Draft = 0x0010,
        Notes = 0x0020,
        NoOrientation = 0x0040,
        UseFirstPageNumber = 0x0080,
    };

    std::uint16_t paper = PrinterPaper;
    std::uint16_t scale = 100; // percent
    std::int16_t firstPageNumber = 1;
    std::uint16_t fitWidth = 1;  // pages across when fitted to pages
    std::uint16_t fitHeight = 1; // pages down when fitted to pages; 0 as many as it takes
    std::uint16_t flags = NoPrinterSettings;
    std::uint16_t horizontalDpi = 0;
    std::uint16_t verticalDpi = 0;
    double headerMargin = 0.5; // inches
    double footerMargin = 0.5;
    std::uint16_t copies = 1;
    bool fitToPages = false;

    bool landscape() const { return !(flags & (Portrait | NoOrientation | NoPrinterSettings)); }
    // This paper in this orientation, at the printer's resolution `dpi`: printer settings that count.
    void setPaper(std::uint16_t size, bool inLandscape, std::uint16_t dpi);

    static constexpr std::size_t kSize = 34; // of a SETUP body
    Bytes encode() const;
    // Throws FormatError for a body of another size.
    static PageSetup decode(const Bytes& body);

    bool operator==(const PageSetup& o) const;
    bool operator!=(const PageSetup& o) const { return !(*this == o); }
};

} // namespace sheet
