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

#include <sqlite3.h>

using namespace InvoiceTesting;

namespace {

QString logText(const QString& folder)
{
    QFile file(folder + QStringLiteral("/tallymerge.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QByteArray verifierOf(const QString& site, const QString& userId)
{
    sqlite3* db = nullptr;
    QByteArray verifier;
    if (sqlite3_open_v2(QFile::encodeName(site + QStringLiteral("/system.db")).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT PWVERIFIER FROM USERS WHERE USERID=?", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, userId.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            verifier = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return verifier;
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

    window.SelCustomer = QStringLiteral("1200");
    window.SelCustomerName = QStringLiteral("Mr. Ronald Black");
    window.DelChargeApply = false;
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
    const QString company = QRegularExpression::escape(fixture.companyFile());
    EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.core: signed on as APPROVER to company "
                                   "SAMINC; site .*; company file %1 \\(device \\d+, inode "
                                   "\\d+\\)$")
                        .arg(company)))
        << qPrintable(text);
    EXPECT_TRUE(has(QStringLiteral(" info tallymerge\\.selection: grid load: data source TMTEST, "
                                   "engine 1, reached %1 \\(device \\d+, inode \\d+\\); 2 "
                                   "rows in \\d+ ms$")
                        .arg(company)));
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
    ASSERT_FALSE(verifier.isEmpty());
    EXPECT_FALSE(text.contains(password, Qt::CaseInsensitive));
    EXPECT_FALSE(text.contains(QString::fromLatin1(verifier)));
    // Nor a piece of the verifier's hash (its last field).
    EXPECT_FALSE(text.contains(QString::fromLatin1(verifier.mid(verifier.lastIndexOf('$') + 1))));
}
