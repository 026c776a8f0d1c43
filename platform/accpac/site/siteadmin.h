#pragma once

#include "sessioncore.h"

#include <system/comerror.h>

#include <QString>

#include <memory>

// What the site's administration (site.cpp, siteusers.cpp) shares.
namespace Accpac {

// A refusal of the administration: ComError with one sentence.
[[noreturn]] void adminFail(const QString& message);
// Runs `work`; a storage failure becomes the administration's refusal, in the program's words.
template <class F> void adminGuard(F&& work)
{
    try {
        work();
    } catch (const StorageError& e) {
        adminFail(e.message());
    }
}
// The site's system store (its file, or its schema on the site's server) at this program's
// schema version; refused with one sentence otherwise.
std::unique_ptr<Database> openSystem(const QString& site);
// The password library, made ready once.
void initSodium();
// The profiles every new site has (OECLERK, OESUPER, ARCLERK), in the caller's transaction.
void addStandardProfiles(Database& systemDb);

} // namespace Accpac
