#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <accpac/standin.h>

#include <QRegularExpression>

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

// Kills (or stops) the program inside a chosen write to the company, as a kill -9, a power
// cut or a hang would stop it there: inside the write's transaction. For the helper programs
// the process-level tests start. An SQLite file tells each row written; a database server
// each statement that writes, right after the server ran it.
namespace KillAtWrite {

struct Target
{
    int operation = 0; // SQLITE_INSERT or SQLITE_UPDATE; 0: not armed
    QByteArray table;
    int count = 0;
    bool stop = false; // SIGSTOP instead of SIGKILL: the program hangs holding its write lock
    int paceMs = 0;    // every write takes this long, as on a slow disk
};
inline Target target;

inline void onWrite(void*, int operation, const char*, const char* table, sqlite3_int64)
{
    if (target.paceMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(target.paceMs));
    if (operation != target.operation || target.table != table || --target.count != 0)
        return;
    // The test reads this line to know where the program stopped.
    std::printf("%s %s\n", target.stop ? "stopped" : "killed", table);
    std::fflush(stdout);
    std::raise(target.stop ? SIGSTOP : SIGKILL);
}

inline int watchWrites(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_update_hook(db, onWrite, nullptr);
    return SQLITE_OK;
}

// A server's statement as the SQLite hook tells a row: "INSERT INTO T ..." and "UPDATE T ...".
inline void onServerWrite(const QByteArray& sql)
{
    static const QRegularExpression write(
        QStringLiteral("^\\s*(INSERT\\s+INTO|UPDATE)\\s+\"?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = write.match(QString::fromUtf8(sql));
    if (!match.hasMatch())
        return;
    const bool insert = match.captured(1).startsWith(u'I', Qt::CaseInsensitive);
    onWrite(nullptr, insert ? SQLITE_INSERT : SQLITE_UPDATE, nullptr,
            match.captured(2).toUpper().toLatin1().constData(), 0);
}

// Every connection the program opens from now on reports its writes, to a file or a server.
inline void install()
{
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(watchWrites));
    Accpac::Testing::setServerWriteObserver(onServerWrite);
}

// "insert:TABLE:N" or "update:TABLE:N": the N-th such write to TABLE, counted from now;
// a fourth part "stop" stops the program there instead of killing it. "pace:MS" kills
// nothing but makes every write take MS milliseconds, so that a kill from outside after a
// given time lands in the middle of the work however fast the machine is.
inline void arm(const QString& spec)
{
    const QStringList parts = spec.split(u':');
    if (parts.value(0) == QLatin1String("pace")) {
        target.paceMs = parts.value(1).toInt();
        return;
    }
    target.operation = parts.value(0) == QLatin1String("update") ? SQLITE_UPDATE : SQLITE_INSERT;
    target.table = parts.value(1).toLatin1();
    target.count = parts.value(2).toInt();
    target.stop = parts.value(3) == QLatin1String("stop");
}

} // namespace KillAtWrite
