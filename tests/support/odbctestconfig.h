#pragma once

#include <QString>
#include <QTemporaryDir>

// A private unixODBC configuration for a test program: an odbcinst.ini with the SQLite3 and
// psqlODBC drivers and empty system and user odbc.ini files in a temporary folder, found by
// the driver manager through ODBCSYSINI, ODBCINSTINI and ODBCINI. The machine's own
// /etc/odbc*.ini and ~/.odbc.ini are never read or written.
//
// unixODBC reads those variables once per process, so create one before the program's
// first ODBC call (e.g. in SetUpTestSuite) and keep it until the program ends.
class OdbcTestConfig
{
public:
    OdbcTestConfig();
    // The configuration of this test program, created on first use.
    static OdbcTestConfig& instance();
    OdbcTestConfig(const OdbcTestConfig&) = delete;
    OdbcTestConfig& operator=(const OdbcTestConfig&) = delete;

    static QString sqliteDriver() { return QStringLiteral("SQLite3"); }
    static QString postgresDriver() { return QStringLiteral("PostgreSQL Unicode"); }

    QString path() const { return m_dir.path(); }
    // The file a scope of data sources lives in.
    QString systemDataSources() const { return m_dir.filePath(QStringLiteral("odbc.ini")); }
    QString userDataSources() const { return m_dir.filePath(QStringLiteral("user-odbc.ini")); }

private:
    QTemporaryDir m_dir;
};
