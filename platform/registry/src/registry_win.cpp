// The registry calls on Windows: the real registry, through the wide-character API.

#include <registry/registry.h>

namespace Registry {

namespace {
LPCWSTR wide(const QString& text)
{
    return text.isNull() ? nullptr : reinterpret_cast<LPCWSTR>(text.utf16());
}
} // namespace

LONG RegCreateKeyEx(HKEY hKey, const QString& subKey, DWORD reserved, const QString& keyClass,
                    DWORD options, REGSAM samDesired, const void* securityAttributes, HKEY* result,
                    DWORD* disposition)
{
    QString writableClass = keyClass;
    return ::RegCreateKeyExW(
        hKey, wide(subKey), reserved,
        writableClass.isNull() ? nullptr : reinterpret_cast<LPWSTR>(writableClass.data()), options,
        samDesired, static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes)),
        result, disposition);
}

LONG RegOpenKeyEx(HKEY hKey, const QString& subKey, DWORD options, REGSAM samDesired, HKEY* result)
{
    return ::RegOpenKeyExW(hKey, wide(subKey), options, samDesired, result);
}

LONG RegQueryValueEx(HKEY hKey, const QString& valueName, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* cbData)
{
    return ::RegQueryValueExW(hKey, wide(valueName), reserved, type, data, cbData);
}

LONG RegSetValueEx(HKEY hKey, const QString& valueName, DWORD reserved, DWORD type,
                   const BYTE* data, DWORD cbData)
{
    return ::RegSetValueExW(hKey, wide(valueName), reserved, type, data, cbData);
}

} // namespace Registry
