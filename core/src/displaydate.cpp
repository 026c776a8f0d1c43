#include <core/displaydate.h>

#include <core/reporters.h>
#include <core/systemlocale.h>

#include <system/comerror.h>

#include <QDate>
#include <QDateTime>

namespace modGeneral {
namespace {

// The date a value stands for; throws the runtime's type mismatch when it is none.
QDate toDate(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        // A date serial: whole days since 30 December 1899.
        return QDate(1899, 12, 30).addDays(qint64(value.toDouble()));
    default:
        break;
    }
    const QDate date = SystemLocale::parseDate(value.toString());
    if (!date.isValid())
        throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    return date;
}

} // namespace

QString Display_Date(const QVariant& value)
{
    try {
        if (value.isNull())
            return {};
        const QString text = value.toString().trimmed();
        if (text.isEmpty() || text == QLatin1String("12:00.00 AM"))
            return {};
        const QDate date = toDate(value.typeId() == QMetaType::QString ? QVariant(text) : value);
        if (date <= QDate(1900, 1, 1))
            return {};
        return SystemLocale::shortDate(date);
    } catch (const std::exception& failure) {
        reportFailure(failure, QStringLiteral("modGeneral.Display_Date"), Reporter::Messenger);
        return {};
    }
}

} // namespace modGeneral
