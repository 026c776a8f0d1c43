#include "creditrequest.h"

CreditApprover askCreditApproval(QWidget* owner, const CreditRequest& request)
{
    frmCreditCheck check(owner);
    check.Customer = request.customer;
    check.CustID = request.custId;
    check.m_dblOutstand = request.outstanding;
    check.Total = request.total;
    check.m_CreditAvail = request.creditAvail;
    check.exec();
    return check.Approval;
}
