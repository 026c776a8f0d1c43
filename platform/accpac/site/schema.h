#pragma once

#include "dictionary.h"
#include "storage.h"

#include <QStringList>

#include <vector>

namespace Accpac {

// The version of the tables of a company file or of the site's system file. A file carries
// it in the one-row table SCHEMAVERSION; a file made before versions were kept has none and
// is version 1.
int programSchemaVersion(Store store);
// The file's version; throws StorageError when the file is not a store of that kind.
int schemaVersion(Database& db, Store store);

// One step of the upgrade from the version before to `version`. The SQL is the same text
// for every engine; `obstacle` says why the step cannot be made on these data (empty when
// it can), so that a refused upgrade changes nothing.
struct SchemaStep
{
    Store store;
    int version;
    QString change; // what the step does, as the admin tool tells it
    QString (*obstacle)(Database& db);
    std::vector<QByteArray> sql;
    // What an existing file needs beyond `sql` (a new one is made that way); may be null.
    void (*migrate)(Database& db);
};
// Every step, in the order of the versions.
const std::vector<SchemaStep>& schemaSteps();

// Creates the tables of the dictionary that live in the given store, with a unique index
// on key 0 and an index for every other key, and the store's own tables: the company
// profile, its applications and currencies (company), the list of companies and the users'
// password verifiers (system). The new file carries the program's schema version.
void createSchema(Database& db, Store store);

// Writes the version into the file (inside the caller's transaction).
void setSchemaVersion(Database& db, int version);

} // namespace Accpac
