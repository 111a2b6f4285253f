#include "charts/Chart.h"

#include "model/Error.h"

namespace sheet {

namespace {
// BIFF8's default colour palette, indices 8 to 63.
constexpr std::uint32_t kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};
} // namespace

std::uint32_t paletteRgb(PaletteIndex index)
{
    if (index < 8 || index > 63)
        throw Error(QStringLiteral("Colour index %1 is not in the palette").arg(index));
    return kPalette[index - 8];
}

bool ChartSeries::operator==(const ChartSeries& o) const
{
    return values == o.values && categories == o.categories && nameCell == o.nameCell && name == o.name
        && secondaryAxis == o.secondaryAxis && line == o.line && colour == o.colour && weight == o.weight && marker == o.marker
        && markerSize == o.markerSize;
}

bool Chart::hasSecondaryAxis() const
{
    for (const ChartSeries& s : series)
        if (s.secondaryAxis)
            return true;
    return false;
}

bool Chart::operator==(const Chart& o) const
{
    return title == o.title && categoryAxisTitle == o.categoryAxisTitle && valueAxisTitle == o.valueAxisTitle
        && secondaryValueAxisTitle == o.secondaryValueAxisTitle && dateCategoryAxis == o.dateCategoryAxis
        && categoryLabelRotation == o.categoryLabelRotation && categoryNumberFormat == o.categoryNumberFormat
        && legend == o.legend && legendPosition == o.legendPosition && valueGridlines == o.valueGridlines
        && chartAreaColour == o.chartAreaColour && plotAreaColour == o.plotAreaColour
        && chartAreaFill == o.chartAreaFill && plotAreaFill == o.plotAreaFill && valueScaling == o.valueScaling
        && secondaryValueScaling == o.secondaryValueScaling && pointsBetweenTicks == o.pointsBetweenTicks
        && titleFromSeriesName == o.titleFromSeriesName && unsupportedType == o.unsupportedType
        && gridlineColour == o.gridlineColour && fonts == o.fonts && selected == o.selected && series == o.series;
}

} // namespace sheet
