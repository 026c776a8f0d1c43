// The credit approval window on its own, over a fresh sample company: what it shows, when it
// offers the approval, and whom it accepts.
#include "creditwindow.h"

#include <core/appstate.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <core/twips.h>

#include <accpac/standin.h>

#include <samplesite.h>
#include <scriptedboxes.h>

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace CreditWindow;
using modGeneral::MsgIcon;

namespace {

const QString InvalidText = QStringLiteral("A valid Sage Accpac ERP Username and Password must "
                                           "be entered.\r\nThe User must also have the required "
                                           "permissions to\r\napprove the additional credit.");

// Every test runs in each locale of LocalesOfTheWindows.
class CreditCheckWindow : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        SystemLocale::setLocale(QLocale(QLatin1String(GetParam())));
        Sample::Options options;
        options.orders = 0;
        site = std::make_unique<SampleSite>(options);
        ASSERT_TRUE(site->signedOn());
        using namespace Accpac::Admin;
        const QString folder = site->folder();
        const auto user = [&](const QString& id, const QString& password) {
            addUser(folder, id, id, password, HashStrength::Minimal);
        };
        const QString company = Sample::CompanyId;
        // Disabled TEMP and LOCKED would have the right, were they allowed in.
        addAuthorisation(folder, QStringLiteral("TEMP"), company, "OE", "OESUPER");
        user(QStringLiteral("LOCKED"), QStringLiteral("LOCKED"));
        addAuthorisation(folder, QStringLiteral("LOCKED"), company, "OE", "OESUPER");
        setUserFlags(folder, QStringLiteral("LOCKED"), false, true);
        // The right in another company only.
        user(QStringLiteral("ELSEWHER"), QStringLiteral("ELSEWHER"));
        addAuthorisation(folder, QStringLiteral("ELSEWHER"), company, "OE", "OECLERK");
        addAuthorisation(folder, QStringLiteral("ELSEWHER"), QStringLiteral("OTHER"), "OE",
                         "OESUPER");
        user(QStringLiteral("LONGUSER"), QStringLiteral("LONGUSER"));
        addAuthorisation(folder, QStringLiteral("LONGUSER"), company, "OE", "OESUPER");
        user(QStringLiteral("EURO"), QString::fromUtf8("prix\u20ac\u00e9"));
        addAuthorisation(folder, QStringLiteral("EURO"), company, "OE", "OESUPER");
        // A password that a character outside the code page, sent as "?", would match.
        user(QStringLiteral("QMARK"), QStringLiteral("PASS?"));
        addAuthorisation(folder, QStringLiteral("QMARK"), company, "OE", "OESUPER");
    }
    void TearDown() override
    {
        window.reset();
        site.reset();
        modGeneral::IsWinXP = false;
    }

    // The window as an invoice of customer 1200 past its limit by one cent shows it.
    frmCreditCheck& open(const QString& custId = QStringLiteral("1200"), double limit = 1000,
                         double outstanding = 800, double total = 200.01)
    {
        window = std::make_unique<frmCreditCheck>();
        window->Customer = QStringLiteral("Mr. Ronald Black");
        window->CustID = custId;
        window->m_CreditAvail = limit;
        window->m_dblOutstand = outstanding;
        window->Total = total;
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }
    Ui::frmCreditCheck& ui() { return *window->ui(); }

    // The views the rights look-up touched since the last call.
    QStringList securityCalls()
    {
        QStringList lines;
        for (const auto& call : Accpac::Testing::callLog(modGeneral::Session())) {
            if (call.viewId.startsWith(QLatin1String("AS")))
                lines << call.viewId + QLatin1Char(' ') + call.operation + QLatin1Char(' ') +
                             call.arguments.join(QLatin1Char('|'));
        }
        Accpac::Testing::clearCallLog(modGeneral::Session());
        return lines;
    }

    std::unique_ptr<SampleSite> site;
    std::unique_ptr<frmCreditCheck> window;
    ScriptedBoxes boxes;
};

QStringList column(QTreeWidget* list, int col)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts << list->topLevelItem(row)->text(col);
    return texts;
}

} // namespace

