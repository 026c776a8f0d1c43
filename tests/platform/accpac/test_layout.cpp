// Report (layout) files are read strictly: every key known, every value of its type and
// range, or the file is refused with the key and what was expected.
#include <invoicelayout.h>
#include <invoicepainter.h>
#include <pdffile.h>
#include <pdftext.h>

#include <accpac/standin.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace {

QJsonObject standardLayout()
{
    QFile file(
        QDir(Accpac::shippedLayoutFolder()).filePath(QStringLiteral("standard-invoice.json")));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

class LayoutFiles
{
public:
    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("layout%1.json").arg(++m_count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QString write(const QJsonObject& root) { return write(QJsonDocument(root).toJson()); }

    // The reason the file is refused for; "" when it is read.
    static QString refusal(const QString& file)
    {
        try {
            Accpac::loadLayout(file);
        } catch (const Accpac::LayoutError& error) {
            const QString start =
                QStringLiteral("The report file \"%1\" is not an invoice layout: ")
                    .arg(QDir::toNativeSeparators(file));
            EXPECT_TRUE(error.message.startsWith(start)) << error.message.toStdString();
            return error.message.mid(start.size());
        }
        return {};
    }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

using Change = std::function<void(QJsonObject&)>;

Change set(const QString& key, const QJsonValue& value)
{
    return [=](QJsonObject& root) { root.insert(key, value); };
}

Change setIn(const QString& object, const QString& key, const QJsonValue& value)
{
    return [=](QJsonObject& root) {
        QJsonObject inner = root.value(object).toObject();
        inner.insert(key, value);
        root.insert(object, inner);
    };
}

Change setInColumn(int index, const QString& key, const QJsonValue& value)
{
    return [=](QJsonObject& root) {
        QJsonArray columns = root.value(QStringLiteral("columns")).toArray();
        QJsonObject column = columns.at(index).toObject();
        if (value.isUndefined())
            column.remove(key);
        else
            column.insert(key, value);
        columns.replace(index, column);
        root.insert(QStringLiteral("columns"), columns);
    };
}

} // namespace

// Values of the right types are used as written.
TEST(InvoiceLayout, ValuesOfTheRightTypesAreUsed)
{
    LayoutFiles files;
    QJsonObject root = standardLayout();
    setIn(QStringLiteral("page"), QStringLiteral("size"), QStringLiteral("A4"))(root);
    setIn(QStringLiteral("page"), QStringLiteral("orientation"), QStringLiteral("landscape"))(root);
    setIn(QStringLiteral("font"), QStringLiteral("size"), 12)(root);
    set(QStringLiteral("billToAddress"), false)(root);
    setIn(QStringLiteral("labels"), QStringLiteral("total"), QStringLiteral("Summe %1 & %2"))(root);
    const Accpac::InvoiceLayout layout = Accpac::loadLayout(files.write(root));
    EXPECT_EQ(layout.page.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(layout.page.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(layout.fontSize, 12);
    EXPECT_FALSE(layout.showAddress);
    EXPECT_TRUE(layout.shipmentSubtotals);
    EXPECT_EQ(layout.label(QStringLiteral("subtotal")), QStringLiteral("Subtotal"));
    EXPECT_EQ(layout.label(QStringLiteral("total")), QStringLiteral("Summe %1 & %2"));
    EXPECT_EQ(layout.label(QStringLiteral("page")), QStringLiteral("Page"));
    ASSERT_EQ(layout.columns.size(), 5);
    EXPECT_EQ(layout.columns.at(1).column, Accpac::InvoiceLayout::Column::Description);
    EXPECT_EQ(layout.columns.at(1).width, 40);
}

// Every rule, and a wrong type in every key: each refusal names the key and what it must be.
TEST(InvoiceLayout, EveryWrongValueIsRefusedWithItsKey)
{
    const QString pageSizes = QStringLiteral("one of Letter, Legal, A4, A5");
    const struct
    {
        Change change;
        QString reason;
    } cases[] = {
        {set(QStringLiteral("version"), 2),
         QStringLiteral("\"version\" must be 1, the only version known.")},
        {set(QStringLiteral("version"), QStringLiteral("1")),
         QStringLiteral("\"version\" must be 1, the only version known.")},
        {[](QJsonObject& r) { r.remove(QStringLiteral("version")); },
         QStringLiteral("\"version\" must be 1, the only version known.")},
        {set(QStringLiteral("title"), 5),
         QStringLiteral("\"title\" must be a text in double quotes.")},
        {set(QStringLiteral("page"), QStringLiteral("A4")),
         QStringLiteral("\"page\" must be an object { ... }.")},
        {setIn(QStringLiteral("page"), QStringLiteral("size"), 4),
         QStringLiteral("\"page.size\" must be a text in double quotes.")},
        {setIn(QStringLiteral("page"), QStringLiteral("size"), QStringLiteral("B5")),
         QStringLiteral("\"page.size\" must be ") + pageSizes + u'.'},
        {setIn(QStringLiteral("page"), QStringLiteral("orientation"), QStringLiteral("sideways")),
         QStringLiteral("\"page.orientation\" must be one of portrait, landscape.")},
        {setIn(QStringLiteral("page"), QStringLiteral("orientation"), true),
         QStringLiteral("\"page.orientation\" must be a text in double quotes.")},
        {setIn(QStringLiteral("page"), QStringLiteral("marginMm"), 50.5),
         QStringLiteral("\"page.marginMm\" must be a number from 0 to 50.")},
        {setIn(QStringLiteral("page"), QStringLiteral("marginMm"), -1),
         QStringLiteral("\"page.marginMm\" must be a number from 0 to 50.")},
        {setIn(QStringLiteral("page"), QStringLiteral("marginMm"), QStringLiteral("15")),
         QStringLiteral("\"page.marginMm\" must be a number from 0 to 50.")},
        {setIn(QStringLiteral("page"), QStringLiteral("colour"), QStringLiteral("white")),
         QStringLiteral("the key \"page.colour\" is unknown (known: size, orientation, "
                        "marginMm).")},
        {setIn(QStringLiteral("font"), QStringLiteral("size"), QStringLiteral("12")),
         QStringLiteral("\"font.size\" must be a number from 5 to 24.")},
        {setIn(QStringLiteral("font"), QStringLiteral("size"), 4.9),
         QStringLiteral("\"font.size\" must be a number from 5 to 24.")},
        {setIn(QStringLiteral("font"), QStringLiteral("size"), 25),
         QStringLiteral("\"font.size\" must be a number from 5 to 24.")},
        {setIn(QStringLiteral("font"), QStringLiteral("family"), QJsonArray{1}),
         QStringLiteral("\"font.family\" must be a text in double quotes.")},
        {set(QStringLiteral("font"), 9), QStringLiteral("\"font\" must be an object { ... }.")},
        {set(QStringLiteral("billToAddress"), QStringLiteral("no")),
         QStringLiteral("\"billToAddress\" must be true or false.")},
        {set(QStringLiteral("billToAddress"), 0),
         QStringLiteral("\"billToAddress\" must be true or false.")},
        {setIn(QStringLiteral("labels"), QStringLiteral("colour"), QStringLiteral("Farbe")),
         QStringLiteral("the key \"labels.colour\" is unknown (known: amountDue, billTo, charges, "
                        "customer, date, invoice, page, prepayment, shipment, subtotal, "
                        "total).")},
        {setIn(QStringLiteral("labels"), QStringLiteral("total"), 5),
         QStringLiteral("\"labels.total\" must be a text in double quotes.")},
        {set(QStringLiteral("labels"), QJsonArray()),
         QStringLiteral("\"labels\" must be an object { ... }.")},
        {set(QStringLiteral("columns"), QJsonArray()),
         QStringLiteral("\"columns\" must be a list [ ... ] of one column or more.")},
        {[](QJsonObject& r) { r.remove(QStringLiteral("columns")); },
         QStringLiteral("\"columns\" must be a list [ ... ] of one column or more.")},
        {set(QStringLiteral("columns"), QJsonObject()),
         QStringLiteral("\"columns\" must be a list [ ... ] of one column or more.")},
        {set(QStringLiteral("columns"), QJsonArray{QStringLiteral("item")}),
         QStringLiteral("\"columns[0]\" must be an object { ... }.")},
        {setInColumn(0, QStringLiteral("width"), 0),
         QStringLiteral("\"columns[0].width\" must be a number above 0 to 100.")},
        {setInColumn(4, QStringLiteral("width"), 100.5),
         QStringLiteral("\"columns[4].width\" must be a number above 0 to 100.")},
        {setInColumn(2, QStringLiteral("width"), QStringLiteral("12")),
         QStringLiteral("\"columns[2].width\" must be a number above 0 to 100.")},
        {setInColumn(2, QStringLiteral("width"), QJsonValue::Undefined),
         QStringLiteral("\"columns[2].width\" is missing.")},
        {setInColumn(1, QStringLiteral("field"), QStringLiteral("colour")),
         QStringLiteral("\"columns[1].field\" must be one of item, description, quantity, price, "
                        "extension.")},
        {setInColumn(1, QStringLiteral("field"), QJsonValue::Undefined),
         QStringLiteral("\"columns[1].field\" is missing.")},
        {setInColumn(3, QStringLiteral("heading"), 7),
         QStringLiteral("\"columns[3].heading\" must be a text in double quotes.")},
        {setInColumn(3, QStringLiteral("align"), QStringLiteral("left")),
         QStringLiteral("the key \"columns[3].align\" is unknown (known: field, heading, width).")},
        {set(QStringLiteral("%1 & %2"), 1),
         QStringLiteral("the key \"%1 & %2\" is unknown (known: kind, version, title, page, font, "
                        "billToAddress, shipmentSubtotals, labels, columns).")},
        {set(QStringLiteral("shipmentSubtotals"), QStringLiteral("yes")),
         QStringLiteral("\"shipmentSubtotals\" must be true or false.")},
        {set(QStringLiteral("kind"), 1),
         QStringLiteral("it does not say \"kind\": \"tallymerge-invoice-layout\".")},
    };
    LayoutFiles files;
    for (const auto& c : cases) {
        QJsonObject root = standardLayout();
        c.change(root);
        EXPECT_EQ(files.refusal(files.write(root)), c.reason) << c.reason.toStdString();
    }
}

// Files that are no layout at all: empty, blank, too big, nested deeper than the reader
// goes, nested within a key, and not JSON.
TEST(InvoiceLayout, FilesThatAreNoLayoutAreRefused)
{
    LayoutFiles files;
    EXPECT_EQ(files.refusal(files.write(QByteArray())), QStringLiteral("it is empty."));
    EXPECT_EQ(files.refusal(files.write(" \n\t ")), QStringLiteral("it is empty."));

    // 2 MB of a valid layout padded with blanks: refused by its size, unread.
    QByteArray big = QJsonDocument(standardLayout()).toJson();
    big.append(QByteArray(2 * 1024 * 1024, ' '));
    EXPECT_EQ(files.refusal(files.write(big)), QStringLiteral("it is larger than 1048576 bytes."));
    // Exactly at the limit is still read.
    QByteArray atLimit = QJsonDocument(standardLayout()).toJson();
    atLimit.append(QByteArray(1024 * 1024 - atLimit.size(), ' '));
    EXPECT_EQ(files.refusal(files.write(atLimit)), QString());

    const QByteArray deep = QByteArray(5000, '[') + QByteArray(5000, ']');
    EXPECT_TRUE(files.refusal(files.write(deep)).contains(QStringLiteral("at character")));

    QJsonValue nested = QStringLiteral("Total");
    for (int i = 0; i < 200; ++i)
        nested = QJsonObject{{QStringLiteral("x"), nested}};
    QJsonObject root = standardLayout();
    setIn(QStringLiteral("labels"), QStringLiteral("total"), nested)(root);
    EXPECT_EQ(files.refusal(files.write(root)),
              QStringLiteral("\"labels.total\" must be a text in double quotes."));

    EXPECT_TRUE(files.refusal(files.write("{\"kind\": ")).contains(QStringLiteral("at character")));
    EXPECT_EQ(files.refusal(files.write("[1, 2]")),
              QStringLiteral("it does not say \"kind\": \"tallymerge-invoice-layout\"."));
}

// The check before a print, on a PDF writer's page: the standard Letter layout holds every
// amount of up to 15 digits; an amount beyond that is refused by its invoice and amount, and
// a currency of wide amounts (no decimals, symbol and blank after) makes a narrow column
// refuse the layout.
TEST(InvoiceLayout, ThePrintCheckRefusesWhatWouldBeCutShort)
{
    LayoutFiles files;
    const QString standard = files.write(standardLayout());
    const Accpac::InvoiceLayout layout = Accpac::loadLayout(standard);
    EXPECT_EQ(layout.file, standard);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter writer(&sink);
    writer.setResolution(300);
    writer.setPageLayout(layout.page);

    Accpac::PrintedInvoice invoice;
    invoice.number = QStringLiteral("IN%1");
    invoice.currency = AccpacCurrency(QStringLiteral("USD"), QStringLiteral("US Dollar"),
                                      QStringLiteral("$"), 2, 2, 2, ',', '.');
    Accpac::PrintedInvoice::Line line;
    line.quantity = 1;
    line.price = line.extension = 9999999999999.99;
    invoice.shipments = {{QStringLiteral("SH1"), {}, {line}}};
    invoice.total = invoice.amountDue = line.extension;
    EXPECT_EQ(Accpac::printProblem(writer, layout, {invoice}), QString());

    invoice.shipments[0].lines[0].extension = 1e17;
    EXPECT_EQ(Accpac::printProblem(writer, layout, {invoice}),
              QStringLiteral("Invoice IN%1 cannot be printed: $100,000,000,000,000,000.00 does not "
                             "fit \"columns[4]\" (Extension) of the report file \"%2\" even in "
                             "6-point type. Widen it in the report file. Nothing was printed.")
                  .arg(QStringLiteral("%1"), standard));

    invoice.shipments[0].lines[0].extension = 1;
    invoice.currency = AccpacCurrency(QStringLiteral("XWD"), QStringLiteral("Wide"),
                                      QStringLiteral("WWWWWW"), 0, 3, 3, ',', '.');
    EXPECT_TRUE(Accpac::printProblem(writer, layout, {invoice})
                    .startsWith(QStringLiteral("The report file \"%1\" gives \"columns[3]\" (Unit "
                                               "Price) too little width for the amounts of "
                                               "currency XWD: (999,999,999,999,999 WWWWWW) does "
                                               "not fit even in 6-point type.")
                                    .arg(standard)))
        << Accpac::printProblem(writer, layout, {invoice}).toStdString();
}

// A shipment whose lines fill the first page, for every place the page can end in: its
// subtotal is always on the page of its last line, and the next shipment's heading on the
// page of its first line, each subtotal the sum of its lines.
TEST(InvoiceLayout, AShipmentCrossingAPageKeepsItsSubtotalWithItsLastLine)
{
    LayoutFiles files;
    const Accpac::InvoiceLayout layout = Accpac::loadLayout(files.write(standardLayout()));
    ASSERT_TRUE(layout.shipmentSubtotals);
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("shipments.pdf"));
    const auto lineOf = [](const QString& item, double amount) {
        Accpac::PrintedInvoice::Line line;
        line.item = item;
        line.description = QStringLiteral("Widget");
        line.quantity = 1;
        line.price = line.extension = amount;
        return line;
    };
    int pagesSeen = 0;
    for (int count = 30; count <= 60; ++count) {
        Accpac::PrintedInvoice invoice;
        invoice.number = QStringLiteral("IN1");
        invoice.currency = AccpacCurrency(QStringLiteral("USD"), QStringLiteral("US Dollar"),
                                          QStringLiteral("$"), 2, 2, 2, ',', '.');
        Accpac::PrintedInvoice::Shipment first{QStringLiteral("SHA"), QDate(2026, 12, 3), {}};
        for (int i = 1; i <= count; ++i)
            first.lines << lineOf(QStringLiteral("ITEM-A%1").arg(i, 3, 10, QLatin1Char('0')), 0.1);
        const Accpac::PrintedInvoice::Shipment second{
            QStringLiteral("SHB"),
            QDate(2026, 12, 5),
            {lineOf(QStringLiteral("ITEM-B001"), 2.5), lineOf(QStringLiteral("ITEM-B002"), 4)}};
        invoice.shipments = {first, second};
        invoice.total = invoice.amountDue = count * 0.1 + 6.5;
        const QString written = Accpac::writePdfFile(
            pdf, layout.page, invoice.number, [&](QPainter& painter, QPagedPaintDevice& device) {
                return Accpac::printProblem(device, layout, {invoice}).isEmpty() &&
                       Accpac::paintInvoices(painter, device, layout, QStringLiteral("SAMINC"),
                                             {invoice});
            });
        ASSERT_EQ(written, QString());
        const QStringList pages = pdfText(pdf).split(u'\f', Qt::SkipEmptyParts);
        ASSERT_GE(pages.size(), 1);
        pagesSeen = qMax(pagesSeen, int(pages.size()));
        const auto pageOf = [&](const QString& text) {
            qsizetype found = -1;
            for (qsizetype p = 0; p < pages.size(); ++p)
                if (pages.at(p).contains(text)) {
                    EXPECT_EQ(found, -1) << text.toStdString() << " printed twice";
                    found = p;
                }
            EXPECT_GE(found, 0) << text.toStdString() << " not printed";
            return found;
        };
        const QString last = QStringLiteral("ITEM-A%1").arg(count, 3, 10, QLatin1Char('0'));
        const QString context = QStringLiteral("%1 lines:\n").arg(count) + pages.join(u'\f');
        EXPECT_EQ(pageOf(QStringLiteral("Subtotal SHA")), pageOf(last)) << context.toStdString();
        EXPECT_EQ(pageOf(QStringLiteral("Shipment SHB")), pageOf(QStringLiteral("ITEM-B001")))
            << context.toStdString();
        const QString text = pages.join(u'\f');
        const QString subtotal = QLocale(QLocale::English).toString(count * 0.1, 'f', 2);
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("Shipment SHA +Dec 3, 2026")).match(text).hasMatch());
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("Shipment SHB +Dec 5, 2026")).match(text).hasMatch());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("Subtotal SHA +\\$") +
                                       QRegularExpression::escape(subtotal))
                        .match(text)
                        .hasMatch())
            << context.toStdString();
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("Subtotal SHB +\\$6\\.50")).match(text).hasMatch());
    }
    // The lengths tried reach past the first page.
    EXPECT_GE(pagesSeen, 2);
}
