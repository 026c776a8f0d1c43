#include <app/modstart.h>

#include <selection/frmmain.h>
#include <windows/frmabout.h>

#include <accpac/standin.h>
#include <system/windows.h>

#include <mainwindowfixture.h>
#include <scriptedboxes.h>

#include "startupwindows.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Start-up on a machine of its own: a company with no orders, settings in private hives,
// drive C in a temporary folder.
class SplashStartUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drive.isValid());
        SystemStandIn::setDriveFolder(m_drive.path());
    }
    void TearDown() override
    {
        for (frmMain* window : visibleWindows<frmMain>())
            window->close();
        releaseSplashes();
        Accpac::Testing::clearSignonScript();
        SystemStandIn::setDriveFolder(QStringLiteral("/var/lib/tallymerge/drive_c"));
    }

    // Runs the program's event loop until something ends it; false when `seconds` passed
    // first.
    static bool runProgram(int seconds)
    {
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        guard.start(seconds * 1000);
        const int result = QApplication::exec();
        return !timedOut && result == 0;
    }

    QTemporaryDir m_drive;
};

frmSplash* theSplash()
{
    const auto splashes = visibleWindows<frmSplash>();
    return splashes.size() == 1 ? splashes.front() : nullptr;
}

} // namespace

TEST_F(SplashStartUp, AClickAKeyOrTheTimerEachShowTheMainWindowOnce)
{
    using Dismiss = std::function<void(frmSplash&)>;
    const QList<std::pair<const char*, Dismiss>> ways = {
        {"a click on a label",
         [](frmSplash& s) {
             QTest::mouseClick(s.findChild<QLabel*>(QStringLiteral("lblProductName")),
                               Qt::LeftButton);
         }},
        {"a key", [](frmSplash& s) { QTest::keyClick(&s, Qt::Key_Space); }},
        {"the timer",
         [](frmSplash& s) {
             QPointer<frmSplash> splash(&s);
             EXPECT_TRUE(
                 QTest::qWaitFor([&] { return splash.isNull() || !splash->isVisible(); }, 20000));
         }},
    };
    for (const auto& [way, dismiss] : ways) {
        SCOPED_TRACE(way);
        MainWindowFixture company({});
        company.scriptSignon();
        modStart::Main();
        // Main returned with the splash up and no sign-on yet.
        QPointer<frmSplash> splash = theSplash();
        ASSERT_FALSE(splash.isNull());
        EXPECT_TRUE(visibleWindows<frmMain>().isEmpty());

        dismiss(*splash);
        EXPECT_EQ(visibleWindows<frmMain>().size(), 1);
        // Another key or click where the splash was, or its timer, shows no second window.
        if (!splash.isNull()) {
            QTest::keyClick(splash.data(), Qt::Key_A);
            splash->Unload();
        }
        QTest::qWait(100);
        EXPECT_TRUE(splash.isNull());
        EXPECT_EQ(visibleWindows<frmMain>().size(), 1);
        for (frmMain* window : visibleWindows<frmMain>())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(company.boxes.shown.isEmpty()) << company.boxes.shown.size();
    }
}

TEST_F(SplashStartUp, TheProgramRunsFromTheSplashToTheMainWindowAndAboutUntilExit)
{
    MainWindowFixture company({});
    company.scriptSignon();
    modStart::Main();
    QPointer<frmMain> main;
    QPointer<frmAbout> about;
    bool aboutOwnedAndModeless = false;
    QTimer::singleShot(50, [&] {
        ASSERT_NE(theSplash(), nullptr);
        QTest::mouseClick(theSplash(), Qt::LeftButton);
        ASSERT_EQ(visibleWindows<frmMain>().size(), 1);
        main = visibleWindows<frmMain>().front();
        // Later, with the splash gone, the program still runs: Help, About; then File, Exit.
        QTimer::singleShot(300, [&] {
            ASSERT_FALSE(main.isNull());
            main->findChild<QAction*>(QStringLiteral("mnuHelpSub_4"))->trigger();
            about = main->findChild<frmAbout*>();
            aboutOwnedAndModeless = about && about->isVisible() && !about->isModal();
            main->findChild<QAction*>(QStringLiteral("mnuFileSub_13"))->trigger();
        });
    });
    EXPECT_TRUE(runProgram(30));
    EXPECT_TRUE(aboutOwnedAndModeless);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main.isNull());
    EXPECT_TRUE(about.isNull());
    EXPECT_TRUE(company.boxes.shown.isEmpty());
}

TEST_F(SplashStartUp, ACancelledSignOnAfterTheSplashEndsTheProgram)
{
    MainWindowFixture company({});
    Accpac::Testing::scriptSignonCancel();
    modStart::Main();
    EXPECT_TRUE(company.boxes.shown.isEmpty());
    QTimer::singleShot(50, [] {
        if (frmSplash* splash = theSplash())
            QTest::keyClick(splash, Qt::Key_Escape);
    });
    EXPECT_TRUE(runProgram(30));
    ASSERT_EQ(company.boxes.shown.size(), 1);
    EXPECT_EQ(company.boxes.shown[0].title, QStringLiteral("Program Termination"));
    EXPECT_TRUE(visibleWindows<frmMain>().isEmpty());
    EXPECT_TRUE(visibleWindows<frmSplash>().isEmpty());
}
