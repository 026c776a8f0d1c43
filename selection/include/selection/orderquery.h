#pragma once

#include <QDate>
#include <QString>

// The statement and the connection string of a grid load, for the two database engines:
// 1 (names in brackets) and 2 (plain names).
namespace OrderQuery {

struct Filter
{
    int engine = 1;
    int customerClass = 0; // position in the class list: 0 all, 1 cash sales, 2 hotels, 3 regular
    int location = 0;      // position in the location list
    bool dateRange = false;
    QDate from;
    QDate to;
    bool includeOne = false;
    bool includeThree = false;
    bool includeNine = false;
};

// The SELECT over OEORDH the loader sends. The unfiltered class ("0 - All") and every date
// range are the slow queries.
QString statement(const Filter& filter);
bool isSlow(const Filter& filter);

// "Provider=MSDASQL;DSN=..." for engine 1, "DSN=..." for engine 2, with the user and
// password when auth is false. Values the ODBC grammar would misread are braced.
QString connectionString(int engine, const QString& dsn, bool auth, const QString& user,
                         const QString& password);

} // namespace OrderQuery
