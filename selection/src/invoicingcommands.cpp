#include <selection/frmmain.h>
#include <selection/gridcommand.h>

#include "ui_frmmain.h"

#include <invoicing/frmcreditcheck.h>
#include <invoicing/frmprepay.h>
#include <invoicing/frmreverseinvoice.h>
#include <invoicing/invoicecommands.h>
#include <invoicing/ordercompletion.h>

#include <core/appstate.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>

#include <QMenu>
#include <QScopedValueRollback>

// The invoicing commands over this window, which is their BillingDesk, and the delivery
// charge's controls.

using modGeneral::OrderEntryLayout;

bool frmMain::Create_Invoice(const QString& customer)
{
    return Invoicing::createInvoice(*this, OrderEntryLayout::Older, customer);
}

bool frmMain::Create_Invoice56(const QString& customer)
{
    return Invoicing::createInvoice(*this, OrderEntryLayout::Release56, customer);
}

bool frmMain::Create_Invoice2(const QString& customer, const QList<std::int16_t>& rows)
{
    return Invoicing::createBatchInvoice(*this, OrderEntryLayout::Older, customer, rows);
}

bool frmMain::Create_Invoice2_56(const QString& customer, const QList<std::int16_t>& rows)
{
    return Invoicing::createBatchInvoice(*this, OrderEntryLayout::Release56, customer, rows);
}

void frmMain::Clear_BackOrders(const QString& orderNumber)
{
    OrderCompletion::clearBackOrders(OrderEntryLayout::Older, orderNumber);
}

void frmMain::Clear_BackOrders56(const QString& orderNumber)
{
    OrderCompletion::clearBackOrders(OrderEntryLayout::Release56, orderNumber);
}

void frmMain::Update_OrderComplete(const QString& orderNumber)
{
    OrderCompletion::completeOrder(OrderEntryLayout::Older, orderNumber);
}

void frmMain::Update_OrderComplete56(const QString& orderNumber)
{
    OrderCompletion::completeOrder(OrderEntryLayout::Release56, orderNumber);
}

void frmMain::Update_ShipmentComplete(const QString& shipmentNumber)
{
    Invoicing::completeShipment(shipmentNumber);
}

void frmMain::Complete_ZeroAmountShipments()
{
    Invoicing::completeZeroAmountShipments(*this);
}

