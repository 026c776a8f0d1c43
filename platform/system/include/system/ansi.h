#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// The system's single-byte ("ANSI") code page, Windows-1252. Qt has no codec for it in its
// core, and only the 32 codes 0x80-0x9F differ from Latin-1, so the table lives here.
namespace Ansi {

// The code of c in the code page, or -1 when the code page has no character for it.
int codeOf(QChar c);

// The character of code (0 to 255). The five codes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value.
QChar charOf(int code);

// Text to and from the code page; a character outside it becomes "?".
QByteArray fromUnicode(const QString& text);
QString toUnicode(const QByteArray& bytes);

} // namespace Ansi
