// The PostgreSQL engine under the views, on a private server: the SQL it sends, its
// failures told in one sentence, lock waits, a lost connection and the site on the server.
#include "conninfo.h"
#include "pgdb.h"
#include "site.h"

#include <pgserver.h>
#include <sample.h>
#include <toolrun.h>

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using Accpac::PgDatabase;
using Accpac::Statement;
using Accpac::StorageError;

namespace {

class PgStorage : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new PostgresServer();
        // The books' lock that a site's set-up makes in each of its schemas, here for the
        // stores the tests make in the schema public.
        PgDatabase(conninfo(), QStringLiteral("public"))
            .exec("CREATE TABLE writelock (held BOOLEAN PRIMARY KEY DEFAULT TRUE CHECK (held)); "
                  "INSERT INTO writelock VALUES (TRUE)");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    static QString conninfo(const QString& password = {})
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password='%5'")
            .arg(server->host())
            .arg(server->port())
            .arg(server->database(), server->user(),
                 password.isEmpty() ? server->password() : password);
    }

    // The sentence a failed connection gives.
    static QString refusal(const QString& conninfo)
    {
        try {
            PgDatabase db(conninfo, QStringLiteral("public"));
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::Refused);
            return e.message();
        }
        ADD_FAILURE() << "connected with " << conninfo.toStdString();
        return {};
    }

    inline static PostgresServer* server = nullptr;
};

TEST_F(PgStorage, SqlTextIsReadAsTheServerReadsIt)
{
    int parameters = 0;
    EXPECT_EQ(PgDatabase::translate("SELECT \"NAME\" FROM \"OEINVH\" WHERE A=? AND B='?x''?' "
                                    "AND C=?",
                                    &parameters),
              QByteArray("SELECT \"name\" FROM \"oeinvh\" WHERE A=$1 AND B='?x''?' AND C=$2"));
    EXPECT_EQ(parameters, 2);
    EXPECT_EQ(PgDatabase::translate("WITH s AS (SELECT ?1, ?2) SELECT ?1", &parameters),
              QByteArray("WITH s AS (SELECT $1, $2) SELECT $1"));
    EXPECT_EQ(parameters, 2);
}

TEST_F(PgStorage, BadConnectionsAreToldInOneSentenceNamingTheServer)
{
    const QString server =
        QStringLiteral("%1 port %2").arg(this->server->host()).arg(this->server->port());
    EXPECT_TRUE(refusal(QStringLiteral("host=127.0.0.1 port"))
                    .startsWith(QLatin1String("The connection string cannot be read:")));
    EXPECT_EQ(refusal(QStringLiteral("host=no-such-host.invalid dbname=x user=x")),
              QStringLiteral("The database server no-such-host.invalid port 5432 cannot be "
                             "reached: its host name is unknown."));
    // A port nobody listens on: the server's own port plus one is free while it runs alone.
    const int closed = this->server->port() == 65535 ? 1 : this->server->port() + 1;
    EXPECT_EQ(refusal(QStringLiteral("host=127.0.0.1 port=%1 dbname=x user=x").arg(closed)),
              QStringLiteral("The database server 127.0.0.1 port %1 refused the connection: no "
                             "server is listening there.")
                  .arg(closed));
    EXPECT_EQ(refusal(conninfo(QStringLiteral("wrong"))),
              QStringLiteral("The database server %1 refused user %2: the user name or the "
                             "password is wrong.")
                  .arg(server, this->server->user()));
    EXPECT_EQ(refusal(this->server->conninfo(QStringLiteral("nothere"))),
              QStringLiteral("The database server %1 has no database \"nothere\".").arg(server));
    // The password never shows where the connection string is named.
    EXPECT_FALSE(Accpac::shownSite(conninfo()).contains(this->server->password()));
    EXPECT_TRUE(Accpac::shownSite(conninfo()).contains(QLatin1String("dbname=tallymerge")));
}

