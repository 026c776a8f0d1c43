// The command line of Tallymerge's programs: --help and --version answered alike by all of
// them, and a bad option met with one line of usage and exit status 2.
#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include <optional>

namespace CommandLine {

// Exit status for a command line the program cannot run with.
inline constexpr int BadUsage = 2;

// Adds --help and --version to parser and parses arguments (the program's name first);
// the version is the project's unless the program set its own.
// Returns the status to exit with when the program is done: 0 after printing the help or
// the version on standard output, BadUsage after one line on standard error naming the
// fault and usage ("tallymerge-admin [--site FOLDER] COMMAND ..."). Returns nothing when
// the program is to go on with the parsed options.
std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments,
                         const QString& usage);

// Prints "PROGRAM: problem. Usage: usage" as one line on standard error; returns BadUsage.
int badUsage(const QString& problem, const QString& usage);

// True when arguments ask for the help or the version only; a program that needs a display
// answers these before it connects to one.
bool asksForHelpOrVersion(const QStringList& arguments);

} // namespace CommandLine
