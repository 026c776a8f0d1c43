// Schema versions and upgrades of the site's files, on files made by the first schema (SQL
// text kept beside this test), on planted faults, and on small file systems of the test's
// own (as root).
#include <accpac/standin.h>
#include <invoicesequence.h>
#include <sample.h>
#include <system/comerror.h>
#include <toolrun.h>

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using Accpac::SiteFileKind;

// Runs SQL on a file through SQLite itself, outside the code under test.
void runSql(const QString& file, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QString firstValue(const QString& file, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

bool hasShipmentIndex(const QString& file)
{
    return !firstValue(file, "SELECT name FROM sqlite_master WHERE name='OEINVS_SHIPMENT'")
                .isEmpty();
}

QByteArray contentOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

QStringList backupsIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.bak")}, QDir::Files, QDir::Name);
}

QString refusal(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ComError& e) {
        return e.description();
    }
    return {};
}

// A site made by the first schema: the system file and company SAMINC from the SQL text.
QString makeSchema1Site(const QString& folder)
{
    QDir().mkpath(folder);
    for (const char* name : {"system", "SAMINC"}) {
        QFile sql(QStringLiteral(SCHEMA1_DIR "/%1.sql").arg(QLatin1String(name)));
        EXPECT_TRUE(sql.open(QIODevice::ReadOnly)) << qPrintable(sql.fileName());
        const QString file = QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".db"));
        runSql(file, sql.readAll() + "PRAGMA journal_mode=WAL;");
    }
    return folder;
}

// A small tmpfs of the test's own, unmounted when the test ends. Tests that need one skip
// themselves unless they run as root where mounting is allowed.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes)
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(m_dir.path()), "tmpfs",
                                                0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    bool makeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(m_dir.path()), nullptr, MS_REMOUNT | MS_RDONLY,
                       nullptr) == 0;
    }
    qint64 freeBytes() const
    {
        struct statvfs st;
        ::statvfs(QFile::encodeName(m_dir.path()).constData(), &st);
        return qint64(st.f_bavail) * qint64(st.f_frsize);
    }
    // Fills the disk until `left` bytes remain free.
    void leaveFree(qint64 left)
    {
        QFile filler(m_dir.filePath(QStringLiteral("filler")));
        filler.open(QIODevice::WriteOnly);
        filler.write(QByteArray(std::max<qint64>(0, freeBytes() - left), 'x'));
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

TEST(SchemaUpgrade, FirstSchemaSiteIsBroughtUpToDateOnSignOnWithBackups)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    const QString system = QDir(site).filePath(QStringLiteral("system.db"));
    ASSERT_EQ(Accpac::readSchemaVersion(company, SiteFileKind::Company), 1);
    ASSERT_EQ(Accpac::readSchemaVersion(system, SiteFileKind::System), 1);
    ASSERT_FALSE(hasShipmentIndex(company));
    // A row whose rowid is not the next one: the upgrade keeps each row's rowid as its key.
    runSql(company, "UPDATE BKACCT SET rowid = rowid + 100 WHERE rowid = (SELECT MAX(rowid) "
                    "FROM BKACCT);");
    const QByteArray banks = "SELECT GROUP_CONCAT(k, ',') FROM (SELECT %1 || ':' || BANK AS k "
                             "FROM BKACCT ORDER BY %1)";
    const QString banksBefore =
        firstValue(company, QString::fromLatin1(banks).arg("rowid").toUtf8());

    auto session = Sample::signOn(site);
    ASSERT_TRUE(session);
    EXPECT_EQ(Accpac::readSchemaVersion(company, SiteFileKind::Company),
              Accpac::programSchemaVersion(SiteFileKind::Company));
    EXPECT_EQ(Accpac::readSchemaVersion(system, SiteFileKind::System),
              Accpac::programSchemaVersion(SiteFileKind::System));
    EXPECT_TRUE(hasShipmentIndex(company));
    EXPECT_EQ(firstValue(company, QString::fromLatin1(banks).arg("ROWKEY").toUtf8()), banksBefore);
    EXPECT_TRUE(banksBefore.contains(QLatin1String("10")));

    // Each file left a copy of its old state, named with the old version and the date.
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_EQ(backupsIn(site), QStringList({QStringLiteral("SAMINC.db.schema1-%1.bak").arg(date),
                                            QStringLiteral("system.db.schema1-%1.bak").arg(date)}));
    const QString backup = QDir(site).filePath(backupsIn(site).value(0));
    EXPECT_EQ(Accpac::readSchemaVersion(backup, SiteFileKind::Company), 1);
    EXPECT_FALSE(hasShipmentIndex(backup));
    EXPECT_EQ(firstValue(backup, "SELECT COUNT(*) FROM OESHIH"),
              firstValue(company, "SELECT COUNT(*) FROM OESHIH"));

    // The upgraded company works: an invoice, then the file refuses a second invoice of the
    // same shipment whatever writes it.
    auto link = session->OpenDBLink(1, 0);
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1100");
    request.shipments = {QStringLiteral("SH1000-1")};
    const auto invoice = Sample::createInvoice(*link, request);
    EXPECT_FALSE(invoice.invoiceNumber.isEmpty());
    // The program completes the order it invoiced; the books' auditor expects that.
    Sample::completeInvoicedOrder(*link, QStringLiteral("ORD001000"));
    session.reset();
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(company).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db,
                           "INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ) SELECT "
                           "INVUNIQ + 1, SHINUMBER, SHIUNIQ FROM OEINVS",
                           nullptr, nullptr, nullptr) &
                  0xff,
              SQLITE_CONSTRAINT);
    sqlite3_close(db);
    EXPECT_EQ(Accpac::checkCompanyFile(company), QStringList());

    // Opening again finds nothing to do and makes no other copy.
    const auto again = Accpac::upgradeFile(company, SiteFileKind::Company);
    EXPECT_EQ(again.fromVersion, again.toVersion);
    EXPECT_TRUE(again.backupFile.isEmpty());
    EXPECT_EQ(backupsIn(site).size(), 2);
}

