#pragma once

#include <accpac/standin.h>

#include <QString>

#include <memory>

namespace Sample {

struct Options
{
    QString folder;                            // the site folder to create
    int orders = 300;                          // size of the order book
    QString oeVersion = QStringLiteral("56A"); // "55A" or "56A"
    QString arVersion = QStringLiteral("56A"); // "53A" or "56A"
    bool withOrderEntry = true;                // false: a company without OE
    int linesPerShipment = 0;                  // 0: one to three lines each
    Accpac::Admin::HashStrength strength = Accpac::Admin::HashStrength::Interactive;
};

// The company the generator makes.
inline const QString CompanyId = QStringLiteral("SAMINC");

// Users and their passwords in the sample site.
inline const QString AdminPassword = QStringLiteral("ADMIN");
inline const QString SupervisorId = QStringLiteral("SUPER");
inline const QString SupervisorPassword = QStringLiteral("SUPER");
inline const QString ClerkId = QStringLiteral("CLERK");
inline const QString ClerkPassword = QStringLiteral("CLERK");

// The ODBC driver the default data source uses (unixODBC, SQLite3 ODBC driver).
inline const QString OdbcDriver = QStringLiteral("SQLite3");
inline const QString OdbcDriverLibrary = QStringLiteral("libsqlite3odbc.so");

// The driver of a company on a database server (psqlODBC).
inline const QString ServerOdbcDriver = Accpac::ServerOdbcDriver;

// Registers the system data source named after the sample company ("SAMINC") for the
// company file, registering the SQLite3 ODBC driver first when it is absent; for a company
// on a database server (its connection string), a psqlODBC data source without the password. An
// existing data source of that name is replaced. Throws ComError when the installer refuses.
void registerDataSource(const QString& companyFile);

// Creates the site with company SAMINC: currencies, banks, receipt types, misc. charges,
// customers (some flagged for the delivery charge), receipt batches, users with their
// rights, and an order book of the given size. Throws ComError.
void createSampleSite(const Options& options);

// A session signed on to the sample company of the site in `folder` without the dialog
// (nullptr when the sign-on is refused).
std::unique_ptr<AccpacSession> signOn(const QString& folder,
                                      const QString& userId = QStringLiteral("ADMIN"),
                                      const QString& password = AdminPassword);

// A benchmark's site in `folder`: the sample company with `orders` orders and quick password
// verifiers, signed on as ADMIN. Ends the program when the site cannot be made or signed on.
std::unique_ptr<AccpacSession> benchmarkSite(const QString& folder, int orders);

// A new order of `customer` with `count` shipments numbered "<order>-1", "<order>-2", ...,
// each of `linesEach` lines of 2 x 5.00 (the benchmarks' invoices). Returns the shipment
// numbers. Throws ComError.
QStringList addShippedOrder(AccpacDBLink& link, const QString& order, const QString& customer,
                            int count, int linesEach = 5);

// Completes an invoiced order as the program does after its invoice: back orders cleared,
// the open lines and the order marked complete. Throws ComError.
void completeInvoicedOrder(AccpacDBLink& link, const QString& orderNumber);

} // namespace Sample
