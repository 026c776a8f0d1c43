#include <windows/frmconfigure.h>

#include "ui_frmconfigure.h"

#include <core/appstate.h>
#include <core/lookups.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/stylebuttons.h>
#include <core/text.h>
#include <core/twips.h>
#include <resources/resources.h>
#include <settings/cryption.h>
#include <settings/settings.h>

#include <system/comerror.h>

#include <QApplication>
#include <QCloseEvent>
#include <QStyle>

namespace {

constexpr unsigned SystemWindow = 0x80000005;
constexpr int PageCount = 8;

// The list lines, in order; each line's item data is the index of its page.
const char* const PageLines[PageCount] = {
    "Database Engine", "ODBC Connection", "Miscellaneous",        "Prepayments",
    "Delivery Charge", "Security",        "Order Number Options", "Invoicing Options"};

bool isAdmin()
{
    return modGeneral::AppDBLink &&
           modGeneral::AppDBLink->Session().UserID() == QLatin1String("ADMIN");
}

QString checkValue(const QCheckBox* box)
{
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// A stored check-box value: "0" clear, "1" ticked; anything else cannot be shown.
bool storedCheck(const Setting::Entry& entry, const QString& defaultValue)
{
    const int value = Setting::toInteger(Setting::read(entry, defaultValue));
    if (value != 0 && value != 1)
        throw ComError(380, QStringLiteral("Invalid property value"));
    return value == 1;
}

void storeCheck(const QCheckBox* box, const Setting::Entry& entry)
{
    Setting::save(entry, checkValue(box));
}

} // namespace

frmConfigure::frmConfigure(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmConfigure>())
{
    m_ui->setupUi(this);
    const QIcon finderIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    for (QToolButton* button :
         {m_ui->btnRecType, m_ui->btnBankCode, m_ui->btnCharge, m_ui->btnSecurity})
        button->setIcon(finderIcon);
    m_ui->btnRemove->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    // The separator list starts without a selection; the load selects the stored one.
    m_ui->cboSeparator->setCurrentIndex(-1);
    connectControls();
    Form_Load();
}

frmConfigure::~frmConfigure() = default;

QGroupBox* frmConfigure::fraConfig(int index) const
{
    return findChild<QGroupBox*>(QStringLiteral("fraConfig_%1").arg(index));
}

void frmConfigure::connectControls()
{
    Ui::frmConfigure& ui = *m_ui;
    connect(ui.lstConfig, &QListWidget::currentRowChanged, this, [this] { lstConfig_Click(); });
    connect(ui.optEngine_1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optEngine_Click(1);
    });
    connect(ui.optEngine_2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optEngine_Click(2);
    });
    connect(ui.optAuth, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optAuth_Click();
    });
    connect(ui.optUser, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optUser_Click();
    });
    connect(ui.btnTest, &QPushButton::clicked, this, &frmConfigure::btnTest_Click);

    const std::pair<QCheckBox*, const Setting::Entry*> plainChecks[] = {
        {ui.chkRange, &Setting::DateRange},
        {ui.chkBatch, &Setting::BatchInv},
        {ui.chkPrint, &Setting::PrintInv},
        {ui.chkInvComplete, &Setting::InvComplete},
        {ui.chkInvWarn, &Setting::InvoiceWarning}};
    for (const auto& [box, entry] : plainChecks) {
        connect(box, &QCheckBox::toggled, this,
                [box = box, entry = entry] { storeCheck(box, *entry); });
    }
    connect(ui.chkSuffix, &QCheckBox::toggled, this, [this] { chkSuffix_Click(); });
    connect(ui.chkDeliveryCharge, &QCheckBox::toggled, this, [this] { chkDeliveryCharge_Click(); });
    connect(ui.cboSeparator, &QComboBox::currentIndexChanged, this,
            [](int index) { Setting::save(Setting::OrderSeparator, QString::number(index)); });

    connectCodeBox(ui.vreRecType, &frmConfigure::btnRecType_Click,
                   &frmConfigure::vreRecType_Validate);
    connectCodeBox(ui.vreBankCode, &frmConfigure::btnBankCode_Click,
                   &frmConfigure::vreBankCode_Validate);
    connectCodeBox(ui.vreCharge, &frmConfigure::btnCharge_Click, &frmConfigure::vreCharge_Validate);
    connect(ui.btnRecType, &QToolButton::clicked, this, &frmConfigure::btnRecType_Click);
    connect(ui.btnBankCode, &QToolButton::clicked, this, &frmConfigure::btnBankCode_Click);
    connect(ui.btnCharge, &QToolButton::clicked, this, &frmConfigure::btnCharge_Click);

    connect(ui.lstSecurity, &QListWidget::itemClicked, this,
            [this] { m_ui->btnRemove->setEnabled(true); });
    ui.lstSecurity->installEventFilter(this);
    connect(ui.btnSecurity, &QToolButton::clicked, this, &frmConfigure::btnSecurity_Click);
    connect(ui.btnRemove, &QToolButton::clicked, this, &frmConfigure::btnRemove_Click);
    connect(ui.btnOK, &QPushButton::clicked, this, &QDialog::close);
}

