#pragma once

// The daily backups moved into the settings store, which takes them before the day's first
// change of anything in the program's group, heights included.
#include "SettingsBackup.h"
