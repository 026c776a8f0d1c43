#include "printedinvoice.h"

#include <books/money.h>

#include <QHash>

#include <cmath>
#include <limits>

namespace Accpac {

namespace {

int decimalsOf(const AccpacCurrency& currency)
{
    return qBound(0, currency.Decimals(), 6);
}

QString text(AccpacView& view, const char* field)
{
    return view.Field(QLatin1String(field)).GetValue().toString().trimmed();
}

double amount(AccpacView& view, const char* field)
{
    return view.Field(QLatin1String(field)).GetValue().toDouble();
}

int number(AccpacView& view, const char* field)
{
    return view.Field(QLatin1String(field)).GetValue().toInt();
}

QStringList customerAddress(AccpacView& customers, const QString& id)
{
    customers.SetOrder(0);
    customers.Field(QStringLiteral("IDCUST")).SetValue(id);
    if (!customers.Read())
        return {};
    QStringList address;
    const QString place =
        QStringList{text(customers, "NAMECITY"), text(customers, "CODESTTE")}.join(u' ').trimmed();
    for (const QString& part : {text(customers, "TEXTSTRE1"), place, text(customers, "CODECTRY")})
        if (!part.isEmpty())
            address << part;
    return address;
}

} // namespace

QList<PrintedInvoice> readInvoices(AccpacSession& session, const QString& first,
                                   const QString& last)
{
    const auto link = session.OpenDBLink(1, 0);
    auto headers = link->OpenView(QStringLiteral("OE0420"));
    auto shipments = link->OpenView(QStringLiteral("OE0427"));
    auto lines = link->OpenView(QStringLiteral("OE0400"));
    auto prepayments = link->OpenView(QStringLiteral("OE0278"));
    auto customers = link->OpenView(QStringLiteral("AR0024"));
    QHash<QString, AccpacCurrency> currencies;
    QHash<QString, QStringList> addresses;

    QList<PrintedInvoice> invoices;
    headers->SetOrder(1);
    // The range ends are checked invoice numbers: no double quote can end the text early.
    headers->Browse(QStringLiteral("INVNUMBER >= \"%1\" AND INVNUMBER <= \"%2\"").arg(first, last),
                    true);
    while (headers->Fetch()) {
        PrintedInvoice invoice;
        const int uniq = number(*headers, "INVUNIQ");
        invoice.number = text(*headers, "INVNUMBER");
        invoice.date = headers->Field(QStringLiteral("INVDATE")).GetValue().toDate();
        invoice.customer = text(*headers, "CUSTOMER");
        invoice.billName = text(*headers, "BILNAME");
        // A customer's address is read once per print, however many of its invoices it holds.
        auto address = addresses.constFind(invoice.customer);
        if (address == addresses.constEnd())
            address =
                addresses.insert(invoice.customer, customerAddress(*customers, invoice.customer));
        invoice.billAddress = *address;
        const QString code = text(*headers, "INSOURCURR");
        if (!currencies.contains(code))
            currencies.insert(code, session.GetCurrency(code));
        invoice.currency = currencies.value(code);
        invoice.total = amount(*headers, "INVNETWTX");
        invoice.amountDue = amount(*headers, "INVDUE");

        const QString ofInvoice = QStringLiteral("INVUNIQ = %1").arg(uniq);
        QHash<int, qsizetype> shipmentAt;
        shipments->Browse(ofInvoice, true);
        while (shipments->Fetch()) {
            shipmentAt.insert(number(*shipments, "SHIUNIQ"), invoice.shipments.size());
            invoice.shipments.append(
                {text(*shipments, "SHINUMBER"),
                 shipments->Field(QStringLiteral("SHIDATE")).GetValue().toDate(),
                 {}});
        }
        lines->Browse(ofInvoice, true);
        while (lines->Fetch()) {
            PrintedInvoice::Line line;
            line.charge = number(*lines, "LINETYPE") == 2;
            line.item = line.charge ? text(*lines, "MISCCHARGE") : text(*lines, "ITEM");
            line.description = text(*lines, "DESC");
            line.quantity = amount(*lines, "QTYINVC");
            line.price = amount(*lines, "UNITPRICE");
            line.extension = amount(*lines, "EXTINVMISC");
            const auto at = shipmentAt.constFind(number(*lines, "SHIUNIQ"));
            if (at != shipmentAt.constEnd())
                invoice.shipments[*at].lines.append(line);
            else
                invoice.charges.append(line);
        }
        // The prepayment as the invoice records it: what was received against it.
        prepayments->SetOrder(0);
        prepayments->Field(QStringLiteral("INVUNIQ")).SetValue(uniq);
        invoice.hasPrepayment = prepayments->Read();
        invoice.prepayment = std::round((invoice.total - invoice.amountDue) * 100.0) / 100.0;
        invoices.append(invoice);
    }
    for (auto* view :
         {headers.get(), shipments.get(), lines.get(), prepayments.get(), customers.get()})
        view->Close();
    link->Close();
    return invoices;
}

std::pair<QString, QString> invoiceNumberBounds(AccpacSession& session)
{
    const auto link = session.OpenDBLink(1, 0);
    auto headers = link->OpenView(QStringLiteral("OE0420"));
    headers->SetOrder(1);
    headers->Browse({}, true);
    QString first, last;
    if (headers->Fetch()) {
        first = text(*headers, "INVNUMBER");
        last = first;
        while (headers->Fetch())
            last = text(*headers, "INVNUMBER");
    }
    headers->Close();
    link->Close();
    return {first, last};
}

double shipmentSubtotal(const PrintedInvoice::Shipment& shipment, const AccpacCurrency& currency)
{
    const int decimals = decimalsOf(currency);
    Books::Money sum = Books::Money::of(0, decimals);
    for (const auto& line : shipment.lines)
        sum += Books::Money::of(line.extension, decimals);
    return sum.toDouble();
}

QString widestAmount(const AccpacCurrency& currency)
{
    const int decimals = decimalsOf(currency);
    const int digits = std::numeric_limits<double>::digits10;
    return formatAmount(-(std::pow(10.0, digits - decimals) - std::pow(10.0, -decimals)), currency);
}

QString formatAmount(double amount, const AccpacCurrency& currency)
{
    const int decimals = decimalsOf(currency);
    const QString digits = QString::number(std::fabs(amount), 'f', decimals);
    QString whole = digits.section(u'.', 0, 0);
    const QString fraction = digits.section(u'.', 1, 1);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QChar(currency.ThousandSeparator()));
    QString shown =
        fraction.isEmpty() ? whole : whole + QChar(currency.DecimalSeparator()) + fraction;
    const QString symbol = currency.Symbol().trimmed();
    switch (currency.SymbolPosition()) {
    case 1:
        shown = symbol + u' ' + shown;
        break;
    case 3:
        shown = shown + u' ' + symbol;
        break;
    case 4:
        shown = shown + symbol;
        break;
    default:
        shown = symbol + shown;
        break;
    }
    const bool negative = std::round(amount * std::pow(10.0, decimals)) < 0;
    if (!negative)
        return shown;
    switch (currency.NegativeDisplay()) {
    case 1:
        return shown + u'-';
    case 3:
        return u'(' + shown + u')';
    default:
        return u'-' + shown;
    }
}

} // namespace Accpac
