#pragma once

#include "sessioncore.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace Accpac {

// A refused sign-on, with the message for the user.
struct SignonRefused
{
    QString message;
};

struct CompanyEntry
{
    QString id;
    QString name;
};

QString systemDatabaseFile(const QString& siteFolder);
// Why the site's system file is not there for this account: "No site is set up…", or, when
// the folder is closed to it, that the account is not (yet, in this session) a member of
// the site's group, and what to do.
QString noSiteMessage(const QString& siteFolder);
// The companies listed in the site; throws SignonRefused when the site is unusable.
QList<CompanyEntry> listCompanies(const QString& siteFolder);
// Checks the user and the password and opens the company; throws SignonRefused.
std::shared_ptr<SessionCore> openSession(const QString& siteFolder, const QString& companyId,
                                         const QString& userId, const QString& password);
// A session of its own for the user of a live sign-on (no password asked again): its own
// connections, Errors and call log. Throws SignonRefused.
std::shared_ptr<SessionCore> openSessionFor(const SessionCore& signedOn);
// The store of a company of the site (its file, or its schema on the site's server), at
// this program's schema version. Throws ComError.
std::unique_ptr<Database> openListedCompany(const QString& site, const QString& companyId);
// On a database server a site is one database: its system data in the schema
// serverSiteSchema(), each company in a schema of its own.
const char* serverSiteSchema();
QString serverCompanySchema(const QString& companyId);
// The site's system data opened to be read only (no version check): the auditor's.
std::unique_ptr<Database> openSiteSystemToRead(const QString& site);
// What the sign-on throttle counts failed tries by: the site and the user ID.
QString signonTriesKey(const QString& site, const QString& userId);
// The user ID as the site stores it: trimmed, upper-case.
QString normalUserId(const QString& userId);
// What a password's verifier is made of. Passwords do not depend on case, as on the
// platform, whose password boxes turn what is typed into capitals.
QByteArray passwordKey(const QString& password);
// True when the password (in any case) matches the user's verifier.
extern int passwordVerifications; // verifiers evaluated so far (tests read it)
bool verifyPassword(Database& systemDb, const QString& userId, const QString& password);

} // namespace Accpac
