#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One of the project's command-line tools run as an administrator runs it: no input, its
// output and errors together, trimmed, and its exit code (-1 when it did not end in time).
struct ToolRun
{
    int exitCode;
    QString output;
};

inline ToolRun runTool(const QString& program, const QStringList& args, int waitMs = 120000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    process.closeWriteChannel();
    const bool ended = process.waitForFinished(waitMs);
    return {ended ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAll()).trimmed()};
}

#ifdef TALLYMERGE_ADMIN
// tallymerge-admin of this build.
inline ToolRun admin(const QStringList& args)
{
    return runTool(QStringLiteral(TALLYMERGE_ADMIN), args);
}
#endif
