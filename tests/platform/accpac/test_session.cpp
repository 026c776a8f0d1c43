// Sign-on, the session's company data, currencies, applications and usrValidate.
#include "testsite.h"

#include <accpac/usrvalidate.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QFile>

namespace {

std::unique_ptr<AccpacSession> newSession()
{
    auto session = Accpac::createSession();
    session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"), QStringLiteral("53A"));
    return session;
}

TEST(AccpacSession, SignOnRefusalsLeaveTheSessionUnopened)
{
    TestSite site;
    struct Case
    {
        QString company, user, password;
        const char* says;
    };
    Accpac::Admin::addUser(site.folder, QStringLiteral("NOACC"), QStringLiteral("No access"),
                           QStringLiteral("pw"), Accpac::Admin::HashStrength::Minimal);
    const Case cases[] = {
        {"SAMINC", "ADMIN", "wrong", "Invalid user ID or password"},
        {"SAMINC", "NOBODY", "ADMIN", "Invalid user ID or password"},
        {"SAMINC", "", "", "Please enter a user ID"},
        {"OTHER", "ADMIN", "ADMIN", "not set up"},
        {"SAMINC", "TEMP", "TEMP", "disabled"},
        {"SAMINC", "NOACC", "pw", "no access"},
    };
    for (const Case& c : cases) {
        auto session = newSession();
        EXPECT_FALSE(Accpac::Testing::signOn(*session, site.folder, c.company, c.user, c.password));
        EXPECT_FALSE(session->IsOpened());
        ASSERT_EQ(session->Errors().Count(), 1);
        EXPECT_TRUE(session->Errors().Message(0).contains(QLatin1String(c.says)))
            << session->Errors().Message(0).toStdString();
        EXPECT_THROW(session->OpenDBLink(1, 0), ComError);
    }
    // User IDs are not case-sensitive at sign-on; the session reports the stored ID.
    auto session = newSession();
    ASSERT_TRUE(Accpac::Testing::signOn(*session, site.folder, "saminc", "clerk", "CLERK"));
    EXPECT_EQ(session->UserID(), "CLERK");
}

TEST(AccpacSession, MissingOrDamagedCompanyFileIsASignOnFailure)
{
    TestSite site;
    const QString file = Accpac::Admin::companyDatabaseFile(site.folder, Sample::CompanyId);
    // On a server the company's schema goes away, then comes back without its profile.
    const QString schema = QStringLiteral("company_saminc");
    if (TestStore::onServer())
        ASSERT_EQ(TestStore::execute(file, "ALTER SCHEMA " + schema + " RENAME TO away"), "");
    else
        ASSERT_TRUE(QFile::rename(file, file + ".away"));
    auto session = newSession();
    EXPECT_FALSE(Accpac::Testing::signOn(*session, site.folder, "SAMINC", "ADMIN", "ADMIN"));
    EXPECT_TRUE(session->Errors().Message(0).contains("missing"))
        << session->Errors().Message(0).toStdString();

    if (TestStore::onServer()) {
        ASSERT_EQ(TestStore::execute(file, "ALTER SCHEMA away RENAME TO " + schema +
                                               "; DROP TABLE " + schema + ".CSCOM"),
                  "");
    } else {
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(8192, 'x'));
        damaged.close();
    }
    session = newSession();
    EXPECT_FALSE(Accpac::Testing::signOn(*session, site.folder, "SAMINC", "ADMIN", "ADMIN"));
    EXPECT_FALSE(session->IsOpened());
    EXPECT_TRUE(session->Errors().Message(0).contains("cannot be read"))
        << session->Errors().Message(0).toStdString();

    session = newSession();
    EXPECT_FALSE(
        Accpac::Testing::signOn(*session, site.dir.path() + "/nosite", "SAMINC", "ADMIN", "ADMIN"));
    EXPECT_TRUE(session->Errors().Message(0).contains("No site"));
}

