#include <core/lookups.h>

#include <core/reporters.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <core/text.h>

#include <accpac/view.h>
#include <system/comerror.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace modGeneral {
namespace {

using Keys = std::vector<std::pair<QString, QVariant>>;

// Opens viewId, optionally picks key 0, sets the key fields in order and reads. Returns,
// when a record was found, the result field's value (or true when no field is asked for).
std::optional<QVariant> readRecord(const QString& viewId, bool setOrder, const Keys& keys,
                                   const QString& resultField = QString())
{
    ViewPtr view = OpenView(viewId);
    if (setOrder)
        view->SetOrder(0);
    for (const auto& [field, value] : keys)
        view->Field(field).SetValue(value);
    if (!view->Read())
        return std::nullopt;
    return resultField.isEmpty() ? QVariant(true) : view->Field(resultField).GetValue();
}

// Runs a look-up; a failure goes to ErrorAccpac (unless dropped) and gives fallback.
template <typename Result, typename Body>
Result lookUp(const QString& source, Result fallback, Body body, std::int32_t dropped = 0)
{
    try {
        return body();
    } catch (const std::exception& failure) {
        if (dropped == 0 || comErrorOf(failure).number() != dropped)
            reportFailure(failure, source, Reporter::Accpac);
        return fallback;
    }
}

QString describe(const QString& source, const QString& code, const QString& viewId,
                 const QString& keyField, const QString& resultField)
{
    const QString key = Text::trim(code);
    if (key.isEmpty())
        return {};
    return lookUp(source, QString(), [&] {
        const auto value = readRecord(viewId, false, {{keyField, key}}, resultField);
        return value ? Text::trim(value->toString()) : QString();
    });
}

bool validate(const QString& source, const QString& code, const QString& viewId, Keys keys)
{
    const QString key = Text::trim(code);
    if (key.isEmpty())
        return false;
    keys.front().second = key;
    return lookUp(source, false, [&] { return readRecord(viewId, true, keys).has_value(); });
}

// The receipt type key field of the Accounts Receivable version in use.
QString receiptTypeKey()
{
    static const QStringList newer = {QStringLiteral("54A"), QStringLiteral("55A"),
                                      QStringLiteral("56A"), QStringLiteral("60A")};
    return newer.contains(Version_APModule(QStringLiteral("AR"))) ? QStringLiteral("PAYMCODE")
                                                                  : QStringLiteral("CODPAYMTYP");
}

} // namespace

QString Return_RecTypeDesc(const QString& receiptType)
{
    const QString key = Text::trim(receiptType);
    if (key.isEmpty())
        return {};
    return lookUp(QStringLiteral("modGeneral.Return_RecTypeDesc"), QString(), [&] {
        ViewPtr view = OpenView(QStringLiteral("AR0012"));
        view->Field(receiptTypeKey()).SetValue(key);
        return view->Read()
                   ? Text::trim(view->Field(QStringLiteral("TEXTDESC")).GetValue().toString())
                   : QString();
    });
}

bool Valid_RecType(const QString& receiptType)
{
    const QString key = Text::trim(receiptType);
    if (key.isEmpty())
        return false;
    return lookUp(QStringLiteral("modGeneral.Valid_RecType"), false, [&] {
        ViewPtr view = OpenView(QStringLiteral("AR0012"));
        view->SetOrder(0);
        view->Field(receiptTypeKey()).SetValue(key);
        view->Field(QStringLiteral("ACTVSW")).SetValue(1);
        return view->Read();
    });
}

QString Return_BankCodeDesc(const QString& bankCode)
{
    return describe(QStringLiteral("modGeneral.Return_BankCodeDesc"), bankCode,
                    QStringLiteral("BK0001"), QStringLiteral("BANK"), QStringLiteral("NAME"));
}

bool Valid_BankCode(const QString& bankCode)
{
    return validate(QStringLiteral("modGeneral.Valid_BankCode"), bankCode, QStringLiteral("BK0001"),
                    {{QStringLiteral("BANK"), {}}, {QStringLiteral("INACTIVE"), 0}});
}

QString Return_MiscChargeDesc(const QString& miscCharge)
{
    return describe(QStringLiteral("modGeneral.Return_MiscChargeDesc"), miscCharge,
                    QStringLiteral("OE0440"), QStringLiteral("MISCCHARGE"), QStringLiteral("DESC"));
}

double Return_MiscChargeAmount(const QString& miscCharge)
{
    const QString key = Text::trim(miscCharge);
    if (key.isEmpty())
        return 0;
    return lookUp(QStringLiteral("modGeneral.Return_MiscChargeAmount"), 0.0, [&] {
        const auto amount =
            readRecord(QStringLiteral("OE0440"), false, {{QStringLiteral("MISCCHARGE"), key}},
                       QStringLiteral("AMOUNT"));
        return amount ? amount->toDouble() : 0.0;
    });
}

bool Valid_MiscCharge(const QString& miscCharge)
{
    return validate(QStringLiteral("modGeneral.Valid_MiscCharge"), miscCharge,
                    QStringLiteral("OE0440"), {{QStringLiteral("MISCCHARGE"), {}}});
}

QString Return_UserName(const QString& userId)
{
    const QString key = Text::trim(userId);
    if (key.isEmpty())
        return {};
    return lookUp(
        QStringLiteral("modGeneral.Return_UserName"), QString(),
        [&] {
            const auto name =
                readRecord(QStringLiteral("AS0003"), false, {{QStringLiteral("USERID"), key}},
                           QStringLiteral("USERNAME"));
            return name ? QStringLiteral(" - ") + Text::trim(name->toString()) : QString();
        },
        ComErrorNumber::E_Fail);
}

