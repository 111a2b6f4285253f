#pragma once

namespace sheet {

// What a value axis stores about its scale: each limit and the major unit either automatic
// or fixed (VALUERANGE).
struct ValueAxisScaling {
    bool autoMin = true;
    bool autoMax = true;
    bool autoMajor = true;
    double min = 0;
    double max = 0;
    double major = 0;

    bool operator==(const ValueAxisScaling& o) const
    {
        return autoMin == o.autoMin && autoMax == o.autoMax && autoMajor == o.autoMajor && min == o.min && max == o.max
            && major == o.major;
    }
    bool operator!=(const ValueAxisScaling& o) const { return !(*this == o); }
};

// A value axis as drawn: from min to max with a label and gridline every `major`.
struct AxisScale {
    double min = 0;
    double max = 1;
    double major = 0.1;
};

// Scales a value axis for data from dataMin to dataMax the way spreadsheet charts do
// (the rule LibreOffice's charts follow for line charts, written out in ChartScale.cpp):
// data of 193 to 210 gets 180 to 215 in steps of 5, data of 20 to 100 gets 0 to 110 in
// steps of 10. At most `maxIntervals` major intervals (2 to 10; fewer when the axis is
// short). Fixed limits and units in `stored` are kept. With no data, pass 0 and 0.
AxisScale scaleValueAxis(double dataMin, double dataMax, const ValueAxisScaling& stored = {}, int maxIntervals = 10);

} // namespace sheet
