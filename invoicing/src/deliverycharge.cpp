#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/text.h>
#include <settings/settings.h>

#include <system/comerror.h>

frmMain::DeliveryCharge frmMain::deliveryChargeFor(const QString& customer, double total,
                                                   bool cashSale) const
{
    if (Setting::toNumber(Setting::read(Setting::DeliveryCharge)) != 1)
        return DeliveryCharge::Off;
    if (customer.isEmpty() || !(total > 0) || total > 100)
        return DeliveryCharge::Off;
    // Cash sales (ship-via "1") carry no delivery charge.
    if (cashSale)
        return DeliveryCharge::Off;
    if (!modGeneral::Valid_DeliveryCustomer(customer))
        return DeliveryCharge::Off;
    if (Text::trim(DelChargeCode).isEmpty())
        return DeliveryCharge::Unconfigured;
    return DeliveryCharge::On;
}

// Offers the delivery charge when the selection qualifies: the feature is on, one customer
// is selected, the total is above 0 and at most 100, the order is no cash sale, and the
// customer is flagged for delivery charges.
void frmMain::Check_DeliveryCharge()
{
    try {
        // The ship-via code is in the hidden column 7 of the row just clicked.
        const OrderGrid* grid = m_ui->flgMain;
        const bool cashSale = Text::trim(grid->TextMatrix(grid->Row(), 7)) == QLatin1String("1");
        switch (deliveryChargeFor(Text::trim(SelCustomer), SelTotal, cashSale)) {
        case DeliveryCharge::Off: {
            DelChargeApply = false;
            m_ui->lblDelCharge->hide();
            m_ui->cboDelCharge->hide();
            const QSignalBlocker block(m_ui->cboDelCharge);
            m_ui->cboDelCharge->setCurrentIndex(-1);
            break;
        }
        case DeliveryCharge::Unconfigured:
            modGeneral::MsgBox(
                QStringLiteral("The Delivery Charge has not yet been configured.\r\n"
                               "No delivery charges can be applied until it has been\r\n"
                               "properly configured."),
                modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                QStringLiteral("Configuration Required"));
            break;
        case DeliveryCharge::On: {
            DelChargeApply = true;
            m_ui->lblDelCharge->show();
            m_ui->cboDelCharge->show();
            const QSignalBlocker block(m_ui->cboDelCharge);
            m_ui->cboDelCharge->setCurrentIndex(0);
            break;
        }
        }
    } catch (const std::exception& failure) {
        const ComError error = comErrorOf(failure);
        modGeneral::ErrorMessenger(error.number(), error.description(),
                                   QStringLiteral("frmMain.Check_DeliveryCharge"));
    }
}