TEST(AccpacSession, CompanyCurrenciesAndApplications)
{
    TestSite site;
    auto session = site.signOn();
    ASSERT_TRUE(session);
    session->Configure(0);
    auto link = session->OpenDBLink(1, 0);
    EXPECT_EQ(session->Company().ID(), "SAMINC");
    EXPECT_EQ(session->Company().HomeCurrency(), "USD");
    EXPECT_EQ(link->Company().Name(), "Sample Company Inc.");
    EXPECT_EQ(&link->Session(), session.get());
    EXPECT_EQ(session->UserID(), "ADMIN");

    const AccpacCurrency usd = session->GetCurrency(QStringLiteral("USD"));
    EXPECT_EQ(usd.Symbol(), "$");
    EXPECT_EQ(usd.Decimals(), 2);
    EXPECT_EQ(usd.SymbolPosition(), 2);
    EXPECT_EQ(usd.NegativeDisplay(), 3);
    EXPECT_EQ(usd.ThousandSeparator(), int(','));
    EXPECT_EQ(usd.DecimalSeparator(), int('.'));
    const AccpacCurrency eur = session->GetCurrency(QStringLiteral("eur "));
    EXPECT_EQ(eur.DecimalSeparator(), int(','));
    EXPECT_EQ(session->GetCurrency(QStringLiteral("JPY")).Decimals(), 0);
    EXPECT_THROW(session->GetCurrency(QStringLiteral("XYZ")), ComError);
    ASSERT_EQ(session->Errors().Count(), 1);
    EXPECT_TRUE(session->Errors().Message(0).contains("XYZ"));

    const AccpacActiveApplications apps = link->ActiveApplications();
    ASSERT_EQ(apps.Count(), 3);
    QStringList listed;
    for (int i = 0; i < apps.Count(); ++i)
        listed << apps.Item(i).AppID() + " " + apps.Item(i).Version();
    EXPECT_EQ(listed, QStringList({"AS 56A", "AR 56A", "OE 56A"}));
    EXPECT_THROW(apps.Item(3), ComError);

    // After Close the link and its views refuse work.
    auto view = link->OpenView(QStringLiteral("BK0001"));
    link->Close();
    EXPECT_THROW(link->OpenView(QStringLiteral("BK0001")), ComError);
    session->Close();
    EXPECT_FALSE(session->IsOpened());
    EXPECT_THROW(view->Read(), ComError);
}

TEST(AccpacSession, SignonObjectUsesTheScriptedAnswer)
{
    TestSite site;
    Accpac::setSiteFolder(site.folder);
    auto signon = Accpac::createSignon();

    Accpac::Testing::scriptSignonCancel();
    auto session = Accpac::createSession();
    EXPECT_THROW(signon->SignOn(*session), ComError); // Init comes first
    session->Errors().Clear();
    session->Init(QString(), "AS", "AS0001", "53A");
    signon->SignOn(*session);
    EXPECT_FALSE(session->IsOpened());
    EXPECT_EQ(session->Errors().Count(), 0);

    Accpac::Testing::scriptSignon({"SAMINC", "SUPER", "bad"});
    signon->SignOn(*session);
    EXPECT_FALSE(session->IsOpened());
    EXPECT_EQ(session->Errors().Count(), 1);

    Accpac::Testing::setSignonAnswer(Accpac::Testing::SignonAnswer{"SAMINC", "SUPER", "SUPER"});
    signon->SignOn(*session);
    EXPECT_TRUE(session->IsOpened());
    EXPECT_EQ(session->Errors().Count(), 1); // the earlier refusal stays until cleared
    Accpac::Testing::clearSignonScript();
}

TEST(AccpacSession, UsrValidateChecksTheVerifiers)
{
    TestSite site;
    Accpac::setSiteFolder(site.folder);
    EXPECT_EQ(usrValidate(0, "ADMIN   ", "ADMIN"), 0);
    EXPECT_EQ(usrValidate(0, "admin", "ADMIN"), 0);
    EXPECT_EQ(usrValidate(0, "SUPER   ", "SUPER"), 0);
    // Passwords do not depend on case (the program's password boxes type capitals).
    EXPECT_EQ(usrValidate(0, "SUPER   ", "super"), 0);
    EXPECT_NE(usrValidate(0, "SUPER   ", "SUPE"), 0);
    EXPECT_NE(usrValidate(0, "NOBODY  ", "x"), 0);
    EXPECT_NE(usrValidate(0, "", ""), 0);
    Accpac::setSiteFolder(site.dir.path() + "/nosite");
    EXPECT_NE(usrValidate(0, "ADMIN   ", "ADMIN"), 0);
}

// A password the sign-on accepts is accepted by usrValidate in the ANSI code page
// (Windows-1252: the euro sign is 0x80, e-acute 0xE9), in either case.
TEST(AccpacSession, UsrValidateReadsTheAnsiCodePage)
{
    TestSite site;
    const QString password = QString::fromUtf8("prix\u20ac\u00e9");
    Accpac::Admin::addUser(site.folder, QStringLiteral("EURO"), QStringLiteral("Euro"), password,
                           Accpac::Admin::HashStrength::Minimal);
    Accpac::Admin::addAuthorisation(site.folder, QStringLiteral("EURO"), Sample::CompanyId,
                                    QStringLiteral("OE"), QStringLiteral("OECLERK"));
    for (const QString& typed : {password, password.toUpper()}) {
        auto session = newSession();
        EXPECT_TRUE(Accpac::Testing::signOn(*session, site.folder, Sample::CompanyId,
                                            QStringLiteral("EURO"), typed));
    }
    Accpac::setSiteFolder(site.folder);
    EXPECT_EQ(usrValidate(0, "EURO    ", QByteArray("prix\x80\xe9")), 0);
    EXPECT_EQ(usrValidate(0, "EURO    ", QByteArray("PRIX\x80\xc9")), 0);
    EXPECT_NE(usrValidate(0, "EURO    ",
                          QByteArray("prix\x80"
                                     "e")),
              0);
    EXPECT_NE(usrValidate(0, "EURO    ", password.toUtf8()), 0);
}

} // namespace
