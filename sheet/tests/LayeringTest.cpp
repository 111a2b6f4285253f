// The engine's folders are layers: nothing outside the engine reads records itself, no two
// folders include each other, round about or directly, and no include points up the order.
#include "IncludeGraph.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace sheet::test {
namespace {

// From CMake: the source tree, and the layers from the bottom up.
const QString kRoot = QStringLiteral(KALMORA_SOURCE_DIR);
const QStringList kLayers = QString::fromLatin1(SHEET_LAYERS).split(QLatin1Char(','));
const QStringList kTop = {QStringLiteral("tools")};
const QStringList kProgram = {QStringLiteral("app"),   QStringLiteral("core"),    QStringLiteral("log"),
                              QStringLiteral("chart"), QStringLiteral("preview"), QStringLiteral("bench")};

std::string lines(const QStringList& list) { return list.join(QLatin1Char('\n')).toStdString(); }

TEST(Layering, TheProgramReadsNoRecordsItself)
{
    const std::vector<Include> includes = readIncludes(kRoot, kProgram);
    ASSERT_GT(includes.size(), 100u) << "the program's sources were not found under " << kRoot.toStdString();
    const QStringList found = recordIncludesOutsideEngine(includes);
    EXPECT_TRUE(found.isEmpty()) << "use the engine's API (model, io) instead of its records:\n" << lines(found);
}

TEST(Layering, NoFolderOfTheEngineIncludesOneThatIncludesIt)
{
    const LayerRules rules(kLayers, kTop);
    const std::vector<Include> includes = readIncludes(kRoot, {QStringLiteral("sheet")});
    const auto graph = rules.folderGraph(includes, kRoot);
    ASSERT_GE(graph.size(), kLayers.size() - 1) << "the engine's folders were not read";
    const QStringList found = LayerRules::circles(graph);
    EXPECT_TRUE(found.isEmpty()) << "circles between folders:\n" << lines(found);
}

TEST(Layering, EveryIncludeOfTheEnginePointsDownTheOrder)
{
    const LayerRules rules(kLayers, kTop);
    const QStringList found = rules.wrongWay(readIncludes(kRoot, {QStringLiteral("sheet")}), kRoot);
    EXPECT_TRUE(found.isEmpty()) << "the layers are, from the bottom: " << kLayers.join(QLatin1Char(' ')).toStdString()
                                 << "\n"
                                 << lines(found);
}

TEST(Layering, EveryLayerIsAFolderOfTheEngine)
{
    for (const QString& layer : kLayers)
        EXPECT_TRUE(QFileInfo(QDir(kRoot).filePath(QStringLiteral("sheet/") + layer)).isDir()) << layer.toStdString();
}

// The checks themselves, on a small tree of their own.
class LayeringRules : public ::testing::Test {
protected:
    void write(const QString& file, const QString& text)
    {
        const QString path = dir.filePath(file);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    std::vector<Include> includes() const
    {
        return readIncludes(dir.path(), {QStringLiteral("sheet"), QStringLiteral("app")});
    }

    QTemporaryDir dir;
    const LayerRules rules{
        {QStringLiteral("base"), QStringLiteral("biff"), QStringLiteral("model"), QStringLiteral("io")},
        {QStringLiteral("tools")}};
};

TEST_F(LayeringRules, IncludesDownTheOrderPass)
{
    write(QStringLiteral("sheet/base/Value.h"), QStringLiteral("#pragma once\n"));
    write(QStringLiteral("sheet/model/Book.h"), QStringLiteral("#include \"base/Value.h\"\n#include <vector>\n"));
    write(QStringLiteral("sheet/model/Book.cpp"), QStringLiteral("#include \"Book.h\"\n#include \"biff/Bytes.h\"\n"));
    write(QStringLiteral("sheet/io/Reader.cpp"), QStringLiteral("  #  include \"model/Book.h\"\n"));
    write(QStringLiteral("sheet/tools/Tool.cpp"), QStringLiteral("#include \"io/Reader.h\"\n"));
    // Tests may use anything.
    write(QStringLiteral("sheet/base/tests/T.cpp"), QStringLiteral("#include \"io/Reader.h\"\n"));
    const auto graph = rules.folderGraph(includes(), dir.path());
    EXPECT_EQ(graph.at(QStringLiteral("model")), (std::set<QString>{QStringLiteral("base"), QStringLiteral("biff")}));
    EXPECT_TRUE(LayerRules::circles(graph).isEmpty());
    EXPECT_TRUE(rules.wrongWay(includes(), dir.path()).isEmpty()) << lines(rules.wrongWay(includes(), dir.path()));
}

TEST_F(LayeringRules, AnIncludeUpTheOrderOrOutOfTheEngineIsFound)
{
    write(QStringLiteral("sheet/model/Book.cpp"), QStringLiteral("#include \"io/Reader.h\"\n"));
    write(QStringLiteral("sheet/biff/Bytes.cpp"), QStringLiteral("#include \"Failure.h\"\n"));
    const QStringList found = rules.wrongWay(includes(), dir.path());
    ASSERT_EQ(found.size(), 2) << lines(found);
    EXPECT_TRUE(found[0].contains(QStringLiteral("Failure.h"))) << lines(found);
    EXPECT_TRUE(found[1].contains(QStringLiteral("io sits above model"))) << lines(found);
}

TEST_F(LayeringRules, CirclesAreFoundDirectAndRoundAbout)
{
    write(QStringLiteral("sheet/base/A.h"), QStringLiteral("#include \"biff/B.h\"\n"));
    write(QStringLiteral("sheet/biff/B.h"), QStringLiteral("#include \"model/C.h\"\n"));
    write(QStringLiteral("sheet/model/C.h"), QStringLiteral("#include \"base/A.h\"\n"));
    write(QStringLiteral("sheet/io/D.h"), QStringLiteral("#include \"tools/E.h\"\n"));
    write(QStringLiteral("sheet/tools/E.h"), QStringLiteral("#include \"io/D.h\"\n"));
    const QStringList found = LayerRules::circles(rules.folderGraph(includes(), dir.path()));
    EXPECT_EQ(found,
              (QStringList{QStringLiteral("base -> biff -> model -> base"), QStringLiteral("io -> tools -> io")}));
}

TEST_F(LayeringRules, RecordHeadersOutsideTheEngineAreFound)
{
    write(QStringLiteral("app/Tabs.cpp"),
          QStringLiteral("#include \"biff/RecordIds.h\"\n#include \"model/Workbook.h\"\n"));
    write(QStringLiteral("sheet/io/R.cpp"), QStringLiteral("#include \"biff/RecordIds.h\"\n"));
    EXPECT_EQ(recordIncludesOutsideEngine(includes()), QStringList{QStringLiteral("app/Tabs.cpp: biff/RecordIds.h")});
}

} // namespace
} // namespace sheet::test
