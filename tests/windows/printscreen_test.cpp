// The printing screen prints for real: PDF files read back with pdftotext, the printer path
// through the print dialog, and every kind of bad input leaving no file and a usable screen.
#include "printtesting.h"

#include <accpac/view.h>
#include <core/session.h>

#include <accpac/standin.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The amount as the customer's currency shows it, for the two currencies of these tests.
QString dollars(double amount)
{
    return QStringLiteral("$") + QLocale(QLocale::English).toString(amount, 'f', 2);
}

QString euros(double amount)
{
    return QLocale(QLocale::German).toString(amount, 'f', 2) + QStringLiteral(" \u20ac");
}

} // namespace

// A range of three invoices: each invoice, shipment, line amount, the delivery charge, the
// prepayment and the totals as the company file holds them; nothing of the invoices before
// and after the range.
TEST(PrintScreen, APdfOfThreeInvoicesHoldsThemAndNothingElse)
{
    PrintFixture fixture;
    const QString before = fixture.invoice({QStringLiteral("ORD6")});
    const QString first =
        fixture.invoice({QStringLiteral("ORD1"), QStringLiteral("ORD2")}, true, 25);
    const QString second = fixture.invoice({QStringLiteral("ORD3")});
    const QString third = fixture.invoice({QStringLiteral("ORD4")});
    const QString after = fixture.invoice({QStringLiteral("ORD5")});
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("invoices.pdf"));
    fixture.window().mnuFileSub(7)->trigger();
    fixture.printToPdf(first, third, pdf);
    EXPECT_EQ(fixture.messages, QStringList());
    const QString text = pdfText(pdf);
    ASSERT_FALSE(text.isEmpty());

    for (const QString& number : {first, second, third})
        EXPECT_TRUE(text.contains(number)) << number.toStdString();
    for (const char* shipment : {"SH1", "SH2", "SH3", "SH4"})
        EXPECT_TRUE(text.contains(QStringLiteral("Shipment ") + QLatin1String(shipment)))
            << shipment;
    for (const QString& amount : {dollars(20), dollars(30.25), dollars(45.5)})
        EXPECT_TRUE(text.contains(amount)) << amount.toStdString();
    EXPECT_TRUE(text.contains(euros(1234.5))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Rheinland Werkzeuge GmbH")));
    // The delivery charge line and the prepayment of the first invoice.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("DEL .*\\$10\\.00 +\\$10\\.00")).match(text).hasMatch())
        << text.toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("Prepayment +\\$25\\.00")).match(text).hasMatch());
    // Totals and amounts due as stored.
    const double total = fixture.invoiceField(first, QStringLiteral("INVNETWTX")).toDouble();
    const double due = fixture.invoiceField(first, QStringLiteral("INVDUE")).toDouble();
    EXPECT_DOUBLE_EQ(total, 60.25);
    EXPECT_DOUBLE_EQ(due, 35.25);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("Invoice Total +") +
                                   QRegularExpression::escape(dollars(total)))
                    .match(text)
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("Amount Due +") +
                                   QRegularExpression::escape(dollars(due)))
                    .match(text)
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("Amount Due +") +
                                   QRegularExpression::escape(euros(1234.5)))
                    .match(text)
                    .hasMatch());
    // Nothing of the invoices outside the range.
    for (const QString& outside :
         {before, after, QStringLiteral("SH5"), QStringLiteral("SH6"), dollars(77.77), dollars(12)})
        EXPECT_FALSE(text.contains(outside)) << outside.toStdString();
    EXPECT_EQ(pdfPages(pdf), 3);
    EXPECT_TRUE(fixture.screenControl<QLabel>(QStringLiteral("lblStatus"))
                    ->text()
                    .startsWith(QStringLiteral("3 invoices printed to")));
    // The journal records the print: its range, its invoices and where they went.
    const modGeneral::ViewPtr journal = modGeneral::OpenView(QStringLiteral("TM0001"));
    journal->Browse(QStringLiteral("KIND = \"print\""), true);
    ASSERT_TRUE(journal->Fetch());
    EXPECT_EQ(QJsonDocument::fromJson(
                  journal->Field(QStringLiteral("BODY")).GetValue().toString().toUtf8())
                  .object(),
              (QJsonObject{{QStringLiteral("from"), first},
                           {QStringLiteral("to"), third},
                           {QStringLiteral("invoices"), QJsonArray{first, second, third}},
                           {QStringLiteral("destination"), QStringLiteral("PDF file")},
                           {QStringLiteral("printedTo"), QDir::toNativeSeparators(pdf)}}));
    EXPECT_FALSE(journal->Fetch());
}

