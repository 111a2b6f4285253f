#pragma once

#include <QString>

#include <functional>
#include <random>


// The user's temporary folder: "TEMP" (or "temp", in any letter case) from the environment
// when set, else the platform's.
QString TemporaryFolder();

// This user's private folder inside the temporary folder, where the template copy, the
// temporary workbook and the captured picture live. Created owner-only; an existing one must
// be a real folder (not a link) owned by this user and closed to everyone else, or this
// throws, so another user can neither read what we write nor plant files where we write.
QString PrivateWorkFolder();
QString PrivateWorkFolderIn(const QString& temporaryFolder);

// "qarvel" followed by eight digits from 1 to 9.
QString RandomWorkbookName(std::mt19937& rng);

// A fresh "qarvel########.xls" path in folder: a name is drawn again while exists() says a
// file is there. The generator is seeded once by the caller, so eight digits differ.
QString ChooseTempWorkbookPath(const QString& folder, std::mt19937& rng,
                               const std::function<bool(const QString&)>& exists);

// Creates path exclusively (fails when anything, a link included, is already there).
void CreateFileExclusively(const QString& path);