TEST_F(PgStorage, AWriterWaitsForTheBooksAtMostTheLockTimeAndIsToldWhy)
{
    PgDatabase first(conninfo(), QStringLiteral("public"));
    PgDatabase second(conninfo(), QStringLiteral("public"));
    Accpac::Transaction holding(first);
    QElapsedTimer clock;
    clock.start();
    try {
        Accpac::Transaction waiting(second);
        FAIL() << "the second writer did not wait";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::Busy);
        EXPECT_EQ(e.message(), QStringLiteral("The books of public are being written by another "
                                              "session; waited 10 seconds for them"));
    }
    EXPECT_GE(clock.elapsed(), 9000);
    // The refused writer is left outside any transaction, ready for the next try.
    EXPECT_FALSE(second.inTransaction());
    holding.commit();
    Accpac::Transaction next(second);
    next.commit();
}

TEST_F(PgStorage, ALostConnectionFailsTheWorkAndTheNextStatementConnectsAgain)
{
    PgDatabase db(conninfo(), QStringLiteral("public"));
    db.exec("CREATE TABLE IF NOT EXISTS \"LOSS\" (\"N\" BIGINT)");
    Accpac::Transaction tx(db);
    db.exec("INSERT INTO \"LOSS\" VALUES (1)");
    server->execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                   "WHERE application_name = 'tallymerge'"));
    try {
        db.exec("INSERT INTO \"LOSS\" VALUES (2)");
        FAIL() << "the statement after the loss succeeded";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::ConnectionLost);
        EXPECT_TRUE(e.message().contains(QLatin1String("was lost"))) << e.message().toStdString();
        // The message is the program's own, without the server's words.
        EXPECT_FALSE(e.message().contains(QLatin1String("terminating")))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(QLatin1String("FATAL"))) << e.message().toStdString();
    }
    // Nothing of the lost transaction was kept, and the connection works again.
    Statement st = db.prepare("SELECT COUNT(*) FROM \"LOSS\"");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt(0), 0);
}

// A run of look-ups is read ahead only on a database whose texts sort byte by byte, the way
// the program compares the ranges of its batches.
TEST_F(PgStorage, LookUpsAreReadAheadOnlyWhereTextsSortByteByByte)
{
    EXPECT_EQ(PgDatabase(conninfo(), QStringLiteral("public")).readAheadRows(),
              PgDatabase::ReadAheadRows);
    const std::pair<const char*, const char*> otherOrders[] = {
        {"sorted_en", "LOCALE 'en_US.UTF-8'"},
        {"sorted_icu", "LOCALE 'C' LOCALE_PROVIDER icu ICU_LOCALE 'en-US'"}};
    for (const auto& [database, locale] : otherOrders) {
        server->execute(QStringLiteral("CREATE DATABASE %1 OWNER %2 TEMPLATE template0 %3")
                            .arg(QLatin1String(database), server->user(), QLatin1String(locale)),
                        QStringLiteral("postgres"));
        const QString there =
            Accpac::conninfoWith(conninfo(), QStringLiteral("dbname"), QLatin1String(database));
        EXPECT_EQ(PgDatabase(there, QStringLiteral("public")).readAheadRows(), 0) << database;
    }
}

// A connection the server ends while nothing is open on it (a restart, a cut network) is
// made again by the next statement: a read, a new statement and a write transaction go
// through without an error, as nothing was lost.
TEST_F(PgStorage, AConnectionEndedWhileIdleIsMadeAgainByTheNextStatement)
{
    PgDatabase db(conninfo(), QStringLiteral("public"));
    db.exec("CREATE TABLE IF NOT EXISTS \"IDLE\" (\"N\" BIGINT)");
    Statement count = db.prepare("SELECT COUNT(*) FROM \"IDLE\"");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.columnInt(0), 0);
    const auto cut = [] {
        server->execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE application_name = 'tallymerge'"));
    };
    cut();
    {
        Statement again = db.prepare("SELECT COUNT(*) FROM \"IDLE\"");
        ASSERT_TRUE(again.step());
        EXPECT_EQ(again.columnInt(0), 0);
    }
    cut();
    {
        Statement other = db.prepare("SELECT COUNT(*) + 1 FROM \"IDLE\"");
        ASSERT_TRUE(other.step());
        EXPECT_EQ(other.columnInt(0), 1);
    }
    cut();
    Accpac::Transaction tx(db);
    db.exec("INSERT INTO \"IDLE\" VALUES (1)");
    tx.commit();
    Statement after = db.prepare("SELECT COUNT(*) FROM \"IDLE\"");
    ASSERT_TRUE(after.step());
    EXPECT_EQ(after.columnInt(0), 1);
}

