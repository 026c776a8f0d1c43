#include <invoicing/invoicecommands.h>

#include "creditrequest.h"
#include "journalentry.h"
#include "prepaymentrule.h"
#include "steprunner.h"
#include "viewset.h"
#include <invoicing/ordercompletion.h>

#include <core/appstate.h>
#include <core/busy.h>
#include <core/log.h>
#include <core/msgbox.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <invoicing/orderviewlayouts.h>
#include <settings/settings.h>

#include <accpac/view.h>
#include <system/comerror.h>

#include <QJsonArray>
#include <QScopeGuard>

#include <optional>

// One invoice for several shipments of one customer. The four routines share one run; they
// differ in where the shipments come from (ticked rows or a row list), the order-view
// layout, the credit check of batch runs and the completion routines they call.

namespace {

const QString Header = QStringLiteral("OE0420");
const QString Shipments = QStringLiteral("OE0427");
const QString Lines = QStringLiteral("OE0400");
const QString Prepayment = QStringLiteral("OE0278");
const QString ReceiptBatch = QStringLiteral("AR0041");
const QString Customers = QStringLiteral("AR0024");

struct Routine
{
    const char* name;
    modGeneral::OrderEntryLayout layout;
    bool batch;
};

class InvoiceRun
{
public:
    InvoiceRun(BillingDesk& desk, const Routine& routine, const QString& customer,
               const QList<std::int16_t>& rows)
        : m_desk(desk), m_grid(desk.orderGrid()), m_routine(routine), m_customer(customer),
          m_rows(rows), m_run(QStringLiteral("frmMain.") + QLatin1String(routine.name))
    {
        // The clerk's pending prepayment as it stands when the invoice starts: the run yields
        // to the window, and a prepayment confirmed or cancelled meanwhile belongs to the
        // next invoice. A batch invoice carries none: the prepayment is for the clerk's own
        // selection.
        if (!routine.batch && modGeneral::PendingPrepayment.Present)
            m_prepayment = modGeneral::PendingPrepayment;
    }

    bool run()
    {
        if (!m_routine.batch && !prepaymentFits())
            return false;
        const BusyCursor busy;
        // The run yields to the window: no reload may replace the grid rows it works on
        // (the refresh timer, the Refresh command and grid clicks wait while Loading is set).
        const bool wasLoading = m_desk.isLoading();
        m_desk.setLoading(true);
        const auto gridFree = qScopeGuard([&] { m_desk.setLoading(wasLoading); });
        bool result = false;
        try {
            start();
            buildHeader();
            attachShipments();
            step([&] { field(Header, "INVSHIPMTS").SetValue(QStringLiteral("1")); });
            step([&] { view(Header).Process(); });
            // The charge line first: the prepayment may then pay the whole invoice, charge
            // included, as the prepayment window allows.
            if (m_desk.delChargeApply())
                addDeliveryCharge();
            if (m_prepayment)
                addPrepayment();
            if (m_routine.batch)
                checkCredit();
            step([&] { Journal::attachToInvoice(view(Header), decisions()); });
            step([&] { view(Header).Insert(); });
            announce();
            complete();
            result = true;
        } catch (const StepRunner::RunEnded&) {
            // The messages have been shown; the run ends with what is stored so far.
            qCWarning(lcInvoicing).noquote()
                << QStringLiteral("invoice run %1 for customer %2 ended by a failure; shipments %3")
                       .arg(m_run.source(), Text::trim(m_customer),
                            m_shipments.join(QStringLiteral(", ")));
        }
        m_views.releaseAll();
        return result;
    }

private:
    template <class F> bool step(F&& operation) { return m_run.step(std::forward<F>(operation)); }
    template <class F> bool test(F&& condition) { return m_run.test(std::forward<F>(condition)); }

    AccpacView& view(const QString& key) const { return m_views[key]; }
    AccpacViewField& field(const QString& key, const char* name) const
    {
        return m_views[key].Field(QLatin1String(name));
    }
    // to <- from: reads one field and writes its value to another.
    void copy(const QString& toView, const char* to, const QString& fromView, const char* from)
    {
        step([&] { field(toView, to).SetValue(field(fromView, from).GetValue()); });
    }
    void set(const QString& key, const char* name, const QVariant& value)
    {
        step([&] { field(key, name).SetValue(value); });
    }