TEST(SchemaUpgrade, PlantedDoubleInvoiceRefusesTheUpgradeAndChangesNothing)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    runSql(company, "INSERT INTO OEINVH (INVUNIQ, INVNUMBER, CUSTOMER) VALUES "
                    "(901, 'IN0000901', '1100'), (902, 'IN0000902', '1100'), "
                    "(903, 'IN0000903', '1105');"
                    "INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ) VALUES "
                    "(902, 'SH1000-1', 1), (901, 'SH1000-1', 1), (903, 'SH1001-1', 3), "
                    "(901, 'SH1000-2', 2);");
    const QByteArray before = contentOf(company);

    const QString sentence = refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); });
    EXPECT_TRUE(sentence.contains(QStringLiteral("shipment SH1000-1 is on invoices IN0000901 and "
                                                 "IN0000902")))
        << qPrintable(sentence);
    EXPECT_FALSE(sentence.contains(QStringLiteral("SH1001-1"))) << qPrintable(sentence);
    EXPECT_FALSE(sentence.contains(QStringLiteral("SH1000-2"))) << qPrintable(sentence);
    EXPECT_TRUE(sentence.contains(company)) << qPrintable(sentence);
    EXPECT_TRUE(sentence.endsWith(QStringLiteral("it was left unchanged: correct the books "
                                                 "first.")))
        << qPrintable(sentence);
    EXPECT_EQ(contentOf(company), before);
    EXPECT_EQ(Accpac::readSchemaVersion(company, SiteFileKind::Company), 1);
    EXPECT_FALSE(hasShipmentIndex(company));
    EXPECT_TRUE(backupsIn(site).isEmpty());

    // The sign-on tells the same sentence and leaves the file as it was.
    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    EXPECT_FALSE(Accpac::Testing::signOn(*session, site, Sample::CompanyId, QStringLiteral("ADMIN"),
                                         Sample::AdminPassword));
    ASSERT_GT(session->Errors().Count(), 0);
    EXPECT_EQ(session->Errors().Message(0), sentence);
    EXPECT_EQ(contentOf(company), before);
}

