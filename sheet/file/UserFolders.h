#pragma once

#include <QString>

namespace sheet {

// True for an absolute path to a real folder (no link) that belongs to this user.
bool isOwnFolder(const QString& path);
// The same, and no one else may create anything in it (not writable by group or others).
bool isPrivateFolder(const QString& path);

// The folder for a user's private run-time files: the runtime folder ($XDG_RUNTIME_DIR) when it
// is a private folder of this user's (owner and mode checked), else the cache folder ($XDG_CACHE_HOME, else ~/.cache,
// made owner-only when missing). No other user can create anything in either, so nobody can take the place of a folder
// made there first. Empty when there is neither; nothing is ever made at the filesystem's root.
QString userPrivateBase();

} // namespace sheet
