// Batch invoices past the customer's credit limit, through the real main window, the credit
// approval window and the stand-in's Order Entry rules.
#include "creditwindow.h"
#include "faultyaccpac.h"
#include "invoicetesting.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/standin.h>
#include <accpac/view.h>
#include <teststore.h>

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

using namespace InvoiceTesting;

namespace {

TestOrder withLines(TestOrder order)
{
    order.withLines = true;
    return order;
}

// Customer 1200 of the sample company: limit 1000, balance 800.
class CreditApproval : public ::testing::Test
{
protected:
    CreditApproval()
        : fixture({withLines(order("ORD1", "SH1", 150)), withLines(order("ORD2", "SH2", 50)),
                   withLines(order("ORD3", "SH3", 150)), withLines(order("ORD4", "SH4", 50.01)),
                   withLines(order("ORD5", "SH5", 120))})
    {
        window = &fixture.open();
        window->setSelCustomer(QStringLiteral("1200"));
        window->setDelChargeApply(false);
        modGeneral::PendingPrepayment = {};
        fixture.boxes.shown.clear();
    }

    // The approver stored with the invoice just created.
    static QString storedApprover()
    {
        return readField("OE0420", 1, {{"INVNUMBER", modGeneral::LastInvoiceNumber}}, "APPROVEBY")
            .toString();
    }

    MainWindowFixture fixture;
    frmMain* window = nullptr;
};

// Whether any file under the folder holds the text (in UTF-8 or in the ANSI code page).
bool anyFileHolds(const QString& folder, const QString& text)
{
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (file.readAll().contains(text.toUtf8()))
            return true;
    }
    return false;
}

// The credit check the last invoice's journal entry records.
QJsonObject recordedCreditCheck(const MainWindowFixture& fixture)
{
    const QStringList bodies = TestStore::query(
        fixture.companyFile(), QStringLiteral("SELECT BODY FROM TMJOURNAL WHERE KIND = 'invoice' "
                                              "ORDER BY SEQ DESC LIMIT 1"));
    return QJsonDocument::fromJson(bodies.value(0).toUtf8()).object().value(u"credit").toObject();
}

} // namespace

