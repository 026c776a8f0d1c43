// A site on a private PostgreSQL server whose users are the server's login roles: the
// server checks the passwords, a clerk's role does billing and nothing more, and the
// sign-on, the credit approval and the grid's ODBC connection log in as the user's role.
#include "pgdb.h"
#include "site.h"
#include "siteroles.h"

#include <auditbooks.h>
#include <invoicesequence.h>
#include <odbctestconfig.h>
#include <pgserver.h>
#include <sample.h>

#include <accpac/standin.h>
#include <accpac/usrvalidate.h>
#include <accpac/view.h>
#include <odbc/connection.h>
#include <odbc/connectionstring.h>
#include <odbc/datasource.h>
#include <odbc/recordset.h>
#include <system/comerror.h>

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using Accpac::PgDatabase;
using Accpac::StorageError;
namespace Roles = Accpac::SiteRoles;

namespace {

class ServerRoles : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        OdbcTestConfig::instance();
        server = new PostgresServer();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override { Accpac::Testing::clearSignonFailures(); }
    void TearDown() override
    {
        Accpac::Testing::setSignonClock({});
        Accpac::Testing::clearSignonFailures();
    }

    // A sample site in a new database of the server, made by its owner.
    static QString sampleSite(const QString& database)
    {
        server->execute(QStringLiteral("CREATE DATABASE %1 OWNER %2 TEMPLATE template0")
                            .arg(database, server->user()),
                        QStringLiteral("postgres"));
        const QString site = server->conninfo(database);
        Sample::Options options;
        options.folder = site;
        options.orders = 40;
        options.strength = Accpac::Admin::HashStrength::Minimal;
        Sample::createSampleSite(options);
        return site;
    }

    // The sign-on's answer: the session, or its refusal in `message`.
    static std::unique_ptr<AccpacSession> signOn(const QString& site, const QString& user,
                                                 const QString& password, QString* message)
    {
        auto session = Accpac::createSession();
        session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                      QStringLiteral("53A"));
        if (Accpac::Testing::signOn(*session, site, Sample::CompanyId, user, password))
            return session;
        *message = session->Errors().Count() > 0 ? session->Errors().Message(0) : QString();
        return nullptr;
    }

    static QString refusal(const QString& site, const QString& user, const QString& password)
    {
        QString message;
        if (signOn(site, user, password, &message))
            return QStringLiteral("(signed on)");
        return message;
    }

    // What the cluster's superuser reads in the site's database.
    static QString asSuperuser(const QString& site, const QString& sql)
    {
        const QString database = site.section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
        return server->execute(sql, database).trimmed();
    }

    // The refusal a statement of the clerk's own connection to the site's schema gets.
    static QString clerkRefusal(const QString& site, const QByteArray& sql)
    {
        PgDatabase clerk(Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword),
                         QString::fromLatin1(Accpac::serverSiteSchema()));
        try {
            clerk.exec(sql);
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::Refused) << e.message().toStdString();
            return e.message();
        }
        return QStringLiteral("(done)");
    }

    static QString runAdmin(const QStringList& args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TALLYMERGE_ADMIN), args);
        process.closeWriteChannel();
        process.waitForFinished(120000);
        return QString::number(process.exitCode()) + u' ' +
               QString::fromLocal8Bit(process.readAll()).trimmed();
    }

    inline static PostgresServer* server = nullptr;
};

// Every message in the session's Errors, one a line; the collection is emptied.
QString takeErrors(AccpacSession& session)
{
    QStringList messages;
    for (int i = 0; i < session.Errors().Count(); ++i)
        messages << session.Errors().Message(i);
    session.Errors().Clear();
    return messages.join(u'\n');
}

