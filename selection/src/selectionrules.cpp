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
    const QString text = Text::trim(m_ui->flgMain->TextMatrix(row, 4));
    if (text.isEmpty())
        return {};
    const std::optional<double> value = SystemLocale::parseNumber(text);
    if (!value)
        throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    return Books::Money::of(*value, 2);
}

bool frmMain::isZeroAmountShipment(int row) const
{
    // Exactly the text the loader writes for a zero amount, in the clerk's number format.
    const OrderGrid* grid = m_ui->flgMain;
    return Text::trim(grid->TextMatrix(row, 4)) == modGeneral::Format_Decimals(0.0, 2) &&
           !Text::trim(grid->TextMatrix(row, 3)).isEmpty();
}

bool frmMain::isCashSale(int row) const
{
    return Text::trim(m_ui->flgMain->TextMatrix(row, 7)) == QLatin1String("1");
}

frmMain::InvoiceFacts frmMain::selectionFacts() const
{
    // The selected customer's ticked rows: a batch run keeps the ticks of the customers it
    // has invoiced until it ends.
    const OrderGrid* grid = m_ui->flgMain;
    std::vector<int> rows;
    for (const int row : grid->gridModel()->checkedRows())
        if (Text::trim(grid->TextMatrix(row, 5)) == SelCustomer)
            rows.push_back(row);
    return invoiceFacts(rows);
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
        auto showTotal = [this] {
            m_ui->lblInvoice->setText(modGeneral::Format_Decimals(SelTotal, 2));
        };
        if (grid->CellPicture() != OrderGrid::Picture::Checked) {
            if (Text::trim(grid->TextMatrix(row, 3)).isEmpty()) {
                MsgBox(QStringLiteral(
                           "A Shipment must exist in order to add this\r\norder to an invoice."),
                       MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Incorrect Selection"));
                return;
            }
            const QString customer = Text::trim(grid->TextMatrix(row, 5));
            const double amount = rowAmount(row);
            if (SelCustomer.isEmpty()) {
                grid->setCellPicture(OrderGrid::Picture::Checked);
                SelCustomer = customer;
                if (SelCustomerName.isEmpty())
                    SelCustomerName = Text::trim(grid->TextMatrix(row, 6));
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
        const int remembered = grid->Row();
        bool anyTicked = false;
        for (int r = 1; r < grid->Rows() && !anyTicked; ++r) {
            grid->setRow(r);
            anyTicked = grid->CellPicture() == OrderGrid::Picture::Checked;
        }
        if (!anyTicked) {
            SelCustomer.clear();
            SelCustomerName.clear();
            Reset_Totals();
            setSelectionCommandsEnabled(false);
        }
        grid->setRow(remembered < 1 ? 0 : remembered);
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
        for (int r = 1; r < grid->Rows(); ++r) {
            grid->setRow(r);
            grid->setCellPicture(OrderGrid::Picture::Unchecked);
        }
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
    OrderGrid* grid = m_ui->flgMain;
    grid->setCol(0);
    for (int r = 1; r < grid->Rows(); ++r) {
        grid->setRow(r);
        if (!allRows && grid->CellPicture() != OrderGrid::Picture::Checked)
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
