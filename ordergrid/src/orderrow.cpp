#include <ordergrid/orderrow.h>

#include <core/systemlocale.h>
#include <core/text.h>

#include <system/comerror.h>

namespace {

const ComError TypeMismatch(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));

} // namespace

const QString OrderRow::NewShipment = QStringLiteral("*** NEW ***");

Books::Money OrderRow::money() const
{
    if (amountRefused)
        throw TypeMismatch;
    return amount.value_or(Books::Money{});
}

QString OrderRow::text(int column) const
{
    switch (column) {
    case Order:
        return order;
    case TransferDate:
        return transferDate.isValid() ? SystemLocale::shortDate(transferDate) : QString();
    case Shipment:
        return shipment;
    case Amount:
        return amount ? SystemLocale::formatMoney(*amount) : QString();
    case Customer:
        return customer;
    case CustomerName:
        return customerName;
    case ShipVia:
        return shipVia;
    case ShipTo:
        return shipTo;
    default:
        return {};
    }
}

void OrderRow::setText(int column, const QString& text)
{
    const QString value = Text::trim(text);
    switch (column) {
    case Order:
        order = value;
        break;
    case TransferDate: {
        const QDate date = SystemLocale::parseDate(value);
        if (!value.isEmpty() && !date.isValid())
            throw TypeMismatch;
        transferDate = date;
        break;
    }
    case Shipment:
        shipment = value;
        break;
    case Amount: {
        const std::optional<Books::Money> money = SystemLocale::parseMoney(value);
        if (!value.isEmpty() && !money)
            throw TypeMismatch;
        amount = money;
        amountRefused = false;
        break;
    }
    case Customer:
        customer = value;
        break;
    case CustomerName:
        customerName = value;
        break;
    case ShipVia:
        shipVia = value;
        break;
    case ShipTo:
        shipTo = value;
        break;
    default:
        break;
    }
}
