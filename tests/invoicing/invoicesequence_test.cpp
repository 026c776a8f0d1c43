#include "creditwindow.h"
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/view.h>

#include <QTimer>

using namespace InvoiceTesting;

namespace {

struct Expectation
{
    bool layout56 = false;
    bool batch = false;
    QStringList shipments;                 // attached, in order
    QList<std::pair<QString, int>> orders; // completed: number, ORDUNIQ
    QString deliveryCode;                  // empty: no delivery line
    bool approvalAsked = false;
};

// The calls of one invoice run that ends normally, without a prepayment.
QStringList invoiceRun(const Expectation& e)
{
    const ViewLayout layout = invoiceLayout(e.layout56);
    QStringList views = layout.views;
    if (e.batch)
        views << "AR0024";
    QStringList lines = openAndCompose(views, layout.composes);
    lines << call("OE0420", "ClearRecord") << call("OE0420", "InitRecord", {"0"})
          << call("OE0420", "SetValue", {"CUSTOMER", "1200"})
          << call("OE0420", "SetValueDirect", {"PROCESSCMD", "1"}) << call("OE0420", "Process")
          << call("OE0420", "SetValue", {"MULTISHI", "1"})
          << call("OE0420", "SetValueDirect", {"PROCESSCMD", "1"}) << call("OE0420", "Process");
    for (const QString& shipment : e.shipments)
        lines << call("OE0427", "ClearRecord") << call("OE0427", "InitRecord", {"0"})
              << call("OE0427", "SetValueDirect", {"SHINUMBER", shipment})
              << call("OE0427", "Insert");
    lines << call("OE0420", "SetValue", {"INVSHIPMTS", "1"}) << call("OE0420", "Process");
    if (!e.deliveryCode.isEmpty())
        lines << call("OE0400", "ClearRecord") << call("OE0400", "InitRecord", {"0"})
              << call("OE0400", "SetValue", {"LINETYPE", "2"})
              << call("OE0400", "SetValue", {"MISCCHARGE", e.deliveryCode})
              << call("OE0400", "Insert");
    if (e.batch) {
        lines << call("AR0024", "SetValue", {"IDCUST", "1200"}) << call("AR0024", "Read")
              << call("AR0024", "GetValue", {"AMTCRLIMT"})
              << call("AR0024", "GetValue", {"AMTBALDUET"}) << call("AR0024", "Close");
        // The approval window formats its amounts in the customer's currency.
        if (e.approvalAsked)
            lines << call("AR0024", "OpenView") << call("AR0024", "SetValue", {"IDCUST", "1200"})
                  << call("AR0024", "Read") << call("AR0024", "GetValue", {"CODECURN"})
                  << call("AR0024", "Close") << call("OE0420", "SetValue", {"APPROVEBY", ""})
                  << call("OE0420", "SetValue", {"APPPASSWRD", ""});
    }
    lines << journalAttachCalls() << call("OE0420", "Insert")
          << call("OE0420", "GetValue", {"INVNUMBER"});
    for (const auto& [number, uniq] : e.orders)
        lines << emptyOrderPass(e.layout56, true, number, uniq)
              << emptyOrderPass(e.layout56, false, number, uniq);
    lines << journalEntryCalls(QStringLiteral("completion"));
    lines << release(views, {"AR0024"});
    return lines;
}

// The order the prepayment runs invoice: its shipment has a line, so that the invoice has
// an amount due the prepayment can go against.
TestOrder prepaid()
{
    TestOrder o = order("ORD7", "SH7", 50);
    o.withLines = true;
    return o;
}

class InvoiceSequence : public ::testing::Test
{
protected:
    InvoiceSequence()
        : fixture({order("ORD1", "SH1", 20), order("ORD2", "SH2", 30), order("ORD3", "SH3", 40),
                   order("ORD4", "SH4", 20), order("ORD5", "SH5", 30), order("ORD6", "SH6", 40),
                   prepaid()})
    {
        window = &fixture.open();
        modGeneral::PendingPrepayment = {};
        modGeneral::LastInvoiceNumber.clear();
        for (const QString number : {"ORD1", "ORD2", "ORD3", "ORD4", "ORD5", "ORD6"})
            uniq[number] = readField("OE0520", 1, {{"ORDNUMBER", number}}, "ORDUNIQ").toInt();
    }