// An empty range, a reversed range and a range without invoices: a clear message, no file.
TEST(PrintScreen, RangesWithoutInvoicesGiveAMessageAndNoFile)
{
    PrintFixture fixture;
    const QString first = fixture.invoice({QStringLiteral("ORD1")});
    const QString second = fixture.invoice({QStringLiteral("ORD3")});
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("invoices.pdf"));
    fixture.printToPdf(QString(), second, pdf);
    fixture.printToPdf(first, QStringLiteral(" "), pdf);
    fixture.printToPdf(second, first, pdf);
    fixture.printToPdf(QStringLiteral("IN9000000"), QStringLiteral("IN9999999"), pdf);
    EXPECT_EQ(fixture.messages,
              QStringList({QStringLiteral("Enter the first and the last invoice number to print."),
                           QStringLiteral("Enter the first and the last invoice number to print."),
                           QStringLiteral("The first invoice number (%1) comes after the last one "
                                          "(%2).")
                               .arg(second, first),
                           QStringLiteral("Company SAMINC has no invoice numbered from IN9000000 "
                                          "to IN9999999. Nothing was printed.")}));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList());
}

// Bad input: a report file that does not exist or is not a layout, a PDF in a folder that
// cannot be written, range ends that are not invoice numbers, a printer that is not there.
// Each gives its message, leaves no file, and the screen prints afterwards.
TEST(PrintScreen, BadInputLeavesNoFileAndAUsableScreen)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD1")});
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("invoices.pdf"));
    auto expectMessage = [&](const QString& start) {
        ASSERT_EQ(fixture.messages.size(), 1);
        EXPECT_TRUE(fixture.messages.first().startsWith(start))
            << fixture.messages.first().toStdString();
        fixture.messages.clear();
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        EXPECT_TRUE(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint"))->isEnabled());
    };

    fixture.printToPdf(number, number, pdf, QStringLiteral("no-such-layout.json"));
    expectMessage(QStringLiteral("The report file \"no-such-layout.json\" does not exist."));

    QTemporaryDir layouts;
    const auto write = [&](const QString& name, const QByteArray& content) {
        QFile file(layouts.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    fixture.printToPdf(number, number, pdf, write(QStringLiteral("text.json"), "hello"));
    expectMessage(QStringLiteral("The report file \"%1\" is not an invoice layout: ")
                      .arg(layouts.filePath(QStringLiteral("text.json"))));
    fixture.printToPdf(number, number, pdf,
                       write(QStringLiteral("other.json"), R"({"kind": "something else"})"));
    expectMessage(QStringLiteral("The report file \"%1\" is not an invoice layout: it does not say")
                      .arg(layouts.filePath(QStringLiteral("other.json"))));
    fixture.printToPdf(number, number, pdf,
                       write(QStringLiteral("columns.json"),
                             R"({"kind": "tallymerge-invoice-layout", "version": 1,
                  "columns": [{"field": "colour", "width": 10}]})"));
    expectMessage(
        QStringLiteral("The report file \"%1\" is not an invoice layout: \"columns[0].field\" "
                       "must be one of item, description, quantity, price, extension.")
            .arg(layouts.filePath(QStringLiteral("columns.json"))));
    fixture.printToPdf(number, number, pdf, layouts.path());
    expectMessage(QStringLiteral("The report file \"%1\" is a folder").arg(layouts.path()));

    // A folder that cannot be written: it does not exist, or it is a file.
    fixture.printToPdf(number, number, out.filePath(QStringLiteral("missing/invoices.pdf")));
    expectMessage(QStringLiteral("The PDF file \"%1\" cannot be written")
                      .arg(out.filePath(QStringLiteral("missing/invoices.pdf"))));
    fixture.printToPdf(number, number, out.path());
    expectMessage(QStringLiteral("The PDF file \"%1\" cannot be written").arg(out.path()));
    const QString notAFolder =
        layouts.filePath(QStringLiteral("text.json")) + QStringLiteral("/x.pdf");
    fixture.printToPdf(number, number, notAFolder);
    expectMessage(QStringLiteral("The PDF file \"%1\" cannot be written").arg(notAFolder));

    for (const QString& end :
         {QStringLiteral("IN 1"), QStringLiteral("IN\"1"),
          QStringLiteral("IN00000000000000000000001"), QStringLiteral("-IN1")}) {
        fixture.printToPdf(end, number, pdf);
        expectMessage(QStringLiteral("\"%1\" is not an invoice number.").arg(end));
    }

    // A printer that is not there.
    Accpac::Testing::setPrintDialogAnswer([](QPrinter& printer) {
        printer.setPrinterName(QStringLiteral("NoSuchPrinter"));
        return true;
    });
    fixture.printToPdf(number, number, pdf);
    fixture.screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(0);
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint")),
                      Qt::LeftButton);
    // The PDF of the first click was written; the printer refused the second.
    ASSERT_EQ(fixture.messages.size(), 1);
    // (Qt forgets a printer name it does not know.)
    EXPECT_TRUE(fixture.messages.first().endsWith(
        QStringLiteral("printer is not available. Nothing was printed.")))
        << fixture.messages.first().toStdString();
    EXPECT_TRUE(pdfText(pdf).contains(number));
    EXPECT_TRUE(fixture.company().boxes.shown.isEmpty());
}

// The printer path: what the print dialog chose gets the invoices (here its "print to file").
TEST(PrintScreen, PrintsThroughThePrintDialog)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD3")});
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("printed.pdf"));
    bool cancel = true;
    Accpac::Testing::setPrintDialogAnswer([&](QPrinter& printer) {
        printer.setOutputFileName(file);
        return !cancel;
    });
    fixture.printToPdf(number, number, QString());
    fixture.screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(0);
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint")),
                      Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(file));
    cancel = false;
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint")),
                      Qt::LeftButton);
    // The first click asked for a PDF file name and printed nothing.
    EXPECT_EQ(fixture.messages, QStringList({QStringLiteral("Enter the PDF file to print to.")}));
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains(number));
    EXPECT_TRUE(text.contains(QStringLiteral("Coastal Hardware")));
}

