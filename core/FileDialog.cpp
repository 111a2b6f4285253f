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

QString AskSaveFileName(const QString& title, const QString& filter)
{
    const SaveFileRequest request{title, filter};
    if (Responder())
        return Responder()(request);
    // The caller asks its own overwrite question and takes the name exactly as typed.
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void SetSaveFileResponder(SaveFileResponder responder)
{
    Responder() = std::move(responder);
}

ScriptedSaveFiles::ScriptedSaveFiles()
{
    SetSaveFileResponder([this](const SaveFileRequest& request) {
        m_asked.append(request);
        return m_script.isEmpty() ? QString() : m_script.takeFirst();
    });
}

ScriptedSaveFiles::~ScriptedSaveFiles()
{
    SetSaveFileResponder({});
}
