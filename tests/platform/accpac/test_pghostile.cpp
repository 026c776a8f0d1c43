// A hostile clerk with psql: signed on to a sample site's server as a billing clerk's role, a
// supervisor's and the workstations' sign-on login, it tries what none of them may do, and
// the server refuses every attempt. The list of attempts and the server's answers is printed.
#include "conninfo.h"
#include "siteroles.h"
#include "store.h"

#include <auditbooks.h>
#include <pgserver.h>
#include <sample.h>

#include <accpac/standin.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

namespace Roles = Accpac::SiteRoles;

// What psql said to one statement: whether it was done, and its first line otherwise.
struct Answer
{
    bool done = false;
    QString said;
};

Answer psql(const QString& conninfo, const QString& sql)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
    process.setProcessEnvironment(environment);
    process.start(QDir(PostgresServer::binDir()).filePath(QStringLiteral("psql")),
                  {QStringLiteral("--no-psqlrc"), QStringLiteral("--set=ON_ERROR_STOP=1"),
                   QStringLiteral("--set=VERBOSITY=sqlstate"), QStringLiteral("--quiet"),
                   QStringLiteral("--dbname=") + conninfo, QStringLiteral("--command=") + sql});
    process.waitForFinished(60000);
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            output.section(u'\n', 0, 0)};
}

QString loginOf(const QString& site, const QString& login, const QString& password)
{
    return Accpac::conninfoWith(Accpac::conninfoWith(site, QStringLiteral("user"), login),
                                QStringLiteral("password"), password);
}