// An open shipment of the customer that no invoice holds yet.
QStringList openShipments(const QString& store, const QString& customer)
{
    QStringList shipments;
    for (const QString& row : Accpac::Testing::queryStore(
             store, QStringLiteral("SELECT SHINUMBER FROM OESHIH WHERE CUSTOMER='%1' AND "
                                   "INVUNIQ=0 AND COMPLETE<3 AND SHINUMBER<>'*** NEW ***' "
                                   "ORDER BY SHINUMBER")
                        .arg(customer)))
        shipments << row;
    return shipments;
}

TEST_F(ServerRoles, UsersAreLoginRolesWhosePasswordsTheServerChecks)
{
    const QString site = sampleSite(QStringLiteral("books"));
    // The server keeps a SCRAM verifier; the site keeps none of its own.
    EXPECT_TRUE(asSuperuser(site, "SELECT rolpassword FROM pg_authid WHERE rolname = "
                                  "'books.clerk'")
                    .startsWith(QLatin1String("SCRAM-SHA-256$4096:")));
    EXPECT_EQ(asSuperuser(site, "SELECT COUNT(*) FROM tallymerge_site.users WHERE pwverifier "
                                "<> ''"),
              "0");
    EXPECT_EQ(asSuperuser(site, "SELECT string_agg(rolname || ':' || rolcanlogin::text, ',' "
                                "ORDER BY rolname) FROM pg_roles WHERE rolname LIKE 'books%'"),
              "books.admin:true,books.clerk:true,books.super:true,books.temp:false,"
              "books_company_saminc:false,books_site_admins:false,books_site_users:false");

    // The clerk signs on in any case of the password, and works as its role.
    QString message;
    auto session = signOn(site, QStringLiteral("clerk"), QStringLiteral("cLeRk"), &message);
    ASSERT_TRUE(session) << message.toStdString();
    EXPECT_EQ(session->UserID(), "CLERK");
    EXPECT_GE(asSuperuser(site, "SELECT COUNT(*) FROM pg_stat_activity WHERE usename = "
                                "'books.clerk'")
                  .toInt(),
              2);
    const auto login = Accpac::signedOnServerLogin();
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->role, "books.clerk");
    EXPECT_EQ(login->password, "CLERK");

    // Wrong passwords and unknown users get the program's one sentence.
    EXPECT_EQ(refusal(site, QStringLiteral("CLERK"), QStringLiteral("wrong")),
              "Invalid user ID or password.");
    EXPECT_EQ(refusal(site, QStringLiteral("NOBODY"), QStringLiteral("NOBODY")),
              "Invalid user ID or password.");
    // The disabled user's role may not log in: its right password gets that answer.
    EXPECT_EQ(refusal(site, QStringLiteral("TEMP"), QStringLiteral("TEMP")),
              "User TEMP has been disabled or is locked out.");
    Accpac::Admin::setUserFlags(site, QStringLiteral("TEMP"), false, false);
    EXPECT_EQ(refusal(site, QStringLiteral("TEMP"), QStringLiteral("temp")), "(signed on)");
    Accpac::Admin::setUserFlags(site, QStringLiteral("CLERK"), false, true);
    EXPECT_EQ(refusal(site, QStringLiteral("CLERK"), QStringLiteral("CLERK")),
              "User CLERK has been disabled or is locked out.");
    Accpac::Admin::setUserFlags(site, QStringLiteral("CLERK"), false, false);

    // A new password replaces the old one at the server.
    Accpac::Admin::setPassword(site, QStringLiteral("CLERK"), QStringLiteral("New Secret"));
    EXPECT_EQ(refusal(site, QStringLiteral("CLERK"), QStringLiteral("CLERK")),
              "Invalid user ID or password.");
    EXPECT_EQ(refusal(site, QStringLiteral("CLERK"), QStringLiteral("NEW SECRET")), "(signed on)");
    // A user without a role (a site set up before its users were roles) gets one with its
    // companies from a new password.
    asSuperuser(site, "DROP ROLE \"books.temp\"");
    EXPECT_EQ(refusal(site, QStringLiteral("TEMP"), QStringLiteral("TEMP")),
              "Invalid user ID or password.");
    Accpac::Admin::setPassword(site, QStringLiteral("TEMP"), QStringLiteral("again"));
    EXPECT_EQ(refusal(site, QStringLiteral("TEMP"), QStringLiteral("AGAIN")), "(signed on)");

    // After five failures a try waits, and waiting tries never reach the server: not even
    // the right password is tried there.
    auto now = std::chrono::steady_clock::now();
    Accpac::Testing::setSignonClock([&] { return now; });
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(refusal(site, QStringLiteral("SUPER"), QStringLiteral("guess")),
                  "Invalid user ID or password.");
    const int tries = Accpac::Testing::passwordVerifications();
    EXPECT_EQ(refusal(site, QStringLiteral("SUPER"), QStringLiteral("SUPER")),
              "Too many failed sign-ons for user SUPER. Please wait 5 seconds and try again.");
    EXPECT_EQ(Accpac::Testing::passwordVerifications(), tries);
    now += std::chrono::seconds(5);
    EXPECT_EQ(refusal(site, QStringLiteral("SUPER"), QStringLiteral("SUPER")), "(signed on)");
    EXPECT_EQ(Accpac::Testing::passwordVerifications(), tries + 1);

    // A server nobody listens on is named with its host and port.
    const QString nowhere = Accpac::conninfoWith(site, QStringLiteral("port"), QStringLiteral("1"));
    EXPECT_EQ(refusal(nowhere, QStringLiteral("CLERK"), QStringLiteral("CLERK")),
              "The database server 127.0.0.1 port 1 refused the connection: no server is "
              "listening there.");
    // Before anyone signs on, the company list is open to the connection string's login,
    // even one that is no user of the site; the rest of the site is not.
    server->createRole(QStringLiteral("outsider"), QStringLiteral("Out-Pass"));
    const QString outsider = Accpac::conninfoWith(
        Accpac::conninfoWith(site, QStringLiteral("user"), QStringLiteral("outsider")),
        QStringLiteral("password"), QStringLiteral("Out-Pass"));
    EXPECT_EQ(Accpac::Admin::companyIds(outsider), QStringList{Sample::CompanyId});
    PgDatabase db(outsider, QString::fromLatin1(Accpac::serverSiteSchema()));
    EXPECT_THROW(db.exec("SELECT * FROM USERS"), StorageError);
    EXPECT_THROW(db.exec("SELECT * FROM company_saminc.OEORDH"), StorageError);
}

