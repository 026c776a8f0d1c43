#include "hivefile.h"

#include <registry/hivelocations.h>
#include <system/sitefiles.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Registry {

namespace {

QMutex stateMutex;
std::optional<HiveLocations> currentLocations;
HiveReporter currentReporter;

// The text and the parsed form of the hive file last read or written, per path. Parsing
// is what costs; a file whose bytes equal the remembered text need not be parsed again.
// Every read still reads the file, so a change by another program is always seen.
struct ParsedHive
{
    QByteArray text;
    Hive hive;
};
QMutex cacheMutex;
QHash<QString, ParsedHive> parsedHives;

std::optional<Hive> cachedHive(const QString& path, const QByteArray& text)
{
    QMutexLocker lock(&cacheMutex);
    const auto it = parsedHives.constFind(path);
    if (it == parsedHives.constEnd() || it->text != text)
        return std::nullopt;
    return it->hive;
}

void rememberHive(const QString& path, const QByteArray& text, const Hive& hive)
{
    QMutexLocker lock(&cacheMutex);
    parsedHives.insert(path, ParsedHive{text, hive});
}

void report(const QString& message)
{
    HiveReporter reporter;
    {
        QMutexLocker lock(&stateMutex);
        reporter = currentReporter;
    }
    if (reporter)
        reporter(message);
    else
        qWarning().noquote() << message;
}

// The machine hive and its lock file belong to the group of the program's users; a user's
// hive holds that user's security list and stays private.
bool isMachineHive(const QString& hivePath)
{
    return hivePath.endsWith(QLatin1String("/HKEY_LOCAL_MACHINE.reg"));
}

mode_t fileMode(const QString& hivePath)
{
    return isMachineHive(hivePath) ? SiteFiles::SharedFileMode : SiteFiles::PrivateFileMode;
}

mode_t folderMode(const QString& hivePath)
{
    return isMachineHive(hivePath) ? SiteFiles::SharedFolderMode : SiteFiles::PrivateFolderMode;
}

// A folder where settings cannot be kept, or a link where a file should be, is told once
// per run, not at every read or change.
void reportOnce(const QString& path, const QString& message)
{
    static QMutex mutex;
    static QSet<QString> told;
    {
        QMutexLocker lock(&mutex);
        if (told.contains(path))
            return;
        told.insert(path);
    }
    report(message);
}

void reportUnwritable(const QString& folder, const QString& why)
{
    reportOnce(folder, QStringLiteral("Settings cannot be kept in the folder \"%1\" (%2); "
                                      "changes to them are lost when the program ends.")
                           .arg(QDir::toNativeSeparators(folder), why));
}

void reportLink(const QString& path)
{
    reportOnce(path, QStringLiteral("The settings file \"%1\" is a symbolic link, which is "
                                    "never followed; remove it to keep settings there.")
                         .arg(QDir::toNativeSeparators(path)));
}

// An exclusive flock on the hive's lock file, held for the lifetime of the object.
class HiveLock
{
public:
    explicit HiveLock(const QString& hivePath)
    {
        // A read-only descriptor is enough for flock. A symbolic link planted in place of
        // the lock file is refused, never followed to create or open its target.
        m_fd = SiteFiles::openNoFollow(hivePath + QLatin1String(".lock"), O_RDONLY | O_CREAT,
                                       fileMode(hivePath));
        if (m_fd < 0) {
            m_error = errno;
            if (m_error == ELOOP)
                reportLink(hivePath + QLatin1String(".lock"));
            return;
        }
        struct stat st;
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        int rc;
        do {
            rc = ::flock(m_fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HiveLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing the descriptor releases the lock
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    bool isLocked() const { return m_fd >= 0; }
    // Why the lock file could not be opened (errno), 0 when it could.
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The file's bytes; empty when there is none. Never follows a symbolic link: a link in
// place of the hive is reported and reads as unreadable.
std::optional<QByteArray> readFile(const QString& path, bool* exists)
{
    const int fd = SiteFiles::openNoFollow(path, O_RDONLY, 0);
    *exists = fd >= 0 || errno != ENOENT;
    if (fd < 0) {
        if (errno == ELOOP)
            reportLink(path);
        return *exists ? std::nullopt : std::optional<QByteArray>(QByteArray());
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace

HiveLocations defaultHiveLocations()
{
    return {QStringLiteral("/var/lib/tallymerge"),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QLatin1String("/tallymerge")};
}

HiveLocations hiveLocations()
{
    QMutexLocker lock(&stateMutex);
    if (!currentLocations)
        currentLocations = defaultHiveLocations();
    return *currentLocations;
}

void setHiveLocations(const HiveLocations& locations)
{
    QMutexLocker lock(&stateMutex);
    currentLocations = locations;
}

HiveReporter setHiveReporter(HiveReporter reporter)
{
    QMutexLocker lock(&stateMutex);
    std::swap(currentReporter, reporter);
    return reporter;
}

HiveFile::HiveFile(QString folder, QString rootName)
    : m_folder(std::move(folder)), m_rootName(std::move(rootName))
{
}

QString HiveFile::path() const
{
    return m_folder + u'/' + m_rootName + QLatin1String(".reg");
}

Hive HiveFile::load() const
{
    bool exists = false;
    const auto bytes = readFile(path(), &exists);
    if (!exists || !bytes)
        return Hive(m_rootName); // an unreadable file is left alone: it may be fine later
    return parsedOrSetAside(*bytes, false);
}

Hive HiveFile::parsedOrSetAside(const QByteArray& bytes, bool locked, bool* stillInPlace) const
{
    if (stillInPlace)
        *stillInPlace = false;
    if (auto hive = cachedHive(path(), bytes))
        return std::move(*hive);
    QString why;
    if (auto hive = Hive::fromRegText(bytes, m_rootName, &why)) {
        rememberHive(path(), bytes, *hive);
        return std::move(*hive);
    }
    if (!locked) {
        // Set the file aside only under the lock, and only if it is still the same file:
        // a writer may have replaced it in the meantime.
        const HiveLock lock(path());
        bool exists = false;
        const auto again = readFile(path(), &exists);
        if (lock.isLocked() && exists && again && *again != bytes)
            return parsedOrSetAside(*again, true);
        if (!lock.isLocked()) {
            report(QStringLiteral("The settings file \"%1\" cannot be read (%2) and could not "
                                  "be set aside; the settings read as empty.")
                       .arg(QDir::toNativeSeparators(path()), why));
            return Hive(m_rootName);
        }
        if (!exists)
            return Hive(m_rootName);
    }
    if (stillInPlace)
        *stillInPlace = true;
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = path() + QLatin1String(".unreadable-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = path() + QLatin1String(".unreadable-") + stamp + u'-' + QString::number(n);
    if (QFile::rename(path(), aside)) {
        if (stillInPlace)
            *stillInPlace = false;
        report(QStringLiteral("The settings file \"%1\" cannot be read (%2). It was kept as "
                              "\"%3\" and the settings start empty.")
                   .arg(QDir::toNativeSeparators(path()), why, QDir::toNativeSeparators(aside)));
    } else {
        report(QStringLiteral("The settings file \"%1\" cannot be read (%2) and could not be "
                              "set aside; the settings read as empty.")
                   .arg(QDir::toNativeSeparators(path()), why));
    }
    return Hive(m_rootName);
}

LONG HiveFile::update(const std::function<LONG(Hive&)>& change) const
{
    if (!SiteFiles::makeFolder(m_folder, folderMode(path()))) {
        reportUnwritable(m_folder, QStringLiteral("it cannot be made"));
        return ERROR_CANTWRITE;
    }
    const HiveLock lock(path());
    if (!lock.isLocked()) {
        if (lock.error() == EACCES || lock.error() == EPERM || lock.error() == EROFS)
            reportUnwritable(m_folder, QString::fromLocal8Bit(std::strerror(lock.error())));
        return ERROR_CANTWRITE;
    }
    bool exists = false;
    const auto before = readFile(path(), &exists);
    if (!before)
        return ERROR_CANTWRITE; // never replace a file that could not be read
    bool damagedInPlace = false;
    Hive hive = exists ? parsedOrSetAside(*before, true, &damagedInPlace) : Hive(m_rootName);
    if (damagedInPlace)
        return ERROR_CANTWRITE; // a damaged file that could not be set aside is never replaced
    if (const LONG rc = change(hive); rc != ERROR_SUCCESS)
        return rc;
    const QByteArray after = hive.toRegText();
    if (exists && QFile::exists(path()) && after == *before)
        return ERROR_SUCCESS;
    if (!writeAtomically(after))
        return ERROR_CANTWRITE;
    rememberHive(path(), after, hive);
    return ERROR_SUCCESS;
}

bool HiveFile::writeAtomically(const QByteArray& bytes) const
{
    const QByteArray target = QFile::encodeName(path());
    QByteArray temp =
        QFile::encodeName(m_folder + QLatin1String("/.") + m_rootName) + ".reg.XXXXXX";
    // mkostemp makes a new file (never through a link); rename then replaces the hive's
    // directory entry itself, even if someone put a link there.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        reportUnwritable(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    bool ok = ::fchmod(fd, fileMode(path())) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // Make the rename itself durable.
    const int dir =
        ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace Registry
