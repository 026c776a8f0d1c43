#pragma once

#include <accpac/session.h>

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace Sample {

// The views calls with which the program creates one invoice for several shipments of a
// customer, in the program's order (both layouts, the prepayment, the delivery charge and a
// credit approval). The sample generator invoices its "already invoiced" orders with it;
// tests and the benchmark drive the engine with it.
struct InvoiceRequest
{
    QString customer;
    QStringList shipments;
    bool layout56 = true;
    struct Prepayment
    {
        int batchNumber = 0;
        QString bankCode;
        QString receiptType;
        QDate receiptDate;
        QString receiptNumber;
        double amount = 0;
        // A cheque dated today into the sample's bank SPRINGBK.
        static Prepayment cheque(int batch, double amount, const QString& number)
        {
            return {batch,
                    QStringLiteral("SPRINGBK"),
                    QStringLiteral("CHECK"),
                    QDate::currentDate(),
                    number,
                    amount};
        }
    };
    std::optional<Prepayment> prepayment;
    QString deliveryCharge; // "" for none
    QString approverId;     // "" for none
    QString approverPassword;
};

struct InvoiceResult
{
    QString invoiceNumber;       // trimmed; empty when the header insert failed
    QStringList skippedMessages; // errors of priority 1 or 2 the run went on after
};

// Runs the sequence on `link`. A failed call whose errors include priority 1 or 2 is skipped
// (its messages collected, Errors cleared) and the run goes on; any other failure ends the
// run by rethrowing the ComError (Errors left for the caller).
InvoiceResult createInvoice(AccpacDBLink& link, const InvoiceRequest& request);

} // namespace Sample
