#include "teststore.h"

#include "pgserver.h"

#include <accpac/standin.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QRegularExpression>
#include <QThread>

#include <libpq-fe.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

namespace TestStore {

namespace {

// One server for the whole test program, stopped when the last test has run (while the
// program's QApplication still exists).
class ServerEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { server.reset(); }
    std::unique_ptr<PostgresServer> server;
};

QString backend()
{
    return qEnvironmentVariable("TALLYMERGE_TEST_BACKEND");
}

std::unique_ptr<PostgresServer>& server()
{
    static ServerEnvironment* environment = [] {
        auto* made = new ServerEnvironment;
        ::testing::AddGlobalTestEnvironment(made); // gtest owns it
        return made;
    }();
    return environment->server;
}

// The server TALLYMERGE_TEST_SERVER names, and the databases this program made there.
class SharedServer : public ::testing::Environment
{
public:
    explicit SharedServer(const QString& conninfo)
        // Names no other run has: this program's start and process ID.
        : m_prefix(
              QStringLiteral("tm%1_%2_")
                  .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyMMddhhmmss")))
                  .arg(::getpid()))
    {
        char* message = nullptr;
        PQconninfoOption* parsed = PQconninfoParse(conninfo.toUtf8().constData(), &message);
        PQfreemem(message); // its words may quote the password
        if (!parsed)
            throw std::invalid_argument("TALLYMERGE_TEST_SERVER cannot be read as a connection "
                                        "string");
        for (PQconninfoOption* o = parsed; o->keyword; ++o) {
            const QString key = QString::fromUtf8(o->keyword);
            if (!o->val || !*o->val)
                continue;
            if (key == QLatin1String("password"))
                qputenv("PGPASSWORD", o->val);
            else
                m_options.append({key, QString::fromUtf8(o->val)});
        }
        PQconninfoFree(parsed);
    }

    // The administrator's string to `database` (the one the administrator named when empty).
    QString conninfo(const QString& database = {}) const
    {
        QStringList words;
        for (const auto& [key, value] : m_options)
            if (key != QLatin1String("dbname") || database.isEmpty())
                words << key + QStringLiteral("=") + quoted(value);
        if (!database.isEmpty())
            words << QStringLiteral("dbname=") + quoted(database);
        return words.join(u' ');
    }

    QString user() const
    {
        for (const auto& [key, value] : m_options)
            if (key == QLatin1String("user"))
                return value;
        return {};
    }

    QString newDatabase(const QString& templateDatabase)
    {
        const QString database = m_prefix + QString::number(m_databases.size() + 1);
        // A new database from template0 takes the C locale of the sites (texts compared byte
        // by byte, as SQLite does); a copy takes its template's.
        const QString locale = templateDatabase == QLatin1String("template0")
                                   ? QStringLiteral(" ENCODING 'UTF8' LOCALE 'C'")
                                   : QString();
        Accpac::Testing::executeOnStore(
            conninfo(), QStringLiteral("CREATE DATABASE %1 TEMPLATE %2%3")
                            .arg(PostgresServer::quoteIdentifier(database),
                                 PostgresServer::quoteIdentifier(templateDatabase), locale));
        m_databases << database;
        return conninfo(database);
    }

    // Ends the sessions of this program's databases but the administrator's own.
    int endSessions() const
    {
        return Accpac::Testing::queryStore(
                   conninfo(),
                   QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                  "WHERE starts_with(datname, %1) AND pid <> pg_backend_pid()")
                       .arg(PostgresServer::quoteLiteral(m_prefix)))
            .value(0)
            .toInt();
    }

    // The program's databases, the copies first, and the roles their sites made.
    void TearDown() override
    {
        try {
            for (auto it = m_databases.rbegin(); it != m_databases.rend(); ++it)
                Accpac::Testing::executeOnStore(
                    conninfo(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)")
                                    .arg(PostgresServer::quoteIdentifier(*it)));
            m_databases.clear();
            const QStringList roles = Accpac::Testing::queryStore(
                conninfo(), QStringLiteral("SELECT rolname FROM pg_roles WHERE "
                                           "starts_with(rolname, %1) ORDER BY rolname DESC")
                                .arg(PostgresServer::quoteLiteral(m_prefix)));
            for (const QString& role : roles)
                Accpac::Testing::executeOnStore(
                    conninfo(),
                    QStringLiteral("DROP ROLE %1").arg(PostgresServer::quoteIdentifier(role)));
        } catch (const ComError& e) {
            ADD_FAILURE() << "the databases and roles " << m_prefix.toStdString()
                          << "* of the shared server cannot be removed: "
                          << e.description().toStdString();
        }
    }

private:
    // Quoted only when libpq needs it, so that a site's string reads as the private server's.
    static QString quoted(QString value)
    {
        static const QRegularExpression plain(QStringLiteral("^[\\w.:/@+-]+$"));
        if (plain.match(value).hasMatch())
            return value;
        value.replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'"));
        return u'\'' + value + u'\'';
    }

