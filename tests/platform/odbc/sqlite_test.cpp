// The connection and record set through unixODBC and the SQLite3 ODBC driver, on a
// temporary SQLite file registered as a data source of a private ODBC configuration.

#include "odbctestconfig.h"

#include <odbc/connection.h>
#include <odbc/datasource.h>
#include <odbc/recordset.h>

#include <system/comerror.h>

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QString LongText = QString(5000, QLatin1Char('x')) + QStringLiteral("end");

class SqliteOdbc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OdbcTestConfig::instance();
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("company.db"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_file.toUtf8().constData(), &db), SQLITE_OK);
        const QString sql =
            QStringLiteral(
                "CREATE TABLE OEORDH (ORDNUMBER CHAR(22), CUSTOMER VARCHAR(12), BILNAME TEXT,"
                " COMPLETE SMALLINT, ORDDATE DECIMAL(9,0), AMOUNT DOUBLE, ONHOLD INTEGER,"
                " NOTE TEXT, PICTURE BLOB);"
                "INSERT INTO OEORDH VALUES ('ORD000002', '1200', 'Café Zürich', 1, 20240131,"
                " 12.5, 0, NULL, x'00FF10');"
                "INSERT INTO OEORDH VALUES ('ORD000001', '1100', 'O''Brien; {Ltd}', 3, 20231205,"
                " 0, 1, '%1', NULL);")
                .arg(LongText);
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
        sqlite3_free(message);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK);
        OdbcDataSource::registerDataSource(m_dsn, OdbcTestConfig::sqliteDriver(),
                                           {{QStringLiteral("Database"), m_file}});
    }

    std::int32_t failureOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const ComError& error) {
            return error.number();
        }
        return 0;
    }

    QTemporaryDir m_dir;
    QString m_file;
    const QString m_dsn = QStringLiteral("Tallymerge Test Company");
};