void frmConfigure::loadStep(const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& failure) {
        if (comErrorOf(failure).number() != ComErrorNumber::AlreadyOpen)
            modGeneral::reportFailure(failure, QStringLiteral("frmConfigure.Form_Load"),
                                      modGeneral::Reporter::Messenger);
    }
}

void frmConfigure::Form_Load()
{
    using namespace modGeneral;
    Ui::frmConfigure& ui = *m_ui;
    m_loading = true;

    // 1. Icon, caption, buttons, height; the pages in place and hidden; the page list.
    loadStep([&] {
        setWindowIcon(Resources::ProgramIcon());
        setWindowTitle(ProgramTitle + QStringLiteral(" - Configuration"));
        Style_Buttons(this);
        const int left = Twips::toPixels(2880, logicalDpiX());
        const int top = Twips::toPixels(480, logicalDpiY());
        resize(width(), Twips::toPixels(4350, logicalDpiY()));
        for (int i = 0; i < PageCount; ++i) {
            QGroupBox* page = fraConfig(i);
            page->move(left, top);
            page->hide();
        }
        const QSignalBlocker quiet(ui.lstConfig);
        ui.lstConfig->clear();
        for (int i = 0; i < PageCount; ++i) {
            auto* line = new QListWidgetItem(QString::fromLatin1(PageLines[i]), ui.lstConfig);
            line->setData(Qt::UserRole, i);
        }
    });

    // 2. The database engine.
    loadStep([&] {
        const int engine = Setting::toInteger(Setting::read(Setting::DBEngine));
        if (engine != 1 && engine != 2)
            throw ComError(340,
                           QStringLiteral("Control array element '%1' doesn't exist").arg(engine));
        (engine == 1 ? ui.optEngine_1 : ui.optEngine_2)->setChecked(true);
    });

    // 3. Authentication, and the unscrambled user name and password for a database user.
    bool auth = true;
    loadStep([&] { auth = Setting::toBoolean(Setting::read(Setting::Auth)); });
    loadStep([&] {
        (auth ? ui.optAuth : ui.optUser)->setChecked(true);
        if (ui.optUser->isChecked()) {
            ui.vreUName->setText(modCryption::DecryptPWD(Setting::read(Setting::DBUser)));
            ui.vrePWD->setText(modCryption::DecryptPWD(Setting::read(Setting::DBPWD)));
        }
    });

    // 4. The data source and the database it reached when last tested.
    loadStep([&] {
        ui.vreDSN->setText(Setting::read(Setting::DSN));
        ui.lblSQL->setText(QStringLiteral(" ") + Setting::read(Setting::DBName));
    });

    // 5. The miscellaneous options.
    loadStep([&] {
        ui.chkPrint->setChecked(storedCheck(
            Setting::PrintInv, QString::fromLatin1(Setting::PrintInvConfigurationDefault)));
    });
    loadStep([&] { ui.chkBatch->setChecked(storedCheck(Setting::BatchInv, "0")); });
    loadStep([&] { ui.chkRange->setChecked(storedCheck(Setting::DateRange, "0")); });

    // 6. The prepayment codes and their descriptions.
    loadStep([&] {
        ui.vreRecType->setText(Setting::read(Setting::RecType));
        ui.vreBankCode->setText(Setting::read(Setting::BankCode));
        ui.lblRecType->setText(Return_RecTypeDesc(ui.vreRecType->text()));
        ui.lblBankCode->setText(Return_BankCodeDesc(ui.vreBankCode->text()));
    });

    // 7. The delivery charge.
    loadStep([&] {
        const bool charge = storedCheck(Setting::DeliveryCharge, "0");
        ui.chkDeliveryCharge->setChecked(charge);
        if (charge) {
            ui.vreCharge->setText(Setting::read(Setting::DelCharge));
            ui.lblChargeDesc->setText(Return_MiscChargeDesc(ui.vreCharge->text()));
        } else {
            setChargeControlsEnabled(false);
        }
    });

    // 8. The security list, which only ADMIN sees.
    loadStep([&] {
        if (!isAdmin())
            return;
        const QString list = Setting::readSecurityList();
        if (Text::trim(list).isEmpty())
            return;
        for (const QString& item : list.split(QLatin1Char(','))) {
            const QString userId = modCryption::DecryptPWD(item);
            auto* line = new QListWidgetItem(userId + Return_UserName(userId), ui.lstSecurity);
            line->setData(Qt::UserRole, userId);
        }
    });

    // 9. The order number options.
    loadStep([&] {
        ui.chkSuffix->setChecked(storedCheck(Setting::OrderNum, checkValue(ui.chkSuffix)));
    });
    loadStep([&] {
        const int position = Setting::toInteger(Setting::read(Setting::OrderSeparator));
        if (position < 0 || position >= ui.cboSeparator->count())
            throw ComError(380, QStringLiteral("Invalid property value"));
        ui.cboSeparator->setCurrentIndex(position);
    });
    loadStep([&] {
        if (ui.cboSeparator->currentIndex() < 0)
            ui.cboSeparator->setCurrentIndex(0);
    });
    loadStep([&] {
        ui.chkInvComplete->setChecked(
            storedCheck(Setting::InvComplete, checkValue(ui.chkInvComplete)));
    });
    loadStep([&] {
        ui.chkInvWarn->setChecked(storedCheck(Setting::InvoiceWarning, checkValue(ui.chkInvWarn)));
    });

    // 10. A revision suffix that has been in use cannot be changed any more.
    loadStep([&] {
        if (Setting::read(Setting::SuffixLocked) == QLatin1String("True")) {
            ui.chkSuffix->setEnabled(false);
            ui.lblSeparator->setEnabled(false);
            ui.cboSeparator->setEnabled(false);
        }
    });

    // 11. The first page.
    loadStep([&] {
        ui.lstConfig->setCurrentRow(0);
        lstConfig_Click();
    });
    m_loading = false;
}

