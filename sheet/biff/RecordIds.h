#pragma once

#include <cstdint>

// BIFF8 record identifiers the engine reads or writes itself.
namespace sheet::rid {

constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCalcCount = 0x000C;
constexpr std::uint16_t kCalcMode = 0x000D;
constexpr std::uint16_t kPrecision = 0x000E;
constexpr std::uint16_t kRefMode = 0x000F;
constexpr std::uint16_t kDelta = 0x0010;
constexpr std::uint16_t kIteration = 0x0011;
constexpr std::uint16_t kHeader = 0x0014;
constexpr std::uint16_t kFooter = 0x0015;
constexpr std::uint16_t kExternSheet = 0x0017;
constexpr std::uint16_t kName = 0x0018;
constexpr std::uint16_t kSelection = 0x001D;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kExternName = 0x0023;
constexpr std::uint16_t kPrintHeaders = 0x002A;
constexpr std::uint16_t kPrintGridlines = 0x002B;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kBackup = 0x0040;
constexpr std::uint16_t kPane = 0x0041;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kDefColWidth = 0x0055;
constexpr std::uint16_t kXct = 0x0059;
constexpr std::uint16_t kCrn = 0x005A;
constexpr std::uint16_t kSaveRecalc = 0x005F;
constexpr std::uint16_t kTemplate = 0x0060;
constexpr std::uint16_t kColInfo = 0x007D;
constexpr std::uint16_t kGuts = 0x0080;
constexpr std::uint16_t kWsBool = 0x0081;
constexpr std::uint16_t kGridSet = 0x0082;
constexpr std::uint16_t kHCenter = 0x0083;
constexpr std::uint16_t kVCenter = 0x0084;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kCountry = 0x008C;
constexpr std::uint16_t kHideObj = 0x008D;
constexpr std::uint16_t kPalette = 0x0092;
constexpr std::uint16_t kStandardWidth = 0x0099;
constexpr std::uint16_t kScl = 0x00A0;
constexpr std::uint16_t kSetup = 0x00A1;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kMulBlank = 0x00BE;
constexpr std::uint16_t kMms = 0x00C1;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kDbCell = 0x00D7;
constexpr std::uint16_t kBookBool = 0x00DA;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kInterfaceHdr = 0x00E1;
constexpr std::uint16_t kInterfaceEnd = 0x00E2;
constexpr std::uint16_t kMergedCells = 0x00E5;
constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kUsesElfs = 0x0160;
constexpr std::uint16_t kDsf = 0x0161;
constexpr std::uint16_t kSupBook = 0x01AE;
constexpr std::uint16_t kRefreshAll = 0x01B7;
constexpr std::uint16_t kRecalcId = 0x01C1;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kRow = 0x0208;
constexpr std::uint16_t kIndex = 0x020B;
constexpr std::uint16_t kArray = 0x0221;
constexpr std::uint16_t kDefaultRowHeight = 0x0225;
constexpr std::uint16_t kTable = 0x0236;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kStyle = 0x0293;
// FORMULA under the id BIFF3 and BIFF4 used; some writers still put it in BIFF8 files.
constexpr std::uint16_t kFormulaBiff4 = 0x0406;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kShrFmla = 0x04BC;
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kPlv = 0x088B;

// BOF substream kinds.
constexpr std::uint16_t kBofGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kBofChart = 0x0020;
constexpr std::uint16_t kBofMacro = 0x0040;

} // namespace sheet::rid
