#pragma once

#include <QString>

#include <optional>

// Reads a new password from the terminal without showing it, twice, and gives it back when
// both agree. When the input is not a terminal (a script), one line is read instead. A
// trailing CR (a line from a CR LF file or pipe) is not part of the password. Echo comes
// back on every way out of the prompt, Ctrl+C and other ending signals included.
// std::nullopt with a message on stderr when the password was empty, the two did not
// agree or the input ended.
std::optional<QString> readNewPassword(const QString& userId);
