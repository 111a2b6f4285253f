#include "WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QWidget>

namespace {

void SetBackground(QWidget* widget, const QColor& colour)
{
    // Buttons paint their background in the Button role; make every one use Window.
    widget->setBackgroundRole(QPalette::Window);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool TakesPlainBackground(QWidget* widget, bool includePictures)
{
    if (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget) || qobject_cast<QGroupBox*>(widget)
        || qobject_cast<QLabel*>(widget))
        return true;
    return includePictures && qobject_cast<QScrollArea*>(widget);
}

void SetBackgrounds(QWidget* window, const QColor& colour, bool includePictures)
{
    SetBackground(window, colour);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        // Dialogs owned by the window are windows of their own, and so are their controls.
        if (child->window() != window)
            continue;
        if (TakesPlainBackground(child, includePictures))
            SetBackground(child, colour);
    }
}

} // namespace

QFont WindowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont ButtonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

void ApplyWindowFonts(QWidget* window)
{
    window->setFont(WindowFont());
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setFont(ButtonFont());
}

QColor ButtonFaceColour() { return QApplication::palette().color(QPalette::Button); }

void ApplyDesignBackground(QWidget* window) { SetBackgrounds(window, Qt::white, false); }

void ApplyPlainBackground(QWidget* window, bool includePictures)
{
    SetBackgrounds(window, ButtonFaceColour(), includePictures);
}
