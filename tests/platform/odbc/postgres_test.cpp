// The connection and record set through unixODBC and psqlODBC against a private
// PostgreSQL server: refused logins and their numbers, passwords with any characters, the
// engine-2 style of statement, and statement failures.

#include "odbctestconfig.h"
#include "pgserver.h"

#include <odbc/connection.h>
#include <odbc/connectionstring.h>
#include <odbc/datasource.h>
#include <odbc/recordset.h>

#include <system/comerror.h>

#include <QDate>
#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Dsn = QStringLiteral("Tallymerge PostgreSQL");

class PostgresOdbc : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        OdbcTestConfig::instance();
        if (!PostgresServer::available())
            return;
        s_server = std::make_unique<PostgresServer>();
        OdbcDataSource::registerDataSource(Dsn, OdbcTestConfig::postgresDriver(),
                                           s_server->odbcAttributes());
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override
    {
        if (!s_server)
            GTEST_SKIP() << "PostgreSQL is not installed";
    }

    static QString login(const QString& user, const QString& password)
    {
        return "DSN=" + Dsn + ";" + OdbcConnectionString::attribute("UID", user) + ";" +
               OdbcConnectionString::attribute("PWD", password);
    }

    // The number Open throws, 0 when it opens; the connection is closed again.
    static std::int32_t openFailure(Connection& connection, const QString& text)
    {
        try {
            connection.Open(text);
        } catch (const ComError& error) {
            EXPECT_EQ(connection.State(), adStateClosed);
            return error.number();
        }
        connection.Close();
        return 0;
    }

    static inline std::unique_ptr<PostgresServer> s_server;
};

TEST_F(PostgresOdbc, RefusedLoginsGiveTheProgramsNumbers)
{
    const PostgresServer& pg = *s_server;
    Connection connection;
    EXPECT_EQ(openFailure(connection, login(pg.user(), pg.password())), 0);

    // Wrong password: refused as authentication, the driver's text in the collection.
    EXPECT_EQ(openFailure(connection, "Provider=MSDASQL;" + login(pg.user(), "wrong")),
              ComErrorNumber::AuthFailed);
    ASSERT_GE(connection.Errors().Count(), 1);
    const AdoError refused = connection.Errors().Item(0);
    EXPECT_EQ(refused.Number, ComErrorNumber::AuthFailed);
    EXPECT_TRUE(refused.Description.startsWith("[unixODBC]")) << refused.Description.toStdString();
    EXPECT_TRUE(refused.Description.contains("password authentication failed"));
    EXPECT_EQ(refused.SQLState.size(), 5);
    EXPECT_FALSE(refused.Source.isEmpty());

    EXPECT_EQ(openFailure(connection, login("nobody_here", "x")), ComErrorNumber::AuthFailed);

    // A role without the right to connect to the database.
    pg.createRole("outsider", "Outsider-1");
    pg.execute("REVOKE CONNECT ON DATABASE tallymerge FROM PUBLIC", "postgres");
    EXPECT_EQ(openFailure(connection, login("outsider", "Outsider-1")),
              ComErrorNumber::PermissionDenied);
    EXPECT_TRUE(connection.Errors().Item(0).Description.contains("permission denied"));

    // A database that does not exist, a server that does not answer, an unknown source.
    const QString driver =
        "Driver={" + OdbcTestConfig::postgresDriver() + "};Servername=127.0.0.1;SSLmode=disable;";
    EXPECT_EQ(openFailure(connection, driver + QString("Port=%1;Database=nosuch;UID=%2;PWD=%3")
                                                   .arg(pg.port())
                                                   .arg(pg.user(), pg.password())),
              ComErrorNumber::E_Fail);
    EXPECT_EQ(openFailure(connection, driver + "Port=1;Database=x;UID=a;PWD=b"),
              ComErrorNumber::E_Fail);
    EXPECT_EQ(openFailure(connection, "DSN=Nowhere;UID=a;PWD=b"), ComErrorNumber::E_Fail);

    // A data source that stores the login (what integrated authentication stands for):
    // the string names the source alone, or gives an empty user and password.
    auto stored = pg.odbcAttributes();
    stored.append({"Username", pg.user()});
    stored.append({"Password", pg.password()});
    OdbcDataSource::registerDataSource("Stored Login", OdbcTestConfig::postgresDriver(), stored);
    EXPECT_EQ(openFailure(connection, "Provider=MSDASQL;DSN=Stored Login"), 0);
    EXPECT_EQ(openFailure(connection, "DSN=Stored Login;UID=;PWD="), 0);
    stored.last().second = "stale";
    OdbcDataSource::registerDataSource("Stored Login", OdbcTestConfig::postgresDriver(), stored);
    EXPECT_EQ(openFailure(connection, "DSN=Stored Login"), ComErrorNumber::AuthFailed);

    // Refusals leave the object reusable.
    EXPECT_EQ(openFailure(connection, login(pg.user(), pg.password())), 0);
}

