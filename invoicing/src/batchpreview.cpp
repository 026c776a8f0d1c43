#include <invoicing/batchpreview.h>

#include <selection/frmmain.h>
#include <selection/gridcommand.h>

#include "ui_frmmain.h"

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
#include <QMenu>
#include <QSet>

#include <optional>

namespace {

// Everything a run changes besides the company: restored when the preview is done.
class WindowState
{
public:
    explicit WindowState(frmMain& window)
        : m_window(window), m_grid(window.ui()->flgMain), m_row(m_grid->Row()),
          m_col(m_grid->Col()), m_selCustomer(window.SelCustomer),
          m_selCustomerName(window.SelCustomerName), m_selTotal(window.SelTotal),
          m_delChargeApply(window.DelChargeApply), m_batchRows(window.BatchRows),
          m_batchInvoiced(window.BatchInvoiced), m_invoiceText(window.ui()->lblInvoice->text()),
          m_chargeShown(!window.ui()->cboDelCharge->isHidden()),
          m_chargeIndex(window.ui()->cboDelCharge->currentIndex()),
          m_invoiceEnabled(window.mnuFileSub(3)->isEnabled()),
          m_prepaymentEnabled(window.mnuFileSub(2)->isEnabled()),
          m_prepayment(modGeneral::PendingPrepayment),
          m_prepaymentShown(!window.ui()->lblPrepayment->isHidden()),
          m_prepaymentText(window.ui()->lblPrepayment->text()),
          m_firstInvoice(modGeneral::BatchFirstInvoice),
          m_lastInvoice(modGeneral::LastInvoiceNumber), m_status(window.statusText())
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
        m_window.SelCustomer = m_selCustomer;
        m_window.SelCustomerName = m_selCustomerName;
        m_window.SelTotal = m_selTotal;
        m_window.DelChargeApply = m_delChargeApply;
        m_window.BatchRows = m_batchRows;
        m_window.BatchInvoiced = m_batchInvoiced;
        m_window.ui()->lblInvoice->setText(m_invoiceText);
        m_window.ui()->lblDelCharge->setVisible(m_chargeShown);
        m_window.ui()->cboDelCharge->setVisible(m_chargeShown);
        const QSignalBlocker block(m_window.ui()->cboDelCharge);
        m_window.ui()->cboDelCharge->setCurrentIndex(m_chargeIndex);
        m_window.mnuFileSub(3)->setEnabled(m_invoiceEnabled);
        m_window.toolbarButton(QStringLiteral("Invoice"))->setEnabled(m_invoiceEnabled);
        m_window.mnuFileSub(2)->setEnabled(m_prepaymentEnabled);
        m_window.toolbarButton(QStringLiteral("Prepayment"))->setEnabled(m_prepaymentEnabled);
        modGeneral::PendingPrepayment = m_prepayment;
        // The prepayment's labels with it: a run that takes away the last tick hides them.
        m_window.ui()->lblPrepayment->setText(m_prepaymentText);
        m_window.ui()->lblPrepay->setVisible(m_prepaymentShown);
        m_window.ui()->lblPrepayment->setVisible(m_prepaymentShown);
        modGeneral::BatchFirstInvoice = m_firstInvoice;
        modGeneral::LastInvoiceNumber = m_lastInvoice;
        m_window.setStatusText(m_status);
    }

    bool tickedBefore(int row) const { return m_ticked.value(row - 1); }

    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

private:
    frmMain& m_window;
    OrderGrid* m_grid;
    QList<bool> m_ticked; // rows 1 upward
    int m_row;
    int m_col;
    QString m_selCustomer;
    QString m_selCustomerName;
    double m_selTotal;
    bool m_delChargeApply;
    QList<std::int16_t> m_batchRows;
    bool m_batchInvoiced;
    QString m_invoiceText;
    bool m_chargeShown;
    int m_chargeIndex;
    bool m_invoiceEnabled;
    bool m_prepaymentEnabled;
    modGeneral::PendingPrepaymentRecord m_prepayment;
    bool m_prepaymentShown;
    QString m_prepaymentText;
    QString m_firstInvoice;
    QString m_lastInvoice;
    QString m_status;
};

// Records each invoice the run decides on, with the marks the invoice routine would act on:
// the delivery charge the run decided for it, and the credit check against the customer's
// limit and balance. The balance grows by each earlier invoice of the customer as the books
// will: by its net, the delivery charge line included, in cents.
class InvoiceRecorder : public InvoiceSink
{
public:
    InvoiceRecorder(frmMain& window, const WindowState& before)
        : m_window(window), m_grid(window.ui()->flgMain), m_before(before)
    {
    }

    void invoice(const QList<std::int16_t>& rows, const QString& rule) override
    {
        BatchPreview::Invoice invoice;
        invoice.customer = Text::trim(m_window.SelCustomer);
        invoice.customerName = m_grid->orderRow(rows.first()).customerName;
        invoice.rule = rule;
        bool ticked = false;
        Books::Money total;
        for (const std::int16_t row : rows) {
            invoice.rows << rowOf(row);
            total += m_window.rowMoney(row);
            ticked = ticked || m_before.tickedBefore(row);
            m_recorded.insert(row);
        }
        if (ticked)
            invoice.rule += QStringLiteral("; ticked before the run");
        invoice.total = total.toDouble();
        invoice.deliveryCharge = m_window.DelChargeApply;
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
            view->Field(QStringLiteral("MISCCHARGE")).SetValue(Text::trim(m_window.DelChargeCode));
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

    frmMain& m_window;
    OrderGrid* m_grid;
    const WindowState& m_before;
    BatchPreview m_preview;
    QSet<int> m_recorded;
    QHash<int, QString> m_reasons;
    QHash<QString, Credit> m_credit;
    std::optional<double> m_chargeAmount;
};

} // namespace

BatchPreview previewBatch(frmMain& window)
{
    const WindowState before(window);
    InvoiceRecorder recorder(window, before);
    try {
        runBatch(window, recorder);
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

void frmMain::addBatchPreviewCommand()
{
    // Next to "Invoice Batch", and offered whenever it is.
    QAction* batch = mnuFileSub(4);
    auto* preview = new QAction(QStringLiteral("Pre&view Invoice Batch..."), this);
    preview->setObjectName(QStringLiteral("mnuFilePreviewBatch"));
    preview->setVisible(batch->isVisible());
    m_ui->mnuFile->insertAction(mnuFileSub(5), preview);
    connect(batch, &QAction::visibleChanged, preview,
            [preview, batch] { preview->setVisible(batch->isVisible()); });
    connect(preview, &QAction::triggered, this, [this] {
        if (gridInUse())
            return;
        const GridCommand command(*this);
        Preview_Batch();
    });
}

void frmMain::Preview_Batch()
{
    if (!frmBatchOpts::run(this))
        return;
    const BatchPreview preview = previewBatch(*this);
    if (!preview.complete)
        return;
    frmBatchPreview window(preview, this);
    if (window.exec() != QDialog::Accepted)
        return;
    // "Run batch now": the run itself, with the same options, over the same grid (nothing
    // could change it while the preview was open).
    if (!Check_ZeroShipments(true))
        Check_Orders();
}
