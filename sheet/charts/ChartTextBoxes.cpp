#include "charts/ChartTextBoxes.h"

#include "model/Palette.h"

#include <algorithm>
#include <optional>

namespace sheet {

namespace {

using namespace chartrec;

constexpr std::uint16_t kClientAnchor = 0xF010;
constexpr std::uint16_t kShapeOptions = 0xF00B;
constexpr std::uint16_t kFillColour = 0x0181;
constexpr std::uint16_t kFillFlags = 0x01BF;
constexpr std::uint16_t kLineColour = 0x01C0;
constexpr std::uint16_t kLineFlags = 0x01FF;
constexpr double kChartUnits = 4000; // anchors count in 1/4000 of the chart area

std::uint16_t u16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

// An OfficeArt colour: plain RGB, or an index into the palette.
std::optional<std::uint32_t> colourOf(std::uint32_t value)
{
    const std::uint8_t flags = static_cast<std::uint8_t>(value >> 24);
    if (flags == 0)
        return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
    const std::uint16_t index = static_cast<std::uint16_t>(value & 0xFFFF);
    if ((flags & 0x01) && index >= 8 && index <= 63) // fPaletteIndex
        return defaultPaletteRgb(index);
    return std::nullopt;
}

// The anchor and the fill and line of the shape in one drawing record.
void readShape(const Bytes& data, ChartTextBox& box, bool& anchored)
{
    std::size_t at = 0;
    while (at + 8 <= data.size()) {
        const std::uint16_t verInstance = u16(data, at);
        const std::uint16_t type = u16(data, at + 2);
        const std::uint32_t length = u32(data, at + 4);
        if ((verInstance & 0x000F) == 0x000F) {
            at += 8; // a container: its records follow
            continue;
        }
        if (length > data.size() - at - 8)
            break;
        if (type == kClientAnchor && length >= 18) {
            const auto coordinate = [&](std::size_t k) {
                return std::clamp(static_cast<double>(u32(data, at + 10 + 4 * k)) / kChartUnits, 0.0, 1.0);
            };
            box.left = coordinate(0);
            box.top = coordinate(1);
            box.right = coordinate(2);
            box.bottom = coordinate(3);
            anchored = box.right > box.left && box.bottom > box.top;
        } else if (type == kShapeOptions) {
            const std::size_t count = verInstance >> 4;
            for (std::size_t k = 0; k < count && at + 8 + 6 * (k + 1) <= data.size(); ++k) {
                const std::size_t p = at + 8 + 6 * k;
                const std::uint16_t id = u16(data, p) & 0x3FFF;
                const std::uint32_t value = u32(data, p + 2);
                if (id == kFillColour)
                    box.fill = colourOf(value).value_or(box.fill);
                else if (id == kLineColour)
                    box.border = colourOf(value).value_or(box.border);
                else if (id == kFillFlags && (value & 0x00100000))
                    box.filled = (value & 0x10) != 0;
                else if (id == kLineFlags && (value & 0x00080000))
                    box.bordered = (value & 0x08) != 0;
            }
        }
        at += 8 + length;
    }
}

// TXO's alignment in Qt's terms.
int alignmentOf(std::uint16_t flags)
{
    int out = 0;
    switch ((flags >> 1) & 0x7) {
    case 2: out |= 0x0004; break; // centred: Qt::AlignHCenter
    case 3: out |= 0x0002; break; // right
    case 4: out |= 0x0008; break; // justified
    default: out |= 0x0001; break;
    }
    switch ((flags >> 4) & 0x7) {
    case 2: out |= 0x0080; break; // middle: Qt::AlignVCenter
    case 3: out |= 0x0040; break; // bottom
    default: out |= 0x0020; break;
    }
    return out;
}

// The characters of a TXO from the CONTINUE records after it (each starts with a flags byte
// saying whether its characters take two bytes), then the font of its first run.
std::size_t readText(const RecordList& body, std::size_t txo, ChartTextBox& box)
{
    const Bytes& head = body[txo].data;
    if (head.size() < 14)
        return txo + 1;
    box.alignment = alignmentOf(u16(head, 0));
    const std::size_t chars = u16(head, 10);
    const std::size_t runBytes = u16(head, 12);
    std::size_t i = txo + 1;
    while (static_cast<std::size_t>(box.text.size()) < chars && i < body.size() && body[i].id == Continue) {
        const Bytes& d = body[i++].data;
        if (d.empty())
            continue;
        const bool wide = d[0] & 0x01;
        for (std::size_t p = 1; p + (wide ? 1 : 0) < d.size() && static_cast<std::size_t>(box.text.size()) < chars;
             p += wide ? 2 : 1)
            box.text += QChar(wide ? u16(d, p) : d[p]);
    }
    if (runBytes >= 4 && i < body.size() && body[i].id == Continue && body[i].data.size() >= 4) {
        box.font = u16(body[i].data, 2);
        ++i;
    }
    box.text.replace(QLatin1Char('\r'), QString()); // line ends are CR LF or LF
    return i;
}

} // namespace

std::vector<ChartTextBox> readChartTextBoxes(const RecordList& body)
{
    std::vector<ChartTextBox> out;
    ChartTextBox shape;
    bool anchored = false;
    bool object = false;
    for (std::size_t i = 0; i < body.size();) {
        const Record& r = body[i];
        if (r.id == ChartRecord)
            break; // drawing objects come before the chart
        if (r.id == MsoDrawing) {
            ChartTextBox next;
            bool nextAnchored = false;
            readShape(r.data, next, nextAnchored);
            if (nextAnchored || !object) {
                shape = next;
                anchored = nextAnchored;
            }
        } else if (r.id == Obj) {
            object = true;
        } else if (r.id == TxO && object) {
            ChartTextBox box = shape;
            i = readText(body, i, box);
            if (anchored && !box.text.trimmed().isEmpty())
                out.push_back(box);
            object = false;
            anchored = false;
            continue;
        }
        ++i;
    }
    return out;
}

} // namespace sheet
