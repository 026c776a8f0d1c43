#include "pdffile.h"

#include <system/sitefiles.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace Accpac {

namespace {

// The mode and group a replaced file had; the new file takes them over.
struct Replaced
{
    mode_t mode;
    gid_t group;
};

} // namespace

bool isReadOnlyFile(const QString& target)
{
    struct stat st;
    return ::lstat(QFile::encodeName(QDir::fromNativeSeparators(target)).constData(), &st) == 0 &&
           S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) == 0;
}

QString writePdfFile(const QString& target, const QPageLayout& page, const QString& title,
                     const PagePainter& paint, bool replaceReadOnly)
{
    const QString path = QDir::fromNativeSeparators(target);
    const QString shown = QDir::toNativeSeparators(target);
    const auto cannot = [&](const QString& why) {
        return QStringLiteral("The PDF file \"%1\" cannot be written: %2. Nothing was printed.")
            .arg(shown, why);
    };
    if (SiteFiles::isSymbolicLink(path))
        return QStringLiteral("The PDF file \"%1\" is a symbolic link, which is never written "
                              "through. Nothing was printed; choose another name.")
            .arg(shown);
    const QFileInfo info(path);
    if (info.isDir())
        return cannot(QStringLiteral("it is a folder"));
    if (info.exists() && !info.isFile())
        return cannot(QStringLiteral("it is not a plain file"));
    std::optional<Replaced> replaced;
    if (struct stat st; ::stat(QFile::encodeName(path).constData(), &st) == 0) {
        // Replacing another user's file would make it ours: never done behind their back.
        if (st.st_uid != ::geteuid())
            return QStringLiteral("The PDF file \"%1\" belongs to %2, not to you, and is left as "
                                  "it is. Nothing was printed; choose another name.")
                .arg(shown, info.owner().isEmpty() ? QStringLiteral("another user")
                                                   : QStringLiteral("the user ") + info.owner());
        if ((st.st_mode & S_IWUSR) == 0 && !replaceReadOnly)
            return QStringLiteral("The PDF file \"%1\" is read-only and is left as it is. "
                                  "Nothing was printed.")
                .arg(shown);
        replaced = Replaced{st.st_mode & 0777, st.st_gid};
    }

    // A short name of its own beside the target: any name the folder takes fits.
    QTemporaryFile out(info.absolutePath() + QStringLiteral("/.printing-XXXXXX.pdf"));
    if (!out.open())
        return cannot(out.errorString());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A new file as any program of the user's would make it (not the temporary file's 0600);
    // a replaced one as it was, its group too, or else without the group's rights.
    mode_t mode = 0666 & ~mask;
    if (replaced) {
        mode = replaced->mode;
        if (::fchown(out.handle(), uid_t(-1), replaced->group) != 0)
            mode &= ~mode_t(S_IRWXG);
    }
    if (::fchmod(out.handle(), mode) != 0)
        return cannot(qt_error_string(errno));
    {
        QPdfWriter writer(&out);
        writer.setResolution(300);
        writer.setPageLayout(page);
        writer.setTitle(title);
        writer.setCreator(QGuiApplication::applicationDisplayName());
        QPainter painter;
        if (!painter.begin(&writer))
            return cannot(QStringLiteral("the PDF writer did not start"));
        const bool pages = paint(painter, writer);
        if (!painter.end() || !pages)
            return cannot(QStringLiteral("the PDF writer did not finish the pages"));
    }
    if (!out.flush() || out.error() != QFileDevice::NoError)
        return cannot(out.errorString());
    if (::fdatasync(out.handle()) != 0)
        return cannot(qt_error_string(errno));
    if (std::rename(QFile::encodeName(out.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return cannot(qt_error_string(errno));
    out.setAutoRemove(false);
    return {};
}

} // namespace Accpac
