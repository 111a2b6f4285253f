#include "DrawingFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <memory>
#include <vector>

#include <dirent.h>

namespace {

// Family names that resolve to a Liberation family: the metric-compatible ones as
// fontconfig's own aliases map them, and the Liberation names themselves.
struct Alias {
    const char* family;
    const char* liberation;
};
constexpr Alias kAliases[] = {
    {"Arial", "Liberation Sans"},
    {"Liberation Sans", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Liberation Serif", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Liberation Mono", "Liberation Mono"},
};

// The rendering settings of Debian's configuration (10-hinting-slight, 10-yes-antialias,
// 11-lcdfilter-default); Qt reads them from each match.
constexpr char kRenderingRules[] = R"(
  <match target="pattern">
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="antialias" mode="append"><bool>true</bool></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
)";

// The files of conf.d in the 09-11 range choose hinting, antialiasing and subpixel order;
// these are the ones Debian enables by default, which kRenderingRules repeats.
const char* const kDefaultRenderingFiles[]
    = {"10-hinting-slight.conf", "10-scale-bitmap-fonts.conf", "10-yes-antialias.conf", "11-lcdfilter-default.conf"};

struct ConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
using ConfigPtr = std::unique_ptr<FcConfig, ConfigDeleter>;

bool environmentChoosesFonts()
{
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    return false;
}

// True when the system's and the user's configuration render as Debian's defaults do:
// the default rendering files in conf.d and no other in their range, no local.conf, no
// configuration of the user's own.
bool defaultRendering(const QString& systemConfigDir)
{
    const QString home = QDir::homePath();
    QString userConfig = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (userConfig.isEmpty())
        userConfig = home + QStringLiteral("/.config");
    for (const QString& path :
         {userConfig + QStringLiteral("/fontconfig"), home + QStringLiteral("/.fonts.conf"),
          home + QStringLiteral("/.fonts.conf.d"), systemConfigDir + QStringLiteral("/local.conf")})
        if (QFileInfo::exists(path))
            return false;

    // Names only (readdir: a listing through QDir looked at every entry and sorted them).
    DIR* dir = ::opendir(QFile::encodeName(systemConfigDir + QStringLiteral("/conf.d")).constData());
    if (!dir)
        return false;
    bool others = false;
    bool slight = false;
    bool antialias = false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, "09-", 3) != 0 && std::strncmp(name, "10-", 3) != 0 && std::strncmp(name, "11-", 3) != 0)
            continue;
        bool known = false;
        for (const char* file : kDefaultRenderingFiles)
            known = known || std::strcmp(name, file) == 0;
        others = others || !known;
        slight = slight || std::strcmp(name, "10-hinting-slight.conf") == 0;
        antialias = antialias || std::strcmp(name, "10-yes-antialias.conf") == 0;
    }
    ::closedir(dir);
    return !others && slight && antialias;
}

QByteArray liberationConfig(const QString& dir)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                                 "<fontconfig>\n  <dir>%1</dir>\n"
                                 // fc-cache's caches of the folder, else the user's own.
                                 "  <cachedir>/var/cache/fontconfig</cachedir>\n"
                                 "  <cachedir prefix=\"xdg\">fontconfig</cachedir>\n")
                      .arg(dir.toHtmlEscaped());
    xml += QLatin1String(kRenderingRules);
    for (const Alias& a : kAliases)
        if (qstrcmp(a.family, a.liberation) != 0)
            xml += QStringLiteral(
                       "  <alias binding=\"same\"><family>%1</family><accept><family>%2</family></accept></alias>\n")
                       .arg(QLatin1String(a.family), QLatin1String(a.liberation));
    xml += QLatin1String("</fontconfig>\n");
    return xml.toUtf8();
}

// Characters that take no glyph: line breaks and tabs are laid out, not drawn.
bool drawsNoGlyph(char32_t c) { return c == U'\n' || c == U'\r' || c == U'\t' || c == 0x2028 || c == 0x2029; }

} // namespace

void DrawingFonts::addFamily(const QString& family)
{
    for (const Alias& a : kAliases) {
        if (family.compare(QLatin1String(a.family), Qt::CaseInsensitive) == 0) {
            m_families.insert(QLatin1String(a.liberation));
            return;
        }
    }
    m_families.insert(QString());
}

void DrawingFonts::addText(const QString& text)
{
    for (const char32_t c : text.toUcs4())
        if (!drawsNoGlyph(c))
            m_chars.insert(c);
}

DrawingFonts::Setup DrawingFonts::apply(const QString& liberationDir, const QString& systemConfigDir)
{
    if (environmentChoosesFonts())
        return Setup::Untouched;

    auto liberation = [&]() -> ConfigPtr {
        if (m_families.count(QString()) || !QFileInfo(liberationDir).isDir() || !defaultRendering(systemConfigDir))
            return nullptr;
        ConfigPtr config(FcConfigCreate());
        if (!config
            || !FcConfigParseAndLoadFromMemory(
                config.get(), reinterpret_cast<const FcChar8*>(liberationConfig(liberationDir).constData()), FcFalse)
            || !FcConfigBuildFonts(config.get()))
            return nullptr;
        // Every family the picture names must be there, and every character in each of its
        // styles (fontconfig knows their character sets from its cache).
        FcFontSet* fonts = FcConfigGetFonts(config.get(), FcSetSystem);
        bool covered = fonts != nullptr;
        for (const QString& family : m_families) {
            if (!covered)
                break;
            std::vector<FcCharSet*> charsets;
            for (int i = 0; i < fonts->nfont; ++i) {
                FcChar8* name = nullptr;
                FcCharSet* charset = nullptr;
                if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch
                    && QString::fromUtf8(reinterpret_cast<const char*>(name)) == family
                    && FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch)
                    charsets.push_back(charset);
            }
            covered = !charsets.empty();
            for (auto c = m_chars.begin(); covered && c != m_chars.end(); ++c)
                for (FcCharSet* charset : charsets)
                    covered = covered && FcCharSetHasChar(charset, *c);
        }
        return covered ? std::move(config) : nullptr;
    };

    if (ConfigPtr own = liberation(); own && FcConfigSetCurrent(own.get()))
        return Setup::Liberation;

    // The system's configuration as FcInit loads it, less the parse of conf.avail.
    ConfigPtr system(FcConfigCreate());
    if (!system || !FcConfigParseAndLoad(system.get(), nullptr, FcTrue))
        return Setup::Untouched;
    FcStrList* cacheDirs = FcConfigGetCacheDirs(system.get());
    const bool cached = cacheDirs && FcStrListNext(cacheDirs);
    if (cacheDirs)
        FcStrListDone(cacheDirs);
    // Without a cache folder FcInit adds its default one; leave that to it.
    if (!cached || !FcConfigBuildFonts(system.get()) || !FcConfigSetCurrent(system.get()))
        return Setup::Untouched;
    return Setup::System;
}
