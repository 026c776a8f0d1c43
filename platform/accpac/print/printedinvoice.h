#pragma once

#include <accpac/session.h>

#include <QDate>
#include <QList>
#include <QString>

namespace Accpac {

// One invoice as the printing screen prints it, read through the views.
struct PrintedInvoice
{
    struct Line
    {
        bool charge = false; // a miscellaneous charge (the delivery charge) rather than an item
        QString item;        // item number, or the charge code
        QString description;
        double quantity = 0;
        double price = 0;
        double extension = 0;
    };
    struct Shipment
    {
        QString number;
        QDate date;
        QList<Line> lines;
    };

    QString number;
    QDate date;
    QString customer;
    QString billName;
    QStringList billAddress;
    AccpacCurrency currency;
    QList<Shipment> shipments;
    QList<Line> charges; // lines of no shipment
    double total = 0;
    bool hasPrepayment = false;
    double prepayment = 0;
    double amountDue = 0;
};

// The invoices of the signed-on company numbered from `first` to `last` (both included, in
// the order of the invoice numbers).
QList<PrintedInvoice> readInvoices(AccpacSession& session, const QString& first,
                                   const QString& last);

// The first and the last invoice number of the company (empty when it has no invoice).
std::pair<QString, QString> invoiceNumberBounds(AccpacSession& session);

// The sum of a shipment's line extensions, each taken to the currency's decimals and added
// exactly, as its subtotal is printed.
double shipmentSubtotal(const PrintedInvoice::Shipment& shipment, const AccpacCurrency& currency);

// An amount in a currency's format: symbol and its position, decimals, separators and the
// negative display.
QString formatAmount(double amount, const AccpacCurrency& currency);

// The widest amount a currency shows, formatted: negative, with every digit an amount stored
// as a double carries exactly (15 significant digits, the last of them the currency's last
// decimal). A printed column that holds it holds every amount of that currency.
QString widestAmount(const AccpacCurrency& currency);

} // namespace Accpac
