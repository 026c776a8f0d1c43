// A symbolic link planted in place of a lock file, a hive or a company file is refused: the
// link is not followed, its target stays untouched, and the refusal says why.
#include "sitefixture.h"

#include "registryhelpers.h"
#include "temporaryhives.h"

#include <accpac/session.h>

#include <gtest/gtest.h>

using namespace Registry;
using namespace RegistryTest;

namespace {

const QString TestKey = QStringLiteral("Software\\Norvane\\Tallymerge");

bool link(const QString& target, const QString& at)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()) == 0;
}

LONG setValue(const QString& text)
{
    return setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("DSN"), REG_SZ, utf16(text));
}

} // namespace

TEST(SiteLinks, LinkInPlaceOfTheLockFileIsRefused)
{
    TemporaryHives hives;
    ASSERT_EQ(setValue(QStringLiteral("first")), ERROR_SUCCESS);
    const QString lockFile = hives.machineHive() + QStringLiteral(".lock");
    const QByteArray hiveBefore = fileBytes(hives.machineHive());
    const QString target = hives.root() + QStringLiteral("/target");
    ASSERT_TRUE(writeFile(target, "not a lock file"));
    ASSERT_TRUE(QFile::remove(lockFile));
    ASSERT_TRUE(link(target, lockFile));

    EXPECT_EQ(setValue(QStringLiteral("second")), ERROR_CANTWRITE);
    EXPECT_EQ(fileBytes(target), "not a lock file");
    EXPECT_EQ(fileBytes(hives.machineHive()), hiveBefore);
    ASSERT_EQ(hives.reports.size(), 1);
    EXPECT_TRUE(hives.reports.first().contains(lockFile)) << qPrintable(hives.reports.first());
    EXPECT_TRUE(hives.reports.first().contains(QLatin1String("symbolic link")));

    // A dangling link would have made its target: it is not made.
    const QString nowhere = hives.root() + QStringLiteral("/made-through-a-link");
    ASSERT_TRUE(QFile::remove(lockFile));
    ASSERT_TRUE(link(nowhere, lockFile));
    EXPECT_EQ(setValue(QStringLiteral("third")), ERROR_CANTWRITE);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(SiteLinks, LinkInPlaceOfTheHiveIsNeitherReadNorWritten)
{
    TemporaryHives hives;
    ASSERT_EQ(setValue(QStringLiteral("kept elsewhere")), ERROR_SUCCESS);
    const QString target = hives.root() + QStringLiteral("/elsewhere.reg");
    ASSERT_TRUE(QFile::rename(hives.machineHive(), target));
    const QByteArray targetBefore = fileBytes(target);
    ASSERT_TRUE(link(target, hives.machineHive()));

    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("DSN")).rc,
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setValue(QStringLiteral("changed")), ERROR_CANTWRITE);
    EXPECT_EQ(fileBytes(target), targetBefore);
    EXPECT_TRUE(SiteFiles::isSymbolicLink(hives.machineHive()));
    ASSERT_EQ(hives.reports.size(), 1); // told once, not at every read
    EXPECT_TRUE(hives.reports.first().contains(hives.machineHive()));
}

TEST(SiteLinks, LinkInPlaceOfACompanyFileIsRefusedAtSignOn)
{
    SharedSite site;
    const QString moved = site.root() + QStringLiteral("/real-company.db");
    ASSERT_TRUE(QFile::rename(site.companyFile(), moved));
    const QByteArray before = bytesOf(moved);
    ASSERT_TRUE(link(moved, site.companyFile()));

    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    EXPECT_FALSE(Accpac::Testing::signOn(*session, site.siteFolder(), Sample::CompanyId,
                                         QStringLiteral("ADMIN"), Sample::AdminPassword));
    ASSERT_GE(session->Errors().Count(), 1);
    const QString message = session->Errors().Message(0);
    EXPECT_TRUE(message.contains(site.companyFile())) << qPrintable(message);
    EXPECT_TRUE(message.contains(QLatin1String("is a symbolic link"))) << qPrintable(message);
    EXPECT_EQ(bytesOf(moved), before);
    EXPECT_FALSE(QFile::exists(moved + QStringLiteral("-wal")));

    // Its WAL file replaced by a link: refused too, and nothing is made at the target.
    ASSERT_TRUE(QFile::remove(site.companyFile()));
    ASSERT_TRUE(QFile::rename(moved, site.companyFile()));
    const QString nowhere = site.root() + QStringLiteral("/made-through-a-link");
    ASSERT_TRUE(link(nowhere, site.companyFile() + QStringLiteral("-wal")));
    session->Errors().Clear();
    EXPECT_FALSE(Accpac::Testing::signOn(*session, site.siteFolder(), Sample::CompanyId,
                                         QStringLiteral("ADMIN"), Sample::AdminPassword));
    EXPECT_TRUE(session->Errors().Message(0).contains(QLatin1String("-wal")));
    EXPECT_FALSE(QFile::exists(nowhere));
}

// Files made by the program get the group's modes whatever the umask; the user's own
// settings stay private.
TEST(SiteLinks, NewFilesGetTheirModes)
{
    const mode_t saved = ::umask(0);
    SharedSite site;
    EXPECT_EQ(modeOf(site.siteFolder()), SiteFiles::SharedFolderMode);
    EXPECT_EQ(modeOf(site.systemFile()), SiteFiles::SharedFileMode);
    EXPECT_EQ(modeOf(site.companyFile()), SiteFiles::SharedFileMode);
    {
        auto session = Sample::signOn(site.siteFolder());
        ASSERT_TRUE(session);
        EXPECT_EQ(modeOf(site.companyFile() + QStringLiteral("-wal")), SiteFiles::SharedFileMode);
        EXPECT_EQ(modeOf(site.companyFile() + QStringLiteral("-shm")), SiteFiles::SharedFileMode);
    }
    {
        TemporaryHives hives;
        ASSERT_EQ(setValue(QStringLiteral("x")), ERROR_SUCCESS);
        ASSERT_EQ(setRaw(HKEY_CURRENT_USER, TestKey, QStringLiteral("Security"), REG_SZ,
                         utf16(QStringLiteral("y"))),
                  ERROR_SUCCESS);
        EXPECT_EQ(modeOf(hives.machineHive()), SiteFiles::SharedFileMode);
        EXPECT_EQ(modeOf(hives.machineHive() + QStringLiteral(".lock")), SiteFiles::SharedFileMode);
        EXPECT_EQ(modeOf(hives.userFolder()), SiteFiles::PrivateFolderMode);
        EXPECT_EQ(modeOf(hives.userHive()), SiteFiles::PrivateFileMode);
        EXPECT_EQ(modeOf(hives.userHive() + QStringLiteral(".lock")), SiteFiles::PrivateFileMode);
    }
    ::umask(saved);
}