// 150 + 50 = 200 fits exactly (1000 - 800 - 200 = 0): no window. 150 + 50.01 asks. The
// invoice's journal entry records the check's inputs either way, and the window's outcome
// when it asked; the auditor derives the same answer from them.
TEST_F(CreditApproval, TheWindowOpensOnlyPastTheLastCent)
{
    CreditWindowScript script(CreditWindow::cancel);
    EXPECT_TRUE(window->Create_Invoice2(QStringLiteral("1200"), {1, 2}));
    EXPECT_TRUE(script.shown.isEmpty());
    EXPECT_EQ(recordedCreditCheck(fixture), QJsonObject({{QStringLiteral("balanceBefore"), 800},
                                                         {QStringLiteral("limit"), 1000},
                                                         {QStringLiteral("selected"), 200}}));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
    // The invoice raised the balance to 1000: the limit rises by as much.
    updateRecord("AR0024", 0, {{"IDCUST", "1200"}}, {{"AMTCRLIMT", 1200.0}});
    EXPECT_TRUE(window->Create_Invoice2_56(QStringLiteral("1200"), {3, 4}));
    ASSERT_EQ(script.shown.size(), 1);
    const CreditWindowScript::Shown& shown = script.shown.first();
    EXPECT_EQ(shown.customer, QStringLiteral("Mr. Ronald Black"));
    EXPECT_EQ(shown.custId, QStringLiteral("1200"));
    EXPECT_DOUBLE_EQ(shown.creditAvail, 1200);
    EXPECT_DOUBLE_EQ(shown.outstanding, 1000);
    EXPECT_DOUBLE_EQ(shown.total, 200.01);
    EXPECT_EQ(shown.exceed, QStringLiteral("(0.01)"));
    EXPECT_EQ(script.leftOpen, 0);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    EXPECT_EQ(recordedCreditCheck(fixture), QJsonObject({{QStringLiteral("balanceBefore"), 1000},
                                                         {QStringLiteral("limit"), 1200},
                                                         {QStringLiteral("selected"), 200.01},
                                                         {QStringLiteral("approver"), ""}}));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

// Approved by SUPER: the invoice is created with SUPER as its approver, the pair is emptied,
// and the password is stored nowhere.
TEST_F(CreditApproval, ASupervisorsApprovalIsStoredWithTheInvoice)
{
    const QString password = QStringLiteral("QUIETZEBRA42");
    const QString site = fixture.siteFolder();
    Accpac::Admin::addUser(site, QStringLiteral("APPROVER"), QStringLiteral("Approver"), password,
                           Accpac::Admin::HashStrength::Minimal);
    Accpac::Admin::addAuthorisation(site, QStringLiteral("APPROVER"), Sample::CompanyId,
                                    QStringLiteral("OE"), QStringLiteral("OESUPER"));
    Accpac::Testing::setCallLogEnabled(modGeneral::Session(), true);

    auto script = std::make_unique<CreditWindowScript>([&](frmCreditCheck& w) {
        // A clerk is refused first; the window stays for the supervisor, whose password is
        // typed in small letters (the box makes them capitals).
        CreditWindow::approve(w, QStringLiteral("CLERK"), QStringLiteral("CLERK"));
        w.ui()->vreUser->setText(QString());
        CreditWindow::approve(w, QStringLiteral("approver"), password.toLower());
    });
    EXPECT_TRUE(window->Create_Invoice2_56(QStringLiteral("1200"), {3, 5}));
    ASSERT_EQ(script->shown.size(), 1);
    EXPECT_DOUBLE_EQ(script->shown[0].total, 270);
    EXPECT_EQ(script->leftOpen, 0);
    script.reset();
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Invalid Username or Password"));
    EXPECT_EQ(storedApprover(), QStringLiteral("APPROVER"));
    EXPECT_EQ(fixture.auditProblems(), QStringList());

    // Not in the company or site files, the settings, the call log or any message.
    EXPECT_FALSE(anyFileHolds(site, password));
    const Registry::HiveLocations hives = Registry::hiveLocations();
    EXPECT_FALSE(anyFileHolds(hives.machineFolder, password));
    EXPECT_FALSE(anyFileHolds(hives.userFolder, password));
    bool logged = false;
    for (const auto& call : Accpac::Testing::callLog(modGeneral::Session()))
        logged = logged || call.arguments.join(QLatin1Char('|')).contains(password);
    EXPECT_FALSE(logged);
    EXPECT_TRUE(
        Accpac::Testing::callLog(modGeneral::Session())
            .contains(Accpac::Testing::ViewCall{"OE0420", "SetValue", {"APPPASSWRD", "********"}}));
    for (const auto& box : fixture.boxes.shown)
        EXPECT_FALSE(box.text.contains(password, Qt::CaseInsensitive));

    // The same through the older layout with SUPER, whose second profile holds the right.
    CreditWindowScript super([](frmCreditCheck& w) {
        CreditWindow::approve(w, QStringLiteral("SUPER"), QStringLiteral("SUPER"));
    });
    EXPECT_TRUE(window->Create_Invoice2(QStringLiteral("1200"), {1}));
    EXPECT_EQ(super.shown.size(), 1);
    EXPECT_EQ(storedApprover(), QStringLiteral("SUPER"));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

// Cancelled: the run goes on and creates the invoice without an approver; its journal entry
// records the window's outcome, so the auditor finds nothing to name.
TEST_F(CreditApproval, ACancelledWindowLeavesTheInvoiceUnapproved)
{
    for (const bool layout56 : {true, false}) {
        SCOPED_TRACE(layout56 ? "5.6 layout" : "older layout");
        CreditWindowScript script(CreditWindow::cancel);
        startLog();
        const QList<std::int16_t> rows =
            layout56 ? QList<std::int16_t>{1, 3} : QList<std::int16_t>{5};
        EXPECT_TRUE(layout56 ? window->Create_Invoice2_56(QStringLiteral("1200"), rows)
                             : window->Create_Invoice2(QStringLiteral("1200"), rows));
        EXPECT_EQ(script.shown.size(), 1);
        const QStringList log = calls();
        EXPECT_TRUE(log.contains("OE0420 SetValue APPROVEBY|"));
        EXPECT_TRUE(log.contains("OE0420 SetValue APPPASSWRD|"));
        EXPECT_EQ(storedApprover(), QString());
        EXPECT_EQ(fixture.auditProblems(), QStringList());
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A customer number "AR0024" does not know has no limit and no balance: any amount asks.
// (The number is changed on the customer view just before its read; the invoice itself is
// for the known customer and is created without approval once the window is cancelled.)
TEST_F(CreditApproval, ACustomerNotFoundHasNoCredit)
{
    FaultyAccpac faults;
    FaultyAccpac::Fault unknown{"AR0024", "Read"};
    unknown.before = [](AccpacView& customers) {
        customers.Field(QStringLiteral("IDCUST")).SetValue(QStringLiteral("NOSUCH"));
    };
    faults.fail(unknown);
    CreditWindowScript script(CreditWindow::cancel);
    EXPECT_TRUE(window->Create_Invoice2_56(QStringLiteral("1200"), {2}));
    ASSERT_EQ(script.shown.size(), 1);
    EXPECT_DOUBLE_EQ(script.shown[0].creditAvail, 0);
    EXPECT_DOUBLE_EQ(script.shown[0].outstanding, 0);
    EXPECT_DOUBLE_EQ(script.shown[0].total, 50);
    EXPECT_EQ(script.shown[0].exceed, QStringLiteral("(50.00)"));
    EXPECT_EQ(storedApprover(), QString());
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
