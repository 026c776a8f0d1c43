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

// Asks for credit approval, modally, owned by the main window. An approval leaves
// ApproverID and ApproverPassword set; without one they stay as they were.
void askCreditApproval(frmMain& window, const CreditRequest& request);