TEST_F(SqliteOdbc, ReadsRowsForwardWithTheirTypes)
{
    Connection connection;
    connection.setCursorLocation(adUseServer);
    connection.setCommandTimeout(0);
    connection.setConnectionString("Provider=MSDASQL;DSN=" + m_dsn);
    connection.Open();
    ASSERT_EQ(connection.State(), adStateOpen);
    EXPECT_EQ(connection.DefaultDatabase(), m_file);
    EXPECT_EQ(connection.Errors().Count(), 0);

    Recordset orders;
    orders.setCursorLocation(adUseClient);
    orders.Open("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,ORDDATE,AMOUNT,NOTE,PICTURE FROM "
                "OEORDH ORDER BY ORDNUMBER",
                connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    ASSERT_EQ(orders.State(), adStateOpen);
    EXPECT_EQ(orders.CursorLocation(), adUseClient);
    ASSERT_EQ(orders.FieldCount(), 8);
    EXPECT_EQ(orders.Fields(0).Name, "ORDNUMBER");

    ASSERT_FALSE(orders.Eof());
    EXPECT_EQ(orders.Fields("ORDNUMBER").Value.toString().trimmed(), "ORD000001");
    EXPECT_EQ(orders.Fields("bilname").Value.toString(), "O'Brien; {Ltd}"); // any case
    EXPECT_EQ(orders.Fields("COMPLETE").Value, QVariant(3));
    // The yyyymmdd date column reads as a whole number whose text is the date.
    EXPECT_EQ(orders.Fields("ORDDATE").Value.toString(), "20231205");
    EXPECT_EQ(orders.Fields("NOTE").Value.toString(), LongText); // read in pieces
    EXPECT_TRUE(orders.Fields("PICTURE").Value.isNull());

    orders.MoveNext();
    ASSERT_FALSE(orders.Eof());
    EXPECT_EQ(orders.Fields("BILNAME").Value.toString(), QString::fromUtf8("Café Zürich"));
    EXPECT_EQ(orders.Fields("ORDDATE").Value.toLongLong(), 20240131);
    EXPECT_DOUBLE_EQ(orders.Fields("AMOUNT").Value.toDouble(), 12.5);
    EXPECT_TRUE(orders.Fields("NOTE").Value.isNull());
    EXPECT_EQ(orders.Fields("PICTURE").Value.toByteArray(), QByteArray("\x00\xff\x10", 3));

    orders.MoveNext();
    EXPECT_TRUE(orders.Eof());
    EXPECT_EQ(failureOf([&] { orders.MoveNext(); }), AdoErrorNumber::NoCurrentRecord);
    EXPECT_EQ(failureOf([&] { orders.Fields("ORDNUMBER"); }), AdoErrorNumber::NoCurrentRecord);
    EXPECT_EQ(failureOf([&] { orders.Fields("NOSUCH"); }), AdoErrorNumber::ItemNotFound);
    EXPECT_EQ(failureOf([&] { orders.Fields(8); }), AdoErrorNumber::ItemNotFound);
    orders.Close();
    EXPECT_EQ(orders.State(), adStateClosed);
    EXPECT_EQ(failureOf([&] { orders.Eof(); }), AdoErrorNumber::ObjectClosed);
    EXPECT_EQ(failureOf([&] { orders.Close(); }), AdoErrorNumber::ObjectClosed);
    connection.Close();
    EXPECT_EQ(connection.State(), adStateClosed);
    EXPECT_EQ(connection.DefaultDatabase(), "");
}

TEST_F(SqliteOdbc, EmptyResultAndStatementsWithoutRows)
{
    Connection connection;
    connection.Open("DSN=" + m_dsn);
    Recordset none;
    // Bracketed names pass through to the driver as they are.
    none.Open("SELECT [ORDNUMBER],[CUSTOMER] FROM [OEORDH] WHERE ([COMPLETE] < 4) AND "
              "([ORDNUMBER] = 'NONE') ORDER BY [ORDNUMBER];",
              connection);
    EXPECT_EQ(none.State(), adStateOpen);
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(failureOf([&] { none.Fields("ORDNUMBER"); }), AdoErrorNumber::NoCurrentRecord);
    none.Close();

    // A statement without a result leaves the set closed but has done its work.
    Recordset update;
    update.Open("UPDATE OEORDH SET ONHOLD = 5", connection);
    EXPECT_EQ(update.State(), adStateClosed);
    Recordset check;
    check.Open("SELECT COUNT(*) AS N FROM OEORDH WHERE ONHOLD = 5", connection);
    EXPECT_EQ(check.Fields("N").Value.toInt(), 2);
}

// Operations out of turn give the numbers the program's handlers test, and leave the
// objects usable.
TEST_F(SqliteOdbc, StateRulesAndTheirNumbers)
{
    Connection connection;
    Recordset orders;
    EXPECT_EQ(failureOf([&] { orders.Open("SELECT 1", connection); }),
              AdoErrorNumber::ConnectionClosed);
    EXPECT_EQ(failureOf([&] { connection.Close(); }), AdoErrorNumber::ObjectClosed);

    connection.Open("DSN=" + m_dsn);
    EXPECT_EQ(failureOf([&] { connection.Open("DSN=" + m_dsn); }), ComErrorNumber::AlreadyOpen);
    EXPECT_EQ(failureOf([&] { connection.setConnectionString("DSN=other"); }),
              ComErrorNumber::AlreadyOpen);
    EXPECT_EQ(connection.State(), adStateOpen);

    orders.Open("SELECT ORDNUMBER FROM OEORDH", connection);
    EXPECT_EQ(failureOf([&] { orders.Open("SELECT 1", connection); }), ComErrorNumber::AlreadyOpen);
    // Closing the connection closes what is open on it.
    connection.Close();
    EXPECT_EQ(orders.State(), adStateClosed);
    EXPECT_EQ(failureOf([&] { orders.MoveNext(); }), AdoErrorNumber::ObjectClosed);

    connection.Open();
    orders.Open("SELECT ORDNUMBER FROM OEORDH ORDER BY ORDNUMBER", connection);
    EXPECT_EQ(orders.Fields("ORDNUMBER").Value.toString().trimmed(), "ORD000001");

    Connection other;
    EXPECT_EQ(failureOf([&] { other.Open("Provider=SQLOLEDB;DSN=" + m_dsn); }),
              AdoErrorNumber::ProviderNotFound);
    EXPECT_EQ(failureOf([&] { other.Open("DSN=" + m_dsn + ";PWD={x"); }),
              AdoErrorNumber::ConnectionStringInvalid);
    EXPECT_EQ(other.State(), adStateClosed);
}

// A record set still open when its connection goes away is closed, not left dangling.
TEST_F(SqliteOdbc, RecordsetOutlivingItsConnection)
{
    Recordset orders;
    {
        Connection connection;
        connection.Open("DSN=" + m_dsn);
        orders.Open("SELECT ORDNUMBER FROM OEORDH", connection);
    }
    EXPECT_EQ(orders.State(), adStateClosed);
    EXPECT_EQ(failureOf([&] { orders.Close(); }), AdoErrorNumber::ObjectClosed);
}

TEST_F(SqliteOdbc, FailuresFillTheErrorsCollection)
{
    Connection connection;
    try {
        connection.Open("Provider=MSDASQL;DSN=No Such Source;UID=a;PWD=b");
        FAIL() << "an unknown data source was opened";
    } catch (const ComError& error) {
        EXPECT_EQ(error.number(), ComErrorNumber::E_Fail);
        ASSERT_GE(connection.Errors().Count(), 1);
        const AdoError first = connection.Errors().Item(0);
        EXPECT_EQ(error.description(), first.Description);
        EXPECT_EQ(first.Number, ComErrorNumber::E_Fail);
        EXPECT_EQ(first.SQLState, "IM002");
        EXPECT_EQ(first.Description, "[unixODBC][Driver Manager]Data source name not found and "
                                     "no default driver specified");
        EXPECT_FALSE(first.Source.isEmpty());
    }
    EXPECT_EQ(connection.State(), adStateClosed);
    EXPECT_EQ(failureOf([&] { connection.Errors().Item(5); }), AdoErrorNumber::ItemNotFound);

    connection.Open("DSN=" + m_dsn);
    EXPECT_EQ(connection.Errors().Count(), 0); // a new operation starts a new collection
    Recordset bad;
    EXPECT_NE(failureOf([&] { bad.Open("SELECT NOSUCH FROM OEORDH", connection); }), 0);
    ASSERT_GE(connection.Errors().Count(), 1);
    const AdoError error = connection.Errors().Item(0);
    EXPECT_FALSE(error.SQLState.isEmpty());
    EXPECT_TRUE(error.Description.contains("NOSUCH")) << error.Description.toStdString();
    EXPECT_EQ(bad.State(), adStateClosed);
    connection.Errors().Clear();
    EXPECT_EQ(connection.Errors().Count(), 0);

    // The connection is still good after a failed statement.
    bad.Open("SELECT COUNT(*) AS N FROM OEORDH", connection);
    EXPECT_EQ(bad.Fields("N").Value.toInt(), 2);
}

} // namespace
