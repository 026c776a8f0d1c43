#include "siteroles.h"

#include "pgdb.h"
#include "site.h"

#include <libpq-fe.h>

#include <QHash>

namespace Accpac::SiteRoles {

namespace {

using Kind = StorageError::Kind;

// What a company's billing clerks write: orders and shipments (invoiced, completed),
// invoices with their lines, shipments and prepayments, receipt batches and their receipts,
// and the balance a customer owes. Everything else of the company they only read.
constexpr const char* BillingTables[] = {"oeinvh", "oeinvd", "oeinvs", "oeppay", "arbta", "artcr"};
constexpr const char* BillingGrants[] = {"UPDATE ON %1.oeordh, %1.oeordd, %1.oeshih, %1.oeshid",
                                         "UPDATE (amtbalduet) ON %1.arcus",
                                         // The journal: entries are added, never changed.
                                         "INSERT ON %1.tmjournal"};

// The first part of the site's role names: the name of the database the site was made in,
// kept as the comment of the site's schema, so that a copy restored into another database
// of the server keeps its users' roles. Read once per site and program, by the site's own
// login (anyone may read it).
QString rolePrefix(const QString& site)
{
    static QHash<QString, QString> known;
    const QString key = withoutPassword(site);
    if (const auto found = known.constFind(key); found != known.cend())
        return *found;
    PgDatabase db(site, QString());
    Statement st = db.prepare("SELECT COALESCE((SELECT obj_description(oid, 'pg_namespace') FROM "
                              "pg_namespace WHERE nspname = ?), current_database())");
    st.bindText(1, QString::fromLatin1(serverSiteSchema()));
    st.step();
    const QString prefix = st.columnText(0);
    if (prefix.toUtf8().size() > LongestDatabaseName)
        throw StorageError(Kind::Refused, 0,
                           QStringLiteral("The database name \"%1\" is too long to name the "
                                          "site's roles on the server (at most %2 bytes).")
                               .arg(prefix)
                               .arg(LongestDatabaseName));
    known.insert(key, prefix);
    return prefix;
}

QString prefixed(const QString& site, const QString& rest)
{
    return rolePrefix(site) + rest;
}

QByteArray identifier(const QString& name)
{
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

QByteArray literal(const QByteArray& text)
{
    return '\'' + QByteArray(text).replace('\'', "''") + '\'';
}

// Role names keep their case, so the statements reach the server as written (without the
// folding of quoted identifiers that the shared SQL gets).
void run(PgDatabase& db, const QByteArray& sql)
{
    PGresult* result = PQexec(db.connection(), sql.constData());
    if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
        db.raise(result, sql);
    PQclear(result);
}

bool roleExists(PgDatabase& db, const QString& role)
{
    Statement st = db.prepare("SELECT 1 FROM pg_roles WHERE rolname = ?");
    st.bindText(1, role);
    return st.step();
}

void createGroup(PgDatabase& db, const QString& role)
{
    if (!roleExists(db, role))
        run(db, "CREATE ROLE " + identifier(role) + " NOLOGIN");
}

// The password as the server keeps it: a SCRAM-SHA-256 verifier made here, so that the
// password itself never travels in a statement or reaches the server's log.
QByteArray verifier(PgDatabase& db, const QString& role, const QString& password)
{
    char* made = PQencryptPasswordConn(db.connection(), passwordKey(password).constData(),
                                       role.toUtf8().constData(), "scram-sha-256");
    if (!made)
        throw StorageError(
            Kind::Other, 0,
            QStringLiteral("The password of role %1 cannot be encrypted: %2")
                .arg(role, QString::fromUtf8(PQerrorMessage(db.connection())).trimmed()));
    const QByteArray text(made);
    PQfreemem(made);
    return text;
}

} // namespace

QString userRole(const QString& site, const QString& userId)
{
    return prefixed(site, u'.' + normalUserId(userId).toLower());
}

QString usersGroup(const QString& site)
{
    return prefixed(site, QStringLiteral("_site_users"));
}

QString adminsGroup(const QString& site)
{
    return prefixed(site, QStringLiteral("_site_admins"));
}

QString companyGroup(const QString& site, const QString& companyId)
{
    return prefixed(site, QStringLiteral("_company_") + companyId.trimmed().toLower());
}

QString loginAs(const QString& site, const QString& userId, const QString& password)
{
    return conninfoWith(conninfoWith(site, QStringLiteral("user"), userRole(site, userId)),
                        QStringLiteral("password"), QString::fromUtf8(passwordKey(password)));
}

Login tryLogin(const QString& site, const QString& userId, const QString& password)
{
    const QByteArray conninfo = loginAs(site, userId, password).toUtf8();
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "tallymerge", conninfo.constData(), nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    const bool accepted = PQstatus(conn) == CONNECTION_OK;
    const QString why = QString::fromUtf8(PQerrorMessage(conn));
    PQfinish(conn);
    if (accepted)
        return Login::Accepted;
    if (why.contains(QLatin1String("password authentication failed")) ||
        why.contains(QLatin1String("no password supplied")))
        return Login::WrongPassword;
    if (why.contains(QLatin1String("is not permitted to log in")))
        return Login::NotPermitted;
    throw StorageError(Kind::Refused, 0, connectionRefusal(site, why));
}

void setUpSite(PgDatabase& db, const QString& site)
{
    const QByteArray users = identifier(usersGroup(site));
    const QByteArray admins = identifier(adminsGroup(site));
    createGroup(db, usersGroup(site));
    createGroup(db, adminsGroup(site));
    const QByteArray schema = serverSiteSchema();
    run(db, "COMMENT ON SCHEMA " + schema + " IS " + literal(rolePrefix(site).toUtf8()));
    // The company list (and the version of its tables) is open to every login of the
    // server, so that the sign-on can list the companies before anyone has signed on.
    run(db, "GRANT USAGE ON SCHEMA " + schema + " TO PUBLIC");
    run(db, "GRANT SELECT ON " + schema + ".companies, " + schema + ".schemaversion TO PUBLIC");
    run(db, "GRANT SELECT ON ALL TABLES IN SCHEMA " + schema + " TO " + users);
    run(db, "GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA " + schema + " TO " + admins);
    run(db, "GRANT USAGE ON ALL SEQUENCES IN SCHEMA " + schema + " TO " + admins);
    run(db, "GRANT " + users + " TO " + admins);
}

void setUpCompany(PgDatabase& db, const QString& site, const QString& companyId,
                  const QString& schema)
{
    const QString group = companyGroup(site, companyId);
    createGroup(db, group);
    createGroup(db, adminsGroup(site));
    const QByteArray clerks = identifier(group);
    const QByteArray admins = identifier(adminsGroup(site));
    const QByteArray where = identifier(schema);
    QByteArray billing;
    for (const char* table : BillingTables)
        billing += (billing.isEmpty() ? "" : ", ") + where + '.' + table;
    run(db, "GRANT USAGE ON SCHEMA " + where + " TO " + clerks + ", " + admins);
    run(db, "GRANT SELECT ON ALL TABLES IN SCHEMA " + where + " TO " + clerks);
    run(db, "GRANT INSERT, UPDATE ON " + billing + " TO " + clerks);
    for (const char* grant : BillingGrants)
        run(db, "GRANT " + QByteArray(grant).replace("%1", where) + " TO " + clerks);
    run(db, "GRANT ALL ON ALL TABLES IN SCHEMA " + where + " TO " + admins);
    run(db, "GRANT ALL ON ALL SEQUENCES IN SCHEMA " + where + " TO " + admins);
    // The users granted the company before it was here (or before its group lost them).
    Statement st = db.prepare(QByteArray("SELECT DISTINCT USERID FROM ") + serverSiteSchema() +
                              ".AUTHS WHERE COMPANYID = ?");
    st.bindText(1, companyId.trimmed().toUpper());
    while (st.step())
        grantCompany(db, site, st.columnText(0), companyId);
}

void createUser(PgDatabase& db, const QString& site, const QString& userId, const QString& password)
{
    const QString role = userRole(site, userId);
    const bool administrator = normalUserId(userId) == QLatin1String("ADMIN");
    const QByteArray group = identifier(administrator ? adminsGroup(site) : usersGroup(site));
    // A copy of the site's database on the same server (a restore, a template) shares its
    // roles: a user added in one is the same role, taken over with this password.
    if (roleExists(db, role)) {
        run(db, "ALTER ROLE " + identifier(role) + " LOGIN PASSWORD " +
                    literal(verifier(db, role, password)));
        run(db, "GRANT " + group + " TO " + identifier(role));
        return;
    }
    run(db, "CREATE ROLE " + identifier(role) + " LOGIN PASSWORD " +
                literal(verifier(db, role, password)) + " IN ROLE " + group);
}

void setPassword(PgDatabase& db, const QString& site, const QString& userId,
                 const QString& password)
{
    const QString role = userRole(site, userId);
    if (roleExists(db, role)) {
        run(db, "ALTER ROLE " + identifier(role) + " PASSWORD " +
                    literal(verifier(db, role, password)));
        return;
    }
    // A user of a site set up before its users were roles gets the role now, with the
    // companies granted.
    createUser(db, site, userId, password);
    Statement st = db.prepare(QByteArray("SELECT DISTINCT COMPANYID FROM ") + serverSiteSchema() +
                              ".AUTHS WHERE USERID = ?");
    st.bindText(1, normalUserId(userId));
    while (st.step())
        grantCompany(db, site, userId, st.columnText(0));
}

void setLoginAllowed(PgDatabase& db, const QString& site, const QString& userId, bool allowed)
{
    run(db, "ALTER ROLE " + identifier(userRole(site, userId)) + (allowed ? " LOGIN" : " NOLOGIN"));
}

void grantCompany(PgDatabase& db, const QString& site, const QString& userId,
                  const QString& companyId)
{
    // A grant of a company the site does not have yet waits for it (setUpCompany).
    const QString group = companyGroup(site, companyId);
    const QString role = userRole(site, userId);
    if (roleExists(db, group) && roleExists(db, role))
        run(db, "GRANT " + identifier(group) + " TO " + identifier(role));
}

} // namespace Accpac::SiteRoles
