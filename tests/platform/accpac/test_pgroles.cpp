// A site on a private PostgreSQL server whose users are the server's login roles: the
// server checks the passwords, a clerk's role does billing and nothing more, and the
// sign-on, the credit approval and the grid's ODBC connection log in as the user's role.
#include "conninfo.h"
#include "site.h"
#include "siteroles.h"
#include "store.h"

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
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

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
        const auto clerk =
            Accpac::StoreLocation(Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword))
                .openWithin(QString::fromLatin1(Accpac::serverSiteSchema()));
        try {
            clerk->exec(sql);
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::Refused) << e.message().toStdString();
            return e.message();
        }
        return QStringLiteral("(done)");
    }

    static QString runAdmin(const QStringList& args, const QByteArray& input = {})
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TALLYMERGE_ADMIN), args);
        process.write(input);
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
              "books_company_saminc:false,books_site_admins:false,books_site_signon:false,"
              "books_site_users:false");

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
    // The site's administrator is never disabled, nor its role's login taken away.
    EXPECT_EQ(runAdmin({QStringLiteral("--site"), site, QStringLiteral("disable"),
                        QStringLiteral("admin")}),
              "1 User ADMIN cannot be disabled: the site needs its administrator.");
    EXPECT_EQ(asSuperuser(site, "SELECT rolcanlogin::text || (SELECT disabled FROM "
                                "tallymerge_site.users WHERE userid = 'ADMIN') FROM pg_roles "
                                "WHERE rolname = 'books.admin'"),
              "true0");

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
}

// A login of the server as the site string names it.
QString loginOf(const QString& site, const QString& login, const QString& password)
{
    return Accpac::conninfoWith(Accpac::conninfoWith(site, QStringLiteral("user"), login),
                                QStringLiteral("password"), password);
}

