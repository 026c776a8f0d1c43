#include <accpac/standin.h>
#include <accpac/usrvalidate.h>

#include "site.h"

#include <system/ansi.h>

// Checks the user and password against the verifiers of the current site (the one the
// last sign-on used, see Accpac::siteFolder()): 0 valid, 1 unknown user or wrong password,
// 2 no site to check against. Both texts arrive in the ANSI code page (Windows-1252), as
// the sign-on dialog's Unicode texts would be passed by a program.
int usrValidate(long, const QByteArray& userId, const QByteArray& password)
{
    try {
        Accpac::Database db(Accpac::systemDatabaseFile(Accpac::siteFolder()), false);
        return Accpac::verifyPassword(db, Ansi::toUnicode(userId), Ansi::toUnicode(password)) ? 0
                                                                                              : 1;
    } catch (const Accpac::StorageError&) {
        return 2;
    }
}
