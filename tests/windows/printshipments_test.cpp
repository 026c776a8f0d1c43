// A printed invoice shows each shipment: its number and date over its lines and, when the
// layout asks for it, its subtotal under them; a layout that does not ask prints as before.
#include "printtesting.h"

#include <accpac/standin.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TestOrder datedOrder(const QString& number, int date, double amount)
{
    TestOrder o;
    o.number = QStringLiteral("ORD") + number;
    o.orderDate = date;
    o.shipments = {{QStringLiteral("SH") + number, amount}};
    o.withLines = true;
    return o;
}

// The standard layout as written before shipments had subtotals.
QString olderLayout(const QTemporaryDir& dir)
{
    QFile standard(
        QDir(Accpac::shippedLayoutFolder()).filePath(QStringLiteral("standard-invoice.json")));
    EXPECT_TRUE(standard.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(standard.readAll()).object();
    EXPECT_TRUE(root.contains(QStringLiteral("shipmentSubtotals")));
    root.remove(QStringLiteral("shipmentSubtotals"));
    QJsonObject labels = root.value(QStringLiteral("labels")).toObject();
    labels.remove(QStringLiteral("subtotal"));
    root.insert(QStringLiteral("labels"), labels);
    QFile file(dir.filePath(QStringLiteral("older.json")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(root).toJson());
    return file.fileName();
}

} // namespace

// Two shipments of different dates on one invoice: each heading with the shipment's own
// date, each subtotal its line, the subtotals adding up to the stored total. The same invoice with
// an older layout: the same headings and amounts on as many pages, and no subtotal.
TEST(PrintShipments, EachShipmentShowsItsDateAndSubtotalAndOlderLayoutsPrintAsBefore)
{
    PrintFixture fixture;
    fixture.company().addOrders({datedOrder(QStringLiteral("31"), 20261203, 20.4),
                                 datedOrder(QStringLiteral("32"), 20261205, 1030.25)});
    const QString number = fixture.invoice({QStringLiteral("ORD31"), QStringLiteral("ORD32")});
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("shipments.pdf"));
    fixture.printToPdf(number, number, pdf);
    EXPECT_EQ(fixture.messages, QStringList());
    const QString text = pdfText(pdf);
    ASSERT_FALSE(text.isEmpty());

    const QRegularExpression heading(
        QStringLiteral("Shipment (SH3[12]) +([A-Z][a-z]{2} \\d+, \\d{4})"));
    QStringList headings;
    for (const auto& match : heading.globalMatch(text))
        headings << match.captured(1) + u' ' + match.captured(2);
    EXPECT_EQ(headings,
              QStringList({QStringLiteral("SH31 Dec 3, 2026"), QStringLiteral("SH32 Dec 5, 2026")}))
        << text.toStdString();

    const QLocale english(QLocale::English);
    const QRegularExpression subtotal(QStringLiteral("Subtotal (SH3[12]) +\\$([0-9,.]+)"));
    QStringList subtotals;
    double sum = 0;
    for (const auto& match : subtotal.globalMatch(text)) {
        subtotals << match.captured(1) + u' ' + match.captured(2);
        sum += english.toDouble(match.captured(2));
    }
    EXPECT_EQ(subtotals,
              QStringList({QStringLiteral("SH31 20.40"), QStringLiteral("SH32 1,030.25")}))
        << text.toStdString();
    const double total = fixture.invoiceField(number, QStringLiteral("INVNETWTX")).toDouble();
    EXPECT_DOUBLE_EQ(sum, total);
    const int pages = pdfPages(pdf);
    EXPECT_EQ(pages, 1);

    const QString older = out.filePath(QStringLiteral("older.pdf"));
    fixture.printToPdf(number, number, older, olderLayout(out));
    EXPECT_EQ(fixture.messages, QStringList());
    const QString olderText = pdfText(older);
    ASSERT_FALSE(olderText.isEmpty());
    EXPECT_FALSE(olderText.contains(QStringLiteral("Subtotal"))) << olderText.toStdString();
    QStringList olderHeadings;
    for (const auto& match : heading.globalMatch(olderText))
        olderHeadings << match.captured(1) + u' ' + match.captured(2);
    EXPECT_EQ(olderHeadings, headings);
    for (const QString& amount :
         {QStringLiteral("$20.40"), QStringLiteral("$1,030.25"), english.toString(total, 'f', 2)})
        EXPECT_TRUE(olderText.contains(amount)) << amount.toStdString();
    EXPECT_EQ(pdfPages(older), pages);
    EXPECT_EQ(fixture.company().auditProblems(), QStringList());
}
