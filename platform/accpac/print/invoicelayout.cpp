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
#include <QStringList>

namespace Accpac {

namespace {

const QString StandardLayout = QStringLiteral("standard-invoice.json");
const QString LayoutKind = QStringLiteral("tallymerge-invoice-layout");
constexpr qint64 MaxLayoutBytes = 1024 * 1024;

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
        {QStringLiteral("subtotal"), QStringLiteral("Subtotal")},
        {QStringLiteral("charges"), QStringLiteral("Charges")},
        {QStringLiteral("total"), QStringLiteral("Invoice Total")},
        {QStringLiteral("prepayment"), QStringLiteral("Prepayment")},
        {QStringLiteral("amountDue"), QStringLiteral("Amount Due")},
        {QStringLiteral("page"), QStringLiteral("Page")},
    };
    return labels;
}

// One object of a layout file, read strictly: every key it holds must be one of `known`, and
// every value read must have the expected type and range; anything else is refused with the
// key's full name and what was expected.
class LayoutObject
{
public:
    LayoutObject(const QJsonValue& value, const QString& name, const QString& file,
                 const QStringList& known)
        : m_name(name), m_file(file)
    {
        if (!value.isUndefined() && !value.isObject())
            refuse(name, QStringLiteral("an object { ... }"));
        m_object = value.toObject();
        for (auto it = m_object.begin(); it != m_object.end(); ++it)
            if (!known.contains(it.key()))
                notALayout(m_file, QStringLiteral("the key \"%1\" is unknown (known: %2)")
                                       .arg(keyName(it.key()), known.join(QStringLiteral(", "))));
    }

    const QJsonObject& object() const { return m_object; }
    QJsonValue value(const QString& key) const { return m_object.value(key); }
    QString keyName(const QString& key) const
    {
        return m_name.isEmpty() ? key : m_name + u'.' + key;
    }

    QString text(const QString& key, const QString& missing) const
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return missing;
        if (!v.isString())
            refuse(keyName(key), QStringLiteral("a text in double quotes"));
        return v.toString();
    }

    QString choice(const QString& key, const QString& missing, const QStringList& allowed) const
    {
        const QString chosen = text(key, missing);
        if (!allowed.contains(chosen))
            refuse(keyName(key), QStringLiteral("one of ") + allowed.join(QStringLiteral(", ")));
        return chosen;
    }

    // A number from `low` to `high`; `aboveLow` excludes `low` itself.
    double number(const QString& key, double missing, double low, double high,
                  bool aboveLow = false) const
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return missing;
        const double n = v.toDouble();
        if (!v.isDouble() || n < low || (aboveLow && n == low) || n > high)
            refuse(keyName(key),
                   QStringLiteral("a number %1 %2 to %3")
                       .arg(aboveLow ? QStringLiteral("above") : QStringLiteral("from"),
                            QString::number(low), QString::number(high)));
        return n;
    }

    bool flag(const QString& key, bool missing) const
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return missing;
        if (!v.isBool())
            refuse(keyName(key), QStringLiteral("true or false"));
        return v.toBool();
    }

    [[noreturn]] void refuse(const QString& key, const QString& expected) const
    {
        notALayout(m_file, QStringLiteral("\"%1\" must be %2").arg(key, expected));
    }

private:
    QJsonObject m_object;
    QString m_name;
    QString m_file;
};

