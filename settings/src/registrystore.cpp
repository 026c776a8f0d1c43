#include <settings/registrystore.h>

#include <QStringDecoder>

using namespace Registry;

namespace {

const QString UserSettingsKey = QStringLiteral("Software\\Norvane\\Tallymerge\\Program Settings");

QString userSettingsPath(const QString& application, const QString& section)
{
    return UserSettingsKey + u'\\' + application + u'\\' + section;
}

} // namespace

void Create_RegKey(HKEY root, const QString& subkey)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(root, subkey, 0, QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                       &key, &disposition) == ERROR_SUCCESS)
        RegCloseKey(key);
}

QString Read_RegString(HKEY root, const QString& subkey, const QString& valueName,
                       const QString& defaultValue)
{
    // The result of the open is not tested: if it failed, the query below fails on the
    // empty handle and the default is returned.
    HKEY key = nullptr;
    RegOpenKeyEx(root, subkey, 0, KEY_READ, &key);

    QString result = defaultValue;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        // A buffer of as many characters as the data needs, filled with blanks.
        QByteArray buffer;
        for (DWORD i = 0; i < (size + 1) / 2; ++i)
            buffer.append(" \0", 2);
        DWORD read = DWORD(buffer.size());
        // The value may have changed since it was measured; then the default stands.
        if (RegQueryValueEx(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &read) == ERROR_SUCCESS &&
            type == REG_SZ) {
            QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
            const QString text = decoder(buffer);
            const qsizetype nul = text.indexOf(QChar(0));
            result = nul < 0 ? text : text.left(nul);
        }
    }
    if (key)
        RegCloseKey(key);
    return result;
}

void Save_RegString(HKEY root, const QString& subkey, const QString& valueName, const QString& text)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(root, subkey, 0, QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                       &key, &disposition) != ERROR_SUCCESS)
        return;
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        data.append(char(c.unicode() & 0xFF));
        data.append(char(c.unicode() >> 8));
    }
    data.append(2, '\0');
    RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.constData()),
                  DWORD(data.size()));
    RegCloseKey(key);
}

QString Read_UserSetting(const QString& application, const QString& section, const QString& key,
                         const QString& defaultValue)
{
    if (application.isEmpty() || section.isEmpty())
        return defaultValue;
    return Read_RegString(HKEY_CURRENT_USER, userSettingsPath(application, section), key,
                          defaultValue);
}

void Save_UserSetting(const QString& application, const QString& section, const QString& key,
                      const QString& text)
{
    if (application.isEmpty() || section.isEmpty())
        return;
    Save_RegString(HKEY_CURRENT_USER, userSettingsPath(application, section), key, text);
}