    MainWindowFixture fixture;
    frmMain* window = nullptr;
    QHash<QString, int> uniq;
};

} // namespace

// Interactive runs attach the shipments of the ticked rows only, in grid order, and
// complete their orders afterwards; the delivery line goes to OE0400 when it applies.
TEST_F(InvoiceSequence, InteractiveRunsCallTheViewsOfTheirLayoutInOrder)
{
    ASSERT_EQ(window->ui()->flgMain->Rows(), 8);
    for (const bool layout56 : {false, true}) {
        SCOPED_TRACE(layout56 ? "5.6 layout" : "older layout");
        // Each run invoices other shipments: a shipment goes on one invoice only.
        window->Clear_AllSelections();
        tick(*window, layout56 ? QList<int>{4, 6} : QList<int>{1, 3});
        window->setDelChargeApply(layout56);
        configureDeliveryChargeCode(*window, QStringLiteral(" DEL "));
        startLog();
        const bool created = layout56 ? window->Create_Invoice56(QStringLiteral(" 1200 "))
                                      : window->Create_Invoice(QStringLiteral("1200"));
        EXPECT_TRUE(created);
        Expectation e;
        e.layout56 = layout56;
        const QString a = layout56 ? "4" : "1";
        const QString b = layout56 ? "6" : "3";
        e.shipments = {"SH" + a, "SH" + b};
        e.orders = {{"ORD" + a, uniq["ORD" + a]}, {"ORD" + b, uniq["ORD" + b]}};
        e.deliveryCode = layout56 ? QStringLiteral("DEL") : QString();
        expectCalls(calls(), invoiceRun(e));
        EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("Invoice ")));
        EXPECT_TRUE(window->statusText().endsWith(QStringLiteral(" created successfully.")));
        // The invoiced rows keep their pictures.
        OrderGrid* grid = window->ui()->flgMain;
        grid->setCol(0);
        grid->setRow(layout56 ? 6 : 3);
        EXPECT_EQ(grid->CellPicture(), OrderGrid::Picture::Checked);
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join("/").toStdString();
}

// Batch runs take the rows of the list (ticked or not), read the customer's credit and,
// past the limit, write the (absent) approval into the header and empty it.
TEST_F(InvoiceSequence, BatchRunsTakeTheirRowListAndCheckTheCredit)
{
    // Customer 1200: limit 1000, balance 800. Rows 2 and 1 total 50: within the limit.
    for (const bool layout56 : {false, true}) {
        SCOPED_TRACE(layout56 ? "5.6 layout" : "older layout");
        window->setDelChargeApply(false);
        startLog();
        const QList<std::int16_t> rows =
            layout56 ? QList<std::int16_t>{4, 3} : QList<std::int16_t>{2, 1};
        const bool created = layout56 ? window->Create_Invoice2_56(QStringLiteral("1200"), rows)
                                      : window->Create_Invoice2(QStringLiteral("1200"), rows);
        EXPECT_TRUE(created);
        Expectation e;
        e.layout56 = layout56;
        e.batch = true;
        const int first = rows.at(0);
        const int second = rows.at(1);
        e.shipments = {QStringLiteral("SH%1").arg(first), QStringLiteral("SH%1").arg(second)};
        for (const int row : rows)
            e.orders.append(
                {QStringLiteral("ORD%1").arg(row), uniq[QStringLiteral("ORD%1").arg(row)]});
        expectCalls(calls(), invoiceRun(e));
    }
    // Rows 5 and 6: 30 + 40 = 70 against 50 of credit left: past the limit by 20. (The
    // balance is the company's own, raised by each invoice; the limit is the test's.)
    const double balance = readField("AR0024", 0, {{"IDCUST", "1200"}}, "AMTBALDUET").toDouble();
    updateRecord("AR0024", 0, {{"IDCUST", "1200"}}, {{"AMTCRLIMT", balance + 50.0}});
    // The window hands the run its approval as it closes.
    CreditWindowScript approval([](frmCreditCheck& w) {
        w.Approval = {QStringLiteral("SUPER"), QStringLiteral("SUPER")};
        w.close();
    });
    startLog();
    EXPECT_TRUE(window->Create_Invoice2_56(QStringLiteral("1200"), {5, 6}));
    EXPECT_EQ(approval.shown.size(), 1);
    Expectation e;
    e.layout56 = true;
    e.batch = true;
    e.shipments = {"SH5", "SH6"};
    e.orders = {{"ORD5", uniq["ORD5"]}, {"ORD6", uniq["ORD6"]}};
    e.approvalAsked = true;
    QStringList expected = invoiceRun(e);
    // The approval is written once, then emptied; the call log shows no password.
    expected.replace(expected.indexOf("OE0420 SetValue APPROVEBY|"),
                     "OE0420 SetValue APPROVEBY|SUPER");
    expected.replace(expected.indexOf("OE0420 SetValue APPPASSWRD|"),
                     "OE0420 SetValue APPPASSWRD|********");
    expectCalls(calls(), expected);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join("/").toStdString();
}

