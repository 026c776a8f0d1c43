// The batch invoice run through the real main window over a fresh sample company: grid rows
// and settings in, the invoices the stand-in holds (which shipments on which invoice, in which
// order) and the closing status text out.
#include "batchtesting.h"
#include "faultyaccpac.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <invoicing/batchpreview.h>
#include <windows/frmbatchopts.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace BatchTesting;

namespace {

struct RunCase
{
    const char* name;
    RunSettings settings;
    QList<Row> rows;
    QStringList tickedBefore; // order numbers the user ticked before the run
    QList<QStringList> expected;
};

void PrintTo(const RunCase& c, std::ostream* out)
{
    *out << c.name;
}

Row row(const char* order, const char* customer, const char* shipment, bool today = true)
{
    return {QString::fromUtf8(order), QString::fromLatin1(customer), QString::fromLatin1(shipment),
            today};
}

RunSettings revisions(const char* invComplete, const char* separator = "0")
{
    return {QString::fromLatin1(separator), QStringLiteral("1"), QString::fromLatin1(invComplete),
            1};
}

const RunSettings plain;
const RunSettings onlyToday{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), 2};

const RunCase Cases[] = {
    {"EveryShipmentAloneWithoutSuffixes",
     plain,
     {row("A1", "1210", "S1"), row("A2", "1840", "S2"), row("A3", "1210", "S3"),
      row("A4", "1840", "S4")},
     {},
     {{"S1"}, {"S3"}, {"S2"}, {"S4"}}},
    {"OnlyTodayFiltersOnlyTheRowWhoseTurnItIs",
     onlyToday,
     {row("A1", "1210", "S1", false), row("A2", "1210", "S2"), row("A3", "1840", "S3", false)},
     {},
     {{"S2"}, {"S1"}}},
    {"OnlyTodayDoesNotFilterTheSecondPass",
     {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"), 2},
     {row("B-1", "1210", "S1"), row("B-2", "1210", "S2", false), row("C-1", "1840", "S3", false)},
     {},
     {{"S1"}, {"S2"}}},
    {"RevisionsAloneWhenTheyDoNotShareAnInvoice",
     revisions("0"),
     {row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2"), row("2000-1", "1840", "S3")},
     {},
     {{"S1"}, {"S2"}, {"S3"}}},
    {"RevisionsOfOneCustomerShareAnInvoice",
     revisions("1"),
     {row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2"), row("1000-3", "1840", "S3")},
     {},
     {{"S1", "S2"}, {"S3"}}},
    // "1000-3" is no revision here: invoiced in the first pass, the revisions in the second.
    {"BlankSeparator",
     revisions("1", "1"),
     {row("1000 1", "1210", "S1"), row("1000 2", "1210", "S2"), row("1000-3", "1210", "S3")},
     {},
     {{"S3"}, {"S1", "S2"}}},
    {"UnderscoreSeparator",
     revisions("1", "2"),
     {row("1000_1", "1210", "S1"), row("1000_2", "1210", "S2"), row("2000_1", "1840", "S3")},
     {},
     {{"S1", "S2"}, {"S3"}}},
    // An order without suffix takes the customer's revisions along, each alone; the second
    // pass does not invoice them again.
    {"UnsuffixedOrderTakesTheRevisionsAlong",
     revisions("1"),
     {row("1000-1", "1840", "S1"), row("1000-2", "1840", "S2"), row("0500", "1840", "S3")},
     {},
     {{"S3"}, {"S1"}, {"S2"}}},
    {"UnknownSeparatorMakesEveryOrderARevisionOfOneBase",
     revisions("1", "7"),
     {row("1000", "1210", "S1"), row("2000", "1210", "S2"), row("3000", "1840", "S3")},
     {},
     {{"S1", "S2"}, {"S3"}}},
    {"UnknownSeparatorWithoutRevisions",
     {QStringLiteral("7"), QStringLiteral("0"), QStringLiteral("1"), 1},
     {row("1000", "1210", "S1"), row("2000", "1210", "S2"), row("3000", "1840", "S3")},
     {},
     {{"S1"}, {"S2"}, {"S3"}}},
    {"TickedBeforeTheRunStayUninvoiced",
     plain,
     {row("A1", "1210", "S1"), row("A2", "1210", "S2"), row("A3", "1840", "S3")},
     {"A2"},
     {{"S1"}, {"S3"}}},
    {"TickedRevisionsAreInvoicedByTheSecondPass",
     revisions("0"),
     {row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2"), row("3000", "1840", "S3")},
     {"1000-1"},
     {{"S3"}, {"S1"}, {"S2"}}},
    // An order without a shipment among the revisions takes back their ticks: the base
    // order waits.
    {"NoShipmentBetweenRevisionsHoldsTheBaseOrderBack",
     revisions("1"),
     {row("1000-1", "1210", "S1"), row("1000-2", "1210", ""), row("1000-3", "1210", "S3"),
      row("2000-1", "1840", "S4")},
     {},
     {{"S4"}}},
    {"NoShipmentBetweenRevisionsThatDoNotShareAnInvoice",
     revisions("0"),
     {row("1000-1", "1210", "S1"), row("1000-2", "1210", ""), row("1000-3", "1210", "S3"),
      row("2000-1", "1840", "S4")},
     {},
     {{"S1"}, {"S3"}, {"S4"}}},
    {"RunThatCreatesNothing",
     onlyToday,
     {row("A1", "1210", "S1", false), row("A2", "1840", "S2", false), row("A3", "1840", "")},
     {},
     {}},
    // The order without suffix takes 1000-2 along; the second pass invoices the ticked
    // 1000-1 without taking 1000-2 a second time.
    {"SecondPassLeavesARevisionTheFirstPassInvoiced",
     revisions("1"),
     {row("0500", "1210", "S0"), row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2")},
     {"1000-1"},
     {{"S0"}, {"S2"}, {"S1"}}},
    // The older revision has no turn of its own; today's revision of the other customer
    // takes it along although the selection still holds the previous group's customer.
    {"OnlyTodayTakesAnOlderRevisionAlong",
     {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1"), 2},
     {row("1000-1", "1210", "S1"), row("2000-1", "1840", "S2", false), row("2000-2", "1840", "S3")},
     {},
     {{"S1"}, {"S2", "S3"}}},
    // A shipment still being entered has no amount: the run leaves it out as an order
    // without a shipment, and so does the preview.
    {"ShipmentBeingEnteredIsLeftOut",
     plain,
     {row("A1", "1210", "*** NEW ***"), row("A2", "1210", "S2"), row("A3", "1840", "S3")},
     {},
     {{"S2"}, {"S3"}}},
    {"OrderNumbersWithSeveralSeparatorsBlanksAndAccents",
     revisions("1"),
     {row("1000-1-A", "1210", "S1"), row("1000-2", "1210", "S2"), row("Ä 9-1", "1840", "S3"),
      row("Ä 9-2", "1840", "S4")},
     {},
     {{"S1", "S2"}, {"S3", "S4"}}},
};

class InvoiceRun : public ::testing::TestWithParam<RunCase>
{
};

TEST_P(InvoiceRun, CreatesTheInvoicesOfTheGrid)
{
    const RunCase& c = GetParam();
    MainWindowFixture fixture(ordersOf(c.rows));
    save(c.settings);
    frmMain& w = fixture.open();
    ASSERT_EQ(w.ui()->flgMain->Rows(), c.rows.size() + 1);
    tickOrders(w, c.tickedBefore);
    modGeneral::BatchFirstInvoice.clear();
    w.setBatchInvoiced(false);
    const QString statusBefore = w.statusText();

    // The preview first: nothing written, nothing ticked, the selection as it was.
    const QByteArray companyBefore = companyContent(fixture.companyFile());
    const QList<int> ticksBefore = tickedRows(w);
    const QString selectedBefore = w.selCustomer();
    const BatchPreview preview = previewBatch(w);
    EXPECT_TRUE(preview.complete);
    EXPECT_TRUE(companyContent(fixture.companyFile()) == companyBefore);
    EXPECT_EQ(tickedRows(w), ticksBefore);
    EXPECT_EQ(w.selCustomer(), selectedBefore);
    EXPECT_EQ(w.statusText(), statusBefore);
    QList<QStringList> previewed;
    for (const BatchPreview::Invoice& invoice : preview.invoices) {
        QStringList rows;
        for (const BatchPreview::Row& row : invoice.rows)
            rows << row.shipment;
        rows.sort();
        previewed << rows;
    }

    w.Check_Orders();

    const QList<Invoice> made = invoices();
    QList<QStringList> shipments;
    for (const Invoice& invoice : made)
        shipments << invoice.shipments;
    QList<QStringList> expected = c.expected;
    EXPECT_EQ(shipments, expected);
    EXPECT_EQ(previewed, shipments) << "the preview differs from the run";
    if (made.isEmpty()) {
        EXPECT_EQ(w.statusText(), statusBefore);
    } else {
        EXPECT_EQ(w.statusText(), QStringLiteral("Invoices ") + made.first().number +
                                      QStringLiteral(" to ") + made.last().number +
                                      QStringLiteral(" have been created."));
    }
    EXPECT_TRUE(modGeneral::BatchFirstInvoice.isEmpty());
    EXPECT_FALSE(w.batchInvoiced());
    EXPECT_FALSE(w.batchMode());
    // Afterwards only the user's ticks that no invoice took remain selected, with their
    // customer and total; without any, nothing is selected and Invoice is disabled.
    QStringList invoiced;
    for (const Invoice& invoice : made)
        invoiced += invoice.shipments;
    QList<int> remaining;
    QString remainingCustomer;
    const OrderGrid* grid = w.ui()->flgMain;
    for (int r = 1; r < grid->Rows(); ++r) {
        if (c.tickedBefore.contains(grid->TextMatrix(r, 1)) &&
            !invoiced.contains(grid->TextMatrix(r, 3))) {
            remaining << r;
            remainingCustomer = grid->TextMatrix(r, 5);
        }
    }
    EXPECT_EQ(tickedRows(w), remaining);
    EXPECT_EQ(w.selCustomer(), remainingCustomer);
    EXPECT_EQ(w.ui()->lblInvoice->text(),
              remaining.isEmpty() ? QStringLiteral("0.00") : QStringLiteral("10.00"));
    EXPECT_EQ(w.mnuFileSub(3)->isEnabled(), !remaining.isEmpty());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, InvoiceRun, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

QString closingText(const QList<Invoice>& made)
{
    return QStringLiteral("Invoices ") + made.first().number + QStringLiteral(" to ") +
           made.last().number + QStringLiteral(" have been created.");
}

const QList<Row> ThreeCustomers = {row("A1", "1210", "S1"), row("A2", "1840", "S2"),
                                   row("A3", "1100", "S3")};

} // namespace

// A refused invoice is reported and the run goes on with the next one; when the refused one
// is the last, the closing text still names the last invoice created.
TEST(InvoiceRunFailures, RefusedInvoiceInTheMiddleOrAtTheEndLetsTheRunGoOn)
{
    for (const int refused : {2, 3}) {
        SCOPED_TRACE(refused);
        MainWindowFixture fixture(ordersOf(ThreeCustomers));
        save(plain);
        frmMain& w = fixture.open();
        FaultyAccpac faults;
        faults.fail({"OE0420", "Insert", refused, QStringLiteral("The invoice cannot be saved.")});
        w.Check_Orders();

        QList<QStringList> expected = {{"S1"}, {"S2"}, {"S3"}};
        expected.removeAt(refused - 1);
        const QList<Invoice> made = invoices();
        ASSERT_EQ(made.size(), 2);
        EXPECT_EQ(shipmentsPerInvoice(), expected);
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("cannot be saved")));
        EXPECT_EQ(w.statusText(), closingText(made));
        EXPECT_EQ(fixture.auditProblems(), QStringList());
    }
}

// A row without a transfer date (the cash sales class shows none, and the loader keeps none
// of a damaged value) while only today's shipments are wanted ends the run at once with the
// generic box; the batch values wait for the next run that ends.
TEST(InvoiceRunFailures, DateThatDoesNotConvertEndsTheRun)
{
    for (const QString& date : {QString()}) {
        SCOPED_TRACE(date.toStdString());
        MainWindowFixture fixture(ordersOf(ThreeCustomers));
        save(onlyToday);
        frmMain& w = fixture.open();
        OrderGrid* grid = w.ui()->flgMain;
        grid->setTextMatrix(2, 2, date);
        modGeneral::BatchFirstInvoice.clear();
        w.setBatchInvoiced(false);
        w.Check_Orders();

        QList<Invoice> made = invoices();
        ASSERT_EQ(made.size(), 1);
        EXPECT_EQ(made[0].shipments, QStringList{"S1"});
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
        EXPECT_TRUE(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; Type mismatch")))
            << fixture.boxes.shown[0].text.toStdString();
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("frmMain.Check_Orders")));
        EXPECT_EQ(w.statusText(), QStringLiteral("Invoice ") + made[0].number +
                                      QStringLiteral(" created successfully."));
        EXPECT_EQ(modGeneral::BatchFirstInvoice, made[0].number);
        EXPECT_TRUE(w.batchInvoiced());
        EXPECT_FALSE(w.batchMode());

        // A next run that creates nothing (no row dated today is left) changes no status
        // text; the range waits for a run that creates invoices.
        const QString older = SystemLocale::shortDate(QDate::currentDate().addDays(-3));
        const QString today = grid->TextMatrix(1, 2);
        grid->setTextMatrix(2, 2, older);
        grid->setTextMatrix(3, 2, older);
        const QString failedRunStatus = w.statusText();
        w.Check_Orders();
        EXPECT_EQ(invoices().size(), 1);
        EXPECT_EQ(w.statusText(), failedRunStatus);
        EXPECT_EQ(modGeneral::BatchFirstInvoice, made[0].number);

        // The next run, with dates that convert, names the range of both runs.
        grid->setTextMatrix(2, 2, today);
        grid->setTextMatrix(3, 2, today);
        w.Check_Orders();
        made = invoices();
        ASSERT_EQ(made.size(), 3);
        EXPECT_EQ(w.statusText(), closingText(made));
        EXPECT_TRUE(modGeneral::BatchFirstInvoice.isEmpty());
        EXPECT_EQ(fixture.boxes.shown.size(), 1);
    }
}

// Settings that are no number end the run with the generic box when they are first used;
// nothing is invoiced after that point and the books stay whole.
TEST(InvoiceRunFailures, SettingsThatAreNoNumberEndTheRun)
{
    struct Bad
    {
        RunSettings settings;
        QList<Row> rows;
        int invoicesBefore;
    };
    const QList<Bad> bad = {
        {{QStringLiteral("dash"), QStringLiteral("0"), QStringLiteral("0"), 1}, ThreeCustomers, 0},
        // "OrderNum" is first read at the first revision: A1 is invoiced before.
        {{QStringLiteral("0"), QStringLiteral("yes"), QStringLiteral("0"), 1},
         {row("A1", "1210", "S1"), row("B-1", "1840", "S2")},
         1},
        // "InvComplete" is first read at the order without a shipment.
        {{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral(" "), 1},
         {row("A1", "1210", "S1"), row("A2", "1840", "")},
         1},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.settings.separator.toStdString() + b.settings.orderNum.toStdString());
        MainWindowFixture fixture(ordersOf(b.rows));
        save(b.settings);
        frmMain& w = fixture.open();
        w.Check_Orders();
        EXPECT_EQ(invoices().size(), b.invoicesBefore);
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_TRUE(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; Type mismatch")));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("frmMain.Check_Orders")));
        EXPECT_EQ(fixture.auditProblems(), QStringList());
    }
}

// A pending prepayment belongs to the user's own selection: no batch invoice carries it, also
// when the user confirms it while the run yields. It stays pending, with its labels, exactly
// while the selection it was entered for stays: here the user's tick on 1000-2, which the
// order without a shipment holds back. Once the run has invoiced the user's rows, it is gone.
TEST(InvoiceRunFailures, PendingPrepaymentStaysWithTheUsersSelection)
{
    MainWindowFixture fixture(ordersOf({row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2"),
                                        row("1000-3", "1210", ""), row("2000-1", "1840", "S4")}));
    save(revisions("1"));
    frmMain& w = fixture.open();
    tickOrders(w, {"1000-2"});
    auto enterCheque = [&](const QString& number) {
        setPendingCheque(1, 5, number);
        w.ui()->lblPrepayment->setText(QStringLiteral("5.00"));
        w.ui()->lblPrepay->show();
        w.ui()->lblPrepayment->show();
    };
    enterCheque(QStringLiteral("CHK-1"));
    auto prepaymentShown = [&] {
        return !w.ui()->lblPrepay->isHidden() && !w.ui()->lblPrepayment->isHidden() &&
               w.ui()->lblPrepayment->text() == QLatin1String("5.00");
    };
    auto receipts = [] {
        auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0278"));
        view->Browse(QString(), true);
        QStringList customers;
        while (view->Fetch())
            customers << view->Field(QStringLiteral("CUSTOMER")).GetValue().toString();
        view->Close();
        return customers;
    };

    // The preview takes the last tick away as the run does, and puts everything back.
    previewBatch(w);
    EXPECT_EQ(tickedRows(w), QList<int>{2});
    EXPECT_TRUE(modGeneral::PendingPrepayment.Present);
    EXPECT_TRUE(prepaymentShown());

    w.Check_Orders();
    EXPECT_EQ(shipmentsPerInvoice(), QList<QStringList>{{"S4"}});
    EXPECT_EQ(tickedRows(w), QList<int>{2});
    EXPECT_EQ(w.selCustomer(), QStringLiteral("1210"));
    EXPECT_EQ(w.ui()->lblInvoice->text(), QStringLiteral("10.00"));
    EXPECT_TRUE(modGeneral::PendingPrepayment.Present);
    EXPECT_EQ(modGeneral::PendingPrepayment.ReceiptNumber, QStringLiteral("CHK-1"));
    EXPECT_TRUE(prepaymentShown());
    EXPECT_TRUE(receipts().isEmpty());

    // The user's own invoice takes it.
    w.mnuFileSub_Click(3);
    EXPECT_EQ(receipts(), QStringList{"1210"});
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();

    // A revision the user ticked is invoiced by the run: its prepayment goes with the
    // selection, hidden labels and all, and cannot land on the next customer's invoice. One
    // confirmed while the run yields goes on no batch invoice either.
    MainWindowFixture second(ordersOf({row("3000-1", "1840", "S5"), row("4000-1", "1100", "S6"),
                                       row("5000-1", "1810", "S7", false)}));
    save(revisions("0"));
    frmMain& v = second.open();
    tickOrders(v, {"3000-1"});
    setPendingCheque(1, 5, QStringLiteral("CHK-2"));
    QTimer confirm;
    confirm.setInterval(0);
    QObject::connect(&confirm, &QTimer::timeout, [&] {
        if (v.statusText().startsWith(QStringLiteral("Batch invoicing: invoice 2"))) {
            setPendingCheque(1, 5, QStringLiteral("CHK-3"));
            confirm.stop();
        }
    });
    confirm.start();
    modGeneral::BatchOption = 2;
    v.Check_Orders();
    EXPECT_EQ(shipmentsPerInvoice(), (QList<QStringList>{{"S5"}, {"S6"}}));
    EXPECT_TRUE(receipts().isEmpty());
    EXPECT_TRUE(tickedRows(v).isEmpty());
    EXPECT_TRUE(v.selCustomer().isEmpty());
    EXPECT_FALSE(modGeneral::PendingPrepayment.Present);
    EXPECT_TRUE(v.ui()->lblPrepayment->isHidden());
    EXPECT_FALSE(v.mnuFileSub(3)->isEnabled());
    tickOrders(v, {"5000-1"});
    v.mnuFileSub_Click(3);
    EXPECT_TRUE(receipts().isEmpty());
    EXPECT_EQ(invoices().size(), 3);
    modGeneral::PendingPrepayment = {};
    EXPECT_TRUE(second.boxes.shown.isEmpty()) << second.boxes.texts().join(u'|').toStdString();
}

// Through the menu: the options window, then the run, which holds the grid for its whole
// length, shows its progress and the busy pointer, and keeps the window responsive.
TEST(InvoiceRunCommand, InvoiceBatchRunsAndHoldsTheGrid)
{
    MainWindowFixture fixture(ordersOf(ThreeCustomers));
    save(plain);
    Setting::save(Setting::BatchInv, QStringLiteral("1"));
    frmMain& w = fixture.open();
    OrderGrid* grid = w.ui()->flgMain;
    const int rows = grid->Rows();

    QTimer::singleShot(0, [] {
        if (auto* options = qobject_cast<frmBatchOpts*>(QApplication::activeModalWidget()))
            options->close();
    });
    QStringList progress;
    bool held = true;
    bool busy = true;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!w.statusText().startsWith(QStringLiteral("Batch invoicing:")))
            return;
        if (!progress.contains(w.statusText()))
            progress << w.statusText();
        held = held && w.gridInUse() && !w.menuBar()->isEnabled() && !w.ui()->tlbMain->isEnabled();
        busy = busy && QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        // The user tries another batch, a refresh, the timer and a click on a row.
        w.mnuFileSub_Click(4);
        w.mnuFileSub_Click(0);
        tickUntilRefresh(w);
        grid->setRow(rows - 1);
        grid->setCol(0);
        emit grid->Click();
    });
    watcher.start();
    w.mnuFileSub_Click(4);
    watcher.stop();

    const QList<Invoice> made = invoices();
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(progress, QStringList({
                            "Batch invoicing: invoice 1 of at most 3, customer 1210 Customer 1210",
                            "Batch invoicing: invoice 2 of at most 3, customer 1840 Customer 1840",
                            "Batch invoicing: invoice 3 of at most 3, customer 1100 Customer 1100",
                        }));
    EXPECT_TRUE(held);
    EXPECT_TRUE(busy);
    EXPECT_EQ(grid->Rows(), rows);
    EXPECT_EQ(w.statusText(), closingText(made));
    EXPECT_FALSE(w.gridInUse());
    EXPECT_TRUE(w.menuBar()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// The preview's reasons and marks: the rule of each invoice, the delivery charge (customers
// 1200 and 1300 are flagged, their totals small), the credit approval (1300 has 10 left), and
// the rows left out with their reason.
TEST(InvoiceRunPreview, ListsRulesMarksAndRowsLeftOut)
{
    Row small = row("A1", "1200", "S1");
    small.amount = 50;
    Row overLimit = row("A2", "1300", "S2");
    overLimit.amount = 20;
    MainWindowFixture fixture(ordersOf({small, overLimit, row("A3", "1210", ""),
                                        row("A4", "1840", "S4"), row("A5", "1840", "S5", false)}));
    save(onlyToday);
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    frmMain& w = fixture.open();
    tickOrders(w, {"A4"});
    const BatchPreview preview = previewBatch(w);

    ASSERT_EQ(preview.invoices.size(), 2);
    EXPECT_EQ(preview.invoices[0].customer, QStringLiteral("1200"));
    EXPECT_EQ(preview.invoices[0].rule, QStringLiteral("one shipment alone"));
    EXPECT_DOUBLE_EQ(preview.invoices[0].total, 50);
    EXPECT_TRUE(preview.invoices[0].deliveryCharge);
    EXPECT_FALSE(preview.invoices[0].creditApproval);
    EXPECT_EQ(preview.invoices[1].customer, QStringLiteral("1300"));
    EXPECT_TRUE(preview.invoices[1].deliveryCharge);
    EXPECT_TRUE(preview.invoices[1].creditApproval);
    ASSERT_EQ(preview.leftOut.size(), 3);
    EXPECT_EQ(preview.leftOut[0].row.order, QStringLiteral("A3"));
    EXPECT_EQ(preview.leftOut[0].reason, QStringLiteral("no shipment"));
    EXPECT_EQ(preview.leftOut[1].row.order, QStringLiteral("A4"));
    EXPECT_EQ(preview.leftOut[1].reason, QStringLiteral("ticked before the run"));
    EXPECT_EQ(preview.leftOut[2].row.order, QStringLiteral("A5"));
    EXPECT_EQ(preview.leftOut[2].reason, QStringLiteral("not dated today"));
    EXPECT_EQ(tickedRows(w), QList<int>{4});
    EXPECT_EQ(w.selCustomer(), QStringLiteral("1840"));
    EXPECT_TRUE(invoices().isEmpty());

    // Revisions together; a date that does not convert ends the preview with the run's box.
    MainWindowFixture revised(ordersOf({row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2")}));
    save(revisions("1"));
    frmMain& r = revised.open();
    const BatchPreview together = previewBatch(r);
    ASSERT_EQ(together.invoices.size(), 1);
    EXPECT_EQ(together.invoices[0].rule,
              QStringLiteral("revisions 1000-1 and 1000-2 of base order 1000 together"));
    modGeneral::BatchOption = 2;
    r.ui()->flgMain->setTextMatrix(1, 2, QString());
    const BatchPreview ended = previewBatch(r);
    EXPECT_FALSE(ended.complete);
    ASSERT_EQ(revised.boxes.shown.size(), 1);
    EXPECT_TRUE(revised.boxes.shown[0].text.contains(QStringLiteral("frmMain.Check_Orders")));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// From the menu: the options, the preview window (nothing can reload the grid meanwhile),
// then "Run batch now" creates what it listed.
TEST(InvoiceRunPreview, PreviewWindowRunsTheBatch)
{
    MainWindowFixture fixture(ordersOf({row("1000-1", "1210", "S1"), row("1000-2", "1210", "S2"),
                                        row("2000-1", "1840", "S3"), row("3000-1", "1100", "")}));
    save(revisions("1"));
    Setting::save(Setting::BatchInv, QStringLiteral("1"));
    frmMain& w = fixture.open();
    w.show();
    auto* command = w.findChild<QAction*>(QStringLiteral("mnuFilePreviewBatch"));
    ASSERT_TRUE(command);
    EXPECT_TRUE(command->isVisible());
    EXPECT_EQ(command->text(), QStringLiteral("Pre&view Invoice Batch..."));
    const int rows = w.ui()->flgMain->Rows();

    QString summary;
    int lines = -1;
    QTimer answerer;
    answerer.setInterval(10);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* options = qobject_cast<frmBatchOpts*>(modal)) {
            options->close();
            return;
        }
        if (!modal || modal->objectName() != QLatin1String("frmBatchPreview"))
            return;
        answerer.stop();
        // Refresh and the timer start nothing while the preview is open.
        w.mnuFileSub_Click(0);
        tickUntilRefresh(w);
        auto* label = modal->findChild<QLabel*>(QStringLiteral("lblSummary"));
        auto* tree = modal->findChild<QTreeWidget*>(QStringLiteral("tvwInvoices"));
        summary = label->text();
        lines = tree->topLevelItemCount();
        tree->expandAll();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("btnRun")), Qt::LeftButton);
    });
    answerer.start();
    command->trigger();

    EXPECT_EQ(summary, QStringLiteral("Invoices to create: 2, total 30.00; rows left out: 1."));
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(w.ui()->flgMain->Rows(), rows);
    EXPECT_EQ(shipmentsPerInvoice(), (QList<QStringList>{{"S1", "S2"}, {"S3"}}));
    const QList<Invoice> made = invoices();
    EXPECT_EQ(w.statusText(), closingText(made));
    EXPECT_FALSE(w.gridInUse());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}