TEST(SchemaUpgrade, NewerFileIsRefusedAndNeverWritten)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    runSql(company, "CREATE TABLE SCHEMAVERSION (VERSION INTEGER NOT NULL);"
                    "INSERT INTO SCHEMAVERSION VALUES (99);");
    const QByteArray before = contentOf(company);
    const QString sentence =
        refusal([&] { Accpac::readSchemaVersion(company, SiteFileKind::Company); });
    EXPECT_EQ(sentence, QStringLiteral("The company file \"%1\" has schema version 99, which a "
                                       "newer Tallymerge made (this one knows up to version %2); "
                                       "it was left unchanged: use the newer program.")
                            .arg(company)
                            .arg(Accpac::programSchemaVersion(SiteFileKind::Company)));
    EXPECT_EQ(refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); }), sentence);
    EXPECT_FALSE(Sample::signOn(site));
    EXPECT_EQ(contentOf(company), before);
    EXPECT_EQ(QFileInfo(company + QStringLiteral("-wal")).size(), 0);
    EXPECT_TRUE(backupsIn(site).filter(QStringLiteral("SAMINC")).isEmpty());
}

// Files that cannot be upgraded: one sentence naming the file, the file as it was, no copy
// left behind.
TEST(SchemaUpgrade, DamagedOrForeignFilesAreRefusedInOneSentence)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    QFile file(company);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();

    struct Case
    {
        const char* name;
        std::function<void(QFile&)> spoil;
        const char* says;
    };
    const Case cases[] = {
        {"truncated", [&](QFile& f) { f.resize(size / 2); }, "it is damaged"},
        {"not SQLite",
         [](QFile& f) {
             f.resize(0);
             f.write(QByteArray("Invoices, 2026\n").repeated(400));
         },
         "it is not a database of this program"},
        {"empty database", [](QFile& f) { f.resize(0); }, "it is not a database of this program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.spoil(file);
        file.flush();
        const QByteArray before = contentOf(company);
        const QString sentence =
            refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); });
        EXPECT_TRUE(sentence.startsWith(QStringLiteral("The company file \"%1\"").arg(company)))
            << qPrintable(sentence);
        EXPECT_TRUE(sentence.contains(QLatin1String(c.says))) << qPrintable(sentence);
        EXPECT_TRUE(sentence.endsWith(QStringLiteral("left unchanged."))) << qPrintable(sentence);
        EXPECT_EQ(contentOf(company), before);
        EXPECT_TRUE(backupsIn(site).isEmpty());
    }
}

TEST(SchemaUpgrade, ReadOnlyAndFullDisksLeaveTheFileAsItWas)
{
    const qint64 fileSize = [] {
        QTemporaryDir dir;
        makeSchema1Site(dir.path());
        return QFileInfo(dir.filePath(QStringLiteral("SAMINC.db"))).size();
    }();
    // Where the disk runs out: before the copy is whole, or after it, in the upgrade itself.
    const qint64 freeAfterFile[] = {fileSize / 2, fileSize + 8192};
    for (const qint64 free : freeAfterFile) {
        SCOPED_TRACE(free);
        SmallDisk disk(4 * fileSize);
        if (!disk.mounted())
            GTEST_SKIP() << "mounting a small file system needs root";
        const QString company = makeSchema1Site(disk.path()) + QStringLiteral("/SAMINC.db");
        const QByteArray before = contentOf(company);
        disk.leaveFree(free);
        const QString sentence =
            refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); });
        EXPECT_TRUE(sentence.contains(QStringLiteral("the disk is full"))) << qPrintable(sentence);
        EXPECT_TRUE(sentence.endsWith(QStringLiteral("it was left unchanged.")))
            << qPrintable(sentence);
        EXPECT_EQ(contentOf(company), before);
        EXPECT_EQ(Accpac::readSchemaVersion(company, SiteFileKind::Company), 1);
        EXPECT_TRUE(backupsIn(disk.path()).isEmpty());
    }

    SmallDisk disk(4 * fileSize);
    ASSERT_TRUE(disk.mounted());
    const QString company = makeSchema1Site(disk.path()) + QStringLiteral("/SAMINC.db");
    const QByteArray before = contentOf(company);
    ASSERT_TRUE(disk.makeReadOnly());
    const QString sentence = refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); });
    EXPECT_TRUE(sentence.contains(QStringLiteral("read-only"))) << qPrintable(sentence);
    EXPECT_TRUE(sentence.endsWith(QStringLiteral("it was left unchanged.")))
        << qPrintable(sentence);
    EXPECT_EQ(contentOf(company), before);
}

