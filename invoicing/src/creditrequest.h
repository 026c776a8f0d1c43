#pragma once

#include <invoicing/frmcreditcheck.h>

#include <QString>

class QWidget;

// What the credit approval window shows when a batch invoice exceeds the customer's limit.
struct CreditRequest
{
    QString customer; // name
    QString custId;
    double outstanding = 0; // the customer's balance
    double total = 0;       // of the invoiced shipments
    double creditAvail = 0; // the credit limit
};

// Shows the credit approval window modally, owned by the given window, and returns when it
// is closed: with the supervisor's approval, or empty without one.
CreditApprover askCreditApproval(QWidget* owner, const CreditRequest& request);