// User names and passwords with the characters a connection string reserves reach the
// server intact, and only the exact password is accepted. Through a data source the pair
// goes to SQLConnect as it is; in a driver string psqlODBC unquotes a braced password but
// takes a braced user name literally, so that path is tested with a plain user name.
TEST_F(PostgresOdbc, AnyUserNameAndPasswordLogIn)
{
    const PostgresServer& pg = *s_server;
    const QString password = QStringLiteral("p;w{d}}x}=[a](b),c?*!@ {;} end");
    const QString user = QStringLiteral("clerk;{one}");
    pg.createRole(user, password);
    pg.createRole("clerk2", password);

    QString driverString = "Driver={" + OdbcTestConfig::postgresDriver() + "}";
    for (const auto& [keyword, value] : pg.odbcAttributes())
        driverString += ";" + OdbcConnectionString::attribute(keyword, value);
    driverString += ";UID=clerk2;";

    Connection connection;
    for (const auto& [text, expected] :
         {std::pair<QString, QString>{"Provider=MSDASQL;" + login(user, password), user},
          std::pair<QString, QString>{
              driverString + OdbcConnectionString::attribute("PWD", password), "clerk2"}}) {
        connection.Open(text);
        EXPECT_EQ(connection.State(), adStateOpen) << text.toStdString();
        Recordset who;
        who.Open("SELECT current_user AS WHO", connection);
        EXPECT_EQ(who.Fields("WHO").Value.toString(), expected);
        connection.Close();
    }
    // User and password given to Open beside the string.
    connection.Open("DSN=" + Dsn, user, password);
    EXPECT_EQ(connection.DefaultDatabase(), "tallymerge");
    EXPECT_EQ(connection.ServerName(), pg.host());
    connection.Close();

    EXPECT_EQ(openFailure(connection, login(user, password.chopped(1))),
              ComErrorNumber::AuthFailed);
    EXPECT_EQ(openFailure(connection, driverString + OdbcConnectionString::attribute("PWD", "p;w")),
              ComErrorNumber::AuthFailed);
}