// The disk runs out between the files of an upgrade, which leaves the site half done: the
// system file up to date, the company not. The refusal says the disk is full; the same
// command run again with room on the disk finishes the site. A later write that finds the
// disk full names the file too, even where SQLite calls it an I/O error.
TEST(SchemaUpgrade, AFullDiskIsToldAndTheUpgradeRunAgainFinishesTheSite)
{
    SmallDisk disk(16 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString site = makeSchema1Site(disk.path());
    const QString system = QDir(site).filePath(QStringLiteral("system.db"));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    EXPECT_EQ(Accpac::upgradeFile(system, SiteFileKind::System).toVersion, 3);
    const QByteArray before = contentOf(company);
    // Room to read each file (SQLite's shared-memory file), none to copy the company.
    disk.leaveFree(QFileInfo(company).size() / 2);

    ToolRun r = admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.output.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << qPrintable(r.output);
    EXPECT_TRUE(lines[0].startsWith(system + QStringLiteral(": schema version 3, up to date")))
        << qPrintable(lines[0]);
    EXPECT_EQ(lines[1], QStringLiteral("The company file \"%1\" cannot be brought up to date "
                                       "from schema version 1 to 6: the disk is full; free some "
                                       "space and try again; it was left unchanged.")
                            .arg(company));
    EXPECT_EQ(contentOf(company), before);

    const QString filler = QDir(disk.path()).filePath(QStringLiteral("filler"));
    ASSERT_TRUE(QFile::remove(filler));
    r = admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(r.output.contains(company + QStringLiteral(": schema version 1 brought to 6")))
        << qPrintable(r.output);
    EXPECT_EQ(Accpac::readSchemaVersion(company, SiteFileKind::Company), 6);

    // A clerk's write once the disk is full.
    auto session = Sample::signOn(site);
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    auto misc = link->OpenView(QStringLiteral("OE0440"));
    misc->ClearRecord();
    misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("FULL"));
    misc->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Written on a full disk"));
    disk.leaveFree(0);
    EXPECT_EQ(refusal([&] { misc->Insert(); }),
              QStringLiteral("View OE0440: the disk that holds the company file \"%1\" is full; "
                             "free some space and try again")
                  .arg(company));
    ASSERT_TRUE(QFile::remove(filler));
    misc->Insert();
    misc.reset();
    link.reset();
    session.reset();
    // With no room even to read (SQLite's shared-memory file, which it reports as an I/O
    // error), the disk is still called full.
    disk.leaveFree(0);
    r = admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("The site's system file \"%1\" cannot be read: the disk "
                                       "is full; free some space and try again; it was left "
                                       "unchanged.")
                            .arg(system));
    ASSERT_TRUE(QFile::remove(filler));
    EXPECT_EQ(Accpac::checkCompanyFile(company), QStringList());
}

