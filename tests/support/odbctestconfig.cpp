#include "odbctestconfig.h"

#include <odbc/datasource.h>

#include <QFile>

#include <stdexcept>

OdbcTestConfig::OdbcTestConfig()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create the temporary ODBC configuration folder");
    for (const char* name : {"odbcinst.ini", "odbc.ini", "user-odbc.ini"}) {
        QFile file(m_dir.filePath(QLatin1String(name)));
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot create the temporary ODBC configuration");
    }
    qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));
    qputenv("ODBCINSTINI", "odbcinst.ini");
    qputenv("ODBCINI", QFile::encodeName(userDataSources()));
    OdbcDataSource::installDriver(sqliteDriver(), QStringLiteral("libsqlite3odbc.so"));
    OdbcDataSource::installDriver(postgresDriver(), QStringLiteral("psqlodbcw.so"));
}

OdbcTestConfig& OdbcTestConfig::instance()
{
    static OdbcTestConfig config;
    return config;
}
