#include "teststore.h"

#include "pgserver.h"

#include <accpac/standin.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QRegularExpression>

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

} // namespace

PostgresServer& runningServer()
{
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
