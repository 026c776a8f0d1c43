// The program's log over a real session: what a clerk's day leaves in it, and no secret.
#include "creditwindow.h"
#include "invoicetesting.h"

#include <core/appstate.h>
#include <core/log.h>
#include <core/session.h>

#include <accpac/standin.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <teststore.h>

using namespace InvoiceTesting;

namespace {

QString logText(const QString& folder)
{
    QFile file(folder + QStringLiteral("/tallymerge.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The user's password verifier as the site keeps it.
QByteArray verifierOf(const QString& site, const QString& userId)
{
    const QString sql = QStringLiteral("SELECT PWVERIFIER FROM %1 WHERE USERID='%2'")
                            .arg(TestStore::onServer() ? QStringLiteral("tallymerge_site.USERS")
                                                       : QStringLiteral("USERS"),
                                 userId);
    const QStringList rows =
        TestStore::query(TestStore::onServer() ? site : site + QStringLiteral("/system.db"), sql);
    return rows.isEmpty() ? QByteArray() : rows.first().toUtf8();
}

TestOrder withLines(TestOrder order)
{
    order.withLines = true;
    return order;
}

} // namespace

// A sign-on, a grid load, an invoice past the credit limit approved by a supervisor after a
// refused clerk, its completion and the refusal's box: each is in the log as it happened,
// and neither password nor verifier is.
TEST(ProgramLogOfASession, TellsLoadsInvoicesCompletionAndBoxesButNoSecret)
{
    MainWindowFixture fixture(
        {withLines(order("ORD1", "SH1", 150)), withLines(order("ORD2", "SH2", 120))});
    QTemporaryDir state;
    ProgramLog::Options options;
    options.folder = state.path();
    const ProgramLog::Log log(options);

    frmMain& window = fixture.open();
    const QString site = fixture.siteFolder();
    const QString password = QStringLiteral("HUSHEDOTTER77");
    Accpac::Admin::addUser(site, QStringLiteral("APPROVER"), QStringLiteral("Approver"), password,
                           Accpac::Admin::HashStrength::Minimal);
    Accpac::Admin::addAuthorisation(site, QStringLiteral("APPROVER"), Sample::CompanyId,
                                    QStringLiteral("OE"), QStringLiteral("OESUPER"));
    // The approver signs on as well, with the same password.
    modGeneral::Close_Connections();
    Accpac::Testing::setSignonAnswer(
        Accpac::Testing::SignonAnswer{Sample::CompanyId, QStringLiteral("APPROVER"), password});
    ASSERT_TRUE(modGeneral::Open_Connections());

    window.setSelCustomer(QStringLiteral("1200"));
    window.setDelChargeApply(false);
    modGeneral::PendingPrepayment = {};
    {
        CreditWindowScript script([&](frmCreditCheck& w) {
            CreditWindow::approve(w, QStringLiteral("CLERK"), QStringLiteral("CLERK"));
            w.ui()->vreUser->setText(QString());
            CreditWindow::approve(w, QStringLiteral("APPROVER"), password.toLower());
        });
        ASSERT_TRUE(window.Create_Invoice2_56(QStringLiteral("1200"), {1, 2}));
    }
    const QString invoice = modGeneral::LastInvoiceNumber;
    ASSERT_FALSE(invoice.isEmpty());

    const QString text = logText(state.path());
    const auto has = [&](const QString& pattern) {
        return QRegularExpression(pattern, QRegularExpression::MultilineOption)
            .match(text)
            .hasMatch();
    };
    // A file is named with its device and inode; a server's store by its schema, database
    // and server (never a password), and the grid's database by its name and server.
    const bool server = TestStore::onServer();
    const QString file =
        server ? QStringLiteral("schema company_saminc of database \\w+ on \\S+ port \\d+")
               : QRegularExpression::escape(fixture.companyFile()) +
                     QStringLiteral(" \\(device \\d+, inode \\d+\\)");
    EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.core: signed on as APPROVER to company "
                                   "SAMINC; site .*; company file %1$")
                        .arg(file)))
        << qPrintable(text);
    EXPECT_TRUE(
        has(QStringLiteral(" info tallymerge\\.selection: grid load: data source TMTEST, "
                           "engine %1, reached %2; 2 rows in \\d+ ms$")
                .arg(server ? QStringLiteral("2") : QStringLiteral("1"),
                     server ? QStringLiteral("database \\S+ on server 127\\.0\\.0\\.1") : file)));
    EXPECT_TRUE(
        has(QStringLiteral(" warning tallymerge\\.core: box \"Invalid Username or Password\": ")));
    EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.invoicing: invoice %1 created by "
                                   "frmMain\\.Create_Invoice2_56 for customer 1200: 2 rows, "
                                   "shipments SH1, SH2$")
                        .arg(invoice)));
    for (const char* order : {"ORD1", "ORD2"}) {
        EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.invoicing: completion "
                                       "frmMain\\.Clear_BackOrders56 order %1: ")
                            .arg(QLatin1String(order))));
        EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.invoicing: completion "
                                       "frmMain\\.Update_OrderComplete56 order %1: completed$")
                            .arg(QLatin1String(order))));
    }

    const QByteArray verifier = verifierOf(site, QStringLiteral("APPROVER"));
    EXPECT_FALSE(text.contains(password, Qt::CaseInsensitive));
    // Nor the password of the server's login that the site's connection string holds.
    const QString login = TestStore::odbcLogin();
    if (!login.isEmpty())
        EXPECT_FALSE(text.contains(login.section(QStringLiteral("PWD="), 1)));
    // On a server site the server keeps the password's verifier; the site keeps none.
    if (TestStore::onServer()) {
        EXPECT_TRUE(verifier.isEmpty());
        return;
    }
    ASSERT_FALSE(verifier.isEmpty());
    EXPECT_FALSE(text.contains(QString::fromLatin1(verifier)));
    // Nor a piece of the verifier's hash (its last field).
    EXPECT_FALSE(text.contains(QString::fromLatin1(verifier.mid(verifier.lastIndexOf('$') + 1))));
}
