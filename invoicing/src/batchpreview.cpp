#include <invoicing/batchpreview.h>
#include <invoicing/invoicecommands.h>

#include "batchrun.h"
#include "frmbatchpreview.h"

#include <core/appstate.h>
#include <core/lookups.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <windows/frmbatchopts.h>

#include <accpac/view.h>

#include <QHash>
#include <QSet>

#include <optional>

namespace {

// Everything a run changes besides the company: restored when the preview is done.
class WindowState
{
public:
    explicit WindowState(BillingDesk& desk)
        : m_grid(desk.orderGrid()), m_row(m_grid->Row()), m_col(m_grid->Col()),
          m_desk(desk.holdState()), m_prepayment(modGeneral::PendingPrepayment),
          m_firstInvoice(modGeneral::BatchFirstInvoice),
          m_lastInvoice(modGeneral::LastInvoiceNumber)
    {
        for (int r = 1; r < m_grid->Rows(); ++r)
            m_ticked << m_grid->isChecked(r);
    }

    ~WindowState()
    {
        for (int r = 1; r < m_grid->Rows() && r <= m_ticked.size(); ++r)
            m_grid->gridModel()->setPicture(r, 0,
                                            m_ticked[r - 1] ? OrderGrid::Picture::Checked
                                                            : OrderGrid::Picture::Unchecked);
        m_grid->setRow(m_row);
        m_grid->setCol(m_col);
        m_desk.reset();
        modGeneral::PendingPrepayment = m_prepayment;
        modGeneral::BatchFirstInvoice = m_firstInvoice;
        modGeneral::LastInvoiceNumber = m_lastInvoice;
    }

    bool tickedBefore(int row) const { return m_ticked.value(row - 1); }

    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

private:
    OrderGrid* m_grid;
    QList<bool> m_ticked; // rows 1 upward
    int m_row;
    int m_col;
    std::unique_ptr<BillingDesk::HeldState> m_desk;
    modGeneral::PendingPrepaymentRecord m_prepayment;
    QString m_firstInvoice;
    QString m_lastInvoice;
};

// Records each invoice the run decides on, with the marks the invoice routine would act on:
// the delivery charge the run decided for it, and the credit check against the customer's
// limit and balance. The balance grows by each earlier invoice of the customer as the books
// will: by its net, the delivery charge line included, in cents.
class InvoiceRecorder : public InvoiceSink
{
public:
    InvoiceRecorder(BillingDesk& desk, const WindowState& before)
        : m_desk(desk), m_grid(desk.orderGrid()), m_before(before)
    {
    }

    void invoice(const QList<std::int16_t>& rows, const QString& rule) override
    {
        BatchPreview::Invoice invoice;
        invoice.customer = Text::trim(m_desk.selCustomer());
        invoice.customerName = m_grid->orderRow(rows.first()).customerName;
        invoice.rule = rule;
        bool ticked = false;
        Books::Money total;
        for (const std::int16_t row : rows) {
            invoice.rows << rowOf(row);
            total += m_grid->orderRow(row).money();
            ticked = ticked || m_before.tickedBefore(row);
            m_recorded.insert(row);
        }
        if (ticked)
            invoice.rule += QStringLiteral("; ticked before the run");
        invoice.total = total.toDouble();
        invoice.deliveryCharge = m_desk.delChargeApply();
        invoice.creditApproval = exceedsCredit(
            invoice.customer, total, Books::Money::of(invoice.deliveryCharge ? chargeAmount() : 0));
        m_preview.invoices << invoice;
    }

    void passOver(int row, const QString& reason) override { m_reasons.insert(row, reason); }
    bool yields() const override { return false; }

    BatchPreview result()
    {
        for (int r = 1; r < m_grid->Rows(); ++r) {
            if (m_recorded.contains(r))
                continue;
            QString reason = m_reasons.value(r);
            if (m_before.tickedBefore(r))
                reason = QStringLiteral("ticked before the run");
            else if (reason.isEmpty())
                reason = QStringLiteral("not taken by the batch rules");
            m_preview.leftOut << BatchPreview::LeftOut{rowOf(r), reason};
        }
        return m_preview;
    }

private:
    BatchPreview::Row rowOf(int row) const
    {
        const OrderRow& order = m_grid->orderRow(row);
        return {row, order.order, order.shipment, order.text(OrderRow::TransferDate),
                order.text(OrderRow::Amount)};
    }

    // The run's credit check by the same rule; the balance then grows as the books will, by
    // the invoice's net, its delivery line included.
    bool exceedsCredit(const QString& customer, const Books::Money& total,
                       const Books::Money& charge)
    {
        if (!m_credit.contains(customer))
            m_credit.insert(customer, readCredit(customer));
        Credit& credit = m_credit[customer];
        const bool exceeded = Books::creditApprovalNeeded(credit.limit, credit.balance, total);
        credit.balance += total + charge;
        return exceeded;
    }

    // The amount of the delivery charge line ("OE0440"), read once.
    double chargeAmount()
    {
        if (!m_chargeAmount) {
            m_chargeAmount = 0;
            modGeneral::ViewPtr view = modGeneral::OpenView(QStringLiteral("OE0440"));
            view->Field(QStringLiteral("MISCCHARGE")).SetValue(Text::trim(m_desk.delChargeCode()));
            if (view->Read())
                m_chargeAmount = view->Field(QStringLiteral("AMOUNT")).GetValue().toDouble();
        }
        return *m_chargeAmount;
    }

    struct Credit
    {
        Books::Money limit;
        Books::Money balance;
    };

    static Credit readCredit(const QString& customer)
    {
        Credit credit;
        if (customer.isEmpty())
            return credit;
        modGeneral::ViewPtr view = modGeneral::OpenView(QStringLiteral("AR0024"));
        view->Field(QStringLiteral("IDCUST")).SetValue(customer);
        if (view->Read()) {
            credit.limit =
                Books::Money::of(view->Field(QStringLiteral("AMTCRLIMT")).GetValue().toDouble());
            credit.balance =
                Books::Money::of(view->Field(QStringLiteral("AMTBALDUET")).GetValue().toDouble());
        }
        return credit;
    }

    BillingDesk& m_desk;
    OrderGrid* m_grid;
    const WindowState& m_before;
    BatchPreview m_preview;
    QSet<int> m_recorded;
    QHash<int, QString> m_reasons;
    QHash<QString, Credit> m_credit;
    std::optional<double> m_chargeAmount;
};

} // namespace

BatchPreview previewBatch(BillingDesk& desk)
{
    const WindowState before(desk);
    InvoiceRecorder recorder(desk, before);
    try {
        runBatch(desk, recorder);
    } catch (const std::exception& failure) {
        // The run's own message: the preview ends where the run would.
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.Check_Orders"),
                                  modGeneral::Reporter::Messenger);
        BatchPreview ended = recorder.result();
        ended.complete = false;
        return ended;
    }
    return recorder.result();
}

bool Invoicing::previewBatchFirst(BillingDesk& desk)
{
    QWidget* owner = desk.deskWindow();
    if (!frmBatchOpts::run(owner))
        return false;
    const BatchPreview preview = previewBatch(desk);
    if (!preview.complete)
        return false;
    frmBatchPreview window(preview, owner);
    return window.exec() == QDialog::Accepted;
}
