#include "creditrequest.h"

#include <invoicing/frmcreditcheck.h>
#include <selection/frmmain.h>

void askCreditApproval(frmMain& window, const CreditRequest& request)
{
    frmCreditCheck check(&window);
    check.Customer = request.customer;
    check.CustID = request.custId;
    check.m_dblOutstand = request.outstanding;
    check.Total = request.total;
    check.m_CreditAvail = request.creditAvail;
    check.exec();
}
