#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/session.h>
#include <core/systemlocale.h>

#include <accpac/standin.h>
#include <system/comerror.h>

#include <samplesite.h>
#include <scriptedboxes.h>

#include <gtest/gtest.h>

using namespace modGeneral;

namespace {

int opens(const QList<Accpac::Testing::ViewCall>& log)
{
    int count = 0;
    for (const auto& call : log)
        count += call.operation == QLatin1String("OpenView");
    return count;
}

QList<Accpac::Testing::ViewCall> logOf(const std::function<void()>& body)
{
    Accpac::Testing::setCallLogEnabled(*AppSession, true);
    Accpac::Testing::clearCallLog(*AppSession);
    body();
    const auto log = Accpac::Testing::callLog(*AppSession);
    Accpac::Testing::setCallLogEnabled(*AppSession, false);
    return log;
}

} // namespace

TEST(LookUps, DescribeAndValidateAgainstTheCompany)
{
    SampleSite site;
    ASSERT_TRUE(site.signedOn());
    ScriptedBoxes boxes;
    EXPECT_EQ(Return_BankCodeDesc(QStringLiteral(" SPRINGBK ")),
              QStringLiteral("Springfield National Bank"));
    EXPECT_TRUE(Valid_BankCode(QStringLiteral("SPRINGBK")));
    EXPECT_FALSE(Valid_BankCode(QStringLiteral("OLDBANK"))); // inactive
    EXPECT_EQ(Return_BankCodeDesc(QStringLiteral("OLDBANK")),
              QStringLiteral("Old Mercantile Bank (closed)"));
    EXPECT_FALSE(Valid_BankCode(QStringLiteral("NOSUCH")));
    EXPECT_EQ(Return_BankCodeDesc(QStringLiteral("NOSUCH")), QString());

    EXPECT_EQ(Return_MiscChargeDesc(QStringLiteral("DEL")), QStringLiteral("Delivery charge"));
    EXPECT_TRUE(Valid_MiscCharge(QStringLiteral("DEL")));
    EXPECT_FALSE(Valid_MiscCharge(QStringLiteral("XYZ")));

    EXPECT_EQ(Return_RecTypeDesc(QStringLiteral("CHECK")), QStringLiteral("Cheque"));
    EXPECT_TRUE(Valid_RecType(QStringLiteral("CASH")));
    EXPECT_FALSE(Valid_RecType(QStringLiteral("OLDCARD"))); // not active
    EXPECT_FALSE(Valid_RecType(QStringLiteral("NOPE")));

    EXPECT_EQ(Return_UserName(QStringLiteral("ADMIN")).left(3), QStringLiteral(" - "));
    EXPECT_GT(Return_UserName(QStringLiteral("ADMIN")).size(), 3);
    EXPECT_EQ(Return_UserName(QStringLiteral("NOBODY")), QString());

    EXPECT_TRUE(Valid_DeliveryCustomer(QStringLiteral("1200")));
    EXPECT_FALSE(Valid_DeliveryCustomer(QStringLiteral("1105"))); // flagged false
    EXPECT_FALSE(Valid_DeliveryCustomer(QStringLiteral("1210"))); // no optional field
    EXPECT_FALSE(Valid_DeliveryCustomer(QStringLiteral("9999")));
    EXPECT_EQ(Return_CustCurCode(QStringLiteral("1400")), QStringLiteral("CAD"));
    EXPECT_EQ(Return_CustCurCode(QStringLiteral("9999")), QString());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join(QStringLiteral(" | ")).toStdString();
}

TEST(LookUps, BlankCodesOpenNoViewAndEveryViewIsClosed)
{
    SampleSite site;
    ASSERT_TRUE(site.signedOn());
    const auto blank = logOf([] {
        EXPECT_EQ(Return_BankCodeDesc(QStringLiteral("   ")), QString());
        EXPECT_FALSE(Valid_BankCode(QString()));
        EXPECT_FALSE(Valid_RecType(QStringLiteral(" ")));
        EXPECT_EQ(Return_RecTypeDesc(QString()), QString());
        EXPECT_FALSE(Valid_MiscCharge(QString()));
        EXPECT_EQ(Return_UserName(QString()), QString());
        EXPECT_FALSE(Valid_DeliveryCustomer(QString()));
        EXPECT_EQ(Return_CustCurCode(QStringLiteral("  ")), QString());
    });
    EXPECT_EQ(opens(blank), 0);

    const auto read = logOf([] { Valid_BankCode(QStringLiteral("SPRINGBK")); });
    const QStringList operations = [&] {
        QStringList list;
        for (const auto& call : read)
            list << call.operation + QLatin1Char(' ') + call.arguments.join(QLatin1Char(','));
        return list;
    }();
    EXPECT_EQ(operations.first(), QStringLiteral("OpenView "));
    EXPECT_TRUE(operations.contains(QStringLiteral("SetOrder 0")));
    EXPECT_EQ(operations.last(), QStringLiteral("Close "));
}

