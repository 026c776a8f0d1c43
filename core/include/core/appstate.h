#pragma once

#include <QDate>
#include <QString>

#include <cstdint>

// Program-wide values that more than one window or module reads. They live for the whole
// run, on the one window thread.
namespace modGeneral {

// The program's title: window captions, messages, and the "Name" stamped into the settings.
inline const QString ProgramTitle = QStringLiteral("Tallymerge");

// The operating system is Windows XP: push buttons, the status bar and the print window
// adapt their look to it.
inline bool IsWinXP = false;

// The prepayment the prepayment window holds for the next invoice.
struct PendingPrepaymentRecord
{
    bool Present = false;
    std::int32_t BatchNumber = 0; // 0: no batch chosen yet
    QDate BatchDate;
    QString BankCode;
    QString ReceiptType;
    QDate ReceiptDate = QDate(1899, 12, 31); // the date value 1: no date
    QString ReceiptNumber;
    double Amount = 0;
};
inline PendingPrepaymentRecord PendingPrepayment;

// The number of the invoice created last; read by the print window.
inline QString LastInvoiceNumber;
// The lowest invoice number of the current batch run.
inline QString BatchFirstInvoice;
// The batch run's choice: 1 all valid shipments, 2 only shipments dated today.
inline int BatchOption = 1;

} // namespace modGeneral
