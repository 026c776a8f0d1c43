#include <invoicing/frmreverseinvoice.h>

#include "ui_frmreverseinvoice.h"

#include <core/activation.h>
#include <core/appstate.h>
#include <core/busy.h>
#include <core/displaydate.h>
#include <core/finder.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/stylebuttons.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <resources/resources.h>

#include <QStyle>

namespace {

constexpr int KeyF5 = 116;
const QString Title = QStringLiteral("Reverse Invoice");

} // namespace

frmReverseInvoice::frmReverseInvoice(QWidget* owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::frmReverseInvoice>())
{
    m_ui->setupUi(this);
    Ui::frmReverseInvoice& ui = *m_ui;
    setWindowIcon(Resources::ProgramIcon());
    setWindowTitle(modGeneral::ProgramTitle + QStringLiteral(" - ") + Title);
    modGeneral::Style_Buttons(this);
    ui.btnFinder->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    ui.lvwShipments->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);

    connect(ui.vreInvoice, &VrexEditbox::Validate, this, [this](bool&) { showInvoice(); });
    connect(ui.vreInvoice, &VrexEditbox::KeyDown, this, [this](int& keyCode, int) {
        if (keyCode == KeyF5)
            btnFinder_Click();
    });
    connect(ui.btnFinder, &QToolButton::clicked, this, &frmReverseInvoice::btnFinder_Click);
    for (QRadioButton* choice : {ui.optGoodsBack, ui.optInvoiceAgain})
        connect(choice, &QRadioButton::toggled, this, &frmReverseInvoice::updateReverseButton);
    connect(ui.btnReverse, &QPushButton::clicked, this, &frmReverseInvoice::btnReverse_Click);
    connect(ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    clearDetails();
    Activation::onActivate(this, [this] { Form_Activate(); });
}

frmReverseInvoice::~frmReverseInvoice() = default;

void frmReverseInvoice::Form_Activate()
{
    // Back from another window with nothing shown: the number is what is asked for.
    if (!m_invoice)
        m_ui->vreInvoice->setFocus();
}