TEST_F(ServerRoles, AClerkCannotChangeUsersRightsOrProfiles)
{
    const QString site = sampleSite(QStringLiteral("rights"));
    const QString counts = QStringLiteral(
        "SELECT (SELECT COUNT(*) FROM tallymerge_site.users WHERE disabled = 0), (SELECT "
        "COUNT(*) FROM tallymerge_site.auths), (SELECT COUNT(*) FROM tallymerge_site.profres)");
    const QString before = asSuperuser(site, counts);

    // Through a connection of the clerk's own role.
    EXPECT_EQ(clerkRefusal(site, "UPDATE USERS SET DISABLED = 1 WHERE USERID = 'SUPER'"),
              "Role \"rights.clerk\" has no right to change table USERS (UPDATE); ask the site's "
              "administrator to grant it");
    EXPECT_EQ(clerkRefusal(site, "INSERT INTO AUTHS (USERID, COMPANYID, PGMID, PROFILEID) VALUES "
                                 "('CLERK', 'SAMINC', 'OE', 'OESUPER')"),
              "Role \"rights.clerk\" has no right to add rows to table AUTHS (INSERT); ask the "
              "site's administrator to grant it");
    EXPECT_TRUE(clerkRefusal(site, "DELETE FROM PROFRES")
                    .startsWith(QLatin1String("Role \"rights.clerk\" has no right to remove rows "
                                              "from table PROFRES (DELETE)")));
    EXPECT_TRUE(
        clerkRefusal(site, "ALTER ROLE \"rights.super\" PASSWORD 'x'")
            .startsWith(QLatin1String("The database server refused role \"rights.clerk\"")));
    EXPECT_TRUE(
        clerkRefusal(site, "GRANT \"rights_site_admins\" TO \"rights.clerk\"")
            .startsWith(QLatin1String("The database server refused role \"rights.clerk\"")));
    EXPECT_TRUE(clerkRefusal(site, "DELETE FROM company_saminc.OEINVH")
                    .contains(QLatin1String("no right to remove rows from table OEINVH")));
    EXPECT_TRUE(clerkRefusal(site, "UPDATE company_saminc.CSCOM SET NAME = 'x'")
                    .contains(QLatin1String("no right to change table CSCOM")));

    // Through the program: the system views of the clerk's session, and the admin tool run
    // with the clerk's login.
    QString message;
    auto session = signOn(site, Sample::ClerkId, Sample::ClerkPassword, &message);
    ASSERT_TRUE(session) << message.toStdString();
    auto link = session->OpenDBLink(1, 0);
    auto users = link->OpenView(QStringLiteral("AS0003"));
    users->Field(QStringLiteral("USERID")).SetValue(QStringLiteral("SUPER"));
    ASSERT_TRUE(users->Read());
    users->Field(QStringLiteral("DISABLED")).SetValue(1);
    EXPECT_THROW(users->Update(), ComError);
    EXPECT_TRUE(takeErrors(*session).contains(
        QLatin1String("has no right to change table USERS (UPDATE)")));
    auto profiles = link->OpenView(QStringLiteral("AS0001"));
    profiles->Field(QStringLiteral("PGMID")).SetValue(QStringLiteral("OE"));
    profiles->Field(QStringLiteral("PROFILEID")).SetValue(QStringLiteral("OECLERK"));
    profiles->Field(QStringLiteral("RESOURCEID")).SetValue(QStringLiteral("OECREDIT"));
    EXPECT_THROW(profiles->Insert(), ComError);
    EXPECT_TRUE(takeErrors(*session).contains(QLatin1String("add rows to table PROFRES (INSERT)")));

    const QString asClerk = Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword);
    const QString granted = runAdmin({QStringLiteral("--site"), asClerk, QStringLiteral("grant"),
                                      QStringLiteral("CLERK"), Sample::CompanyId,
                                      QStringLiteral("OE"), QStringLiteral("OESUPER")});
    EXPECT_TRUE(granted.startsWith(QLatin1String("1 ")) &&
                granted.contains(QLatin1String("has no right to add rows to table AUTHS")))
        << granted.toStdString();
    EXPECT_FALSE(granted.contains(QLatin1String("permission denied"))) << granted.toStdString();
    const QString disabled = runAdmin(
        {QStringLiteral("--site"), asClerk, QStringLiteral("disable"), QStringLiteral("SUPER")});
    EXPECT_TRUE(disabled.startsWith(QLatin1String("1 "))) << disabled.toStdString();

    EXPECT_EQ(asSuperuser(site, counts), before);
    EXPECT_EQ(asSuperuser(site, "SELECT rolcanlogin FROM pg_roles WHERE rolname = "
                                "'rights.super'"),
              "t");
}