    const ViewLayout& layout() const { return OrderViewLayouts::invoice(m_routine.layout); }

    void start()
    {
        step([&] {
            m_desk.setStatusText(QStringLiteral("Creating Invoice for selected shipments..."));
        });
        step([&] { DoEvents().now(); });
        for (const QString& id : layout().views)
            step([&] { m_views.open(id); });
        if (m_routine.batch)
            step([&] { m_views.open(Customers); });
        for (const QStringList& keys : layout().composes)
            step([&] { m_views.compose(keys); });
    }

    void buildHeader()
    {
        step([&] { view(Header).ClearRecord(); });
        step([&] { view(Header).InitRecord(0); });
        set(Header, "CUSTOMER", Text::trim(m_customer));
        processHeaderCommand();
        set(Header, "MULTISHI", QStringLiteral("1"));
        processHeaderCommand();
    }

    void processHeaderCommand()
    {
        step([&] { field(Header, "PROCESSCMD").SetValueDirect(QStringLiteral("1")); });
        step([&] { view(Header).Process(); });
    }

    // The invoiced rows: the row list of a batch run, else the rows with the checked
    // picture (the test makes each row current).
    template <class F> void forEachInvoicedRow(F&& perRow)
    {
        if (m_routine.batch) {
            for (const std::int16_t row : m_rows)
                perRow(int(row));
            return;
        }
        step([&] { m_grid->setCol(0); });
        int rows = 0;
        step([&] { rows = m_grid->Rows(); });
        for (int row = 1; row < rows; ++row) {
            step([&] { m_grid->setRow(row); });
            if (test([&] { return m_grid->isChecked(row); }))
                perRow(row);
        }
    }

    void attachShipments()
    {
        forEachInvoicedRow([&](int row) {
            step([&] { view(Shipments).ClearRecord(); });
            step([&] { view(Shipments).InitRecord(0); });
            step([&] {
                const OrderRow& order = m_grid->orderRow(row);
                const QString& shipment = order.shipment;
                m_shipments += shipment;
                m_cashSale = m_cashSale || order.isCashSale();
                field(Shipments, "SHINUMBER").SetValueDirect(shipment);
            });
            step([&] { view(Shipments).Insert(); });
        });
    }

    void addPrepayment()
    {
        const modGeneral::PendingPrepaymentRecord& pending = *m_prepayment;
        step([&] { m_views.open(Prepayment); });
        step([&] { m_views.open(ReceiptBatch); });
        step([&] { view(Prepayment).NewRecord(); });
        copy(Prepayment, "INVUNIQ", Header, "INVUNIQ");
        set(Prepayment, "CUSTOMER", Text::trim(m_desk.selCustomer()));
        set(Prepayment, "CUSTDESC", Text::trim(m_desk.selCustomerName()));
        copy(Prepayment, "CUSTCURN", Header, "INSOURCURR");
        copy(Prepayment, "CRATE", Header, "INRATE");
        copy(Prepayment, "CRATEDATE", Header, "INRATEDATE");
        copy(Prepayment, "CRATETYPE", Header, "INRATETYPE");
        copy(Prepayment, "CRATEOPER", Header, "INRATEREP");
        copy(Prepayment, "DOCTOTAL", Header, "INVNETWTX");
        copy(Prepayment, "DISCAVAIL", Header, "DISCAVAIL");
        copy(Prepayment, "AMOUNTDUE", Header, "INVDUE");

        set(ReceiptBatch, "CODEPYMTYP", QStringLiteral("CA"));
        set(ReceiptBatch, "CNTBTCH", pending.BatchNumber);
        if (test([&] { return view(ReceiptBatch).Read(); })) {
            copy(Prepayment, "BATCHNUM", ReceiptBatch, "CNTBTCH");
            copy(Prepayment, "RECPDATE", ReceiptBatch, "DATEBTCH");
            copy(Prepayment, "BANKRATE", ReceiptBatch, "RATEEXCHHC");
            copy(Prepayment, "RATEDATE", ReceiptBatch, "DATERATE");
            copy(Prepayment, "RATETYPE", ReceiptBatch, "RATETYPE");
            copy(Prepayment, "BANKCODE", ReceiptBatch, "IDBANK");
            set(Prepayment, "RECPTYPE", pending.ReceiptType);
            set(Prepayment, "CHECKNUM", pending.ReceiptNumber);
            // The receipt's own date replaces the batch date.
            set(Prepayment, "RECPDATE", pending.ReceiptDate);
            set(Prepayment, "RECPAMOUNT", pending.Amount);
        }
        step([&] { view(Prepayment).Insert(); });

        copy(Header, "REBATCHNUM", Prepayment, "BATCHNUM");
        copy(Header, "BANKRECTYP", Prepayment, "RECPTYPE");
        set(Header, "CHECKNUM", pending.ReceiptNumber);
        set(Header, "BANKCODE", pending.BankCode);
        set(Header, "BANKPAYMNT", pending.Amount);
        set(Header, "CHECKDATE", pending.ReceiptDate);
        set(Header, "APPLYTO", 2);
        // The payment is written again after APPLYTO, which the component may react to.
        set(Header, "BANKPAYMNT", pending.Amount);
        set(Header, "INVPAYMENT", pending.Amount);
    }

