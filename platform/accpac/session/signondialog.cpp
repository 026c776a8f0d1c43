#include "signondialog.h"

#include "site.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Accpac {

SignonDialog::SignonDialog(const QString& siteFolder, QWidget* parent)
    : QDialog(parent), m_siteFolder(siteFolder)
{
    setWindowTitle(tr("Sign On"));
    setModal(true);
    m_company = new QComboBox(this);
    m_company->setObjectName(QStringLiteral("cboCompany"));
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("txtUserID"));
    m_user->setMaxLength(8);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #a00000"));

    auto* form = new QFormLayout;
    form->addRow(tr("&User ID:"), m_user);
    form->addRow(tr("&Password:"), m_password);
    form->addRow(tr("&Company:"), m_company);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SignonDialog::tryOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);

    try {
        for (const CompanyEntry& c : listCompanies(siteFolder))
            m_company->addItem(QStringLiteral("%1 - %2").arg(c.id, c.name), c.id);
        if (m_company->count() == 0)
            m_message->setText(tr("No company is set up in this site."));
    } catch (const SignonRefused& e) {
        m_message->setText(e.message);
    }
    m_ok->setEnabled(m_company->count() > 0);
}

void SignonDialog::tryOk()
{
    try {
        m_opened = openSession(m_siteFolder, m_company->currentData().toString(), m_user->text(),
                               m_password->text());
        accept();
    } catch (const SignonRefused& e) {
        m_message->setText(e.message);
        m_password->clear();
        m_password->setFocus();
    }
}

} // namespace Accpac
