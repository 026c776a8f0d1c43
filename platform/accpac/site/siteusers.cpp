// The administration of a site's users and their rights: users made, changed and deleted,
// profiles granted and revoked; on a database server each in the same transaction as the
// server's roles (siteroles.h).
#include "site.h"
#include "siteadmin.h"
#include "siteroles.h"

#include <accpac/standin.h>

#include <QRegularExpression>

#include <sodium.h>

namespace Accpac {

namespace {

// The profiles a new site has: each program's profile and the resources it holds.
constexpr const char* StandardProfiles[][3] = {{"OE", "OESUPER", "OEINVOICE"},
                                               {"OE", "OESUPER", "OECREDIT"},
                                               {"OE", "OECLERK", "OEINVOICE"},
                                               {"AR", "ARCLERK", "ARRECEIPT"}};

} // namespace

void addStandardProfiles(Database& systemDb)
{
    for (const auto& [program, profile, resource] : StandardProfiles) {
        Statement st = systemDb.prepare("INSERT INTO PROFRES (PGMID, PROFILEID, RESOURCEID) "
                                        "VALUES (?,?,?) ON CONFLICT DO NOTHING");
        st.bindText(1, QLatin1String(program));
        st.bindText(2, QLatin1String(profile));
        st.bindText(3, QLatin1String(resource));
        st.exec();
    }
}

namespace Admin {

namespace {

QString makeVerifier(const QString& password, HashStrength strength)
{
    initSodium();
    char verifier[crypto_pwhash_STRBYTES];
    const QByteArray pw = passwordKey(password);
    const bool minimal = strength == HashStrength::Minimal;
    if (crypto_pwhash_str(verifier, pw.constData(), static_cast<unsigned long long>(pw.size()),
                          minimal ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          minimal ? crypto_pwhash_MEMLIMIT_MIN
                                  : crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        adminFail(QStringLiteral("The password verifier cannot be made (out of memory)."));
    return QString::fromLatin1(verifier);
}

void requireChange(Database& db, const QString& userId)
{
    if (db.changes() == 0)
        adminFail(QStringLiteral("There is no user %1 in this site.").arg(normalUserId(userId)));
}

bool userExists(Database& db, const QString& id)
{
    Statement st = db.prepare("SELECT 1 FROM USERS WHERE USERID=?");
    st.bindText(1, id);
    return st.step();
}

bool rowExists(Database& db, const QByteArray& sql, const QStringList& values)
{
    Statement st = db.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        st.bindText(i + 1, values[i]);
    return st.step();
}

// ADMIN, the site's one administrator, configures the site and grants every right: a site
// without it enabled could not be looked after from the program.
void keepAdministrator(const QString& userId, const QString& change)
{
    if (normalUserId(userId) == QLatin1String("ADMIN"))
        adminFail(QStringLiteral("User ADMIN cannot be %1: the site needs its administrator.")
                      .arg(change));
}

} // namespace

QString userIdProblem(const QString& userId)
{
    static const QRegularExpression rule(QStringLiteral("^[A-Z][A-Z0-9_]{0,7}$"));
    if (rule.match(normalUserId(userId)).hasMatch())
        return {};
    return QStringLiteral("A user ID has 1 to 8 characters, letters A to Z, digits and _ only, "
                          "and begins with a letter; \"%1\" does not.")
        .arg(userId);
}

void checkNewUser(const QString& folder, const QString& userId)
{
    if (const QString problem = userIdProblem(userId); !problem.isEmpty())
        adminFail(problem);
    adminGuard([&] {
        if (userExists(*openSystem(folder), normalUserId(userId)))
            adminFail(QStringLiteral("User %1 exists already.").arg(normalUserId(userId)));
    });
}

void checkUser(const QString& folder, const QString& userId)
{
    adminGuard([&] {
        if (!userExists(*openSystem(folder), normalUserId(userId)))
            adminFail(
                QStringLiteral("There is no user %1 in this site.").arg(normalUserId(userId)));
    });
}

void checkAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                        const QString& programId, const QString& profileId)
{
    checkUser(folder, userId);
    adminGuard([&] {
        auto db = openSystem(folder);
        const QString company = companyId.trimmed().toUpper();
        if (!rowExists(*db, "SELECT 1 FROM COMPANIES WHERE ID=?", {company}))
            adminFail(QStringLiteral("There is no company %1 in this site.").arg(company));
        if (!rowExists(*db, "SELECT 1 FROM PROFRES WHERE PGMID=?", {programId}))
            adminFail(QStringLiteral("There is no program %1 in this site.").arg(programId));
        if (!rowExists(*db, "SELECT 1 FROM PROFRES WHERE PGMID=? AND PROFILEID=?",
                       {programId, profileId}))
            adminFail(QStringLiteral("The program %1 has no profile %2 in this site.")
                          .arg(programId, profileId));
    });
}

void addUser(const QString& folder, const QString& userId, const QString& userName,
             const QString& password, HashStrength strength)
{
    checkNewUser(folder, userId);
    const QString id = normalUserId(userId);
    adminGuard([&] {
        auto db = openSystem(folder);
        // A server checks the password of the user's role itself: no verifier of ours is kept.
        const bool server = db->server();
        const QString verifier = server ? QString() : makeVerifier(password, strength);
        Transaction tx(*db);
        Statement st = db->prepare("INSERT INTO USERS (USERID, USERNAME, PWVERIFIER) VALUES "
                                   "(?,?,?)");
        st.bindText(1, id);
        st.bindText(2, userName);
        st.bindText(3, verifier);
        try {
            st.exec();
        } catch (const StorageError& e) {
            // Another administrator added it between the check and now.
            if (e.isConstraint())
                adminFail(QStringLiteral("User %1 exists already.").arg(id));
            throw;
        }
        if (server)
            SiteRoles::createUser(*db, folder, id, password);
        tx.commit();
    });
}

void setPassword(const QString& folder, const QString& userId, const QString& password)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        if (db->server()) {
            checkUser(folder, userId);
            Transaction tx(*db);
            SiteRoles::setPassword(*db, folder, userId, password);
            tx.commit();
            return;
        }
        const QString verifier = makeVerifier(password, HashStrength::Interactive);
        Statement st = db->prepare("UPDATE USERS SET PWVERIFIER=? WHERE USERID=?");
        st.bindText(1, verifier);
        st.bindText(2, normalUserId(userId));
        st.exec();
        requireChange(*db, userId);
    });
}

