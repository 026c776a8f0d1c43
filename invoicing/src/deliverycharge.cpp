#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/text.h>
#include <settings/settings.h>

#include <system/comerror.h>

// Offers the delivery charge when the selection qualifies: the feature is on, one customer
// is selected, the total is above 0 and at most 100, the order is no cash sale, and the
// customer is flagged for delivery charges.
void frmMain::Check_DeliveryCharge()
{
    auto switchOff = [this] {
        DelChargeApply = false;
        m_ui->lblDelCharge->hide();
        m_ui->cboDelCharge->hide();
        const QSignalBlocker block(m_ui->cboDelCharge);
        m_ui->cboDelCharge->setCurrentIndex(-1);
    };
    try {
        if (Setting::toNumber(Setting::read(Setting::DeliveryCharge)) != 1) {
            switchOff();
            return;
        }
        const double total = SelTotal;
        const QString customer = Text::trim(SelCustomer);
        if (customer.isEmpty() || !(total > 0) || total > 100) {
            switchOff();
            return;
        }
        // Cash sales (ship-via "1") carry no delivery charge. The ship-via code is in the
        // hidden column 7 of the row just clicked.
        const OrderGrid* grid = m_ui->flgMain;
        if (Text::trim(grid->TextMatrix(grid->Row(), 7)) == QLatin1String("1")) {
            switchOff();
            return;
        }
        if (!modGeneral::Valid_DeliveryCustomer(customer)) {
            switchOff();
            return;
        }
        if (Text::trim(DelChargeCode).isEmpty()) {
            modGeneral::MsgBox(
                QStringLiteral("The Delivery Charge has not yet been configured.\r\n"
                               "No delivery charges can be applied until it has been\r\n"
                               "properly configured."),
                modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                QStringLiteral("Configuration Required"));
            return;
        }
        DelChargeApply = true;
        m_ui->lblDelCharge->show();
        m_ui->cboDelCharge->show();
        const QSignalBlocker block(m_ui->cboDelCharge);
        m_ui->cboDelCharge->setCurrentIndex(0);
    } catch (const std::exception& failure) {
        const ComError error = comErrorOf(failure);
        modGeneral::ErrorMessenger(error.number(), error.description(),
                                   QStringLiteral("frmMain.Check_DeliveryCharge"));
    }
}
