#include <selection/orderquery.h>

#include <odbc/connection.h>
#include <odbc/datasource.h>
#include <odbc/recordset.h>

#include "pgorders.h"
#include <odbctestconfig.h>
#include <samplesite.h>

#include "qtprint.h"

#include <gtest/gtest.h>

using OrderQuery::Filter;

namespace {

Filter plain(int engine, int customerClass, int location = 0)
{
    Filter f;
    f.engine = engine;
    f.customerClass = customerClass;
    f.location = location;
    return f;
}

Filter range(int engine, bool one, bool three, bool nine, int location = 0)
{
    Filter f;
    f.engine = engine;
    f.dateRange = true;
    f.from = QDate(2026, 12, 6);
    f.to = QDate(2026, 12, 8);
    f.includeOne = one;
    f.includeThree = three;
    f.includeNine = nine;
    f.location = location;
    return f;
}

// Every filter the window can send: four classes, five locations, eight include-box
// combinations of the date range.
QList<Filter> everyFilter(int engine)
{
    QList<Filter> filters;
    for (int location = 0; location < 5; ++location) {
        for (int customerClass = 0; customerClass < 4; ++customerClass)
            filters << plain(engine, customerClass, location);
        for (int boxes = 0; boxes < 8; ++boxes)
            filters << range(engine, boxes & 1, boxes & 2, boxes & 4, location);
    }
    return filters;
}

int rowsOf(Connection& connection, const QString& statement)
{
    Recordset records;
    records.Open(statement, connection);
    int rows = 0;
    for (; !records.Eof(); records.MoveNext())
        ++rows;
    return rows;
}

} // namespace

TEST(OrderQuery, StatementsOfEngineOne)
{
    EXPECT_EQ(
        OrderQuery::statement(plain(1, 0)),
        QStringLiteral("SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA], [SHIPTO], "
                       "[ORDDATE] FROM [OEORDH] WHERE ([TYPE] = 1)  AND ([ONHOLD] = 0) AND "
                       "([LASTINVNUM] = '') ORDER BY [ORDNUMBER];"));
    EXPECT_EQ(
        OrderQuery::statement(plain(1, 2, 3)),
        QStringLiteral("SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA], [SHIPTO], "
                       "[ORDDATE] FROM [OEORDH] WHERE (([TYPE] = 1) AND ([COMPLETE] < 4)) AND "
                       "([ONHOLD] = 0) AND ([LASTINVNUM] = '') AND ([SHIPVIA] = '3') AND "
                       "([LOCATION] = '101') ORDER BY [ORDNUMBER];"));
    EXPECT_EQ(
        OrderQuery::statement(plain(1, 1, 4)),
        QStringLiteral("SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA], [SHIPTO], "
                       "[ORDDATE] FROM [OEORDH] WHERE (([TYPE] = 1) AND ([COMPLETE] < 4)) AND "
                       "([ONHOLD] = 0) AND ([LASTINVNUM] = '') AND ([SHIPVIA] = '1') AND "
                       "([LOCATION] = '100' OR [LOCATION] = '101') ORDER BY [ORDNUMBER];"));
    const QString rangeHead = QStringLiteral(
        "SELECT [ORDNUMBER],[CUSTOMER],[BILNAME],[COMPLETE],[SHIPVIA],[SHIPTO],[ORDDATE] FROM "
        "[OEORDH] WHERE ([TYPE] = 1)  AND ([ONHOLD] = 0) AND ([LASTINVNUM] = '') AND ");
    const QString between = QStringLiteral(" AND ([ORDDATE] BETWEEN '20261206' AND '20261208')");
    const std::pair<Filter, QString> shipVia[] = {
        {range(1, false, false, false), "([SHIPVIA] = '')"},
        {range(1, true, false, false), "(([SHIPVIA] = '') OR ([SHIPVIA] = 1))"},
        {range(1, false, true, false), "(([SHIPVIA] = '') OR ([SHIPVIA] = 3))"},
        {range(1, false, false, true), "(([SHIPVIA] = '') OR ([SHIPVIA] = 9))"},
        {range(1, true, true, false), "(([SHIPVIA] = '') OR ([SHIPVIA] = 1) OR ([SHIPVIA] = 3))"},
        {range(1, false, true, true), "(([SHIPVIA] = '') OR ([SHIPVIA] = 3) OR ([SHIPVIA] = 9))"},
        {range(1, true, false, true), "(([SHIPVIA] = '') OR ([SHIPVIA] = 1) OR ([SHIPVIA] = 9))"},
        {range(1, true, true, true),
         "(([SHIPVIA] = '') OR ([SHIPVIA] = 1) OR ([SHIPVIA] = 3) OR ([SHIPVIA] = 9))"},
    };
    for (const auto& [filter, condition] : shipVia)
        EXPECT_EQ(OrderQuery::statement(filter),
                  rangeHead + condition + between + " ORDER BY [ORDNUMBER];");
    EXPECT_EQ(OrderQuery::statement(range(1, false, false, false, 2)),
              rangeHead + "([SHIPVIA] = '')" + between +
                  " AND ([LOCATION] = '200') ORDER BY [ORDNUMBER];");
    EXPECT_TRUE(OrderQuery::isSlow(plain(1, 0)));
    EXPECT_FALSE(OrderQuery::isSlow(plain(1, 3)));
    EXPECT_TRUE(OrderQuery::isSlow(range(2, false, false, false)));
}

