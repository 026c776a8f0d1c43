// The backup of a server site's books (tools/server-backup.sh) on a private server: a dump,
// a restore into a new database that the auditor checks and a clerk signs on to, and the
// refusals that keep a backup or a site whole.
#include <pgserver.h>
#include <sample.h>

#include <accpac/standin.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ScriptRun
{
    int exitCode;
    QString output;
};

class PgBackup : public ::testing::Test
{
protected:
    // The site in `database`, without the password: the script is given it by PGPASSWORD.
    QString site(const QString& database) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
            .arg(server.host())
            .arg(server.port())
            .arg(database, server.user());
    }
    QString siteWithPassword(const QString& database) const
    {
        return site(database) + QStringLiteral(" password=") + server.password();
    }
    void createDatabase(const QString& name) const
    {
        server.execute(QStringLiteral("CREATE DATABASE %1 OWNER %2 TEMPLATE template0 LOCALE 'C'")
                           .arg(name, server.user()),
                       QStringLiteral("postgres"));
    }
    ScriptRun backup(const QStringList& args) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), server.password());
        env.insert(QStringLiteral("TALLYMERGE_CHECK"), QStringLiteral(TALLYMERGE_CHECK));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(SERVER_BACKUP), args);
        process.closeWriteChannel();
        process.waitForFinished(180000);
        return {process.exitCode(), QString::fromLocal8Bit(process.readAll()).trimmed()};
    }
    QStringList rows(const QString& database, const QString& sql) const
    {
        return Accpac::Testing::queryStore(
            Accpac::Admin::companyDatabaseFile(siteWithPassword(database), Sample::CompanyId), sql);
    }

    PostgresServer server;
    QTemporaryDir dir;
};

TEST_F(PgBackup, TheBooksAreDumpedAndRestoredWholeIntoANewDatabase)
{
    createDatabase(QStringLiteral("books"));
    Sample::Options options;
    options.folder = siteWithPassword(QStringLiteral("books"));
    options.orders = 20;
    options.strength = Accpac::Admin::HashStrength::Minimal;
    Sample::createSampleSite(options);
    const QString file = dir.filePath(QStringLiteral("books.dump"));

    // A database without a site gives no backup, and an older backup stays as it was.
    QFile older(file);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("an older backup");
    older.close();
    ScriptRun r = backup({QStringLiteral("dump"), site(QStringLiteral("postgres")), file});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.output.contains(QLatin1String("no site is set up in that database")))
        << r.output.toStdString();
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), QByteArray("an older backup"));
    older.close();

    r = backup({QStringLiteral("dump"), site(QStringLiteral("books")), file});
    ASSERT_EQ(r.exitCode, 0) << r.output.toStdString();
    EXPECT_FALSE(QFile::exists(file + QStringLiteral(".partial")));
    EXPECT_EQ(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther), 0);

    // Restored into a new database: every company passes the auditor there.
    createDatabase(QStringLiteral("restored"));
    r = backup({QStringLiteral("restore"), file, site(QStringLiteral("restored"))});
    EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    EXPECT_TRUE(r.output.contains(QLatin1String("Company SAMINC was restored; its books agree.")))
        << r.output.toStdString();
    EXPECT_FALSE(r.output.contains(server.password()));
    for (const char* table :
         {"OEORDH", "OEORDD", "OESHIH", "OESHID", "OEINVH", "ARCUS", "ARBTA", "CSCCD", "OEMISC"}) {
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM %1").arg(table);
        EXPECT_EQ(rows(QStringLiteral("restored"), sql), rows(QStringLiteral("books"), sql))
            << table;
    }
    EXPECT_EQ(rows(QStringLiteral("restored"), "SELECT SUM(AMTBALDUET) FROM ARCUS"),
              rows(QStringLiteral("books"), "SELECT SUM(AMTBALDUET) FROM ARCUS"));

    // A clerk signs on to the restored site and reads the orders there.
    const QString restored = siteWithPassword(QStringLiteral("restored"));
    EXPECT_EQ(Accpac::Admin::companyIds(restored), QStringList{Sample::CompanyId});
    auto session = Sample::signOn(restored, Sample::ClerkId, Sample::ClerkPassword);
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    auto orders = link->OpenView(QStringLiteral("OE0520"));
    int read = 0;
    orders->Browse(QString(), true);
    while (orders->Fetch())
        ++read;
    EXPECT_EQ(QString::number(read),
              rows(QStringLiteral("books"), "SELECT COUNT(*) FROM OEORDH").value(0));
    EXPECT_GT(read, 0);

    // A database that holds a site is never restored over.
    r = backup({QStringLiteral("restore"), file, site(QStringLiteral("restored"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.output.contains(QLatin1String("holds a site already"))) << r.output.toStdString();
    EXPECT_EQ(
        Accpac::checkCompanyFile(Accpac::Admin::companyDatabaseFile(restored, Sample::CompanyId)),
        QStringList());

    // A backup cut short fails part of the way through its tables, and the database it was
    // restored into is left without any of it.
    QFile whole(file);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString cut = dir.filePath(QStringLiteral("cut.dump"));
    QFile part(cut);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(bytes.left(bytes.size() * 7 / 10));
    part.close();
    createDatabase(QStringLiteral("target"));
    r = backup({QStringLiteral("restore"), cut, site(QStringLiteral("target"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.output.contains(QLatin1String("nothing of it was kept")))
        << r.output.toStdString();
    EXPECT_EQ(server
                  .execute(QStringLiteral("SELECT COUNT(*) FROM pg_namespace WHERE nspname = "
                                          "'tallymerge_site' OR nspname LIKE 'company%'"),
                           QStringLiteral("target"))
                  .trimmed(),
              QStringLiteral("0"));
}

} // namespace
