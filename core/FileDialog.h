#pragma once

#include <QList>
#include <QString>

#include <functional>

// Every save-file dialog of the program goes through AskSaveFileName, so tests can answer it.

struct SaveFileRequest {
    QString title;
    QString filter;  // Qt filter syntax, e.g. "Excel Workbook (*.xls)"
};

using SaveFileResponder = std::function<QString(const SaveFileRequest&)>;

// Asks for a file to save to; returns the chosen path, or the empty text when cancelled.
QString AskSaveFileName(const QString& title, const QString& filter);

// Replaces the real dialog; an empty responder restores it.
void SetSaveFileResponder(SaveFileResponder responder);

// Test helper: while alive, answers save dialogs from a script (empty = cancelled once the
// script runs out) and records the requests.
class ScriptedSaveFiles {
public:
    ScriptedSaveFiles();
    ~ScriptedSaveFiles();
    ScriptedSaveFiles(const ScriptedSaveFiles&) = delete;
    ScriptedSaveFiles& operator=(const ScriptedSaveFiles&) = delete;

    void answer(const QString& path) { m_script.append(path); }
    const QList<SaveFileRequest>& asked() const { return m_asked; }

private:
    QList<QString> m_script;
    QList<SaveFileRequest> m_asked;
};
