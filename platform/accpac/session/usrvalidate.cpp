#include <accpac/standin.h>
#include <accpac/usrvalidate.h>

#include "signonthrottle.h"
#include "site.h"
#include "siteroles.h"
#include "store.h"

#include <system/ansi.h>

// Checks the user and password against the verifiers of the current site (the one the
// last sign-on used, see Accpac::siteFolder()), or on a server site with the server, by a
// short connection as the user's role: 0 valid, 1 unknown user or wrong password,
// 2 no site to check against. Both texts arrive in the ANSI code page (Windows-1252), as
// the sign-on dialog's Unicode texts would be passed by a program. The tries count with the
// sign-on's per user ID: while a user ID must wait, every try is refused unchecked, so
// guessing here is as slow as at the sign-on, and an unknown ID fares exactly like a known.
int usrValidate(long, const QByteArray& userId, const QByteArray& password)
{
    try {
        const QString folder = Accpac::siteFolder();
        const QString user = Accpac::normalUserId(Ansi::toUnicode(userId));
        const QString tries = Accpac::signonTriesKey(folder, user);
        Accpac::SignonThrottle& throttle = Accpac::signonThrottle();
        if (throttle.secondsToWait(tries) > 0)
            return 1;
        bool valid = false;
        if (Accpac::StoreLocation(folder).onServer()) {
            // The server checks the password of the user's role; a role that may not log in
            // has the right password (the approval then says why it is refused).
            ++Accpac::passwordVerifications;
            valid = Accpac::SiteRoles::tryLogin(folder, user, Ansi::toUnicode(password)) !=
                    Accpac::SiteRoles::Login::WrongPassword;
        } else {
            const std::unique_ptr<Accpac::Database> db = Accpac::openSiteSystemToRead(folder);
            valid = Accpac::verifyPassword(*db, user, Ansi::toUnicode(password));
        }
        if (!valid) {
            throttle.failed(tries);
            return 1;
        }
        throttle.succeeded(tries);
        return 0;
    } catch (const Accpac::StorageError&) {
        return 2;
    }
}
