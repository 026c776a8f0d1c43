#pragma once

#include "storage.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace Accpac {

// The journal of the program's decisions (table TMJOURNAL of the company store). Entries
// are only ever added; each carries a SHA-256 over its own fields and the hash of the entry
// before it, so that an entry removed, reordered or changed afterwards is found.
struct JournalEntry
{
    qint64 seq = 0;
    QString kind;
    QString time; // UTC, ISO 8601 with milliseconds
    QString user;
    QString body; // compact JSON of an object (its keys sorted)
    QString prevHash;
    QString hash;

    QJsonObject bodyObject() const;
};

inline constexpr const char* JournalTable = "TMJOURNAL";
inline constexpr const char* JournalViewId = "TM0001";

// The kinds of entries the program writes.
namespace JournalKind {
inline const QString Begun = QStringLiteral("journal begun");
inline const QString Invoice = QStringLiteral("invoice");
inline const QString Prepayment = QStringLiteral("prepayment");
inline const QString CreditNote = QStringLiteral("credit note");
inline const QString Completion = QStringLiteral("completion");
inline const QString BatchRun = QStringLiteral("batch run");
inline const QString Print = QStringLiteral("print");
} // namespace JournalKind

// Adds an entry after the last one, inside the caller's write transaction.
JournalEntry appendJournalEntry(Database& db, const QString& kind, const QJsonObject& body,
                                const QString& user);

// Every entry in the order of their numbers. Throws StorageError when the table cannot be
// read.
std::vector<JournalEntry> readJournal(Database& db);

// The hash an entry must carry, given its fields and its prevHash.
QString journalHash(const JournalEntry& entry);

// One sentence for every entry that was removed, reordered or changed since it was written.
QStringList journalChainProblems(const std::vector<JournalEntry>& entries);

// What a store gets with its journal: the engine's guards against changing or removing
// entries (see Dialect::journalGuards).
void protectJournal(Database& db);

} // namespace Accpac
