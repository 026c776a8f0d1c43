#pragma once

#include <QList>
#include <QString>

#include <utility>

// Registration of ODBC drivers and data sources through the driver manager's installer
// library (odbcinst.ini and odbc.ini). Every function throws ComError when the installer
// refuses, with the installer's own message as the description.
namespace OdbcDataSource {

// System data sources are seen by every user of the machine (the default install); user
// data sources only by the current user.
enum class Scope
{
    System,
    User
};

// Keyword / value pairs of a data source, in the order they are written, e.g.
// {{"Database", "/var/lib/tallymerge/sample.db"}}.
using Attributes = QList<std::pair<QString, QString>>;

// True when a driver of this name is registered with the driver manager.
bool driverInstalled(const QString& name);

// Registers driver `name` with its shared library (a file name the loader finds, or a full
// path) unless a driver of that name is already registered.
void installDriver(const QString& name, const QString& library);

// Registers data source `dsn` for the registered driver `driver` with `attributes`; an
// existing data source of that name is replaced as a whole.
void registerDataSource(const QString& dsn, const QString& driver, const Attributes& attributes,
                        Scope scope = Scope::System);

// True when data source `dsn` is registered in `scope`.
bool dataSourceExists(const QString& dsn, Scope scope = Scope::System);

// Removes data source `dsn` from `scope`; removing one that does not exist does nothing.
void removeDataSource(const QString& dsn, Scope scope = Scope::System);

} // namespace OdbcDataSource
