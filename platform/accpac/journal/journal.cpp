#include "journal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>

namespace Accpac {

namespace {

const QByteArray Columns = "SEQ, KIND, ENTRYTIME, USERID, BODY, PREVHASH, HASH";

} // namespace

QJsonObject JournalEntry::bodyObject() const
{
    return QJsonDocument::fromJson(body.toUtf8()).object();
}

QString journalHash(const JournalEntry& entry)
{
    // A JSON object is written with its keys sorted: the same fields give the same text.
    const QJsonObject fields{
        {QStringLiteral("seq"), entry.seq},   {QStringLiteral("kind"), entry.kind},
        {QStringLiteral("time"), entry.time}, {QStringLiteral("user"), entry.user},
        {QStringLiteral("body"), entry.body}, {QStringLiteral("prev"), entry.prevHash}};
    return QString::fromLatin1(
        QCryptographicHash::hash(QJsonDocument(fields).toJson(QJsonDocument::Compact),
                                 QCryptographicHash::Sha256)
            .toHex());
}

JournalEntry appendJournalEntry(Database& db, const QString& kind, const QJsonObject& body,
                                const QString& user)
{
    JournalEntry entry;
    {
        Statement last = db.prepare("SELECT SEQ, HASH FROM TMJOURNAL ORDER BY SEQ DESC LIMIT 1");
        if (last.step()) {
            entry.seq = last.columnInt(0);
            entry.prevHash = last.columnText(1);
        }
    }
    ++entry.seq;
    entry.kind = kind;
    entry.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    entry.user = user.trimmed().toUpper();
    entry.body = QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact));
    entry.hash = journalHash(entry);
    Statement st = db.prepare("INSERT INTO TMJOURNAL (" + Columns + ") VALUES (?,?,?,?,?,?,?)");
    st.bindInt(1, entry.seq);
    st.bindText(2, entry.kind);
    st.bindText(3, entry.time);
    st.bindText(4, entry.user);
    st.bindText(5, entry.body);
    st.bindText(6, entry.prevHash);
    st.bindText(7, entry.hash);
    st.exec();
    return entry;
}

std::vector<JournalEntry> readJournal(Database& db)
{
    std::vector<JournalEntry> entries;
    Statement st = db.prepare("SELECT " + Columns + " FROM TMJOURNAL ORDER BY SEQ");
    while (st.step())
        entries.push_back({st.columnInt(0), st.columnText(1), st.columnText(2), st.columnText(3),
                           st.columnText(4), st.columnText(5), st.columnText(6)});
    return entries;
}

QStringList journalChainProblems(const std::vector<JournalEntry>& entries)
{
    QStringList problems;
    qint64 expectedSeq = 1;
    QString previousHash;
    for (const JournalEntry& entry : entries) {
        if (entry.seq > expectedSeq)
            problems << (entry.seq == expectedSeq + 1
                             ? QStringLiteral("Journal entry %1 was removed.").arg(expectedSeq)
                             : QStringLiteral("Journal entries %1 to %2 were removed.")
                                   .arg(expectedSeq)
                                   .arg(entry.seq - 1));
        if (journalHash(entry) != entry.hash)
            problems << QStringLiteral("Journal entry %1 (%2 of %3) was changed after it was "
                                       "written: its hash does not match its contents.")
                            .arg(entry.seq)
                            .arg(entry.kind, entry.time);
        else if (entry.prevHash != previousHash && entry.seq == expectedSeq)
            problems << QStringLiteral("Journal entry %1 (%2 of %3) does not follow the entry "
                                       "before it: entries were removed or reordered.")
                            .arg(entry.seq)
                            .arg(entry.kind, entry.time);
        expectedSeq = entry.seq + 1;
        previousHash = entry.hash;
    }
    return problems;
}

void protectJournal(Database& db)
{
    for (const QByteArray& sql : db.dialect().journalGuards)
        db.exec(sql);
}

} // namespace Accpac