void frmConfigure::lstConfig_Click()
{
    Ui::frmConfigure& ui = *m_ui;
    for (int i = 0; i < PageCount; ++i)
        fraConfig(i)->hide();
    const int row = ui.lstConfig->currentRow();
    if (row < 0)
        return;
    const int page = ui.lstConfig->item(row)->data(Qt::UserRole).toInt();
    if (isAdmin()) {
        ui.lblSecurity->setText(
            QStringLiteral("Allow access to program Configuration and  Order Completion."));
        ui.lstSecurity->show();
        ui.btnSecurity->show();
        ui.btnRemove->show();
    } else if (row == 5) {
        ui.lblSecurity->setText(QStringLiteral("You do not have permissions to view 'Security'."));
        ui.lstSecurity->hide();
        ui.btnSecurity->hide();
        ui.btnRemove->hide();
    }
    fraConfig(page)->show();
}

void frmConfigure::optEngine_Click(int index)
{
    Setting::save(Setting::DBEngine, QString::number(index));
}

void frmConfigure::optAuth_Click()
{
    Ui::frmConfigure& ui = *m_ui;
    ui.lblUNameCaption->setEnabled(false);
    ui.lblPWDCaption->setEnabled(false);
    for (VrexEditbox* box : {ui.vreUName, ui.vrePWD}) {
        box->setText(QString());
        box->setEnabled(false);
        box->setBackColor(modGeneral::SystemButtonFace);
    }
}

void frmConfigure::optUser_Click()
{
    Ui::frmConfigure& ui = *m_ui;
    ui.lblUNameCaption->setEnabled(true);
    ui.lblPWDCaption->setEnabled(true);
    for (VrexEditbox* box : {ui.vreUName, ui.vrePWD}) {
        box->setEnabled(true);
        box->setBackColor(SystemWindow);
    }
    if (!m_loading)
        ui.vreUName->setFocus();
}

void frmConfigure::chkSuffix_Click()
{
    Ui::frmConfigure& ui = *m_ui;
    const bool on = ui.chkSuffix->isChecked();
    ui.lblSeparator->setEnabled(on);
    ui.cboSeparator->setEnabled(on);
    ui.chkInvComplete->setEnabled(on);
    storeCheck(ui.chkSuffix, Setting::OrderNum);
}

void frmConfigure::setChargeControlsEnabled(bool enabled)
{
    Ui::frmConfigure& ui = *m_ui;
    ui.lblChargeCaption->setEnabled(enabled);
    ui.vreCharge->setEnabled(enabled);
    ui.btnCharge->setEnabled(enabled);
    ui.lblChargeDesc->setEnabled(enabled);
    ui.vreCharge->setBackColor(enabled ? SystemWindow : modGeneral::SystemButtonFace);
}

void frmConfigure::chkDeliveryCharge_Click()
{
    Ui::frmConfigure& ui = *m_ui;
    const bool on = ui.chkDeliveryCharge->isChecked();
    setChargeControlsEnabled(on);
    if (on) {
        ui.vreCharge->setText(Setting::read(Setting::DelCharge));
        ui.lblChargeDesc->setText(modGeneral::Return_MiscChargeDesc(ui.vreCharge->text()));
    }
    storeCheck(ui.chkDeliveryCharge, Setting::DeliveryCharge);
}

void frmConfigure::Form_QueryUnload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Setting::save(Setting::Configure, QStringLiteral("True"));
    if (Setting::read(Setting::OrderNum) == QLatin1String("1"))
        Setting::save(Setting::SuffixLocked, QStringLiteral("True"));
    emit closed();
}

void frmConfigure::done(int result)
{
    Form_QueryUnload();
    QDialog::done(result);
}

void frmConfigure::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    QDialog::closeEvent(event);
}
