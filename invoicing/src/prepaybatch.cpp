// The prepayment window's receipt batch: looking it up, creating it, saving its date,
// description and bank as they are edited, and the three finders.
#include <invoicing/frmprepay.h>

#include <invoicing/billingdesk.h>

#include "ui_frmprepay.h"

#include <core/appstate.h>
#include <core/displaydate.h>
#include <core/finder.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <settings/settings.h>

#include <accpac/view.h>

namespace {

const QString ReceiptBatches = QStringLiteral("AR0041");
// Receivables receipt batches of cash receipts; status 1 is open.
const QString CashReceipts = QStringLiteral("CA");
constexpr int OpenBatch = 1;

// A batch number as typed: a positive whole number, or none.
std::optional<std::int32_t> batchNumberOf(const QString& text)
{
    bool ok = false;
    const int number = SystemLocale::locale().toInt(Text::trim(text), &ok);
    return ok && number > 0 ? std::optional<std::int32_t>(number) : std::nullopt;
}

// Reads the open batch under key 1 (type, status, number) into view; true when found.
bool readOpenBatch(AccpacView& view, std::int32_t number)
{
    view.SetOrder(1);
    view.Field(QStringLiteral("CODEPYMTYP")).SetValue(CashReceipts);
    view.Field(QStringLiteral("BATCHSTAT")).SetValue(OpenBatch);
    view.Field(QStringLiteral("CNTBTCH")).SetValue(number);
    return view.Read();
}

QString trimmedField(AccpacView& view, const char* name)
{
    return Text::trim(view.Field(QLatin1String(name)).GetValue().toString());
}

} // namespace

bool frmPrepay::Valid_ARBatch(const QString& number)
{
    // Text that is no batch number names no batch; the box lets only digits through.
    const std::optional<std::int32_t> batch = batchNumberOf(number);
    if (!batch)
        return false;
    bool valid = false;
    const QString source = QStringLiteral("frmPrepay.Valid_ARBatch");
    modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(ReceiptBatches);
        if (!readOpenBatch(*view, *batch))
            return;
        m_ui->lblBatchDesc->setText(trimmedField(*view, "BATCHDESC"));
        m_ui->lblBatchDate->setText(
            modGeneral::Display_Date(view->Field(QStringLiteral("DATEBTCH")).GetValue()));
        m_ui->lblBankCode->setText(trimmedField(*view, "IDBANK"));
        valid = true;
    });
    return valid;
}

QString frmPrepay::Return_ARBatchDesc(const QString& number)
{
    const std::optional<std::int32_t> batch = batchNumberOf(number);
    if (!batch)
        return {};
    QString description;
    const QString source = QStringLiteral("frmPrepay.Return_ARBatchDesc");
    modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(ReceiptBatches);
        if (readOpenBatch(*view, *batch))
            description = view->Field(QStringLiteral("BATCHDESC")).GetValue().toString();
    });
    return description;
}

bool frmPrepay::Create_NewBatch()
{
    const QString source = QStringLiteral("frmPrepay.Create_NewBatch");
    return modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(ReceiptBatches);
        view->Field(QStringLiteral("CODEPYMTYP")).SetValue(CashReceipts);
        view->Field(QStringLiteral("CNTBTCH")).SetValue(0);
        view->NewRecord();
        view->Update();
        m_desk.clerksPrepayment().BatchNumber =
            view->Field(QStringLiteral("CNTBTCH")).GetValue().toInt();
    });
}

