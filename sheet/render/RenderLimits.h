#pragma once

#include <QString>
#include <QtGlobal>

namespace sheet {

// The largest pictures the renderers make: a side of at most 16,384 device pixels and at
// most 100 megapixels in all (400 MB of ARGB). A sheet whose last cell lies tens of
// thousands of rows down would otherwise ask for gigabytes; draw a range of it instead.
constexpr qint64 kMaxPictureSide = 16384;
constexpr qint64 kMaxPicturePixels = 100'000'000;

// Throws Error when a picture of width x height device pixels is beyond those bounds;
// `what` names the picture in the message ("The range A1:C40000").
void checkPictureSize(qint64 width, qint64 height, const QString& what);

} // namespace sheet