TEST_F(ServerRoles, TheSignOnLoginListsTheCompaniesAndOtherLoginsCannotConnect)
{
    const QString site = sampleSite(QStringLiteral("signon"));
    server->createRole(QStringLiteral("lister"), QStringLiteral("List-Pass"));
    server->createRole(QStringLiteral("outsider"), QStringLiteral("Out-Pass"));
    const QString lister = loginOf(site, QStringLiteral("lister"), QStringLiteral("List-Pass"));
    const QString outsider = loginOf(site, QStringLiteral("outsider"), QStringLiteral("Out-Pass"));

    // A login that is neither a user of the site nor its sign-on may not connect at all, nor
    // make temporary tables.
    EXPECT_THROW(Accpac::Admin::companyIds(outsider), ComError);
    EXPECT_THROW(Accpac::Admin::companyIds(lister), ComError);
    EXPECT_EQ(asSuperuser(site, "SELECT has_database_privilege('outsider', 'signon', 'CONNECT'), "
                                "has_database_privilege('outsider', 'signon', 'TEMP'), "
                                "has_database_privilege('signon.clerk', 'signon', 'TEMP')"),
              "f|f|f");

    // The workstations' string may not name a login that does more than list companies.
    const QString superuser = asSuperuser(site, "SELECT current_user");
    const struct
    {
        QString login;
        const char* why;
    } refused[] = {
        {server->user(), "which may create roles, owns the database signon; every workstation"},
        {superuser, "which is a superuser of the server"},
        {QStringLiteral("signon.clerk"), "which is a member of signon_company_saminc, "},
        {QStringLiteral("nobody_here"), "which the database server does not have"},
    };
    for (const auto& r : refused) {
        const QString answer = runAdmin(
            {QStringLiteral("create-site"), site, loginOf(site, r.login, QStringLiteral("x"))});
        EXPECT_TRUE(answer.startsWith(QLatin1String("1 The workstations' connection string")) &&
                    answer.contains(QLatin1String(r.why)))
            << answer.toStdString();
        EXPECT_FALSE(answer.contains(QLatin1String("password="))) << answer.toStdString();
    }
    // A login without CREATE on the database is told so, not which schema it lacks.
    server->execute(QStringLiteral("CREATE DATABASE notmine TEMPLATE template0"),
                    QStringLiteral("postgres"));
    const QString notMine =
        runAdmin({QStringLiteral("create-site"),
                  Accpac::conninfoWith(site, QStringLiteral("dbname"), QStringLiteral("notmine"))});
    EXPECT_TRUE(notMine.startsWith(QLatin1String("1 ")) &&
                notMine.contains(QLatin1String("has no right to create schema TALLYMERGE_SITE "
                                               "(CREATE on the database)")))
        << notMine.toStdString();
    const QString made = runAdmin({QStringLiteral("create-site"), site, lister});
    EXPECT_TRUE(made.startsWith(QLatin1String("0 ")) &&
                made.contains(QLatin1String("Workstations name the site as ")) &&
                made.contains(QLatin1String("user=lister")) &&
                !made.contains(QLatin1String("List-Pass")))
        << made.toStdString();

    // A workstation whose site names any login but the sign-on login is refused at its start.
    EXPECT_EQ(Accpac::workstationSiteProblem(lister).toStdString(), "");
    const QString asOwner = Accpac::workstationSiteProblem(site);
    EXPECT_TRUE(asOwner.startsWith(QLatin1String("The site of this workstation's settings, ")) &&
                asOwner.contains(QLatin1String("owns the database signon; every workstation")) &&
                !asOwner.contains(QLatin1String("password=")))
        << asOwner.toStdString();
    EXPECT_TRUE(
        Accpac::workstationSiteProblem(Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword))
            .contains(QLatin1String("which is a member of signon_company_saminc")));
    EXPECT_EQ(Accpac::workstationSiteProblem(QStringLiteral("/var/lib/tallymerge/site")), "");

    // The sign-on login lists the companies, and a clerk signs on and works through it.
    EXPECT_EQ(Accpac::Admin::companyIds(lister), QStringList{Sample::CompanyId});
    QString message;
    auto session = signOn(lister, Sample::ClerkId, Sample::ClerkPassword, &message);
    ASSERT_TRUE(session) << message.toStdString();
    auto orders = session->OpenDBLink(1, 0)->OpenView(QStringLiteral("OE0520"));
    orders->Browse(QString(), true);
    EXPECT_TRUE(orders->Fetch());
    session->Close();
    // The sign-on login reads nothing else: not the companies' schemas, not the users.
    const auto asLister =
        Accpac::StoreLocation(lister).openWithin(QString::fromLatin1(Accpac::serverSiteSchema()));
    for (const char* sql : {"SELECT FILE FROM COMPANIES", "SELECT * FROM USERS",
                            "SELECT * FROM AUTHS", "SELECT * FROM company_saminc.OEORDH"}) {
        try {
            asLister->exec(sql);
            ADD_FAILURE() << sql << " was read";
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::Refused) << sql;
        }
    }

    // The company's lock: a user of the site granted no company can neither take it nor, by
    // an advisory lock of the company's name, stop anyone's invoicing.
    Accpac::Admin::addUser(site, QStringLiteral("OTHER"), QStringLiteral("Other"),
                           QStringLiteral("OTHER"));
    const auto other = Accpac::StoreLocation(
                           Roles::loginAs(site, QStringLiteral("OTHER"), QStringLiteral("OTHER")))
                           .openWithin(QStringLiteral("company_saminc"));
    EXPECT_THROW(other->exec("SELECT 1 FROM writelock FOR UPDATE"), StorageError);
    other->exec("SELECT pg_advisory_lock(hashtext('company_saminc'))");
    const auto clerk =
        Accpac::StoreLocation(Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword))
            .openWithin(QStringLiteral("company_saminc"));
    {
        Accpac::Transaction tx(*clerk);
        clerk->exec("UPDATE OEORDH SET LASTINVNUM = LASTINVNUM WHERE 1 = 0");
        tx.commit();
    }
    // A billing clerk's write holds the lock; the administrator's waits for it.
    Accpac::Transaction tx(*clerk);
    const auto owner = Accpac::StoreLocation(site).openWithin(QStringLiteral("company_saminc"));
    owner->exec("SET lock_timeout = '200ms'");
    try {
        Accpac::Transaction waits(*owner);
        ADD_FAILURE() << "two writers held the company's lock";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::Busy);
        EXPECT_TRUE(e.message().startsWith(
            QLatin1String("The books of company_saminc are being written by another session")))
            << e.message().toStdString();
    }
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
    // with the clerk's login. Their writes are refused at the first step, the lock of the
    // site's schema, which only its administrators may take.
    QString message;
    auto session = signOn(site, Sample::ClerkId, Sample::ClerkPassword, &message);
    ASSERT_TRUE(session) << message.toStdString();
    auto link = session->OpenDBLink(1, 0);
    auto users = link->OpenView(QStringLiteral("AS0003"));
    users->Field(QStringLiteral("USERID")).SetValue(QStringLiteral("SUPER"));
    ASSERT_TRUE(users->Read());
    users->Field(QStringLiteral("DISABLED")).SetValue(1);
    EXPECT_THROW(users->Update(), ComError);
    const QString noLock = QStringLiteral("Role \"rights.clerk\" has no right to write in schema "
                                          "tallymerge_site (UPDATE of its write lock)");
    EXPECT_TRUE(takeErrors(*session).contains(noLock));
    auto profiles = link->OpenView(QStringLiteral("AS0001"));
    profiles->Field(QStringLiteral("PGMID")).SetValue(QStringLiteral("OE"));
    profiles->Field(QStringLiteral("PROFILEID")).SetValue(QStringLiteral("OECLERK"));
    profiles->Field(QStringLiteral("RESOURCEID")).SetValue(QStringLiteral("OECREDIT"));
    EXPECT_THROW(profiles->Insert(), ComError);
    EXPECT_TRUE(takeErrors(*session).contains(noLock));

    const QString asClerk = Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword);
    const QString granted = runAdmin({QStringLiteral("--site"), asClerk, QStringLiteral("grant"),
                                      QStringLiteral("CLERK"), Sample::CompanyId,
                                      QStringLiteral("OE"), QStringLiteral("OESUPER")});
    EXPECT_TRUE(granted.startsWith(QLatin1String("1 ")) && granted.contains(noLock))
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