// A pending prepayment opens OE0278 and AR0041 after the shipments, copies the header's
// amounts, the batch's fields when the batch is found and writes the receipt into the header.
// Copied values depend on the stand-in's records: those lines are compared up to the value.
static void expectPrepaymentRun(frmMain* window, const MainWindowFixture& fixture, int batch)
{
    // Ticked as the clerk ticks it: the customer and its name are the selection's.
    OrderGrid* grid = window->ui()->flgMain;
    grid->setCol(0);
    grid->setRow(7);
    window->flgMain_Click();
    {
        setPendingCheque(batch, 12.5, QStringLiteral("CHQ-77"));
        window->setDelChargeApply(false);
        startLog();
        EXPECT_TRUE(window->Create_Invoice56(QStringLiteral("1200")));
        const QStringList log = calls();
        const qsizetype from = log.indexOf("OE0278 OpenView");
        ASSERT_GT(from, log.indexOf("OE0420 SetValue INVSHIPMTS|1"));
        QStringList expected = {"OE0278 OpenView", "AR0041 OpenView", "OE0278 NewRecord"};
        auto copy = [&](const QString& to, const QString& field, const QString& from) {
            expected << from + " GetValue " + field.section('<', 1)
                     << to + " SetValue " + field.section('<', 0, 0) + "|*";
        };
        copy("OE0278", "INVUNIQ<INVUNIQ", "OE0420");
        expected << "OE0278 SetValue CUSTOMER|1200"
                 << "OE0278 SetValue CUSTDESC|Mr. Ronald Black";
        for (const QString field :
             {"CUSTCURN<INSOURCURR", "CRATE<INRATE", "CRATEDATE<INRATEDATE", "CRATETYPE<INRATETYPE",
              "CRATEOPER<INRATEREP", "DOCTOTAL<INVNETWTX", "DISCAVAIL<DISCAVAIL",
              "AMOUNTDUE<INVDUE"})
            copy("OE0278", field, "OE0420");
        expected << "AR0041 SetValue CODEPYMTYP|CA"
                 << QStringLiteral("AR0041 SetValue CNTBTCH|%1").arg(batch) << "AR0041 Read";
        if (batch == 1) {
            for (const QString field :
                 {"BATCHNUM<CNTBTCH", "RECPDATE<DATEBTCH", "BANKRATE<RATEEXCHHC",
                  "RATEDATE<DATERATE", "RATETYPE<RATETYPE", "BANKCODE<IDBANK"})
                copy("OE0278", field, "AR0041");
            expected << "OE0278 SetValue RECPTYPE|CHECK"
                     << "OE0278 SetValue CHECKNUM|CHQ-77"
                     << "OE0278 SetValue RECPDATE|2026-12-07"
                     << "OE0278 SetValue RECPAMOUNT|12.5";
        }
        expected << "OE0278 Insert";
        copy("OE0420", "REBATCHNUM<BATCHNUM", "OE0278");
        copy("OE0420", "BANKRECTYP<RECPTYPE", "OE0278");
        expected << "OE0420 SetValue CHECKNUM|CHQ-77"
                 << "OE0420 SetValue BANKCODE|SPRINGBK"
                 << "OE0420 SetValue BANKPAYMNT|12.5"
                 << "OE0420 SetValue CHECKDATE|2026-12-07"
                 << "OE0420 SetValue APPLYTO|2"
                 << "OE0420 SetValue BANKPAYMNT|12.5"
                 << "OE0420 SetValue INVPAYMENT|12.5" << journalAttachCalls() << "OE0420 Insert";
        expectCalls(log.mid(from, expected.size()), expected);
        // Both extra views are released last, in the order they were opened.
        EXPECT_EQ(log.filter("OE0278 Close").size(), 1);
        EXPECT_EQ(log.filter("AR0041 Close").size(), 1);
        EXPECT_EQ(log.mid(log.size() - 3),
                  QStringList({"OE0405 Close", "OE0278 Close", "AR0041 Close"}));
        EXPECT_TRUE(modGeneral::PendingPrepayment.Present);
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join("/").toStdString();
}

TEST_F(InvoiceSequence, APendingPrepaymentIsRecordedWithTheInvoice)
{
    expectPrepaymentRun(window, fixture, 1);
}

// A batch number the receivables do not know: the record gets only the header's values,
// and the header still gets the receipt.
TEST_F(InvoiceSequence, APrepaymentWhoseBatchIsNotFoundIsRecordedWithoutTheBatch)
{
    expectPrepaymentRun(window, fixture, 99);
}

// The refresh timer firing while the run yields does not reload the grid under it: the
// ticked rows are invoiced and completed as they were ticked.
TEST_F(InvoiceSequence, NoReloadReplacesTheRowsDuringARun)
{
    tick(*window, {2});
    QTimer::singleShot(0, window, [this] { tickUntilRefresh(*window); });
    startLog();
    EXPECT_TRUE(window->Create_Invoice56(QStringLiteral("1200")));
    const QStringList log = calls();
    EXPECT_EQ(log.filter("OE0427 SetValueDirect SHINUMBER|").size(), 1);
    EXPECT_TRUE(log.contains("OE0427 SetValueDirect SHINUMBER|SH2"));
    EXPECT_EQ(readField("OE0520", 1, {{"ORDNUMBER", "ORD2"}}, "COMPLETE").toInt(), 3);
    EXPECT_FALSE(window->isLoading());
}

// An approval the header refuses (a password longer than its field, which the window itself
// refuses, so the test hands it over as the window's answer) ends the run with its error
// box, and no invoice is left half made.
TEST_F(InvoiceSequence, ARefusedApprovalEndsTheRunAndIsForgotten)
{
    const double balance = readField("AR0024", 0, {{"IDCUST", "1200"}}, "AMTBALDUET").toDouble();
    updateRecord("AR0024", 0, {{"IDCUST", "1200"}}, {{"AMTCRLIMT", balance + 10.0}});
    const qsizetype invoicesBefore = records("OE0420", {"INVNUMBER"}).size();
    CreditWindowScript approval([](frmCreditCheck& w) {
        w.Approval = {QStringLiteral("SUPER"), QString(65, u'P')};
        w.close();
    });
    EXPECT_FALSE(window->Create_Invoice2_56(QStringLiteral("1200"), {1, 2}));
    EXPECT_EQ(approval.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown.size(), 1) << fixture.boxes.texts().join("/").toStdString();
    EXPECT_EQ(records("OE0420", {"INVNUMBER"}).size(), invoicesBefore);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