TEST(HostileClerk, EveryChangeAClerkASupervisorOrTheSignOnLoginTriesIsRefused)
{
    if (!PostgresServer::available())
        GTEST_SKIP() << "no PostgreSQL server programs";
    PostgresServer server;
    server.execute(
        QStringLiteral("CREATE DATABASE hostile OWNER %1 TEMPLATE template0").arg(server.user()),
        QStringLiteral("postgres"));
    server.execute(
        QStringLiteral("CREATE DATABASE neighbour OWNER %1 TEMPLATE template0").arg(server.user()),
        QStringLiteral("postgres"));
    const QString site = server.conninfo(QStringLiteral("hostile"));
    Sample::Options options;
    options.folder = site;
    options.orders = 20;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);
    Accpac::Admin::createCompany(site, {QStringLiteral("OTHER"),
                                        QStringLiteral("Another company"),
                                        QStringLiteral("USD"),
                                        {{QStringLiteral("OE"), QStringLiteral("56A")}}});
    server.createRole(QStringLiteral("hostile_signon"), QStringLiteral("Sign-Pass"));
    const QString signOn =
        loginOf(site, QStringLiteral("hostile_signon"), QStringLiteral("Sign-Pass"));
    Accpac::Admin::createSite(site, signOn);
    Accpac::Admin::createSite(server.conninfo(QStringLiteral("neighbour")));

    // A posted receipt batch and an open one.
    server.execute(QStringLiteral("INSERT INTO company_saminc.arbta (codepymtyp, cntbtch, "
                                  "batchstat) VALUES ('CA', 9999, 3), ('CA', 9998, 1)"),
                   QStringLiteral("hostile"));
    const QString books = QStringLiteral(
        "SELECT (SELECT SUM(invnetwtx) || '/' || COUNT(*) FROM company_saminc.oeinvh), (SELECT "
        "COUNT(*) FROM company_saminc.oecrdh), (SELECT "
        "SUM(amtenter) FROM company_saminc.arbta), (SELECT COUNT(*) FROM "
        "company_saminc.oeinvs), (SELECT SUM(amtbalduet) || '/' || SUM(amtcrlimt) FROM "
        "company_saminc.arcus), (SELECT name FROM company_saminc.cscom), (SELECT COUNT(*) FROM "
        "tallymerge_site.users), (SELECT COUNT(*) FROM tallymerge_site.auths), (SELECT "
        "COUNT(*) FROM tallymerge_site.profres), (SELECT string_agg(rolname || ':' || "
        "rolpassword, ',' ORDER BY rolname) FROM pg_authid WHERE rolname LIKE 'hostile%'), "
        "(SELECT COUNT(*) FROM pg_auth_members), (SELECT COUNT(*) FROM pg_class WHERE relnamespace "
        "IN (SELECT oid FROM pg_namespace WHERE nspname NOT LIKE 'pg_%')), (SELECT "
        "string_agg(ordnumber || customer || ordtotal, ',' ORDER BY orduniq) FROM "
        "company_saminc.oeordh), (SELECT SUM(unitprice) FROM company_saminc.oeordd), (SELECT "
        "string_agg(shinumber || ':' || invuniq || shinetwtx, ',' ORDER BY shiuniq) FROM "
        "company_saminc.oeshih), (SELECT SUM(unitprice) FROM company_saminc.oeshid), (SELECT "
        "string_agg(cntbtch || ':' || batchstat || cntenter, ',' ORDER BY cntbtch) FROM "
        "company_saminc.arbta)");
    const QString before = server.execute(books, QStringLiteral("hostile"));

    const QString clerk = Roles::loginAs(site, Sample::ClerkId, Sample::ClerkPassword);
    const QString supervisor =
        Roles::loginAs(site, Sample::SupervisorId, Sample::SupervisorPassword);
    const struct
    {
        const char* who;
        QString login;
    } logins[] = {{"clerk", clerk}, {"supervisor", supervisor}, {"sign-on", signOn}};
    // Each login tries each of these.
    const char* everyone[] = {
        // the books: removed, emptied, dropped, their keeper's triggers switched off
        "DELETE FROM company_saminc.oeinvs",
        "TRUNCATE company_saminc.oeinvh",
        "DROP TABLE company_saminc.oeinvh",
        "ALTER TABLE company_saminc.arcus DISABLE TRIGGER ALL",
        "DELETE FROM company_saminc.writelock",
        // an invoice once made, its lines, shipments and prepayments, a receipt, a posted batch
        "UPDATE company_saminc.oeinvh SET invnetwtx = 0",
        "UPDATE company_saminc.oeinvd SET unitprice = 0",
        "UPDATE company_saminc.oeinvs SET shiuniq = 0",
        "DELETE FROM company_saminc.oeppay",
        "UPDATE company_saminc.artcr SET amtrmit = 0",
        "BEGIN; LOCK TABLE company_saminc.oeinvh IN ACCESS EXCLUSIVE MODE; COMMIT",
        "UPDATE company_saminc.arbta SET amtenter = 1 WHERE cntbtch = 9999",
        // a credit note that does not reverse its invoice whole, a line of none
        "INSERT INTO company_saminc.oecrdh (crduniq, crdnumber, invuniq, invnumber, customer, "
        "crdnetwtx) VALUES (900, 'CN0000900', 1, 'IN0000001', '1100', 0)",
        "INSERT INTO company_saminc.oecrdd (crduniq, linenum, extcrdmisc) VALUES (900, 1, 5)",
        // shipments released from an invoice no credit note reverses, or their marks cleared
        // with the release; what completion changed, as kept for a release
        "UPDATE company_saminc.oeinvs SET released = 1",
        "BEGIN; UPDATE company_saminc.oeinvs SET released = 1; UPDATE company_saminc.oeshih SET "
        "invuniq = 0, invnumber = '' WHERE invuniq <> 0; COMMIT",
        "UPDATE company_saminc.tmrestore SET body = '{}'",
        "DELETE FROM company_saminc.tmrestore",
        // what billing may not change of orders, shipments and batches: prices, totals,
        // customers, a shipment's invoice once set, a batch's totals and status
        "UPDATE company_saminc.oeordd SET unitprice = 0",
        "UPDATE company_saminc.oeordh SET ordtotal = 0",
        "UPDATE company_saminc.oeordh SET customer = '1310'",
        "UPDATE company_saminc.oeshih SET shinetwtx = 0",
        "UPDATE company_saminc.oeshid SET unitprice = 0, extshimisc = 0",
        "UPDATE company_saminc.oeshih SET invuniq = 0, invnumber = '' WHERE invuniq <> 0",
        "UPDATE company_saminc.arbta SET amtenter = 1 WHERE cntbtch = 9998",
        "UPDATE company_saminc.arbta SET cntenter = 5 WHERE cntbtch = 9998",
        "UPDATE company_saminc.arbta SET batchstat = 3 WHERE cntbtch = 9998",
        // a customer's credit and the company itself
        "UPDATE company_saminc.arcus SET amtcrlimt = 999999",
        "UPDATE company_saminc.arcus SET amtbalduet = 0",
        "UPDATE company_saminc.arcus SET amtbalduet = amtbalduet - 100 WHERE idcust = '1310'",
        "UPDATE company_saminc.cscom SET name = 'taken'",
        "BEGIN; LOCK TABLE company_saminc.arcus IN ACCESS EXCLUSIVE MODE; COMMIT",
        // another company of the site, granted to nobody here
        "SELECT COUNT(*) FROM company_other.oeordh",
        "UPDATE company_other.writelock SET held = TRUE",
        // users, rights and profiles; the roles' password verifiers
        "UPDATE tallymerge_site.auths SET profileid = 'OESUPER'",
        "INSERT INTO tallymerge_site.auths (userid, companyid, pgmid, profileid) VALUES "
        "('CLERK', 'SAMINC', 'OE', 'OESUPER')",
        "DELETE FROM tallymerge_site.profres",
        "UPDATE tallymerge_site.users SET disabled = 1",
        "UPDATE tallymerge_site.companies SET file = 'company_other'",
        "SELECT rolpassword FROM pg_authid",
        "ALTER ROLE \"hostile.admin\" PASSWORD 'mine'",
        "ALTER ROLE \"hostile.clerk\" CREATEROLE",
        "GRANT hostile_site_admins TO \"hostile.clerk\"",
        "GRANT pg_execute_server_program TO \"hostile.clerk\"",
        "SET ROLE hostile_site_admins",
        "CREATE ROLE intruder LOGIN PASSWORD 'x'",
        // the server's account and files
        "COPY (SELECT 1) TO PROGRAM 'id'",
        "COPY company_saminc.cscom FROM '/etc/passwd'",
        "SELECT pg_read_file('postgresql.conf')",
        // DDL and temporary tables anywhere
        "CREATE TABLE company_saminc.planted (a int)",
        "CREATE TABLE public.planted (a int)",
        "CREATE TEMP TABLE planted (a int)",
        "CREATE FUNCTION public.planted() RETURNS int LANGUAGE sql AS 'SELECT 1'",
        "ALTER DATABASE hostile CONNECTION LIMIT 0",
    };
    // Only a user who may approve credit reverses an invoice, even whole.
    const QString wholeReversal = QStringLiteral(
        "INSERT INTO company_saminc.oecrdh (crduniq, crdnumber, invuniq, invnumber, customer, "
        "crdnetwtx) SELECT 901, 'CN0000901', invuniq, invnumber, customer, invnetwtx FROM "
        "company_saminc.oeinvh ORDER BY invuniq LIMIT 1");
    // Only the sign-on login tries these: what the clerks may read and write.
    const char* signOnOnly[] = {
        "SELECT file FROM tallymerge_site.companies",
        "SELECT * FROM tallymerge_site.users",
        "SELECT * FROM tallymerge_site.auths",
        "SELECT COUNT(*) FROM company_saminc.oeordh",
        "UPDATE tallymerge_site.schemaversion SET version = 99",
        "BEGIN; LOCK TABLE tallymerge_site.schemaversion IN ACCESS EXCLUSIVE MODE; COMMIT",
        "SELECT 1 FROM company_saminc.writelock FOR UPDATE",
        "SELECT 1 FROM tallymerge_site.writelock FOR UPDATE",
    };

    // The administrator's session, which none of them may end.
    const auto administrator = Accpac::StoreLocation(site).open();
    Accpac::Statement pid = administrator->prepare("SELECT pg_backend_pid()");
    pid.step();
    const QString endTheAdministrator =
        QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.columnInt(0));

    int attempts = 0;
    const auto attempt = [&](const char* who, const QString& login, const QString& sql) {
        const Answer answer = psql(login, sql);
        ++attempts;
        std::printf("%-8s %-10s %s\n         -> %s\n", answer.done ? "DONE" : "refused", who,
                    qPrintable(sql), qPrintable(answer.said));
        EXPECT_FALSE(answer.done) << who << ": " << sql.toStdString();
        // Refused for want of the right (42501), or not let in at all.
        EXPECT_TRUE(answer.said == QLatin1String("ERROR:  42501") ||
                    (answer.said.startsWith(QLatin1String("psql: error:")) &&
                     answer.said.contains(QLatin1String("FATAL:"))))
            << who << ": " << sql.toStdString() << ": " << answer.said.toStdString();
    };
    for (const auto& [who, login] : logins) {
        for (const char* sql : everyone)
            attempt(who, login, QString::fromLatin1(sql));
        attempt(who, login, endTheAdministrator);
    }
    for (const char* sql : signOnOnly)
        attempt("sign-on", signOn, QString::fromLatin1(sql));
    attempt("clerk", clerk, wholeReversal);
    attempt("sign-on", signOn, wholeReversal);
    // Another site's database on the same server: nobody of this site may connect to it.
    for (const auto& [who, login] : logins)
        attempt(who,
                Accpac::conninfoWith(login, QStringLiteral("dbname"), QStringLiteral("neighbour")),
                QStringLiteral("SELECT 1"));
    std::printf("%d attempts\n", attempts);

    // What each may do it still does, and the books are as they were.
    EXPECT_TRUE(
        psql(signOn, QStringLiteral("SELECT id, name FROM tallymerge_site.companies")).done);
    EXPECT_TRUE(psql(clerk, QStringLiteral("SELECT COUNT(*) FROM company_saminc.oeordh")).done);
    EXPECT_NO_THROW(administrator->exec("SELECT 1"));
    // Each user reads only their own rights; the site's administrators read them all.
    const auto rightsSeenBy = [](const QString& login) {
        const auto db = Accpac::StoreLocation(login).openWithin(QStringLiteral("tallymerge_site"));
        Accpac::Statement st =
            db->prepare("SELECT string_agg(DISTINCT userid, ',' ORDER BY userid) FROM auths");
        st.step();
        return st.columnText(0).toStdString();
    };
    EXPECT_EQ(rightsSeenBy(clerk), "CLERK");
    EXPECT_EQ(rightsSeenBy(supervisor), "SUPER");
    EXPECT_EQ(rightsSeenBy(Roles::loginAs(site, QStringLiteral("ADMIN"), Sample::AdminPassword)),
              rightsSeenBy(site));
    EXPECT_NE(rightsSeenBy(site).find("CLERK,"), std::string::npos);
    EXPECT_EQ(server.execute(books, QStringLiteral("hostile")), before);
    QTemporaryDir hive;
    EXPECT_EQ(auditBooks(Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId), hive.path())
                  .join(u'\n')
                  .toStdString(),
              "");
}

} // namespace
