#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// Look-ups against the company's Accpac tables: each opens its view, reads one record by
// key, takes one field and closes the view. A blank code opens nothing: descriptions are
// then empty and validations False. Failures are reported through ErrorAccpac.
namespace modGeneral {

QString Return_RecTypeDesc(const QString& receiptType);
bool Valid_RecType(const QString& receiptType);
QString Return_BankCodeDesc(const QString& bankCode);
bool Valid_BankCode(const QString& bankCode);
QString Return_MiscChargeDesc(const QString& miscCharge);
bool Valid_MiscCharge(const QString& miscCharge);
// The amount of a miscellaneous charge; 0 when it does not exist.
double Return_MiscChargeAmount(const QString& miscCharge);
// " - " followed by the user's name, so that a list line reads ID, " - ", name.
QString Return_UserName(const QString& userId);
// Whether the customer's optional field "DELCHARGE" is set to true.
bool Valid_DeliveryCustomer(const QString& customer);
QString Return_CustCurCode(const QString& customer);
// The number of decimals of a currency; an empty currencyCode means the home currency. 2 when
// the currency cannot be read (the failure is reported).
int Return_CurrencyDecimals(const QString& currencyCode);

// The amount in the currency's own format (separators, decimals, negative display and, when
// showSymbol, the symbol). An empty currencyCode means the home currency, whose code is
// handed back through it. Amounts of 2,147,483,648 or more are reported and give "".
QString Display_AccpacCurrency(double amount, QString& currencyCode, bool showSymbol);

// The value in the pattern "#,###,##0.00" with that many decimals (0 to 7; any other count
// gives five), in the system's number format.
QString Format_Decimals(const QVariant& value, int decimals);

// The first width characters of the trimmed text followed by width fill characters; text
// itself is trimmed.
QString Pad_Right(QString& text, int width, QChar fill);

// Whether a dynamic array has storage (has been dimensioned and not erased).
template <typename T> bool ArrayHasElements(const std::optional<QList<T>>& array)
{
    return array.has_value();
}

} // namespace modGeneral
