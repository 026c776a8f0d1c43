#include "creditrequest.h"

// The credit approval window is not part of the program yet: every request ends as a
// cancelled window does, with no approver, and the invoice is created all the same.
void askCreditApproval(frmMain&, const CreditRequest&) {}
