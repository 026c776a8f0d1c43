#pragma once

#include "conninfo.h"
#include "storage.h"

#include <QString>

namespace Accpac {

// On a database server the site's users are the server's login roles, and the server checks
// their passwords (SCRAM-SHA-256). Role names are cluster-wide while a site is one database,
// so every name begins with the name of the database the site was made in (kept with the
// site, so that a copy restored under another name keeps its users):
//   "<database>.<user id in small letters>"   a user (user IDs hold no dot)
//   "<database>_site_users"                    every user of the site (reads the site's data)
//   "<database>_site_admins"                   the site's administrators (write users, rights)
//   "<database>_company_<id>"                  the users granted a company (its billing work)
//   "<database>_site_signon"                   the workstations' sign-on login (lists the
//                                              companies, nothing more)
// Passwords do not depend on case: a role's password is the password in capitals.
namespace SiteRoles {

// The longest database name whose role names fit the server's 63 bytes.
constexpr int LongestDatabaseName = 51;

QString userRole(const QString& site, const QString& userId);
QString usersGroup(const QString& site);
QString adminsGroup(const QString& site);
QString companyGroup(const QString& site, const QString& companyId);
QString signOnGroup(const QString& site);

// The site's connection string that signs on as the user's role with the password.
QString loginAs(const QString& site, const QString& userId, const QString& password);

// Accepted, WrongPassword (or no such role: the server answers both alike), NotPermitted (the
// password is right, the role may not log in: disabled, locked out).
using Login = LoginAnswer;
// A short connection as the user's role. Throws StorageError (Refused) with one sentence
// naming the server when it cannot be reached.
Login tryLogin(const QString& site, const QString& userId, const QString& password);

// Whether the login of `system` (a server site's system store) reads every user's rights,
// as the site's administrators and its owner do; a user reads only their own.
bool seesEveryonesRights(Database& system);

// Why the login that `signOnSite` (the workstations' connection string) names may not be the
// site's sign-on login, as the rest of a sentence that begins with the string ("names the
// login \"billing\", which owns the database books; ..."); empty when it may.
QString signOnLoginProblem(Database& db, const QString& site, const QString& signOnSite);

// As the site's owner (a login that may create roles), on a store of the site's server
// (Database::server()), each in the caller's transaction:
// the group roles and the grants on the site's schema (again when they are there already);
void setUpSite(Database& db, const QString& site);
// the login that `signOnSite` (the workstations' connection string) names made the site's
// sign-on login, refused (StorageError, Refused, saying why) when it may do more than that
// (a superuser, an owner, a member of other roles);
void admitSignOnLogin(Database& db, const QString& site, const QString& signOnSite);
// the company's group role and the grants on its schema;
void setUpCompany(Database& db, const QString& site, const QString& companyId,
                  const QString& schema);
// a user's role: created (a member of the site's users, and of its administrators for
// ADMIN), its password replaced (the role made, with its companies, for a user who has
// none), allowed or refused to log in, granted a company.
void createUser(Database& db, const QString& site, const QString& userId, const QString& password);
void setPassword(Database& db, const QString& site, const QString& userId, const QString& password);
void setLoginAllowed(Database& db, const QString& site, const QString& userId, bool allowed);
void grantCompany(Database& db, const QString& site, const QString& userId,
                  const QString& companyId);
// the user's role out of the company's group; the user's role dropped.
void revokeCompany(Database& db, const QString& site, const QString& userId,
                   const QString& companyId);
void dropUser(Database& db, const QString& site, const QString& userId);

} // namespace SiteRoles
} // namespace Accpac