// The auditor only reads: on a site of the first schema, writable or on a read-only disk,
// it tells to upgrade first and leaves every file as it was; the upgrade then does its work
// and the auditor gives its verdict.
TEST(SchemaUpgrade, CheckerNeverWritesAnOlderSite)
{
    // The files of the site but SQLite's own beside an open file (-wal, -shm).
    auto siteFiles = [](const QString& site) {
        return QDir(site)
            .entryList(QDir::Files, QDir::Name)
            .filter(QRegularExpression(QStringLiteral("\\.(db|bak)$")));
    };
    auto checkLeavesSiteAsItWas = [&](const QString& site) {
        const QStringList files = siteFiles(site);
        QList<QByteArray> before;
        for (const QString& file : files)
            before << contentOf(QDir(site).filePath(file));
        const ToolRun r = runTool(QStringLiteral(TALLYMERGE_CHECK),
                                  {QStringLiteral("--site"), site, QStringLiteral("SAMINC")});
        EXPECT_EQ(r.exitCode, 2) << qPrintable(r.output);
        EXPECT_TRUE(r.output.contains(
            QStringLiteral("has tables of version 1, older than this "
                           "program's 6, whose rules read tables it lacks: upgrade first "
                           "(tallymerge-admin upgrade)")))
            << qPrintable(r.output);
        EXPECT_EQ(siteFiles(site), files);
        for (int i = 0; i < files.size(); ++i)
            EXPECT_EQ(contentOf(QDir(site).filePath(files[i])), before[i]) << qPrintable(files[i]);
    };

    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    checkLeavesSiteAsItWas(site);
    const QString system = QDir(site).filePath(QStringLiteral("system.db"));
    EXPECT_EQ(Accpac::readSchemaVersion(system, SiteFileKind::System), 1);
    ASSERT_EQ(admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")}).exitCode, 0);
    const ToolRun r = runTool(QStringLiteral(TALLYMERGE_CHECK),
                              {QStringLiteral("--site"), site, QStringLiteral("SAMINC")});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(r.output.endsWith(QStringLiteral("the books agree."))) << qPrintable(r.output);

    SmallDisk disk(64 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a read-only file system needs root";
    makeSchema1Site(disk.path());
    ASSERT_TRUE(disk.makeReadOnly());
    checkLeavesSiteAsItWas(disk.path());
}

} // namespace

namespace {

TEST(SchemaUpgrade, AdminUpgradeTellsWhatItDidAndWhatItRefused)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    const QString system = QDir(site).filePath(QStringLiteral("system.db"));
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    runSql(company, "INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ) VALUES "
                    "(1, 'SH1000-1', 1), (2, 'SH1000-1', 1);");
    ToolRun r = admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.contains(QStringLiteral("shipment SH1000-1 is on invoices (key 1) and "
                                                 "(key 2)")))
        << qPrintable(r.output);
    EXPECT_EQ(r.output.split(u'\n'),
              QStringList({QStringLiteral("%1: schema version 1 brought to 3 (the old file is kept "
                                          "as %1.schema1-%2.bak): the file carries its schema "
                                          "version; each record is keyed by a column of its own "
                                          "(ROWKEY).")
                               .arg(system, date),
                           refusal([&] { Accpac::upgradeFile(company, SiteFileKind::Company); })}));

    runSql(company, "DELETE FROM OEINVS;");
    r = admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.split(u'\n'),
              QStringList({QStringLiteral("%1: schema version 3, up to date (the file before "
                                          "its last upgrade is kept as %1.schema1-%2.bak).")
                               .arg(system, date),
                           QStringLiteral("%1: schema version 1 brought to 6 (the old file is kept "
                                          "as %1.schema1-%2.bak): a shipment can be on one "
                                          "invoice only (unique index OEINVS_SHIPMENT); each "
                                          "record is keyed by a column of its own (ROWKEY); "
                                          "the program keeps a journal of its decisions "
                                          "(TMJOURNAL); the invoices made before have no "
                                          "entries; an invoice can be reversed by one credit "
                                          "note (OECRDH, OECRDD); a reversal can release an "
                                          "invoice's shipments to be invoiced again "
                                          "(OEINVS.RELEASED, TMRESTORE); the invoices made "
                                          "before cannot release theirs.")
                               .arg(company, date)}));
    EXPECT_TRUE(hasShipmentIndex(company));
    EXPECT_EQ(Accpac::checkCompanyFile(company), QStringList());

    r = admin({QStringLiteral("--site"), dir.filePath(QStringLiteral("nowhere")),
               QStringLiteral("upgrade")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("No site is set up in the folder %1.")
                            .arg(dir.filePath(QStringLiteral("nowhere"))));
}

