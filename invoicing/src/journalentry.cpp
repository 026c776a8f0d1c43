#include "journalentry.h"

#include <core/session.h>

#include <accpac/view.h>

#include <QJsonDocument>

namespace Journal {

namespace {

const QString View = QStringLiteral("TM0001");

void insert(AccpacView& journal, const QString& kind, const QJsonObject& body)
{
    journal.Field(QStringLiteral("KIND")).SetValue(kind);
    journal.Field(QStringLiteral("BODY"))
        .SetValue(QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact)));
    journal.Insert();
}

} // namespace

void write(const QString& kind, const QJsonObject& body)
{
    const modGeneral::ViewPtr journal = modGeneral::OpenView(View);
    journal->InitRecord(0);
    insert(*journal, kind, body);
}

void attachToInvoice(AccpacView& header, const QJsonObject& decisions)
{
    const modGeneral::ViewPtr journal = modGeneral::OpenView(View);
    journal->InitRecord(0);
    journal->Field(QStringLiteral("INVUNIQ"))
        .SetValue(header.Field(QStringLiteral("INVUNIQ")).GetValue());
    insert(*journal, Invoice, decisions);
}

QList<QJsonObject> entries(const QStringList& kinds)
{
    QStringList conditions;
    for (const QString& kind : kinds)
        conditions << QStringLiteral("KIND = \"%1\"").arg(kind);
    const modGeneral::ViewPtr journal = modGeneral::OpenView(View);
    journal->Browse(conditions.join(QStringLiteral(" OR ")), true);
    QList<QJsonObject> found;
    while (journal->Fetch()) {
        QJsonObject body =
            QJsonDocument::fromJson(
                journal->Field(QStringLiteral("BODY")).GetValue().toString().toUtf8())
                .object();
        body.insert(QStringLiteral("kind"),
                    journal->Field(QStringLiteral("KIND")).GetValue().toString().trimmed());
        found << body;
    }
    return found;
}

} // namespace Journal
