// The prepayment window: opening, the boxes and their checks, the calendars and closing.
// The receipt batch procedures live in prepaybatch.cpp.
#include <invoicing/frmprepay.h>

#include "ui_frmprepay.h"

#include "prepaymentrule.h"

#include <invoicing/billingdesk.h>

#include <core/appstate.h>
#include <core/displaydate.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/stylebuttons.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <core/twips.h>
#include <resources/resources.h>
#include <settings/settings.h>
#include <windows/frmcalendar.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr unsigned SystemWindow = 0x80000005;
constexpr int KeyF5 = 116;

// The "Invalid Entry" box: two lines, the exclamation icon.
void invalidEntry(const QString& problem, const QString& remedy)
{
    modGeneral::MsgBox(problem + QStringLiteral("\r\n") + remedy, modGeneral::MsgButtons::OK,
                       modGeneral::MsgIcon::Exclamation, QStringLiteral("Invalid Entry"));
}

const QString InvalidReceiptDate =
    QStringLiteral("The entered Receipt Date is not a valid date.\r\n"
                   "Please enter a valid date or use the calendar.");

// A date box's text as a date; invalid when it holds none.
QDate dateIn(const QString& text)
{
    return Text::trim(text).isEmpty() ? QDate() : SystemLocale::parseDate(Text::trim(text));
}

} // namespace

frmPrepay::frmPrepay(BillingDesk& desk)
    : QDialog(desk.deskWindow()), m_desk(desk), m_ui(std::make_unique<Ui::frmPrepay>())
{
    m_ui->setupUi(this);
    Ui::frmPrepay& ui = *m_ui;
    for (QToolButton* finder : {ui.btnBatch, ui.btnBankCode, ui.btnRecType})
        finder->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    for (QToolButton* calendar : {ui.btnBatchDate, ui.btnRecDate})
        calendar->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    ui.btnNewBatch->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    connectControls();
    Form_Load();
}

frmPrepay::~frmPrepay() = default;

void frmPrepay::connectControls()
{
    Ui::frmPrepay& ui = *m_ui;
    connectBox(ui.vreBatch, &frmPrepay::vreBatch_Validate, &frmPrepay::btnBatch_Click);
    connectBox(ui.vreBatchDate, &frmPrepay::vreBatchDate_Validate);
    connectBox(ui.vreBankCode, &frmPrepay::vreBankCode_Validate, &frmPrepay::btnBankCode_Click);
    connectBox(ui.vreRecType, &frmPrepay::vreRecType_Validate, &frmPrepay::btnRecType_Click);
    connectBox(ui.vreRecDate, &frmPrepay::vreRecDate_Validate);
    connectBox(ui.vreRecAmount, &frmPrepay::vreRecAmount_Validate);
    for (QLineEdit* box : {ui.txtBatchDesc, ui.txtRecNumber}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] {
            m_changedSinceFocus[box] = true;
            m_changed = m_changed || !m_loading;
        });
        box->installEventFilter(this);
    }
    connect(ui.btnBatch, &QToolButton::clicked, this, &frmPrepay::btnBatch_Click);
    connect(ui.btnNewBatch, &QToolButton::clicked, this, &frmPrepay::btnNewBatch_Click);
    connect(ui.btnBankCode, &QToolButton::clicked, this, &frmPrepay::btnBankCode_Click);
    connect(ui.btnRecType, &QToolButton::clicked, this, &frmPrepay::btnRecType_Click);
    connect(ui.btnBatchDate, &QToolButton::clicked, this, &frmPrepay::btnBatchDate_Click);
    connect(ui.btnRecDate, &QToolButton::clicked, this, &frmPrepay::btnRecDate_Click);
    connect(ui.btnOK, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.btnCancel, &QPushButton::clicked, this, &frmPrepay::btnCancel_Click);
}

