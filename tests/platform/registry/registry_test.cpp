#include "registryhelpers.h"
#include "temporaryhives.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace RegistryTest;

namespace {

const QString TestKey = QStringLiteral("Software\\Norvane\\Test");

struct Sample
{
    const char* name;
    DWORD type;
    QByteArray data;
};

} // namespace

// Every kind of value comes back byte for byte after going through the hive file, and
// the file is a .reg export with each value in the form its data allows.
TEST(Registry, EveryValueRoundTripsThroughTheHiveFile)
{
    TemporaryHives hives;
    QByteArray longBinary;
    for (int i = 0; i < 200; ++i)
        longBinary.append(char(i));
    const QList<Sample> samples = {
        {"Plain", REG_SZ, utf16(QStringLiteral("a \\ b \" c"))},
        {"Unicode", REG_SZ, utf16(QString::fromUtf8("Café € 5 中 \xF0\x9F\x98\x80"))},
        {"Empty", REG_SZ, utf16(QString())},
        {"NoData", REG_SZ, QByteArray()},
        {"Unterminated", REG_SZ, utf16(QStringLiteral("abc"), false)},
        {"EmbeddedNul", REG_SZ, utf16(QStringLiteral("ab")) + utf16(QStringLiteral("cd"))},
        {"TwoLines", REG_SZ, utf16(QStringLiteral("line 1\r\nline 2"))},
        {"OddSize", REG_SZ, bytes({'a', 0, 'b'})},
        {"LoneSurrogate", REG_SZ, bytes({0x00, 0xD8, 0, 0})},
        {"Number", REG_DWORD, bytes({0x2A, 0, 0, 0})},
        {"ShortNumber", REG_DWORD, bytes({1, 2, 3})},
        {"Binary", REG_BINARY, longBinary},
        {"EmptyBinary", REG_BINARY, QByteArray()},
        {"Multi", REG_MULTI_SZ,
         utf16(QStringLiteral("one")) + utf16(QStringLiteral("two")) + bytes({0, 0})},
        {"Expand", REG_EXPAND_SZ, utf16(QStringLiteral("%HOME%\\x"))},
        {"Quad", REG_QWORD, bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {"Odd type", 0x1234, bytes({9})},
        {"", REG_SZ, utf16(QStringLiteral("the default value"))},
        {"Name with \\ and \"", REG_SZ, utf16(QStringLiteral("x"))},
    };
    for (const Sample& s : samples)
        ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QString::fromUtf8(s.name), s.type, s.data),
                  ERROR_SUCCESS)
            << s.name;

    for (const Sample& s : samples) {
        const RawValue read = queryRaw(HKEY_LOCAL_MACHINE, TestKey, QString::fromUtf8(s.name));
        EXPECT_EQ(read.rc, ERROR_SUCCESS) << s.name;
        EXPECT_EQ(read.type, s.type) << s.name;
        EXPECT_EQ(read.data.toHex(), s.data.toHex()) << s.name;
    }

    const QString text = QString::fromUtf8(fileBytes(hives.machineHive()));
    EXPECT_TRUE(text.startsWith(QLatin1String("Windows Registry Editor Version 5.00\n\n")));
    EXPECT_TRUE(text.contains(QLatin1String("[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Test]\n")));
    EXPECT_TRUE(text.contains(QLatin1String("[HKEY_LOCAL_MACHINE\\Software\\Norvane]\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Plain\"=\"a \\\\ b \\\" c\"\n")));
    EXPECT_TRUE(
        text.contains(QString::fromUtf8("\n\"Unicode\"=\"Café € 5 中 \xF0\x9F\x98\x80\"\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Empty\"=\"\"\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"NoData\"=hex(1):\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Unterminated\"=hex(1):61,00,62,00,63,00\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Number\"=dword:0000002a\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"ShortNumber\"=hex(4):01,02,03\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Binary\"=hex:00,01,02,")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Odd type\"=hex(1234):09\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n@=\"the default value\"\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\n\"Name with \\\\ and \\\"\"=\"x\"\n")));
    for (const QString& line : text.split(u'\n'))
        EXPECT_LE(line.size(), 80) << qPrintable(line);

    // Setting the same data again leaves the file exactly as it was.
    const QByteArray before = fileBytes(hives.machineHive());
    for (const Sample& s : samples)
        setRaw(HKEY_LOCAL_MACHINE, TestKey, QString::fromUtf8(s.name), s.type, s.data);
    EXPECT_EQ(fileBytes(hives.machineHive()), before);
}