TEST_P(CreditCheckWindow, ShowsTheCreditPositionInTheCustomersCurrency)
{
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallymerge - Credit Approval"));
    EXPECT_EQ(window->height(), Twips::toPixels(5895, window->logicalDpiY()));
    EXPECT_EQ(ui().lblWarning->text(),
              QStringLiteral("Warning! Credit limit has been exceeded for this customer."));
    EXPECT_EQ(ui().lblCustomer->text(), QStringLiteral("Customer"));
    EXPECT_EQ(ui().lblName->text(), QStringLiteral(" Mr. Ronald Black"));
    EXPECT_EQ(ui().lblCredit->text(), QStringLiteral("Credit limit exceeded by:"));
    EXPECT_EQ(ui().lblUser->text(), QStringLiteral("Approved By"));
    EXPECT_EQ(ui().lblPWD->text(), QStringLiteral("Password"));
    EXPECT_EQ(ui().btnApprove->text(), QStringLiteral("&Approve"));
    EXPECT_EQ(ui().btnCancel->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(ui().vreUser->editType(), VrexEditbox::Uppercase);
    EXPECT_EQ(ui().vrePWD->editType(), VrexEditbox::Uppercase);
    EXPECT_EQ(ui().vrePWD->passwordChar(), QStringLiteral("*"));
    EXPECT_EQ(ui().vrePWD->innerEdit()->echoMode(), QLineEdit::Password);

    const QString blank = QStringLiteral(" ");
    EXPECT_EQ(column(ui().lvwCredit, 0),
              QStringList({"Credit Limit:", blank, "", "Total Outstanding:", blank,
                           "Total Amount:", blank, "Credit Available:"}));
    EXPECT_EQ(column(ui().lvwCredit, 1), QStringList(8, blank));
    // US dollars show negative amounts in brackets.
    EXPECT_EQ(column(ui().lvwCredit, 2),
              QStringList({"1,000.00", blank, blank, "800.00", blank, "200.01", blank, "(0.01)"}));
    EXPECT_EQ(ui().lblExceed->text(), QStringLiteral("(0.01)"));
    EXPECT_FALSE(ui().btnApprove->isEnabled());
    window.reset();

    // A customer in euros (point for thousands, comma for decimals, leading minus); the XP
    // look is a little taller.
    modGeneral::IsWinXP = true;
    open(QStringLiteral("1500"), 30000, 7800, 23456.78);
    EXPECT_EQ(window->height(), Twips::toPixels(6000, window->logicalDpiY()));
    EXPECT_EQ(column(ui().lvwCredit, 2), QStringList({"30.000,00", blank, blank, "7.800,00", blank,
                                                      "23.456,78", blank, "-1.256,78"}));
    EXPECT_EQ(ui().lblExceed->text(), QStringLiteral("-1.256,78"));
    // The customer's name and every other label show their text as it is, never as markup.
    for (const QLabel* label : window->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Only a change of the password box offers the approval; typing a user name does not.
TEST_P(CreditCheckWindow, ApproveIsOfferedByThePasswordBoxOnly)
{
    open();
    type(ui().vreUser, QStringLiteral("super"));
    EXPECT_EQ(ui().vreUser->text(), QStringLiteral("SUPER"));
    EXPECT_FALSE(ui().btnApprove->isEnabled());
    type(ui().vrePWD, QStringLiteral("s"));
    EXPECT_TRUE(ui().btnApprove->isEnabled());
    EXPECT_EQ(ui().vrePWD->text(), QStringLiteral("S"));
}

// Who may approve: a valid Accpac user, enabled, with "OECREDIT" in one of the "OE" profiles
// the user holds for this company; ADMIN without any look-up.
TEST_P(CreditCheckWindow, ApprovalNeedsAValidUserWithTheRightInThisCompany)
{
    frmCreditCheck& w = open();
    Accpac::Testing::setCallLogEnabled(modGeneral::Session(), true);

    // Empty or blank inputs are refused before the password is even checked.
    const int verifications = Accpac::Testing::passwordVerifications();
    EXPECT_FALSE(w.Valid_CreditApproval(QString(), QStringLiteral("SUPER")));
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("SUPER"), QStringLiteral("   ")));
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("  "), QStringLiteral("SUPER")));
    EXPECT_EQ(Accpac::Testing::passwordVerifications(), verifications);
    EXPECT_EQ(securityCalls(), QStringList());

    // ADMIN needs no rights; "admin" goes through the look-up and is not found there.
    EXPECT_TRUE(w.Valid_CreditApproval(QStringLiteral(" ADMIN "), QStringLiteral("ADMIN")));
    EXPECT_EQ(securityCalls(), QStringList());
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("admin"), QStringLiteral("ADMIN")));
    EXPECT_EQ(securityCalls(), QStringList({"AS0003 OpenView ", "AS0003 SetValue USERID|admin",
                                            "AS0003 Read ", "AS0003 Close "}));

    // SUPER holds OECLERK first and OESUPER second: the second profile carries the right.
    EXPECT_TRUE(w.Valid_CreditApproval(QStringLiteral("SUPER"), QStringLiteral("SUPER")));
    const QStringList superCalls = securityCalls();
    EXPECT_TRUE(superCalls.contains(
        "AS0002 Browse USERID = \"SUPER\" AND COMPANYID = \"SAMINC\" AND PGMID = \"OE\"|True"));
    EXPECT_TRUE(
        superCalls.contains("AS0001 Browse PGMID = \"OE\" AND PROFILEID = \"OECLERK\"|True"));
    EXPECT_TRUE(
        superCalls.contains("AS0001 Browse PGMID = \"OE\" AND PROFILEID = \"OESUPER\"|True"));
    // The views close in the order AS0001, AS0002, AS0003.
    EXPECT_EQ(superCalls.filter(" Close ").join(","),
              QStringLiteral("AS0001 Close ,AS0002 Close ,AS0003 Close "));

    // A wrong password, no right, disabled, locked out, the right in another company only.
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("SUPER"), QStringLiteral("WRONG")));
    EXPECT_EQ(securityCalls(), QStringList());
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("CLERK"), QStringLiteral("CLERK")));
    EXPECT_EQ(securityCalls().filter("AS0001 Browse").size(), 1) << "OECLERK only";
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("TEMP"), QStringLiteral("TEMP")));
    EXPECT_EQ(securityCalls().filter("AS0002").size(), 0) << "disabled: no rights look-up";
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("LOCKED"), QStringLiteral("LOCKED")));
    EXPECT_EQ(securityCalls().filter("AS0002").size(), 0) << "locked out: no rights look-up";
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("ELSEWHER"), QStringLiteral("ELSEWHER")));

    // Windows-1252 passwords, in any case: the password box turns letters into capitals.
    EXPECT_TRUE(
        w.Valid_CreditApproval(QStringLiteral("EURO"), QString::fromUtf8("prix\u20ac\u00e9")));
    EXPECT_TRUE(
        w.Valid_CreditApproval(QStringLiteral("EURO"), QString::fromUtf8("PRIX\u20ac\u00c9")));
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("EURO"), QStringLiteral("PRIX\u20acE")));
    // A character the code page lacks is refused rather than passed on as "?".
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("QMARK"), QString::fromUtf8("PASS\u4e2d")));
    // Both valid passwords reached the rights look-up (user record and authorisations).
    EXPECT_EQ(securityCalls().filter("EURO").size(), 4);
    EXPECT_TRUE(w.Valid_CreditApproval(QStringLiteral("QMARK"), QStringLiteral("PASS?")));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// A user ID past 8 characters: the password check sees its first 8, the rights look-up the