QPageLayout pageOf(const LayoutObject& root, const QString& file)
{
    static const QHash<QString, QPageSize::PageSizeId> sizes = {
        {QStringLiteral("Letter"), QPageSize::Letter},
        {QStringLiteral("Legal"), QPageSize::Legal},
        {QStringLiteral("A4"), QPageSize::A4},
        {QStringLiteral("A5"), QPageSize::A5}};
    const LayoutObject page(
        root.value(QStringLiteral("page")), QStringLiteral("page"), file,
        {QStringLiteral("size"), QStringLiteral("orientation"), QStringLiteral("marginMm")});
    const QString size = page.choice(QStringLiteral("size"), QStringLiteral("Letter"),
                                     {QStringLiteral("Letter"), QStringLiteral("Legal"),
                                      QStringLiteral("A4"), QStringLiteral("A5")});
    const QString orientation =
        page.choice(QStringLiteral("orientation"), QStringLiteral("portrait"),
                    {QStringLiteral("portrait"), QStringLiteral("landscape")});
    const double margin = page.number(QStringLiteral("marginMm"), 15, 0, 50);
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
    else if (!siteFolder.isEmpty() && !isServerSite(siteFolder))
        // A site on a database server has no folder on this machine: its connection string
        // must never be taken for a (relative) folder to look in.
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
    // A layout is a few kilobytes; anything far bigger is not one (read no more than that).
    const QByteArray content = in.read(MaxLayoutBytes + 1);
    if (content.size() > MaxLayoutBytes)
        notALayout(
            file,
            QStringLiteral("it is larger than %1 bytes").arg(QString::number(MaxLayoutBytes)));
    if (content.trimmed().isEmpty())
        notALayout(file, QStringLiteral("it is empty"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        notALayout(file, QStringLiteral("%1 at character %2")
                             .arg(parseError.errorString(), QString::number(parseError.offset)));
    if (!document.isObject() ||
        document.object().value(QStringLiteral("kind")) != QJsonValue(LayoutKind))
        notALayout(file, QStringLiteral("it does not say \"kind\": \"%1\"").arg(LayoutKind));
    const LayoutObject root(
        document.object(), QString(), file,
        {QStringLiteral("kind"), QStringLiteral("version"), QStringLiteral("title"),
         QStringLiteral("page"), QStringLiteral("font"), QStringLiteral("billToAddress"),
         QStringLiteral("shipmentSubtotals"), QStringLiteral("labels"), QStringLiteral("columns")});
    if (root.value(QStringLiteral("version")) != QJsonValue(1))
        root.refuse(QStringLiteral("version"), QStringLiteral("1, the only version known"));

    InvoiceLayout layout;
    layout.file = file;
    layout.title = root.text(QStringLiteral("title"), QStringLiteral("INVOICE"));
    layout.page = pageOf(root, file);
    const LayoutObject font(root.value(QStringLiteral("font")), QStringLiteral("font"), file,
                            {QStringLiteral("family"), QStringLiteral("size")});
    layout.fontFamily = font.text(QStringLiteral("family"), QStringLiteral("DejaVu Sans"));
    layout.fontSize = font.number(QStringLiteral("size"), 9, 5, 24);
    layout.showAddress = root.flag(QStringLiteral("billToAddress"), true);
    layout.shipmentSubtotals = root.flag(QStringLiteral("shipmentSubtotals"), false);

    layout.labels = defaultLabels();
    QStringList labelKeys = defaultLabels().keys();
    labelKeys.sort();
    const LayoutObject labels(root.value(QStringLiteral("labels")), QStringLiteral("labels"), file,
                              labelKeys);
    for (const QString& key : labels.object().keys())
        layout.labels.insert(key, labels.text(key, QString()));

    const QJsonValue columns = root.value(QStringLiteral("columns"));
    if (!columns.isArray() || columns.toArray().isEmpty())
        root.refuse(QStringLiteral("columns"),
                    QStringLiteral("a list [ ... ] of one column or more"));
    const QStringList fields = {QStringLiteral("item"), QStringLiteral("description"),
                                QStringLiteral("quantity"), QStringLiteral("price"),
                                QStringLiteral("extension")};
    const QJsonArray list = columns.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const LayoutObject column(
            list.at(i), QStringLiteral("columns[%1]").arg(i), file,
            {QStringLiteral("field"), QStringLiteral("heading"), QStringLiteral("width")});
        for (const QString& required : {QStringLiteral("field"), QStringLiteral("width")})
            if (column.value(required).isUndefined())
                notALayout(file, QStringLiteral("\"%1\" is missing").arg(column.keyName(required)));
        const QString field = column.choice(QStringLiteral("field"), QString(), fields);
        const double width = column.number(QStringLiteral("width"), 0, 0, 100, true);
        layout.columns.append(
            {columnNames().value(field), column.text(QStringLiteral("heading"), QString()), width});
    }
    return layout;
}

} // namespace Accpac
