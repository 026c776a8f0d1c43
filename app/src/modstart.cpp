#include <app/modstart.h>

#include <core/appstate.h>
#include <core/getos.h>
#include <core/log.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/systemlocale.h>
#include <resources/resources.h>
#include <selection/frmmain.h>
#include <settings/settings.h>
#include <windows/frmsplash.h>

#include <accpac/standin.h>
#include <registry/hivelocations.h>
#include <system/comerror.h>
#ifndef _WIN32
#include <system/sitefiles.h>

#include <fcntl.h>
#include <unistd.h>
#endif
#include <system/windows.h>

#include <vrexeditbox/vrexeditbox.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace modStart {
namespace {

// Runs one step of start-up; a failure is reported and start-up goes on.
void step(const std::function<void()>& body)
{
    modGeneral::reportFailures(QStringLiteral("modStart.Main"), modGeneral::Reporter::Messenger,
                               body);
}

// Puts the Accpac run-time folder on the search path of older systems.
void appendSearchPath()
{
    const QString path = SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat"));
    QFile file;
#ifdef _WIN32
    file.setFileName(path);
    const bool opened = file.open(QIODevice::ReadWrite | QIODevice::Append);
#else
    // The drive folder is the machine's shared data: the file is made for the group, and
    // never reached through a symbolic link planted in its place.
    SiteFiles::makeFolder(QFileInfo(path).absolutePath(), SiteFiles::SharedFolderMode);
    const int fd =
        SiteFiles::openNoFollow(path, O_RDWR | O_APPEND | O_CREAT, SiteFiles::SharedFileMode);
    const bool opened =
        fd >= 0 && file.open(fd, QIODevice::ReadWrite | QIODevice::Append, QFile::AutoCloseHandle);
    if (fd >= 0 && !opened)
        ::close(fd);
#endif
    if (!opened)
        throw ComError(75, QStringLiteral("Path/File access error"));
    const QByteArray lines = " \r\n"
                             "REM Added by the Norvane installation program:\r\n"
                             "SET PATH=C:\\PROGRA~1\\ACCPAC\\RUNTIME;%PATH%\r\n";
    // The lines themselves record the first start: a start that finds them (the settings
    // could not keep the version stamp) appends nothing again.
    file.seek(0);
    if (file.readAll().contains(lines.mid(3)))
        return;
    if (file.write(lines) != lines.size() || !file.flush())
        throw ComError(75, QStringLiteral("Path/File access error"));
}

} // namespace

QString ProgramVersion()
{
    return Resources::ProgramVersion();
}

void Main()
{
    // A settings hive or lock file refused (a link in its place, a folder that cannot be
    // written) is told where the user sees it: the desktop starts the program without a
    // terminal. The hives tell each refusal once per run; the box goes to the log too.
    Registry::setHiveReporter([](const QString& message) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [message] {
            modGeneral::MsgBox(message, modGeneral::MsgButtons::OK,
                               modGeneral::MsgIcon::Exclamation, modGeneral::ProgramTitle);
        });
    });
    // The machine's settings may name another site: a folder, or a database server's
    // connection string (its companies are then the ones the sign-on lists). Read before the
    // log's first line, which names the site the program works with.
    QString siteProblem;
    step([&] {
        const QString site = Setting::read(Setting::Site).trimmed();
        if (!site.isEmpty())
            Accpac::setSiteFolder(site);
        siteProblem = Accpac::workstationSiteProblem(site);
    });
    qCInfo(lcApp).noquote() << QStringLiteral("%1 %2 starts; site %3; drive C %4")
                                   .arg(modGeneral::ProgramTitle, ProgramVersion(),
                                        ProgramLog::describeSite(Accpac::siteFolder()),
                                        SystemStandIn::driveFolder());
    // A site string whose login may change the books is refused before anyone signs on:
    // the program ends after the box, without a window.
    if (!siteProblem.isEmpty()) {
        modGeneral::MsgBox(siteProblem, modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Critical,
                           modGeneral::ProgramTitle);
        return;
    }
    SystemLocale::useInEditBoxes();
    // The edit boxes' own messages (an invalid property value) are the program's boxes too.
    VrexEditbox::setMessageHook([](const QString& text, const QString& title) {
        modGeneral::MsgBox(text, modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                           title);
    });
    step([] {
        if (modGeneral::GetOS() == QLatin1String("Microsoft Windows XP")) {
            modGeneral::IsWinXP = true;
            INITCOMMONCONTROLSEX init{8, ICC_USEREX_CLASSES};
            InitCommonControlsEx(&init);
        }
    });
    // The first start after installation is the one that finds no version stamped yet.
    bool firstStart = false;
    step([&] {
        firstStart = Setting::read(Setting::Version).isEmpty();
        Setting::save(Setting::Version, ProgramVersion());
        Setting::save(Setting::Name, modGeneral::ProgramTitle);
    });
    if (firstStart)
        step(appendSearchPath);
    ShowSplash();
}

frmSplash* ShowSplash()
{
    auto* splash = new frmSplash;
    // Once the splash is gone, the main window loads; without a sign-on the program ends.
    QObject::connect(splash, &frmSplash::unloaded, [] {
        if (!ShowMainWindow())
            QCoreApplication::quit();
    });
    splash->show();
    return splash;
}

frmMain* ShowMainWindow()
{
    auto* window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->Form_Load()) {
        // The sign-on failed or was cancelled: the program ends without a window.
        delete window;
        return nullptr;
    }
    window->show();
    return window;
}

} // namespace modStart
