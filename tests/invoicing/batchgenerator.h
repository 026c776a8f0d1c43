#pragma once

#include "batchtesting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>

// Randomized batch runs: a seed makes a grid (customers, order numbers with and without
// revision suffixes, rows without a shipment, a shipment still being entered, rows ticked
// before the run, today's and older dates), the run's settings, credit limits and sometimes
// a pending prepayment. Each generated run is previewed, run over a fresh sample company,
// audited, and compared with the batch rules worked out on the plain rows.
namespace BatchGenerator {

// Shown in the shipment column while a shipment is being entered elsewhere.
inline const QString NewShipment = QStringLiteral("*** NEW ***");

struct GeneratedRow
{
    BatchTesting::Row row;
    qint64 cents = 0;
    bool tickedBefore = false;
};

struct CustomerTerms
{
    QString id;
    qint64 limitCents = 0; // credit limit after the generator's change
    qint64 balanceCents = 0;
    bool flagged = false; // DELCHARGE
};

struct GeneratedRun
{
    std::uint32_t seed = 0;
    BatchTesting::RunSettings settings;
    bool deliveryCharge = false; // the feature switch
    QList<GeneratedRow> rows;    // in grid order
    QList<CustomerTerms> customers;
    bool prepayment = false; // a cheque pending for the rows ticked before the run
    // What the clerk does in the prepayment window at each pause of the run, as an invoice
    // starts: nothing, confirm a new cheque, cancel, or confirm and cancel by turns.
    enum class AtPauses
    {
        Nothing,
        Confirm,
        Cancel,
        ByTurns
    };
    AtPauses atPauses = AtPauses::Nothing;
    // Orders invoiced in part elsewhere (last invoice number set, 6 ordered, 5 on back
    // order): no run may complete them.
    QStringList partlyInvoiced;
    // The locale of the clerk's number and date formats.
    QString locale = QStringLiteral("en_US");
    // An earlier run ended in an error at this row (its date did not convert while only
    // today's shipments were wanted); the grid was then reloaded. -1: no earlier run.
    int failedEarlierAt = -1;
};

GeneratedRun generate(std::uint32_t seed);
// Whether the sample company flags the customer for the delivery charge, as the generator
// assumes when it makes the clerk's small invoices (the seed's check compares the company).
bool flaggedInSample(const QString& customer);

// One invoice as the rules, the preview or the books have it.
struct ExpectedInvoice
{
    QString customer;
    QStringList shipments; // sorted
    qint64 cents = 0;      // the shipments' total
    bool deliveryCharge = false;
    bool creditApproval = false;
    bool operator==(const ExpectedInvoice&) const = default;
};
QString describe(const ExpectedInvoice& invoice);

// The invoices the batch rules make of the generated grid, in order. With stopAt, the run
// ends at that row's turn in the first pass (its date does not convert).
QList<ExpectedInvoice> invoicesByTheRules(const GeneratedRun& run, qint64 chargeCents,
                                          int stopAt = -1);

// The invoices the batch rules make, as lists of row indexes in the order they are made.
QList<QList<int>> invoicedRows(const GeneratedRun& run, int stopAt);
// The invoices of the given rows with their charge and approval marks, each adding its net,
// charge line included, to its customer's balance in `terms`.
using Terms = std::map<QString, CustomerTerms>;
Terms termsOf(const GeneratedRun& run);
QList<ExpectedInvoice> priced(const GeneratedRun& run, const QList<QList<int>>& invoices,
                              qint64 chargeCents, Terms& terms);
// Cents as "1234.50".
QString money(qint64 cents);

// Generates the seed's run, previews and runs it over a fresh sample company, audits the
// books and compares preview, run and rules; then the clerk invoices the rows still ticked,
// compared with the rules too. The problems found; none when the seed passes.
QStringList checkSeed(std::uint32_t seed);

} // namespace BatchGenerator