void frmPrepay::connectBox(VrexEditbox* box, Validator validate, void (frmPrepay::*finder)())
{
    connect(box, &VrexEditbox::Change, this, [this, box] {
        m_changedSinceFocus[box] = true;
        m_changed = m_changed || !m_loading;
    });
    connect(box, &VrexEditbox::GotFocus, this, [this, box] { m_changedSinceFocus[box] = false; });
    if (finder)
        connect(box, &VrexEditbox::KeyDown, this, [this, finder](int& keyCode, int) {
            if (keyCode == KeyF5)
                (this->*finder)();
        });
    if (validate)
        connect(box, &VrexEditbox::Validate, this, [this, box, validate](bool& cancel) {
            if (m_changedSinceFocus.value(box))
                (this->*validate)(cancel);
        });
}

void frmPrepay::Form_Load()
{
    using namespace modGeneral;
    Ui::frmPrepay& ui = *m_ui;
    m_loading = true;
    const QString source = QStringLiteral("frmPrepay.Form_Load");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        setWindowIcon(Resources::ProgramIcon());
        setWindowTitle(ProgramTitle + QStringLiteral(" - O/E Invoice Prepayments"));
        Style_Buttons(this);
        resize(width(), Twips::toPixels(4230, logicalDpiY()));
        Show_NewBatch(false);

        const PendingPrepaymentRecord& pending = m_desk.clerksPrepayment();
        if (pending.Present) {
            showBatch(pending.BatchNumber, pending.BatchDate, pending.BankCode);
            ui.vreRecType->setText(pending.ReceiptType);
            ui.lblRecType->setText(Return_RecTypeDesc(pending.ReceiptType));
            ui.vreRecDate->setText(Display_Date(pending.ReceiptDate));
            ui.txtRecNumber->setText(pending.ReceiptNumber);
            ui.vreRecAmount->setText(SystemLocale::locale().toString(pending.Amount, 'g', 15));
        } else {
            if (pending.BatchNumber != 0)
                showBatch(pending.BatchNumber, pending.BatchDate, pending.BankCode);
            else
                Enable_Receipt(false);
            ui.vreRecType->setText(Setting::read(Setting::RecType));
            ui.lblRecType->setText(Return_RecTypeDesc(ui.vreRecType->text()));
            ui.vreRecDate->setText(Display_Date(QDate::currentDate()));
        }
    });
    m_changed = false;
    m_loading = false;
}

void frmPrepay::showBatch(std::int32_t number, const QDate& date, const QString& bankCode)
{
    Ui::frmPrepay& ui = *m_ui;
    ui.vreBatch->setText(QString::number(number));
    ui.lblBatchDate->setText(modGeneral::Display_Date(date));
    ui.lblBankCode->setText(bankCode);
    ui.lblBatchDesc->setText(Return_ARBatchDesc(QString::number(number)));
}

void frmPrepay::Enable_Receipt(bool on)
{
    const QString source = QStringLiteral("frmPrepay.Enable_Receipt");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        Ui::frmPrepay& ui = *m_ui;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.vreRecType, ui.btnRecType, ui.lblRecType, ui.vreRecDate, ui.btnRecDate,
                 ui.txtRecNumber, ui.vreRecAmount, ui.lblRecTypeCaption, ui.lblRecDateCaption,
                 ui.lblRecNumberCaption, ui.lblRecAmountCaption})
            control->setEnabled(on);
        const unsigned colour = on ? SystemWindow : modGeneral::SystemButtonFace;
        for (VrexEditbox* box : {ui.vreRecType, ui.vreRecDate, ui.vreRecAmount})
            box->setBackColor(colour);
        QPalette palette = ui.txtRecNumber->palette();
        palette.setColor(QPalette::Base, VrexEditbox::toColor(colour));
        ui.txtRecNumber->setPalette(palette);
    });
}

