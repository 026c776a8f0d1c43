#pragma once

// Connection strings of a database server (libpq's), and a login tried with one.

#include <QList>
#include <QString>

#include <utility>

namespace Accpac {

// The server's answer to a login by a short connection (closed again): accepted, a wrong
// user name or password (the server answers both alike), or a role that may not log in.
// Anything else (no server, no database) throws StorageError (Refused) with one sentence
// naming the server, told by the server's SQLSTATE whatever the server's language.
enum class LoginAnswer
{
    Accepted,
    WrongPassword,
    NotPermitted
};
LoginAnswer tryConnection(const QString& conninfo);
// The connection string without its password, for logs and messages.
QString withoutPassword(const QString& conninfo);
// The connection string in keyword form with one option set (replaced when present).
QString conninfoWith(const QString& conninfo, const QString& key, const QString& value);
// The options a connection string gives (keyword, value), the password left out.
QList<std::pair<QString, QString>> conninfoOptions(const QString& conninfo);
// A company of a server site named by one connection string: the site's connection string
// with the company's schema as the connection's search path.
QString companyConninfo(const QString& siteConninfo, const QString& schema);

} // namespace Accpac
