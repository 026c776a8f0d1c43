// The administration command: users without the sample accounts, and the repair of a
// shared folder an older install left open to everyone.
#include "sitefixture.h"

#include <accpac/audit.h>
#include <accpac/session.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <sqlite3.h>

#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>

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

// Takes the write lock of the file as another program would (a shell left in a
// transaction); closing the connection gives it back.
sqlite3* holdWriteLock(const QString& file)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    return db;
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
    EXPECT_TRUE(r.output.contains(sub + QStringLiteral("/planted"))) << qPrintable(r.output);
    // Other accounts lose every right; nothing gains one it did not have.
    EXPECT_EQ(modeOf(root), SiteFiles::SharedFolderMode);
    EXPECT_EQ(modeOf(sub), 02750u);
    EXPECT_EQ(modeOf(root + QStringLiteral("/HKEY_LOCAL_MACHINE.reg")), SiteFiles::SharedFileMode);
    EXPECT_EQ(modeOf(sub + QStringLiteral("/system.db")), 0640u);
    EXPECT_EQ(modeOf(sub + QStringLiteral("/private")), 0600u);
    // What the group cannot fully use is told, with the command that would open it.
    for (const char* kept : {"site\" keeps the mode 2750", "system.db\" keeps the mode 640",
                             "private\" keeps the mode 600"})
        EXPECT_TRUE(r.output.contains(QLatin1String(kept))) << kept << qPrintable(r.output);
    EXPECT_EQ(r.output.count(u'\n'), 3) << qPrintable(r.output);
    // The link's target outside is left exactly as it was.
    EXPECT_EQ(modeOf(outside), 0644u);
    EXPECT_TRUE(SiteFiles::isSymbolicLink(sub + QStringLiteral("/planted")));

    ASSERT_TRUE(QFile::remove(sub + QStringLiteral("/planted")));
    r = admin({"secure", "--group", QString::fromLocal8Bit(own->gr_name), root});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    EXPECT_TRUE(r.output.endsWith(QLatin1String("only its members may read or change it.")));
}

TEST(SiteAdmin, MistakesAreRefusedInOneSentenceAndChangeNothing)
{
    SharedSite site;
    const QStringList siteArg = {QStringLiteral("--site"), site.siteFolder()};
    const QString idRule = QStringLiteral("A user ID has 1 to 8 characters, letters A to Z, "
                                          "digits and _ only, and begins with a letter; \"%1\" "
                                          "does not.");
    struct Case
    {
        QStringList args;
        QByteArray input;
        QString says;
    };
    const Case cases[] = {
        {{"grant", "NOSUCH", "SAMINC", "OE", "OECLERK"},
         {},
         "There is no user NOSUCH in this site."},
        {{"grant", "clerk", "NOCO", "OE", "OECLERK"}, {}, "There is no company NOCO in this site."},
        {{"grant", "CLERK", "SAMINC", "XX", "OECLERK"}, {}, "There is no program XX in this site."},
        {{"grant", "CLERK", "SAMINC", "OE", "NOPROFILE"},
         {},
         "The program OE has no profile NOPROFILE in this site."},
        {{"grant", "CLERK", "", "OE", "OECLERK"}, {}, "There is no company  in this site."},
        {{"add-user", "A,B -"}, "pw\n", idRule.arg("A,B -")},
        {{"add-user", ""}, "pw\n", idRule.arg("")},
        {{"add-user", "NINECHARS"}, "pw\n", idRule.arg("NINECHARS")},
        {{"add-user", "O'NEIL"}, "pw\n", idRule.arg("O'NEIL")},
        {{"add-user", "\"Q\""}, "pw\n", idRule.arg("\"Q\"")},
        {{"add-user", QString::fromUtf8("JÜRGEN")},
         "pw\n",
         idRule.arg(QString::fromUtf8("JÜRGEN"))},
        {{"add-user", "1ABC"}, "pw\n", idRule.arg("1ABC")},
        {{"add-user", "clerk"}, "pw\n", "User CLERK exists already."},
        {{"add-user", "NEWBIE", QString(61, u'n')},
         "pw\n",
         "A user's name has at most 60 characters."},
        {{"add-user", "NEWBIE", " "},
         "pw\n",
         "A user's name cannot be blank; leave it out to name the user by the ID."},
        // The user is checked before the prompt: no password is read at all.
        {{"set-password", "nobody"}, {}, "There is no user NOBODY in this site."},
        {{"set-password", ""}, {}, "A user ID cannot be blank."},
        {{"disable", " "}, {}, "A user ID cannot be blank."},
        // The site's one administrator stays.
        {{"disable", "admin"},
         {},
         "User ADMIN cannot be disabled: the site needs its administrator."},
        {{"delete-user", "ADMIN"},
         {},
         "User ADMIN cannot be deleted: the site needs its administrator."},
    };
    const QByteArray systemBefore = [&] {
        QFile f(site.systemFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(u' ')));
        const RunResult r = admin(siteArg + c.args, c.input);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.output, c.says);
    }
    QFile system(site.systemFile());
    ASSERT_TRUE(system.open(QIODevice::ReadOnly));
    EXPECT_EQ(system.readAll(), systemBefore);

    // A password from a CR LF pipe is the line without its CR.
    RunResult r = admin(siteArg + QStringList{"add-user", "crlf"}, "Line End\r\n");
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    r = admin(siteArg + QStringList{"grant", "crlf", "saminc", "oe", "oeclerk"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.output);
    r = admin(siteArg + QStringList{"grant", "crlf", "saminc", "oe", "oeclerk"});
    EXPECT_EQ(r.exitCode, 0) << "granted twice is granted: " << qPrintable(r.output);
    EXPECT_TRUE(signsOn(site, QStringLiteral("CRLF"), QStringLiteral("Line End")));
}

