#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// The operating-system calls the program makes, in their Windows shapes. On this machine
// they are served by the stand-in in platform/system; the program does not know the
// difference.

using DWORD = std::uint32_t;
using BOOL = int;

// The record filled by GetVersionExA; its size field must be set to 148 before the call.
struct OSVERSIONINFOA
{
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// Platform identifiers. A machine that is not Windows at all reports VER_PLATFORM_POSIX,
// with the kernel's version as major and minor.
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr DWORD VER_PLATFORM_POSIX = 0x100;

// Fills the record with the running system's version. Fails (returns 0) when the size field
// is not 148.
BOOL GetVersionExA(OSVERSIONINFOA* info);

struct INITCOMMONCONTROLSEX
{
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};
constexpr DWORD ICC_USEREX_CLASSES = 0x200;

// Registers the extended common-control classes. Qt's widgets need no registration, so the
// call only checks its record (size 8) and counts itself for the tests.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);

// The system's default action for a document or a web address ("open"). Returns a value
// above 32 on success, as the shell does.
std::intptr_t ShellExecuteOpen(const QString& target);

// Starts the program file at `program` (no arguments) in a normal window with the focus, as
// the shell does for a program. Returns a value above 32 on success, else the shell's error:
// 2 the file does not exist, 5 it may not be run (a folder, no permission to execute), 11
// it is not a program this system can start.
std::intptr_t ShellStartProgram(const QString& program);

namespace SystemStandIn {

// What GetVersionExA reports from now on (tests); clearVersion() returns to the real one.
void setVersion(DWORD platformId, DWORD major, DWORD minor);
void clearVersion();

// The number of successful InitCommonControlsEx calls so far.
int commonControlInits();

// What the shell's open does with a target: by default the desktop's own handler (a web
// browser for a web address); tests record the target instead. An empty function restores
// the default.
using ShellOpener = std::function<bool(const QString& target)>;
void setShellOpener(ShellOpener opener);

// Where a Windows drive lives on this machine: "c:\autoexec.bat" is the file "autoexec.bat"
// in the folder of drive C. By default /var/lib/tallymerge/drive_c; tests point it elsewhere.
QString driveFolder();
void setDriveFolder(const QString& folder);
QString mapPath(const QString& windowsPath);

// A path the program got from the platform (a registry value, say) as a path of this
// machine: one with a drive letter is mapped as above; any other keeps its place, with "\"
// read as the folder separator, so that a folder + "\NAME.EXE" names a file in that folder.
QString localPath(const QString& path);

} // namespace SystemStandIn
