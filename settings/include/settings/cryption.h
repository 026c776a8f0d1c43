#pragma once

#include <QString>

// Reversible scrambling of the credentials and user IDs kept in the settings, so that they
// are not readable at a glance. It is not encryption: the key is built into the program.
// The stored form is an even number of upper-case hexadecimal digits, never a ",".
namespace modCryption {

// The stored form of text. A text of 32,767 characters or more, or one with a character
// outside the ANSI code page, is reported and gives the empty text.
QString EncryptPWD(const QString& text);

// The text of a stored form, without leading and trailing blanks. A pair of characters that
// is not hexadecimal is reported and skipped; a code outside 0 to 255 is left out.
QString DecryptPWD(const QString& stored);

} // namespace modCryption