    QString m_prefix;
    QList<std::pair<QString, QString>> m_options;
    QStringList m_databases;
};

SharedServer& sharedServer()
{
    static SharedServer* server = [] {
        auto* made = new SharedServer(qEnvironmentVariable("TALLYMERGE_TEST_SERVER"));
        ::testing::AddGlobalTestEnvironment(made); // gtest owns it
        return made;
    }();
    return *server;
}

} // namespace

bool onSharedServer()
{
    return onServer() && !qEnvironmentVariableIsEmpty("TALLYMERGE_TEST_SERVER");
}

QString endConnections()
{
    if (onSharedServer()) {
        sharedServer().endSessions();
        return QStringLiteral("the run's sessions ended by the administrator");
    }
    runningServer().restart();
    return QStringLiteral("the server restarted");
}

PostgresServer& runningServer()
{
    if (onSharedServer())
        throw std::logic_error("the sites are on the server TALLYMERGE_TEST_SERVER names; no "
                               "private server runs");
    if (!server()) {
        PostgresServer::Options options;
        options.durable = backend() == QLatin1String("postgres-socket");
        server() = std::make_unique<PostgresServer>(options);
    }
    return *server();
}

bool onServer()
{
    return backend() == QLatin1String("postgres") || backend() == QLatin1String("postgres-socket");
}

void stopServer()
{
    server().reset();
}

namespace {

// A new database of the server, a copy of `templateDatabase`, and its connection string.
QString newDatabase(const QString& templateDatabase)
{
    if (onSharedServer())
        return sharedServer().newDatabase(templateDatabase);
    static int sites = 0;
    PostgresServer& pg = runningServer();
    const QString database = QStringLiteral("site%1").arg(++sites);
    pg.execute(QStringLiteral("CREATE DATABASE %1 OWNER %2 TEMPLATE %3")
                   .arg(PostgresServer::quoteIdentifier(database),
                        PostgresServer::quoteIdentifier(pg.user()),
                        PostgresServer::quoteIdentifier(templateDatabase)),
               QStringLiteral("postgres"));
    const QString host = backend() == QLatin1String("postgres-socket") ? pg.socketDir() : pg.host();
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
        .arg(host)
        .arg(pg.port())
        .arg(database, pg.user(), pg.password());
}

} // namespace

QString newSite(const QString& folder)
{
    if (!onServer())
        return folder;
    // The sites compare texts as SQLite does: byte by byte (the cluster's C locale).
    return newDatabase(QStringLiteral("template0"));
}

QString copySite(const QString& site)
{
    static const QRegularExpression database(QStringLiteral("(?:^| )dbname=(\\S+)"));
    const QRegularExpressionMatch match = database.match(site);
    if (!match.hasMatch())
        throw std::invalid_argument("not a site of the tests' server: " + site.toStdString());
    return newDatabase(match.captured(1));
}

QString odbcLogin()
{
    if (!onServer())
        return {};
    // The shared server's password stays in PGPASSWORD, out of every settings file.
    if (onSharedServer())
        return QStringLiteral(";UID=") + sharedServer().user();
    return QStringLiteral(";UID=%1;PWD=%2").arg(runningServer().user(), runningServer().password());
}

QStringList query(const QString& companyStore, const QString& sql)
{
    try {
        return Accpac::Testing::queryStore(companyStore, sql);
    } catch (const ComError& e) {
        ADD_FAILURE() << "query " << sql.toStdString() << ": " << e.description().toStdString();
        return {};
    }
}

QStringList columns(const QString& companyStore, const QString& table)
{
    try {
        return Accpac::Testing::storeColumns(companyStore, table);
    } catch (const ComError& e) {
        ADD_FAILURE() << "columns of " << table.toStdString() << ": "
                      << e.description().toStdString();
        return {};
    }
}

QString execute(const QString& companyStore, const QString& sql)
{
    try {
        Accpac::Testing::executeOnStore(companyStore, sql);
        return {};
    } catch (const ComError& e) {
        return e.description();
    }
}

} // namespace TestStore
