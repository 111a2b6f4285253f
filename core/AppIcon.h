#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The application icon, drawn by the program: a progress chart over a measuring tape.

// The sizes the icon carries, in pixels.
inline const QList<int> ApplicationIconSizes = {32, 48, 128, 256};

// One image of the icon, size x size pixels.
QImage DrawApplicationIcon(int size);

// The icon with one image per size of ApplicationIconSizes.
QIcon ApplicationIcon();
