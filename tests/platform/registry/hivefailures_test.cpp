#include "registryhelpers.h"
#include "temporaryhives.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace RegistryTest;

namespace {

const QString TestKey = QStringLiteral("Software\\Norvane\\Test");

QStringList asideFiles(const TemporaryHives& hives)
{
    return QDir(hives.machineFolder())
        .entryList({QStringLiteral("HKEY_LOCAL_MACHINE.reg.unreadable-*")}, QDir::Files);
}

// The names of every file in the folder, hidden ones included.
QStringList folderFiles(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// A hive that cannot be parsed is kept under a new name and reported; the settings read as
// empty, and writing afterwards starts a new hive without touching the kept file.
TEST(HiveFailures, UnreadableHiveIsKeptAsideAndReported)
{
    const QByteArray good = "Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Test]\n"
                            "\"Old\"=\"kept\"\n"
                            "\"Binary\"=hex:01,02,03\n";
    const QList<std::pair<const char*, QByteArray>> cases = {
        {"garbage", QByteArray("\x01\x02 this is not a hive \xFF\xFE\x00", 24)},
        {"cut inside a text", good.left(good.indexOf("kept") + 2)},
        {"cut inside hex data", good.left(good.size() - 4) + ",\\"},
        {"cut after a continued line", good.left(good.size() - 4) + ",\\\n"},
        {"empty file", QByteArray()},
        {"no header", good.mid(good.indexOf('['))},
        {"invalid UTF-8", good + "\"Bad\"=\"\xC3\x28\"\n"},
        {"value outside a key", "Windows Registry Editor Version 5.00\n\"Old\"=\"x\"\n"},
        {"other root", "Windows Registry Editor Version 5.00\n[HKEY_USERS\\X]\n"},
        {"deletion entry", good + "\"Old\"=-\n"},
        {"unknown escape", good + "\"Path\"=\"c:\\temp\"\n"},
    };
    for (const auto& [what, content] : cases) {
        SCOPED_TRACE(what);
        TemporaryHives hives;
        QDir().mkpath(hives.machineFolder());
        ASSERT_TRUE(writeFile(hives.machineHive(), content));

        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old")).rc,
                  ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(hives.reports.size(), 1);
        const QStringList aside = asideFiles(hives);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(hives.reports.first().contains(hives.machineHive()));
        EXPECT_TRUE(hives.reports.first().contains(aside.first()));
        const QString kept = hives.machineFolder() + u'/' + aside.first();
        EXPECT_EQ(fileBytes(kept), content);
        EXPECT_FALSE(QFile::exists(hives.machineHive()));

        ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("New"), REG_SZ,
                         utf16(QStringLiteral("fresh"))),
                  ERROR_SUCCESS);
        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("New")).data,
                  utf16(QStringLiteral("fresh")));
        EXPECT_EQ(fileBytes(kept), content);
        EXPECT_EQ(hives.reports.size(), 1);
    }
}

// The first thing to meet a damaged hive may be a write: it too keeps the file, and a second
// damaged file gets a name of its own.
TEST(HiveFailures, WriteOverUnreadableHiveKeepsEveryDamagedFile)
{
    TemporaryHives hives;
    QDir().mkpath(hives.machineFolder());
    ASSERT_TRUE(writeFile(hives.machineHive(), "first damaged file"));
    ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("A"), REG_SZ,
                     utf16(QStringLiteral("1"))),
              ERROR_SUCCESS);
    ASSERT_TRUE(writeFile(hives.machineHive(), "second damaged file"));
    ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("B"), REG_SZ,
                     utf16(QStringLiteral("2"))),
              ERROR_SUCCESS);

    EXPECT_EQ(hives.reports.size(), 2);
    QStringList kept;
    for (const QString& name : asideFiles(hives))
        kept.append(QString::fromUtf8(fileBytes(hives.machineFolder() + u'/' + name)));
    kept.sort();
    EXPECT_EQ(kept, QStringList({QStringLiteral("first damaged file"),
                                 QStringLiteral("second damaged file")}));
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("A")).rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("B")).data,
              utf16(QStringLiteral("2")));
}

