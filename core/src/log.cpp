#include <core/log.h>

#include <accpac/standin.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcCore, "tallymerge.core", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "tallymerge.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWindows, "tallymerge.windows", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSelection, "tallymerge.selection", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInvoicing, "tallymerge.invoicing", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "tallymerge.app", QtInfoMsg)

namespace ProgramLog {
namespace {

const char* const FileName = "tallymerge.log";

QByteArray levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "info";
}

// One line per message: a message's own line breaks (a box's CR LF) become " | " so that
// every line of the file starts with its time.
QByteArray lineOf(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
    text.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    text.replace(QLatin1Char('\r'), QStringLiteral(" | "));
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
           QByteArray::number(QCoreApplication::applicationPid()) + ' ' + levelName(type) + ' ' +
           (context.category ? context.category : "default") + ": " + text.toUtf8() + '\n';
}

void writeAll(int fd, const QByteArray& bytes)
{
#ifndef _WIN32
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
#else
    Q_UNUSED(fd);
    fputs(bytes.constData(), stderr);
#endif
}

} // namespace

QString defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tallymerge");
}

QString describeFile(const QString& path)
{
#ifndef _WIN32
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return path + QStringLiteral(" (missing)");
    return path +
           QStringLiteral(" (device %1, inode %2%3)")
               .arg(static_cast<qulonglong>(status.st_dev))
               .arg(static_cast<qulonglong>(status.st_ino))
               .arg(S_ISLNK(status.st_mode) ? QStringLiteral(", a symbolic link") : QString());
#else
    return path + (QFile::exists(path) ? QString() : QStringLiteral(" (missing)"));
#endif
}

QString describeSite(const QString& site)
{
    return Accpac::isServerSite(site) ? Accpac::shownSite(site) : describeFile(site);
}

struct Log::Private
{
    Options options;
    QMutex mutex;
    int folderFd = -1;
    int fd = -1;
    QtMessageHandler previous = nullptr;

    QString path() const { return options.folder + QLatin1Char('/') + QLatin1String(FileName); }

    // Opens the log in the folder; the reason it cannot, else an empty string.
    QString open();
    int openFile(QString* why) const;
    void write(const QByteArray& line);
    bool replacedMeanwhile() const;
    void rotate();
    void closeAll();
};

#ifndef _WIN32

QString Log::Private::open()
{
    if (!QDir().mkpath(options.folder))
        return QStringLiteral("the folder %1 cannot be made").arg(options.folder);
    folderFd = ::open(QFile::encodeName(options.folder).constData(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0)
        return QStringLiteral("the folder %1 cannot be opened: %2")
            .arg(options.folder, QString::fromLocal8Bit(std::strerror(errno)));
    QString why;
    fd = openFile(&why);
    return why;
}

int Log::Private::openFile(QString* why) const
{
    // O_NOFOLLOW: a link planted at the log's place is refused, never written through;
    // O_NONBLOCK: a pipe planted there cannot hold the program up before it is refused.
    const int file =
        ::openat(folderFd, FileName,
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (file < 0) {
        *why = errno == ELOOP ? QStringLiteral("%1 is a symbolic link").arg(path())
                              : QStringLiteral("%1 cannot be written: %2")
                                    .arg(path(), QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    struct stat status;
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        *why = QStringLiteral("%1 is not a regular file").arg(path());
        return -1;
    }
    return file;
}

// True when the name no longer leads to the file held open: another running program rotated
// it while this one waited for the lock.
bool Log::Private::replacedMeanwhile() const
{
    struct stat held;
    struct stat named;
    if (::fstat(fd, &held) != 0)
        return true;
    if (::fstatat(folderFd, FileName, &named, AT_SYMLINK_NOFOLLOW) != 0)
        return true;
    return held.st_dev != named.st_dev || held.st_ino != named.st_ino;
}

void Log::Private::rotate()
{
    // Whole files move aside by name; the one being written is never cut short.
    for (int generation = options.keep - 1; generation >= 1; --generation) {
        const QByteArray from = QByteArray(FileName) + '.' + QByteArray::number(generation);
        const QByteArray to = QByteArray(FileName) + '.' + QByteArray::number(generation + 1);
        ::renameat(folderFd, from.constData(), folderFd, to.constData());
    }
    if (options.keep >= 1)
        ::renameat(folderFd, FileName, folderFd, (QByteArray(FileName) + ".1").constData());
    else
        ::unlinkat(folderFd, FileName, 0);
}

void Log::Private::write(const QByteArray& line)
{
    if (fd < 0)
        return;
    ::flock(fd, LOCK_EX);
    const bool replaced = replacedMeanwhile();
    struct stat status;
    const bool full = !replaced && ::fstat(fd, &status) == 0 && status.st_size > 0 &&
                      status.st_size + line.size() > options.maxBytes;
    if (replaced || full) {
        if (full)
            rotate();
        QString why;
        const int fresh = openFile(&why);
        ::flock(fd, LOCK_UN);
        ::close(fd);
        fd = fresh;
        if (fd < 0) {
            writeAll(STDERR_FILENO, "tallymerge: the log goes to standard error from now on: " +
                                        why.toLocal8Bit() + '\n');
            return;
        }
        ::flock(fd, LOCK_EX);
    }
    writeAll(fd, line);
    ::flock(fd, LOCK_UN);
}

void Log::Private::closeAll()
{
    if (fd >= 0)
        ::close(fd);
    if (folderFd >= 0)
        ::close(folderFd);
    fd = folderFd = -1;
}

#else

QString Log::Private::open()
{
    return QStringLiteral("the log file is written on POSIX systems only");
}
int Log::Private::openFile(QString*) const
{
    return -1;
}
bool Log::Private::replacedMeanwhile() const
{
    return false;
}
void Log::Private::rotate() {}
void Log::Private::write(const QByteArray&) {}
void Log::Private::closeAll() {}

#endif

namespace {

// The one log of the process, reached from the message handler.
Log::Private* current = nullptr;

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Log::Private* log = current;
    if (!log)
        return;
    const QByteArray line = lineOf(type, context, message);
    QMutexLocker lock(&log->mutex);
    log->write(line);
    if (log->fd < 0 || (type != QtDebugMsg && type != QtInfoMsg))
        writeAll(2, line);
}

} // namespace

Log::Log(const Options& options) : d(std::make_unique<Private>())
{
    d->options = options;
    const QString why = d->open();
    if (!why.isEmpty()) {
        d->closeAll();
        writeAll(2, "tallymerge: the log goes to standard error: " + why.toLocal8Bit() + '\n');
    }
    if (options.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("tallymerge.*.debug=true"));
    current = d.get();
    d->previous = qInstallMessageHandler(handle);
}

Log::~Log()
{
    qInstallMessageHandler(d->previous);
    current = nullptr;
    d->closeAll();
}

QString Log::filePath() const
{
    return d->fd >= 0 ? d->path() : QString();
}

} // namespace ProgramLog
