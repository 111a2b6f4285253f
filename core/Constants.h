#pragma once

#include <QRect>
#include <QString>

// Fixed texts of the product, kept in one place.

// The product title: main window caption, settings section, source of the application title.
inline const QString ProductTitle = QStringLiteral("Kalmora");

// Where error reports ask the user to send a screenshot.
inline const QString SupportEmail = QStringLiteral("support@pendrel.example");

// The maker's contact page, named by the help message.
inline const QString ContactWebAddress = QStringLiteral("https://www.pendrel.example/contact");

// Every procedure name in an error report starts with this.
inline const QString ProcedurePrefix = QStringLiteral("Trevasso2021/08/31.");

// The per-user settings store: ~/.config/Pendrel/Pendrel.ini, group Kalmora.
inline const QString SettingsOrganization = QStringLiteral("Pendrel");
inline const QString SettingsApplication = QStringLiteral("Pendrel");
inline const QString SettingsSection = QStringLiteral("Kalmora");

// Keys of the "Kalmora" group beside the specified ones: each window's size, the folder last
// saved to.
inline const QString MainWindowSizeKey = QStringLiteral("Form1_Size");
inline const QString PreviewSizeKey = QStringLiteral("Form2_Size");
inline const QString SaveFolderKey = QStringLiteral("Save_Folder");

// Optional files beside the program.
inline const QString HandCursorFileName = QStringLiteral("HAND-M.CUR");
inline const QString SkinFileName = QStringLiteral("x/o.cjs");

// Geometry is designed in twips; the screen has 15 twips to a logical pixel.
constexpr int TwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / TwipsPerPixel; }
// A control's place given in twips.
inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}
