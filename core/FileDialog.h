#pragma once

#include <QList>
#include <QString>

#include <functional>

// Every save-file dialog of the program goes through AskSaveFileName, so tests can answer it.

struct SaveFileRequest {
    QString title;
    QString filter; // Qt filter syntax, e.g. "Excel Workbook (*.xls)"; several joined by ";;"
    // The filter left chosen, the first one unless a responder sets another (null in copies
    // kept after the request).
    QString* selectedFilter = nullptr;
    // The folder the dialog opens in and the name it offers ("folder/name"), or empty.
    QString initialPath;
};

using SaveFileResponder = std::function<QString(const SaveFileRequest&)>;

// Asks for a file to save to; returns the chosen path, or the empty text when cancelled.
// selectedFilter, when given, receives the filter the user left chosen (the first one unless
// they changed it).
// initialPath names the folder to open in and the name to offer.
QString AskSaveFileName(const QString& title, const QString& filter, QString* selectedFilter = nullptr,
                        const QString& initialPath = QString());

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

    // A path, and the filter chosen with it (empty: the first one).
    void answer(const QString& path, const QString& filter = QString()) { m_script.append({path, filter}); }
    const QList<SaveFileRequest>& asked() const { return m_asked; }

private:
    QList<QPair<QString, QString>> m_script;
    QList<SaveFileRequest> m_asked;
};
