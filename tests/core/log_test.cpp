#include <core/log.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the process writes to stderr while it lives, read back when it ends.
class CapturedStderr
{
public:
    CapturedStderr()
    {
        fflush(stderr);
        m_saved = ::dup(2);
        const int file =
            ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~CapturedStderr() { restore(); }
    QByteArray text()
    {
        restore();
        return readAll(m_path);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("stderr"));
    int m_saved = -1;
};

ProgramLog::Options optionsIn(const QString& folder)
{
    ProgramLog::Options options;
    options.folder = folder;
    return options;
}

} // namespace

TEST(ProgramLog, WritesEachCategoryWithWarningsAlsoOnStderrAndDebugOnlyWhenVerbose)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("state/tallymerge"));
    CapturedStderr err;
    {
        const ProgramLog::Log log(optionsIn(folder));
        EXPECT_EQ(log.filePath(), folder + QStringLiteral("/tallymerge.log"));
        qCInfo(lcSelection) << "grid loaded";
        qCWarning(lcCore).noquote() << "box Title : first\r\nsecond";
        qCDebug(lcInvoicing) << "detail off";
    }
    {
        ProgramLog::Options verbose = optionsIn(folder);
        verbose.verbose = true;
        const ProgramLog::Log log(verbose);
        qCDebug(lcInvoicing) << "detail on";
    }
    QLoggingCategory::setFilterRules(QString());
    const QByteArray text = readAll(folder + QStringLiteral("/tallymerge.log"));
    const QByteArray stderrText = err.text();
    EXPECT_TRUE(text.contains(" info tallymerge.selection: grid loaded\n")) << text.constData();
    // A box's lines stay on the one line of its message.
    EXPECT_TRUE(text.contains(" warning tallymerge.core: box Title : first | second\n"));
    EXPECT_FALSE(text.contains("detail off"));
    EXPECT_TRUE(text.contains(" debug tallymerge.invoicing: detail on"));
    EXPECT_EQ(text.count('\n'), 3);
    EXPECT_TRUE(stderrText.contains("box Title : first | second"));
    EXPECT_FALSE(stderrText.contains("grid loaded"));
    EXPECT_EQ(QFileInfo(folder + QStringLiteral("/tallymerge.log")).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther),
              0);
}

TEST(ProgramLog, RotatesWholeFilesAndLosesNoLine)
{
    QTemporaryDir folder;
    ProgramLog::Options options = optionsIn(folder.path());
    options.maxBytes = 2000;
    options.keep = 50;
    {
        const ProgramLog::Log log(options);
        for (int i = 0; i < 200; ++i)
            qCInfo(lcApp).noquote() << QStringLiteral("line %1").arg(i, 4, 10, QLatin1Char('0'));
    }
    const QString base = folder.filePath(QStringLiteral("tallymerge.log"));
    QByteArray all;
    int files = 0;
    for (int generation = options.keep; generation >= 1; --generation) {
        const QString rotated = base + QLatin1Char('.') + QString::number(generation);
        if (!QFile::exists(rotated))
            continue;
        ++files;
        const QByteArray text = readAll(rotated);
        EXPECT_LE(text.size(), options.maxBytes);
        EXPECT_TRUE(text.endsWith('\n'));
        all += text;
    }
    all += readAll(base);
    EXPECT_GT(files, 5);
    // Every line once, in order, across the files.
    const QList<QByteArray> lines = all.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 200);
    for (int i = 0; i < 200; ++i)
        EXPECT_TRUE(
            lines[i].endsWith(QStringLiteral("line %1").arg(i, 4, 10, QLatin1Char('0')).toUtf8()))
            << lines[i].constData();

    // Only as many old files as kept: the oldest are dropped.
    options.keep = 2;
    QDir(folder.path()).removeRecursively();
    {
        const ProgramLog::Log log(options);
        for (int i = 0; i < 200; ++i)
            qCInfo(lcApp) << "line" << i;
    }
    EXPECT_TRUE(QFile::exists(base + QStringLiteral(".2")));
    EXPECT_FALSE(QFile::exists(base + QStringLiteral(".3")));
}

TEST(ProgramLog, FollowsTheNameWhenAnotherProgramRotatedTheFile)
{
    QTemporaryDir folder;
    const QString base = folder.filePath(QStringLiteral("tallymerge.log"));
    const ProgramLog::Log log(optionsIn(folder.path()));
    qCInfo(lcApp) << "before";
    ASSERT_TRUE(QFile::rename(base, base + QStringLiteral(".1")));
    qCInfo(lcApp) << "after";
    EXPECT_TRUE(readAll(base + QStringLiteral(".1")).contains("before"));
    EXPECT_FALSE(readAll(base + QStringLiteral(".1")).contains("after"));
    EXPECT_TRUE(readAll(base).contains("after"));
}

TEST(ProgramLog, RefusesALinkOrAFolderItCannotWriteAndLogsToStderr)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("elsewhere"));
    const QString base = folder.filePath(QStringLiteral("tallymerge.log"));
    ASSERT_TRUE(QFile::link(target, base));
    {
        CapturedStderr err;
        {
            const ProgramLog::Log log(optionsIn(folder.path()));
            EXPECT_TRUE(log.filePath().isEmpty());
            qCInfo(lcApp) << "first";
            qCInfo(lcApp) << "second";
        }
        const QByteArray text = err.text();
        EXPECT_EQ(text.count("is a symbolic link"), 1) << text.constData();
        EXPECT_TRUE(text.contains("info tallymerge.app: first"));
        EXPECT_TRUE(text.contains("info tallymerge.app: second"));
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(QFileInfo(base).isSymLink());
    }
    {
        // A folder whose place is taken by a file: no folder can be made there.
        QFile blocker(folder.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        CapturedStderr err;
        {
            const ProgramLog::Log log(
                optionsIn(folder.filePath(QStringLiteral("blocker/tallymerge"))));
            EXPECT_TRUE(log.filePath().isEmpty());
            qCWarning(lcApp) << "still told";
        }
        const QByteArray text = err.text();
        EXPECT_EQ(text.count("cannot be made"), 1) << text.constData();
        EXPECT_EQ(text.count("still told"), 1);
    }
}

TEST(ProgramLog, DescribesAFileByDeviceAndInodeWithoutFollowingALink)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("SAMINC.db"));
    QFile made(file);
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.close();
    struct stat status;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &status), 0);
    EXPECT_EQ(ProgramLog::describeFile(file), QStringLiteral("%1 (device %2, inode %3)")
                                                  .arg(file)
                                                  .arg(static_cast<qulonglong>(status.st_dev))
                                                  .arg(static_cast<qulonglong>(status.st_ino)));
    const QString link = folder.filePath(QStringLiteral("link.db"));
    ASSERT_TRUE(QFile::link(file, link));
    EXPECT_TRUE(ProgramLog::describeFile(link).endsWith(QStringLiteral(", a symbolic link)")));
    EXPECT_FALSE(ProgramLog::describeFile(link).contains(
        QStringLiteral("inode %1").arg(static_cast<qulonglong>(status.st_ino))));
    EXPECT_EQ(ProgramLog::describeFile(folder.filePath(QStringLiteral("none"))),
              folder.filePath(QStringLiteral("none")) + QStringLiteral(" (missing)"));
}
