#pragma once

#include <QString>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdint>
#endif

// The registry calls the settings store makes, in the shape of the Win32 registry API:
// HKEY handles, REG_* value types, ERROR_* results, data as bytes with a size in bytes.
// Strings travel as UTF-16 (the wide-character form of the API): a REG_SZ value's data is
// UTF-16LE, normally with one terminating NUL character included in its size.
//
// Under _WIN32 these call the real registry. Elsewhere they work on hive files (see
// registry/hivelocations.h): HKEY_LOCAL_MACHINE is one machine-wide hive, HKEY_CURRENT_USER
// one hive per user. Callers write `using namespace Registry;` and then use the Win32 names.
namespace Registry {

#ifdef _WIN32
using ::BYTE;
using ::DWORD;
using ::HKEY;
using ::LONG;
using ::REGSAM;
#else
using BYTE = unsigned char;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using REGSAM = DWORD;
using HKEY = struct HKEY__*;

// The predefined roots carry the same handle values as on Windows (sign-extended).
inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(std::intptr_t(std::int32_t(0x80000000)));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(std::intptr_t(std::int32_t(0x80000001)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(std::intptr_t(std::int32_t(0x80000002)));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(std::intptr_t(std::int32_t(0x80000003)));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Key options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_KEY_DELETED = 1018;
#endif

// Creates the subkey (and any missing parents) or opens it if it exists. An empty subKey
// opens hKey itself again. *disposition (optional) tells which happened.
LONG RegCreateKeyEx(HKEY hKey, const QString& subKey, DWORD reserved, const QString& keyClass,
                    DWORD options, REGSAM samDesired, const void* securityAttributes, HKEY* result,
                    DWORD* disposition);

// Opens an existing subkey; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyEx(HKEY hKey, const QString& subKey, DWORD options, REGSAM samDesired, HKEY* result);

// Reads a value (an empty name means the key's default value). With data null, only the
// type and the size in bytes are returned; with a buffer too small, ERROR_MORE_DATA and the
// size needed. The data comes back exactly as stored: no NUL is added or removed.
LONG RegQueryValueEx(HKEY hKey, const QString& valueName, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* cbData);

// Stores a value of any type, the data taken exactly as given.
LONG RegSetValueEx(HKEY hKey, const QString& valueName, DWORD reserved, DWORD type,
                   const BYTE* data, DWORD cbData);

#ifdef _WIN32
using ::RegCloseKey; // same signature as the system's: use it as it is
#else
LONG RegCloseKey(HKEY hKey);
#endif

} // namespace Registry
