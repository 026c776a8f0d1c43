#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/text.h>
#include <settings/settings.h>

Books::DeliveryChargeOutcome frmMain::deliveryChargeFor(const QString& customer,
                                                        const InvoiceFacts& facts) const
{
    const Books::DeliveryChargeCase invoice{
        Setting::toNumber(Setting::read(Setting::DeliveryCharge)) == 1, customer, facts.total,
        facts.cashSale, Text::trim(DelChargeCode)};
    return Books::decideDeliveryCharge(
        invoice, [&] { return modGeneral::Valid_DeliveryCustomer(customer); });
}

// Offers the delivery charge when the selection qualifies. The selection is decided on as a
// whole: its total in cents (SelTotal adds single-precision amounts and is for display) and
// whether any ticked row, not only the one just clicked, is a cash sale.
void frmMain::Check_DeliveryCharge()
{
    const QString source = QStringLiteral("frmMain.Check_DeliveryCharge");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        switch (deliveryChargeFor(Text::trim(SelCustomer), selectionFacts())) {
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
