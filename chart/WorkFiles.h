#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <random>

// Where this user's private folder lives: the user's runtime folder ($XDG_RUNTIME_DIR) when
// it is usable (an absolute path to a folder of this user's, closed to others), else the
// user's cache folder ($XDG_CACHE_HOME, else ~/.cache). No other user can create anything
// in either, so nobody can take the private folder's place first. Empty when neither exists;
// nothing is ever created at the filesystem's root.
QString PrivateFolderBase();

// This user's private folder "kalmora" inside PrivateFolderBase(), where the template copy,
// the temporary workbook and the captured picture live. Created owner-only; an existing one
// must be a real folder (not a link) owned by this user and closed to everyone else, or this
// throws, so another user can neither read what we write nor plant files where we write.
QString PrivateWorkFolder();
// The same checks for a folder of the given name inside base (base itself is not created).
QString PrivateWorkFolderIn(const QString& base, const QString& name = QStringLiteral("kalmora"));

// "qarvel" followed by eight digits from 1 to 9.
QString RandomWorkbookName(std::mt19937& rng);

// A fresh "qarvel########.xls" path in folder: a name is drawn again while exists() says a
// file is there. The generator is seeded once by the caller, so eight digits differ.
QString ChooseTempWorkbookPath(const QString& folder, std::mt19937& rng,
                               const std::function<bool(const QString&)>& exists);

// Creates path exclusively (fails when anything, a link included, is already there).
void CreateFileExclusively(const QString& path);

// Writes bytes to path whatever stands there now (a file, a folder, a link, dangling or not;
// a link is replaced, never followed), whole or not at all. For the template copy.
void ReplaceWorkFile(const QString& path, const QByteArray& bytes);

// Removes what a run that ended without cleaning up left in the private folder: temporary
// workbooks ("qarvel*.xls") that no running instance of the program holds (see
// sheet::FileHold), the captured picture and unfinished writes of the durable helper. Never
// fails; returns the names removed.
QStringList RemoveWorkLeftovers(const QString& folder);
