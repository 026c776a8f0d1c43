#include "textformat.h"

#include <QRegularExpression>
#include <QStringList>

namespace vrex {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(const QString& s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), isAsciiDigit);
}

// Adds one unit in the last place of a string of digits ("199" -> "200", "99" -> "100").
QString incrementDigits(QString digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
        digits[i] = u'0';
    }
    return u'1' + digits;
}

struct Rounded
{
    bool negative;
    QString integer;
    QString fraction;
};

Rounded roundTo(const DecimalNumber& n, int digits)
{
    QString fraction = n.fractionDigits;
    QString integer = n.integerDigits;
    if (fraction.size() > digits) {
        const bool up = fraction[digits] >= u'5';
        fraction.truncate(digits);
        if (up) {
            const QString all = incrementDigits(integer + fraction);
            integer = all.left(all.size() - digits);
            fraction = all.right(digits);
        }
    }
    fraction = fraction.leftJustified(digits, u'0');
    const bool zero =
        std::all_of(integer.begin(), integer.end(), [](QChar c) { return c == u'0'; }) &&
        std::all_of(fraction.begin(), fraction.end(), [](QChar c) { return c == u'0'; });
    return {n.negative && !zero, integer, fraction};
}

QString grouped(const QString& integer, const QString& separator)
{
    QString out;
    const qsizetype n = integer.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += integer[i];
    }
    return out;
}

QString joinFraction(const QString& body, const QString& fraction, const VrexLocaleValues& locale)
{
    return fraction.isEmpty() ? body : body + locale.decimalPoint + fraction;
}

} // namespace

