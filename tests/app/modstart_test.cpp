#include <app/modstart.h>

#include <core/appstate.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <registry/hivelocations.h>
#include <system/windows.h>

#include <scriptedboxes.h>

#include "startupwindows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A machine of its own for each test: registry hives and drive C in a temporary folder.
class StartUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        Registry::setHiveLocations(
            {m_dir.filePath(QStringLiteral("machine")), m_dir.filePath(QStringLiteral("user"))});
        SystemStandIn::setDriveFolder(m_dir.filePath(QStringLiteral("c")));
        // The sign-on is cancelled: start-up ends after the termination message.
        Accpac::Testing::scriptSignonCancel();
    }
    void TearDown() override
    {
        releaseSplashes();
        SystemStandIn::clearVersion();
        Accpac::Testing::clearSignonScript();
    }

    // The boxes start-up showed, less the termination message that ends a test's start-up.
    static QStringList startUpBoxes(const ScriptedBoxes& boxes)
    {
        QStringList texts;
        for (const auto& box : boxes.shown) {
            if (box.title != QLatin1String("Program Termination"))
                texts << box.text;
        }
        return texts;
    }

    QString setting(const QString& name) const
    {
        return Read_RegString(Registry::HKEY_LOCAL_MACHINE,
                              QString::fromLatin1(Setting::SettingsKey), name,
                              QStringLiteral("<absent>"));
    }
    QByteArray autoexec() const
    {
        QFile file(SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }

    QTemporaryDir m_dir;
};

const QByteArray AddedLines = " \r\nREM Added by the Norvane installation program:\r\n"
                              "SET PATH=C:\\PROGRA~1\\ACCPAC\\RUNTIME;%PATH%\r\n";

} // namespace

TEST_F(StartUp, StampsTheVersionAndAppendsTheSearchPathOnTheFirstStartOnly)
{
    ScriptedBoxes boxes;
    modStart::Main();
    EXPECT_EQ(setting(QStringLiteral("Version")), modStart::ProgramVersion());
    EXPECT_EQ(setting(QStringLiteral("Name")), QStringLiteral("Tallymerge"));
    EXPECT_EQ(autoexec(), AddedLines);

    modStart::Main();
    EXPECT_EQ(autoexec(), AddedLines);
    EXPECT_TRUE(startUpBoxes(boxes).isEmpty());
}

TEST_F(StartUp, ACancelledSignOnEndsWithTheTerminationMessageAlone)
{
    ScriptedBoxes boxes;
    EXPECT_EQ(modStart::ShowMainWindow(), nullptr);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Program Termination"));
    EXPECT_EQ(boxes.shown[0].icon, modGeneral::MsgIcon::Critical);
    EXPECT_EQ(
        boxes.shown[0].text,
        QStringLiteral("The Sage Accpac signon has failed or was cancelled.\r\nPlease check your "
                       "signon credentials.\r\n\nThe program will be terminated."));
}

