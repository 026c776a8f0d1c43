// The grid's ODBC data source of a company on a database server, as `tallymerge-admin
// odbc-source` writes it into a private unixODBC configuration: the grid's statement reads
// the company's orders through it, no password is written, and mistakes write nothing.
#include "odbctestconfig.h"
#include "pgserver.h"

#include <sample.h>
#include <selection/orderquery.h>
#include <toolrun.h>

#include <accpac/standin.h>
#include <odbc/connection.h>
#include <odbc/datasource.h>
#include <odbc/recordset.h>
#include <system/comerror.h>

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(GridDataSource, AdminWritesTheServerCompanysSourceAndTheGridReadsThroughIt)
{
    OdbcTestConfig& odbc = OdbcTestConfig::instance();
    if (!PostgresServer::available())
        GTEST_SKIP() << "PostgreSQL is not installed";
    PostgresServer server;
    const QString site = server.conninfo();
    Sample::Options options;
    options.folder = site;
    options.orders = 40;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);

    // Mistakes are refused in one sentence and write no data source.
    QTemporaryDir folder;
    ToolRun r = admin({QStringLiteral("--site"), folder.path(), QStringLiteral("odbc-source"),
                       Sample::CompanyId, QStringLiteral("Books")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.contains(QLatin1String("a company on a database server")))
        << r.output.toStdString();
    r = admin({QStringLiteral("--site"), site, QStringLiteral("odbc-source"),
               QStringLiteral("NOCO"), QStringLiteral("Books")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.contains(QLatin1String("\"NOCO\" is not set up")))
        << r.output.toStdString();
    EXPECT_FALSE(r.output.contains(server.password()));
    EXPECT_FALSE(OdbcDataSource::dataSourceExists(QStringLiteral("Books")));

    // A system data source by default, a user one on request; neither holds the password.
    r = admin({QStringLiteral("--site"), site, QStringLiteral("odbc-source"),
               Sample::CompanyId.toLower(), QStringLiteral("Books")});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    EXPECT_FALSE(r.output.contains(server.password())) << r.output.toStdString();
    r = admin({QStringLiteral("--site"), site, QStringLiteral("odbc-source"),
               QStringLiteral("--user"), Sample::CompanyId, QStringLiteral("Mine")});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    EXPECT_TRUE(OdbcDataSource::dataSourceExists(QStringLiteral("Books")));
    EXPECT_FALSE(
        OdbcDataSource::dataSourceExists(QStringLiteral("Books"), OdbcDataSource::Scope::User));
    EXPECT_TRUE(
        OdbcDataSource::dataSourceExists(QStringLiteral("Mine"), OdbcDataSource::Scope::User));
    QSettings written(odbc.systemDataSources(), QSettings::IniFormat);
    EXPECT_EQ(written.value(QStringLiteral("Books/Driver")).toString(), Accpac::ServerOdbcDriver);
    EXPECT_EQ(written.value(QStringLiteral("Books/Database")).toString(), server.database());
    for (const QString& file : {odbc.systemDataSources(), odbc.userDataSources()}) {
        EXPECT_FALSE(contents(file).contains(server.password().toUtf8())) << file.toStdString();
        EXPECT_TRUE(contents(file).contains("company_saminc")) << file.toStdString();
    }

    // The grid's statement through each data source reads the company's orders, the same
    // rows the views see.
    const QString store = Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId);
    OrderQuery::Filter all;
    all.engine = 2;
    const QString statement = OrderQuery::statement(all);
    const QStringList expected = Accpac::Testing::queryStore(store, statement);
    ASSERT_FALSE(expected.isEmpty());
    for (const QString& dsn : {QStringLiteral("Books"), QStringLiteral("Mine")}) {
        Connection connection;
        connection.Open(
            OrderQuery::connectionString(2, dsn, false, server.user(), server.password()));
        Recordset orders;
        orders.Open(statement, connection);
        QStringList numbers;
        for (; !orders.Eof(); orders.MoveNext())
            numbers << orders.Fields(QStringLiteral("ORDNUMBER")).Value.toString();
        ASSERT_EQ(numbers.size(), expected.size()) << dsn.toStdString();
        for (int i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(expected[i].section(u'|', 0, 0).trimmed(), numbers[i].trimmed());
    }

    // Without the password the data source does not log in.
    Connection bare;
    EXPECT_THROW(bare.Open(OrderQuery::connectionString(2, QStringLiteral("Books"), true, {}, {})),
                 ComError);
    EXPECT_EQ(Accpac::checkCompanyFile(store), QStringList());
}

} // namespace