TEST_F(ServerRoles, AClerkInvoicesWithTheSupervisorsApprovalAndIsToldARightItLacks)
{
    const QString site = sampleSite(QStringLiteral("billing"));
    const QString store = Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId);
    QString message;
    auto session = signOn(site, Sample::ClerkId, Sample::ClerkPassword, &message);
    ASSERT_TRUE(session) << message.toStdString();
    auto link = session->OpenDBLink(1, 0);
    const QStringList shipments = openShipments(store, QStringLiteral("1310"));
    ASSERT_GE(shipments.size(), 2);

    // The supervisor's password is checked by the server; then the right.
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1310");
    request.approverId = QStringLiteral("super");
    request.approverPassword = QStringLiteral("WRONG");
    request.shipments = {shipments[0]};
    const QStringList invoicesBefore =
        Accpac::Testing::queryStore(store, QStringLiteral("SELECT COUNT(*) FROM OEINVH"));
    EXPECT_THROW(Sample::createInvoice(*link, request), ComError);
    EXPECT_TRUE(takeErrors(*session).contains(QLatin1String("the user or the password is wrong")));
    request.approverId = Sample::ClerkId; // a good password without the right
    request.approverPassword = Sample::ClerkPassword;
    EXPECT_THROW(Sample::createInvoice(*link, request), ComError);
    EXPECT_TRUE(takeErrors(*session).contains(
        QLatin1String("no right to approve credit in company SAMINC")));

    // A right taken from the clerks' role is named; the site's set-up gives it back.
    asSuperuser(site, "REVOKE INSERT ON company_saminc.oeinvh FROM billing_company_saminc");
    request.approverId.clear();
    request.approverPassword.clear();
    try {
        Sample::createInvoice(*link, request);
        ADD_FAILURE() << "an invoice was made without the right";
    } catch (const ComError& e) {
        EXPECT_TRUE(e.description().contains(
            QLatin1String("Role \"billing.clerk\" has no right to add rows to table OEINVH "
                          "(INSERT); ask the site's administrator to grant it")))
            << e.description().toStdString();
        EXPECT_FALSE(e.description().contains(QLatin1String("permission denied")));
    }
    takeErrors(*session);
    EXPECT_EQ(Accpac::Testing::queryStore(store, QStringLiteral("SELECT COUNT(*) FROM OEINVH")),
              invoicesBefore);
    const QString again = runAdmin({QStringLiteral("create-site"), site});
    EXPECT_TRUE(again.startsWith(QLatin1String("0 "))) << again.toStdString();

    request.approverId = QStringLiteral(" super");
    request.approverPassword = QStringLiteral("super");
    request.shipments = {shipments[0], shipments[1]};
    const QString invoice = Sample::createInvoice(*link, request).invoiceNumber;
    ASSERT_FALSE(invoice.isEmpty());
    EXPECT_EQ(Accpac::Testing::queryStore(store, "SELECT APPROVEBY FROM OEINVH WHERE INVNUMBER='" +
                                                     invoice + "'"),
              QStringList{QStringLiteral("SUPER")});

    // usrValidate asks the server too.
    Accpac::setSiteFolder(site);
    EXPECT_EQ(usrValidate(0, "SUPER", "super"), 0);
    EXPECT_EQ(usrValidate(0, "SUPER", "wrong"), 1);
    Accpac::setSiteFolder(Accpac::conninfoWith(site, QStringLiteral("port"), QStringLiteral("1")));
    EXPECT_EQ(usrValidate(0, "SUPER", "super"), 2);
    Accpac::setSiteFolder(Accpac::defaultSiteFolder());

    // The grid's data source reads the company through psqlODBC as the clerk's role, with
    // the password of the sign-on; the data source itself holds none.
    const auto login = Accpac::signedOnServerLogin();
    ASSERT_TRUE(login.has_value());
    OdbcDataSource::registerDataSource(QStringLiteral("Billing Books"),
                                       OdbcTestConfig::postgresDriver(),
                                       Accpac::serverOdbcAttributes(store));
    Connection connection;
    connection.Open(QStringLiteral("DSN=Billing Books;") +
                    OdbcConnectionString::attribute(QStringLiteral("UID"), login->role) + u';' +
                    OdbcConnectionString::attribute(QStringLiteral("PWD"), login->password));
    Recordset orders;
    orders.Open(QStringLiteral("SELECT COUNT(*) FROM OEINVH WHERE INVNUMBER = '%1'").arg(invoice),
                connection);
    EXPECT_EQ(orders.Fields(0).Value.toInt(), 1);
    orders.Close();
    connection.Close();

    session->Close();
    QTemporaryDir hive;
    EXPECT_EQ(auditBooks(store, hive.path()), QStringList());
}

} // namespace
