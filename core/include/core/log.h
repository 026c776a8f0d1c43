#pragma once

#include <QLoggingCategory>
#include <QString>

#include <memory>

// The program's log categories, one per layer. Each logs at info and above by default;
// debug lines are the extra detail that --verbose or QT_LOGGING_RULES switches on
// ("tallymerge.*.debug=true"). Nothing logged may hold a password or a password verifier.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcWindows)
Q_DECLARE_LOGGING_CATEGORY(lcSelection)
Q_DECLARE_LOGGING_CATEGORY(lcInvoicing)
Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace ProgramLog {

// $XDG_STATE_HOME/tallymerge, else ~/.local/state/tallymerge.
QString defaultFolder();

// "path (device D, inode I)", or "path (missing)" when nothing is there; a symbolic link is
// described, not followed.
QString describeFile(const QString& path);
// A site or a company's store: a file or folder as describeFile tells it, a database server's
// connection string without its password.
QString describeSite(const QString& site);

struct Options
{
    QString folder = defaultFolder();
    qint64 maxBytes = 1024 * 1024; // past this the file is rotated
    int keep = 3;                  // rotated files kept: tallymerge.log.1 .. .keep
    bool verbose = false;          // debug lines of every category of the program
};

// While a Log lives, every message of the process (the program's and Qt's) goes to
// tallymerge.log in the folder, one line each, and warnings and above also to stderr. A
// folder that cannot be written, or anything but a regular file at the log's place (a
// symbolic link is never followed), leaves the file out: the lines go to stderr, after one
// line that says why. A file grown past its size is renamed to tallymerge.log.1 (older ones
// move up, the oldest is dropped) and a fresh one begun; several running programs share the
// file, taking turns under a lock.
class Log
{
public:
    explicit Log(const Options& options = {});
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // The file written, empty when the lines go to stderr only.
    QString filePath() const;

    struct Private; // the open file, also reached by the process's message handler

private:
    std::unique_ptr<Private> d;
};

} // namespace ProgramLog
