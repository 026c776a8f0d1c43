#pragma once

#include "dictionary.h"
#include "storage.h"

#include <accpac/standin.h>

#include <memory>

namespace Accpac {

// Opens the file for reading and writing at this program's schema version: an older file is
// brought up to date first (see upgradeFile), a newer or unreadable one is refused with a
// ComError of one sentence and is not written. `done` receives what was done.
std::unique_ptr<Database> openCurrent(const QString& file, Store store,
                                      SchemaUpgrade* done = nullptr);

// Within the caller's transaction: refuses (ComError) when a step's obstacle stands, else makes
// every step after `fromVersion` and sets the program's version. What each step changed.
QStringList applySchemaSteps(Database& db, Store store, int fromVersion, const QString& noun);

} // namespace Accpac
