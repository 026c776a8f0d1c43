#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

class AccpacView;

// The program's journal of its decisions, through the journal view ("TM0001").
namespace Journal {

// The kinds of entries (the journal names them so).
inline const QString Invoice = QStringLiteral("invoice");
inline const QString Completion = QStringLiteral("completion");
inline const QString BatchRun = QStringLiteral("batch run");
inline const QString Print = QStringLiteral("print");

// Writes an entry of its own, in a transaction of its own.
void write(const QString& kind, const QJsonObject& body);

// Gives the open invoice header view's invoice its entry's decisions: the view writes them in
// the invoice's own transaction when the header is inserted.
void attachToInvoice(AccpacView& header, const QJsonObject& decisions);

// The bodies of the entries of these kinds, oldest first, each with its "kind".
QList<QJsonObject> entries(const QStringList& kinds);

} // namespace Journal
