#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class frmCreditCheck;
}

// A supervisor's approval of credit for one invoice, kept only until the invoice's header
// has taken it.
struct CreditApprover
{
    QString ApproverID;
    QString ApproverPassword;
};

// Asks a supervisor to approve an invoice that takes a customer past its credit limit. The
// caller sets the five values below and shows the window modally; an approval leaves the
// accepted user and password in Approval, anything else leaves it as it was.
class frmCreditCheck : public QDialog
{
    Q_OBJECT

public:
    explicit frmCreditCheck(QWidget* owner = nullptr);
    ~frmCreditCheck() override;

    Ui::frmCreditCheck* ui() const { return m_ui.get(); }

    double Total = 0;         // the invoice being created
    QString Customer;         // the customer's name
    QString CustID;           // the customer number; its currency formats every amount
    double m_CreditAvail = 0; // the credit limit
    double m_dblOutstand = 0; // the outstanding balance
    CreditApprover Approval;  // what an approval leaves

    // Whether the user and password are those of an Accpac user allowed to approve credit
    // in the signed-on company.
    bool Valid_CreditApproval(const QString& userId, const QString& password);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void btnApprove_Click();
    // Empties the password, disables Approve and selects the user ID for another try.
    void forgetPassword();

    std::unique_ptr<Ui::frmCreditCheck> m_ui;
    bool m_loaded = false;
};

// Whether the user may approve credit in the signed-on company: ADMIN, or a user neither
// disabled nor locked out with an Order Entry profile there that carries "OECREDIT". Throws
// ComError when the rights cannot be read.
bool holdsCreditApprovalRight(const QString& userId);
