#include "IncludeGraph.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <functional>

namespace sheet::test {

std::vector<Include> readIncludes(const QString& root, const QStringList& folders)
{
    static const QRegularExpression quoted(QStringLiteral(R"re(^\s*#\s*include\s+"([^"]+)")re"));
    const QDir base(root);
    std::vector<Include> out;
    for (const QString& folder : folders) {
        QDirIterator it(base.filePath(folder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                        QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString& path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            const QString file = base.relativeFilePath(path);
            while (!f.atEnd()) {
                const QRegularExpressionMatch m = quoted.match(QString::fromUtf8(f.readLine()));
                if (m.hasMatch())
                    out.push_back(Include{file, m.captured(1)});
            }
        }
    }
    return out;
}

LayerRules::LayerRules(QStringList layers, QStringList top)
    : m_layers(std::move(layers))
    , m_top(std::move(top))
{
}

int LayerRules::rank(const QString& folder) const
{
    const int layer = static_cast<int>(m_layers.indexOf(folder));
    if (layer >= 0)
        return layer;
    return m_top.contains(folder) ? static_cast<int>(m_layers.size()) : -1;
}

QString LayerRules::folderOf(const QString& file) const
{
    const QStringList parts = file.split(QLatin1Char('/'));
    if (parts.size() < 3 || parts[0] != QLatin1String("sheet") || rank(parts[1]) < 0)
        return QString();
    if (parts.contains(QLatin1String("tests")) || parts.contains(QLatin1String("bench")))
        return QString();
    return parts[1];
}

QString LayerRules::targetFolder(const Include& include, const QString& root) const
{
    const int slash = static_cast<int>(include.target.indexOf(QLatin1Char('/')));
    if (slash > 0)
        return rank(include.target.left(slash)) >= 0 ? include.target.left(slash) : QString();
    // A bare name is a file beside the including one.
    const QFileInfo beside(QDir(root).filePath(QFileInfo(include.file).path()), include.target);
    return beside.exists() ? folderOf(include.file) : QString();
}

std::map<QString, std::set<QString>> LayerRules::folderGraph(const std::vector<Include>& includes,
                                                             const QString& root) const
{
    std::map<QString, std::set<QString>> graph;
    for (const Include& inc : includes) {
        const QString from = folderOf(inc.file);
        const QString to = targetFolder(inc, root);
        if (!from.isEmpty() && !to.isEmpty() && from != to)
            graph[from].insert(to);
    }
    return graph;
}

QStringList LayerRules::circles(const std::map<QString, std::set<QString>>& graph)
{
    QStringList found;
    std::map<QString, int> state; // 0 unseen, 1 on the path, 2 done
    QStringList path;
    std::function<void(const QString&)> visit = [&](const QString& folder) {
        state[folder] = 1;
        path << folder;
        const auto edges = graph.find(folder);
        if (edges != graph.end()) {
            for (const QString& next : edges->second) {
                if (state[next] == 1)
                    found << (path.mid(path.indexOf(next)) << next).join(QStringLiteral(" -> "));
                else if (state[next] == 0)
                    visit(next);
            }
        }
        path.removeLast();
        state[folder] = 2;
    };
    for (const auto& kv : graph)
        if (state[kv.first] == 0)
            visit(kv.first);
    return found;
}

QStringList LayerRules::wrongWay(const std::vector<Include>& includes, const QString& root) const
{
    QStringList found;
    for (const Include& inc : includes) {
        const QString from = folderOf(inc.file);
        if (from.isEmpty())
            continue;
        const QString to = targetFolder(inc, root);
        if (to.isEmpty())
            found << QStringLiteral("%1: %2 (nothing of the engine)").arg(inc.file, inc.target);
        else if (rank(to) > rank(from))
            found << QStringLiteral("%1: %2 (%3 sits above %4)").arg(inc.file, inc.target, to, from);
    }
    return found;
}

QStringList recordIncludesOutsideEngine(const std::vector<Include>& includes)
{
    QStringList found;
    for (const Include& inc : includes)
        if (!inc.file.startsWith(QLatin1String("sheet/")) && inc.target.startsWith(QLatin1String("biff/")))
            found << QStringLiteral("%1: %2").arg(inc.file, inc.target);
    return found;
}

} // namespace sheet::test