std::optional<DecimalNumber> parseNumber(const QString& text, const VrexLocaleValues& locale)
{
    QString s = text.trimmed();
    DecimalNumber n;
    if (s.startsWith(u'+') || s.startsWith(u'-')) {
        n.negative = s.startsWith(u'-');
        s.remove(0, 1);
    }
    const QString decimalPoint =
        locale.decimalPoint.isEmpty() ? QStringLiteral(".") : locale.decimalPoint;
    const qsizetype point = s.indexOf(decimalPoint);
    const qsizetype pointLength = decimalPoint.size();
    QString integer = point < 0 ? s : s.left(point);
    const QString fraction = point < 0 ? QString() : s.mid(point + pointLength);
    if (!locale.groupSeparator.isEmpty() && locale.groupSeparator != decimalPoint &&
        integer.contains(locale.groupSeparator)) {
        // Separators only between digits, as "1,234" is written.
        const QStringList groups = integer.split(locale.groupSeparator);
        for (qsizetype i = 0; i < groups.size(); ++i) {
            const qsizetype size = groups[i].size();
            if (!allDigits(groups[i]) || (i == 0 ? size > 3 : size != 3))
                return std::nullopt;
        }
        integer = groups.join(QString());
    }
    if (!integer.isEmpty() && !allDigits(integer))
        return std::nullopt;
    if (!fraction.isEmpty() && !allDigits(fraction))
        return std::nullopt;
    if (integer.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    while (integer.size() > 1 && integer.startsWith(u'0'))
        integer.remove(0, 1);
    n.integerDigits = integer.isEmpty() ? QStringLiteral("0") : integer;
    n.fractionDigits = fraction;
    return n;
}

bool isNumber(const QString& text, const VrexLocaleValues& locale)
{
    return parseNumber(text, locale).has_value();
}

namespace {

// The text without the locale's currency symbol in its place (before the number, after a
// sign, or after the number, as the locale writes it).
QString withoutSymbol(const QString& text, const VrexLocaleValues& locale)
{
    const QString t = text.trimmed();
    const QString& symbol = locale.currencySymbol;
    if (symbol.isEmpty())
        return t;
    const QString sign = t.startsWith(u'+') || t.startsWith(u'-') ? t.left(1) : QString();
    const QString body = t.mid(sign.size());
    const bool before = locale.currencyPosition == 0 || locale.currencyPosition == 2;
    if (before && body.startsWith(symbol))
        return sign + body.mid(symbol.size()).trimmed();
    if (!before && body.endsWith(symbol))
        return sign + body.chopped(symbol.size()).trimmed();
    return t;
}

} // namespace

std::optional<DecimalNumber> parseAmount(const QString& text, const VrexLocaleValues& locale)
{
    return parseNumber(withoutSymbol(text, locale), locale);
}

std::optional<QString> plainNumber(const QString& text, const VrexLocaleValues& locale,
                                   bool withSymbol)
{
    QString t = withSymbol ? withoutSymbol(text, locale) : text.trimmed();
    if (!parseNumber(t, locale))
        return std::nullopt;
    const QString point = locale.decimalPoint.isEmpty() ? QStringLiteral(".") : locale.decimalPoint;
    if (!locale.groupSeparator.isEmpty() && locale.groupSeparator != point) {
        const qsizetype at = t.indexOf(point);
        t = (at < 0 ? t : t.left(at)).remove(locale.groupSeparator) +
            (at < 0 ? QString() : t.mid(at));
    }
    return t;
}

QString formatFixed(const DecimalNumber& number, int digits, const VrexLocaleValues& locale)
{
    const Rounded r = roundTo(number, digits);
    return (r.negative ? QStringLiteral("-") : QString()) +
           joinFraction(r.integer, r.fraction, locale);
}

QString formatCurrency(const DecimalNumber& number, int digits, const VrexLocaleValues& locale,
                       bool withSymbol)
{
    const Rounded r = roundTo(number, digits);
    QString body = joinFraction(grouped(r.integer, locale.groupSeparator), r.fraction, locale);
    if (withSymbol) {
        switch (locale.currencyPosition) {
        case 1:
            body = body + locale.currencySymbol;
            break;
        case 2:
            body = locale.currencySymbol + u' ' + body;
            break;
        case 3:
            body = body + u' ' + locale.currencySymbol;
            break;
        default:
            body = locale.currencySymbol + body;
            break;
        }
    }
    return r.negative ? u'-' + body : body;
}

QString formatPercent(const DecimalNumber& number, const VrexLocaleValues& locale)
{
    const Rounded r = roundTo(number, locale.numberDigits);
    const QString body =
        joinFraction(grouped(r.integer, locale.groupSeparator), r.fraction, locale);
    return (r.negative ? QStringLiteral("-") : QString()) + body + u'%';
}

int expandTwoDigitYear(int twoDigits, int centuryYear, int currentYear)
{
    const int century = currentYear / 100 * 100;
    return twoDigits <= centuryYear ? century + twoDigits : century - 100 + twoDigits;
}

namespace {

// The order of day, month and year in a short-date pattern, e.g. "M/d/yyyy" -> "Mdy".
QString fieldOrder(const QString& pattern)
{
    QString order;
    for (QChar c : pattern) {
        const QChar f = c == u'd' ? u'd' : c == u'M' ? u'M' : c == u'y' ? u'y' : QChar();
        if (!f.isNull() && !order.contains(f))
            order += f;
    }
    return order.size() == 3 ? order : QStringLiteral("Mdy");
}

std::optional<QDate> dateFromParts(const QStringList& parts, const QString& order, int centuryYear,
                                   int currentYear)
{
    if (parts.size() != 3)
        return std::nullopt;
    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        const QString p = parts[i].trimmed();
        if (!allDigits(p) || p.size() > 4)
            return std::nullopt;
        const int v = p.toInt();
        switch (order[i].unicode()) {
        case u'd':
            day = v;
            break;
        case u'M':
            month = v;
            break;
        default:
            year = p.size() <= 2 ? expandTwoDigitYear(v, centuryYear, currentYear) : v;
            break;
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 100)
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> parseLocaleDate(const QString& text, const VrexLocaleValues& locale,
                                     int centuryYear, int currentYear)
{
    if (locale.dateSeparator.isEmpty())
        return std::nullopt;
    return dateFromParts(text.split(locale.dateSeparator), fieldOrder(locale.shortDatePattern),
                         centuryYear, currentYear);
}

QString formatLocaleDate(const QDate& date, const VrexLocaleValues& locale)
{
    // A lone "y" (year without century, no leading zero) has no Qt letter of its own.
    QString pattern = locale.shortDatePattern;
    static const QRegularExpression loneY(QStringLiteral("(?<!y)y(?!y)"));
    pattern.replace(loneY, QStringLiteral("'%1'").arg(date.year() % 100));
    return date.toString(pattern);
}

bool isDateOrTime(const QString& text, const VrexLocaleValues& locale, int centuryYear,
                  int currentYear)
{
    const QString t = text.trimmed();
    if (parseLocaleDate(t, locale, centuryYear, currentYear))
        return true;
    if (dateFromParts(t.split(u'/'), QStringLiteral("Mdy"), centuryYear, currentYear))
        return true;
    static const QRegularExpression time(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))? ?([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = time.match(t);
    if (!m.hasMatch())
        return false;
    const int hours = m.captured(1).toInt();
    const int minutes = m.captured(2).toInt();
    const int seconds = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const bool twelveHour = !m.captured(4).isEmpty();
    return minutes < 60 && seconds < 60 && (twelveHour ? hours >= 1 && hours <= 12 : hours < 24);
}

} // namespace vrex
