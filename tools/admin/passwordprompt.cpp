#include "passwordprompt.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// One line from standard input; with a terminal, echo is off while it is typed.
std::optional<std::string> readLine(const char* prompt, bool terminal)
{
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool ok = bool(std::getline(std::cin, line));
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (!ok)
        return std::nullopt;
    return line;
}

} // namespace

std::optional<QString> readNewPassword(const QString& userId)
{
    const bool terminal = isatty(STDIN_FILENO) != 0;
    const std::string prompt = "New password for " + userId.toStdString() + ": ";
    const auto first = readLine(prompt.c_str(), terminal);
    if (!first) {
        std::fputs("No password was given.\n", stderr);
        return std::nullopt;
    }
    if (first->empty()) {
        std::fputs("A password cannot be empty.\n", stderr);
        return std::nullopt;
    }
    if (terminal) {
        const auto again = readLine("The same password again: ", true);
        if (!again || *again != *first) {
            std::fputs("The two passwords differ; nothing was changed.\n", stderr);
            return std::nullopt;
        }
    }
    return QString::fromStdString(*first);
}