void frmMain::Check_Orders()
{
    Invoicing::checkOrders(*this);
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

void frmMain::addReverseInvoiceCommand()
{
    // Asked once the user has signed on; the load asks it once.
    const QString name = QStringLiteral("mnuFileReverseInvoice");
    auto* reverse = findChild<QAction*>(name);
    if (!reverse) {
        reverse = new QAction(QStringLiteral("Rever&se Invoice..."), this);
        reverse->setObjectName(name);
        reverse->setVisible(false); // until the rights are read
        m_ui->mnuFile->insertAction(mnuFileSub(5), reverse);
        connect(reverse, &QAction::triggered, this, [this] {
            if (gridInUse())
                return;
            const GridCommand command(*this);
            frmReverseInvoice window(this);
            window.exec();
        });
    }
    // The books refuse anyone else; the command is not offered to them.
    reverse->setVisible(holdsCreditApprovalRight(modGeneral::AppDBLink->Session().UserID()));
}

void frmMain::Preview_Batch()
{
    // "Run batch now": the run itself, with the same options, over the same grid (nothing
    // could change it while the preview was open).
    if (Invoicing::previewBatchFirst(*this) && !Check_ZeroShipments(true))
        Check_Orders();
}

void frmMain::Show_Prepayment()
{
    // Not while a load or an invoice run uses the grid and reads the pending prepayment.
    if (gridInUse())
        return;
    // One prepayment window at a time; the command brings an open one to the front.
    for (frmPrepay* open : findChildren<frmPrepay*>(Qt::FindDirectChildrenOnly)) {
        if (open->isVisible()) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto* window = new frmPrepay(*this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

// Offers the delivery charge when the selection qualifies. The selection is decided on as a
// whole: its total in cents (SelTotal adds single-precision amounts and is for display) and
// whether any ticked row, not only the one just clicked, is a cash sale.
void frmMain::Check_DeliveryCharge()
{
    const QString source = QStringLiteral("frmMain.Check_DeliveryCharge");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        switch (Invoicing::deliveryChargeFor(*this, Text::trim(SelCustomer),
                                             Invoicing::selectionFacts(*this))) {
        case Books::DeliveryChargeOutcome::Off: {
            DelChargeApply = false;
            m_ui->lblDelCharge->hide();
            m_ui->cboDelCharge->hide();
            const QSignalBlocker block(m_ui->cboDelCharge);
            m_ui->cboDelCharge->setCurrentIndex(-1);
            break;
        }
        case Books::DeliveryChargeOutcome::Unconfigured:
            modGeneral::MsgBox(
                QStringLiteral("The Delivery Charge has not yet been configured.\r\n"
                               "No delivery charges can be applied until it has been\r\n"
                               "properly configured."),
                modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                QStringLiteral("Configuration Required"));
            break;
        case Books::DeliveryChargeOutcome::On: {
            DelChargeApply = true;
            m_ui->lblDelCharge->show();
            m_ui->cboDelCharge->show();
            const QSignalBlocker block(m_ui->cboDelCharge);
            m_ui->cboDelCharge->setCurrentIndex(0);
            break;
        }
        }
    });
}

// --- The BillingDesk ------------------------------------------------------------------

OrderGrid* frmMain::orderGrid() const
{
    return m_ui->flgMain;
}

void frmMain::emptySelection()
{
    SelCustomer.clear();
    SelCustomerName.clear();
    SelTotal = 0;
}

bool frmMain::deliveryChargeOmitted() const
{
    return !m_ui->cboDelCharge->isHidden() && m_ui->cboDelCharge->currentIndex() == 1;
}

void frmMain::invoiceBatchRows(const QList<std::int16_t>& rows)
{
    BatchRows = rows;
    const QScopedValueRollback<bool> batchMode(BatchMode, true);
    Invoice_Command();
}

void frmMain::showPrepayment(std::optional<double> amount)
{
    if (amount) {
        m_ui->lblPrepayment->setText(modGeneral::Format_Decimals(*amount, 2));
        m_ui->lblPrepay->show();
        m_ui->lblPrepayment->show();
    } else {
        m_ui->lblPrepay->hide();
        m_ui->lblPrepayment->hide();
        m_ui->lblPrepayment->clear();
    }
}

// The window's part of what a batch preview changes, put back when the preview is done.
class frmMain::StateHeld : public BillingDesk::HeldState
{
public:
    explicit StateHeld(frmMain& window)
        : m_window(window), m_selCustomer(window.SelCustomer),
          m_selCustomerName(window.SelCustomerName), m_selTotal(window.SelTotal),
          m_delChargeApply(window.DelChargeApply), m_batchRows(window.BatchRows),
          m_batchInvoiced(window.BatchInvoiced), m_invoiceText(window.ui()->lblInvoice->text()),
          m_chargeShown(!window.ui()->cboDelCharge->isHidden()),
          m_chargeIndex(window.ui()->cboDelCharge->currentIndex()),
          m_invoiceEnabled(window.mnuFileSub(3)->isEnabled()),
          m_prepaymentEnabled(window.mnuFileSub(2)->isEnabled()),
          m_prepaymentShown(!window.ui()->lblPrepayment->isHidden()),
          m_prepaymentText(window.ui()->lblPrepayment->text()), m_status(window.statusText())
    {
    }

    ~StateHeld() override
    {
        Ui::frmMain& ui = *m_window.ui();
        m_window.SelCustomer = m_selCustomer;
        m_window.SelCustomerName = m_selCustomerName;
        m_window.SelTotal = m_selTotal;
        m_window.DelChargeApply = m_delChargeApply;
        m_window.BatchRows = m_batchRows;
        m_window.BatchInvoiced = m_batchInvoiced;
        ui.lblInvoice->setText(m_invoiceText);
        ui.lblDelCharge->setVisible(m_chargeShown);
        ui.cboDelCharge->setVisible(m_chargeShown);
        const QSignalBlocker block(ui.cboDelCharge);
        ui.cboDelCharge->setCurrentIndex(m_chargeIndex);
        m_window.mnuFileSub(3)->setEnabled(m_invoiceEnabled);
        m_window.toolbarButton(QStringLiteral("Invoice"))->setEnabled(m_invoiceEnabled);
        m_window.mnuFileSub(2)->setEnabled(m_prepaymentEnabled);
        m_window.toolbarButton(QStringLiteral("Prepayment"))->setEnabled(m_prepaymentEnabled);
        // The prepayment's labels with it: a run that takes away the last tick hides them.
        ui.lblPrepayment->setText(m_prepaymentText);
        ui.lblPrepay->setVisible(m_prepaymentShown);
        ui.lblPrepayment->setVisible(m_prepaymentShown);
        m_window.setStatusText(m_status);
    }

    StateHeld(const StateHeld&) = delete;
    StateHeld& operator=(const StateHeld&) = delete;

private:
    frmMain& m_window;
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
    bool m_prepaymentShown;
    QString m_prepaymentText;
    QString m_status;
};

std::unique_ptr<BillingDesk::HeldState> frmMain::holdState()
{
    return std::make_unique<StateHeld>(*this);
}
