// Who may read and change the shared folder: an account outside the group can neither read
// the user table nor change a company file, a hive or a lock file; a member can do all the
// program needs. Switching accounts needs root (as CI runs); elsewhere the test is skipped.
#include "sitefixture.h"

#include <registry/hivelocations.h>
#include <registry/registry.h>

#include <QDirIterator>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sqlite3.h>

namespace {

QString firstOpenShipment(const QString& companyFile, QString* customer)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(companyFile).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT CUSTOMER, SHINUMBER FROM OESHIH WHERE INVUNIQ=0 AND COMPLETE<3 "
                       "AND SHINUMBER<>'*** NEW ***' ORDER BY SHINUMBER LIMIT 1",
                       -1, &st, nullptr);
    QString shipment;
    if (sqlite3_step(st) == SQLITE_ROW) {
        *customer = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        shipment = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return shipment;
}

// Every folder 2770 and every file 0660 under root, all of the group.
void expectSharedTree(const QString& root, gid_t group)
{
    EXPECT_EQ(modeOf(root), SiteFiles::SharedFolderMode);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const bool folder = it.fileInfo().isDir();
        EXPECT_EQ(modeOf(path), folder ? SiteFiles::SharedFolderMode : SiteFiles::SharedFileMode)
            << qPrintable(path);
        EXPECT_EQ(groupOf(path), group) << qPrintable(path);
    }
}

} // namespace

TEST(SiteAccess, OnlyMembersOfTheGroupReadOrChangeTheSite)
{
    if (::geteuid() != 0 || ::getpwnam("nobody") == nullptr)
        GTEST_SKIP() << "needs root (to act as another account) and the account nobody";
    // What the install does: the folder to the group (a group number of the test's own).
    const gid_t group = unusedGroupId();
    ASSERT_NE(group, 0u);
    SharedSite site(5, group);
    const QString userFolder = site.root() + QStringLiteral("/user");
    {
        using namespace Registry;
        const ScopedHiveLocations here({site.root(), userFolder});
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Norvane"), 0,
                                 QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    QDir(userFolder).removeRecursively();
    const QString lockFile = site.machineHive() + QStringLiteral(".lock");
    ASSERT_TRUE(QFile::exists(lockFile));
    QString customer;
    const QString shipment = firstOpenShipment(site.companyFile(), &customer);
    ASSERT_FALSE(shipment.isEmpty());

    // Made for the group from the start, with nothing to repair.
    expectSharedTree(site.root(), group);
    EXPECT_EQ(SiteFiles::secureTree(site.root(), group), QStringList());

    // A copy the account nobody can reach, wherever the build folder is (CI may build under
    // a home folder closed to other accounts).
    QTemporaryDir probeDir;
    const QString probe = probeDir.filePath(QStringLiteral("tm_site_probe"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(SITE_PROBE), probe));
    ASSERT_EQ(::chmod(QFile::encodeName(probeDir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(probe).constData(), 0755), 0);
    const QString probeUser = QDir::tempPath(); // the probe's own hive is never written
    const QList<QStringList> actions = {
        {QStringLiteral("read-users"), site.siteFolder()},
        {QStringLiteral("write-company"), site.companyFile()},
        {QStringLiteral("write-file"), site.systemFile()},
        {QStringLiteral("write-file"), site.machineHive()},
        {QStringLiteral("write-file"), lockFile},
        {QStringLiteral("write-hive"), site.root(), probeUser},
        {QStringLiteral("invoice"), site.siteFolder(), customer, shipment},
    };
    const QStringList files = {site.systemFile(), site.companyFile(), site.machineHive(), lockFile};
    QList<QByteArray> before;
    for (const QString& file : files)
        before << bytesOf(file);

    for (const QStringList& action : actions) {
        const RunResult outsider = runAsNobody(probe, action, {});
        EXPECT_EQ(outsider.exitCode, 1) << qPrintable(action.join(u' ') + u'\n' + outsider.output);
        EXPECT_TRUE(outsider.output.section(u'\n', -1).startsWith(QLatin1String("refused")))
            << qPrintable(outsider.output);
    }
    // The outsider's sign-on says why and what to do, not that there is no site.
    const QString told = runAsNobody(probe, actions.last(), {}).output;
    EXPECT_TRUE(told.contains(QStringLiteral("is open only to the members of the group")) &&
                told.contains(QStringLiteral("adduser nobody")) &&
                told.contains(QStringLiteral("log out and log in again")))
        << qPrintable(told);
    // Even with the folder open to passers-by, the files themselves stay closed.
    ASSERT_EQ(::chmod(QFile::encodeName(site.root()).constData(), 02771), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(site.siteFolder()).constData(), 02771), 0);
    for (const QStringList& action : actions.mid(0, 5))
        EXPECT_EQ(runAsNobody(probe, action, {}).exitCode, 1) << qPrintable(action.join(u' '));
    ASSERT_EQ(::chmod(QFile::encodeName(site.root()).constData(), 02770), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(site.siteFolder()).constData(), 02770), 0);
    for (int i = 0; i < files.size(); ++i)
        EXPECT_EQ(bytesOf(files[i]), before[i]) << qPrintable(files[i]);

    // A member of the group does all the program needs, and what it makes or replaces
    // belongs to the group with the same modes.
    for (const QStringList& action : actions) {
        const RunResult member = runAsNobody(probe, action, {group});
        EXPECT_EQ(member.exitCode, 0) << qPrintable(action.join(u' ') + u'\n' + member.output);
        EXPECT_TRUE(member.output.endsWith(QLatin1String("done"))) << qPrintable(member.output);
    }
    expectSharedTree(site.root(), group);

    // A read-only home folder: the user's settings cannot be kept, which is said in one
    // sentence; nothing is made more open to get the write through.
    QTemporaryDir home;
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    const RunResult readOnlyHome =
        runAsNobody(probe,
                    {QStringLiteral("write-user-hive"), site.root(),
                     home.path() + QStringLiteral("/.config/tallymerge")},
                    {group});
    EXPECT_EQ(readOnlyHome.exitCode, 1);
    EXPECT_TRUE(readOnlyHome.output.contains(
        QStringLiteral("Settings cannot be kept in the folder \"%1/.config/tallymerge\"")
            .arg(home.path())))
        << qPrintable(readOnlyHome.output);
    EXPECT_EQ(modeOf(home.path()), 0755u);
    // The probe's write-file opened the files without changing them; the company changed.
    EXPECT_NE(bytesOf(site.companyFile()), before[1]);
}