void frmPrepay::Show_NewBatch(bool on)
{
    const QString source = QStringLiteral("frmPrepay.Show_NewBatch");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        Ui::frmPrepay& ui = *m_ui;
        for (QWidget* box : std::initializer_list<QWidget*>{
                 ui.txtBatchDesc, ui.vreBatchDate, ui.btnBatchDate, ui.vreBankCode, ui.btnBankCode})
            box->setVisible(on);
        for (QWidget* label : {ui.lblBatchDesc, ui.lblBatchDate, ui.lblBankCode})
            label->setVisible(!on);
        // A refused entry in a box that goes away no longer holds the window open.
        if (!on && (m_refusedBox == ui.vreBatchDate || m_refusedBox == ui.vreBankCode))
            m_refusedBox = nullptr;
    });
}

void frmPrepay::refuse(VrexEditbox* box, const QString& text, bool& cancel)
{
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    invalidEntry(lines.value(0), lines.value(1));
    cancel = true;
    m_refusedBox = box;
    box->HighlightText();
}

void frmPrepay::accept(VrexEditbox* box)
{
    if (m_refusedBox == box)
        m_refusedBox = nullptr;
}

void frmPrepay::vreBatch_Validate(bool& cancel)
{
    Ui::frmPrepay& ui = *m_ui;
    if (Text::trim(ui.vreBatch->text()).isEmpty()) {
        // No batch: no receipt either, and nothing to store.
        for (QLabel* label : {ui.lblBatchDesc, ui.lblBatchDate, ui.lblBankCode, ui.lblRecType})
            label->clear();
        for (VrexEditbox* box : {ui.vreRecType, ui.vreRecDate, ui.vreRecAmount})
            box->setText(QString());
        ui.txtRecNumber->clear();
        Enable_Receipt(false);
        m_changed = false;
        m_desk.clerksPrepayment().Present = false;
        accept(ui.vreBatch);
        return;
    }
    if (Valid_ARBatch(ui.vreBatch->text())) {
        Show_NewBatch(false);
        Enable_Receipt(true);
        m_changed = true;
        accept(ui.vreBatch);
        return;
    }
    for (QLabel* label : {ui.lblBatchDesc, ui.lblBatchDate, ui.lblBankCode})
        label->clear();
    refuse(ui.vreBatch,
           QStringLiteral("The entered AR Batch Number is not a valid open Batch.\r\n"
                          "Please enter a valid batch number or use the finder."),
           cancel);
}

void frmPrepay::vreBatchDate_Validate(bool& cancel)
{
    if (!dateIn(m_ui->vreBatchDate->text()).isValid()) {
        refuse(m_ui->vreBatchDate,
               QStringLiteral("The entered Batch Date is not a valid date.\r\n"
                              "Please enter a valid date or use the calendar."),
               cancel);
        return;
    }
    accept(m_ui->vreBatchDate);
    Update_ReceiptBatch();
}

void frmPrepay::vreRecDate_Validate(bool& cancel)
{
    if (!dateIn(m_ui->vreRecDate->text()).isValid()) {
        refuse(m_ui->vreRecDate, InvalidReceiptDate, cancel);
        return;
    }
    accept(m_ui->vreRecDate);
}

void frmPrepay::vreBankCode_Validate(bool& cancel)
{
    if (modGeneral::Valid_BankCode(m_ui->vreBankCode->text())) {
        accept(m_ui->vreBankCode);
        Update_ReceiptBatch();
        return;
    }
    refuse(m_ui->vreBankCode,
           QStringLiteral("The entered Bank Code is not a valid Bank Code.\r\n"
                          "Please enter a valid Bank Code or use the finder."),
           cancel);
}

