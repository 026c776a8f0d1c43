#include "configurewindow.h"

#include <settings/cryption.h>

#include <odbc/datasource.h>

#include <odbctestconfig.h>
#include <pgserver.h>

using modGeneral::MsgIcon;

namespace {

const QString ConnectionFailedText =
    QStringLiteral("Tallymerge was unable to connect to the MS SQL database.\r\n\n"
                   "Please ensure that your MS SQL Server is running\r\n"
                   "and that you have a valid ODBC system DSN that is\r\n"
                   "connected to the correct database.");

class OdbcTestWindowTest : public ConfigureWindowTest
{
protected:
    static void SetUpTestSuite() { OdbcTestConfig::instance(); }

    void setConnection(const QString& dsn, const QString& user = {}, const QString& password = {})
    {
        showPage(1);
        ui().vreDSN->setText(dsn);
        if (user.isNull() && password.isNull()) {
            ui().optAuth->click();
            return;
        }
        ui().optUser->click();
        ui().vreUName->setText(user);
        ui().vrePWD->setText(password);
    }
    void expectConnectionFailed()
    {
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Database Connection Failed"));
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].text, ConnectionFailedText);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreDSN->innerEdit()->hasFocus(); }, 2000));
        EXPECT_EQ(ui().vreDSN->innerEdit()->selectedText(), ui().vreDSN->text());
        boxes.shown.clear();
    }
    void expectSuccess()
    {
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Success"));
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Information);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("ODBC connection successful!"));
        boxes.shown.clear();
    }
};

} // namespace

TEST_F(OdbcTestWindowTest, WindowsAuthenticationAgainstTheSampleDataSource)
{
    OdbcDataSource::registerDataSource(QStringLiteral("TMCFG"), OdbcTestConfig::sqliteDriver(),
                                       {{QStringLiteral("Database"), m_site->companyFile()}});
    open();
    setConnection(QStringLiteral("  TMCFG "));
    m_window->btnTest_Click();
    expectSuccess();
    EXPECT_EQ(ui().lblSQL->text(), QStringLiteral(" ") + m_site->companyFile());
    EXPECT_EQ(stored(Setting::Auth), QStringLiteral("True"));
    EXPECT_EQ(stored(Setting::DSN), QStringLiteral("TMCFG"));
    EXPECT_EQ(stored(Setting::DBName), m_site->companyFile());
    // The empty user name and password are stored scrambled.
    EXPECT_EQ(stored(Setting::DBUser), modCryption::EncryptPWD(QString()));
    EXPECT_FALSE(stored(Setting::DBUser).isEmpty());
    EXPECT_EQ(stored(Setting::DBPWD), modCryption::EncryptPWD(QString()));

    // A data source that does not exist: the connection message, nothing stored.
    setConnection(QStringLiteral("NOSUCHDSN"));
    m_window->btnTest_Click();
    expectConnectionFailed();
    EXPECT_EQ(stored(Setting::DSN), QStringLiteral("TMCFG"));
    EXPECT_EQ(ui().lblSQL->text(), QStringLiteral(" ") + m_site->companyFile());

    // Reopened, the window shows what the test stored.
    close();
    open();
    EXPECT_EQ(ui().vreDSN->text(), QStringLiteral("TMCFG"));
    EXPECT_EQ(ui().lblSQL->text(), QStringLiteral(" ") + m_site->companyFile());
    EXPECT_TRUE(ui().optAuth->isChecked());
}

TEST_F(OdbcTestWindowTest, ADataSourceNameIsNeverReadAsMoreAttributes)
{
    OdbcDataSource::registerDataSource(QStringLiteral("TMCFG"), OdbcTestConfig::sqliteDriver(),
                                       {{QStringLiteral("Database"), m_site->companyFile()}});
    OdbcDataSource::installDriver(QStringLiteral("Broken"),
                                  QStringLiteral("/nonexistent/libtmbroken.so"));
    OdbcDataSource::registerDataSource(QStringLiteral("TMBROKEN"), QStringLiteral("Broken"), {});
    open();
    // The whole text is one data source name, which does not exist: no second attribute
    // reaches the sample data source.
    for (const QString& dsn :
         {QStringLiteral("NOPE;DSN=TMCFG"), QStringLiteral("{TMCFG}"), QStringLiteral("TMCFG}")}) {
        setConnection(dsn);
        m_window->btnTest_Click();
        expectConnectionFailed();
    }
    // A data source whose driver cannot be loaded gets the same message.
    setConnection(QStringLiteral("TMBROKEN"), QStringLiteral("user"), QStringLiteral("pass"));
    m_window->btnTest_Click();
    expectConnectionFailed();
    for (const Setting::Entry* entry :
         {&Setting::DSN, &Setting::Auth, &Setting::DBUser, &Setting::DBPWD, &Setting::DBName})
        EXPECT_EQ(stored(*entry), QStringLiteral("<absent>")) << entry->name;
}

TEST_F(OdbcTestWindowTest, DatabaseUserAgainstPostgres)
{
    if (!PostgresServer::available())
        GTEST_SKIP() << "PostgreSQL is not installed";
    PostgresServer server;
    // A user name and a password with every character the connection string gives a meaning.
    const QString oddUser = QStringLiteral("clerk;{one}");
    const QString oddPassword = QStringLiteral("p;w{d}}x}=[a](b),c?*!@ {;} end");
    server.createRole(oddUser, oddPassword);
    OdbcDataSource::registerDataSource(QStringLiteral("TMCFGPG"), OdbcTestConfig::postgresDriver(),
                                       server.odbcAttributes());
    open();
    setConnection(QStringLiteral("TMCFGPG"), server.user(), QStringLiteral("wrong password"));
    m_window->btnTest_Click();
    expectConnectionFailed();
    EXPECT_EQ(stored(Setting::Auth), QStringLiteral("<absent>"));
    EXPECT_EQ(stored(Setting::DBUser), QStringLiteral("<absent>"));

    setConnection(QStringLiteral("TMCFGPG"), QStringLiteral(" ") + server.user(),
                  server.password());
    m_window->btnTest_Click();
    expectSuccess();
    EXPECT_EQ(ui().lblSQL->text(), QStringLiteral(" ") + server.database());
    EXPECT_EQ(stored(Setting::Auth), QStringLiteral("False"));
    EXPECT_EQ(stored(Setting::DSN), QStringLiteral("TMCFGPG"));
    EXPECT_EQ(stored(Setting::DBName), server.database());
    EXPECT_EQ(modCryption::DecryptPWD(stored(Setting::DBUser)), server.user());
    EXPECT_EQ(modCryption::DecryptPWD(stored(Setting::DBPWD)), server.password());

    setConnection(QStringLiteral("TMCFGPG"), oddUser, oddPassword);
    m_window->btnTest_Click();
    expectSuccess();
    EXPECT_EQ(modCryption::DecryptPWD(stored(Setting::DBUser)), oddUser);
    EXPECT_EQ(modCryption::DecryptPWD(stored(Setting::DBPWD)), oddPassword);

    // Reopened: the database user with the unscrambled name and password.
    close();
    open();
    EXPECT_TRUE(ui().optUser->isChecked());
    EXPECT_TRUE(ui().vreUName->isEnabled());
    EXPECT_EQ(ui().vreUName->text(), oddUser);
    EXPECT_EQ(ui().vrePWD->text(), oddPassword);
    EXPECT_TRUE(boxes.shown.isEmpty());
}