bool Valid_DeliveryCustomer(const QString& customer)
{
    const QString key = Text::trim(customer);
    if (key.isEmpty())
        return false;
    return lookUp(QStringLiteral("modGeneral.Valid_DeliveryCustomer"), false, [&] {
        const auto flag = readRecord(QStringLiteral("AR0400"), false,
                                     {{QStringLiteral("IDCUST"), key},
                                      {QStringLiteral("OPTFIELD"), QStringLiteral("DELCHARGE")}},
                                     QStringLiteral("VALIFBOOL"));
        return flag && flag->toBool();
    });
}

QString Return_CustCurCode(const QString& customer)
{
    return describe(QStringLiteral("modGeneral.Return_CustCurCode"), customer,
                    QStringLiteral("AR0024"), QStringLiteral("IDCUST"), QStringLiteral("CODECURN"));
}

int Return_CurrencyDecimals(const QString& currencyCode)
{
    return lookUp(QStringLiteral("modGeneral.Return_CurrencyDecimals"), 2, [&] {
        const QString code = Text::trim(currencyCode).isEmpty() ? Session().Company().HomeCurrency()
                                                                : Text::trim(currencyCode);
        return int(Session().GetCurrency(code).Decimals());
    });
}

QString Format_Decimals(const QVariant& value, int decimals)
{
    if (decimals < 0 || decimals > 7)
        decimals = 5;
    double number = 0;
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        number = SystemLocale::locale().toDouble(Text::trim(value.toString()), &ok);
        if (!ok)
            number = QLocale::c().toDouble(Text::trim(value.toString()), &ok);
        if (!ok)
            throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    } else {
        number = value.toDouble();
    }
    return SystemLocale::locale().toString(number, 'f', decimals);
}

QString Pad_Right(QString& text, int width, QChar fill)
{
    text = Text::trim(text);
    return text.left(width) + QString(width, fill);
}

QString Display_AccpacCurrency(double amount, QString& currencyCode, bool showSymbol)
{
    try {
        if (Text::trim(currencyCode).isEmpty())
            currencyCode = Session().Company().HomeCurrency();
        const AccpacCurrency currency = Session().GetCurrency(currencyCode);
        // The amount as the runtime writes it: up to 15 significant digits, no exponent.
        QString written = QString::number(std::fabs(amount), 'g', 15);
        if (written.contains(QLatin1Char('e'))) {
            written = QString::number(std::fabs(amount), 'f', 15);
            while (written.endsWith(QLatin1Char('0')))
                written.chop(1);
        }
        const qsizetype point = written.indexOf(QLatin1Char('.'));
        const QString integerDigits = point < 0 ? written : written.left(point);
        const QString fractionDigits = point < 0 ? QString() : written.mid(point + 1);
        const int decimals = currency.Decimals();

        // The fraction as a number: its text is written with ".", which the system's
        // number format may read as a group separator.
        const double fractionValue =
            point < 0 ? 0.0 : QLocale::c().toDouble(QStringLiteral("0.") + fractionDigits);
        const QString fraction = Text::trim(Format_Decimals(fractionValue, decimals)).mid(2);

        bool ok = false;
        const qlonglong wide = integerDigits.toLongLong(&ok);
        if (!ok || wide > std::numeric_limits<std::int32_t>::max())
            throw ComError(ComErrorNumber::Overflow, QStringLiteral("Overflow"));
        const std::int32_t i = std::int32_t(wide);
        const std::int32_t m = i > 999999 ? i / 1000000 : 0;
        const std::int32_t t = i > 999 ? i / 1000 - 1000 * m : 0;
        const std::int32_t u = i - 1000000 * m - 1000 * t;
        const QChar ts(char16_t(currency.ThousandSeparator()));
        const QChar ds(char16_t(currency.DecimalSeparator()));
        auto threeDigits = [](std::int32_t n) {
            return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        };

        QString text;
        if (m > 0)
            text = QString::number(m) + ts + threeDigits(t) + ts + threeDigits(u);
        else if (t > 0)
            text = QString::number(t) + ts + threeDigits(u);
        else
            text = QString::number(u);
        if (decimals != 0)
            text += ds + fraction;

        if (amount < 0) {
            text = Text::trim(text);
            switch (currency.NegativeDisplay()) {
            case 1:
                text += QLatin1Char('-');
                break;
            case 2:
                text.prepend(QLatin1Char('-'));
                break;
            case 3:
                text = QLatin1Char('(') + text + QLatin1Char(')');
                break;
            default:
                break;
            }
        }
        if (showSymbol) {
            const QString symbol = Text::trim(currency.Symbol());
            switch (currency.SymbolPosition()) {
            case 1:
                text = symbol + QLatin1Char(' ') + text;
                break;
            case 2:
                text = symbol + text;
                break;
            case 3:
                text = text + QLatin1Char(' ') + symbol;
                break;
            case 4:
                text = text + symbol;
                break;
            default:
                break;
            }
        }
        return Text::trim(text);
    } catch (const std::exception& failure) {
        reportFailure(failure, QStringLiteral("modGeneral.Display_AccpacCurrency"),
                      Reporter::Messenger);
        return {};
    }
}

} // namespace modGeneral
