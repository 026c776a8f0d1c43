#include <core/getos.h>

#include <system/windows.h>

#include "qtprint.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct OsCase
{
    DWORD platform, major, minor;
    const char* name;
};

} // namespace

TEST(GetOS, NamesEverySystemOfTheTable)
{
    const std::vector<OsCase> cases = {
        {0, 3, 1, "Microsoft Win32s"},
        {1, 4, 0, "Microsoft Windows 95"},
        {1, 4, 10, "Microsoft Windows 98"},
        {1, 4, 90, "Microsoft Windows Millennium Edition"},
        {1, 4, 20, ""},
        {2, 5, 0, "Microsoft Windows 2000"},
        {2, 5, 1, "Microsoft Windows XP"},
        {2, 5, 2, "Microsoft Windows Server 2003 family"},
        {2, 4, 0, "Microsoft Windows NT"},
        {2, 3, 51, "Microsoft Windows NT"},
        {2, 6, 1, ""},
        {3, 5, 1, ""},
        {VER_PLATFORM_POSIX, 5, 1, ""},
    };
    for (const auto& c : cases) {
        SystemStandIn::setVersion(c.platform, c.major, c.minor);
        EXPECT_EQ(modGeneral::GetOS(), QString::fromLatin1(c.name))
            << c.platform << " " << c.major << "." << c.minor;
    }
    SystemStandIn::clearVersion();
    // This machine is no Windows: it has no name in the table.
    EXPECT_EQ(modGeneral::GetOS(), QString());
}

TEST(SystemStandIn, RecordSizesAreCheckedAndDrivesMapToAFolder)
{
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = 100;
    EXPECT_EQ(GetVersionExA(&info), 0);
    info.dwOSVersionInfoSize = 148;
    ASSERT_EQ(GetVersionExA(&info), 1);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_POSIX);
    EXPECT_NE(std::string(info.szCSDVersion), std::string());

    const int before = SystemStandIn::commonControlInits();
    INITCOMMONCONTROLSEX wrong{4, ICC_USEREX_CLASSES};
    EXPECT_EQ(InitCommonControlsEx(&wrong), 0);
    INITCOMMONCONTROLSEX right{8, ICC_USEREX_CLASSES};
    EXPECT_EQ(InitCommonControlsEx(&right), 1);
    EXPECT_EQ(SystemStandIn::commonControlInits(), before + 1);

    QTemporaryDir dir;
    SystemStandIn::setDriveFolder(dir.path());
    EXPECT_EQ(SystemStandIn::mapPath(QStringLiteral("c:\\autoexec.bat")),
              dir.path() + QStringLiteral("/autoexec.bat"));
    EXPECT_EQ(SystemStandIn::mapPath(QStringLiteral("C:\\PROGRA~1\\ACCPAC\\..\\x.txt")),
              dir.path() + QStringLiteral("/PROGRA~1/x.txt"));
}

TEST(SystemStandIn, PathsNeverLeaveTheDriveFolder)
{
    QTemporaryDir dir;
    SystemStandIn::setDriveFolder(dir.path());
    EXPECT_EQ(SystemStandIn::mapPath(QStringLiteral("c:\\..\\..\\etc\\passwd")),
              dir.path() + QStringLiteral("/etc/passwd"));
}