TEST(LookUps, ReceiptTypeKeyFollowsTheReceivablesVersion)
{
    const QList<std::pair<QString, QString>> keys = {{QStringLiteral("53A"), "CODPAYMTYP"},
                                                     {QStringLiteral("54A"), "PAYMCODE"},
                                                     {QStringLiteral("60A"), "PAYMCODE"}};
    for (const auto& [version, key] : keys) {
        Sample::Options options = SampleSite::small();
        options.arVersion = version;
        SampleSite site(options);
        ASSERT_TRUE(site.signedOn());
        ScriptedBoxes boxes;
        EXPECT_EQ(Version_APModule(QStringLiteral("AR")), version);
        const auto log = logOf([] {
            EXPECT_EQ(Return_RecTypeDesc(QStringLiteral("VISA")), QStringLiteral("Visa"));
            EXPECT_TRUE(Valid_RecType(QStringLiteral("VISA")));
        });
        const QString otherKey = key == QLatin1String("PAYMCODE") ? QStringLiteral("CODPAYMTYP")
                                                                  : QStringLiteral("PAYMCODE");
        int keyed = 0;
        for (const auto& call : log) {
            if (call.operation == QLatin1String("SetValue"))
                keyed += call.arguments.value(0) == key;
            EXPECT_NE(call.arguments.value(0), otherKey) << version.toStdString();
        }
        EXPECT_EQ(keyed, 2) << version.toStdString();
        EXPECT_TRUE(boxes.shown.isEmpty()) << version.toStdString();
    }
}

TEST(Session, VersionsOfTheActiveApplications)
{
    SampleSite site;
    ASSERT_TRUE(site.signedOn());
    EXPECT_EQ(Version_APModule(QStringLiteral("OE")), QStringLiteral("56A"));
    EXPECT_EQ(Version_APModule(QStringLiteral(" OE")), QStringLiteral("56A"));
    EXPECT_EQ(Version_APModule(QStringLiteral("GL")), QString());

    Sample::Options withoutOrderEntry = SampleSite::small();
    withoutOrderEntry.withOrderEntry = false;
    SampleSite other(withoutOrderEntry);
    ASSERT_TRUE(other.signedOn());
    EXPECT_EQ(Version_APModule(QStringLiteral("OE")), QString());
}

TEST(Session, AVersionQueryWithoutASessionIsReportedAndAnswersNothing)
{
    ScriptedBoxes boxes;
    Close_Connections();
    EXPECT_EQ(Version_APModule(QStringLiteral("OE")), QString());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(boxes.shown[0].text.startsWith(
        QStringLiteral("91; Object variable or With block variable not set")))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("modGeneral.Version_APModule")));
}

TEST(Session, OpenConnectionsThroughTheSignOnAndItsCancel)
{
    ScriptedBoxes boxes;
    SampleSite site;
    Close_Connections();
    Accpac::setSiteFolder(site.folder());

    Accpac::Testing::scriptSignonCancel();
    EXPECT_FALSE(Open_Connections());
    Accpac::Testing::setSignonAnswer(Accpac::Testing::SignonAnswer{
        Sample::CompanyId, QStringLiteral("CLERK"), QStringLiteral("wrong")});
    EXPECT_FALSE(Open_Connections());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join(QStringLiteral(" | ")).toStdString();

    Accpac::Testing::setSignonAnswer(
        Accpac::Testing::SignonAnswer{Sample::CompanyId, Sample::ClerkId, Sample::ClerkPassword});
    ASSERT_TRUE(Open_Connections());
    EXPECT_EQ(AppCompany.Name(), QStringLiteral("Sample Company Inc."));
    EXPECT_EQ(AppDBLink->Session().UserID(), Sample::ClerkId);
    Accpac::Testing::clearSignonScript();
    Close_Connections();
    EXPECT_EQ(AppSession, nullptr);
    EXPECT_EQ(AppDBLink, nullptr);
}

