#include "registryhelpers.h"
#include "temporaryhives.h"

#include <settings/settings.h>

#include <gtest/gtest.h>

using namespace RegistryTest;

namespace {

const QString Key = QString::fromLatin1(Setting::SettingsKey);
const QString Default = QStringLiteral("the default");

} // namespace

// What Read_RegString makes of every shape a stored value can have.
TEST(SettingsStore, ReadRegStringOfEveryStoredShape)
{
    TemporaryHives hives;
    const struct
    {
        const char* what;
        DWORD type;
        QByteArray data;
        QString expected;
    } cases[] = {
        {"ordinary text", REG_SZ, utf16(QStringLiteral("MS SQL")), QStringLiteral("MS SQL")},
        {"empty text", REG_SZ, utf16(QString()), QString()},
        {"no data at all", REG_SZ, QByteArray(), QString()},
        {"no terminating NUL", REG_SZ, utf16(QStringLiteral("abcdef"), false),
         QStringLiteral("abcdef")},
        {"embedded NUL", REG_SZ, utf16(QStringLiteral("ab")) + utf16(QStringLiteral("cd")),
         QStringLiteral("ab")},
        {"leading NUL", REG_SZ, utf16(QString()) + utf16(QStringLiteral("x")), QString()},
        {"odd byte count", REG_SZ, bytes({'a', 0, 'b'}), QStringLiteral("ab")},
        {"blanks kept", REG_SZ, utf16(QStringLiteral("  x  ")), QStringLiteral("  x  ")},
        {"number type", REG_DWORD, bytes({1, 0, 0, 0}), Default},
        {"expandable text", REG_EXPAND_SZ, utf16(QStringLiteral("x")), Default},
        {"list of texts", REG_MULTI_SZ, utf16(QStringLiteral("x")) + bytes({0, 0}), Default},
        {"binary", REG_BINARY, utf16(QStringLiteral("x")), Default},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QString::fromLatin1(c.what);
        ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, Key, name, c.type, c.data), ERROR_SUCCESS);
        const QString read = Read_RegString(HKEY_LOCAL_MACHINE, Key, name, Default);
        EXPECT_EQ(read, c.expected);
        EXPECT_FALSE(read.isNull());
    }
    EXPECT_EQ(Read_RegString(HKEY_LOCAL_MACHINE, Key, QStringLiteral("missing value"), Default),
              Default);
    EXPECT_EQ(Read_RegString(HKEY_LOCAL_MACHINE, Key + QLatin1String("\\Missing"),
                             QStringLiteral("ordinary text"), Default),
              Default);
    EXPECT_EQ(Read_RegString(HKEY_CURRENT_USER, Key, QStringLiteral("ordinary text"), Default),
              Default);
}

