// Which font configuration sheet-tool hands to fontconfig before it draws. Each choice loads
// a configuration; the pictures themselves are compared in SheetToolTest.
#include "DrawingFonts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kLiberation = QStringLiteral("/usr/share/fonts/truetype/liberation2");

class DrawingFontsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(kLiberation + QStringLiteral("/LiberationSans-Regular.ttf")))
            << "fonts-liberation2 is not installed";
        ASSERT_TRUE(dir.isValid());
        // A home without a font configuration of its own, and Debian's default rendering files.
        home = dir.filePath(QStringLiteral("home"));
        config = dir.filePath(QStringLiteral("fonts"));
        ASSERT_TRUE(QDir().mkpath(home));
        ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/conf.d")));
        for (const char* file : {"10-hinting-slight.conf", "10-scale-bitmap-fonts.conf", "10-yes-antialias.conf",
                                 "11-lcdfilter-default.conf", "30-metric-aliases.conf", "60-latin.conf"})
            touch(config + QStringLiteral("/conf.d/") + QLatin1String(file));
        savedHome = qgetenv("HOME");
        savedXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home));
        qunsetenv("XDG_CONFIG_HOME");
        for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"})
            ASSERT_TRUE(qEnvironmentVariableIsEmpty(name)) << name << " is set for the test run";
    }

    void TearDown() override
    {
        qputenv("HOME", savedHome);
        if (savedXdg.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedXdg);
    }

    static void touch(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    }

    DrawingFonts::Setup choose(const QStringList& families, const QStringList& texts,
                               const QString& fontDir = kLiberation)
    {
        DrawingFonts fonts;
        for (const QString& f : families)
            fonts.addFamily(f);
        for (const QString& t : texts)
            fonts.addText(t);
        return fonts.apply(fontDir, config);
    }

    QTemporaryDir dir;
    QString home;
    QString config;
    QByteArray savedHome;
    QByteArray savedXdg;
};

using Setup = DrawingFonts::Setup;

TEST_F(DrawingFontsTest, LiberationOnlyWhenItHasEveryFamilyAndCharacter)
{
    EXPECT_EQ(choose({"Arial"}, {"Weight (pounds)", "6/10/2004", "212.5"}), Setup::Liberation);
    // Names as workbooks spell them; Latin, Greek and Cyrillic text; line breaks take no glyph.
    EXPECT_EQ(choose({"ARIAL", "times new roman", "Courier New", "Liberation Sans"},
                     {"Größe – 72,5 kg €", "Ωμέγα", "Вес", "two\nlines\twith a tab"}),
              Setup::Liberation);
    EXPECT_EQ(choose({}, {}), Setup::Liberation);

    // A family of its own, an empty name (the default font) or text beyond the fonts: the system's.
    EXPECT_EQ(choose({"Arial", "Tahoma"}, {"x"}), Setup::System);
    EXPECT_EQ(choose({"Arial", ""}, {"x"}), Setup::System);
    EXPECT_EQ(choose({"Helvetica"}, {"x"}), Setup::System); // another family on many systems
    EXPECT_EQ(choose({"Arial"}, {"Weight", "体重"}), Setup::System);
    EXPECT_EQ(choose({"Arial"}, {QString(QChar(0x0007))}), Setup::System); // a control character
    EXPECT_EQ(choose({"Courier New"}, {QString::fromUcs4(U"\U0001F600")}), Setup::System);
}

TEST_F(DrawingFontsTest, SystemWhenTheFontsOrTheDefaultRenderingAreNotThere)
{
    EXPECT_EQ(choose({"Arial"}, {"x"}, dir.filePath(QStringLiteral("no-such-folder"))), Setup::System);
    // A folder without the family asked for.
    const QString sansOnly = dir.filePath(QStringLiteral("sans"));
    ASSERT_TRUE(QDir().mkpath(sansOnly));
    ASSERT_TRUE(QFile::copy(kLiberation + QStringLiteral("/LiberationSans-Regular.ttf"),
                            sansOnly + QStringLiteral("/LiberationSans-Regular.ttf")));
    EXPECT_EQ(choose({"Arial"}, {"x"}, sansOnly), Setup::Liberation);
    EXPECT_EQ(choose({"Arial", "Times New Roman"}, {"x"}, sansOnly), Setup::System);

    // Hinting, antialiasing or subpixel settings other than Debian's defaults.
    touch(config + QStringLiteral("/conf.d/10-hinting-full.conf"));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::System);
    ASSERT_TRUE(QFile::remove(config + QStringLiteral("/conf.d/10-hinting-full.conf")));
    touch(config + QStringLiteral("/conf.d/10-sub-pixel-rgb.conf"));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::System);
    ASSERT_TRUE(QFile::remove(config + QStringLiteral("/conf.d/10-sub-pixel-rgb.conf")));
    ASSERT_TRUE(QFile::remove(config + QStringLiteral("/conf.d/10-hinting-slight.conf")));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::System);
    touch(config + QStringLiteral("/conf.d/10-hinting-slight.conf"));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::Liberation);

    // A local or a user's own configuration may change anything.
    touch(config + QStringLiteral("/local.conf"));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::System);
    ASSERT_TRUE(QFile::remove(config + QStringLiteral("/local.conf")));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.config/fontconfig")));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::System);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("elsewhere"))));
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::Liberation);
}

TEST_F(DrawingFontsTest, AFontConfigurationNamedInTheEnvironmentIsLeftToFontconfig)
{
    qputenv("FONTCONFIG_FILE", "/etc/fonts/fonts.conf");
    EXPECT_EQ(choose({"Arial"}, {"x"}), Setup::Untouched);
    qunsetenv("FONTCONFIG_FILE");
    qputenv("FONTCONFIG_PATH", QFile::encodeName(config));
    EXPECT_EQ(choose({"Tahoma"}, {"x"}), Setup::Untouched);
    qunsetenv("FONTCONFIG_PATH");
}

} // namespace
