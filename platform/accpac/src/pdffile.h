#pragma once

#include <QString>

#include <functional>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;

namespace Accpac {

// Paints the pages on an active painter; false when a page could not be started.
using PagePainter = std::function<bool(QPainter&, QPagedPaintDevice&)>;

// Writes a PDF file whole or not at all. The pages are written beside the target under a
// temporary name, made durable, and renamed over the target only when complete, so a
// failure (a full disk, a folder that cannot be written) leaves no file of the print behind.
// The rename replaces the name itself: a symbolic link at the target is refused, and one
// planted there while printing is replaced, never followed. Returns "" when the file was
// written, else the message for the user.
QString writePdfFile(const QString& target, const QPageLayout& page, const QString& title,
                     const PagePainter& paint);

} // namespace Accpac