TEST(SettingsStore, SaveRegStringStoresTerminatedText)
{
    TemporaryHives hives;
    const QString deep = Key + QLatin1String("\\Deeper\\Still");
    const QString text = QString::fromUtf8("Caf\u00e9 \"1\" \\ \u20ac");
    Save_RegString(HKEY_LOCAL_MACHINE, deep, QStringLiteral("Text"), text);
    const RawValue raw = queryRaw(HKEY_LOCAL_MACHINE, deep, QStringLiteral("Text"));
    EXPECT_EQ(raw.rc, ERROR_SUCCESS);
    EXPECT_EQ(raw.type, REG_SZ);
    EXPECT_EQ(raw.data, utf16(text));
    EXPECT_EQ(Read_RegString(HKEY_LOCAL_MACHINE, deep, QStringLiteral("Text"), Default), text);

    // Overwriting, also with the empty text, which then reads as empty and not as default.
    Save_RegString(HKEY_LOCAL_MACHINE, deep, QStringLiteral("TEXT"), QString());
    EXPECT_EQ(Read_RegString(HKEY_LOCAL_MACHINE, deep, QStringLiteral("Text"), Default), QString());
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, deep, QStringLiteral("Text")).data, utf16(QString()));

    Create_RegKey(HKEY_LOCAL_MACHINE, Key + QLatin1String("\\Created"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, Key + QLatin1String("\\Created"), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The store reports nothing: a damaged hive reads as defaults (the stand-in reports it),
// and writes that cannot be made pass silently.
TEST(SettingsStore, FailuresAreSilent)
{
    TemporaryHives hives;
    QDir().mkpath(hives.machineFolder());
    ASSERT_TRUE(writeFile(hives.machineHive(), "[HKEY_LOCAL_MACHINE\\Software]\n\"DSN\"=\"x"));
    EXPECT_EQ(Setting::read(Setting::DBEngine), QStringLiteral("1"));
    EXPECT_EQ(hives.reports.size(), 1);

    const QString blocker = hives.root() + QLatin1String("/file");
    ASSERT_TRUE(writeFile(blocker, "x"));
    const Registry::ScopedHiveLocations blocked(
        {blocker + QLatin1String("/m"), blocker + QLatin1String("/u")});
    Create_RegKey(HKEY_LOCAL_MACHINE, Key);
    Setting::save(Setting::DSN, QStringLiteral("lost"));
    Setting::saveSecurityList(QStringLiteral("lost"));
    EXPECT_EQ(Setting::read(Setting::DSN), QString());
    EXPECT_EQ(Setting::readSecurityList(), QString());
    EXPECT_EQ(fileBytes(blocker), "x");
}

// Settings live in the machine hive, shared by every user; the security list lives in the
// per-user store of each user.
TEST(SettingsStore, SecurityListIsPerUserAndTheRestShared)
{
    TemporaryHives hives;
    EXPECT_EQ(Setting::read(Setting::Configure), QStringLiteral("False"));
    EXPECT_EQ(Setting::read(Setting::PrintInv), QStringLiteral("0"));
    EXPECT_EQ(Setting::read(Setting::PrintInv,
                            QString::fromLatin1(Setting::PrintInvConfigurationDefault)),
              QStringLiteral("1"));
    Setting::save(Setting::Configure, Setting::fromBoolean(true));
    Setting::save(Setting::DSN, QStringLiteral("Sample"));
    Setting::saveSecurityList(QStringLiteral("8E9F,A0B1"));
    EXPECT_EQ(Setting::read(Setting::Configure), QStringLiteral("True"));
    EXPECT_EQ(Setting::readSecurityList(), QStringLiteral("8E9F,A0B1"));

    // Where the list is kept: application, section and key of the per-user store.
    const QString userKey =
        QStringLiteral("Software\\Norvane\\Tallymerge\\Program Settings\\-2147483646\\"
                       "Software\\Norvane\\Tallymerge");
    EXPECT_EQ(Read_RegString(HKEY_CURRENT_USER, userKey, QStringLiteral("Security"), Default),
              QStringLiteral("8E9F,A0B1"));
    EXPECT_EQ(Read_UserSetting(QStringLiteral("-2147483646"),
                               QStringLiteral("Software\\Norvane\\Tallymerge"),
                               QStringLiteral("Security"), Default),
              QStringLiteral("8E9F,A0B1"));
    EXPECT_EQ(Read_RegString(HKEY_LOCAL_MACHINE, Key, QStringLiteral("Security"), Default),
              Default);
    EXPECT_EQ(Read_UserSetting(QStringLiteral("-2147483646"),
                               QStringLiteral("Software\\Norvane\\Tallymerge"),
                               QStringLiteral("Missing"), Default),
              Default);
    EXPECT_EQ(
        Read_UserSetting(QString(), QStringLiteral("Section"), QStringLiteral("Security"), Default),
        Default);

    const Registry::ScopedHiveLocations otherUser(
        {hives.machineFolder(), hives.root() + QLatin1String("/other user")});
    EXPECT_EQ(Setting::read(Setting::DSN), QStringLiteral("Sample"));
    EXPECT_EQ(Setting::read(Setting::Configure), QStringLiteral("True"));
    EXPECT_EQ(Setting::readSecurityList(), QString());
    Setting::saveSecurityList(QStringLiteral("C2D3"));
    EXPECT_EQ(Setting::readSecurityList(), QStringLiteral("C2D3"));
    EXPECT_EQ(Read_RegString(HKEY_CURRENT_USER, userKey, QStringLiteral("Security"), Default),
              QStringLiteral("C2D3"));
}
