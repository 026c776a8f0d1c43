#include <core/reporters.h>

#include <core/log.h>
#include <core/msgbox.h>
#include <core/session.h>

#include <accpac/errors.h>
#include <odbc/errors.h>
#include <system/comerror.h>

#include <QStringList>

#include <exception>

namespace modGeneral {
namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString Lf = QStringLiteral("\n");

void showExclamation(const QString& text, const QString& title)
{
    MsgBox(text, MsgButtons::OK, MsgIcon::Exclamation, title);
}

// One description of an ODBC error, one line per bracketed prefix and a last line with the
// message: "[unixODBC][Driver]Message" gives "[unixODBC]" SEP "[Driver]" SEP "Message" SEP.
QString splitDescription(const QString& description, const QString& separator)
{
    QString lines;
    for (const QString& piece : description.split(QLatin1Char(']'))) {
        QString line = piece.trimmed();
        if (line.startsWith(QLatin1Char('[')))
            line += QLatin1Char(']');
        lines += line + separator;
    }
    return lines;
}

} // namespace

void ErrorMessenger(std::int32_t number, const QString& description, const QString& source)
{
    if (number == 0)
        return;
    qCWarning(lcCore).noquote()
        << QStringLiteral("error %1 in %2: %3").arg(number).arg(source, description);
    try {
        showExclamation(QString::number(number) + QStringLiteral("; ") + description + CrLf + Lf +
                            QStringLiteral("In Procedure: ") + source + QStringLiteral(".") + CrLf +
                            Lf +
                            QStringLiteral("Please contact Norvane if the error occurs frequenly."),
                        QStringLiteral("Tallymerge Error"));
    } catch (const std::exception& failure) {
        // A reporter must never throw at its caller: if even this box fails, nothing is left
        // to show it with.
        try {
            const ComError error = comErrorOf(failure);
            showExclamation(
                QString::number(error.number()) + QStringLiteral(": ") + error.description() +
                    CrLf + Lf + QStringLiteral("In Procedure: modGeneral.ErrorMessenger.") + CrLf +
                    Lf + QStringLiteral("Please contact Norvane if the error occurs frequently."),
                QStringLiteral("Tallymerge Error"));
        } catch (...) {
        }
    }
}

void ErrorAccpac(AccpacErrors& errors, std::int32_t number, const QString& description,
                 const QString& source)
{
    const int count = errors.Count();
    if (count == 0) {
        ErrorMessenger(number, description, source);
        return;
    }
    qCWarning(lcCore).noquote()
        << QStringLiteral("Accpac error %1 in %2: %3").arg(number).arg(source, description);
    for (int i = 0; i < count; ++i) {
        const int priority = errors.Get(i).second;
        if (priority == 1 || priority == 2)
            continue;
        showExclamation(errors.Message(i) + CrLf + QStringLiteral("In procedure ") + source +
                            QStringLiteral("."),
                        QStringLiteral("Sage Accpac Error"));
    }
    errors.Clear();
}

void ErrorADO(AdoErrors& errors, std::int32_t number, const QString& description,
              const QString& source)
{
    try {
        if (errors.Count() == 0) {
            ErrorMessenger(number, description, source);
            return;
        }
        qCWarning(lcCore).noquote()
            << QStringLiteral("database error %1 in %2: %3").arg(number).arg(source, description);
        const QString sep = CrLf + QStringLiteral("\t   ");
        QString text;
        for (int i = 0; i < errors.Count(); ++i) {
            const AdoError error = errors.Item(i);
            text += splitDescription(error.Description, sep) + sep +
                    QStringLiteral("(Source\t\t: ") + error.Source + QStringLiteral(")") + sep +
                    QStringLiteral("(SQL State\t: ") + error.SQLState + QStringLiteral(")") + sep +
                    QStringLiteral("(NativeError\t: ") + QString::number(error.NativeError) +
                    QStringLiteral(")");
            showExclamation(
                text + CrLf + Lf + QStringLiteral("In Procedure: ") + source + QStringLiteral(".") +
                    CrLf + QStringLiteral("Please contact Norvane if the error occurs frequently."),
                QStringLiteral("Database Error"));
        }
        errors.Clear();
    } catch (const std::exception& failure) {
        const ComError error = comErrorOf(failure);
        ErrorMessenger(error.number(), error.description(), QStringLiteral("modGeneral.ErrorADO"));
    }
}

void reportFailure(const std::exception& failure, const QString& source, Reporter reporter)
{
    const ComError error = comErrorOf(failure);
    if (reporter == Reporter::Accpac)
        ErrorAccpac(error.number(), error.description(), source);
    else
        ErrorMessenger(error.number(), error.description(), source);
}

} // namespace modGeneral
