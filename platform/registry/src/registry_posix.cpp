// The registry calls over hive files (every system but Windows).

#include "hivefile.h"

#include <registry/hivelocations.h>
#include <registry/registry.h>

#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cstring>

namespace Registry {

namespace {

// What a handle stands for: a key of one hive file, and the rights it was opened with.
struct OpenKey
{
    QString folder;
    QString rootName;
    QString path;
    REGSAM access = 0;

    HiveFile file() const { return HiveFile(folder, rootName); }
};

QMutex handleMutex;
QHash<quintptr, OpenKey> openKeys;
quintptr nextHandle = 0x1000;

std::optional<OpenKey> resolve(HKEY hKey)
{
    const HiveLocations locations = hiveLocations();
    if (hKey == HKEY_LOCAL_MACHINE)
        return OpenKey{
            locations.machineFolder, QStringLiteral("HKEY_LOCAL_MACHINE"), {}, KEY_ALL_ACCESS};
    if (hKey == HKEY_CURRENT_USER)
        return OpenKey{
            locations.userFolder, QStringLiteral("HKEY_CURRENT_USER"), {}, KEY_ALL_ACCESS};
    QMutexLocker lock(&handleMutex);
    const auto it = openKeys.constFind(reinterpret_cast<quintptr>(hKey));
    if (it == openKeys.constEnd())
        return std::nullopt;
    return *it;
}

HKEY newHandle(const OpenKey& key)
{
    QMutexLocker lock(&handleMutex);
    const quintptr handle = nextHandle;
    nextHandle += 4;
    openKeys.insert(handle, key);
    return reinterpret_cast<HKEY>(handle);
}

// Key and value names are written to the hive file as quoted text, which cannot carry
// control characters or lone surrogates.
bool isStorableName(const QString& text)
{
    return QStringView(text).isValidUtf16() &&
           std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20; });
}

} // namespace

LONG RegCreateKeyEx(HKEY hKey, const QString& subKey, DWORD reserved, const QString& /*keyClass*/,
                    DWORD /*options*/, REGSAM samDesired, const void* /*securityAttributes*/,
                    HKEY* result, DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const auto parent = resolve(hKey);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    if (reserved != 0 || !isStorableName(subKey))
        return ERROR_INVALID_PARAMETER;
    OpenKey key = *parent;
    key.path = Hive::joinPath(parent->path, subKey);
    key.access = samDesired;

    DWORD outcome = REG_OPENED_EXISTING_KEY;
    if (!parent->file().load().hasKey(key.path)) {
        if (!(parent->access & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        const LONG rc = parent->file().update([&](Hive& hive) {
            if (!hive.hasKey(parent->path))
                return ERROR_KEY_DELETED;
            if (hive.ensureKey(key.path))
                outcome = REG_CREATED_NEW_KEY;
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    if (disposition)
        *disposition = outcome;
    *result = newHandle(key);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyEx(HKEY hKey, const QString& subKey, DWORD /*options*/, REGSAM samDesired,
                  HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const auto parent = resolve(hKey);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    OpenKey key = *parent;
    key.path = Hive::joinPath(parent->path, subKey);
    key.access = samDesired;
    if (!key.file().load().hasKey(key.path))
        return ERROR_FILE_NOT_FOUND;
    *result = newHandle(key);
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY hKey, const QString& valueName, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* cbData)
{
    const auto key = resolve(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (reserved || (data && !cbData))
        return ERROR_INVALID_PARAMETER;
    if (!(key->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const Hive hive = key->file().load();
    if (!hive.hasKey(key->path))
        return ERROR_KEY_DELETED;
    const Hive::Value* value = hive.value(key->path, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    const auto size = DWORD(value->data.size());
    if (data) {
        if (*cbData < size) {
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value->data.constData(), size);
    }
    if (cbData)
        *cbData = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY hKey, const QString& valueName, DWORD reserved, DWORD type,
                   const BYTE* data, DWORD cbData)
{
    const auto key = resolve(hKey);
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (reserved != 0 || !isStorableName(valueName))
        return ERROR_INVALID_PARAMETER;
    if (!data && cbData > 0)
        return ERROR_NOACCESS;
    if (!(key->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    const Hive::Value value{valueName, type,
                            QByteArray(reinterpret_cast<const char*>(data), qsizetype(cbData))};
    return key->file().update([&](Hive& hive) {
        if (!hive.hasKey(key->path))
            return ERROR_KEY_DELETED;
        hive.setValue(key->path, value);
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    QMutexLocker lock(&handleMutex);
    return openKeys.remove(reinterpret_cast<quintptr>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // namespace Registry