    // Rows unticked since the prepayment was entered may leave it larger than the invoice;
    // the run then makes nothing rather than have the receipt refused half-way.
    bool prepaymentFits() const
    {
        if (!m_prepayment)
            return true;
        const modGeneral::PendingPrepaymentRecord& pending = *m_prepayment;
        const PrepaymentRule::Limit limit = PrepaymentRule::limitFor(m_desk);
        if (!PrepaymentRule::exceeds(pending.Amount, limit))
            return true;
        modGeneral::MsgBox(
            QStringLiteral("The prepayment of %1 is more than the invoice total of %2.\r\n"
                           "Please change the prepayment before creating the invoice.")
                .arg(PrepaymentRule::shown(pending.Amount, limit.decimals),
                     PrepaymentRule::shown(limit.total, limit.decimals)),
            modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
            QStringLiteral("Invalid Prepayment"));
        return false;
    }

    void addDeliveryCharge()
    {
        step([&] { view(Lines).ClearRecord(); });
        step([&] { view(Lines).InitRecord(0); });
        set(Lines, "LINETYPE", 2);
        set(Lines, "MISCCHARGE", Text::trim(m_desk.delChargeCode()));
        step([&] { view(Lines).Insert(); });
    }

    void checkCredit()
    {
        CreditRequest request;
        Books::Money total;
        step([&] { request.total = 0; });
        for (const std::int16_t row : m_rows) {
            step([&] {
                total += m_grid->orderRow(row).money();
                request.total = total.toDouble();
            });
            step([&] { request.customer = m_grid->orderRow(row).customerName; });
            step([&] { request.custId = m_grid->orderRow(row).customer; });
        }
        double limit = 0;
        double balance = 0;
        const QString customer = Text::trim(m_customer);
        if (!customer.isEmpty()) {
            set(Customers, "IDCUST", customer);
            if (test([&] { return view(Customers).Read(); })) {
                step([&] { limit = field(Customers, "AMTCRLIMT").GetValue().toDouble(); });
                step([&] { balance = field(Customers, "AMTBALDUET").GetValue().toDouble(); });
            }
            step([&] { m_views.close(Customers); });
        }
        // The check's inputs go to the journal whether or not it asks, so that the auditor
        // can derive its answer again.
        m_credit = {{QStringLiteral("balanceBefore"), balance},
                    {QStringLiteral("limit"), limit},
                    {QStringLiteral("selected"), request.total}};
        if (!test([&] {
                return Books::creditApprovalNeeded(Books::Money::of(limit),
                                                   Books::Money::of(balance), total);
            }))
            return;
        step([&] {
            request.outstanding = balance;
            request.creditAvail = limit;
        });
        // The approver's password leaves memory on every way out, also when the header
        // refuses it and the run ends.
        const auto forget = qScopeGuard([this] { m_approval = {}; });
        step([&] { m_approval = askCreditApproval(m_desk.deskWindow(), request); });
        m_credit.insert(QStringLiteral("approver"), Text::trim(m_approval.ApproverID).toUpper());
        set(Header, "APPROVEBY", m_approval.ApproverID);
        step([&] { m_approval.ApproverID.clear(); });
        set(Header, "APPPASSWRD", m_approval.ApproverPassword);
        step([&] { m_approval.ApproverPassword.clear(); });
    }

