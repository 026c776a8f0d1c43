#pragma once

#include <QList>
#include <QString>

class BillingDesk;

// What a batch run would do with the grid as it is: the invoices it would create and the
// rows it would leave out, each with the reason.
struct BatchPreview
{
    struct Row
    {
        int row = 0; // grid row
        QString order;
        QString shipment;
        QString date;
        QString amount; // as the grid shows it
    };
    struct Invoice
    {
        QString customer;
        QString customerName;
        QList<Row> rows;
        double total = 0;
        QString rule;
        bool deliveryCharge = false; // the delivery charge line would be added
        bool creditApproval = false; // the customer's credit limit would be exceeded
    };
    struct LeftOut
    {
        Row row;
        QString reason;
    };
    QList<Invoice> invoices;
    QList<LeftOut> leftOut;
    // False when the run itself failed (its message has been shown).
    bool complete = true;
};

// Runs the batch invoice run over the desk's grid with every invoice recorded instead of
// created. Nothing is written to the company; the grid's ticks, the selection and the
// program-wide batch values are as they were before.
BatchPreview previewBatch(BillingDesk& desk);