TEST(OrderQuery, StatementsOfEngineTwo)
{
    EXPECT_EQ(
        OrderQuery::statement(plain(2, 0, 1)),
        QStringLiteral("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,SHIPTO,ORDDATE FROM "
                       "OEORDH WHERE (TYPE = 1) AND (ONHOLD = 0) AND (LASTINVNUM = '') AND "
                       "(LOCATION = '100') ORDER BY ORDNUMBER"));
    EXPECT_EQ(
        OrderQuery::statement(plain(2, 3, 4)),
        QStringLiteral("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,SHIPTO,ORDDATE FROM "
                       "OEORDH WHERE ((TYPE = 1) AND (COMPLETE < 4)) AND (ONHOLD = 0) AND "
                       "(LASTINVNUM = '') AND (SHIPVIA = '9') AND (LOCATION = '100' OR LOCATION "
                       "= '101') ORDER BY ORDNUMBER"));
    // The include boxes do not change the plain-name statement.
    const QString expected = QStringLiteral(
        "SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,SHIPTO,ORDDATE FROM OEORDH WHERE (TYPE "
        "= "
        "1) AND (ONHOLD = 0) AND (LASTINVNUM = '') AND (SHIPVIA = '') AND (ORDDATE BETWEEN "
        "'20261206' AND '20261208') ORDER BY ORDNUMBER");
    EXPECT_EQ(OrderQuery::statement(range(2, false, false, false)), expected);
    EXPECT_EQ(OrderQuery::statement(range(2, true, true, true)), expected);
}

TEST(OrderQuery, ConnectionStringsBraceWhatTheGrammarWouldMisread)
{
    EXPECT_EQ(OrderQuery::connectionString(1, "SAMINC", true, "u", "p"),
              QStringLiteral("Provider=MSDASQL;DSN=SAMINC"));
    EXPECT_EQ(OrderQuery::connectionString(2, "SAMINC", true, "u", "p"),
              QStringLiteral("DSN=SAMINC"));
    EXPECT_EQ(OrderQuery::connectionString(1, "SAMINC", false, "clerk", "secret"),
              QStringLiteral("Provider=MSDASQL;DSN=SAMINC;UID=clerk;PWD=secret"));
    EXPECT_EQ(OrderQuery::connectionString(2, "SAMINC", false, "clerk", "a;b}c"),
              QStringLiteral("DSN=SAMINC;UID=clerk;PWD={a;b}}c}"));
}

TEST(OrderQuery, EveryStatementRunsOnBothEngines)
{
    OdbcTestConfig::instance();
    SampleSite site; // a company with its order book
    OdbcDataSource::registerDataSource(QStringLiteral("TMQUERY"), OdbcTestConfig::sqliteDriver(),
                                       {{QStringLiteral("Database"), site.companyFile()}});
    Connection sqlite;
    sqlite.Open(QStringLiteral("Provider=MSDASQL;DSN=TMQUERY"));
    int total = 0;
    for (const Filter& filter : everyFilter(1))
        total += rowsOf(sqlite, OrderQuery::statement(filter));
    EXPECT_GT(total, 0);
    // "0 - All" lists the same orders as the union of its classes and more.
    EXPECT_GE(rowsOf(sqlite, OrderQuery::statement(plain(1, 0))),
              rowsOf(sqlite, OrderQuery::statement(plain(1, 3))));
    sqlite.Close();

    PostgresServer server;
    createOrderTable(
        server, QStringLiteral("('ORD1','1200','Black',1,0,1,'','MAIN','100','20261207',''),"
                               "('ORD2','1200','Black',1,0,1,'9','MAIN','101','20261207',''),"
                               "('ORD3','1300','Coastal',1,1,1,'','MAIN','100','20261207','')"));
    auto attributes = server.odbcAttributes();
    OdbcDataSource::registerDataSource(QStringLiteral("TMPG"), OdbcTestConfig::postgresDriver(),
                                       attributes);
    Connection postgres;
    postgres.Open(OrderQuery::connectionString(2, QStringLiteral("TMPG"), false, server.user(),
                                               server.password()));
    for (const Filter& filter : everyFilter(2))
        rowsOf(postgres, OrderQuery::statement(filter));
    EXPECT_EQ(rowsOf(postgres, OrderQuery::statement(plain(2, 0))), 2);
    EXPECT_EQ(rowsOf(postgres, OrderQuery::statement(plain(2, 3))), 1);
    EXPECT_EQ(rowsOf(postgres, OrderQuery::statement(range(2, false, false, false, 1))), 1);
}
