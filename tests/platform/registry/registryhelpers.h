#pragma once

#include <registry/registry.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <initializer_list>

// Raw access to values through the registry calls, for tests.
namespace RegistryTest {

using namespace Registry;

inline QByteArray utf16(const QString& text, bool terminated = true)
{
    QByteArray data;
    for (const QChar c : text) {
        data.append(char(c.unicode() & 0xFF));
        data.append(char(c.unicode() >> 8));
    }
    if (terminated)
        data.append(2, '\0');
    return data;
}

inline QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

inline LONG setRaw(HKEY root, const QString& path, const QString& name, DWORD type,
                   const QByteArray& data)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(root, path, 0, QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                       DWORD(data.size()));
    RegCloseKey(key);
    return rc;
}

struct RawValue
{
    LONG rc = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    QByteArray data;
};

// Measures the value, then reads it into a buffer of exactly that size.
inline RawValue queryRaw(HKEY root, const QString& path, const QString& name)
{
    RawValue out;
    HKEY key = nullptr;
    out.rc = RegOpenKeyEx(root, path, 0, KEY_READ, &key);
    if (out.rc != ERROR_SUCCESS)
        return out;
    DWORD size = 0;
    out.rc = RegQueryValueEx(key, name, nullptr, &out.type, nullptr, &size);
    if (out.rc == ERROR_SUCCESS) {
        out.data = QByteArray(qsizetype(size), '\xAA');
        out.rc = RegQueryValueEx(key, name, nullptr, &out.type,
                                 reinterpret_cast<BYTE*>(out.data.data()), &size);
        out.data.truncate(size);
    }
    RegCloseKey(key);
    return out;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace RegistryTest
