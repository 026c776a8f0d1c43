// One seed of the randomized batch runs, end to end: the company and the window set up as
// generated, an earlier failed run, the preview, the run with the clerk at its pauses, the
// books compared with the rules and the preview, the state the run leaves, and the clerk's
// own invoice of the rows left ticked.
#include "batchgenerator.h"

#include "creditwindow.h"
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/lookups.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <invoicing/batchpreview.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <accpac/view.h>
#include <invoicesequence.h>

#include <QAction>
#include <QLabel>
#include <QScopeGuard>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace BatchGenerator {

using BatchTesting::Row;

namespace {

// --- The books ---------------------------------------------------------------------------

class ReadOnlyDb
{
public:
    explicit ReadOnlyDb(const QString& file)
    {
        sqlite3_open_v2(file.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr);
    }
    ~ReadOnlyDb() { sqlite3_close(m_db); }
    ReadOnlyDb(const ReadOnlyDb&) = delete;
    ReadOnlyDb& operator=(const ReadOnlyDb&) = delete;

    // Each row's columns as texts.
    QList<QStringList> rows(const char* sql) const
    {
        QList<QStringList> list;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            return {{QStringLiteral("SQL error: ") + QString::fromUtf8(sqlite3_errmsg(m_db))}};
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList columns;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                columns << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            list << columns;
        }
        sqlite3_finalize(st);
        return list;
    }

private:
    sqlite3* m_db = nullptr;
};

qint64 centsOf(const QString& text)
{
    return qRound64(text.toDouble() * 100.0);
}

struct BookedInvoice
{
    QString number;
    ExpectedInvoice invoice;
};

// Every invoice in the order it was created, its merchandise total without the charge line.
QList<BookedInvoice> booked(const QString& companyFile)
{
    const ReadOnlyDb db(companyFile);
    QList<BookedInvoice> list;
    const auto headers = db.rows(
        "SELECT i.INVNUMBER, i.CUSTOMER, "
        "(SELECT COALESCE(SUM(EXTINVMISC), 0) FROM OEINVD d WHERE d.INVUNIQ = i.INVUNIQ AND "
        "d.LINETYPE <> 2), "
        "(SELECT COUNT(*) FROM OEINVD d WHERE d.INVUNIQ = i.INVUNIQ AND d.LINETYPE = 2), "
        "COALESCE(i.APPROVEBY, ''), "
        "(SELECT group_concat(SHINUMBER, '|') FROM (SELECT SHINUMBER FROM OEINVS s WHERE "
        "s.INVUNIQ = i.INVUNIQ ORDER BY SHINUMBER)) "
        "FROM OEINVH i ORDER BY i.INVUNIQ");
    for (const QStringList& h : headers) {
        BookedInvoice b;
        b.number = h.value(0).trimmed();
        b.invoice.customer = h.value(1).trimmed();
        b.invoice.cents = centsOf(h.value(2));
        b.invoice.deliveryCharge = h.value(3).toInt() > 0;
        b.invoice.creditApproval = !h.value(4).trimmed().isEmpty();
        b.invoice.shipments = h.value(5).split(u'|', Qt::SkipEmptyParts);
        list << b;
    }
    return list;
}

// --- Setting up the company and the window -------------------------------------------------

void setCreditLimits(QList<CustomerTerms>& customers)
{
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("AR0024"));
    for (CustomerTerms& terms : customers) {
        view->Field(QStringLiteral("IDCUST")).SetValue(terms.id);
        if (!view->Read())
            continue;
        terms.balanceCents =
            qRound64(view->Field(QStringLiteral("AMTBALDUET")).GetValue().toDouble() * 100);
        if (terms.limitCents >= 0) {
            terms.limitCents += terms.balanceCents;
            view->Field(QStringLiteral("AMTCRLIMT")).SetValue(double(terms.limitCents) / 100.0);
            view->Update();
        } else {
            terms.limitCents =
                qRound64(view->Field(QStringLiteral("AMTCRLIMT")).GetValue().toDouble() * 100);
        }
    }
    view->Close();
}