// whole ID, which no user record can hold (the component refuses it, and says so).
TEST_P(CreditCheckWindow, ALongUserIdIsCheckedByItsFirstEightCharacters)
{
    frmCreditCheck& w = open();
    Accpac::Testing::setCallLogEnabled(modGeneral::Session(), true);
    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("LONGUSERX"), QStringLiteral("WRONG")));
    EXPECT_EQ(securityCalls(), QStringList()) << "the password of LONGUSER was checked";
    EXPECT_TRUE(boxes.shown.isEmpty());

    EXPECT_FALSE(w.Valid_CreditApproval(QStringLiteral("LONGUSERX"), QStringLiteral("LONGUSER")));
    EXPECT_TRUE(securityCalls().contains("AS0003 SetValue USERID|LONGUSERX"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("LONGUSERX")));
    EXPECT_EQ(modGeneral::Session().Errors().Count(), 0);
    EXPECT_TRUE(w.Valid_CreditApproval(QStringLiteral("LONGUSER"), QStringLiteral("LONGUSER")));
}

// A refusal: the box, the password emptied, Approve off until the password changes, the
// user ID selected with the focus; the user tries again (a wrong password three times in a
// row), then succeeds and the trimmed pair is handed back.
TEST_P(CreditCheckWindow, ARefusalLetsTheUserTryAgain)
{
    open();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SCOPED_TRACE(attempt);
        ui().vreUser->setText(QString());
        approve(*window, QStringLiteral("SUPER"), QStringLiteral("WRONG%1").arg(attempt));
        ASSERT_EQ(boxes.shown.size(), attempt);
        const modGeneral::ShownBox& box = boxes.shown.last();
        EXPECT_EQ(box.text, InvalidText);
        EXPECT_EQ(box.title, QStringLiteral("Invalid Username or Password"));
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, modGeneral::MsgButtons::OK);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(ui().vrePWD->text(), QString());
        EXPECT_FALSE(ui().btnApprove->isEnabled());
        EXPECT_EQ(ui().vreUser->innerEdit()->selectedText(), QStringLiteral("SUPER"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return ui().vreUser->innerEdit()->hasFocus(); }, 2000));
        EXPECT_TRUE(window->Approval.ApproverID.isEmpty());
    }
    // Typing over the selected user ID replaces it.
    QTest::keyClicks(ui().vreUser->innerEdit(), QStringLiteral("super  "));
    EXPECT_EQ(ui().vreUser->text(), QStringLiteral("SUPER  "));
    type(ui().vrePWD, QStringLiteral("super "));
    ASSERT_TRUE(ui().btnApprove->isEnabled());
    QTest::mouseClick(ui().btnApprove, Qt::LeftButton);
    EXPECT_EQ(boxes.shown.size(), 3);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Approval.ApproverID, QStringLiteral("SUPER"));
    EXPECT_EQ(window->Approval.ApproverPassword, QStringLiteral("SUPER"));
}