TEST(Session, OpenConnectionsDropsAlreadyOpenAndEFailAndReportsTheRest)
{
    using Accpac::Testing::SessionCall;
    ScriptedBoxes boxes;
    SampleSite site;
    Close_Connections();
    Accpac::setSiteFolder(site.folder());
    Accpac::Testing::setSignonAnswer(
        Accpac::Testing::SignonAnswer{Sample::CompanyId, Sample::ClerkId, Sample::ClerkPassword});
    const auto failingCall = [](SessionCall call, std::int32_t number, bool errorEntry) {
        Accpac::Testing::failSessionCall(
            {call, number, QStringLiteral("Injected failure."), errorEntry});
        const bool opened = Open_Connections();
        Accpac::Testing::clearSessionFault();
        Close_Connections();
        return opened;
    };

    const QList<SessionCall> calls = {SessionCall::Init, SessionCall::SignOn,
                                      SessionCall::Configure, SessionCall::OpenDBLink};
    for (const SessionCall call : calls) {
        const int index = int(calls.indexOf(call));
        for (const std::int32_t silent : {ComErrorNumber::AlreadyOpen, ComErrorNumber::E_Fail}) {
            EXPECT_FALSE(failingCall(call, silent, true)) << index << ' ' << silent;
            EXPECT_TRUE(boxes.shown.isEmpty())
                << index << ' ' << boxes.texts().join(QStringLiteral(" | ")).toStdString();
        }

        // Any other number: the session's error entry, under the routine's name.
        EXPECT_FALSE(failingCall(call, -2147204095, true)) << index;
        ASSERT_EQ(boxes.shown.size(), 1) << index;
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("Injected failure.\r\nIn procedure modGeneral.Open_Connections."));
        boxes.shown.clear();

        // With no entry in the collection, the number and text in the generic box.
        EXPECT_FALSE(failingCall(call, ComErrorNumber::OutOfMemory, false)) << index;
        ASSERT_EQ(boxes.shown.size(), 1) << index;
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("7; Injected failure.\r\n\nIn Procedure: "
                                 "modGeneral.Open_Connections.\r\n\nPlease contact Norvane if "
                                 "the error occurs frequenly."));
        boxes.shown.clear();
    }

    // A fault fires once: the next start signs on as usual.
    Accpac::Testing::failSessionCall({SessionCall::OpenDBLink, ComErrorNumber::E_Fail});
    EXPECT_FALSE(Open_Connections());
    Close_Connections();
    ASSERT_TRUE(Open_Connections());
    EXPECT_EQ(AppCompany.Name(), QStringLiteral("Sample Company Inc."));
    EXPECT_TRUE(boxes.shown.isEmpty());
    Accpac::Testing::clearSignonScript();
    Close_Connections();
}

TEST(DisplayAccpacCurrency, FormatsByTheCurrencysOwnRules)
{
    SampleSite site;
    ASSERT_TRUE(site.signedOn());
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    ScriptedBoxes boxes;
    QString usd = QStringLiteral("USD");
    EXPECT_EQ(Display_AccpacCurrency(1234567.5, usd, true), QStringLiteral("$1,234,567.50"));
    EXPECT_EQ(Display_AccpacCurrency(-45, usd, true), QStringLiteral("$(45.00)"));
    EXPECT_EQ(Display_AccpacCurrency(999, usd, true), QStringLiteral("$999.00"));
    EXPECT_EQ(Display_AccpacCurrency(1000, usd, true), QStringLiteral("$1,000.00"));
    EXPECT_EQ(Display_AccpacCurrency(1000, usd, false), QStringLiteral("1,000.00"));
    EXPECT_EQ(Display_AccpacCurrency(1234567890, usd, false), QStringLiteral("1234,567,890.00"));

    QString home;
    EXPECT_EQ(Display_AccpacCurrency(5, home, true), QStringLiteral("$5.00"));
    EXPECT_EQ(home, QStringLiteral("USD"));

    QString yen = QStringLiteral("JPY");
    EXPECT_EQ(Display_AccpacCurrency(12.7, yen, false), QStringLiteral("12"));
    QString euro = QStringLiteral("EUR");
    EXPECT_EQ(Display_AccpacCurrency(-1234.5, euro, true),
              QStringLiteral("-1.234,50 ") + QString::fromUtf8("\u20ac"));
    QString cad = QStringLiteral("CAD");
    EXPECT_EQ(Display_AccpacCurrency(7.25, cad, true), QStringLiteral("C$ 7.25"));
    EXPECT_TRUE(boxes.shown.isEmpty());

    EXPECT_EQ(Display_AccpacCurrency(2147483648.0, usd, true), QString());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("6; Overflow\r\n")));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("modGeneral.Display_AccpacCurrency")));
    EXPECT_EQ(Display_AccpacCurrency(2147483647.0, usd, false), QStringLiteral("2147,483,647.00"));
}

TEST(FormatHelpers, DecimalsPaddingAndArrays)
{
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(Format_Decimals(1234.5, 0), QStringLiteral("1,235"));
    EXPECT_EQ(Format_Decimals(1234.5, 2), QStringLiteral("1,234.50"));
    EXPECT_EQ(Format_Decimals(0.5, 7), QStringLiteral("0.5000000"));
    EXPECT_EQ(Format_Decimals(1.5, 9), QStringLiteral("1.50000"));
    EXPECT_EQ(Format_Decimals(1.5, -1), QStringLiteral("1.50000"));
    EXPECT_EQ(Format_Decimals(QStringLiteral("0.125"), 2), QStringLiteral("0.13"));

    QString text = QStringLiteral("  ADMIN  ");
    EXPECT_EQ(Pad_Right(text, 8, QLatin1Char(' ')), QStringLiteral("ADMIN        "));
    EXPECT_EQ(text, QStringLiteral("ADMIN"));
    QString longer = QStringLiteral("SUPERVISOR1");
    EXPECT_EQ(Pad_Right(longer, 8, QLatin1Char('*')), QStringLiteral("SUPERVIS********"));

    std::optional<QList<int>> array;
    EXPECT_FALSE(ArrayHasElements(array));
    array = QList<int>{};
    EXPECT_TRUE(ArrayHasElements(array));
    array.reset();
    EXPECT_FALSE(ArrayHasElements(array));
}
