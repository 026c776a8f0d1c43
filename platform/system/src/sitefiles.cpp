#include <system/sitefiles.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SiteFiles {

namespace {

QString why(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// nftw passes no context; one tree is walked at a time.
thread_local gid_t walkGroup = 0;
thread_local QStringList* walkProblems = nullptr;
thread_local QStringList* walkNotes = nullptr;

void secureEntry(const char* path, int type)
{
    const QString name = QDir::toNativeSeparators(QFile::decodeName(path));
    if (type == FTW_SL || type == FTW_SLN) {
        *walkProblems << QStringLiteral("\"%1\" is a symbolic link; it was left alone and "
                                        "should be removed.")
                             .arg(name);
        return;
    }
    if (type == FTW_NS || type == FTW_DNR) {
        *walkProblems << QStringLiteral("\"%1\" cannot be examined.").arg(name);
        return;
    }
    // Opened without following a link, so a link swapped in after the walk saw the entry is
    // never changed in its target's stead.
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *walkProblems << QStringLiteral("\"%1\" cannot be opened to set its owner group and "
                                        "mode (%2).")
                             .arg(name, why(errno));
        return;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
        *walkProblems << QStringLiteral("\"%1\" is neither a folder nor a file; it was left alone.")
                             .arg(name);
        ::close(fd);
        return;
    }
    // Never more open than it was: other accounts lose their rights, a folder gains the
    // set-group-ID bit (new files get the group) and a file loses execute and special bits,
    // but a file kept 0600 on purpose stays so.
    const mode_t wanted = S_ISDIR(st.st_mode) ? (st.st_mode & SharedFolderMode) | S_ISGID
                                              : st.st_mode & SharedFileMode;
    if (st.st_gid != walkGroup && ::fchown(fd, uid_t(-1), walkGroup) != 0) {
        *walkProblems
            << QStringLiteral("\"%1\" cannot be given to the group (%2).").arg(name, why(errno));
        // Still closed to other accounts, but not opened to a group it does not belong to.
        if (st.st_mode & S_IRWXO)
            (void)::fchmod(fd, st.st_mode & 07770);
    } else if ((st.st_mode & 07777) != wanted && ::fchmod(fd, wanted) != 0) {
        *walkProblems << QStringLiteral("The mode of \"%1\" cannot be set to %2 (%3).")
                             .arg(name, QString::number(wanted, 8), why(errno));
    } else if (walkNotes && (wanted & 0070) != (S_ISDIR(st.st_mode) ? 0070 : 0060)) {
        *walkNotes << QStringLiteral("\"%1\" keeps the mode %2: the group's members cannot "
                                     "use it fully (chmod g+rw%3 if they should).")
                          .arg(name, QString::number(wanted & 07777, 8),
                               S_ISDIR(st.st_mode) ? QStringLiteral("x") : QString());
    }
    ::close(fd);
}

int visit(const char* path, const struct stat*, int type, FTW*)
{
    secureEntry(path, type);
    return 0;
}

} // namespace

bool isSymbolicLink(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

int openNoFollow(const QString& path, int flags, mode_t createMode)
{
    const QByteArray name = QFile::encodeName(path);
    flags |= O_NOFOLLOW | O_CLOEXEC;
    if (flags & O_CREAT) {
        // Made here: exactly createMode. Present already: opened as it is.
        int fd;
        do {
            fd = ::open(name.constData(), flags | O_EXCL, createMode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            if (::fchmod(fd, createMode) != 0) {
                const int error = errno;
                ::close(fd);
                ::unlink(name.constData());
                errno = error;
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        flags &= ~O_CREAT;
    }
    int fd;
    do {
        fd = ::open(name.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool makeFolder(const QString& path, mode_t mode)
{
    const QString clean = QDir::cleanPath(path);
    struct stat st;
    if (::lstat(QFile::encodeName(clean).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !makeFolder(parent, mode))
        return false;
    const QByteArray name = QFile::encodeName(clean);
    if (::mkdir(name.constData(), mode) != 0)
        return errno == EEXIST && ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    // mkdir applies the umask; the folder gets exactly mode (set-group-ID included).
    return ::chmod(name.constData(), mode) == 0;
}

std::optional<gid_t> groupId(const QString& name)
{
    const QByteArray bytes = name.toLocal8Bit();
    if (const group* g = ::getgrnam(bytes.constData()))
        return g->gr_gid;
    return std::nullopt;
}

QStringList secureTree(const QString& root, gid_t group, QStringList* notes)
{
    QStringList problems;
    walkGroup = group;
    walkProblems = &problems;
    walkNotes = notes;
    if (::nftw(QFile::encodeName(root).constData(), visit, 16, FTW_PHYS) != 0)
        problems << QStringLiteral("The folder \"%1\" cannot be examined (%2).")
                        .arg(QDir::toNativeSeparators(root), why(errno));
    walkProblems = nullptr;
    walkNotes = nullptr;
    return problems;
}

} // namespace SiteFiles
