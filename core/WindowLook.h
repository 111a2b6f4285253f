#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// Fonts and backgrounds of the program's windows.

// Every window uses Arial 9 pt bold and every push button Arial 11.25 pt bold (fontconfig
// maps Arial to Liberation Sans).
QFont WindowFont();
QFont ButtonFont();
// Sets the window font on window and the button font on each of its push buttons.
void ApplyWindowFonts(QWidget* window);
// Push buttons are 405 twips high.
constexpr int ButtonHeightTwips = 405;

// The system's button face colour.
QColor ButtonFaceColour();
// Windows, frames, option buttons, check boxes and labels are designed on white.
void ApplyDesignBackground(QWidget* window);
// Gives the window and its option buttons, check boxes, frames and labels the button face
// background; other controls (text boxes, lists, push buttons) keep theirs. With
// includePictures, picture boxes (scroll areas showing a picture) too.
void ApplyPlainBackground(QWidget* window, bool includePictures = false);
