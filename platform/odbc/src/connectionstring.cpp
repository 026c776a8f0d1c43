#include <odbc/connectionstring.h>

#include <odbc/connection.h>

#include <system/comerror.h>

#include <QStringList>

namespace OdbcConnectionString {
namespace {

// The characters ODBC reserves in attribute values unless they are braced.
bool needsBraces(const QString& value)
{
    static const QString reserved = QStringLiteral("[]{}(),;?*=!@");
    if (value.isEmpty())
        return false;
    if (value.front().isSpace() || value.back().isSpace())
        return true;
    for (const QChar c : value) {
        if (reserved.contains(c))
            return true;
    }
    return false;
}

[[noreturn]] void throwInvalid(const QString& text)
{
    throw ComError(AdoErrorNumber::ConnectionStringInvalid,
                   QStringLiteral("The connection string is not well formed: %1").arg(text));
}

} // namespace

QString attribute(const QString& keyword, const QString& value)
{
    if (!needsBraces(value))
        return keyword + QLatin1Char('=') + value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return keyword + QLatin1String("={") + escaped + QLatin1Char('}');
}

QList<Attribute> parse(const QString& text)
{
    QList<Attribute> attributes;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype end = text.indexOf(QLatin1Char(';'), i);
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0 || (end >= 0 && end < equals)) {
            // A segment without "=": only blanks may stand between two separators.
            const QString segment = text.mid(i, end < 0 ? n - i : end - i);
            if (!segment.trimmed().isEmpty())
                throwInvalid(text);
            i = end < 0 ? n : end + 1;
            continue;
        }
        const QString keyword = text.mid(i, equals - i).trimmed();
        if (keyword.isEmpty())
            throwInvalid(text);
        qsizetype j = equals + 1;
        while (j < n && text.at(j) == QLatin1Char(' '))
            ++j;
        QString value;
        if (j < n && text.at(j) == QLatin1Char('{')) {
            // Braced: runs to the first "}" that is not doubled.
            ++j;
            bool closed = false;
            while (j < n) {
                if (text.at(j) == QLatin1Char('}')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text.at(j++);
            }
            if (!closed)
                throwInvalid(text);
            while (j < n && text.at(j).isSpace())
                ++j;
            if (j < n && text.at(j) != QLatin1Char(';'))
                throwInvalid(text);
            i = j + 1;
        } else {
            const qsizetype stop = text.indexOf(QLatin1Char(';'), equals + 1);
            value = text.mid(equals + 1, (stop < 0 ? n : stop) - equals - 1);
            i = stop < 0 ? n : stop + 1;
        }
        attributes.append({keyword, value});
    }
    return attributes;
}

QString join(const QList<Attribute>& attributes)
{
    QStringList parts;
    parts.reserve(attributes.size());
    for (const auto& [keyword, value] : attributes)
        parts.append(attribute(keyword, value));
    return parts.join(QLatin1Char(';'));
}

} // namespace OdbcConnectionString
