#pragma once

#include <QString>

class frmMain;

// What the credit approval window shows when a batch invoice exceeds the customer's limit.
struct CreditRequest
{
    QString customer; // name
    QString custId;
    double outstanding = 0; // the customer's balance
    double total = 0;       // of the invoiced shipments
    double creditAvail = 0; // the credit limit
};

// Shows the credit approval window modally, owned by the main window, and returns when it
// is closed. An approval leaves ApproverID and ApproverPassword set; without one they stay
// as they were.
void askCreditApproval(frmMain& window, const CreditRequest& request);
