// The delivery charge and the credit approval of the invoices of a batch run, through the
// real main window over a fresh sample company: each invoice is judged on its own rows and
// customer, and the preview marks exactly the invoices the run makes so.
#include "batchtesting.h"
#include "creditwindow.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <invoicing/batchpreview.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace BatchTesting;

namespace {

Row shipment(const char* order, const char* customer, const char* number, double amount)
{
    Row r{QString::fromLatin1(order), QString::fromLatin1(customer), QString::fromLatin1(number)};
    r.amount = amount;
    return r;
}

struct Marks
{
    QStringList shipments;
    bool charge = false;
    bool approval = false;
    bool operator==(const Marks&) const = default;
};

void PrintTo(const Marks& m, std::ostream* out)
{
    *out << m.shipments.join(u',').toStdString() << (m.charge ? " +charge" : "")
         << (m.approval ? " +approval" : "");
}

QList<Marks> previewed(const BatchPreview& preview)
{
    QList<Marks> list;
    for (const BatchPreview::Invoice& invoice : preview.invoices) {
        Marks m{{}, invoice.deliveryCharge, invoice.creditApproval};
        for (const BatchPreview::Row& row : invoice.rows)
            m.shipments << row.shipment;
        m.shipments.sort();
        list << m;
    }
    return list;
}

QList<Marks> booked()
{
    QList<Marks> list;
    for (const Invoice& invoice : invoices())
        list << Marks{invoice.shipments, invoice.deliveryCharge, !invoice.approvedBy.isEmpty()};
    return list;
}

// Previews and runs the grid with the delivery charge on, a supervisor approving every
// credit request; the preview and the books must both show the expected marks.
void expectMarks(const QList<Row>& rows, const RunSettings& settings, const QList<Marks>& expected)
{
    MainWindowFixture fixture(ordersOf(rows));
    save(settings);
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    frmMain& w = fixture.open();
    EXPECT_EQ(previewed(previewBatch(w)), expected) << "preview";
    {
        CreditWindowScript supervisor([](frmCreditCheck& window) {
            CreditWindow::approve(window, Sample::SupervisorId, Sample::SupervisorPassword);
        });
        w.Check_Orders();
    }
    EXPECT_EQ(booked(), expected) << "books";
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

const RunSettings plain;

RunSettings revisions()
{
    return {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"), 1};
}

} // namespace

// Customers 1100 and 1850 are flagged for the charge, 1840 is not. Each invoice of the run is
// judged on its own total: not on the running total of its customer's invoices, and not with
// whatever the last tick of the first pass left for the second pass.
TEST(BatchRunMarks, DeliveryChargeIsDecidedPerInvoice)
{
    // One invoice each: 40 and 80 both qualify, although they add up to 120.
    expectMarks({shipment("A1", "1100", "S1", 40), shipment("A2", "1100", "S2", 80),
                 shipment("A3", "1840", "S3", 120), shipment("A4", "1840", "S4", 30)},
                plain,
                {{{"S1"}, true, false},
                 {{"S2"}, true, false},
                 {{"S3"}, false, false},
                 {{"S4"}, false, false}});
    // Revisions, invoiced by the second pass after the first pass ticked them all: the
    // flagged customer's small invoice gets the line, the unflagged one's none, whichever
    // was ticked last.
    expectMarks({shipment("B-1", "1840", "S5", 20), shipment("C-1", "1100", "S6", 30),
                 shipment("D-1", "1100", "S7", 150)},
                revisions(),
                {{{"S5"}, false, false}, {{"S6"}, true, false}, {{"S7"}, false, false}});
    expectMarks({shipment("B-1", "1100", "S5", 50), shipment("C-1", "1840", "S6", 150)},
                revisions(), {{{"S5"}, true, false}, {{"S6"}, false, false}});
}

// Customer 1200 (flagged) has 200.00 of credit left. Its first invoice, 95.00, fits and takes
// the delivery line: the books then hold 105.00 more. The second, 96.00, exceeds what is left
// (95.00), although the shipments alone (191.00) would not: the preview counts the line too.
TEST(BatchRunMarks, CreditApprovalCountsEarlierInvoicesWithTheirDeliveryLine)
{
    expectMarks({shipment("A1", "1200", "S1", 95), shipment("A2", "1200", "S2", 96)}, plain,
                {{{"S1"}, true, false}, {{"S2"}, true, true}});
}

// The sample company as installed, with the delivery charge and revision suffixes switched on
// (completed revisions invoiced together): a run over its whole grid books exactly what the
// preview announced, and the auditor, reading the machine's settings, finds nothing wrong.
TEST(BatchRunMarks, SampleCompanyRunWithChargeAndRevisionsPassesTheAuditor)
{
    const auto sample = MainWindowFixture::sampleCompany();
    MainWindowFixture& fixture = *sample;
    save({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1"), 1});
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    frmMain& w = fixture.open();
    const BatchPreview preview = previewBatch(w);
    const QList<Marks> announced = previewed(preview);
    const qsizetype before = booked().size(); // the sample's own earlier invoices
    {
        CreditWindowScript supervisor([](frmCreditCheck& window) {
            CreditWindow::approve(window, Sample::SupervisorId, Sample::SupervisorPassword);
        });
        w.Check_Orders();
    }
    const QList<Marks> books = booked().mid(before);
    EXPECT_EQ(books, announced);
    EXPECT_GT(books.size(), 100);
    EXPECT_TRUE(std::ranges::any_of(books, [](const Marks& m) { return m.charge; }));
    EXPECT_TRUE(std::ranges::any_of(books, [](const Marks& m) { return !m.charge; }));
    EXPECT_TRUE(std::ranges::any_of(books, [](const Marks& m) { return m.shipments.size() > 1; }))
        << "the sample's completed revisions share an invoice";
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