TEST_F(PgStorage, ASiteOnTheServerIsMadeOnceAndRefusesANewerSchema)
{
    const QString site = conninfo();
    Accpac::Admin::createSite(site);
    Accpac::Admin::createSite(site); // a second time finds it there
    Accpac::Admin::createCompany(site, {QStringLiteral("TEST"),
                                        QStringLiteral("Test Ltd"),
                                        QStringLiteral("USD"),
                                        {{"AS", "56A"}}});
    EXPECT_EQ(Accpac::Admin::companyIds(site), QStringList{QStringLiteral("TEST")});
    try {
        Accpac::Admin::createCompany(
            site, {QStringLiteral("TEST"), QStringLiteral("Again"), QStringLiteral("USD"), {}});
        FAIL() << "a company was made twice";
    } catch (const ComError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("exists already")))
            << e.description().toStdString();
    }
    // A schema of a newer program is refused and left as it is.
    server->execute(QStringLiteral("UPDATE company_test.schemaversion SET version = 99"));
    try {
        Accpac::openListedCompany(site, QStringLiteral("TEST"));
        FAIL() << "a newer schema was opened";
    } catch (const ComError& e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("schema version 99")))
            << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(QLatin1String("left unchanged")));
    }
    EXPECT_EQ(
        server->execute(QStringLiteral("SELECT version FROM company_test.schemaversion")).trimmed(),
        QStringLiteral("99"));
    // A database without the site's schema says so.
    server->execute(QStringLiteral("CREATE DATABASE empty OWNER %1").arg(server->user()),
                    QStringLiteral("postgres"));
    try {
        Accpac::Admin::companyIds(server->conninfo(QStringLiteral("empty")));
        FAIL() << "a database without a site listed companies";
    } catch (const ComError& e) {
        EXPECT_TRUE(e.description().startsWith(QLatin1String("No site is set up in the database")))
            << e.description().toStdString();
    }
}

TEST_F(PgStorage, ACompanyOfAnSqliteSiteIsCopiedWholeAndTheAuditorChecksItThere)
{
    QTemporaryDir dir;
    Sample::Options options;
    options.folder = dir.filePath(QStringLiteral("site"));
    options.orders = 30;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);
    server->execute(QStringLiteral("CREATE DATABASE copies OWNER %1").arg(server->user()),
                    QStringLiteral("postgres"));
    const QString site = server->conninfo(QStringLiteral("copies"));

    // Into a database without a site nothing is copied.
    ToolRun r = admin({QStringLiteral("copy-company"), options.folder, Sample::CompanyId, site});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.contains(QLatin1String("No site is set up in the database")))
        << r.output.toStdString();
    EXPECT_FALSE(r.output.contains(server->password()));

    r = admin({QStringLiteral("create-site"), site});
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    r = admin({QStringLiteral("copy-company"), options.folder, Sample::CompanyId, site});
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    EXPECT_TRUE(r.output.contains(QLatin1String("pass the auditor's checks")))
        << r.output.toStdString();

    // Every table holds the same rows there as in the file.
    const QString file = Accpac::Admin::companyDatabaseFile(options.folder, Sample::CompanyId);
    const QString copy = Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId);
    for (const char* table :
         {"OEORDH", "OEORDD", "OESHIH", "OESHID", "ARCUS", "ARBTA", "CSCCD", "CSAPP", "OEMISC"}) {
        const QString count = QStringLiteral("SELECT COUNT(*) FROM %1").arg(table);
        EXPECT_EQ(Accpac::Testing::queryStore(copy, count),
                  Accpac::Testing::queryStore(file, count))
            << table;
    }
    EXPECT_EQ(Accpac::Testing::queryStore(copy, "SELECT SUM(AMTBALDUET) FROM ARCUS"),
              Accpac::Testing::queryStore(file, "SELECT SUM(AMTBALDUET) FROM ARCUS"));
    EXPECT_EQ(Accpac::Admin::companyIds(site), QStringList{Sample::CompanyId});

    // A second copy is refused and changes nothing.
    r = admin({QStringLiteral("copy-company"), options.folder, Sample::CompanyId, site});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.contains(QLatin1String("has a company SAMINC already")))
        << r.output.toStdString();
}