void frmPrepay::vreRecType_Validate(bool& cancel)
{
    Ui::frmPrepay& ui = *m_ui;
    const QString code = ui.vreRecType->text();
    if (Text::trim(code).isEmpty()) {
        ui.lblRecType->clear();
        accept(ui.vreRecType);
    } else if (modGeneral::Valid_RecType(code)) {
        ui.lblRecType->setText(modGeneral::Return_RecTypeDesc(code));
        accept(ui.vreRecType);
    } else {
        ui.lblRecType->clear();
        refuse(ui.vreRecType,
               QStringLiteral("The entered Receipt Type is not a valid Receipt Type.\r\n"
                              "Please enter a valid Receipt Type or use the finder."),
               cancel);
    }
}

void frmPrepay::vreRecAmount_Validate(bool& cancel)
{
    // An empty amount is not refused while it is being entered, only when the window closes.
    if (Text::trim(m_ui->vreRecAmount->text()).isEmpty() || checkedAmount()) {
        accept(m_ui->vreRecAmount);
        return;
    }
    cancel = true;
}

std::optional<double> frmPrepay::checkedAmount()
{
    VrexEditbox* box = m_ui->vreRecAmount;
    const std::optional<double> amount = SystemLocale::parseNumber(Text::trim(box->text()));
    bool cancel = false;
    if (!amount || !(*amount > 0)) {
        refuse(box,
               QStringLiteral("The entered Receipt Amount is not a valid amount.\r\n"
                              "Please enter an amount greater than zero."),
               cancel);
        return std::nullopt;
    }
    const PrepaymentRule::Limit limit = PrepaymentRule::limitFor(m_desk);
    if (PrepaymentRule::tooPrecise(*amount, limit.decimals)) {
        refuse(box,
               QStringLiteral("The entered Receipt Amount has more decimals than the currency.\r\n"
                              "Please enter an amount with at most %1 decimals.")
                   .arg(limit.decimals),
               cancel);
        return std::nullopt;
    }
    if (PrepaymentRule::exceeds(*amount, limit)) {
        refuse(box,
               QStringLiteral("The entered Receipt Amount is more than the invoice total of ") +
                   PrepaymentRule::shown(limit.total, limit.decimals) +
                   QStringLiteral(".\r\nPlease enter an amount no larger than the invoice total."),
               cancel);
        return std::nullopt;
    }
    return *amount;
}

bool frmPrepay::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        m_changedSinceFocus[watched] = false;
    } else if (event->type() == QEvent::FocusOut && watched == m_ui->txtBatchDesc &&
               m_changedSinceFocus.value(watched)) {
        m_changedSinceFocus[watched] = false;
        Update_ReceiptBatch();
    }
    return QDialog::eventFilter(watched, event);
}

void frmPrepay::showCalendar(VrexEditbox* box)
{
    frmCalendar calendar(this);
    // Just below the box: its top, the window's, twice its height and a small gap.
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    const QPoint inWindow = box->mapTo(this, QPoint(0, 0));
    calendar.dssFormTop = Twips::fromPixels(inWindow.y(), dpiY) + Twips::fromPixels(y(), dpiY) +
                          2 * Twips::fromPixels(box->height(), dpiY) + 120;
    calendar.dssFormLeft = Twips::fromPixels(inWindow.x(), dpiX) + Twips::fromPixels(x(), dpiX);
    calendar.dssControl = box;
    const QDate shown = dateIn(box->text());
    calendar.dssStartDate = shown.isValid() ? shown : QDate::currentDate();
    calendar.exec();
    // The drop-down took the keyboard; the window takes it back.
    activateWindow();
}

void frmPrepay::btnBatchDate_Click()
{
    showCalendar(m_ui->vreBatchDate);
    Update_ReceiptBatch();
}

void frmPrepay::btnRecDate_Click()
{
    showCalendar(m_ui->vreRecDate);
}

void frmPrepay::btnCancel_Click()
{
    m_changed = false;
    m_cancelled = true;
    m_desk.clerksPrepayment().Present = false;
    close();
}

void frmPrepay::reject()
{
    // Escape is the Cancel button.
    btnCancel_Click();
}

