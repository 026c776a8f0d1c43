// The auditor's part that knows the journal (see journalaudit.h).
#include "journalaudit.h"

#include "journal.h"

#include <books/moneyrules.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <map>

namespace Accpac {

namespace {

QString money(double amount)
{
    return QString::number(amount, 'f', 2);
}

qint64 cents(double amount)
{
    return std::llround(amount * 100.0);
}

struct StoredInvoice
{
    qint64 uniq = 0;
    QString customer;
    double total = 0;
    double due = 0;
    QStringList shipments;
    std::map<QString, double> charges; // miscellaneous charge code -> amount
};

std::map<QString, StoredInvoice> storedInvoices(Database& db)
{
    std::map<QString, StoredInvoice> invoices;
    {
        Statement st = db.prepare("SELECT INVNUMBER, INVUNIQ, CUSTOMER, INVNETWTX, INVDUE FROM "
                                  "OEINVH ORDER BY INVUNIQ");
        while (st.step()) {
            StoredInvoice& invoice = invoices[st.columnText(0).trimmed()];
            invoice.uniq = st.columnInt(1);
            invoice.customer = st.columnText(2).trimmed();
            invoice.total = st.columnDouble(3);
            invoice.due = st.columnDouble(4);
        }
    }
    Statement shipments = db.prepare("SELECT i.INVNUMBER, s.SHINUMBER FROM OEINVS s JOIN OEINVH i "
                                     "ON i.INVUNIQ = s.INVUNIQ ORDER BY s.SHINUMBER");
    while (shipments.step())
        invoices[shipments.columnText(0).trimmed()].shipments << shipments.columnText(1).trimmed();
    Statement charges = db.prepare("SELECT i.INVNUMBER, d.MISCCHARGE, d.EXTINVMISC FROM OEINVD d "
                                   "JOIN OEINVH i ON i.INVUNIQ = d.INVUNIQ WHERE d.LINETYPE = 2");
    while (charges.step())
        invoices[charges.columnText(0).trimmed()].charges[charges.columnText(1).trimmed()] +=
            charges.columnDouble(2);
    return invoices;
}

QStringList textsOf(const QJsonValue& list)
{
    QStringList texts;
    for (const QJsonValue& value : list.toArray())
        texts << value.toString().trimmed();
    texts.sort();
    return texts;
}

// Why the recorded inputs give no delivery charge; empty when they give one. The decision is
// the program's own rule on the recorded inputs; the reason names the first input that fails,
// in the order the rule decides.
QString noChargeBecause(const QJsonObject& inputs, const QString& customer, double merchandise)
{
    const auto flag = [&](const char* name) { return inputs.value(QLatin1String(name)).toBool(); };
    const Books::DeliveryChargeCase recorded{
        flag("switchedOn"), customer, Books::Money::of(merchandise), flag("cashSale"),
        inputs.value(QStringLiteral("code")).toString().trimmed()};
    if (Books::decideDeliveryCharge(recorded, [&] { return flag("customerFlagged"); }) ==
        Books::DeliveryChargeOutcome::On)
        return flag("omitted") ? QStringLiteral("the clerk chose to omit it") : QString();
    if (!recorded.featureOn)
        return QStringLiteral("the delivery charge was switched off");
    if (!Books::totalQualifiesForDeliveryCharge(recorded.total))
        return QStringLiteral("its merchandise total of %1 was not above 0.00 and at most 100.00")
            .arg(money(merchandise));
    if (recorded.cashSale)
        return QStringLiteral("a cash sale was among its shipments");
    if (!flag("customerFlagged"))
        return QStringLiteral("the customer was not flagged for it");
    return QStringLiteral("no charge code was configured");
}

void checkDeliveryCharge(const QString& number, const QJsonObject& entry,
                         const StoredInvoice& stored, QStringList& problems)
{
    const QJsonObject inputs = entry.value(QStringLiteral("deliveryCharge")).toObject();
    const QString code = inputs.value(QStringLiteral("code")).toString().trimmed();
    const double merchandise = entry.value(QStringLiteral("merchandise")).toDouble();
    const QString why = noChargeBecause(inputs, stored.customer, merchandise);
    const auto line = code.isEmpty() ? stored.charges.end() : stored.charges.find(code);
    const bool charged = line != stored.charges.end();
    if (charged && !why.isEmpty())
        problems << QStringLiteral("Invoice %1 carries the delivery charge, but by the inputs its "
                                   "journal entry records it does not qualify: %2.")
                        .arg(number, why);
    else if (!charged && why.isEmpty())
        problems << QStringLiteral("Invoice %1 qualifies for the delivery charge by the inputs "
                                   "its journal entry records, but carries none.")
                        .arg(number);
    else if (charged &&
             cents(line->second) != cents(inputs.value(QStringLiteral("amount")).toDouble()))
        problems << QStringLiteral("Invoice %1 carries a delivery charge of %2; the charge was "
                                   "%3 when the invoice was made.")
                        .arg(number, money(line->second),
                             money(inputs.value(QStringLiteral("amount")).toDouble()));
}

// The credit check of a batch invoice, derived again from the balance before, the limit and
// the amount its entry records: an invoice that needed a supervisor's approval records the
// approval window's outcome, an approver or none after the clerk cancelled it (the run goes
// on either way).
void checkCredit(const QString& number, const QJsonObject& entry, QStringList& problems)
{
    const QJsonObject credit = entry.value(QStringLiteral("credit")).toObject();
    if (credit.isEmpty())
        return;
    const double balance = credit.value(QStringLiteral("balanceBefore")).toDouble();
    const double limit = credit.value(QStringLiteral("limit")).toDouble();
    const double selected = credit.value(QStringLiteral("selected")).toDouble();
    if (Books::creditApprovalNeeded(Books::Money::of(limit), Books::Money::of(balance),
                                    Books::Money::of(selected)) &&
        !credit.contains(QStringLiteral("approver")))
        problems << QStringLiteral("Invoice %1 needed a supervisor's approval by the credit "
                                   "check its journal entry records (a balance of %2 before, a "
                                   "limit of %3, %4 invoiced), but records none.")
                        .arg(number, money(balance), money(limit), money(selected));
}

// A recorded prepayment receipt larger than the total its invoice's entry records: the
// prepayment window's limit, derived again.
void checkPrepayment(const QJsonObject& receipt, const std::map<QString, double>& recordedTotals,
                     QStringList& problems)
{
    const QString number = receipt.value(QStringLiteral("invoice")).toString().trimmed();
    const auto total = recordedTotals.find(number);
    if (total == recordedTotals.end())
        return;
    const double amount = receipt.value(QStringLiteral("amount")).toDouble();
    if (Books::prepaymentExceeds(Books::Money::of(amount), Books::Money::of(total->second)))
        problems << QStringLiteral("The prepayment of %1 that the journal records for invoice "
                                   "%2 exceeds the invoice's recorded total of %3.")
                        .arg(money(amount), number, money(total->second));
}

void checkAgainstBooks(const QString& number, qint64 seq, const QJsonObject& entry,
                       const StoredInvoice* stored, QStringList& problems)
{
    if (!stored) {
        problems << QStringLiteral("Invoice %1 of journal entry %2 is not in the books.")
                        .arg(number)
                        .arg(seq);
        return;
    }
    if (entry.value(QStringLiteral("customer")).toString().trimmed() != stored->customer)
        problems << QStringLiteral("Invoice %1 is for customer %2; its journal entry records "
                                   "customer %3.")
                        .arg(number, stored->customer,
                             entry.value(QStringLiteral("customer")).toString().trimmed());
    QStringList shipments = stored->shipments;
    shipments.sort();
    if (const QStringList recorded = textsOf(entry.value(QStringLiteral("shipments")));
        recorded != shipments)
        problems << QStringLiteral("Invoice %1 lists shipments %2; its journal entry records %3.")
                        .arg(number, shipments.join(u", "), recorded.join(u", "));
    const double total = entry.value(QStringLiteral("total")).toDouble();
    const double due = entry.value(QStringLiteral("due")).toDouble();
    if (cents(total) != cents(stored->total) || cents(due) != cents(stored->due))
        problems << QStringLiteral("Invoice %1 totals %2 with %3 due; its journal entry records "
                                   "%4 with %5 due.")
                        .arg(number, money(stored->total), money(stored->due), money(total),
                             money(due));
}

} // namespace

JournalAudit auditJournal(Database& db)
{
    JournalAudit audit;
    const std::vector<JournalEntry> entries = readJournal(db);
    audit.problems << journalChainProblems(entries);
    const std::map<QString, StoredInvoice> stored = storedInvoices(db);
    qint64 invoicesBefore = 0;
    QSet<QString> recorded;
    std::map<QString, double> recordedTotals;
    for (const JournalEntry& entry : entries) {
        const QJsonDocument body = QJsonDocument::fromJson(entry.body.toUtf8());
        if (!body.isObject()) {
            audit.problems << QStringLiteral("Journal entry %1 cannot be read: its body is no "
                                             "JSON object.")
                                  .arg(entry.seq);
            continue;
        }
        const QJsonObject fields = body.object();
        if (entry.kind == JournalKind::Begun)
            invoicesBefore = std::max(
                invoicesBefore, qint64(fields.value(QStringLiteral("invoicesBefore")).toDouble()));
        if (entry.kind == JournalKind::Prepayment)
            checkPrepayment(fields, recordedTotals, audit.problems);
        if (entry.kind != JournalKind::Invoice)
            continue;
        const QString number = fields.value(QStringLiteral("invoice")).toString().trimmed();
        recorded.insert(number);
        recordedTotals[number] = fields.value(QStringLiteral("total")).toDouble();
        checkCredit(number, fields, audit.problems);
        const auto found = stored.find(number);
        checkAgainstBooks(number, entry.seq, fields,
                          found == stored.end() ? nullptr : &found->second, audit.problems);
        if (found != stored.end() && fields.contains(QStringLiteral("deliveryCharge"))) {
            audit.judgedByEntry.insert(number);
            checkDeliveryCharge(number, fields, found->second, audit.problems);
        }
    }
    int before = 0;
    for (const auto& [number, invoice] : stored) {
        if (recorded.contains(number))
            continue;
        if (invoice.uniq <= invoicesBefore)
            ++before;
        else
            audit.problems << QStringLiteral("Invoice %1 has no journal entry.").arg(number);
    }
    if (before > 0)
        audit.notes << QStringLiteral("%1 invoice(s) were made before the journal was kept: they "
                                      "are judged by today's settings.")
                           .arg(before);
    return audit;
}

} // namespace Accpac