void frmReverseInvoice::showInvoice()
{
    Ui::frmReverseInvoice& ui = *m_ui;
    const QString number = Text::trim(ui.vreInvoice->text());
    if (number == m_numberShown)
        return;
    m_numberShown = number;
    clearDetails();
    if (number.isEmpty())
        return;
    std::variant<Invoicing::InvoiceToReverse, QString> found;
    const bool read = modGeneral::reportFailures(QStringLiteral("frmReverseInvoice.showInvoice"),
                                                 modGeneral::Reporter::Messenger, [&] {
                                                     BusyCursor busy;
                                                     found = Invoicing::invoiceToReverse(number);
                                                 });
    if (!read) {
        m_numberShown.clear();
        return;
    }
    if (const QString* refusal = std::get_if<QString>(&found)) {
        modGeneral::MsgBox(*refusal, modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                           QStringLiteral("Invalid Entry"), 1, this);
        ui.vreInvoice->HighlightText();
        return;
    }
    const auto& invoice = std::get<Invoicing::InvoiceToReverse>(found);
    const auto money = [](const Books::Money& amount) { return SystemLocale::formatMoney(amount); };
    ui.lblCustomer->setText(invoice.customer + QStringLiteral("  ") + invoice.customerName);
    ui.lblDate->setText(modGeneral::Display_Date(invoice.date));
    for (const auto& shipment : invoice.shipments) {
        auto* row = new QTreeWidgetItem(
            ui.lvwShipments,
            {shipment.number, modGeneral::Display_Date(shipment.date), money(shipment.amount)});
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    ui.lblDelivery->setText(invoice.deliveryCharge.isEmpty()
                                ? QStringLiteral("None")
                                : invoice.deliveryCharge + QStringLiteral("  ") +
                                      money(invoice.deliveryAmount));
    ui.lblPrepayment->setText(money(invoice.prepayment));
    ui.lblTotal->setText(money(invoice.total));
    m_invoice = invoice;
    updateReverseButton();
}

void frmReverseInvoice::clearDetails()
{
    Ui::frmReverseInvoice& ui = *m_ui;
    m_invoice.reset();
    for (QLabel* label :
         {ui.lblCustomer, ui.lblDate, ui.lblDelivery, ui.lblPrepayment, ui.lblTotal})
        label->clear();
    ui.lvwShipments->clear();
    // The choice is made for one invoice: another starts without one.
    for (QRadioButton* choice : {ui.optGoodsBack, ui.optInvoiceAgain}) {
        choice->setAutoExclusive(false);
        choice->setChecked(false);
        choice->setAutoExclusive(true);
    }
    updateReverseButton();
}

void frmReverseInvoice::updateReverseButton()
{
    m_ui->btnReverse->setEnabled(m_invoice && chosenAfter());
}

std::optional<Invoicing::AfterReversal> frmReverseInvoice::chosenAfter() const
{
    if (m_ui->optGoodsBack->isChecked())
        return Invoicing::AfterReversal::ShipmentsStayInvoiced;
    if (m_ui->optInvoiceAgain->isChecked())
        return Invoicing::AfterReversal::ShipmentsInvoicedAgain;
    return std::nullopt;
}

void frmReverseInvoice::btnFinder_Click()
{
    const QVariantList values =
        modGeneral::Show_Finder(QStringLiteral("OE0420"), QString(),
                                QStringLiteral("frmReverseInvoice.btnFinder_Click"), this);
    if (values.isEmpty())
        return;
    m_ui->vreInvoice->setText(Text::trim(values.value(0).toString()));
    showInvoice();
}

void frmReverseInvoice::btnReverse_Click()
{
    const std::optional<Invoicing::AfterReversal> after = chosenAfter();
    if (!m_invoice || !after)
        return;
    const bool release = *after == Invoicing::AfterReversal::ShipmentsInvoicedAgain;
    const Invoicing::InvoiceToReverse invoice = *m_invoice;
    const QString question =
        QStringLiteral("Reverse invoice %1 of %2 (%3) for %4 with a credit note?\r\n%5")
            .arg(invoice.number, invoice.customerName, invoice.customer,
                 SystemLocale::formatMoney(invoice.total),
                 release ? QStringLiteral("The shipments can be invoiced again.")
                         : QStringLiteral("The shipments stay invoiced."));
    if (modGeneral::MsgBox(question, modGeneral::MsgButtons::YesNo, modGeneral::MsgIcon::Question,
                           Title, 2, this) != modGeneral::MsgResult::Yes)
        return;
    Invoicing::Reversal reversal;
    const bool ran = modGeneral::reportFailures(
        QStringLiteral("frmReverseInvoice.btnReverse_Click"), modGeneral::Reporter::Messenger, [&] {
            BusyCursor busy;
            reversal = Invoicing::reverseInvoice(invoice.number, *after);
        });
    if (!ran)
        return;
    if (reversal.creditNote.isEmpty()) {
        modGeneral::MsgBox(reversal.refusal, modGeneral::MsgButtons::OK,
                           modGeneral::MsgIcon::Exclamation, QStringLiteral("Invoice Not Reversed"),
                           1, this);
        return;
    }
    QString done = QStringLiteral("Invoice %1 was reversed by credit note %2.")
                       .arg(invoice.number, reversal.creditNote);
    if (release)
        done += QStringLiteral("\r\nIts shipments can be invoiced again: they are listed once "
                               "the order list is refreshed.");
    if (reversal.onAccount != Books::Money{})
        done += QStringLiteral("\r\nThe prepayment of %1 stays on the account of %2 (%3) as "
                               "a payment applied to no invoice.")
                    .arg(SystemLocale::formatMoney(reversal.onAccount), invoice.customerName,
                         invoice.customer);
    modGeneral::MsgBox(done, modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Information,
                       QStringLiteral("Invoice Reversed"), 1, this);
    accept();
}