// The set-up the administrator's guide gives, command by command, from an empty server to a
// billing clerk, and a grant taken back that stays taken back.
TEST_F(ServerRoles, TheDocumentedSetUpTakesAnEmptyServerToABillingClerk)
{
    // createuser --createrole --pwprompt walker; createdb -O walker -T template0 --locale=C
    // walk; createuser --pwprompt walk_signon
    server->execute(QStringLiteral("CREATE ROLE walker LOGIN CREATEROLE PASSWORD 'Walk-Pass'"));
    server->execute(QStringLiteral("CREATE DATABASE walk OWNER walker TEMPLATE template0 LOCALE "
                                   "'C'"),
                    QStringLiteral("postgres"));
    server->createRole(QStringLiteral("walk_signon"), QStringLiteral("Sign-Pass"));
    const QString admin = loginOf(server->conninfo(QStringLiteral("walk")),
                                  QStringLiteral("walker"), QStringLiteral("Walk-Pass"));
    const QString workstation =
        loginOf(admin, QStringLiteral("walk_signon"), QStringLiteral("Sign-Pass"));
    // The company comes from a site of SQLite files.
    QTemporaryDir folder;
    Sample::Options options;
    options.folder = folder.filePath(QStringLiteral("site"));
    options.orders = 40;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);

    const auto expectDone = [](const QString& answer, const char* says) {
        EXPECT_TRUE(answer.startsWith(QLatin1String("0 ")) && answer.contains(QLatin1String(says)))
            << answer.toStdString();
    };
    const QString site = QStringLiteral("--site");
    expectDone(runAdmin({QStringLiteral("create-site"), admin, workstation}),
               "Workstations name the site as");
    expectDone(runAdmin({QStringLiteral("copy-company"), options.folder, Sample::CompanyId, admin}),
               "pass the auditor's checks");
    expectDone(runAdmin({site, admin, QStringLiteral("add-user"), QStringLiteral("CLERK"),
                         QStringLiteral("Carla Clerk")},
                        "Carla-Pass\n"),
               "User CLERK added.");
    const QStringList grant = {site,
                               admin,
                               QStringLiteral("grant"),
                               QStringLiteral("CLERK"),
                               Sample::CompanyId,
                               QStringLiteral("OE"),
                               QStringLiteral("OECLERK")};
    expectDone(runAdmin(grant), "User CLERK has the profile OECLERK of OE in company SAMINC.");

    // The clerk signs on through the workstations' login and invoices.
    const QString store = Accpac::Admin::companyDatabaseFile(admin, Sample::CompanyId);
    QString message;
    auto session =
        signOn(workstation, QStringLiteral("CLERK"), QStringLiteral("carla-pass"), &message);
    ASSERT_TRUE(session) << message.toStdString();
    const QStringList shipments = openShipments(store, QStringLiteral("1310"));
    ASSERT_FALSE(shipments.isEmpty());
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1310");
    request.shipments = {shipments.first()};
    auto link = session->OpenDBLink(1, 0);
    EXPECT_FALSE(Sample::createInvoice(*link, request).invoiceNumber.isEmpty());
    session->Close();

    // revoke takes the company away, and create-site run again does not give it back.
    QStringList revoke = grant;
    revoke[2] = QStringLiteral("revoke");
    expectDone(runAdmin(revoke), "User CLERK no longer has the profile OECLERK of OE in company "
                                 "SAMINC.");
    expectDone(runAdmin(revoke),
               "did not have the profile OECLERK of OE in company SAMINC; nothing changed.");
    const QString member = QStringLiteral("SELECT pg_has_role('walk.clerk', "
                                          "'walk_company_saminc', 'MEMBER')");
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(refusal(workstation, QStringLiteral("CLERK"), QStringLiteral("Carla-Pass")),
                  "User CLERK has no access to company SAMINC.");
        EXPECT_EQ(server->execute(member, QStringLiteral("walk")).trimmed(), "f");
        expectDone(runAdmin({QStringLiteral("create-site"), admin}), "The site is set up");
    }
    // Nor a membership an administrator took away by hand.
    expectDone(runAdmin(grant), "User CLERK has the profile OECLERK");
    EXPECT_EQ(server->execute(member, QStringLiteral("walk")).trimmed(), "t");
    server->execute(QStringLiteral("REVOKE walk_company_saminc FROM \"walk.clerk\""),
                    QStringLiteral("walk"));
    expectDone(runAdmin({QStringLiteral("create-site"), admin}), "The site is set up");
    EXPECT_EQ(server->execute(member, QStringLiteral("walk")).trimmed(), "f");
    expectDone(runAdmin({site, admin, QStringLiteral("delete-user"), QStringLiteral("clerk")}),
               "User CLERK was deleted.");
    EXPECT_EQ(server
                  ->execute(QStringLiteral("SELECT COUNT(*) FROM pg_roles WHERE rolname = "
                                           "'walk.clerk'"))
                  .trimmed(),
              "0");
    EXPECT_EQ(refusal(workstation, QStringLiteral("CLERK"), QStringLiteral("Carla-Pass")),
              "Invalid user ID or password.");
    QTemporaryDir hive;
    EXPECT_EQ(auditBooks(store, hive.path()).join(u'\n').toStdString(), "");
}

