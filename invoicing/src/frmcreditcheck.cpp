#include <invoicing/frmcreditcheck.h>

#include "ui_frmcreditcheck.h"

#include <core/ansi.h>
#include <core/appstate.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/stylebuttons.h>
#include <core/text.h>
#include <core/twips.h>
#include <resources/resources.h>

#include <accpac/usrvalidate.h>
#include <accpac/view.h>

#include <QApplication>

#include <algorithm>

namespace {

// The length of the invoice header's approver password (APPPASSWRD).
constexpr int ApproverPasswordLength = 64;

const QString Source = QStringLiteral("frmCreditCheck.Valid_CreditApproval");

// A comparison of an Accpac filter with its value between double-quote characters.
QString quoted(const char* field, const QString& value)
{
    return QLatin1String(field) + QStringLiteral(" = \"") + value + QLatin1Char('"');
}

// Every character has a code in the ANSI code page, so the single-byte text says exactly
// what was typed (a character without one would reach the check as "?").
bool fitsCodePage(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return Ansi::codeOf(c) >= 0; });
}

} // namespace

frmCreditCheck::frmCreditCheck(QWidget* owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::frmCreditCheck>())
{
    m_ui->setupUi(this);
    // Typing in the password box, and only there, offers the approval.
    connect(m_ui->vrePWD, &VrexEditbox::Change, this,
            [this] { m_ui->btnApprove->setEnabled(true); });
    connect(m_ui->btnApprove, &QPushButton::clicked, this, &frmCreditCheck::btnApprove_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

frmCreditCheck::~frmCreditCheck() = default;

void frmCreditCheck::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmCreditCheck::Form_Load()
{
    using namespace modGeneral;
    Ui::frmCreditCheck& ui = *m_ui;
    const QString source = QStringLiteral("frmCreditCheck.Form_Load");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        setWindowIcon(QApplication::windowIcon());
        setWindowTitle(ProgramTitle + QStringLiteral(" - Credit Approval"));
        resize(width(), Twips::toPixels(IsWinXP ? 6000 : 5895, logicalDpiY()));
        Style_Buttons(this);
        ui.lblName->setText(QStringLiteral(" ") + Customer);

        const QString currency = Return_CustCurCode(CustID);
        const auto amount = [&](double value) {
            QString code = currency;
            return Display_AccpacCurrency(value, code, false);
        };
        const double available = m_CreditAvail - m_dblOutstand - Total;
        const QString blank = QStringLiteral(" ");
        const std::pair<QString, QString> rows[] = {
            {QStringLiteral("Credit Limit:"), amount(m_CreditAvail)},
            {blank, blank},
            {QString(), blank},
            {QStringLiteral("Total Outstanding:"), amount(m_dblOutstand)},
            {blank, blank},
            {QStringLiteral("Total Amount:"), amount(Total)},
            {blank, blank},
            {QStringLiteral("Credit Available:"), amount(available)}};
        ui.lvwCredit->clear();
        for (const auto& [caption, value] : rows) {
            auto* row = new QTreeWidgetItem(ui.lvwCredit, {caption, blank, value});
            row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        }
        ui.lvwCredit->resizeColumnToContents(0);
        ui.lblExceed->setText(amount(available));
        ui.btnApprove->setEnabled(false);
    });
}

void frmCreditCheck::btnApprove_Click()
{
    Ui::frmCreditCheck& ui = *m_ui;
    // The invoice keeps the password in a field of 64 characters; a longer one would be
    // approved here and refused with the invoice.
    if (Text::trim(ui.vrePWD->text()).size() > ApproverPasswordLength) {
        modGeneral::MsgBox(QStringLiteral("The entered Password is longer than %1 characters.\r\n"
                                          "Please enter a valid Password.")
                               .arg(ApproverPasswordLength),
                           modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                           QStringLiteral("Invalid Entry"), 1, this);
        forgetPassword();
        return;
    }
    if (Valid_CreditApproval(ui.vreUser->text(), ui.vrePWD->text())) {
        Approval = {Text::trim(ui.vreUser->text()), Text::trim(ui.vrePWD->text())};
        close();
        return;
    }
    modGeneral::MsgBox(QStringLiteral("A valid ") +
                           Resources::LoadResString(Resources::Entry::AccpacProduct) +
                           QStringLiteral(" Username and Password must be entered.\r\n"
                                          "The User must also have the required permissions to\r\n"
                                          "approve the additional credit."),
                       modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                       QStringLiteral("Invalid Username or Password"), 1, this);
    forgetPassword();
}

void frmCreditCheck::forgetPassword()
{
    Ui::frmCreditCheck& ui = *m_ui;
    ui.vrePWD->setText(QString());
    ui.btnApprove->setEnabled(false);
    ui.vreUser->HighlightText();
    ui.vreUser->setFocus();
}

bool frmCreditCheck::Valid_CreditApproval(const QString& userId, const QString& password)
{
    const QString user = Text::trim(userId);
    const QString secret = Text::trim(password);
    if (user.isEmpty() || secret.isEmpty() || !fitsCodePage(user) || !fitsCodePage(secret))
        return false;
    // The API takes the user ID as exactly 8 characters.
    QString padded = user;
    const QString user8 = modGeneral::Pad_Right(padded, 8, QLatin1Char(' ')).left(8);
    if (usrValidate(0, Ansi::fromUnicode(user8), Ansi::fromUnicode(secret)) != 0)
        return false;
    try {
        return holdsCreditApprovalRight(user);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, Source, modGeneral::Reporter::Accpac);
        return false;
    }
}

bool holdsCreditApprovalRight(const QString& userId)
{
    using modGeneral::OpenView;
    using modGeneral::ViewPtr;
    const QString user = Text::trim(userId);
    if (user == QLatin1String("ADMIN"))
        return true;
    // Declared in this order, the views close AS0001, AS0002, then AS0003.
    ViewPtr users = OpenView(QStringLiteral("AS0003"));
    users->Field(QStringLiteral("USERID")).SetValue(user);
    if (!users->Read())
        return false;
    if (users->Field(QStringLiteral("DISABLED")).GetValue().toInt() != 0 ||
        users->Field(QStringLiteral("LOCKEDOUT")).GetValue().toInt() != 0)
        return false;
    ViewPtr authorisations = OpenView(QStringLiteral("AS0002"));
    ViewPtr resources = OpenView(QStringLiteral("AS0001"));
    const QString company = modGeneral::Session().Company().ID();
    authorisations->Browse(quoted("USERID", user) + QStringLiteral(" AND ") +
                               quoted("COMPANYID", company) + QStringLiteral(" AND ") +
                               quoted("PGMID", QStringLiteral("OE")),
                           true);
    bool approved = false;
    while (!approved && authorisations->Fetch()) {
        const QString profile =
            Text::trim(authorisations->Field(QStringLiteral("PROFILEID")).GetValue().toString());
        resources->Browse(quoted("PGMID", QStringLiteral("OE")) + QStringLiteral(" AND ") +
                              quoted("PROFILEID", profile),
                          true);
        while (!approved && resources->Fetch())
            approved =
                Text::trim(resources->Field(QStringLiteral("RESOURCEID")).GetValue().toString()) ==
                QLatin1String("OECREDIT");
    }
    return approved;
}