TEST(Registry, KeysAndValuesBehaveAsInTheRegistry)
{
    TemporaryHives hives;
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, TestKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, TestKey, 0, QString(), REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const QByteArray data = utf16(QStringLiteral("value"));
    EXPECT_EQ(RegSetValueEx(key, QStringLiteral("Name"), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Name"), nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);

    // Opening an existing key; names compare without regard to case.
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\norvane\\TEST"), 0,
                             QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, QStringLiteral("software\\NORVANE\\test"),
                       QStringLiteral("NAME"))
                  .data,
              data);
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Other")).rc,
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\NORVANE\\Test\\Child"),
                     QStringLiteral("x"), REG_SZ, data),
              ERROR_SUCCESS);
    EXPECT_TRUE(fileBytes(hives.machineHive())
                    .contains("\n[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Test\\Child]\n"));

    // A parent created on the way is a key of its own; a subkey opens relative to it.
    HKEY parent = nullptr;
    ASSERT_EQ(
        RegOpenKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Norvane"), 0, KEY_READ, &parent),
        ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyEx(parent, QStringLiteral("Test"), 0, KEY_READ, &key), ERROR_SUCCESS);

    // Size first, then data; a short buffer gets ERROR_MORE_DATA and the size needed.
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueEx(key, QStringLiteral("Name"), nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, DWORD(data.size()));
    QByteArray buffer(4, '\0');
    DWORD small = 4;
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Name"), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &small),
              ERROR_MORE_DATA);
    EXPECT_EQ(small, DWORD(data.size()));

    // Names the hive file cannot hold are refused.
    HKEY writable = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, TestKey, 0, KEY_ALL_ACCESS, &writable),
              ERROR_SUCCESS);
    for (const QString& bad : {QStringLiteral("a\nb"), QString(QChar(0xD800))})
        EXPECT_EQ(RegSetValueEx(writable, bad, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(data.constData()),
                                DWORD(data.size())),
                  ERROR_INVALID_PARAMETER);
    RegCloseKey(writable);

    // A key opened for reading cannot be written, nor can it hold new subkeys.
    EXPECT_EQ(RegSetValueEx(key, QStringLiteral("Name"), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())),
              ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyEx(key, QStringLiteral("New child"), 0, QString(),
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    RegCloseKey(parent);

    // Only the two hives of the program exist.
    EXPECT_EQ(RegOpenKeyEx(HKEY_USERS, QString(), 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST(Registry, MachineHiveIsSharedAndUserHiveIsPerUser)
{
    TemporaryHives hives;
    ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Shared"), REG_SZ,
                     utf16(QStringLiteral("machine"))),
              ERROR_SUCCESS);
    ASSERT_EQ(setRaw(HKEY_CURRENT_USER, TestKey, QStringLiteral("Own"), REG_SZ,
                     utf16(QStringLiteral("first user"))),
              ERROR_SUCCESS);
    EXPECT_TRUE(QFile::exists(hives.machineHive()));
    EXPECT_TRUE(QFile::exists(hives.userHive()));
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Own")).rc,
              ERROR_FILE_NOT_FOUND);

    {
        // A second user of the same machine.
        const Registry::ScopedHiveLocations other(
            {hives.machineFolder(), hives.root() + QLatin1String("/other user")});
        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Shared")).data,
                  utf16(QStringLiteral("machine")));
        EXPECT_EQ(queryRaw(HKEY_CURRENT_USER, TestKey, QStringLiteral("Own")).rc,
                  ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(queryRaw(HKEY_CURRENT_USER, TestKey, QStringLiteral("Own")).data,
              utf16(QStringLiteral("first user")));
}

// Files written by hand or exported elsewhere: CR LF line ends, comments, wrapped hex data,
// UTF-16 with a byte-order mark, root names in any case.
TEST(Registry, ReadsExportsWrittenElsewhere)
{
    TemporaryHives hives;
    QDir().mkpath(hives.machineFolder());
    const QString exported =
        QString::fromUtf8("Windows Registry Editor Version 5.00\r\n"
                          "\r\n"
                          "; a comment\r\n"
                          "[hkey_local_machine\\Software\\Norvane\\Tallymerge]\r\n"
                          "\"DSN\"=\"Sample \\\"Company\\\" \\\\ é\"\r\n"
                          "\"Wrapped\"=hex(7):6f,00,6e,00,65,00,00,00,\\\r\n"
                          "  74,00,77,00,6f,00,00,00,00,00\r\n"
                          "\"Flag\"=dword:FFFFFFFF\r\n");
    const QByteArray bom("\xFF\xFE");
    const QList<QByteArray> encodings = {exported.toUtf8(), bom + utf16(exported, false)};
    for (const QByteArray& file : encodings) {
        ASSERT_TRUE(writeFile(hives.machineHive(), file));
        const QString key = QStringLiteral("Software\\Norvane\\Tallymerge");
        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, key, QStringLiteral("DSN")).data,
                  utf16(QString::fromUtf8("Sample \"Company\" \\ é")));
        const RawValue wrapped = queryRaw(HKEY_LOCAL_MACHINE, key, QStringLiteral("Wrapped"));
        EXPECT_EQ(wrapped.type, REG_MULTI_SZ);
        EXPECT_EQ(wrapped.data, utf16(QStringLiteral("one")) + utf16(QStringLiteral("two")) +
                                    QByteArray(2, '\0'));
        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, key, QStringLiteral("Flag")).data,
                  QByteArray(4, '\xFF'));
    }
    EXPECT_TRUE(hives.reports.isEmpty());
}

// Two copies of the program writing to one hive at the same moment lose nothing. The hives
// go to a memory file system where there is one, as a thousand flushes to disk would take
// many seconds and locking and merging are what is tested here.
TEST(Registry, TwoWritersAtOnceLoseNothing)
{
    const QString shm = QStringLiteral("/dev/shm");
    TemporaryHives hives(QFileInfo(shm).isWritable() ? shm : QDir::tempPath());
    constexpr int Count = 500;
    QProcess first;
    QProcess second;
    const auto start = [&](QProcess& process, const QString& name) {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(REGISTRY_WRITER),
                      {hives.machineFolder(), hives.userFolder(), name, QString::number(Count)});
    };
    start(first, QStringLiteral("first"));
    start(second, QStringLiteral("second"));
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Race"), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    int found = 0;
    for (const QString& name : {QStringLiteral("first"), QStringLiteral("second")}) {
        for (int i = 0; i < Count; ++i) {
            QByteArray buffer(64, '\0');
            DWORD size = DWORD(buffer.size());
            if (RegQueryValueEx(key, name + u'-' + QString::number(i), nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS &&
                buffer.left(size) == utf16(name + u' ' + QString::number(i)))
                ++found;
        }
    }
    RegCloseKey(key);
    EXPECT_EQ(found, 2 * Count);
    // Nothing but the hive and its lock file is left in the folder.
    EXPECT_EQ(QDir(hives.machineFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