// Cancel and the close box leave the approver as it was.
TEST_P(CreditCheckWindow, CancelLeavesTheApproverAsItWas)
{
    open();
    type(ui().vreUser, QStringLiteral("SUPER"));
    type(ui().vrePWD, QStringLiteral("SUPER"));
    cancel(*window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->Approval.ApproverID.isEmpty());
    EXPECT_TRUE(window->Approval.ApproverPassword.isEmpty());

    open();
    window->Approval = {QStringLiteral("BEFORE"), QStringLiteral("KEPT")};
    type(ui().vreUser, QStringLiteral("SUPER"));
    type(ui().vrePWD, QStringLiteral("SUPER"));
    window->close();
    EXPECT_EQ(window->Approval.ApproverID, QStringLiteral("BEFORE"));
    EXPECT_EQ(window->Approval.ApproverPassword, QStringLiteral("KEPT"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// A site whose user data cannot be read approves no one; the window stays usable.
TEST_P(CreditCheckWindow, AnUnreadableSiteApprovesNoOne)
{
    open();
    const QString folder = Accpac::siteFolder();
    // A folder that is not there, or a server that does not answer.
    Accpac::setSiteFolder(site->folder() + (Accpac::isServerSite(folder)
                                                ? QStringLiteral(" port=1")
                                                : QStringLiteral("/missing")));
    approve(*window, QStringLiteral("SUPER"), QStringLiteral("SUPER"));
    Accpac::setSiteFolder(folder);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, InvalidText);
    EXPECT_TRUE(window->isVisible());
    type(ui().vrePWD, QStringLiteral("SUPER"));
    QTest::mouseClick(ui().btnApprove, Qt::LeftButton);
    EXPECT_EQ(window->Approval.ApproverID, QStringLiteral("SUPER"));
}

// A password longer than the invoice can keep is refused in the window, with a message, and
// is kept nowhere.
TEST_P(CreditCheckWindow, AnOverlongPasswordIsRefusedInTheWindow)
{
    open();
    type(ui().vreUser, QStringLiteral("SUPER"));
    type(ui().vrePWD, QString(65, u'P'));
    QTest::mouseClick(ui().btnApprove, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown.first().text,
              QStringLiteral("The entered Password is longer than 64 characters.\r\n"
                             "Please enter a valid Password."));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ui().vrePWD->text().isEmpty());
    EXPECT_FALSE(ui().btnApprove->isEnabled());
    EXPECT_TRUE(window->Approval.ApproverPassword.isEmpty());
    EXPECT_TRUE(window->Approval.ApproverID.isEmpty());
}

// Guessing a supervisor's password here is slowed down like the sign-on, per user ID: after
// five wrong tries even the right password is refused until the wait is over, unchecked,
// and an unknown user ID fares the same.
TEST_P(CreditCheckWindow, GuessingIsThrottledPerUserId)
{
    auto now = std::chrono::steady_clock::now();
    Accpac::Testing::setSignonClock([&] { return now; });
    frmCreditCheck& w = open();
    for (const QString& user : {QStringLiteral("SUPER"), QStringLiteral("NOBODY")}) {
        for (int i = 0; i < 5; ++i)
            EXPECT_FALSE(w.Valid_CreditApproval(user, QStringLiteral("GUESS%1").arg(i)));
        const int verifications = Accpac::Testing::passwordVerifications();
        EXPECT_FALSE(w.Valid_CreditApproval(user, user));
        EXPECT_EQ(Accpac::Testing::passwordVerifications(), verifications) << user.toStdString();
    }
    // Another user ID is not held up.
    EXPECT_TRUE(
        w.Valid_CreditApproval(QStringLiteral("EURO"), QString::fromUtf8("PRIX\u20ac\u00c9")));
    now += std::chrono::seconds(5);
    EXPECT_TRUE(w.Valid_CreditApproval(QStringLiteral("SUPER"), QStringLiteral("SUPER")));
    Accpac::Testing::setSignonClock({});
    Accpac::Testing::clearSignonFailures();
    securityCalls();
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheWindows, CreditCheckWindow,
                         ::testing::Values("en_US", "de_DE", "C"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });
