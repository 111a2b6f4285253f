// The main of every test that needs a GUI application. A test then sees the same machine
// wherever it runs: the offscreen platform unless one is chosen (so that a developer can still
// watch a test run on a real display), 96 dpi, the Liberation fonts, US English, and folders of
// its own in place of the user's settings, data, cache and runtime folders.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLocale>
#include <QTemporaryDir>

#ifdef TEST_MAIN_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

namespace {

void setUnlessSet(const char* name, const QByteArray& value)
{
    if (qEnvironmentVariableIsEmpty(name))
        qputenv(name, value);
}

// Tests that draw text compare it with what they expect: the font must not be whatever the
// machine's fontconfig prefers for "Sans Serif".
void useLiberationFonts()
{
    const QString folder = QStringLiteral("/usr/share/fonts/truetype/liberation2/");
    for (const char* face : {"Regular", "Bold", "Italic", "BoldItalic"})
        QFontDatabase::addApplicationFont(folder + QStringLiteral("LiberationSans-%1.ttf").arg(QLatin1String(face)));
    QGuiApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
}

} // namespace

int main(int argc, char** argv)
{
    setUnlessSet("QT_QPA_PLATFORM", "offscreen");
    setUnlessSet("QT_FONT_DPI", "96");
    // Before the first QSettings or QStandardPaths: nothing of the user's is read or written.
    QTemporaryDir home;
    if (!home.isValid())
        return 3;
    const QByteArray root = QFile::encodeName(home.path());
    for (const char* folder : {"config", "data", "cache", "runtime"})
        QDir(home.path()).mkdir(QLatin1String(folder));
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    TestApplication app(argc, argv);
    useLiberationFonts();
#ifdef TEST_MAIN_WIDGETS
    TestApplication::setStyle(QStringLiteral("Fusion"));
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