    // What the run decided, for the invoice's journal entry: the delivery charge's inputs and
    // outcome, and the credit check of a batch invoice. What the books hold (the customer's
    // flag, the charge's amount) the entry takes from them when the invoice is stored.
    // The switch as the window reads it; one that is no number (which the window reports
    // when it decides) offers no charge, and is recorded so rather than failing the invoice.
    static bool deliveryChargeSwitchedOn()
    {
        try {
            return Setting::toNumber(Setting::read(Setting::DeliveryCharge)) == 1;
        } catch (const ComError&) {
            return false;
        }
    }

    QJsonObject decisions() const
    {
        QJsonObject record{
            {QStringLiteral("routine"), m_run.source()},
            {QStringLiteral("batch"), m_routine.batch},
            {QStringLiteral("deliveryCharge"),
             QJsonObject{
                 {QStringLiteral("switchedOn"), deliveryChargeSwitchedOn()},
                 {QStringLiteral("code"), Text::trim(m_desk.delChargeCode())},
                 {QStringLiteral("cashSale"), m_cashSale},
                 {QStringLiteral("omitted"), !m_routine.batch && m_desk.deliveryChargeOmitted()},
                 {QStringLiteral("applied"), m_desk.delChargeApply()}}}};
        if (!m_credit.isEmpty())
            record.insert(QStringLiteral("credit"), m_credit);
        return record;
    }

    void announce()
    {
        step([&] {
            modGeneral::LastInvoiceNumber =
                Text::trim(field(Header, "INVNUMBER").GetValue().toString());
        });
        qCInfo(lcInvoicing).noquote()
            << QStringLiteral("invoice %1 created by %2 for customer %3: %4 rows, shipments %5")
                   .arg(modGeneral::LastInvoiceNumber, m_run.source(), Text::trim(m_customer),
                        QString::number(m_shipments.size()),
                        m_shipments.join(QStringLiteral(", ")));
        step([&] {
            m_desk.setStatusText(QStringLiteral("Invoice ") + modGeneral::LastInvoiceNumber +
                                 QStringLiteral(" created successfully."));
        });
        step([&] { DoEvents().now(); });
    }

    // Back orders cleared, then the order completed, for every invoiced row; then the
    // journal records the invoice's completion done.
    void complete()
    {
        QJsonArray orders;
        forEachInvoicedRow([&](int row) {
            QString order;
            step([&] { order = m_grid->orderRow(row).order; });
            orders.append(order);
            step([&] { OrderCompletion::clearBackOrders(m_routine.layout, order); });
            step([&] { OrderCompletion::completeOrder(m_routine.layout, order); });
        });
        step([&] {
            Journal::write(Journal::Completion,
                           {{QStringLiteral("invoice"), modGeneral::LastInvoiceNumber},
                            {QStringLiteral("orders"), orders}});
        });
    }

    BillingDesk& m_desk;
    OrderGrid* m_grid;
    const Routine& m_routine;
    const QString m_customer;
    const QList<std::int16_t> m_rows;
    std::optional<modGeneral::PendingPrepaymentRecord> m_prepayment;
    StepRunner m_run;
    ViewSet m_views;
    QStringList m_shipments;   // those attached to the invoice, for the log
    bool m_cashSale = false;   // a cash sale is among them
    QJsonObject m_credit;      // the credit check of a batch invoice
    CreditApprover m_approval; // the supervisor's, until the header has taken it
};

} // namespace

namespace Invoicing {

bool createInvoice(BillingDesk& desk, modGeneral::OrderEntryLayout layout, const QString& customer)
{
    static const Routine older{"Create_Invoice", modGeneral::OrderEntryLayout::Older, false};
    static const Routine release56{"Create_Invoice56", modGeneral::OrderEntryLayout::Release56,
                                   false};
    const Routine& routine = layout == modGeneral::OrderEntryLayout::Release56 ? release56 : older;
    return InvoiceRun(desk, routine, customer, {}).run();
}

bool createBatchInvoice(BillingDesk& desk, modGeneral::OrderEntryLayout layout,
                        const QString& customer, const QList<std::int16_t>& rows)
{
    static const Routine older{"Create_Invoice2", modGeneral::OrderEntryLayout::Older, true};
    static const Routine release56{"Create_Invoice2_56", modGeneral::OrderEntryLayout::Release56,
                                   true};
    const Routine& routine = layout == modGeneral::OrderEntryLayout::Release56 ? release56 : older;
    return InvoiceRun(desk, routine, customer, rows).run();
}

} // namespace Invoicing