// A write that cannot be done returns an error and changes nothing on disk: the old hive
// stays as it was and no temporary file is left behind. Tests may run as root, whom
// permission bits do not stop, so the failures are made in ways that stop root too.
TEST(HiveFailures, FailedWriteLeavesTheOldHiveIntact)
{
    TemporaryHives hives;
    ASSERT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old"), REG_SZ,
                     utf16(QStringLiteral("kept"))),
              ERROR_SUCCESS);
    const QByteArray before = fileBytes(hives.machineHive());
    const QStringList filesBefore = folderFiles(hives.machineFolder());
    const auto expectUnchanged = [&] {
        EXPECT_EQ(fileBytes(hives.machineHive()), before);
        EXPECT_EQ(folderFiles(hives.machineFolder()), filesBefore);
        EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old")).data,
                  utf16(QStringLiteral("kept")));
    };

    {
        // The lock cannot be taken: its path is a folder.
        const QString lockPath = hives.machineHive() + QLatin1String(".lock");
        ASSERT_TRUE(QFile::remove(lockPath));
        ASSERT_TRUE(QDir().mkdir(lockPath));
        EXPECT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old"), REG_SZ,
                         utf16(QStringLiteral("lost"))),
                  ERROR_CANTWRITE);
        EXPECT_EQ(fileBytes(hives.machineHive()), before);
        ASSERT_TRUE(QDir().rmdir(lockPath));
        ASSERT_TRUE(writeFile(lockPath, QByteArray()));
    }
    expectUnchanged();

    {
        // The disk refuses the data half-way: a file size limit far below the new hive.
        struct rlimit saved
        {
        };
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = 64;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const LONG rc = setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Big"), REG_BINARY,
                               QByteArray(4096, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(rc, ERROR_CANTWRITE);
    }
    expectUnchanged();

    if (geteuid() != 0) {
        // Outside CI also a plainly read-only folder.
        ASSERT_TRUE(
            QFile::setPermissions(hives.machineFolder(), QFile::ReadOwner | QFile::ExeOwner));
        EXPECT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old"), REG_SZ,
                         utf16(QStringLiteral("lost"))),
                  ERROR_CANTWRITE);
        QFile::setPermissions(hives.machineFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        expectUnchanged();
        ASSERT_EQ(hives.reports.size(), 1);
        EXPECT_TRUE(hives.reports.first().contains(hives.machineFolder()));
    } else {
        EXPECT_TRUE(hives.reports.isEmpty());
    }
}

// A hive folder that cannot exist (its parent is a file): writes fail, reads find nothing.
TEST(HiveFailures, HiveFolderThatCannotBeCreated)
{
    TemporaryHives hives;
    const QString blocker = hives.root() + QLatin1String("/not a folder");
    ASSERT_TRUE(writeFile(blocker, "a plain file"));
    const Registry::ScopedHiveLocations blocked(
        {blocker + QLatin1String("/machine"), blocker + QLatin1String("/user")});
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, TestKey, 0, QString(), REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_CANTWRITE);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old")).rc,
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fileBytes(blocker), "a plain file");
    // Told once, in one sentence naming the folder, however many writes fail.
    EXPECT_EQ(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old"), REG_SZ,
                     utf16(QStringLiteral("x"))),
              ERROR_CANTWRITE);
    ASSERT_EQ(hives.reports.size(), 1);
    EXPECT_TRUE(hives.reports.first().contains(blocker + QLatin1String("/machine")));
}

// A damaged hive that cannot be set aside (here the lock cannot be taken) is left exactly
// as it is: reported, read as empty, and never replaced by a write.
TEST(HiveFailures, DamagedHiveThatCannotBeSetAsideIsLeftAlone)
{
    TemporaryHives hives;
    QDir().mkpath(hives.machineFolder());
    ASSERT_TRUE(writeFile(hives.machineHive(), "damaged"));
    ASSERT_TRUE(QDir().mkdir(hives.machineHive() + QLatin1String(".lock")));

    EXPECT_EQ(queryRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("Old")).rc,
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(hives.reports.size(), 1);
    EXPECT_TRUE(hives.reports.first().contains(QLatin1String("could not be set aside")));
    EXPECT_NE(setRaw(HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("New"), REG_SZ,
                     utf16(QStringLiteral("x"))),
              ERROR_SUCCESS);
    EXPECT_EQ(fileBytes(hives.machineHive()), "damaged");
    EXPECT_TRUE(asideFiles(hives).isEmpty());
}