void frmPrepay::btnNewBatch_Click()
{
    Ui::frmPrepay& ui = *m_ui;
    Enable_Receipt(false);
    // A batch that could not be created is no batch to set up: the window stays as it was
    // rather than editing the batch chosen before.
    if (!Create_NewBatch())
        return;
    modGeneral::PendingPrepaymentRecord& pending = m_desk.clerksPrepayment();
    const QDate today = QDate::currentDate();
    ui.vreBatch->setText(QString::number(pending.BatchNumber));
    // The window wrote the number: there is nothing to check when the box is left.
    m_changedSinceFocus[ui.vreBatch] = false;
    pending.BatchDate = today;
    pending.BankCode.clear();
    pending.ReceiptType.clear();
    pending.ReceiptDate = today;
    pending.ReceiptNumber.clear();
    pending.Amount = 0;

    ui.txtBatchDesc->clear();
    const QString date = modGeneral::Display_Date(today);
    ui.vreBatchDate->setText(date);
    ui.lblBatchDate->setText(date);
    const QString bank = Setting::read(Setting::BankCode);
    ui.vreBankCode->setText(bank);
    ui.lblBankCode->setText(bank);
    ui.lblBatchDesc->clear();
    accept(ui.vreBatch);
    Show_NewBatch(true);
    Update_ReceiptBatch();
    ui.txtBatchDesc->setFocus();
}

void frmPrepay::Update_ReceiptBatch()
{
    Ui::frmPrepay& ui = *m_ui;
    const QString bank = Text::trim(ui.vreBankCode->text());
    const QString dateText = ui.vreBatchDate->text();
    const QDate date = SystemLocale::parseDate(Text::trim(dateText));
    // A batch is saved only with its bank and a date.
    if (bank.isEmpty() || !date.isValid())
        return;
    const QString description = Text::trim(ui.txtBatchDesc->text());
    const QString source = QStringLiteral("frmPrepay.Update_ReceiptBatch");
    const bool saved = modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(ReceiptBatches);
        view->Field(QStringLiteral("CODEPYMTYP")).SetValue(CashReceipts);
        view->Field(QStringLiteral("CNTBTCH")).SetValue(m_desk.clerksPrepayment().BatchNumber);
        if (view->Read()) {
            view->Field(QStringLiteral("DATEBTCH")).SetValue(date);
            view->Field(QStringLiteral("BATCHDESC")).SetValue(description);
            view->Field(QStringLiteral("IDBANK")).SetValue(bank);
            view->Update();
        }
    });
    if (!saved)
        return;
    ui.lblBankCode->setText(bank);
    ui.lblBatchDate->setText(dateText);
    ui.lblBatchDesc->setText(description);
    Enable_Receipt(true);
}

void frmPrepay::btnBatch_Click()
{
    Ui::frmPrepay& ui = *m_ui;
    const QVariantList values =
        modGeneral::Show_Finder(ReceiptBatches, QStringLiteral("BATCHSTAT = 1"),
                                QStringLiteral("frmPrepay.btnBatch_Click"), this);
    if (!values.isEmpty()) {
        ui.vreBatch->setText(QString::number(values.value(0).toInt()));
        ui.lblBatchDate->setText(modGeneral::Display_Date(values.value(1)));
        ui.lblBatchDesc->setText(Text::trim(values.value(2).toString()));
        ui.lblBankCode->setText(Text::trim(values.value(3).toString()));
        accept(ui.vreBatch);
        Show_NewBatch(false);
        Enable_Receipt(true);
    }
    m_changed = true;
}

void frmPrepay::btnBankCode_Click()
{
    const QVariantList values =
        modGeneral::Show_Finder(QStringLiteral("BK0001"), QStringLiteral("INACTIVE = 0"),
                                QStringLiteral("frmPrepay.btnBankCode_Click"), this);
    if (!values.isEmpty()) {
        m_ui->vreBankCode->setText(Text::trim(values.value(0).toString()));
        accept(m_ui->vreBankCode);
    }
    m_changed = true;
    Update_ReceiptBatch();
}

void frmPrepay::btnRecType_Click()
{
    const QVariantList values = modGeneral::Show_Finder(
        QStringLiteral("AR0012"), QString(), QStringLiteral("frmPrepay.btnRecType_Click"), this);
    if (!values.isEmpty()) {
        m_ui->vreRecType->setText(Text::trim(values.value(0).toString()));
        m_ui->lblRecType->setText(Text::trim(values.value(1).toString()));
        accept(m_ui->vreRecType);
    }
    m_changed = true;
}
