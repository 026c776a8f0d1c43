// Amounts on paper: a printed amount is never cut short, whatever its page size; a layout
// whose page or columns cannot hold an invoice is refused with the setting to change.
#include "printtesting.h"

#include <accpac/standin.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QJsonObject standardLayout()
{
    QFile file(
        QDir(Accpac::shippedLayoutFolder()).filePath(QStringLiteral("standard-invoice.json")));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The standard layout on another page, with other type and, when given, other column shares.
QString writeLayout(const QTemporaryDir& dir, const QString& name, const QJsonObject& page,
                    double fontSize, const QList<int>& shares = {})
{
    QJsonObject root = standardLayout();
    root.insert(QStringLiteral("page"), page);
    QJsonObject font = root.value(QStringLiteral("font")).toObject();
    font.insert(QStringLiteral("size"), fontSize);
    root.insert(QStringLiteral("font"), font);
    QJsonArray columns = root.value(QStringLiteral("columns")).toArray();
    for (int i = 0; i < shares.size(); ++i) {
        QJsonObject column = columns.at(i).toObject();
        column.insert(QStringLiteral("width"), shares.at(i));
        columns.replace(i, column);
    }
    root.insert(QStringLiteral("columns"), columns);
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(root).toJson());
    return file.fileName();
}

QJsonObject page(const QString& size, const QString& orientation, double marginMm)
{
    return {{QStringLiteral("size"), size},
            {QStringLiteral("orientation"), orientation},
            {QStringLiteral("marginMm"), marginMm}};
}

TestOrder bigOrder(const QString& number, double amount)
{
    TestOrder o;
    o.number = number;
    o.customer = QStringLiteral("1300");
    o.name = QStringLiteral("Coastal Hardware");
    o.shipments = {{QStringLiteral("S") + number, amount}};
    o.withLines = true;
    return o;
}

} // namespace

// A line of 99,999,999.99 on A5 and one of 1,234,567,890.00 on Letter: every digit of every
// amount (unit price, extension, subtotal, total, amount due) is on the page, none cut short with
// "…". The standard columns on an A5 page are too narrow for the widest dollar amount, and the
// print says which setting to change.
TEST(PrintAmounts, LargeAmountsPrintWithEveryDigit)
{
    PrintFixture fixture;
    fixture.company().addOrders({bigOrder(QStringLiteral("BIG1"), 99999999.99),
                                 bigOrder(QStringLiteral("BIG2"), 1234567890.00)});
    const QString onA5 = fixture.invoice({QStringLiteral("BIG1")});
    const QString onLetter = fixture.invoice({QStringLiteral("BIG2")});
    QTemporaryDir out;

    const QString narrow =
        writeLayout(out, QStringLiteral("a5.json"),
                    page(QStringLiteral("A5"), QStringLiteral("portrait"), 15), 9);
    const QString refused = out.filePath(QStringLiteral("refused.pdf"));
    fixture.printToPdf(onA5, onA5, refused, narrow);
    EXPECT_EQ(fixture.messages,
              QStringList(QStringLiteral(
                              "The report file \"%1\" gives \"columns[3]\" (Unit Price) too little "
                              "width for the amounts of currency USD: ($9,999,999,999,999.99) does "
                              "not fit even in 6-point type. Give \"columns[3].width\" a larger "
                              "share, or make \"page.marginMm\" smaller. Nothing was printed.")
                              .arg(narrow)));
    fixture.messages.clear();
    EXPECT_FALSE(QFile::exists(refused));

    const QString a5 = writeLayout(out, QStringLiteral("a5-wide.json"),
                                   page(QStringLiteral("A5"), QStringLiteral("portrait"), 15), 9,
                                   {14, 26, 10, 25, 25});
    const struct
    {
        QString invoice;
        QString layout;
        QString amount;
    } prints[] = {
        {onA5, a5, QStringLiteral("$99,999,999.99")},
        {onLetter, QStringLiteral("standard-invoice.json"), QStringLiteral("$1,234,567,890.00")}};
    for (const auto& print : prints) {
        const QString pdf = out.filePath(print.invoice + QStringLiteral(".pdf"));
        fixture.printToPdf(print.invoice, print.invoice, pdf, print.layout);
        EXPECT_EQ(fixture.messages, QStringList());
        const QString text = pdfText(pdf);
        // Unit price and extension on the line, the shipment's subtotal, the total and the
        // amount due.
        EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(print.amount) +
                                       QStringLiteral(" +") +
                                       QRegularExpression::escape(print.amount))
                        .match(text)
                        .hasMatch())
            << text.toStdString();
        EXPECT_EQ(text.count(print.amount), 5) << text.toStdString();
        // Texts may be cut short on a small page; a number never is.
        EXPECT_FALSE(QRegularExpression(QStringLiteral("[$0-9.,]\u2026")).match(text).hasMatch())
            << text.toStdString();
        EXPECT_EQ(pdfPages(pdf), 1);
    }
    EXPECT_EQ(fixture.company().auditProblems(), QStringList());
}

// A5 landscape with 50 mm margins and 24-point type leaves no room for an invoice: refused
// with the settings to change, no file; the same invoices print with the standard layout.
TEST(PrintAmounts, APageThatCannotHoldAnInvoiceIsRefused)
{
    PrintFixture fixture;
    const QString first = fixture.invoice({QStringLiteral("ORD1")});
    const QString last = fixture.invoice({QStringLiteral("ORD3")});
    QTemporaryDir out;
    const QString layout =
        writeLayout(out, QStringLiteral("small.json"),
                    page(QStringLiteral("A5"), QStringLiteral("landscape"), 50), 24);
    const QString pdf = out.filePath(QStringLiteral("invoices.pdf"));
    fixture.printToPdf(first, last, pdf, layout);
    ASSERT_EQ(fixture.messages.size(), 1);
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^The report file \"") + QRegularExpression::escape(layout) +
                    QStringLiteral("\" leaves no room for an invoice on its page: below the "
                                   "heading there is room for [0-6] lines of 24-point type, and an "
                                   "invoice needs 7 \\(a shipment's heading, a line, its subtotal "
                                   "and the totals\\)\\. Make \"font.size\" or \"page.marginMm\" "
                                   "smaller, or choose a larger \"page.size\" or the \"portrait\" "
                                   "\"page.orientation\"\\. Nothing was printed\\.$"))
                    .match(fixture.messages.first())
                    .hasMatch())
        << fixture.messages.first().toStdString();
    fixture.messages.clear();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(fixture.screenControl<QLabel>(QStringLiteral("lblStatus"))->text(), QString());

    fixture.printToPdf(first, last, pdf);
    EXPECT_EQ(fixture.messages, QStringList());
    EXPECT_EQ(pdfPages(pdf), 2);
    EXPECT_EQ(fixture.company().auditProblems(), QStringList());
}