// A server that speaks German: the sign-on tells each problem in the program's words, and a
// wrong password counts towards the throttle.
TEST_F(ServerRoles, SignOnProblemsAreToldInTheProgramsWordsWhateverTheServersLanguage)
{
    const QString site = sampleSite(QStringLiteral("sprache"));
    server->execute(QStringLiteral("ALTER SYSTEM SET lc_messages = 'de_DE.UTF-8'"));
    server->execute(QStringLiteral("SELECT pg_reload_conf()"));
    const auto english = qScopeGuard([] {
        server->execute(QStringLiteral("ALTER SYSTEM RESET lc_messages"));
        server->execute(QStringLiteral("SELECT pg_reload_conf()"));
    });
    // The server's own words are German now.
    try {
        server->execute(QStringLiteral("SELECT 1 / 0"));
        ADD_FAILURE() << "a division by zero was made";
    } catch (const PostgresServer::Failure& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("Division durch Null")))
            << e.what();
    }

    auto now = std::chrono::steady_clock::now();
    Accpac::Testing::setSignonClock([&] { return now; });
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(refusal(site, Sample::ClerkId, QStringLiteral("wrong")),
                  "Invalid user ID or password.");
    EXPECT_EQ(refusal(site, Sample::ClerkId, Sample::ClerkPassword),
              "Too many failed sign-ons for user CLERK. Please wait 5 seconds and try again.");
    now += std::chrono::seconds(5);
    EXPECT_EQ(refusal(site, Sample::ClerkId, Sample::ClerkPassword), "(signed on)");
    EXPECT_EQ(refusal(site, QStringLiteral("TEMP"), QStringLiteral("TEMP")),
              "User TEMP has been disabled or is locked out.");

    const auto connectRefusal = [](const QString& conninfo) {
        try {
            Accpac::StoreLocation(conninfo).open();
        } catch (const StorageError& e) {
            return e.message();
        }
        return QStringLiteral("(connected)");
    };
    const QString named =
        QStringLiteral("The database server 127.0.0.1 port %1").arg(server->port());
    EXPECT_EQ(connectRefusal(
                  Accpac::conninfoWith(site, QStringLiteral("dbname"), QStringLiteral("keine"))),
              named + " has no database \"keine\".");
    EXPECT_EQ(connectRefusal(
                  Accpac::conninfoWith(site, QStringLiteral("password"), QStringLiteral("falsch"))),
              named + " refused user " + server->user() +
                  ": the user name or the password is wrong.");
    EXPECT_EQ(connectRefusal(loginOf(site, QStringLiteral("sprache.temp"), QStringLiteral("TEMP"))),
              named + " does not let user sprache.temp log in to the database \"sprache\" from "
                      "here.");
    EXPECT_EQ(
        connectRefusal(Accpac::conninfoWith(site, QStringLiteral("port"), QStringLiteral("1"))),
        "The database server 127.0.0.1 port 1 refused the connection: no server is "
        "listening there.");
    EXPECT_EQ(connectRefusal(Accpac::conninfoWith(site, QStringLiteral("host"),
                                                  QStringLiteral("no-such-host.invalid"))),
              "The database server no-such-host.invalid port " + QString::number(server->port()) +
                  " cannot be reached: its host name is unknown.");
    // A right the role lacks is named from the program's statement.
    EXPECT_EQ(clerkRefusal(site, "UPDATE USERS SET DISABLED = 1 WHERE USERID = 'SUPER'"),
              "Role \"sprache.clerk\" has no right to change table USERS (UPDATE); ask the "
              "site's administrator to grant it");
}

} // namespace

