// Registration of drivers and data sources through unixODBC's installer library, into the
// private configuration of the test program.

#include "odbctestconfig.h"

#include <odbc/connection.h>
#include <odbc/datasource.h>

#include <system/comerror.h>

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(OdbcDataSource, RegistersReplacesAndRemovesDataSources)
{
    const OdbcTestConfig& config = OdbcTestConfig::instance();
    using OdbcDataSource::Scope;
    EXPECT_TRUE(OdbcDataSource::driverInstalled(OdbcTestConfig::sqliteDriver()));
    EXPECT_TRUE(OdbcDataSource::driverInstalled("sqlite3")); // names ignore case
    EXPECT_FALSE(OdbcDataSource::driverInstalled("No Such Driver"));
    // Installing a registered driver again changes nothing.
    OdbcDataSource::installDriver(OdbcTestConfig::sqliteDriver(), "other.so");
    EXPECT_FALSE(contents(config.path() + "/odbcinst.ini").contains("other.so"));

    OdbcDataSource::registerDataSource("Sample", OdbcTestConfig::sqliteDriver(),
                                       {{"Database", "/tmp/a.db"}, {"Timeout", "2000"}});
    EXPECT_TRUE(OdbcDataSource::dataSourceExists("Sample"));
    EXPECT_TRUE(OdbcDataSource::dataSourceExists("sample"));
    EXPECT_FALSE(OdbcDataSource::dataSourceExists("Sample", Scope::User));
    QByteArray system = contents(config.systemDataSources());
    EXPECT_TRUE(system.contains("[Sample]"));
    EXPECT_TRUE(system.contains("/tmp/a.db"));
    EXPECT_TRUE(system.contains("Timeout"));

    // Registering again replaces the whole entry: the old Timeout does not linger.
    OdbcDataSource::registerDataSource("Sample", OdbcTestConfig::sqliteDriver(),
                                       {{"Database", "/tmp/b.db"}});
    system = contents(config.systemDataSources());
    EXPECT_TRUE(system.contains("/tmp/b.db"));
    EXPECT_FALSE(system.contains("/tmp/a.db"));
    EXPECT_FALSE(system.contains("Timeout"));

    OdbcDataSource::registerDataSource("Mine", OdbcTestConfig::sqliteDriver(),
                                       {{"Database", "/tmp/c.db"}}, Scope::User);
    EXPECT_TRUE(OdbcDataSource::dataSourceExists("Mine", Scope::User));
    EXPECT_FALSE(OdbcDataSource::dataSourceExists("Mine", Scope::System));
    EXPECT_TRUE(contents(config.userDataSources()).contains("/tmp/c.db"));

    OdbcDataSource::removeDataSource("Sample");
    OdbcDataSource::removeDataSource("Sample"); // already gone: nothing happens
    EXPECT_FALSE(OdbcDataSource::dataSourceExists("Sample"));
    EXPECT_TRUE(OdbcDataSource::dataSourceExists("Mine", Scope::User));
    // A removed source is unknown to the driver manager too.
    Connection connection;
    try {
        connection.Open("DSN=Sample");
        FAIL() << "a removed data source was opened";
    } catch (const ComError& error) {
        EXPECT_EQ(error.number(), ComErrorNumber::E_Fail);
    }
}

TEST(OdbcDataSource, RefusesUnknownDriversAndBadNames)
{
    OdbcTestConfig::instance();
    for (const auto& [dsn, driver] :
         {std::pair<QString, QString>{"Good", "No Such Driver"},
          std::pair<QString, QString>{"Bad[Name]", OdbcTestConfig::sqliteDriver()}}) {
        try {
            OdbcDataSource::registerDataSource(dsn, driver, {});
            ADD_FAILURE() << dsn.toStdString() << " was registered";
        } catch (const ComError& error) {
            EXPECT_EQ(error.number(), ComErrorNumber::E_Fail);
            EXPECT_FALSE(error.description().isEmpty());
        }
        EXPECT_FALSE(OdbcDataSource::dataSourceExists(dsn));
    }
}

} // namespace