// A company's own layout beside the standard one (the site's reports folder) is found by its
// name; on a server site, which has no folder, by its path, and never in a folder named like
// the connection string. The finder picks invoice numbers.
TEST(PrintScreen, ACompanysOwnLayoutAndTheFinder)
{
    PrintFixture fixture;
    const QString number = fixture.invoice({QStringLiteral("ORD4")});
    QFile standard(
        QDir(Accpac::shippedLayoutFolder()).filePath(QStringLiteral("standard-invoice.json")));
    ASSERT_TRUE(standard.open(QIODevice::ReadOnly));
    QByteArray own = standard.readAll();
    own.replace("\"INVOICE\"", "\"RECHNUNG\"");
    const bool server = Accpac::isServerSite(Accpac::siteFolder());
    QTemporaryDir elsewhere;
    const QString reports =
        server ? elsewhere.path() : QDir(Accpac::siteFolder()).filePath(QStringLiteral("reports"));
    ASSERT_TRUE(QDir().mkpath(reports));
    QFile file(QDir(reports).filePath(QStringLiteral("ours.json")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(own);
    file.close();
    const QString layout = server ? file.fileName() : QStringLiteral("ours.json");
    if (server) {
        // A folder of the working directory named like the site is not the site's.
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        const QString lookalike = QDir(Accpac::siteFolder()).filePath(QStringLiteral("reports"));
        ASSERT_TRUE(QDir().mkpath(lookalike));
        ASSERT_TRUE(
            QFile::copy(file.fileName(), QDir(lookalike).filePath(QStringLiteral("ours.json"))));
        QTemporaryDir out;
        fixture.printToPdf(number, number, out.filePath(QStringLiteral("x.pdf")),
                           QStringLiteral("ours.json"));
        QDir::setCurrent(before);
        EXPECT_EQ(fixture.messages,
                  QStringList(QStringLiteral("The report file \"ours.json\" does not exist.")));
        fixture.messages.clear();
    }

    Accpac::Testing::setFinderPicker([&](const QList<QVariantList>& rows) {
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].value(0).toString() == number)
                return i;
        return -1;
    });
    auto* from = fixture.screenControl<QWidget>(QStringLiteral("afeOEINVHsortfrom"));
    from->setProperty("Value", QString());
    QTest::mouseClick(from->findChild<QWidget*>(QStringLiteral("btnFinder")), Qt::LeftButton);
    Accpac::Testing::setFinderPicker({});
    EXPECT_EQ(from->property("Value").toString(), number);

    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("ours.pdf"));
    fixture.printToPdf(number, number, pdf, layout);
    EXPECT_EQ(fixture.messages, QStringList());
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("RECHNUNG")));
    EXPECT_TRUE(text.contains(number));
}

// An invoice of more lines than a page holds runs over several pages, each with the
// invoice's number and page number; the totals come once, at its end.
TEST(PrintScreen, ALongInvoiceRunsOverSeveralPages)
{
    PrintFixture fixture;
    QList<TestOrder> orders;
    QStringList numbers;
    for (int i = 1; i <= 70; ++i) {
        TestOrder o;
        o.number = QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
        o.customer = QStringLiteral("1300");
        o.name = QStringLiteral("Coastal Hardware");
        o.shipments = {{QStringLiteral("S") + o.number, 1.5}};
        o.withLines = true;
        orders << o;
        numbers << o.number;
    }
    fixture.company().addOrders(orders);
    const QString number = fixture.invoice(numbers);
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("long.pdf"));
    fixture.printToPdf(number, number, pdf);
    EXPECT_EQ(fixture.messages, QStringList());
    const int pages = pdfPages(pdf);
    EXPECT_GE(pages, 2);
    const QString text = pdfText(pdf);
    for (const QString& shipment : {QStringLiteral("SL001"), QStringLiteral("SL070")})
        EXPECT_TRUE(text.contains(QStringLiteral("Shipment ") + shipment));
    EXPECT_TRUE(text.contains(QStringLiteral("Page %1").arg(pages)));
    EXPECT_EQ(text.count(QStringLiteral("Amount Due")), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("Amount Due +\\$105\\.00")).match(text).hasMatch());
}
