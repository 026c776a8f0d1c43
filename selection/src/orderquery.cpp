#include <selection/orderquery.h>

#include <odbc/connectionstring.h>

#include <QStringList>

namespace OrderQuery {
namespace {

const QString ShipViaCodes[] = {QString(), QStringLiteral("1"), QStringLiteral("3"),
                                QStringLiteral("9")};

QString name(int engine, const QString& column)
{
    return engine == 1 ? QLatin1Char('[') + column + QLatin1Char(']') : column;
}

QString locationCondition(int engine, int position)
{
    const QString location = name(engine, QStringLiteral("LOCATION"));
    switch (position) {
    case 1:
        return QStringLiteral(" AND (") + location + QStringLiteral(" = '100')");
    case 2:
        return QStringLiteral(" AND (") + location + QStringLiteral(" = '200')");
    case 3:
        return QStringLiteral(" AND (") + location + QStringLiteral(" = '101')");
    case 4:
        return QStringLiteral(" AND (") + location + QStringLiteral(" = '100' OR ") + location +
               QStringLiteral(" = '101')");
    default:
        return {};
    }
}

QString yyyymmdd(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString plainStatement(const Filter& f)
{
    const int engine = f.engine;
    const QString columns =
        engine == 1
            ? QStringLiteral("SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA], "
                             "[SHIPTO], [ORDDATE] FROM [OEORDH] WHERE ")
            : QStringLiteral("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,SHIPTO,"
                             "ORDDATE FROM OEORDH WHERE ");
    if (f.customerClass <= 0 || f.customerClass > 3) {
        return columns + (engine == 1 ? QStringLiteral("([TYPE] = 1)  AND ([ONHOLD] = 0) AND "
                                                       "([LASTINVNUM] = '')")
                                      : QStringLiteral("(TYPE = 1) AND (ONHOLD = 0) AND "
                                                       "(LASTINVNUM = '')"));
    }
    return columns +
           (engine == 1 ? QStringLiteral("(([TYPE] = 1) AND ([COMPLETE] < 4)) AND ([ONHOLD] = 0) "
                                         "AND ([LASTINVNUM] = '') AND ([SHIPVIA] = '")
                        : QStringLiteral("((TYPE = 1) AND (COMPLETE < 4)) AND (ONHOLD = 0) AND "
                                         "(LASTINVNUM = '') AND (SHIPVIA = '")) +
           ShipViaCodes[f.customerClass] + QStringLiteral("')");
}

QString dateRangeStatement(const Filter& f)
{
    const QString between =
        yyyymmdd(f.from) + QStringLiteral("' AND '") + yyyymmdd(f.to) + QStringLiteral("')");
    if (f.engine != 1) {
        return QStringLiteral("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,SHIPTO,ORDDATE "
                              "FROM OEORDH WHERE (TYPE = 1) AND (ONHOLD = 0) AND (LASTINVNUM = '') "
                              "AND (SHIPVIA = '') AND (ORDDATE BETWEEN '") +
               between;
    }
    QStringList codes;
    if (f.includeOne)
        codes << QStringLiteral("1");
    if (f.includeThree)
        codes << QStringLiteral("3");
    if (f.includeNine)
        codes << QStringLiteral("9");
    QString shipVia = QStringLiteral("([SHIPVIA] = '')");
    if (!codes.isEmpty()) {
        shipVia = QStringLiteral("(([SHIPVIA] = '')");
        for (const QString& code : codes)
            shipVia += QStringLiteral(" OR ([SHIPVIA] = ") + code + QLatin1Char(')');
        shipVia += QLatin1Char(')');
    }
    return QStringLiteral("SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA],[SHIPTO],"
                          "[ORDDATE] FROM [OEORDH] WHERE ([TYPE] = 1)  AND ([ONHOLD] = 0) AND "
                          "([LASTINVNUM] = '') AND ") +
           shipVia + QStringLiteral(" AND ([ORDDATE] BETWEEN '") + between;
}

} // namespace

QString statement(const Filter& filter)
{
    return (filter.dateRange ? dateRangeStatement(filter) : plainStatement(filter)) +
           locationCondition(filter.engine, filter.location) +
           (filter.engine == 1 ? QStringLiteral(" ORDER BY [ORDNUMBER];")
                               : QStringLiteral(" ORDER BY ORDNUMBER"));
}

bool isSlow(const Filter& filter)
{
    return filter.dateRange || filter.customerClass == 0;
}

QString connectionString(int engine, const QString& dsn, bool auth, const QString& user,
                         const QString& password)
{
    QString text = engine == 1 ? QStringLiteral("Provider=MSDASQL;") : QString();
    text += OdbcConnectionString::attribute(QStringLiteral("DSN"), dsn);
    if (!auth) {
        text += QLatin1Char(';') + OdbcConnectionString::attribute(QStringLiteral("UID"), user) +
                QLatin1Char(';') + OdbcConnectionString::attribute(QStringLiteral("PWD"), password);
    }
    return text;
}

} // namespace OrderQuery