TEST_F(PgStorage, TheSampleCompanyGoesOnAServerSiteWhoseSignOnListsIt)
{
    server->execute(QStringLiteral("CREATE DATABASE sample OWNER %1").arg(server->user()),
                    QStringLiteral("postgres"));
    const QString site = server->conninfo(QStringLiteral("sample"));
    const ToolRun made =
        runTool(QStringLiteral(TALLYMERGE_SAMPLE),
                {QStringLiteral("--fast"), QStringLiteral("--orders"), QStringLiteral("20"), site});
    EXPECT_EQ(made.exitCode, 0) << made.output.toStdString();
    EXPECT_FALSE(made.output.contains(server->password())) << made.output.toStdString();
    EXPECT_EQ(Accpac::Admin::companyIds(site), QStringList{Sample::CompanyId});
    auto session = Sample::signOn(site, Sample::ClerkId, Sample::ClerkPassword);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->Company().ID(), Sample::CompanyId);
    EXPECT_EQ(Accpac::checkCompanyFile(Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId)),
              QStringList());
}

// Another program's transaction on the same records, on its own connection: it takes its
// first record at once, then, in a thread, waits for its second, which the work under test
// holds. It waits a minute before it looks for a deadlock, so the server always stops the
// work under test, whose connection looks after the server's default second.
class OtherProgram
{
public:
    OtherProgram(const QString& conninfo, const QString& schema) : m_db(conninfo, schema)
    {
        m_db.exec("SET deadlock_timeout = '60s'");
        Statement st = m_db.prepare("SELECT pg_backend_pid()");
        st.step();
        m_pid = st.columnInt(0);
    }
    ~OtherProgram() { finish(); }

