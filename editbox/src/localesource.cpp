#include "localesource.h"

namespace {

// Windows writes the year of a short date with four digits where the common locale data
// has two ("M/d/yy" for English, United States); the boxes keep full years.
QString widenYear(QString pattern)
{
    if (!pattern.contains(QLatin1String("yyyy")))
        pattern.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return pattern;
}

QString separatorOf(const QString& pattern)
{
    QString separator;
    for (QChar c : pattern) {
        if (c == u'd' || c == u'M' || c == u'y') {
            if (!separator.isEmpty())
                break;
        } else if (c != u'\'') {
            separator += c;
        }
    }
    return separator.isEmpty() ? QStringLiteral("/") : separator;
}

} // namespace

VrexLocaleValues QtLocaleSource::valuesFor(const QLocale& locale)
{
    VrexLocaleValues v;
    v.currencySymbol = locale.currencySymbol(QLocale::CurrencySymbol);
    v.decimalPoint = locale.decimalPoint();
    v.groupSeparator = locale.groupSeparator();

    // The digit count and the symbol's place are read off the locale's own currency text for
    // one unit.
    const QString one = locale.toCurrencyString(1.0);
    const qsizetype point = one.lastIndexOf(v.decimalPoint);
    int digits = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < one.size() && one[i].isDigit(); ++i)
            ++digits;
    }
    v.currencyDigits = digits;
    const qsizetype symbolAt = v.currencySymbol.isEmpty() ? -1 : one.indexOf(v.currencySymbol);
    qsizetype firstDigit = -1, lastDigit = -1;
    for (qsizetype i = 0; i < one.size(); ++i) {
        if (one[i].isDigit()) {
            lastDigit = i;
            if (firstDigit < 0)
                firstDigit = i;
        }
    }
    if (symbolAt >= 0 && firstDigit >= 0) {
        const bool prefix = symbolAt < firstDigit;
        const qsizetype symbolEnd = symbolAt + v.currencySymbol.size();
        const QString between = prefix ? one.mid(symbolEnd, firstDigit - symbolEnd)
                                       : one.mid(lastDigit + 1, symbolAt - lastDigit - 1);
        const bool spaced = !between.isEmpty();
        v.currencyPosition = prefix ? (spaced ? 2 : 0) : (spaced ? 3 : 1);
    }

    v.shortDatePattern = widenYear(locale.dateFormat(QLocale::ShortFormat));
    v.dateSeparator = separatorOf(v.shortDatePattern);
    v.numberDigits = 2;
    return v;
}
