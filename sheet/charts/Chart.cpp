#include "charts/Chart.h"

#include "base/Error.h"
#include "model/Palette.h"

namespace sheet {

std::uint32_t paletteRgb(PaletteIndex index)
{
    if (index < 8 || index > 63)
        throw Error(QStringLiteral("Colour index %1 is not in the palette").arg(index));
    return defaultPaletteRgb(index);
}

bool ChartSeries::operator==(const ChartSeries& o) const
{
    return values == o.values && categories == o.categories && nameCell == o.nameCell && name == o.name
        && secondaryAxis == o.secondaryAxis && line == o.line && colour == o.colour && weight == o.weight
        && pattern == o.pattern && marker == o.marker && markerSize == o.markerSize && valueLabels == o.valueLabels;
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
        && secondaryValueAxisTitle == o.secondaryValueAxisTitle && valueAxisTitleAngle == o.valueAxisTitleAngle
        && secondaryValueAxisTitleAngle == o.secondaryValueAxisTitleAngle && textBoxes == o.textBoxes
        && dateCategoryAxis == o.dateCategoryAxis && dateScaling == o.dateScaling
        && categoryLabelRotation == o.categoryLabelRotation && categoryNumberFormat == o.categoryNumberFormat
        && legend == o.legend && legendPosition == o.legendPosition && valueGridlines == o.valueGridlines
        && categoryGridlines == o.categoryGridlines && chartAreaColour == o.chartAreaColour
        && plotAreaColour == o.plotAreaColour && chartAreaFill == o.chartAreaFill && plotAreaFill == o.plotAreaFill
        && valueScaling == o.valueScaling && secondaryValueScaling == o.secondaryValueScaling
        && pointsBetweenTicks == o.pointsBetweenTicks && titleFromSeriesName == o.titleFromSeriesName
        && unsupportedType == o.unsupportedType && scatter == o.scatter && xScaling == o.xScaling
        && gridlineColour == o.gridlineColour && gridlineWeight == o.gridlineWeight && fonts == o.fonts
        && selected == o.selected && series == o.series;
}

} // namespace sheet
