#include <core/getos.h>

#include <core/reporters.h>

#include <system/windows.h>

namespace modGeneral {

QString GetOS()
{
    try {
        OSVERSIONINFOA info;
        info.dwOSVersionInfoSize = 148;
        if (!GetVersionExA(&info))
            return {};
        const DWORD major = info.dwMajorVersion;
        const DWORD minor = info.dwMinorVersion;
        switch (info.dwPlatformId) {
        case VER_PLATFORM_WIN32s:
            return QStringLiteral("Microsoft Win32s");
        case VER_PLATFORM_WIN32_WINDOWS:
            if (major == 4 && minor == 0)
                return QStringLiteral("Microsoft Windows 95");
            if (major == 4 && minor == 10)
                return QStringLiteral("Microsoft Windows 98");
            if (major == 4 && minor == 90)
                return QStringLiteral("Microsoft Windows Millennium Edition");
            return {};
        case VER_PLATFORM_WIN32_NT:
            if (major <= 4)
                return QStringLiteral("Microsoft Windows NT");
            if (major == 5 && minor == 0)
                return QStringLiteral("Microsoft Windows 2000");
            if (major == 5 && minor == 1)
                return QStringLiteral("Microsoft Windows XP");
            if (major == 5 && minor == 2)
                return QStringLiteral("Microsoft Windows Server 2003 family");
            return {};
        default:
            return {};
        }
    } catch (const std::exception& failure) {
        reportFailure(failure, QStringLiteral("modGeneral.GetOS"), Reporter::Messenger);
        return {};
    }
}

} // namespace modGeneral
