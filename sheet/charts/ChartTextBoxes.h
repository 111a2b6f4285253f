#pragma once

#include "charts/Chart.h"

#include <vector>

namespace sheet {

// The text boxes of a chart sheet body: each drawing object (MSODRAWING, then OBJ) with a
// text (TXO and the CONTINUE records after it holding its characters and formatting runs),
// placed by its drawing's client anchor in 1/4000 of the chart area. Objects it cannot follow
// are passed over.
std::vector<ChartTextBox> readChartTextBoxes(const RecordList& body);

} // namespace sheet
