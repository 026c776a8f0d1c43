// The configuration window's code boxes (receipt type, bank code, misc. charge), their
// finders, and the security list.
#include <windows/frmconfigure.h>

#include "ui_frmconfigure.h"

#include <core/busy.h>
#include <core/finder.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>
#include <settings/cryption.h>
#include <settings/settings.h>

#include <QKeyEvent>

namespace {

constexpr int KeyF5 = 116;

void invalidEntry(const QString& what)
{
    modGeneral::MsgBox(QStringLiteral("The entered %1 is not a valid %1.\r\n"
                                      "Please enter a valid %1 or use the finder.")
                           .arg(what),
                       modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                       QStringLiteral("Invalid Entry"));
}

} // namespace

void frmConfigure::connectCodeBox(VrexEditbox* box, void (frmConfigure::*finder)(),
                                  void (frmConfigure::*validate)(bool&))
{
    connect(box, &VrexEditbox::Change, this, [this] { m_codeChanged = true; });
    connect(box, &VrexEditbox::GotFocus, this, [this] { m_codeChanged = false; });
    connect(box, &VrexEditbox::KeyDown, this, [this, finder](int& keyCode, int) {
        if (keyCode == KeyF5)
            (this->*finder)();
    });
    connect(box, &VrexEditbox::Validate, this,
            [this, validate](bool& cancel) { (this->*validate)(cancel); });
}

// A code that may be left blank (receipt type, misc. charge): blank clears the description
// and stores nothing; a valid code is stored; an invalid one is refused.
void frmConfigure::validateOptionalCode(bool& cancel, VrexEditbox* box, QLabel* description,
                                        bool (*valid)(const QString&),
                                        const Setting::Entry& setting, const QString& what)
{
    if (!m_codeChanged)
        return;
    const QString code = box->text();
    if (Text::trim(code).isEmpty()) {
        description->clear();
    } else if (valid(code)) {
        Setting::save(setting, Text::trim(code));
    } else {
        invalidEntry(what);
        description->clear();
        cancel = true;
        box->HighlightText();
    }
}

void frmConfigure::vreRecType_Validate(bool& cancel)
{
    validateOptionalCode(cancel, m_ui->vreRecType, m_ui->lblRecType, &modGeneral::Valid_RecType,
                         Setting::RecType, QStringLiteral("Receipt Type"));
}

void frmConfigure::vreCharge_Validate(bool& cancel)
{
    validateOptionalCode(cancel, m_ui->vreCharge, m_ui->lblChargeDesc,
                         &modGeneral::Valid_MiscCharge, Setting::DelCharge,
                         QStringLiteral("Misc. Charge"));
}

void frmConfigure::vreBankCode_Validate(bool& cancel)
{
    if (!m_codeChanged)
        return;
    Ui::frmConfigure& ui = *m_ui;
    const QString code = ui.vreBankCode->text();
    // A blank bank code is looked up like any other and so refused: prepayment batches need
    // a bank.
    if (modGeneral::Valid_BankCode(code)) {
        Setting::save(Setting::BankCode, Text::trim(code));
    } else {
        invalidEntry(QStringLiteral("Bank Code"));
        cancel = true;
        ui.vreBankCode->HighlightText();
    }
}

QVariantList frmConfigure::runFinder(const QString& viewId, const QString& filter,
                                     const QString& source)
{
    return modGeneral::Show_Finder(viewId, filter, source, this);
}

void frmConfigure::pickCode(const QString& viewId, const QString& filter, const QString& source,
                            VrexEditbox* box, QLabel* description, const Setting::Entry& setting)
{
    const QVariantList values = runFinder(viewId, filter, source);
    if (values.isEmpty())
        return;
    box->setText(Text::trim(values.value(0).toString()));
    description->setText(Text::trim(values.value(1).toString()));
    Setting::save(setting, Text::trim(box->text()));
}

void frmConfigure::btnRecType_Click()
{
    pickCode(QStringLiteral("AR0012"), QString(), QStringLiteral("frmConfigure.btnRecType_Click"),
             m_ui->vreRecType, m_ui->lblRecType, Setting::RecType);
}

void frmConfigure::btnBankCode_Click()
{
    pickCode(QStringLiteral("BK0001"), QStringLiteral("INACTIVE = 0"),
             QStringLiteral("frmConfigure.btnBankCode_Click"), m_ui->vreBankCode, m_ui->lblBankCode,
             Setting::BankCode);
}

void frmConfigure::btnCharge_Click()
{
    pickCode(QStringLiteral("OE0440"), QString(), QStringLiteral("frmConfigure.btnCharge_Click"),
             m_ui->vreCharge, m_ui->lblChargeDesc, Setting::DelCharge);
}

void frmConfigure::btnSecurity_Click()
{
    const QVariantList values =
        runFinder(QStringLiteral("AS0003"), QStringLiteral("ACCTSTATUS = 0"),
                  QStringLiteral("frmConfigure.btnSecurity_Click"));
    if (values.isEmpty())
        return;
    addSecurityLine(Text::trim(values.value(0).toString()), Text::trim(values.value(1).toString()));
    saveSecurityList();
}

void frmConfigure::addSecurityLine(const QString& userId, const QString& userName)
{
    auto* line = new QListWidgetItem(userId + QStringLiteral(" - ") + userName, m_ui->lstSecurity);
    line->setData(Qt::UserRole, userId);
}

void frmConfigure::btnRemove_Click()
{
    BusyCursor busy;
    try {
        QListWidget* list = m_ui->lstSecurity;
        if (list->count() > 0 && list->currentRow() >= 0)
            delete list->takeItem(list->currentRow());
        saveSecurityList();
        m_ui->btnRemove->setEnabled(false);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmConfigure.btnRemove_Click"),
                                  modGeneral::Reporter::Messenger);
    }
}

void frmConfigure::saveSecurityList()
{
    // Each line reads ID, " - ", name; the ID it was made from is kept with the line, so an
    // ID that itself holds a "-" is stored whole.
    QStringList scrambled;
    for (int i = 0; i < m_ui->lstSecurity->count(); ++i) {
        const QString userId = m_ui->lstSecurity->item(i)->data(Qt::UserRole).toString();
        scrambled.append(modCryption::EncryptPWD(userId));
    }
    Setting::saveSecurityList(scrambled.join(QLatin1Char(',')));
}

bool frmConfigure::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->lstSecurity && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        btnSecurity_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
