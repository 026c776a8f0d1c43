#include <core/systemlocale.h>

#include <QDate>
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

QDate parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    const QLocale& loc = current();
    // The system's own formats first, then the forms people and files commonly use.
    // The short format with four- and with two-digit years, then the long one.
    const QString shortFormat = shortDateFormat();
    QStringList formats = {shortFormat,
                           QString(shortFormat).replace(QLatin1String("yyyy"), QLatin1String("yy")),
                           loc.dateFormat(QLocale::LongFormat)};
    formats << QStringLiteral("d MMMM yyyy") << QStringLiteral("MMMM d, yyyy")
            << QStringLiteral("MMMM d yyyy") << QStringLiteral("d MMM yyyy")
            << QStringLiteral("MMM d, yyyy") << QStringLiteral("yyyy-MM-dd");
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

} // namespace SystemLocale