// A company schema of the version before the journal: the sign-on refuses it and names the
// command; the administrator's upgrade brings it up to date on the server, gives the clerks'
// role its rights on the new table, and the clerk then invoices with a journal entry.
TEST_F(ServerRoles, AnOlderCompanySchemaIsBroughtUpToDateByTheAdministrator)
{
    const QString site = sampleSite(QStringLiteral("older"));
    const QString store = Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId);
    asSuperuser(site, "DROP TABLE company_saminc.tmjournal, company_saminc.oecrdd, "
                      "company_saminc.oecrdh, company_saminc.tmrestore");
    asSuperuser(site, "ALTER TABLE company_saminc.oeinvs DROP COLUMN released CASCADE");
    asSuperuser(site, "UPDATE company_saminc.schemaversion SET version = 3");
    QString message;
    EXPECT_FALSE(signOn(site, Sample::ClerkId, Sample::ClerkPassword, &message));
    EXPECT_TRUE(message.contains(QLatin1String("schema version 3, this program works with "
                                               "version 6")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QLatin1String("tallymerge-admin upgrade")))
        << message.toStdString();

    const QString upgraded = runAdmin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_TRUE(upgraded.startsWith(QLatin1String("0 "))) << upgraded.toStdString();
    EXPECT_TRUE(upgraded.contains(QLatin1String(
        "company SAMINC (schema company_saminc): schema version 3 brought to 6: the program "
        "keeps a journal of its decisions (TMJOURNAL); the invoices made before have no entries; "
        "an invoice can be reversed by one credit note (OECRDH, OECRDD); a reversal can release "
        "an invoice's shipments to be invoiced again (OEINVS.RELEASED, TMRESTORE)")))
        << upgraded.toStdString();
    const QString again = runAdmin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_TRUE(again.contains(QLatin1String("(schema company_saminc): schema version 6, up to "
                                             "date.")))
        << again.toStdString();

    auto session = signOn(site, Sample::ClerkId, Sample::ClerkPassword, &message);
    ASSERT_TRUE(session) << message.toStdString();
    auto link = session->OpenDBLink(1, 0);
    const QStringList shipments = openShipments(store, QStringLiteral("1310"));
    ASSERT_FALSE(shipments.isEmpty());
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1310");
    request.shipments = {shipments[0]};
    const QString invoice = Sample::createInvoice(*link, request).invoiceNumber;
    EXPECT_FALSE(invoice.isEmpty()) << takeErrors(*session).toStdString();
    EXPECT_EQ(Accpac::Testing::queryStore(
                  store, QStringLiteral("SELECT COUNT(*) FROM TMJOURNAL WHERE KIND = 'invoice'")),
              QStringList{QStringLiteral("1")});
    // The clerk adds entries and never changes them.
    EXPECT_NE(clerkRefusal(site, "UPDATE company_saminc.tmjournal SET body = '{}'"),
              QStringLiteral("(done)"));
    session->Close();
    // The supervisor reverses it: the credit notes' tables, rights and guards came with the
    // upgrade.
    auto supervisor = signOn(site, Sample::SupervisorId, Sample::SupervisorPassword, &message);
    ASSERT_TRUE(supervisor) << message.toStdString();
    auto creditNote = supervisor->OpenDBLink(1, 0)->OpenView(QStringLiteral("OE0240"));
    creditNote->ClearRecord();
    creditNote->InitRecord(0);
    creditNote->Field(QStringLiteral("INVNUMBER")).SetValue(invoice);
    EXPECT_NO_THROW(creditNote->Insert()) << takeErrors(*supervisor).toStdString();
    supervisor->Close();
    // The sample's earlier invoices are told once, as made before the journal was kept.
    QTemporaryDir hive;
    QStringList findings = auditBooks(store, hive.path());
    EXPECT_EQ(findings.removeIf([](const QString& line) {
        return line.endsWith(QLatin1String("invoice(s) were made before the journal was kept: "
                                           "they are judged by today's settings."));
    }),
              1);
    EXPECT_EQ(findings, QStringList());
}

