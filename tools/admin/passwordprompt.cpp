#include "passwordprompt.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal's settings while echo is off, so that a signal can put them back.
termios savedTerminal{};
volatile sig_atomic_t echoOff = 0;
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreEcho()
{
    if (echoOff) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        echoOff = 0;
    }
}

// Ctrl+C (or another signal that ends the program) at the prompt: echo back on, then
// the signal's own effect.
void onSignal(int signal)
{
    restoreEcho();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// One line from standard input; with a terminal, echo is off while it is typed. A CR
// before the line's end (from a CR LF pipe or file) is not part of the line.
std::optional<std::string> readLine(const char* prompt, bool terminal)
{
    if (terminal) {
        tcgetattr(STDIN_FILENO, &savedTerminal);
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        for (int signal : EndingSignals)
            std::signal(signal, onSignal);
        echoOff = 1;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        // Asked once echo is off, so that nothing typed at the prompt shows.
        std::fputs(prompt, stderr);
        std::fflush(stderr);
    }
    std::string line;
    const bool ok = bool(std::getline(std::cin, line));
    if (terminal) {
        restoreEcho();
        for (int signal : EndingSignals)
            std::signal(signal, SIG_DFL);
    }
    if (!ok)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
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
