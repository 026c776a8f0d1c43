#pragma once

#include <QString>

namespace Accpac {

class Database;

// Why the user cannot approve extra credit for an invoice of the company, or "" when the
// user can: the user and password must be valid, the user neither disabled nor locked out,
// and one of the user's "OE" profiles for the company must carry the resource "OECREDIT".
// ADMIN holds every right. On a server site (`site` a connection string) the server checks
// the password, by a short connection as the user's role. The reason never repeats the
// password.
QString creditApprovalProblem(Database& systemDb, const QString& site, const QString& userId,
                              const QString& password, const QString& companyId);

// True when the user is one of the site's and holds the right to approve credit in the
// company (the profile check above, without password or account state).
bool holdsCreditApprovalRight(Database& systemDb, const QString& userId, const QString& companyId);

} // namespace Accpac