// A folder whose name holds "%1" and "%2": the backup lies beside the file under its usual
// name, and the reports quote the path as it is.
TEST(SchemaUpgrade, APathWithPercentSignsIsQuotedAsItIs)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site %1 %2")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    const QString backup =
        QStringLiteral("SAMINC.db.schema1-") + QDate::currentDate().toString(Qt::ISODate) + ".bak";
    const auto done = Accpac::upgradeFile(company, SiteFileKind::Company);
    EXPECT_EQ(done.refusal, QString());
    EXPECT_EQ(done.backupFile, QDir(site).filePath(backup));
    EXPECT_EQ(backupsIn(site), QStringList(backup));
    EXPECT_TRUE(Accpac::describeUpgrade(done).startsWith(
        company + QStringLiteral(": schema version 1 brought to ") +
        QString::number(Accpac::programSchemaVersion(SiteFileKind::Company)) +
        QStringLiteral(" (the old file is kept as ") + QDir(site).filePath(backup) + u')'))
        << qPrintable(Accpac::describeUpgrade(done));
    EXPECT_EQ(Accpac::describeUpgrade(Accpac::upgradeFile(company, SiteFileKind::Company)),
              company + QStringLiteral(": schema version ") +
                  QString::number(Accpac::programSchemaVersion(SiteFileKind::Company)) +
                  QStringLiteral(", up to date (the file before its last upgrade is kept as ") +
                  QDir(site).filePath(backup) + QStringLiteral(")."));
    EXPECT_EQ(Accpac::checkCompanyFile(company), QStringList());
}

} // namespace

namespace {

// An older company file keeps no journal: the auditor and the admin tool say so. Brought up
// to date, its journal begins with an entry that names the invoices made before it, which the
// auditor judges by today's settings and mentions once.
TEST(SchemaUpgrade, TheJournalBeginsWithTheUpgrade)
{
    QTemporaryDir dir;
    const QString site = makeSchema1Site(dir.filePath(QStringLiteral("site")));
    const QString company = QDir(site).filePath(QStringLiteral("SAMINC.db"));
    runSql(company, "INSERT INTO OEINVH (INVUNIQ, INVNUMBER, CUSTOMER) VALUES "
                    "(1, 'IN0000001', '1200'), (2, 'IN0000002', '1200');");
    const QStringList journal = {QStringLiteral("--site"), site, QStringLiteral("journal"),
                                 QStringLiteral("saminc")};
    ToolRun r = admin(journal);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("The journal of company SAMINC cannot be read: its tables "
                                       "are of an older version, which keeps none; bring the "
                                       "site up to date (tallymerge-admin upgrade)."));
    EXPECT_THROW(Accpac::auditCompanyFile(company), ComError);

    ASSERT_EQ(admin({QStringLiteral("--site"), site, QStringLiteral("upgrade")}).exitCode, 0);
    r = admin(journal);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^1 \\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z - journal begun "
                                          "\\{\"invoicesBefore\":2,\"lastInvoiceBefore\":"
                                          "\"IN0000002\"\\}$"))
            .match(r.output)
            .hasMatch())
        << qPrintable(r.output);
    r = admin(journal + QStringList{QStringLiteral("--from"), QStringLiteral("2999-01-01")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, QString());
    r = admin(journal + QStringList{QStringLiteral("--from"), QStringLiteral("yesterday")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("\"yesterday\" is no date; give it as YYYY-MM-DD."));

    const Accpac::AuditReport report = Accpac::auditCompanyFile(company);
    EXPECT_EQ(report.skipped.filter(QStringLiteral("journal")),
              QStringList(QStringLiteral("2 invoice(s) were made before the journal was kept: "
                                         "they are judged by today's settings.")));
    EXPECT_EQ(report.problems.filter(QStringLiteral("journal")), QStringList());
}

} // namespace