void readFlags(QList<CustomerTerms>& customers, const QString& companyFile)
{
    const ReadOnlyDb db(companyFile);
    QStringList flagged;
    for (const QStringList& row :
         db.rows("SELECT IDCUST FROM ARCUSO WHERE OPTFIELD = 'DELCHARGE' AND VALIFBOOL = 1"))
        flagged << row.value(0).trimmed();
    for (CustomerTerms& terms : customers)
        terms.flagged = flagged.contains(terms.id);
}

qint64 chargeCents(const QString& companyFile)
{
    const ReadOnlyDb db(companyFile);
    return centsOf(db.rows("SELECT AMOUNT FROM OEMISC WHERE MISCCHARGE = 'DEL'").value(0).value(0));
}

int gridRowOf(frmMain& window, const QString& order)
{
    const OrderGrid* grid = window.ui()->flgMain;
    for (int r = 1; r < grid->Rows(); ++r) {
        if (grid->TextMatrix(r, 1).trimmed() == order)
            return r;
    }
    return -1;
}

QString describeSettings(const GeneratedRun& run)
{
    static const char* const atPauses[] = {"nothing", "confirm", "cancel", "confirm and cancel"};
    return QStringLiteral("separator %1, OrderNum %2, InvComplete %3, BatchOption %4, "
                          "delivery charge %5, prepayment %6, at the run's pauses %7, earlier "
                          "failed run at %8, locale %9, invoiced in part elsewhere: %10")
        .arg(run.settings.separator, run.settings.orderNum, run.settings.invComplete,
             QString::number(run.settings.batchOption),
             run.deliveryCharge ? QStringLiteral("on") : QStringLiteral("off"),
             run.prepayment ? QStringLiteral("pending") : QStringLiteral("none"),
             QLatin1String(atPauses[int(run.atPauses)]),
             run.failedEarlierAt >= 0 ? run.rows[run.failedEarlierAt].row.order
                                      : QStringLiteral("-"),
             run.locale)
        .arg(run.partlyInvoiced.isEmpty() ? QStringLiteral("-")
                                          : run.partlyInvoiced.join(QStringLiteral(", ")));
}

QStringList describeRows(const GeneratedRun& run)
{
    QStringList lines;
    for (const GeneratedRow& r : run.rows)
        lines << QStringLiteral("  %1 | %2 | %3 | %4 | %5%6%7")
                     .arg(r.row.order, r.row.customer, r.row.shipment, money(r.cents),
                          r.row.today ? QStringLiteral("today") : QStringLiteral("older"),
                          r.row.shipVia == QLatin1String("1") ? QStringLiteral(" | cash sale")
                                                              : QString(),
                          r.tickedBefore ? QStringLiteral(" | ticked") : QString());
    return lines;
}

// Stands in for the clerk at the prepayment window while the run goes on: at each pause as
// an invoice starts, confirms a new cheque or cancels, as the run's choice says. The
// window writes the clerk's prepayment wherever the run keeps it.
class ClerkAtPauses
{
public:
    ClerkAtPauses(frmMain& window, GeneratedRun::AtPauses what) : m_window(window), m_what(what)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        if (what != GeneratedRun::AtPauses::Nothing)
            m_timer.start();
    }
    // The clerk's last word: a cheque pending or not; nothing when no pause came.
    std::optional<bool> lastConfirmed;

private:
    void look()
    {
        const bool creating =
            m_window.statusText() == QLatin1String("Creating Invoice for selected shipments...");
        if (creating && !m_creating) {
            ++m_pauses;
            const bool confirm = m_what == GeneratedRun::AtPauses::Confirm ||
                                 (m_what == GeneratedRun::AtPauses::ByTurns && m_pauses % 2 == 1);
            modGeneral::PendingPrepaymentRecord& pending = m_window.clerksPrepayment();
            if (confirm) {
                pending.Present = true;
                pending.BatchNumber = 1;
                pending.BankCode = QStringLiteral("SPRINGBK");
                pending.ReceiptType = QStringLiteral("CHECK");
                pending.ReceiptDate = QDate::currentDate();
                pending.ReceiptNumber = QStringLiteral("CHK-P%1").arg(m_pauses);
                pending.Amount = 5;
            } else {
                pending.Present = false;
            }
            lastConfirmed = confirm;
        }
        m_creating = creating;
    }

    frmMain& m_window;
    const GeneratedRun::AtPauses m_what;
    QTimer m_timer;
    int m_pauses = 0;
    bool m_creating = false;
};

