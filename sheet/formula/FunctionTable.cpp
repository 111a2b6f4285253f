// The BIFF8 built-in function table (iftab), with what the parser needs to write a call the
// way Excel does: argument counts, the token class of the result and of each argument.
#include "FormulaTokens.h"

#include <QHash>
#include <cstring>

namespace sheet::ptg {

namespace {

constexpr int V = kVolatile;
constexpr int M = kMacroOnly;
constexpr int X = 30; // BIFF8's limit on arguments

// Argument classes: V value, R reference (an expression there is a single value), A array,
// M reference or array (a reference stays one, an expression is computed as an array). The
// last letter repeats. Macro-sheet functions take any number of value arguments.
constexpr FunctionInfo kFunctions[] = {
    {"COUNT", 0, 0, X, 'V', "R", 0}, {"IF", 1, 2, 3, 'R', "VR", 0}, {"ISNA", 2, 1, 1, 'V', "V", 0},
    {"ISERROR", 3, 1, 1, 'V', "V", 0}, {"SUM", 4, 0, X, 'V', "R", 0}, {"AVERAGE", 5, 1, X, 'V', "R", 0},
    {"MIN", 6, 1, X, 'V', "R", 0}, {"MAX", 7, 1, X, 'V', "R", 0}, {"ROW", 8, 0, 1, 'V', "R", 0},
    {"COLUMN", 9, 0, 1, 'V', "R", 0}, {"NA", 10, 0, 0, 'V', "V", 0}, {"NPV", 11, 2, X, 'V', "VR", 0},
    {"STDEV", 12, 1, X, 'V', "R", 0}, {"DOLLAR", 13, 1, 2, 'V', "V", 0}, {"FIXED", 14, 1, 3, 'V', "V", 0},
    {"SIN", 15, 1, 1, 'V', "V", 0}, {"COS", 16, 1, 1, 'V', "V", 0}, {"TAN", 17, 1, 1, 'V', "V", 0},
    {"ATAN", 18, 1, 1, 'V', "V", 0}, {"PI", 19, 0, 0, 'V', "V", 0}, {"SQRT", 20, 1, 1, 'V', "V", 0},
    {"EXP", 21, 1, 1, 'V', "V", 0}, {"LN", 22, 1, 1, 'V', "V", 0}, {"LOG10", 23, 1, 1, 'V', "V", 0},
    {"ABS", 24, 1, 1, 'V', "V", 0}, {"INT", 25, 1, 1, 'V', "V", 0}, {"SIGN", 26, 1, 1, 'V', "V", 0},
    {"ROUND", 27, 2, 2, 'V', "V", 0}, {"LOOKUP", 28, 2, 3, 'V', "VM", 0}, {"INDEX", 29, 2, 4, 'R', "MV", 0},
    {"REPT", 30, 2, 2, 'V', "V", 0}, {"MID", 31, 3, 3, 'V', "V", 0}, {"LEN", 32, 1, 1, 'V', "V", 0},
    {"VALUE", 33, 1, 1, 'V', "V", 0}, {"TRUE", 34, 0, 0, 'V', "V", 0}, {"FALSE", 35, 0, 0, 'V', "V", 0},
    {"AND", 36, 1, X, 'V', "R", 0}, {"OR", 37, 1, X, 'V', "R", 0}, {"NOT", 38, 1, 1, 'V', "V", 0},
    {"MOD", 39, 2, 2, 'V', "V", 0}, {"DCOUNT", 40, 3, 3, 'V', "R", 0}, {"DSUM", 41, 3, 3, 'V', "R", 0},
    {"DAVERAGE", 42, 3, 3, 'V', "R", 0}, {"DMIN", 43, 3, 3, 'V', "R", 0}, {"DMAX", 44, 3, 3, 'V', "R", 0},
    {"DSTDEV", 45, 3, 3, 'V', "R", 0}, {"VAR", 46, 1, X, 'V', "R", 0}, {"DVAR", 47, 3, 3, 'V', "R", 0},
    {"TEXT", 48, 2, 2, 'V', "V", 0}, {"LINEST", 49, 1, 4, 'A', "MMV", 0}, {"TREND", 50, 1, 4, 'A', "MMMV", 0},
    {"LOGEST", 51, 1, 4, 'A', "MMV", 0}, {"GROWTH", 52, 1, 4, 'A', "MMMV", 0}, {"GOTO", 53, -1, -1, 'V', "V", M},
    {"HALT", 54, -1, -1, 'V', "V", M}, {"RETURN", 55, -1, -1, 'V', "V", M}, {"PV", 56, 3, 5, 'V', "V", 0},
    {"FV", 57, 3, 5, 'V', "V", 0}, {"NPER", 58, 3, 5, 'V', "V", 0}, {"PMT", 59, 3, 5, 'V', "V", 0},
    {"RATE", 60, 3, 6, 'V', "V", 0}, {"MIRR", 61, 3, 3, 'V', "MV", 0}, {"IRR", 62, 1, 2, 'V', "MV", 0},
    {"RAND", 63, 0, 0, 'V', "V", V}, {"MATCH", 64, 2, 3, 'V', "VRR", 0}, {"DATE", 65, 3, 3, 'V', "V", 0},
    {"TIME", 66, 3, 3, 'V', "V", 0}, {"DAY", 67, 1, 1, 'V', "V", 0}, {"MONTH", 68, 1, 1, 'V', "V", 0},
    {"YEAR", 69, 1, 1, 'V', "V", 0}, {"WEEKDAY", 70, 1, 2, 'V', "V", 0}, {"HOUR", 71, 1, 1, 'V', "V", 0},
    {"MINUTE", 72, 1, 1, 'V', "V", 0}, {"SECOND", 73, 1, 1, 'V', "V", 0}, {"NOW", 74, 0, 0, 'V', "V", V},
    {"AREAS", 75, 1, 1, 'V', "R", 0}, {"ROWS", 76, 1, 1, 'V', "R", 0}, {"COLUMNS", 77, 1, 1, 'V', "R", 0},
    {"OFFSET", 78, 3, 5, 'R', "RV", V}, {"ABSREF", 79, -1, -1, 'V', "V", M}, {"RELREF", 80, -1, -1, 'V', "V", M},
    {"ARGUMENT", 81, -1, -1, 'V', "V", M}, {"SEARCH", 82, 2, 3, 'V', "V", 0}, {"TRANSPOSE", 83, 1, 1, 'A', "A", 0},
    {"ERROR", 84, -1, -1, 'V', "V", M}, {"STEP", 85, -1, -1, 'V', "V", M}, {"TYPE", 86, 1, 1, 'V', "V", 0},
    {"ECHO", 87, -1, -1, 'V', "V", M}, {"SET.NAME", 88, -1, -1, 'V', "V", M}, {"CALLER", 89, -1, -1, 'V', "V", M},
    {"DEREF", 90, -1, -1, 'V', "V", M}, {"WINDOWS", 91, -1, -1, 'V', "V", M}, {"SERIES", 92, 4, 4, 'V', "VVVA", 0},
    {"DOCUMENTS", 93, -1, -1, 'V', "V", M}, {"ACTIVE.CELL", 94, -1, -1, 'V', "V", M},
    {"SELECTION", 95, -1, -1, 'V', "V", M}, {"RESULT", 96, -1, -1, 'V', "V", M}, {"ATAN2", 97, 2, 2, 'V', "V", 0},
    {"ASIN", 98, 1, 1, 'V', "V", 0}, {"ACOS", 99, 1, 1, 'V', "V", 0}, {"CHOOSE", 100, 2, X, 'R', "VR", 0},
    {"HLOOKUP", 101, 3, 4, 'V', "VRRV", 0}, {"VLOOKUP", 102, 3, 4, 'V', "VRRV", 0},
    {"LINKS", 103, -1, -1, 'V', "V", M}, {"INPUT", 104, -1, -1, 'V', "V", M}, {"ISREF", 105, 1, 1, 'V', "R", 0},
    {"GET.FORMULA", 106, -1, -1, 'V', "V", M}, {"GET.NAME", 107, -1, -1, 'V', "V", M},
    {"SET.VALUE", 108, -1, -1, 'V', "V", M}, {"LOG", 109, 1, 2, 'V', "V", 0}, {"EXEC", 110, -1, -1, 'V', "V", M},
    {"CHAR", 111, 1, 1, 'V', "V", 0}, {"LOWER", 112, 1, 1, 'V', "V", 0}, {"UPPER", 113, 1, 1, 'V', "V", 0},
    {"PROPER", 114, 1, 1, 'V', "V", 0}, {"LEFT", 115, 1, 2, 'V', "V", 0}, {"RIGHT", 116, 1, 2, 'V', "V", 0},
    {"EXACT", 117, 2, 2, 'V', "V", 0}, {"TRIM", 118, 1, 1, 'V', "V", 0}, {"REPLACE", 119, 4, 4, 'V', "V", 0},
    {"SUBSTITUTE", 120, 3, 4, 'V', "V", 0}, {"CODE", 121, 1, 1, 'V', "V", 0}, {"NAMES", 122, -1, -1, 'V', "V", M},
    {"DIRECTORY", 123, -1, -1, 'V', "V", M}, {"FIND", 124, 2, 3, 'V', "V", 0}, {"CELL", 125, 1, 2, 'V', "VR", V},
    {"ISERR", 126, 1, 1, 'V', "V", 0}, {"ISTEXT", 127, 1, 1, 'V', "V", 0}, {"ISNUMBER", 128, 1, 1, 'V', "V", 0},
    {"ISBLANK", 129, 1, 1, 'V', "V", 0}, {"T", 130, 1, 1, 'V', "R", 0}, {"N", 131, 1, 1, 'V', "R", 0},
    {"FOPEN", 132, -1, -1, 'V', "V", M}, {"FCLOSE", 133, -1, -1, 'V', "V", M}, {"FSIZE", 134, -1, -1, 'V', "V", M},
    {"FREADLN", 135, -1, -1, 'V', "V", M}, {"FREAD", 136, -1, -1, 'V', "V", M},
    {"FWRITELN", 137, -1, -1, 'V', "V", M}, {"FWRITE", 138, -1, -1, 'V', "V", M}, {"FPOS", 139, -1, -1, 'V', "V", M},
    {"DATEVALUE", 140, 1, 1, 'V', "V", 0}, {"TIMEVALUE", 141, 1, 1, 'V', "V", 0}, {"SLN", 142, 3, 3, 'V', "V", 0},
    {"SYD", 143, 4, 4, 'V', "V", 0}, {"DDB", 144, 4, 5, 'V', "V", 0}, {"GET.DEF", 145, -1, -1, 'V', "V", M},
    {"REFTEXT", 146, -1, -1, 'V', "V", M}, {"TEXTREF", 147, -1, -1, 'V', "V", M},
    {"INDIRECT", 148, 1, 2, 'R', "V", V}, {"REGISTER", 149, -1, -1, 'V', "V", M}, {"CALL", 150, -1, -1, 'V', "V", M},
    {"ADD.BAR", 151, -1, -1, 'V', "V", M}, {"ADD.MENU", 152, -1, -1, 'V', "V", M},
    {"ADD.COMMAND", 153, -1, -1, 'V', "V", M}, {"ENABLE.COMMAND", 154, -1, -1, 'V', "V", M},
    {"CHECK.COMMAND", 155, -1, -1, 'V', "V", M}, {"RENAME.COMMAND", 156, -1, -1, 'V', "V", M},
    {"SHOW.BAR", 157, -1, -1, 'V', "V", M}, {"DELETE.MENU", 158, -1, -1, 'V', "V", M},
    {"DELETE.COMMAND", 159, -1, -1, 'V', "V", M}, {"GET.CHART.ITEM", 160, -1, -1, 'V', "V", M},
    {"DIALOG.BOX", 161, -1, -1, 'V', "V", M}, {"CLEAN", 162, 1, 1, 'V', "V", 0}, {"MDETERM", 163, 1, 1, 'V', "A", 0},
    {"MINVERSE", 164, 1, 1, 'A', "A", 0}, {"MMULT", 165, 2, 2, 'A', "A", 0}, {"FILES", 166, -1, -1, 'V', "V", M},
    {"IPMT", 167, 4, 6, 'V', "V", 0}, {"PPMT", 168, 4, 6, 'V', "V", 0}, {"COUNTA", 169, 0, X, 'V', "R", 0},
    {"CANCEL.KEY", 170, -1, -1, 'V', "V", M}, {"FOR", 171, -1, -1, 'V', "V", M}, {"WHILE", 172, -1, -1, 'V', "V", M},
    {"BREAK", 173, -1, -1, 'V', "V", M}, {"NEXT", 174, -1, -1, 'V', "V", M}, {"INITIATE", 175, -1, -1, 'V', "V", M},
    {"REQUEST", 176, -1, -1, 'V', "V", M}, {"POKE", 177, -1, -1, 'V', "V", M}, {"EXECUTE", 178, -1, -1, 'V', "V", M},
    {"TERMINATE", 179, -1, -1, 'V', "V", M}, {"RESTART", 180, -1, -1, 'V', "V", M},
    {"HELP", 181, -1, -1, 'V', "V", M}, {"GET.BAR", 182, -1, -1, 'V', "V", M}, {"PRODUCT", 183, 0, X, 'V', "R", 0},
    {"FACT", 184, 1, 1, 'V', "V", 0}, {"GET.CELL", 185, -1, -1, 'V', "V", M},
    {"GET.WORKSPACE", 186, -1, -1, 'V', "V", M}, {"GET.WINDOW", 187, -1, -1, 'V', "V", M},
    {"GET.DOCUMENT", 188, -1, -1, 'V', "V", M}, {"DPRODUCT", 189, 3, 3, 'V', "R", 0},
    {"ISNONTEXT", 190, 1, 1, 'V', "V", 0}, {"GET.NOTE", 191, -1, -1, 'V', "V", M}, {"NOTE", 192, -1, -1, 'V', "V", M},
    {"STDEVP", 193, 1, X, 'V', "R", 0}, {"VARP", 194, 1, X, 'V', "R", 0}, {"DSTDEVP", 195, 3, 3, 'V', "R", 0},
    {"DVARP", 196, 3, 3, 'V', "R", 0}, {"TRUNC", 197, 1, 2, 'V', "V", 0}, {"ISLOGICAL", 198, 1, 1, 'V', "V", 0},
    {"DCOUNTA", 199, 3, 3, 'V', "R", 0}, {"DELETE.BAR", 200, -1, -1, 'V', "V", M},
    {"UNREGISTER", 201, -1, -1, 'V', "V", M}, {"USDOLLAR", 204, 1, 2, 'V', "V", 0}, {"FINDB", 205, 2, 3, 'V', "V", 0},
    {"SEARCHB", 206, 2, 3, 'V', "V", 0}, {"REPLACEB", 207, 4, 4, 'V', "V", 0}, {"LEFTB", 208, 1, 2, 'V', "V", 0},
    {"RIGHTB", 209, 1, 2, 'V', "V", 0}, {"MIDB", 210, 3, 3, 'V', "V", 0}, {"LENB", 211, 1, 1, 'V', "V", 0},
    {"ROUNDUP", 212, 2, 2, 'V', "V", 0}, {"ROUNDDOWN", 213, 2, 2, 'V', "V", 0}, {"ASC", 214, 1, 1, 'V', "V", 0},
    {"DBCS", 215, 1, 1, 'V', "V", 0}, {"RANK", 216, 2, 3, 'V', "VRV", 0}, {"ADDRESS", 219, 2, 5, 'V', "V", 0},
    {"DAYS360", 220, 2, 3, 'V', "V", 0}, {"TODAY", 221, 0, 0, 'V', "V", V}, {"VDB", 222, 5, 7, 'V', "V", 0},
    {"ELSE", 223, -1, -1, 'V', "V", M}, {"ELSE.IF", 224, -1, -1, 'V', "V", M}, {"END.IF", 225, -1, -1, 'V', "V", M},
    {"FOR.CELL", 226, -1, -1, 'V', "V", M}, {"MEDIAN", 227, 1, X, 'V', "R", 0}, {"SUMPRODUCT", 228, 1, X, 'V', "A", 0},
    {"SINH", 229, 1, 1, 'V', "V", 0}, {"COSH", 230, 1, 1, 'V', "V", 0}, {"TANH", 231, 1, 1, 'V', "V", 0},
    {"ASINH", 232, 1, 1, 'V', "V", 0}, {"ACOSH", 233, 1, 1, 'V', "V", 0}, {"ATANH", 234, 1, 1, 'V', "V", 0},
    {"DGET", 235, 3, 3, 'V', "R", 0}, {"CREATE.OBJECT", 236, -1, -1, 'V', "V", M},
    {"VOLATILE", 237, -1, -1, 'V', "V", M}, {"LAST.ERROR", 238, -1, -1, 'V', "V", M},
    {"CUSTOM.UNDO", 239, -1, -1, 'V', "V", M}, {"CUSTOM.REPEAT", 240, -1, -1, 'V', "V", M},
    {"FORMULA.CONVERT", 241, -1, -1, 'V', "V", M}, {"GET.LINK.INFO", 242, -1, -1, 'V', "V", M},
    {"TEXT.BOX", 243, -1, -1, 'V', "V", M}, {"INFO", 244, 1, 1, 'V', "V", V}, {"GROUP", 245, -1, -1, 'V', "V", M},
    {"GET.OBJECT", 246, -1, -1, 'V', "V", M}, {"DB", 247, 4, 5, 'V', "V", 0}, {"PAUSE", 248, -1, -1, 'V', "V", M},
    {"RESUME", 251, -1, -1, 'V', "V", M}, {"FREQUENCY", 252, 2, 2, 'A', "M", 0},
    {"ADD.TOOLBAR", 253, -1, -1, 'V', "V", M}, {"DELETE.TOOLBAR", 254, -1, -1, 'V', "V", M},
    {"RESET.TOOLBAR", 256, -1, -1, 'V', "V", M}, {"EVALUATE", 257, -1, -1, 'V', "V", M},
    {"GET.TOOLBAR", 258, -1, -1, 'V', "V", M}, {"GET.TOOL", 259, -1, -1, 'V', "V", M},
    {"SPELLING.CHECK", 260, -1, -1, 'V', "V", M}, {"ERROR.TYPE", 261, 1, 1, 'V', "V", 0},
    {"APP.TITLE", 262, -1, -1, 'V', "V", M}, {"WINDOW.TITLE", 263, -1, -1, 'V', "V", M},
    {"SAVE.TOOLBAR", 264, -1, -1, 'V', "V", M}, {"ENABLE.TOOL", 265, -1, -1, 'V', "V", M},
    {"PRESS.TOOL", 266, -1, -1, 'V', "V", M}, {"REGISTER.ID", 267, -1, -1, 'V', "V", M},
    {"GET.WORKBOOK", 268, -1, -1, 'V', "V", M}, {"AVEDEV", 269, 1, X, 'V', "R", 0},
    {"BETADIST", 270, 3, 5, 'V', "V", 0}, {"GAMMALN", 271, 1, 1, 'V', "V", 0}, {"BETAINV", 272, 3, 5, 'V', "V", 0},
    {"BINOMDIST", 273, 4, 4, 'V', "V", 0}, {"CHIDIST", 274, 2, 2, 'V', "V", 0}, {"CHIINV", 275, 2, 2, 'V', "V", 0},
    {"COMBIN", 276, 2, 2, 'V', "V", 0}, {"CONFIDENCE", 277, 3, 3, 'V', "V", 0},
    {"CRITBINOM", 278, 3, 3, 'V', "V", 0}, {"EVEN", 279, 1, 1, 'V', "V", 0}, {"EXPONDIST", 280, 3, 3, 'V', "V", 0},
    {"FDIST", 281, 3, 3, 'V', "V", 0}, {"FINV", 282, 3, 3, 'V', "V", 0}, {"FISHER", 283, 1, 1, 'V', "V", 0},
    {"FISHERINV", 284, 1, 1, 'V', "V", 0}, {"FLOOR", 285, 2, 2, 'V', "V", 0}, {"GAMMADIST", 286, 4, 4, 'V', "V", 0},
    {"GAMMAINV", 287, 3, 3, 'V', "V", 0}, {"CEILING", 288, 2, 2, 'V', "V", 0},
    {"HYPGEOMDIST", 289, 4, 4, 'V', "V", 0}, {"LOGNORMDIST", 290, 3, 3, 'V', "V", 0},
    {"LOGINV", 291, 3, 3, 'V', "V", 0}, {"NEGBINOMDIST", 292, 3, 3, 'V', "V", 0},
    {"NORMDIST", 293, 4, 4, 'V', "V", 0}, {"NORMSDIST", 294, 1, 1, 'V', "V", 0}, {"NORMINV", 295, 3, 3, 'V', "V", 0},
    {"NORMSINV", 296, 1, 1, 'V', "V", 0}, {"STANDARDIZE", 297, 3, 3, 'V', "V", 0}, {"ODD", 298, 1, 1, 'V', "V", 0},
    {"PERMUT", 299, 2, 2, 'V', "V", 0}, {"POISSON", 300, 3, 3, 'V', "V", 0}, {"TDIST", 301, 3, 3, 'V', "V", 0},
    {"WEIBULL", 302, 4, 4, 'V', "V", 0}, {"SUMXMY2", 303, 2, 2, 'V', "A", 0}, {"SUMX2MY2", 304, 2, 2, 'V', "A", 0},
    {"SUMX2PY2", 305, 2, 2, 'V', "A", 0}, {"CHITEST", 306, 2, 2, 'V', "A", 0}, {"CORREL", 307, 2, 2, 'V', "A", 0},
    {"COVAR", 308, 2, 2, 'V', "A", 0}, {"FORECAST", 309, 3, 3, 'V', "VA", 0}, {"FTEST", 310, 2, 2, 'V', "A", 0},
    {"INTERCEPT", 311, 2, 2, 'V', "A", 0}, {"PEARSON", 312, 2, 2, 'V', "A", 0}, {"RSQ", 313, 2, 2, 'V', "A", 0},
    {"STEYX", 314, 2, 2, 'V', "A", 0}, {"SLOPE", 315, 2, 2, 'V', "A", 0}, {"TTEST", 316, 4, 4, 'V', "AAV", 0},
    {"PROB", 317, 3, 4, 'V', "AAV", 0}, {"DEVSQ", 318, 1, X, 'V', "R", 0}, {"GEOMEAN", 319, 1, X, 'V', "R", 0},
    {"HARMEAN", 320, 1, X, 'V', "R", 0}, {"SUMSQ", 321, 0, X, 'V', "R", 0}, {"KURT", 322, 1, X, 'V', "R", 0},
    {"SKEW", 323, 1, X, 'V', "R", 0}, {"ZTEST", 324, 2, 3, 'V', "RV", 0}, {"LARGE", 325, 2, 2, 'V', "RV", 0},
    {"SMALL", 326, 2, 2, 'V', "RV", 0}, {"QUARTILE", 327, 2, 2, 'V', "RV", 0}, {"PERCENTILE", 328, 2, 2, 'V', "RV", 0},
    {"PERCENTRANK", 329, 2, 3, 'V', "RV", 0}, {"MODE", 330, 1, X, 'V', "A", 0}, {"TRIMMEAN", 331, 2, 2, 'V', "RV", 0},
    {"TINV", 332, 2, 2, 'V', "V", 0}, {"MOVIE.COMMAND", 334, -1, -1, 'V', "V", M},
    {"GET.MOVIE", 335, -1, -1, 'V', "V", M}, {"CONCATENATE", 336, 1, X, 'V', "V", 0},
    {"POWER", 337, 2, 2, 'V', "V", 0}, {"PIVOT.ADD.DATA", 338, -1, -1, 'V', "V", M},
    {"GET.PIVOT.TABLE", 339, -1, -1, 'V', "V", M}, {"GET.PIVOT.FIELD", 340, -1, -1, 'V', "V", M},
    {"GET.PIVOT.ITEM", 341, -1, -1, 'V', "V", M}, {"RADIANS", 342, 1, 1, 'V', "V", 0},
    {"DEGREES", 343, 1, 1, 'V', "V", 0}, {"SUBTOTAL", 344, 2, X, 'V', "VR", 0}, {"SUMIF", 345, 2, 3, 'V', "RVR", 0},
    {"COUNTIF", 346, 2, 2, 'V', "RV", 0}, {"COUNTBLANK", 347, 1, 1, 'V', "R", 0},
    {"SCENARIO.GET", 348, -1, -1, 'V', "V", M}, {"OPTIONS.LISTS.GET", 349, -1, -1, 'V', "V", M},
    {"ISPMT", 350, 4, 4, 'V', "V", 0}, {"DATEDIF", 351, 3, 3, 'V', "V", 0}, {"DATESTRING", 352, 1, 1, 'V', "V", 0},
    {"NUMBERSTRING", 353, 2, 2, 'V', "V", 0}, {"ROMAN", 354, 1, 2, 'V', "V", 0},
    {"OPEN.DIALOG", 355, -1, -1, 'V', "V", M}, {"SAVE.DIALOG", 356, -1, -1, 'V', "V", M},
    {"VIEW.GET", 357, -1, -1, 'V', "V", M}, {"GETPIVOTDATA", 358, 2, X, 'V', "VRV", 0},
    {"HYPERLINK", 359, 1, 2, 'V', "V", 0}, {"PHONETIC", 360, 1, 1, 'V', "R", 0}, {"AVERAGEA", 361, 1, X, 'V', "R", 0},
    {"MAXA", 362, 1, X, 'V', "R", 0}, {"MINA", 363, 1, X, 'V', "R", 0}, {"STDEVPA", 364, 1, X, 'V', "R", 0},
    {"VARPA", 365, 1, X, 'V', "R", 0}, {"STDEVA", 366, 1, X, 'V', "R", 0}, {"VARA", 367, 1, X, 'V', "R", 0},
    {"BAHTTEXT", 368, 1, 1, 'V', "V", 0}, {"THAIDAYOFWEEK", 369, 1, 1, 'V', "V", 0},
    {"THAIDIGIT", 370, 1, 1, 'V', "V", 0}, {"THAIMONTHOFYEAR", 371, 1, 1, 'V', "V", 0},
    {"THAINUMSOUND", 372, 1, 1, 'V', "V", 0}, {"THAINUMSTRING", 373, 1, 1, 'V', "V", 0},
    {"THAISTRINGLENGTH", 374, 1, 1, 'V', "V", 0}, {"ISTHAIDIGIT", 375, 1, 1, 'V', "V", 0},
    {"ROUNDBAHTDOWN", 376, 1, 1, 'V', "V", 0}, {"ROUNDBAHTUP", 377, 1, 1, 'V', "V", 0},
    {"THAIYEAR", 378, 1, 1, 'V', "V", 0}, {"RTD", 379, 3, X, 'V', "V", V}, {"ISHYPERLINK", 380, 1, 1, 'V', "V", 0},
};

constexpr int kTableSize = 381;

struct Index {
    const FunctionInfo* byIndex[kTableSize] = {};
    QHash<QString, const FunctionInfo*> byName;
    Index()
    {
        for (const FunctionInfo& f : kFunctions) {
            byIndex[f.index] = &f;
            byName.insert(QLatin1String(f.name), &f);
        }
    }
};

const Index& index()
{
    static const Index table;
    return table;
}

} // namespace

char FunctionInfo::argClass(int i) const
{
    const int n = static_cast<int>(std::strlen(argClasses));
    return argClasses[i < n ? i : n - 1];
}

const FunctionInfo* functionByName(const QString& name)
{
    return index().byName.value(name.toUpper());
}

const FunctionInfo* functionByIndex(int i)
{
    if (i < 0 || i >= kTableSize)
        return nullptr;
    return index().byIndex[i];
}

QString addInFunctionName(const QString& name)
{
    static const QHash<QString, QString> names = [] {
        static const char* const all[] = {
            // Analysis ToolPak
            "ACCRINT", "ACCRINTM", "AMORDEGRC", "AMORLINC", "BESSELI", "BESSELJ", "BESSELK", "BESSELY",
            "BIN2DEC", "BIN2HEX", "BIN2OCT", "COMPLEX", "CONVERT", "COUPDAYBS", "COUPDAYS", "COUPDAYSNC",
            "COUPNCD", "COUPNUM", "COUPPCD", "CUMIPMT", "CUMPRINC", "DEC2BIN", "DEC2HEX", "DEC2OCT", "DELTA",
            "DISC", "DOLLARDE", "DOLLARFR", "DURATION", "EDATE", "EFFECT", "EOMONTH", "ERF", "ERFC",
            "FACTDOUBLE", "FVSCHEDULE", "GCD", "GESTEP", "HEX2BIN", "HEX2DEC", "HEX2OCT", "IMABS",
            "IMAGINARY", "IMARGUMENT", "IMCONJUGATE", "IMCOS", "IMDIV", "IMEXP", "IMLN", "IMLOG10", "IMLOG2",
            "IMPOWER", "IMPRODUCT", "IMREAL", "IMSIN", "IMSQRT", "IMSUB", "IMSUM", "INTRATE", "ISEVEN", "ISODD",
            "LCM", "MDURATION", "MROUND", "MULTINOMIAL", "NETWORKDAYS", "NOMINAL", "OCT2BIN", "OCT2DEC",
            "OCT2HEX", "ODDFPRICE", "ODDFYIELD", "ODDLPRICE", "ODDLYIELD", "PRICE", "PRICEDISC", "PRICEMAT",
            "QUOTIENT", "RANDBETWEEN", "RECEIVED", "SERIESSUM", "SQRTPI", "TBILLEQ", "TBILLPRICE",
            "TBILLYIELD", "WEEKNUM", "WORKDAY", "XIRR", "XNPV", "YEARFRAC", "YIELD", "YIELDDISC", "YIELDMAT",
            // later versions, kept in BIFF8 files under "_xlfn." names
            "_xlfn.IFERROR", "_xlfn.COUNTIFS", "_xlfn.SUMIFS", "_xlfn.AVERAGEIF", "_xlfn.AVERAGEIFS",
            "_xlfn.CONCAT", "_xlfn.TEXTJOIN", "_xlfn.IFS", "_xlfn.MAXIFS", "_xlfn.MINIFS", "_xlfn.SWITCH",
            "_xlfn.XOR", "_xlfn.IFNA", "_xlfn.POISSON.DIST", "_xlfn.NORM.DIST", "_xlfn.NORM.S.DIST",
            "_xlfn.STDEV.S", "_xlfn.STDEV.P", "_xlfn.VAR.S", "_xlfn.VAR.P", "_xlfn.MODE.SNGL",
            "_xlfn.PERCENTILE.INC", "_xlfn.QUARTILE.INC", "_xlfn.RANK.EQ", "_xlfn.CEILING.MATH",
            "_xlfn.FLOOR.MATH", "_xlfn.DAYS", "_xlfn.ISOWEEKNUM", "_xlfn.SINGLE", "_xlfn.AGGREGATE",
        };
        QHash<QString, QString> h;
        for (const char* n : all) {
            const QString name = QString::fromLatin1(n);
            h.insert(name.toUpper(), name);
            if (name.startsWith(QLatin1String("_xlfn.")))
                h.insert(name.mid(6).toUpper(), name); // typed without the prefix
        }
        return h;
    }();
    return names.value(name.toUpper());
}

} // namespace sheet::ptg
