#include "FileDialog.h"

#include <QApplication>
#include <QFileDialog>

namespace {

SaveFileResponder& Responder()
{
    static SaveFileResponder responder;
    return responder;
}

} // namespace

QString AskSaveFileName(const QString& title, const QString& filter, QString* selectedFilter,
                        const QString& initialPath)
{
    QString chosen = filter.section(QStringLiteral(";;"), 0, 0);
    const SaveFileRequest request{title, filter, &chosen, initialPath};
    QString path;
    if (Responder()) {
        path = Responder()(request);
    } else {
        // The caller asks its own overwrite question and takes the name exactly as typed.
        path = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, initialPath, filter, &chosen,
                                            QFileDialog::DontConfirmOverwrite);
    }
    if (selectedFilter)
        *selectedFilter = chosen;
    return path;
}

void SetSaveFileResponder(SaveFileResponder responder) { Responder() = std::move(responder); }

ScriptedSaveFiles::ScriptedSaveFiles()
{
    SetSaveFileResponder([this](const SaveFileRequest& request) {
        SaveFileRequest kept = request;
        kept.selectedFilter = nullptr;
        m_asked.append(kept);
        if (m_script.isEmpty())
            return QString();
        const QPair<QString, QString> next = m_script.takeFirst();
        if (!next.second.isEmpty() && request.selectedFilter)
            *request.selectedFilter = next.second;
        return next.first;
    });
}

ScriptedSaveFiles::~ScriptedSaveFiles() { SetSaveFileResponder({}); }
