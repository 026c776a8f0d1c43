#pragma once

#include <books/money.h>

#include <QDate>
#include <QString>

#include <variant>
#include <vector>

// Reversing an invoice made in error: what a window shows of it, and its credit note, which
// either leaves the shipments on the reversed invoice (the goods came back) or releases them
// to be invoiced again.
namespace Invoicing {

struct InvoiceToReverse
{
    struct Shipment
    {
        QString number;
        QDate date;
        Books::Money amount; // the invoice's lines of the shipment
    };
    QString number;
    QString customer;
    QString customerName;
    QDate date;
    std::vector<Shipment> shipments;
    QString deliveryCharge; // the charge code of a charge line, "" when none
    Books::Money deliveryAmount;
    Books::Money prepayment; // received on the invoice; it stays on the customer's account
    Books::Money total;
};

// The invoice of that number as the reversal window shows it, or the sentence that says why
// it cannot be reversed (no such invoice in the company, or reversed already). Throws
// ComError when the books cannot be read.
std::variant<InvoiceToReverse, QString> invoiceToReverse(const QString& invoiceNumber);

struct Reversal
{
    QString creditNote;     // "" when refused
    Books::Money onAccount; // the prepayment left on the customer's account
    QString refusal;        // the books' sentence when refused
};

enum class AfterReversal
{
    ShipmentsStayInvoiced, // the goods came back
    ShipmentsInvoicedAgain // the orders and shipments are opened again as before the invoice
};

// Reverses the invoice with one credit note, all or nothing. Only a user who may approve
// credit may; the books refuse anyone else, and refuse to release the shipments of an
// invoice made before they kept what completion changed.
Reversal reverseInvoice(const QString& invoiceNumber, AfterReversal after);

} // namespace Invoicing