    // Begins the transaction with `first`.
    void hold(const QByteArray& first)
    {
        finish();
        m_db.exec("BEGIN");
        m_db.exec(first);
    }
    // In a thread: once `ready` (a count) is above 0, runs `second` and commits.
    void then(const QByteArray& ready, const QByteArray& second)
    {
        m_thread = std::thread([this, ready, second] {
            try {
                while (!ready.isEmpty() && count(ready) == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                m_db.exec(second);
                m_db.exec("COMMIT");
                ++m_committed;
            } catch (const StorageError& e) {
                m_error = e.message();
                m_db.exec("ROLLBACK");
            }
        });
    }
    // Returns once the other program waits for a lock (asked on `watcher`'s connection).
    void waitUntilWaiting(Accpac::Database& watcher)
    {
        const QByteArray waiting =
            "SELECT COUNT(*) FROM pg_locks WHERE NOT granted AND pid=" + QByteArray::number(m_pid);
        while (count(waiting, &watcher) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    void finish()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int committed() const { return m_committed; }
    QString error() const { return m_error; }

private:
    qint64 count(const QByteArray& sql, Accpac::Database* on = nullptr)
    {
        Statement st = (on ? *on : m_db).prepare(sql);
        st.step();
        return st.columnInt(0);
    }

    PgDatabase m_db;
    qint64 m_pid = 0;
    std::thread m_thread;
    int m_committed = 0;
    QString m_error;
};

TEST_F(PgStorage, DeadlockedWorkIsRunWholeAgainAndAfterTheBoundIsToldClearly)
{
    server->execute(
        QStringLiteral("GRANT SET ON PARAMETER deadlock_timeout TO %1").arg(server->user()));
    PgDatabase db(conninfo(), QStringLiteral("public"));
    db.exec("DROP TABLE IF EXISTS \"PAIR\"; CREATE TABLE \"PAIR\" (\"K\" BIGINT PRIMARY KEY, "
            "\"V\" BIGINT); INSERT INTO \"PAIR\" VALUES (1, 100), (2, 200)");
    OtherProgram other(conninfo(), QStringLiteral("public"));
    const auto values = [&] {
        Statement st = db.prepare("SELECT \"V\" FROM \"PAIR\" ORDER BY \"K\"");
        std::vector<qint64> v;
        while (st.step())
            v.push_back(st.columnInt(0));
        return v;
    };
    // The work adds 1 to both records, first to 1 then to 2; the other program adds 10 to
    // 2 then to 1. Each attempt up to `deadlocks` meets the other program in between.
    int attempts = 0;
    const auto work = [&](int deadlocks) {
        return [&, deadlocks] {
            other.finish();
            ++attempts;
            Accpac::Transaction tx(db);
            db.exec("UPDATE \"PAIR\" SET \"V\"=\"V\"+1 WHERE \"K\"=1");
            if (attempts <= deadlocks) {
                other.hold("UPDATE \"PAIR\" SET \"V\"=\"V\"+10 WHERE \"K\"=2");
                other.then({}, "UPDATE \"PAIR\" SET \"V\"=\"V\"+10 WHERE \"K\"=1");
                other.waitUntilWaiting(db);
            }
            db.exec("UPDATE \"PAIR\" SET \"V\"=\"V\"+1 WHERE \"K\"=2");
            tx.commit();
        };
    };

    // One deadlock: the first attempt was undone whole, the second went through.
    Accpac::runRetried(db, work(1));
    other.finish();
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(other.committed(), 1) << other.error().toStdString();
    EXPECT_EQ(values(), (std::vector<qint64>{111, 211}));

    // A deadlock every time: given up after the bound, in words of this program, and
    // nothing of any attempt stays while the other program's work does.
    attempts = 0;
    try {
        Accpac::runRetried(db, work(100));
        FAIL() << "work that always deadlocks went through";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::Serialization);
        EXPECT_EQ(e.message(),
                  QStringLiteral("Another session was changing the same records at the same "
                                 "moment (a deadlock), and the database server stopped this "
                                 "work to let the other go on; nothing of it was kept (tried "
                                 "%1 times)")
                      .arg(Accpac::SerializationRetries + 1));
    }
    other.finish();
    EXPECT_EQ(attempts, Accpac::SerializationRetries + 1);
    EXPECT_EQ(other.committed(), 1 + attempts) << other.error().toStdString();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(values(), (std::vector<qint64>{111 + 10 * attempts, 211 + 10 * attempts}));
}

TEST_F(PgStorage, AViewsWriteThatDeadlocksWithAnotherProgramIsRunAgain)
{
    server->execute(
        QStringLiteral("GRANT SET ON PARAMETER deadlock_timeout TO %1").arg(server->user()));
    server->execute(QStringLiteral("CREATE DATABASE retried OWNER %1").arg(server->user()),
                    QStringLiteral("postgres"));
    const QString site = server->conninfo(QStringLiteral("retried"));
    Sample::Options options;
    options.folder = site;
    options.orders = 5;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);
    auto session = Sample::signOn(site);
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    auto customers = link->OpenView(QStringLiteral("AR0024"));
    customers->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(customers->Read());
    customers->Field(QStringLiteral("NAMECUST")).SetValue(QStringLiteral("Ice Ridge Ltd"));

    // The other program holds the customer and then asks for the books' lock, which the
    // view's write took first (it waits for the customer): each waits for the other.
    OtherProgram other(site, QStringLiteral("company_") + Sample::CompanyId.toLower());
    other.hold("SELECT IDCUST FROM ARCUS WHERE IDCUST='1400' FOR UPDATE");
    other.then("SELECT COUNT(*) FROM pg_locks WHERE NOT granted AND pid<>pg_backend_pid()",
               "SELECT 1 FROM writelock FOR UPDATE");
    customers->Update();
    other.finish();
    EXPECT_EQ(other.committed(), 1) << other.error().toStdString();
    // The other program had the books' lock only once the view's write gave way; the write
    // was then done again and is there.
    customers->Field(QStringLiteral("NAMECUST")).SetValue(QStringLiteral("changed meanwhile"));
    customers->Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("1400"));
    ASSERT_TRUE(customers->Read());
    EXPECT_EQ(customers->Field(QStringLiteral("NAMECUST")).GetValue().toString(),
              QStringLiteral("Ice Ridge Ltd"));
    EXPECT_EQ(Accpac::checkCompanyFile(Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId)),
              QStringList());
}

} // namespace