// The statements that set up a company's rights are writes of the engine like every other: a
// failure at any one of them (injected here) fails the set-up, and the server undoes all of it
// with the caller's transaction, so the rights stay as they were; run whole, it succeeds.
TEST_F(ServerRoles, ARightsSetUpThatFailsAtAnyStatementLeavesTheRightsAsTheyWere)
{
    server->execute(
        QStringLiteral("CREATE DATABASE faults OWNER %1 TEMPLATE template0").arg(server->user()),
        QStringLiteral("postgres"));
    const QString site = server->conninfo(QStringLiteral("faults"));
    Accpac::Admin::createSite(site);
    Accpac::Admin::createCompany(
        site, {QStringLiteral("TEST"), QStringLiteral("Test"), QStringLiteral("USD"), {}});
    const QString rights = QStringLiteral(
        "SELECT string_agg(acl, ' ' ORDER BY acl) FROM (SELECT c.relname || COALESCE('.' || "
        "a.attname, '') || '=' || COALESCE(a.attacl, c.relacl)::text AS acl FROM pg_class c LEFT "
        "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attacl IS NOT NULL WHERE c.relnamespace = "
        "'company_test'::regnamespace) rights");
    const auto system =
        Accpac::StoreLocation(site).openWithin(QString::fromLatin1(Accpac::serverSiteSchema()));
    const auto setUp = [&] {
        Accpac::Transaction tx(*system);
        Roles::setUpCompany(*system, site, QStringLiteral("TEST"), QStringLiteral("company_test"));
        tx.commit();
    };
    const int start = system->writesCounted();
    setUp();
    const int writes = system->writesCounted() - start;
    // BEGIN and COMMIT, and the set-up's own statements between them.
    ASSERT_GT(writes, 2);
    const std::string before = asSuperuser(site, rights).toStdString();
    ASSERT_NE(before.find("faults_company_test"), std::string::npos) << before;
    for (int fault = 0; fault < writes; ++fault) {
        system->failWriteAfter(fault);
        try {
            setUp();
            ADD_FAILURE() << "the set-up went through a fault at write " << fault;
        } catch (const StorageError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("disk I/O error (injected)")) << fault;
        }
        system->failWriteAfter(-1);
        EXPECT_FALSE(system->inTransaction()) << fault;
        EXPECT_EQ(asSuperuser(site, rights).toStdString(), before) << fault;
    }
    setUp();
    EXPECT_EQ(asSuperuser(site, rights).toStdString(), before);
}
