#include <invoicing/invoicereversal.h>

#include "viewset.h"

#include <core/session.h>

#include <accpac/session.h>
#include <accpac/view.h>
#include <system/comerror.h>

#include <map>

namespace Invoicing {

namespace {

QVariant valueOf(AccpacView& view, const char* field)
{
    return view.Field(QLatin1String(field)).GetValue();
}

Books::Money moneyOf(AccpacView& view, const char* field)
{
    return Books::Money::of(valueOf(view, field).toDouble());
}

// Reads the record of the view's key `key` whose field holds value.
bool readBy(AccpacView& view, int key, const char* field, const QVariant& value)
{
    view.ClearRecord();
    view.SetOrder(key);
    view.Field(QLatin1String(field)).SetValue(value);
    return view.Read();
}

// Every record of the view under the filter, handed to each in key order.
template <class Each> void browse(AccpacView& view, const QString& filter, Each each)
{
    view.ClearRecord();
    view.Browse(filter, true);
    while (view.Fetch())
        each();
}

} // namespace

std::variant<InvoiceToReverse, QString> invoiceToReverse(const QString& invoiceNumber)
{
    const QString number = invoiceNumber.trimmed().toUpper();
    ViewSet views;
    for (const char* viewId : {"OE0420", "OE0400", "OE0427", "OE0240"})
        views.open(QLatin1String(viewId));
    AccpacView& header = views[QStringLiteral("OE0420")];
    if (number.isEmpty() || !readBy(header, 1, "INVNUMBER", number))
        return QStringLiteral("Invoice %1 does not exist in company %2.")
            .arg(number, modGeneral::Session().Company().ID().trimmed());
    const int invUniq = valueOf(header, "INVUNIQ").toInt();
    if (AccpacView& creditNotes = views[QStringLiteral("OE0240")];
        readBy(creditNotes, 2, "INVUNIQ", invUniq))
        return QStringLiteral("Invoice %1 was reversed already by credit note %2; it cannot be "
                              "reversed again.")
            .arg(number, valueOf(creditNotes, "CRDNUMBER").toString().trimmed());

    InvoiceToReverse invoice;
    invoice.number = number;
    invoice.customer = valueOf(header, "CUSTOMER").toString().trimmed();
    invoice.customerName = valueOf(header, "BILNAME").toString().trimmed();
    invoice.date = valueOf(header, "INVDATE").toDate();
    invoice.total = moneyOf(header, "INVNETWTX");
    invoice.prepayment = invoice.total - moneyOf(header, "INVDUE");
    const QString ofInvoice = QStringLiteral("INVUNIQ = %1").arg(invUniq);
    std::map<int, Books::Money> shipmentAmounts;
    AccpacView& lines = views[QStringLiteral("OE0400")];
    browse(lines, ofInvoice, [&] {
        const Books::Money amount = moneyOf(lines, "EXTINVMISC");
        if (const int shiUniq = valueOf(lines, "SHIUNIQ").toInt(); shiUniq != 0) {
            shipmentAmounts[shiUniq] += amount;
        } else if (valueOf(lines, "LINETYPE").toInt() == 2) {
            invoice.deliveryCharge = valueOf(lines, "MISCCHARGE").toString().trimmed();
            invoice.deliveryAmount += amount;
        }
    });
    AccpacView& shipments = views[QStringLiteral("OE0427")];
    browse(shipments, ofInvoice, [&] {
        invoice.shipments.push_back({valueOf(shipments, "SHINUMBER").toString().trimmed(),
                                     valueOf(shipments, "SHIDATE").toDate(),
                                     shipmentAmounts[valueOf(shipments, "SHIUNIQ").toInt()]});
    });
    return invoice;
}

Reversal reverseInvoice(const QString& invoiceNumber, AfterReversal after)
{
    Reversal reversal;
    try {
        ViewSet views;
        views.open(QStringLiteral("OE0240"));
        AccpacView& creditNote = views[QStringLiteral("OE0240")];
        creditNote.ClearRecord();
        creditNote.InitRecord(0);
        creditNote.Field(QStringLiteral("INVNUMBER")).SetValue(invoiceNumber);
        creditNote.Field(QStringLiteral("RELEASE"))
            .SetValue(after == AfterReversal::ShipmentsInvoicedAgain ? 1 : 0);
        creditNote.Insert();
        reversal.creditNote = valueOf(creditNote, "CRDNUMBER").toString().trimmed();
        reversal.onAccount = moneyOf(creditNote, "ONACCOUNT");
    } catch (const ComError& refused) {
        // The refusal is told by the caller; the session's errors hold nothing older.
        reversal.refusal = refused.description();
        modGeneral::Session().Errors().Clear();
    }
    return reversal;
}

} // namespace Invoicing
