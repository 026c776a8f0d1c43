#include "invoicelayout.h"

#include <accpac/standin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>

namespace Accpac {

namespace {

const QString StandardLayout = QStringLiteral("standard-invoice.json");
const QString LayoutKind = QStringLiteral("tallymerge-invoice-layout");

[[noreturn]] void notALayout(const QString& file, const QString& why)
{
    throw LayoutError{QStringLiteral("The report file \"%1\" is not an invoice layout: %2.")
                          .arg(QDir::toNativeSeparators(file), why)};
}

const QHash<QString, InvoiceLayout::Column>& columnNames()
{
    static const QHash<QString, InvoiceLayout::Column> names = {
        {QStringLiteral("item"), InvoiceLayout::Column::Item},
        {QStringLiteral("description"), InvoiceLayout::Column::Description},
        {QStringLiteral("quantity"), InvoiceLayout::Column::Quantity},
        {QStringLiteral("price"), InvoiceLayout::Column::Price},
        {QStringLiteral("extension"), InvoiceLayout::Column::Extension},
    };
    return names;
}

const QHash<QString, QString>& defaultLabels()
{
    static const QHash<QString, QString> labels = {
        {QStringLiteral("invoice"), QStringLiteral("Invoice Number")},
        {QStringLiteral("date"), QStringLiteral("Invoice Date")},
        {QStringLiteral("customer"), QStringLiteral("Customer Number")},
        {QStringLiteral("billTo"), QStringLiteral("Bill To")},
        {QStringLiteral("shipment"), QStringLiteral("Shipment")},
        {QStringLiteral("charges"), QStringLiteral("Charges")},
        {QStringLiteral("total"), QStringLiteral("Invoice Total")},
        {QStringLiteral("prepayment"), QStringLiteral("Prepayment")},
        {QStringLiteral("amountDue"), QStringLiteral("Amount Due")},
        {QStringLiteral("page"), QStringLiteral("Page")},
    };
    return labels;
}

QPageLayout pageOf(const QJsonObject& page, const QString& file)
{
    static const QHash<QString, QPageSize::PageSizeId> sizes = {
        {QStringLiteral("Letter"), QPageSize::Letter},
        {QStringLiteral("Legal"), QPageSize::Legal},
        {QStringLiteral("A4"), QPageSize::A4},
        {QStringLiteral("A5"), QPageSize::A5}};
    const QString size = page.value(QStringLiteral("size")).toString(QStringLiteral("Letter"));
    if (!sizes.contains(size))
        notALayout(file,
                   QStringLiteral("the page size \"%1\" is not Letter, Legal, A4 or A5").arg(size));
    const QString orientation =
        page.value(QStringLiteral("orientation")).toString(QStringLiteral("portrait"));
    if (orientation != QLatin1String("portrait") && orientation != QLatin1String("landscape"))
        notALayout(file, QStringLiteral("the orientation is neither portrait nor landscape"));
    const double margin = page.value(QStringLiteral("marginMm")).toDouble(15);
    if (margin < 0 || margin > 50)
        notALayout(file, QStringLiteral("the page margin is not between 0 and 50 mm"));
    return QPageLayout(QPageSize(sizes.value(size)),
                       orientation == QLatin1String("landscape") ? QPageLayout::Landscape
                                                                 : QPageLayout::Portrait,
                       QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter);
}

QString inFolder(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(name);
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace

QString shippedLayoutFolder()
{
    const QStringList candidates = {QCoreApplication::applicationDirPath() +
                                        QStringLiteral("/../share/tallymerge/reports"),
                                    QStringLiteral(TALLYMERGE_REPORTS_DIR)};
    for (const QString& folder : candidates) {
        if (QFileInfo(QDir(folder).filePath(StandardLayout)).isFile())
            return QDir::cleanPath(folder);
    }
    return {};
}

QString findLayoutFile(const QString& reportFile, const QString& siteFolder)
{
    const QString name = reportFile.trimmed();
    if (name.isEmpty())
        throw LayoutError{QStringLiteral("Enter the report file to print with.")};
    if (QFileInfo(name).isDir())
        throw LayoutError{QStringLiteral("The report file \"%1\" is a folder, not a layout file.")
                              .arg(QDir::toNativeSeparators(name))};
    QString found;
    if (QFileInfo(name).isAbsolute())
        found = QFileInfo(name).isFile() ? name : QString();
    else if (!siteFolder.isEmpty())
        found = inFolder(QDir(siteFolder).filePath(QStringLiteral("reports")), name);
    if (found.isEmpty() && !QFileInfo(name).isAbsolute())
        found = inFolder(shippedLayoutFolder(), name);
    if (found.isEmpty())
        throw LayoutError{QStringLiteral("The report file \"%1\" does not exist.").arg(name)};
    return found;
}

InvoiceLayout loadLayout(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        throw LayoutError{QStringLiteral("The report file \"%1\" cannot be read: %2.")
                              .arg(QDir::toNativeSeparators(file), in.errorString())};
    // A layout is a few kilobytes; anything far bigger is not one.
    if (in.size() > 1024 * 1024)
        notALayout(file, QStringLiteral("it is far too big"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        notALayout(file, QStringLiteral("%1 at character %2")
                             .arg(parseError.errorString())
                             .arg(parseError.offset));
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("kind")).toString() != LayoutKind)
        notALayout(file, QStringLiteral("it does not say \"kind\": \"%1\"").arg(LayoutKind));
    if (root.value(QStringLiteral("version")).toInt() != 1)
        notALayout(file, QStringLiteral("only version 1 is known"));

    InvoiceLayout layout;
    layout.title = root.value(QStringLiteral("title")).toString(QStringLiteral("INVOICE"));
    layout.page = pageOf(root.value(QStringLiteral("page")).toObject(), file);
    const QJsonObject font = root.value(QStringLiteral("font")).toObject();
    layout.fontFamily =
        font.value(QStringLiteral("family")).toString(QStringLiteral("DejaVu Sans"));
    layout.fontSize = font.value(QStringLiteral("size")).toDouble(9);
    if (layout.fontSize < 5 || layout.fontSize > 24)
        notALayout(file, QStringLiteral("the font size is not between 5 and 24 points"));
    layout.showAddress = root.value(QStringLiteral("billToAddress")).toBool(true);

    layout.labels = defaultLabels();
    const QJsonObject labels = root.value(QStringLiteral("labels")).toObject();
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        if (!layout.labels.contains(it.key()) || !it.value().isString())
            notALayout(file,
                       QStringLiteral("the label \"%1\" is unknown or not a text").arg(it.key()));
        layout.labels.insert(it.key(), it.value().toString());
    }

    const QJsonArray columns = root.value(QStringLiteral("columns")).toArray();
    if (columns.isEmpty())
        notALayout(file, QStringLiteral("it has no columns"));
    for (const QJsonValue& value : columns) {
        const QJsonObject column = value.toObject();
        const QString field = column.value(QStringLiteral("field")).toString();
        const double width = column.value(QStringLiteral("width")).toDouble();
        if (!columnNames().contains(field))
            notALayout(file, QStringLiteral("the column \"%1\" is none of item, description, "
                                            "quantity, price, extension")
                                 .arg(field));
        if (!(width > 0 && width <= 100))
            notALayout(
                file,
                QStringLiteral("the column \"%1\" has no width between 0 and 100").arg(field));
        layout.columns.append({columnNames().value(field),
                               column.value(QStringLiteral("heading")).toString(), width});
    }
    return layout;
}

} // namespace Accpac