TEST_F(StartUp, KeepsWhatAutoexecHeldAndOnlyXpInitialisesCommonControls)
{
    QDir().mkpath(SystemStandIn::driveFolder());
    QFile file(SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("@ECHO OFF\r\n");
    file.close();

    ScriptedBoxes boxes;
    SystemStandIn::setVersion(VER_PLATFORM_WIN32_NT, 5, 0);
    const int before = SystemStandIn::commonControlInits();
    modGeneral::IsWinXP = false;
    modStart::Main();
    EXPECT_FALSE(modGeneral::IsWinXP);
    EXPECT_EQ(SystemStandIn::commonControlInits(), before);
    EXPECT_EQ(autoexec(), QByteArray("@ECHO OFF\r\n") + AddedLines);

    SystemStandIn::setVersion(VER_PLATFORM_WIN32_NT, 5, 1);
    modStart::Main();
    EXPECT_TRUE(modGeneral::IsWinXP);
    EXPECT_EQ(SystemStandIn::commonControlInits(), before + 1);
    modGeneral::IsWinXP = false;
}

TEST_F(StartUp, AnAutoexecThatCannotBeOpenedIsReportedAndStartUpGoesOn)
{
    // A folder where the file should be: no one, root included, can open it for appending.
    ASSERT_TRUE(QDir().mkpath(SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat"))));
    ScriptedBoxes boxes;
    modStart::Main();
    // The sign-on, and with it the termination, follows the splash.
    ASSERT_EQ(boxes.shown.size(), 1);
    ASSERT_EQ(visibleWindows<frmSplash>().size(), 1);
    visibleWindows<frmSplash>().front()->Unload();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Program Termination"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("75; Path/File access error\r\n\nIn Procedure: modStart.Main.\r\n\n"
                             "Please contact Norvane if the error occurs frequenly."));
    EXPECT_EQ(setting(QStringLiteral("Version")), modStart::ProgramVersion());
}

TEST_F(StartUp, AnAutoexecThatIsASymbolicLinkIsNeverWrittenThrough)
{
    // Someone planted a link where the file should be: the file it points at stays as it
    // was, and the start reports the file it could not open.
    const QString target = m_dir.filePath(QStringLiteral("elsewhere.txt"));
    QFile elsewhere(target);
    ASSERT_TRUE(elsewhere.open(QIODevice::WriteOnly));
    elsewhere.write("kept\n");
    elsewhere.close();
    ASSERT_TRUE(QDir().mkpath(SystemStandIn::driveFolder()));
    ASSERT_TRUE(QFile::link(target, SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat"))));
    ScriptedBoxes boxes;
    modStart::Main();
    ASSERT_EQ(visibleWindows<frmSplash>().size(), 1);
    visibleWindows<frmSplash>().front()->Unload();
    ASSERT_TRUE(elsewhere.open(QIODevice::ReadOnly));
    EXPECT_EQ(elsewhere.readAll(), QByteArray("kept\n"));
    ASSERT_FALSE(startUpBoxes(boxes).isEmpty());
    EXPECT_TRUE(
        startUpBoxes(boxes).front().startsWith(QStringLiteral("75; Path/File access error")));
}

TEST_F(StartUp, SettingsThatCannotBeWrittenDoNotMakeEveryStartTheFirst)
{
    // A file where the machine's settings folder should be: no version stamp can be kept,
    // so every start finds none.
    QFile blocker(m_dir.filePath(QStringLiteral("machine")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedBoxes boxes;
    for (int start = 0; start < 3; ++start) {
        modStart::Main();
        EXPECT_EQ(setting(QStringLiteral("Version")), QStringLiteral("<absent>"));
    }
    EXPECT_EQ(autoexec(), AddedLines);
    // The refusal is told in a box, once.
    EXPECT_EQ(startUpBoxes(boxes).size(), 1);
    EXPECT_TRUE(startUpBoxes(boxes).value(0).startsWith(
        QStringLiteral("Settings cannot be kept in the folder \"%1\"")
            .arg(m_dir.filePath(QStringLiteral("machine")))))
        << qPrintable(startUpBoxes(boxes).value(0));
}

TEST_F(StartUp, AHiveThatIsASymbolicLinkIsToldInABoxOnce)
{
    // A link planted at the machine hive: it is neither read nor written through, and the
    // user is told once, in a box, however often the settings are used.
    const QString target = m_dir.filePath(QStringLiteral("elsewhere.reg"));
    QFile elsewhere(target);
    ASSERT_TRUE(elsewhere.open(QIODevice::WriteOnly));
    elsewhere.write("kept\n");
    elsewhere.close();
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("machine"))));
    const QString hive = m_dir.filePath(QStringLiteral("machine/HKEY_LOCAL_MACHINE.reg"));
    ASSERT_TRUE(QFile::link(target, hive));
    ScriptedBoxes boxes;
    modStart::Main();
    modStart::Main();
    ASSERT_TRUE(elsewhere.open(QIODevice::ReadOnly));
    EXPECT_EQ(elsewhere.readAll(), QByteArray("kept\n"));
    EXPECT_EQ(startUpBoxes(boxes),
              QStringList({QStringLiteral("The settings file \"%1\" is a symbolic link, which is "
                                          "never followed; remove it to keep settings there.")
                               .arg(hive)}));
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.front().icon, modGeneral::MsgIcon::Exclamation);
}

TEST_F(StartUp, TheSiteTheMachinesSettingsNameIsTheOneSignedOnTo)
{
    ScriptedBoxes boxes;
    const QString before = Accpac::siteFolder();
    modStart::Main();
    EXPECT_EQ(Accpac::siteFolder(), before); // no Site setting: the default stays

    // A server that cannot be reached now: the sign-on tells that, the start does not.
    const QString server = QStringLiteral(
        "host=/nonexistent/tallymerge-socket dbname=books user=billing password=secret");
    Setting::save(Setting::Site, QStringLiteral("  ") + server + QStringLiteral(" "));
    modStart::Main();
    EXPECT_EQ(Accpac::siteFolder(), server);
    EXPECT_TRUE(Accpac::isServerSite(Accpac::siteFolder()));
    EXPECT_FALSE(Accpac::shownSite(server).contains(QLatin1String("secret")));

    const QString folder = m_dir.filePath(QStringLiteral("othersite"));
    Setting::save(Setting::Site, folder);
    modStart::Main();
    EXPECT_EQ(Accpac::siteFolder(), folder);
    EXPECT_FALSE(Accpac::isServerSite(folder));
    Accpac::setSiteFolder(before);
    EXPECT_TRUE(startUpBoxes(boxes).isEmpty());
}
