#include <accpac/standin.h>
#include <accpac/usrvalidate.h>

#include "signonthrottle.h"
#include "site.h"

#include <system/ansi.h>

// Checks the user and password against the verifiers of the current site (the one the
// last sign-on used, see Accpac::siteFolder()): 0 valid, 1 unknown user or wrong password,
// 2 no site to check against. Both texts arrive in the ANSI code page (Windows-1252), as
// the sign-on dialog's Unicode texts would be passed by a program. The tries count with the
// sign-on's per user ID: while a user ID must wait, every try is refused unchecked, so
// guessing here is as slow as at the sign-on, and an unknown ID fares exactly like a known.
int usrValidate(long, const QByteArray& userId, const QByteArray& password)
{
    try {
        const QString folder = Accpac::siteFolder();
        const std::unique_ptr<Accpac::Database> db = Accpac::openSiteSystemToRead(folder);
        const QString user = Accpac::normalUserId(Ansi::toUnicode(userId));
        const QString tries = Accpac::signonTriesKey(folder, user);
        Accpac::SignonThrottle& throttle = Accpac::signonThrottle();
        if (throttle.secondsToWait(tries) > 0)
            return 1;
        if (!Accpac::verifyPassword(*db, user, Ansi::toUnicode(password))) {
            throttle.failed(tries);
            return 1;
        }
        throttle.succeeded(tries);
        return 0;
    } catch (const Accpac::StorageError&) {
        return 2;
    }
}
