#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <vector>

namespace sheet::test {

// One #include "..." of a source file.
struct Include {
    QString file;   // the including file, relative to the tree's root: "sheet/model/Workbook.h"
    QString target; // as written: "biff/Bytes.h"
};

// Every quoted #include of the C++ files under `folders` of the tree at `root`.
std::vector<Include> readIncludes(const QString& root, const QStringList& folders);

// The engine's folders as layers: `layers` from the bottom up; `top` are folders above every
// layer (the tools); files in a tests or bench folder are no part of any layer.
class LayerRules {
public:
    LayerRules(QStringList layers, QStringList top);

    // The layer or top folder a file of the engine belongs to ("sheet/model/x.h" -> "model"),
    // empty for tests, benchmarks and files elsewhere.
    QString folderOf(const QString& file) const;
    // The folder an include of `file` points into ("biff/Bytes.h" -> "biff", a bare name -> the
    // file's own folder); empty when it points nowhere in the engine.
    QString targetFolder(const Include& include, const QString& root) const;

    // Folder -> the folders its files include.
    std::map<QString, std::set<QString>> folderGraph(const std::vector<Include>& includes, const QString& root) const;
    // Each circle as the folders along it, the first repeated at the end ("model -> io -> model").
    static QStringList circles(const std::map<QString, std::set<QString>>& graph);
    // Includes that point up the order, or out of the engine, as "file: target (why)".
    QStringList wrongWay(const std::vector<Include>& includes, const QString& root) const;

private:
    int rank(const QString& folder) const; // -1 when unknown

    QStringList m_layers;
    QStringList m_top;
};

// Includes of record-level headers (biff/) by files outside the engine, as "file: target".
QStringList recordIncludesOutsideEngine(const std::vector<Include>& includes);

} // namespace sheet::test