// Ctrl+C at the password prompt of a real terminal: the program ends and the terminal has
// its echo back.
TEST(SiteAdmin, CtrlCAtThePasswordPromptGivesTheEchoBack)
{
    SharedSite site;
    const QByteArray folder = QFile::encodeName(site.siteFolder());
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(TALLYMERGE_ADMIN, "tallymerge-admin", "--site", folder.constData(), "set-password",
                "CLERK", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    QByteArray shown;
    QElapsedTimer waited;
    waited.start();
    while (!shown.contains("New password for CLERK: ") && waited.elapsed() < 60000) {
        pollfd p{terminal, POLLIN, 0};
        if (::poll(&p, 1, 1000) > 0) {
            char buffer[256];
            const ssize_t n = ::read(terminal, buffer, sizeof buffer);
            if (n <= 0)
                break;
            shown.append(buffer, n);
        }
    }
    ASSERT_TRUE(shown.contains("New password for CLERK: ")) << shown.constData();
    termios settings{};
    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    EXPECT_FALSE(settings.c_lflag & ECHO) << "the password is typed without echo";
    ASSERT_EQ(::write(terminal, "\x03", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    EXPECT_TRUE(settings.c_lflag & ECHO);
    ::close(terminal);
    EXPECT_TRUE(signsOn(site, Sample::ClerkId, Sample::ClerkPassword));
}

// Another program holds the write lock of the site's system file and of the company's: a
// write of each is refused after the lock wait with the file that is busy named.
TEST(SiteAdmin, ABusyFileIsNamedInTheRefusal)
{
    SharedSite site;
    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    ASSERT_TRUE(Accpac::Testing::signOn(*session, site.siteFolder(), Sample::CompanyId,
                                        QStringLiteral("ADMIN"), Sample::AdminPassword));
    auto link = session->OpenDBLink(1, 0);
    auto misc = link->OpenView(QStringLiteral("OE0440"));
    sqlite3* systemLock = holdWriteLock(site.systemFile());
    sqlite3* companyLock = holdWriteLock(site.companyFile());

    // Both wait at once: the administration's write of the system file in its own process.
    QProcess disable;
    disable.setProcessChannelMode(QProcess::MergedChannels);
    disable.start(QStringLiteral(TALLYMERGE_ADMIN), {QStringLiteral("--site"), site.siteFolder(),
                                                     QStringLiteral("disable"), Sample::ClerkId});
    QString companyRefusal;
    try {
        misc->ClearRecord();
        misc->Field(QStringLiteral("MISCCHARGE")).SetValue(QStringLiteral("BUSY"));
        misc->Field(QStringLiteral("DESC")).SetValue(QStringLiteral("Written while busy"));
        misc->Insert();
    } catch (const ComError& e) {
        companyRefusal = e.description();
    }
    EXPECT_EQ(companyRefusal,
              QStringLiteral("View OE0440: the company file \"%1\" is busy with another user's "
                             "or program's work; please try again in a moment")
                  .arg(site.companyFile()));
    ASSERT_TRUE(disable.waitForFinished(60000));
    EXPECT_EQ(disable.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(disable.readAll()).trimmed(),
              QStringLiteral("the site's system file \"%1\" is busy with another user's or "
                             "program's work; please try again in a moment")
                  .arg(site.systemFile()));

    sqlite3_close(systemLock);
    sqlite3_close(companyLock);
    misc->Insert();
    EXPECT_EQ(admin({QStringLiteral("--site"), site.siteFolder(), QStringLiteral("disable"),
                     Sample::ClerkId})
                  .exitCode,
              0);
    EXPECT_FALSE(signsOn(site, Sample::ClerkId, Sample::ClerkPassword));
    EXPECT_EQ(Accpac::checkCompanyFile(site.companyFile()), QStringList());
}
