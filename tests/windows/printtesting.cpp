#include "printtesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TestOrder order(const QString& number, const QString& customer, const QString& name, double amount)
{
    TestOrder o;
    o.number = QStringLiteral("ORD") + number;
    o.customer = customer;
    o.name = name;
    o.shipments = {{QStringLiteral("SH") + number, amount}};
    o.withLines = true;
    return o;
}

} // namespace

PrintFixture::PrintFixture()
    : m_company({order(QStringLiteral("1"), QStringLiteral("1200"),
                       QStringLiteral("Mr. Ronald Black"), 20),
                 order(QStringLiteral("2"), QStringLiteral("1200"),
                       QStringLiteral("Mr. Ronald Black"), 30.25),
                 order(QStringLiteral("3"), QStringLiteral("1300"),
                       QStringLiteral("Coastal Hardware"), 45.5),
                 order(QStringLiteral("4"), QStringLiteral("1500"),
                       QStringLiteral("Rheinland Werkzeuge GmbH"), 1234.5),
                 order(QStringLiteral("5"), QStringLiteral("1300"),
                       QStringLiteral("Coastal Hardware"), 77.77),
                 order(QStringLiteral("6"), QStringLiteral("1300"),
                       QStringLiteral("Coastal Hardware"), 12)})
{
    Accpac::Testing::setScreenMessageRecorder(
        [this](const QString& text) { messages.append(text); });
    m_window = &m_company.open();
    m_window->show();
    EXPECT_TRUE(waitForScreen());
}

PrintFixture::~PrintFixture()
{
    frmPrint::unload();
    Accpac::Testing::setScreenMessageRecorder({});
    Accpac::Testing::setScreenQuestionAnswer({});
    Accpac::Testing::setPrintDialogAnswer({});
    modGeneral::LastInvoiceNumber.clear();
}

bool PrintFixture::waitForScreen()
{
    return QTest::qWaitFor(
        [] { return frmPrint::loaded() && frmPrint::loaded()->afeOEINVHsortfrom() != nullptr; });
}

frmPrint& PrintFixture::print()
{
    EXPECT_TRUE(waitForScreen());
    return *frmPrint::loaded();
}

QString PrintFixture::invoice(const QStringList& orders, bool deliveryCharge, double prepayment)
{
    frmMain& w = *m_window;
    w.Load_Grid();
    OrderGrid* grid = w.ui()->flgMain;
    for (int row = 1; row < grid->Rows(); ++row) {
        if (!orders.contains(grid->TextMatrix(row, 1)))
            continue;
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    w.setDelChargeApply(deliveryCharge);
    configureDeliveryChargeCode(w, QStringLiteral("DEL"));
    modGeneral::PendingPrepayment = {};
    if (prepayment > 0)
        setPendingCheque(1, prepayment, QStringLiteral("CHQ-1"));
    w.Invoice_Command();
    const auto match =
        QRegularExpression(QStringLiteral("^Invoice (\\S+) created successfully\\.$"))
            .match(w.statusText());
    EXPECT_TRUE(match.hasMatch()) << w.statusText().toStdString();
    return match.captured(1);
}

void PrintFixture::printToPdf(const QString& first, const QString& last, const QString& pdfFile,
                              const QString& reportFile)
{
    screenControl<QWidget>(QStringLiteral("afeOEINVHsortfrom"))->setProperty("Value", first);
    screenControl<QWidget>(QStringLiteral("afeOEINVHsortto"))->setProperty("Value", last);
    screenControl<QLineEdit>(QStringLiteral("txtRptFile"))->setText(reportFile);
    screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(1);
    screenControl<QLineEdit>(QStringLiteral("txtPdfFile"))->setText(pdfFile);
    QTest::mouseClick(screenControl<QPushButton>(QStringLiteral("btnPrint")), Qt::LeftButton);
}

QVariant PrintFixture::invoiceField(const QString& number, const QString& field)
{
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0420"));
    view->SetOrder(1);
    view->Field(QStringLiteral("INVNUMBER")).SetValue(number);
    const QVariant value = view->Read() ? view->Field(field).GetValue() : QVariant();
    view->Close();
    return value;
}