int count(const QString& companyFile, const char* sql)
{
    return ReadOnlyDb(companyFile).rows(sql).value(0).value(0).toInt();
}

} // namespace

QStringList checkSeed(std::uint32_t seed)
{
    GeneratedRun run = generate(seed);
    const QString generated = QStringLiteral("seed %1 (%2):\n%3")
                                  .arg(seed)
                                  .arg(describeSettings(run), describeRows(run).join(u'\n'));
    QStringList problems;
    auto expect = [&](bool condition, const QString& problem) {
        if (!condition)
            problems << problem;
    };

    // The clerk's number and date formats for the whole seed.
    const QLocale localeBefore = SystemLocale::locale();
    SystemLocale::setLocale(QLocale(run.locale));
    const auto restoreLocale = qScopeGuard([&] { SystemLocale::setLocale(localeBefore); });

    QList<TestOrder> orders = BatchTesting::ordersOf([&] {
        QList<Row> rows;
        for (const GeneratedRow& r : run.rows)
            rows << r.row;
        return rows;
    }());
    for (const QString& number : run.partlyInvoiced)
        orders << BatchTesting::orderOf(
            {number, run.customers.first().id, QStringLiteral("S") + number, true, 10});
    MainWindowFixture fixture(orders);
    // Invoiced in part by another program, which completes nothing: no longer listed, one
    // line still on back order.
    auto orderUniq = [](const QString& number) {
        return InvoiceTesting::readField(QStringLiteral("OE0520"), 1,
                                         {{QStringLiteral("ORDNUMBER"), number}},
                                         QStringLiteral("ORDUNIQ"))
            .toInt();
    };
    for (const QString& number : run.partlyInvoiced) {
        Sample::InvoiceRequest elsewhere;
        elsewhere.customer = run.customers.first().id;
        elsewhere.shipments = {QStringLiteral("S") + number};
        Sample::createInvoice(*modGeneral::AppDBLink, elsewhere);
        InvoiceTesting::addOrderLine(orderUniq(number), 2, 6, 5, 1);
    }
    // The invoices of the window's runs come after these.
    const qsizetype madeElsewhere = booked(fixture.companyFile()).size();
    BatchTesting::save(run.settings);
    Setting::save(Setting::DeliveryCharge,
                  run.deliveryCharge ? QStringLiteral("1") : QStringLiteral("0"));
    Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
    setCreditLimits(run.customers);
    readFlags(run.customers, fixture.companyFile());
    for (const CustomerTerms& customer : run.customers)
        expect(customer.flagged == flaggedInSample(customer.id),
               QStringLiteral("the sample company %1 customer %2 for the delivery charge")
                   .arg(customer.flagged ? "flags" : "does not flag", customer.id));
    const qint64 charge = chargeCents(fixture.companyFile());
    Terms terms = termsOf(run);
    modGeneral::BatchFirstInvoice.clear();

    frmMain& w = fixture.open();
    // A supervisor approves every credit request of the runs.
    const CreditWindowScript supervisor([](frmCreditCheck& window) {
        CreditWindow::approve(window, Sample::SupervisorId, Sample::SupervisorPassword);
    });
    auto gridShowsTheRows = [&] {
        const int shown = w.ui()->flgMain->Rows() - 1;
        QStringList orders;
        for (int r = 1; r <= shown; ++r)
            orders << w.ui()->flgMain->TextMatrix(r, 1);
        expect(shown == run.rows.size(), QStringLiteral("the grid shows %1 rows, not %2: %3")
                                             .arg(shown)
                                             .arg(run.rows.size())
                                             .arg(orders.join(u',')));
        return shown == run.rows.size();
    };
    if (!gridShowsTheRows())
        return QStringList{generated} + problems;
    w.setBatchInvoiced(false);

    // An earlier run that ended in an error, then a reload: the invoiced orders are gone.
    QList<ExpectedInvoice> earlier;
    if (run.failedEarlierAt >= 0) {
        GeneratedRun failing = run;
        failing.settings.batchOption = 2;
        for (GeneratedRow& row : failing.rows)
            row.tickedBefore = false; // the user ticks after the reload
        BatchTesting::save(failing.settings);
        w.ui()->flgMain->setTextMatrix(gridRowOf(w, run.rows[run.failedEarlierAt].row.order), 2,
                                       QString());
        w.Check_Orders();
        const bool oneBox = fixture.boxes.shown.size() == 1 &&
                            fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; ")) &&
                            fixture.boxes.shown[0].text.contains(QStringLiteral("Check_Orders"));
        expect(oneBox, QStringLiteral("the earlier run did not end with the run's own error"));
        fixture.boxes.shown.clear();
        const QList<QList<int>> given = invoicedRows(failing, run.failedEarlierAt);
        earlier = priced(failing, given, charge, terms);
        QList<int> gone;
        for (const QList<int>& rows : given)
            gone += rows;
        std::sort(gone.begin(), gone.end(), std::greater<>());
        for (const int r : gone)
            run.rows.removeAt(r);
        BatchTesting::save(run.settings);
        w.Load_Grid();
        if (!gridShowsTheRows())
            return QStringList{generated} + problems;
    }

    QStringList tickedOrders;
    for (const GeneratedRow& r : run.rows) {
        if (r.tickedBefore)
            tickedOrders << r.row.order;
    }
    BatchTesting::tickOrders(w, tickedOrders);
    if (run.prepayment) {
        // As the prepayment window leaves it.
        setPendingCheque(1, 5, QStringLiteral("CHK-%1").arg(seed));
        w.ui()->lblPrepayment->setText(QStringLiteral("5.00"));
        w.ui()->lblPrepay->show();
        w.ui()->lblPrepayment->show();
    }
    const QString statusBefore = w.statusText();
    const QList<ExpectedInvoice> rules = priced(run, invoicedRows(run, -1), charge, terms);

    // The preview.
    const BatchPreview preview = previewBatch(w);
    expect(preview.complete, QStringLiteral("the preview ended early"));
    QList<ExpectedInvoice> previewed;
    for (const BatchPreview::Invoice& p : preview.invoices) {
        ExpectedInvoice invoice;
        invoice.customer = p.customer;
        for (const BatchPreview::Row& r : p.rows)
            invoice.shipments << r.shipment;
        invoice.shipments.sort();
        invoice.cents = qRound64(p.total * 100);
        invoice.deliveryCharge = p.deliveryCharge;
        invoice.creditApproval = p.creditApproval;
        previewed << invoice;
    }

    std::optional<bool> confirmedDuringRun;
    {
        ClerkAtPauses clerk(w, run.atPauses);
        w.Check_Orders();
        confirmedDuringRun = clerk.lastConfirmed;
    }
    const QList<BookedInvoice> made = booked(fixture.companyFile()).mid(madeElsewhere);
    expect(count(fixture.companyFile(), "SELECT COUNT(*) FROM OEPPAY") == 0,
           QStringLiteral("[prepayment] a batch invoice carries a prepayment"));
    for (const QString& number : run.partlyInvoiced) {
        const int complete = InvoiceTesting::readField(QStringLiteral("OE0520"), 1,
                                                       {{QStringLiteral("ORDNUMBER"), number}},
                                                       QStringLiteral("COMPLETE"))
                                 .toInt();
        const QList<QVariantList> backOrdered = InvoiceTesting::records(
            QStringLiteral("OE0500"), {QStringLiteral("QTYBACKORD")},
            QStringLiteral("ORDUNIQ = %1 AND LINENUM = 2").arg(orderUniq(number)));
        expect(complete == 1 && backOrdered.value(0).value(0).toDouble() == 5,
               QStringLiteral("[completion] order %1, invoiced in part elsewhere, was completed "
                              "by the run (COMPLETE %2)")
                   .arg(number)
                   .arg(complete));
    }

    for (const auto& box : fixture.boxes.shown)
        problems << QStringLiteral("[box] %1: %2").arg(box.title, box.text);
    for (const QString& finding : fixture.auditProblems())
        problems << QStringLiteral("[auditor] ") + finding;

    // Invoice by invoice; the first line names what differs: [invoices] when the invoices
    // themselves differ, else [total], [charge] or [approval].
    auto compare = [&](const QString& what, const QList<ExpectedInvoice>& a, const QString& whatB,
                       const QList<ExpectedInvoice>& b) {
        if (a == b)
            return;
        QStringList kinds;
        for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
            if (i >= a.size() || i >= b.size() || a[i].customer != b[i].customer ||
                a[i].shipments != b[i].shipments) {
                kinds = QStringList{QStringLiteral("[invoices]")};
                break;
            }
            if (a[i].cents != b[i].cents)
                kinds << QStringLiteral("[total]");
            if (a[i].deliveryCharge != b[i].deliveryCharge)
                kinds << QStringLiteral("[charge]");
            if (a[i].creditApproval != b[i].creditApproval)
                kinds << QStringLiteral("[approval]");
        }
        kinds.removeDuplicates();
        QString text = QStringLiteral("%1 %2 and %3 differ:").arg(kinds.join(u' '), what, whatB);
        for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
            const QString left = i < a.size() ? describe(a[i]) : QStringLiteral("-");
            const QString right = i < b.size() ? describe(b[i]) : QStringLiteral("-");
            text += QStringLiteral("\n    %1%2 | %3").arg(left == right ? "  " : "* ", left, right);
        }
        problems << text;
    };
    QList<ExpectedInvoice> inBooks;
    for (const BookedInvoice& b : made)
        inBooks << b.invoice;
    compare(QStringLiteral("the rules"), earlier + rules, QStringLiteral("the books"), inBooks);
    compare(QStringLiteral("the preview"), previewed, QStringLiteral("the books"),
            inBooks.mid(earlier.size()));

    // The closing text names the lowest and the last invoice number; no invoice, no text.
    if (made.size() == earlier.size()) {
        expect(w.statusText() == statusBefore,
               QStringLiteral("[status] a run without invoices set the status text \"%1\"")
                   .arg(w.statusText()));
    } else {
        QString lowest = made.first().number;
        for (const BookedInvoice& b : made)
            lowest = std::min(lowest, b.number);
        const QString closing =
            QStringLiteral("Invoices %1 to %2 have been created.").arg(lowest, made.last().number);
        expect(w.statusText() == closing,
               QStringLiteral("[status] \"%1\", not \"%2\"").arg(w.statusText(), closing));
    }

    // Afterwards only the user's own ticks that no invoice took remain, and the selection,
    // its total and its prepayment belong to them.
    QStringList invoiced;
    for (const ExpectedInvoice& invoice : inBooks)
        invoiced += invoice.shipments;
    QList<int> remaining;
    QString remainingCustomer;
    qint64 remainingCents = 0;
    for (const GeneratedRow& r : run.rows) {
        if (r.tickedBefore && !invoiced.contains(r.row.shipment)) {
            remaining << gridRowOf(w, r.row.order);
            remainingCustomer = r.row.customer;
            remainingCents += r.cents;
        }
    }
    std::sort(remaining.begin(), remaining.end());
    expect(BatchTesting::tickedRows(w) == remaining,
           QStringLiteral("[after] %1 rows ticked after the run, not %2")
               .arg(BatchTesting::tickedRows(w).size())
               .arg(remaining.size()));
    expect(w.selCustomer() == remainingCustomer,
           QStringLiteral("[after] SelCustomer \"%1\" after the run, not \"%2\"")
               .arg(w.selCustomer(), remainingCustomer));
    expect(w.ui()->lblInvoice->text() ==
               modGeneral::Format_Decimals(double(remainingCents) / 100, 2),
           QStringLiteral("[after] lblInvoice \"%1\" after the run, not %2")
               .arg(w.ui()->lblInvoice->text(), money(remainingCents)));
    expect(w.mnuFileSub(3)->isEnabled() == !remaining.isEmpty(),
           QStringLiteral("[after] Invoice is %1 after the run")
               .arg(w.mnuFileSub(3)->isEnabled() ? "enabled" : "disabled"));
    const bool pending = confirmedDuringRun.value_or(run.prepayment) && !remaining.isEmpty();
    expect(modGeneral::PendingPrepayment.Present == pending,
           QStringLiteral("[prepayment] a prepayment is %1 after the run")
               .arg(modGeneral::PendingPrepayment.Present ? "pending" : "not pending"));
    expect(w.ui()->lblPrepayment->isVisibleTo(&w) == pending,
           QStringLiteral("[prepayment] the prepayment amount is %1 after the run")
               .arg(w.ui()->lblPrepayment->isVisibleTo(&w) ? "shown" : "hidden"));

    // The clerk invoices the rows still ticked: the window's own charge decision, which the
    // clerk leaves as offered, and the pending cheque, when it fits the invoice.
    QList<int> clerksRows;
    {
        QList<int>& rows = clerksRows;
        for (int i = 0; i < run.rows.size(); ++i)
            if (run.rows[i].tickedBefore && !invoiced.contains(run.rows[i].row.shipment))
                rows << i;
        // A shipment still being entered cannot be invoiced yet: the clerk waits.
        if (std::any_of(rows.begin(), rows.end(),
                        [&](int i) { return run.rows[i].row.shipment == NewShipment; }))
            rows.clear();
    }
    if (!remaining.isEmpty() && !clerksRows.isEmpty()) {
        const QList<int>& rows = clerksRows;
        Terms now = termsOf(run);
        ExpectedInvoice expected = priced(run, QList<QList<int>>{rows}, charge, now).first();
        expected.creditApproval = false; // no credit check outside a batch run
        const qint64 due = expected.cents + (expected.deliveryCharge ? charge : 0);
        const bool fits = !pending || due >= 500;
        fixture.boxes.shown.clear();
        w.mnuFileSub_Click(3);
        const QList<BookedInvoice> after = booked(fixture.companyFile()).mid(madeElsewhere);
        if (fits) {
            expect(after.size() == made.size() + 1 &&
                       after.last().invoice == ExpectedInvoice{expected.customer,
                                                               expected.shipments, expected.cents,
                                                               expected.deliveryCharge, false},
                   QStringLiteral("[clerk] the clerk's invoice is %1, not %2")
                       .arg(after.size() > made.size() ? describe(after.last().invoice)
                                                       : QStringLiteral("missing"),
                            describe(expected)));
            expect(count(fixture.companyFile(), "SELECT COUNT(*) FROM OEPPAY") == (pending ? 1 : 0),
                   QStringLiteral("[clerk] the clerk's invoice %1 the pending cheque")
                       .arg(pending ? "lacks" : "carries"));
            for (const auto& box : fixture.boxes.shown)
                problems << QStringLiteral("[clerk box] %1: %2").arg(box.title, box.text);
        } else {
            expect(after.size() == made.size() && fixture.boxes.shown.size() == 1 &&
                       fixture.boxes.shown[0].title == QLatin1String("Invalid Prepayment"),
                   QStringLiteral("[clerk] a cheque larger than the invoice was not refused"));
        }
        for (const QString& finding : fixture.auditProblems())
            problems << QStringLiteral("[auditor after the clerk] ") + finding;
    }
    modGeneral::PendingPrepayment = {};

    if (!problems.isEmpty()) {
        problems.prepend(generated);
    }
    return problems;
}

} // namespace BatchGenerator