void frmPrepay::closeEvent(QCloseEvent* event)
{
    if (Form_Unload())
        event->accept();
    else
        event->ignore();
}

// Every way of closing comes here. False keeps the window open: an entry that cannot be
// stored has been refused and the focus is back in its box.
bool frmPrepay::Form_Unload()
{
    if (m_unloaded)
        return true;
    // Leaving the box that has the focus runs its pending check.
    m_ui->btnBatch->setFocus();
    if (!m_cancelled) {
        if (m_refusedBox) {
            m_refusedBox->setFocus();
            m_refusedBox->HighlightText();
            return false;
        }
        if (m_changed && m_desk.prepaymentHeldAside()) {
            modGeneral::MsgBox(QStringLiteral("A batch run is creating invoices.\r\n"
                                              "The prepayment can be stored when it has ended."),
                               modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                               QStringLiteral("Invoice Batch"));
            return false;
        }
        if (m_changed && !storeEntries()) {
            // Every entry is checked again on the next attempt.
            m_refusedBox = nullptr;
            return false;
        }
    }
    if (m_changed)
        m_desk.showPrepayment(m_desk.clerksPrepayment().Amount);
    else if (!m_desk.clerksPrepayment().Present)
        m_desk.showPrepayment(std::nullopt);
    m_unloaded = true;
    QWidget* owner = m_desk.deskWindow();
    owner->show();
    owner->activateWindow();
    return true;
}

// Checks what the invoice will need and fills PendingPrepayment. The first entry that
// cannot be stored is refused in its box and nothing is stored.
bool frmPrepay::storeEntries()
{
    Ui::frmPrepay& ui = *m_ui;
    bool cancel = false;
    if (!Valid_ARBatch(ui.vreBatch->text())) {
        refuse(ui.vreBatch,
               QStringLiteral("The entered AR Batch Number is not a valid open Batch.\r\n"
                              "Please enter a valid batch number or use the finder."),
               cancel);
        ui.vreBatch->setFocus();
        return false;
    }
    // A new batch gets its bank in the window; the receipt cannot go into a batch without one.
    if (Text::trim(ui.lblBankCode->text()).isEmpty()) {
        VrexEditbox* box = ui.vreBankCode->isVisible() ? ui.vreBankCode : ui.vreBatch;
        refuse(box,
               QStringLiteral("The Batch has no Bank Code.\r\n"
                              "Please enter a valid Bank Code or use the finder."),
               cancel);
        box->setFocus();
        return false;
    }
    // A type picked in the finder may be inactive.
    const QString receiptType = Text::trim(ui.vreRecType->text());
    if (!receiptType.isEmpty() && !modGeneral::Valid_RecType(receiptType)) {
        refuse(ui.vreRecType,
               QStringLiteral("The entered Receipt Type is not a valid Receipt Type.\r\n"
                              "Please enter a valid Receipt Type or use the finder."),
               cancel);
        ui.vreRecType->setFocus();
        return false;
    }
    const QDate receiptDate = dateIn(ui.vreRecDate->text());
    if (!receiptDate.isValid()) {
        refuse(ui.vreRecDate, InvalidReceiptDate, cancel);
        ui.vreRecDate->setFocus();
        return false;
    }
    const std::optional<double> amount = checkedAmount();
    if (!amount) {
        ui.vreRecAmount->setFocus();
        return false;
    }
    modGeneral::PendingPrepaymentRecord& pending = m_desk.clerksPrepayment();
    pending.Present = true;
    pending.BatchNumber = SystemLocale::locale().toInt(Text::trim(ui.vreBatch->text()));
    pending.BatchDate = dateIn(ui.lblBatchDate->text());
    pending.BankCode = Text::trim(ui.lblBankCode->text());
    pending.ReceiptType = receiptType;
    pending.ReceiptDate = receiptDate;
    pending.ReceiptNumber = Text::trim(ui.txtRecNumber->text());
    pending.Amount = *amount;
    return true;
}
