#pragma once

#include "dictionary.h"
#include "sqlitedb.h"

namespace Accpac {

// Creates the tables of the dictionary that live in the given store, with a unique index
// on key 0 and an index for every other key, and the store's own tables: the company
// profile, its applications and currencies (company), the list of companies and the users'
// password verifiers (system).
void createSchema(Database& db, Store store);

} // namespace Accpac
