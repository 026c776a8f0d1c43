#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <settings/settings.h>

#include <system/comerror.h>

using modGeneral::MsgBox;
using modGeneral::MsgButtons;
using modGeneral::MsgIcon;
using modGeneral::MsgResult;

Books::Money frmMain::rowMoney(int row) const
{
    return m_ui->flgMain->orderRow(row).money();
}

bool frmMain::isZeroAmountShipment(int row) const
{
    return m_ui->flgMain->orderRow(row).isZeroAmountShipment();
}

double frmMain::rowAmount(int row) const
{
    // Amounts are added to SelTotal as single-precision values, as the clerks' totals always
    // were; the money rules decide on rowMoney instead.
    return double(float(rowMoney(row).toDouble()));
}

void frmMain::flgMain_Click()
{
    OrderGrid* grid = m_ui->flgMain;
    if (Loading || grid->Col() != 0 || grid->Row() == 0)
        return;
    try {
        const int row = grid->Row();
        const OrderRow& order = grid->orderRow(row);
        auto showTotal = [this] {
            m_ui->lblInvoice->setText(modGeneral::Format_Decimals(SelTotal, 2));
        };
        if (!grid->isChecked(row)) {
            if (!order.hasShipment()) {
                MsgBox(QStringLiteral(
                           "A Shipment must exist in order to add this\r\norder to an invoice."),
                       MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Incorrect Selection"));
                return;
            }
            const QString customer = order.customer;
            const double amount = rowAmount(row);
            if (SelCustomer.isEmpty()) {
                grid->setCellPicture(OrderGrid::Picture::Checked);
                SelCustomer = customer;
                if (SelCustomerName.isEmpty())
                    SelCustomerName = order.customerName;
                SelTotal += amount;
                showTotal();
                Check_DeliveryCharge();
                setSelectionCommandsEnabled(true);
            } else if (customer == SelCustomer) {
                grid->setCellPicture(OrderGrid::Picture::Checked);
                SelTotal += amount;
                showTotal();
                Check_DeliveryCharge();
            } else {
                MsgBox(QStringLiteral("The customer for this order is different from the\r\n"
                                      "customer of the already selected orders.\r\n\n"
                                      "Only ONE customer per invoice is allowed."),
                       MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Incorrect Selection"));
            }
            return;
        }

        const double amount = rowAmount(row);
        grid->setCellPicture(OrderGrid::Picture::Unchecked);
        SelTotal -= amount;
        showTotal();
        Check_DeliveryCharge();
        if (grid->gridModel()->checkedRows().empty()) {
            SelCustomer.clear();
            SelCustomerName.clear();
            Reset_Totals();
            setSelectionCommandsEnabled(false);
        }
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.flgMain_Click"),
                                  modGeneral::Reporter::Messenger);
    }
}

void frmMain::flgMain_KeyPress(int& keyAscii)
{
    if (keyAscii == 32)
        flgMain_Click();
}

void frmMain::Clear_AllSelections()
{
    try {
        OrderGrid* grid = m_ui->flgMain;
        grid->setCol(0);
        for (int r = 1; r < grid->Rows(); ++r)
            grid->gridModel()->setPicture(r, 0, OrderGrid::Picture::Unchecked);
        SelCustomer.clear();
        SelCustomerName.clear();
        Reset_Totals();
        setSelectionCommandsEnabled(false);
        grid->setRow(0);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.Clear_AllSelections"),
                                  modGeneral::Reporter::Messenger);
    }
}

void frmMain::Reset_Totals()
{
    auto& prepayment = modGeneral::PendingPrepayment;
    prepayment.Present = false;
    prepayment.ReceiptType.clear();
    prepayment.ReceiptNumber.clear();
    prepayment.Amount = 0;
    prepayment.ReceiptDate = QDate(1899, 12, 31);
    m_ui->lblPrepay->hide();
    m_ui->lblPrepayment->hide();
    m_ui->lblPrepayment->clear();
    SelTotal = 0;
    m_ui->lblInvoice->setText(modGeneral::Format_Decimals(SelTotal, 2));
}

bool frmMain::Check_ZeroShipments(bool allRows)
{
    double warning = 0;
    try {
        warning = Setting::toNumber(Setting::read(Setting::InvoiceWarning));
    } catch (const std::exception& failure) {
        // A stored value that is no number: say so, and warn as if the option were on.
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.Check_ZeroShipments"),
                                  modGeneral::Reporter::Messenger);
        warning = 1;
    }
    if (warning == 0)
        return false;
    const OrderGrid* grid = m_ui->flgMain;
    for (int r = 1; r < grid->Rows(); ++r) {
        if (!allRows && !grid->isChecked(r))
            continue;
        if (isZeroAmountShipment(r)) {
            return MsgBox(QStringLiteral("A shipment with a $0 amount has been detected.\r\n\n"
                                         "Do you wish to continue?"),
                          MsgButtons::YesNo, MsgIcon::Information,
                          QStringLiteral("Zero Dollar Shipment Amount"), 2) != MsgResult::Yes;
        }
    }
    return false;
}

void frmMain::cboDelCharge_Click()
{
    const int index = m_ui->cboDelCharge->currentIndex();
    if (index >= 0)
        DelChargeApply = index == 0;
}
