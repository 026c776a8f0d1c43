#include <system/windows.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <sys/utsname.h>

#include <cstring>
#include <optional>

namespace {

struct ForcedVersion
{
    DWORD platformId, major, minor;
};

std::optional<ForcedVersion>& forcedVersion()
{
    static std::optional<ForcedVersion> version;
    return version;
}

int& initCount()
{
    static int count = 0;
    return count;
}

SystemStandIn::ShellOpener& shellOpener()
{
    static SystemStandIn::ShellOpener opener;
    return opener;
}

QString& driveC()
{
    static QString folder = QStringLiteral("/var/lib/tallymerge/drive_c");
    return folder;
}

} // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return 0;
    if (const auto& forced = forcedVersion()) {
        info->dwPlatformId = forced->platformId;
        info->dwMajorVersion = forced->major;
        info->dwMinorVersion = forced->minor;
        return 1;
    }
    utsname name{};
    if (uname(&name) != 0)
        return 0;
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build);
    info->dwPlatformId = VER_PLATFORM_POSIX;
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    const QByteArray description = QByteArray(name.sysname) + ' ' + name.release;
    qstrncpy(info->szCSDVersion, description.constData(), sizeof info->szCSDVersion);
    return 1;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init)
{
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return 0;
    ++initCount();
    return 1;
}

std::intptr_t ShellExecuteOpen(const QString& target)
{
    // 2 is the shell's "file not found"; any value above 32 means success.
    if (shellOpener())
        return shellOpener()(target) ? 42 : 2;
    const QUrl url = QUrl::fromUserInput(target);
    return url.isValid() && QDesktopServices::openUrl(url) ? 42 : 2;
}

std::intptr_t ShellStartProgram(const QString& program)
{
    // The shell's results: 2 file not found, 5 access denied, 11 bad format, above 32 done.
    // A NUL would cut the path short on its way to the system and start another file.
    if (program.isEmpty() || program.contains(QChar(0)))
        return 2;
    const QFileInfo file(SystemStandIn::localPath(program));
    if (!file.exists())
        return 2;
    if (!file.isFile() || !file.isExecutable())
        return 5;
    // The program gets a window of its own from the desktop, which gives it the focus; it
    // reads nothing from the program's input and writes nothing into its output.
    QProcess process;
    process.setProgram(file.absoluteFilePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached() ? 42 : 11;
}

namespace SystemStandIn {

void setVersion(DWORD platformId, DWORD major, DWORD minor)
{
    forcedVersion() = ForcedVersion{platformId, major, minor};
}

void clearVersion()
{
    forcedVersion().reset();
}

void setShellOpener(ShellOpener opener)
{
    shellOpener() = std::move(opener);
}

int commonControlInits()
{
    return initCount();
}

QString driveFolder()
{
    return driveC();
}

void setDriveFolder(const QString& folder)
{
    driveC() = folder;
}

QString mapPath(const QString& windowsPath)
{
    QString path = windowsPath;
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':'))
        path = path.mid(2);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // Resolved against the drive's root first, so that ".." never leaves the drive.
    path = QDir::cleanPath(QLatin1Char('/') + path);
    while (path.startsWith(QLatin1String("/..")))
        path = path.mid(3);
    return QDir::cleanPath(driveC() + QLatin1Char('/') + path);
}

QString localPath(const QString& path)
{
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter())
        return mapPath(path);
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
}

} // namespace SystemStandIn
