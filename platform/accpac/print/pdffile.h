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
//
// An existing file is replaced only when it is the user's own; the new file keeps its mode
// and group (never readable by more people than before), and a read-only one is replaced only
// with `replaceReadOnly` (the user said yes).
QString writePdfFile(const QString& target, const QPageLayout& page, const QString& title,
                     const PagePainter& paint, bool replaceReadOnly = false);

// True when the target is an existing plain file of the user's own that its owner may not
// write: replacing it needs the user's yes.
bool isReadOnlyFile(const QString& target);

} // namespace Accpac