void setUserFlags(const QString& folder, const QString& userId, bool disabled, bool lockedOut)
{
    if (disabled || lockedOut)
        keepAdministrator(userId,
                          disabled ? QStringLiteral("disabled") : QStringLiteral("locked out"));
    adminGuard([&] {
        auto db = openSystem(folder);
        Transaction tx(*db);
        Statement st = db->prepare("UPDATE USERS SET DISABLED=?, LOCKEDOUT=?, ACCTSTATUS=? "
                                   "WHERE USERID=?");
        st.bindInt(1, disabled ? 1 : 0);
        st.bindInt(2, lockedOut ? 1 : 0);
        st.bindInt(3, disabled || lockedOut ? 1 : 0);
        st.bindText(4, normalUserId(userId));
        st.exec();
        requireChange(*db, userId);
        // On a server the role itself can no longer log in.
        if (db->server())
            SiteRoles::setLoginAllowed(*db, folder, userId, !disabled && !lockedOut);
        tx.commit();
    });
}

void addAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                      const QString& programId, const QString& profileId)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        Transaction tx(*db);
        // Granted twice is granted.
        Statement st = db->prepare("INSERT INTO AUTHS (USERID, COMPANYID, PGMID, PROFILEID) "
                                   "VALUES (?,?,?,?) ON CONFLICT DO NOTHING");
        st.bindText(1, normalUserId(userId));
        st.bindText(2, companyId.trimmed().toUpper());
        st.bindText(3, programId);
        st.bindText(4, profileId);
        st.exec();
        // On a server the user's role joins the company's group, which holds its grants.
        if (db->server())
            SiteRoles::grantCompany(*db, folder, userId, companyId);
        tx.commit();
    });
}

void addProfileResource(const QString& folder, const QString& programId, const QString& profileId,
                        const QString& resourceId)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("INSERT INTO PROFRES (PGMID, PROFILEID, RESOURCEID) VALUES "
                                   "(?,?,?) ON CONFLICT DO NOTHING");
        st.bindText(1, programId);
        st.bindText(2, profileId);
        st.bindText(3, resourceId);
        st.exec();
    });
}

bool revokeAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                         const QString& programId, const QString& profileId)
{
    checkUser(folder, userId);
    const QString user = normalUserId(userId);
    const QString company = companyId.trimmed().toUpper();
    bool revoked = false;
    adminGuard([&] {
        auto db = openSystem(folder);
        Transaction tx(*db);
        Statement st = db->prepare("DELETE FROM AUTHS WHERE USERID=? AND COMPANYID=? AND PGMID=? "
                                   "AND PROFILEID=?");
        st.bindText(1, user);
        st.bindText(2, company);
        st.bindText(3, programId);
        st.bindText(4, profileId);
        st.exec();
        revoked = db->changes() > 0;
        // On a server the role leaves the company's group with the last profile it held there.
        if (db->server() &&
            !rowExists(*db, "SELECT 1 FROM AUTHS WHERE USERID=? AND COMPANYID=?", {user, company}))
            SiteRoles::revokeCompany(*db, folder, user, company);
        tx.commit();
    });
    return revoked;
}

void deleteUser(const QString& folder, const QString& userId)
{
    checkUser(folder, userId);
    keepAdministrator(userId, QStringLiteral("deleted"));
    const QString user = normalUserId(userId);
    adminGuard([&] {
        auto db = openSystem(folder);
        Transaction tx(*db);
        for (const char* sql :
             {"DELETE FROM AUTHS WHERE USERID=?", "DELETE FROM USERS WHERE USERID=?"}) {
            Statement st = db->prepare(sql);
            st.bindText(1, user);
            st.exec();
        }
        if (db->server())
            SiteRoles::dropUser(*db, folder, user);
        tx.commit();
    });
}

} // namespace Admin
} // namespace Accpac
