#pragma once

#include <QString>

#include <set>

// The fonts sheet-tool draws with, chosen before the GUI application starts.
//
// Qt finds fonts through fontconfig, whose start-up reads and parses some fifty
// configuration files (and, since fontconfig 2.13, every file of the conf.avail folder too,
// only to list their descriptions): most of a render's time. A picture whose fonts are all
// Liberation ones (Arial, Times New Roman and Courier New resolve to them) and whose every
// character those fonts hold is drawn from a configuration of our own that names only the
// Liberation folder and the rendering settings Debian's configuration gives it, so the
// glyphs come out exactly as with the system's configuration. Anything else loads the
// system's configuration as fontconfig would, without the descriptions.
class DrawingFonts {
public:
    enum class Setup {
        Liberation, // our own configuration with the Liberation folder alone
        System,     // the system's configuration, loaded here
        Untouched,  // fontconfig left to start itself (a font configuration of the user's own)
    };

    // A font family the picture uses, by the name the workbook gives it.
    void addFamily(const QString& family);
    // A text the picture may show (more than it shows is fine; less is not).
    void addText(const QString& text);

    // Makes the choice and hands the configuration to fontconfig. Call once, before
    // QGuiApplication. `liberationDir` is where fonts-liberation2 puts its files, and
    // `systemConfigDir` holds the system's configuration (its conf.d must carry Debian's default
    // rendering settings for the own configuration to draw like it).
    Setup apply(const QString& liberationDir = QStringLiteral("/usr/share/fonts/truetype/liberation2"),
                const QString& systemConfigDir = QStringLiteral("/etc/fonts"));

private:
    std::set<QString> m_families; // Liberation names; an empty string for any other family
    std::set<char32_t> m_chars;
};
