#pragma once

#include <QString>
#include <QStringList>

class PostgresServer;

// Where the engine tests keep their sites. By default a site is a folder of SQLite files;
// with TALLYMERGE_TEST_BACKEND=postgres (the ctest entries whose names end in _postgres) it
// is a database of one private PostgreSQL server that the test program starts on first use
// and stops when it ends, reached over TCP; with TALLYMERGE_TEST_BACKEND=postgres-socket
// (the benchmarks' server column) the same, reached through the server's local socket, and
// the server makes every commit durable as SQLite does. The same tests run on either.
//
// With TALLYMERGE_TEST_SERVER set as well (an administrator's connection string of a server
// that is not the test's own, whose login may create databases and roles) the sites are new
// databases of that server instead, named after the program's start and process ID; they and
// their roles are removed when the program ends, and nothing else of the server is touched.
// A password in that string is taken out of it into PGPASSWORD, so that no site's string,
// command line, message or log holds it.
namespace TestStore {

// True when the sites are databases of the private server.
bool onServer();
// True when the sites are databases of the server TALLYMERGE_TEST_SERVER names.
bool onSharedServer();
// Stops the private server now (a program without GoogleTest's end calls it before its
// QCoreApplication goes); the next site starts a new one.
void stopServer();
// The private server, started when none runs; only when onServer() and not onSharedServer().
PostgresServer& runningServer();
// Ends every connection to the sites, as a server failure would: the private server restarts;
// on a shared server, which must never be restarted, the administrator ends the sessions of
// the program's databases. Returns what was done, in words.
QString endConnections();

// A new, empty place for a site: `folder` itself, or the connection string of a new database
// of the private server (then `folder` is not used).
QString newSite(const QString& folder);

// A new site on the server that starts as a copy of `site` (one of newSite, to which no
// connection is open): copying a made site costs a fraction of making one.
QString copySite(const QString& site);

// What an ODBC connection string adds to a data source of a test site to log in: the
// server's user and password (";UID=...;PWD=..."), nothing for an SQLite file.
QString odbcLogin();

// The rows of a query on a company's store (its file, or its connection string as
// Accpac::Admin::companyDatabaseFile gives it), each with its columns joined by "|" (a
// binary number as its shortest exact text: 10, 25.5); an unreadable store or a bad query
// fails the current test and gives no rows.
QStringList query(const QString& companyStore, const QString& sql);
// The columns of a table there, in capitals.
QStringList columns(const QString& companyStore, const QString& table);
// A statement there; returns the storage's message, empty when it succeeded.
QString execute(const QString& companyStore, const QString& sql);

} // namespace TestStore
