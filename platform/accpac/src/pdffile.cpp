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
#include <sys/stat.h>
#include <unistd.h>

namespace Accpac {

QString writePdfFile(const QString& target, const QPageLayout& page, const QString& title,
                     const PagePainter& paint)
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

    QTemporaryFile out(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                       QStringLiteral(".XXXXXX"));
    if (!out.open())
        return cannot(out.errorString());
    // A new file as any program of the user's would make it (not the temporary file's 0600).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(out.handle(), 0666 & ~mask);
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
