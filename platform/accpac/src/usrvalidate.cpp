#include <accpac/standin.h>
#include <accpac/usrvalidate.h>

#include "site.h"

// Checks the user and password against the verifiers of the current site (the one the
// last sign-on used, see Accpac::siteFolder()): 0 valid, 1 unknown user or wrong password,
// 2 no site to check against.
int usrValidate(long, const QByteArray& userId, const QByteArray& password)
{
    try {
        Accpac::Database db(Accpac::systemDatabaseFile(Accpac::siteFolder()), false);
        return Accpac::verifyPassword(db, QString::fromLatin1(userId),
                                      QString::fromLatin1(password))
                   ? 0
                   : 1;
    } catch (const Accpac::StorageError&) {
        return 2;
    }
}
