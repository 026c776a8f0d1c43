#include <core/systemlocale.h>

#include <cmath>

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

#include <vrexeditbox/vrexeditbox.h>

namespace SystemLocale {
namespace {

QLocale& current()
{
    static QLocale instance = QLocale::system();
    return instance;
}

} // namespace

void useInEditBoxes()
{
    // The edit boxes read the same locale as the rest of the program, whenever it changes.
    VrexEditbox::setUserLocale([] { return current(); });
    VrexEditbox::setDateRule(
        [](const QString& text) -> std::optional<QDate> {
            const QDate date = parseDate(text);
            return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
        },
        [](const QDate& date) { return shortDate(date); });
}

QLocale locale()
{
    return current();
}

void setLocale(const QLocale& locale)
{
    current() = locale;
    useInEditBoxes();
}

QString shortDateFormat()
{
    // Qt's short formats often carry two-digit years ("M/d/yy"); the system's short date
    // shows the full year, so a lone "yy" becomes "yyyy".
    QString format = current().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString shortDate(const QDate& date)
{
    return current().toString(date, shortDateFormat());
}

namespace {

// The forms of the short date a person may type: leading zeros optional ("d", "M"), a named
// month also as its number, with the date's own separators. The C locale's numeric form is
// month/day/year, as its "%x" writes it.
QStringList shortForms(const QString& shortFormat, bool cLocale)
{
    QString loose = shortFormat;
    loose.replace(QLatin1String("dd"), QLatin1String("d"));
    static const QRegularExpression twoDigitMonth(QStringLiteral("(?<!M)MM(?!M)"));
    loose.replace(twoDigitMonth, QStringLiteral("M"));
    QStringList forms = {loose};
    static const QRegularExpression namedMonth(QStringLiteral("M{3,4}"));
    if (loose.contains(namedMonth)) {
        QString numeric = loose;
        numeric.replace(namedMonth, QStringLiteral("M"));
        forms << numeric;
        if (cLocale)
            forms << QStringLiteral("M/d/yyyy");
    }
    QStringList withShortYears;
    for (const QString& form : forms)
        withShortYears << QString(form).replace(QLatin1String("yyyy"), QLatin1String("yy"));
    return forms + withShortYears;
}

} // namespace

QDate parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    const QLocale& loc = current();
    // The system's own forms first, then the long and ISO forms files commonly use.
    QStringList formats = shortForms(shortDateFormat(), loc.language() == QLocale::C);
    formats << loc.dateFormat(QLocale::LongFormat) << QStringLiteral("d MMMM yyyy")
            << QStringLiteral("MMMM d, yyyy") << QStringLiteral("MMMM d yyyy")
            << QStringLiteral("d MMM yyyy") << QStringLiteral("MMM d, yyyy")
            << QStringLiteral("yyyy-MM-dd");
    for (const QString& format : formats) {
        QDate date = loc.toDate(t, format);
        if (date.isValid()) {
            // Two-digit years read as 1930 to 2029, as the system's date rules do.
            if (format.count(QLatin1Char('y')) == 2 && date.year() < 1930)
                date = date.addYears(100);
            return date;
        }
    }
    return {};
}

std::optional<double> parseNumber(const QString& text)
{
    QString t = text.trimmed();
    const QLocale& loc = current();
    // A typed blank stands for the locale's blank-like group separator (French, for one).
    const QString group = loc.groupSeparator();
    if (group.size() == 1 && group.front().isSpace())
        t.replace(QLatin1Char(' '), group);
    bool ok = false;
    const double value = loc.toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<Books::Money> parseMoney(const QString& text, int decimals)
{
    const std::optional<double> value = parseNumber(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return Books::Money::of(*value, decimals);
}

QString formatMoney(const Books::Money& amount)
{
    return current().toString(amount.toDouble(), 'f', amount.decimals);
}

} // namespace SystemLocale