TEST_F(PostgresOdbc, ReadsPlainNameStatementsWithTheirTypes)
{
    const PostgresServer& pg = *s_server;
    pg.execute("CREATE TABLE oeordh (ordnumber char(22), customer varchar(12), bilname text,"
               " complete smallint, shipvia varchar(6), orddate numeric(9,0),"
               " total numeric(19,2), onhold boolean, created timestamp, due date,"
               " ident bigint, raw bytea);"
               "INSERT INTO oeordh VALUES ('ORD000001', '1200', 'Café ''Zürich''', 1, '',"
               " 20240131, 1234.56, false, '2024-01-31 13:45:10.25', '2024-02-29',"
               " 9000000000, '\\x00ff');"
               "INSERT INTO oeordh VALUES ('ORD000002', '1300', NULL, 3, '9', 20240201, 0,"
               " true, NULL, NULL, NULL, NULL);"
               "ALTER TABLE oeordh OWNER TO " +
               pg.user());
    Connection connection;
    connection.setCursorLocation(adUseServer);
    connection.setCommandTimeout(0);
    connection.Open("DSN=" + Dsn + ";UID=" + pg.user() + ";PWD=" + pg.password());
    EXPECT_EQ(connection.DefaultDatabase(), "tallymerge");

    Recordset orders;
    orders.Open("SELECT ORDNUMBER,CUSTOMER,BILNAME,COMPLETE,SHIPVIA,ORDDATE,TOTAL,ONHOLD,CREATED,"
                "DUE,IDENT,RAW FROM OEORDH WHERE (COMPLETE < 4) AND (SHIPVIA = '') ORDER BY "
                "ORDNUMBER",
                connection);
    ASSERT_FALSE(orders.Eof());
    EXPECT_EQ(orders.Fields("ORDNUMBER").Value.toString(), "ORD000001" + QString(13, ' '));
    EXPECT_EQ(orders.Fields("BILNAME").Value.toString(), QString::fromUtf8("Café 'Zürich'"));
    EXPECT_EQ(orders.Fields("COMPLETE").Value, QVariant(1));
    EXPECT_EQ(orders.Fields("ORDDATE").Value.toString(), "20240131");
    EXPECT_EQ(orders.Fields("TOTAL").Value.typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(orders.Fields("TOTAL").Value.toDouble(), 1234.56);
    EXPECT_EQ(orders.Fields("ONHOLD").Value.toBool(), false);
    EXPECT_EQ(orders.Fields("CREATED").Value.toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(13, 45, 10, 250)));
    EXPECT_EQ(orders.Fields("DUE").Value.toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(orders.Fields("IDENT").Value.toLongLong(), 9000000000LL);
    EXPECT_EQ(orders.Fields("RAW").Value.toByteArray(), QByteArray("\x00\xff", 2));
    orders.MoveNext();
    EXPECT_TRUE(orders.Eof()); // the second order is complete and has a ship-via code
    orders.Close();

    orders.Open("SELECT BILNAME, CREATED, IDENT FROM OEORDH WHERE COMPLETE = 3", connection);
    EXPECT_TRUE(orders.Fields("BILNAME").Value.isNull());
    EXPECT_TRUE(orders.Fields("CREATED").Value.isNull());
    EXPECT_TRUE(orders.Fields("IDENT").Value.isNull());
}

TEST_F(PostgresOdbc, StatementFailuresAndTheirNumbers)
{
    const PostgresServer& pg = *s_server;
    pg.execute("CREATE TABLE secret (x int)");
    Connection connection;
    connection.Open("DSN=" + Dsn + ";UID=" + pg.user() + ";PWD=" + pg.password());
    const auto failure = [&](const QString& sql) -> std::int32_t {
        Recordset recordset;
        try {
            recordset.Open(sql, connection);
        } catch (const ComError& error) {
            EXPECT_GE(connection.Errors().Count(), 1) << sql.toStdString();
            EXPECT_EQ(connection.Errors().Item(0).Number, error.number());
            EXPECT_EQ(recordset.State(), adStateClosed);
            return error.number();
        }
        return 0;
    };
    EXPECT_EQ(failure("SELECT * FROM nosuch"), AdoErrorNumber::NoSuchTable);
    EXPECT_EQ(connection.Errors().Item(0).SQLState, "42P01");
    EXPECT_EQ(failure("SELECT * FROM secret"), ComErrorNumber::PermissionDenied);
    EXPECT_EQ(failure("SELEC 1"), AdoErrorNumber::ErrorsInCommand);

    connection.setCommandTimeout(1);
    EXPECT_EQ(failure("SELECT pg_sleep(10)"), AdoErrorNumber::TimeoutExpired);

    // The connection is dropped by the server: the next statement fails, it does not hang.
    pg.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = " +
               PostgresServer::quoteLiteral(pg.user()));
    EXPECT_EQ(failure("SELECT 1"), ComErrorNumber::E_Fail);
    connection.Close();
}

} // namespace
