// The administration command: users without the sample accounts, and the repair of a
// shared folder an older install left open to everyone.
#include "sitefixture.h"

#include <accpac/session.h>

#include <gtest/gtest.h>

#include <grp.h>

namespace {

RunResult admin(const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(TALLYMERGE_ADMIN), args);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll()).trimmed()};
}

bool signsOn(const SharedSite& site, const QString& user, const QString& password,
             QString* message = nullptr)
{
    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    const bool ok =
        Accpac::Testing::signOn(*session, site.siteFolder(), Sample::CompanyId, user, password);
    if (!ok && message)
        *message = session->Errors().Message(0);
    return ok;
}

bool writeFile(const QString& path, mode_t mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("data") == 4 &&
           ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

} // namespace

TEST(SiteAdmin, UsersArePutInPlaceWithoutTheSampleAccounts)
{
    SharedSite site;
    const QStringList siteArg = {QStringLiteral("--site"), site.siteFolder()};
    RunResult r = admin(siteArg + QStringList{"add-user", "bob", "Bob Smith"}, "Secret 1\n");
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_EQ(r.output, QStringLiteral("User BOB added."));
    QString message;
    EXPECT_FALSE(signsOn(site, QStringLiteral("BOB"), QStringLiteral("Secret 1"), &message));
    EXPECT_EQ(message, QStringLiteral("User BOB has no access to company SAMINC."));

    r = admin(siteArg + QStringList{"grant", "bob", "saminc", "oe", "oeclerk"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(signsOn(site, QStringLiteral("BOB"), QStringLiteral("Secret 1")));

    // The sample administrator's password replaced: the old one no longer works.
    r = admin(siteArg + QStringList{"set-password", "ADMIN"}, "Better one\n");
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_FALSE(signsOn(site, QStringLiteral("ADMIN"), Sample::AdminPassword));
    EXPECT_TRUE(signsOn(site, QStringLiteral("ADMIN"), QStringLiteral("Better one")));

    r = admin(siteArg + QStringList{"disable", "bob"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_FALSE(signsOn(site, QStringLiteral("BOB"), QStringLiteral("Secret 1"), &message));
    EXPECT_EQ(message, QStringLiteral("User BOB has been disabled."));
    r = admin(siteArg + QStringList{"unlock", "bob"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(signsOn(site, QStringLiteral("BOB"), QStringLiteral("Secret 1")));

    // Bad input: one clear sentence, nothing changed.
    r = admin(siteArg + QStringList{"set-password", "nobody"}, "x\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("There is no user NOBODY in this site."));
    r = admin(siteArg + QStringList{"set-password", "bob"}, "\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("A password cannot be empty."));
    EXPECT_TRUE(signsOn(site, QStringLiteral("BOB"), QStringLiteral("Secret 1")));
    r = admin({QStringLiteral("--site"), site.root() + QStringLiteral("/none"), "disable", "bob"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.output.startsWith(QLatin1String("No site is set up"))) << qPrintable(r.output);
}

TEST(SiteAdmin, SecureRepairsAnOldInstallAndNeverOpensAnything)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("shared"));
    const QString sub = root + QStringLiteral("/site");
    ASSERT_TRUE(QDir().mkpath(sub));
    ASSERT_EQ(::chmod(QFile::encodeName(root).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(sub).constData(), 0755), 0);
    ASSERT_TRUE(writeFile(root + QStringLiteral("/HKEY_LOCAL_MACHINE.reg"), 0666));
    ASSERT_TRUE(writeFile(sub + QStringLiteral("/system.db"), 0644));
    ASSERT_TRUE(writeFile(sub + QStringLiteral("/private"), 0600));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(writeFile(outside, 0644));
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                        QFile::encodeName(sub + QStringLiteral("/planted")).constData()),
              0);

    // A group that does not exist yet: one sentence, nothing touched.
    RunResult r = admin({"secure", "--group", "tallymerge-no-such-group", root});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, QStringLiteral("The group tallymerge-no-such-group does not exist; create "
                                       "it first (as root: groupadd --system "
                                       "tallymerge-no-such-group)."));
    EXPECT_EQ(modeOf(root), 0777u);

    // The test's own group stands in for the program's.
    const group* own = ::getgrgid(::getegid());
    ASSERT_NE(own, nullptr);
    r = admin({"secure", "--group", QString::fromLocal8Bit(own->gr_name), root});
    EXPECT_EQ(r.exitCode, 1) << qPrintable(r.output); // the planted link is reported
    EXPECT_EQ(r.output.count(u'\n'), 0) << qPrintable(r.output);
    EXPECT_TRUE(r.output.contains(sub + QStringLiteral("/planted"))) << qPrintable(r.output);
    EXPECT_EQ(modeOf(root), SiteFiles::SharedFolderMode);
    EXPECT_EQ(modeOf(sub), SiteFiles::SharedFolderMode);
    EXPECT_EQ(modeOf(root + QStringLiteral("/HKEY_LOCAL_MACHINE.reg")), SiteFiles::SharedFileMode);
    EXPECT_EQ(modeOf(sub + QStringLiteral("/system.db")), SiteFiles::SharedFileMode);
    EXPECT_EQ(modeOf(sub + QStringLiteral("/private")), SiteFiles::SharedFileMode);
    // The link's target outside is left exactly as it was.
    EXPECT_EQ(modeOf(outside), 0644u);
    EXPECT_TRUE(SiteFiles::isSymbolicLink(sub + QStringLiteral("/planted")));

    ASSERT_TRUE(QFile::remove(sub + QStringLiteral("/planted")));
    r = admin({"secure", "--group", QString::fromLocal8Bit(own->gr_name), root});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(r.output.endsWith(QLatin1String("only its members may read or change it.")));
}
