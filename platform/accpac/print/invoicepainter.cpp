#include "invoicepainter.h"

#include <QDir>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSet>
#include <QTextLayout>

#include <map>
#include <optional>

namespace Accpac {

namespace {

// Kept free at a page's foot for the footer.
constexpr int FooterLines = 2;
// What the first page of an invoice must hold below its heading: a shipment's heading, one
// line (and its subtotal when the layout shows them), and the totals block.
constexpr int FirstLines = 2;
constexpr int TotalsLines = 4;

QString quantityText(double quantity)
{
    QString text = QString::number(quantity, 'f', 4);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

bool isNumber(InvoiceLayout::Column column)
{
    return column != InvoiceLayout::Column::Item && column != InvoiceLayout::Column::Description;
}

bool isAmount(InvoiceLayout::Column column)
{
    return column == InvoiceLayout::Column::Price || column == InvoiceLayout::Column::Extension;
}

// Lays invoices out on a device, and paints them when given an active painter; without one
// it only measures (printProblem).
class InvoicePainter
{
public:
    InvoicePainter(QPainter* painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName)
        : m_painter(painter), m_device(device), m_layout(layout), m_company(companyName),
          m_width(device.width()), m_height(device.height())
    {
        m_normal = sized(false, layout.fontSize).font;
        m_bold = sized(true, layout.fontSize).font;
        m_large = sized(true, layout.fontSize * 1.8).font;
        m_least = qMin(LeastReadablePoints, layout.fontSize);
        m_line = metrics(m_normal).height() * 1.25;
        double shares = 0;
        for (const auto& column : layout.columns)
            shares += column.width;
        double x = 0;
        for (const auto& column : layout.columns) {
            const double w = m_width * column.width / shares;
            m_columns.append({x, w});
            x += w;
        }
    }

    // False when the device could not start a page: what was painted is incomplete.
    bool paint(const QList<PrintedInvoice>& invoices)
    {
        bool first = true;
        for (const PrintedInvoice& invoice : invoices) {
            if (!first && !m_device.newPage())
                m_pagesFailed = true;
            first = false;
            paintInvoice(invoice);
        }
        return !m_pagesFailed;
    }

    QString problem(const QList<PrintedInvoice>& invoices)
    {
        if (const QString page = pageProblem(); !page.isEmpty())
            return page;
        QSet<QString> widestChecked;
        for (const PrintedInvoice& invoice : invoices) {
            m_invoice = &invoice;
            const QString widest = widestAmount(invoice.currency);
            if (!widestChecked.contains(widest)) {
                widestChecked.insert(widest);
                if (const QString narrow = widthProblem(widest); !narrow.isEmpty())
                    return narrow;
            }
            if (const QString number = numberProblem(invoice); !number.isEmpty())
                return number;
        }
        return {};
    }

private:
    struct Span
    {
        double x;
        double width;
    };

    // A text shaped in one font for the device: its glyphs, and its advance.
    struct Shaped
    {
        QList<QGlyphRun> glyphs;
        double width = 0;
    };

    // A font of the layout's family made for the device, with its metrics and the texts shaped
    // in it so far. Every font the painter uses comes from here and is kept: the device's font
    // engine is looked up once per size, and a text that recurs on every invoice (headings,
    // labels, items) is shaped once for the whole print, not once to measure it and again to
    // draw it.
    struct Face
    {
        QFont font;
        QFontMetricsF metrics;
        QHash<QString, Shaped> shaped = {};
    };

    const Face& sized(bool bold, double points) const
    {
        const auto key = std::make_pair(bold, points);
        auto at = m_faces.find(key);
        if (at == m_faces.end()) {
            QFont font(m_layout.fontFamily);
            font.setPointSizeF(points);
            font.setBold(bold);
            const QFont onDevice(font, &m_device);
            at = m_faces.emplace(key, Face{onDevice, QFontMetricsF(onDevice, &m_device)}).first;
        }
        return at->second;
    }

    const QFontMetricsF& metrics(const QFont& font) const
    {
        return sized(font.bold(), font.pointSizeF()).metrics;
    }

    const Shaped& shaped(const QFont& font, const QString& value) const
    {
        Face& face = const_cast<Face&>(sized(font.bold(), font.pointSizeF()));
        auto at = face.shaped.constFind(value);
        if (at == face.shaped.constEnd()) {
            QTextLayout layout(value, face.font, &m_device);
            layout.beginLayout();
            QTextLine line = layout.createLine();
            layout.endLayout();
            at = face.shaped.insert(value, {layout.glyphRuns(), line.horizontalAdvance()});
        }
        return *at;
    }

    double advance(const QFont& font, const QString& value) const
    {
        return shaped(font, value).width;
    }

    // The page must hold an invoice's heading (with the longest bill-to address), a line and
    // the totals, or every page would start again and print over its footer.
    QString pageProblem()
    {
        PrintedInvoice longest;
        longest.billAddress = QStringList(3, QStringLiteral("-"));
        m_invoice = &longest;
        m_y = 0;
        heading(true);
        const int room = qMax(0, int((m_height - m_y) / m_line) - FooterLines);
        const int needed = FirstLines + subtotalLines() + TotalsLines;
        if (room >= needed)
            return {};
        const bool landscape = m_layout.page.orientation() == QPageLayout::Landscape;
        return QStringLiteral("The report file \"%1\" leaves no room for an invoice on its page: "
                              "below the heading there is room for %2 lines of %3-point type, and "
                              "an invoice needs %4 (a shipment's heading, a line%5 and the "
                              "totals). Make \"font.size\" or \"page.marginMm\" smaller, or "
                              "choose a larger \"page.size\"%6. Nothing was printed.")
            .arg(QDir::toNativeSeparators(m_layout.file), QString::number(room),
                 QString::number(m_layout.fontSize), QString::number(needed),
                 subtotalLines() ? QStringLiteral(", its subtotal") : QString(),
                 landscape ? QStringLiteral(" or the \"portrait\" \"page.orientation\"")
                           : QString());
    }

    // Every amount column and the totals hold the widest amount of the currency.
    QString widthProblem(const QString& widest) const
    {
        const QString file = QDir::toNativeSeparators(m_layout.file);
        const QString points = QString::number(m_least);
        const QString currency = m_invoice->currency.Code();
        for (int i = 0; i < m_layout.columns.size(); ++i) {
            if (!isAmount(m_layout.columns[i].column) || fitting(m_normal, m_columns[i], widest))
                continue;
            return QStringLiteral("The report file \"%1\" gives \"%2\" (%3) too little width for "
                                  "the amounts of currency %4: %5 does not fit even in %6-point "
                                  "type. Give \"%2.width\" a larger share, or make "
                                  "\"page.marginMm\" smaller. Nothing was printed.")
                .arg(file, columnKey(i), m_layout.columns[i].heading, currency, widest, points);
        }
        if (fitting(m_bold, totalsSpan(), widest))
            return {};
        return QStringLiteral("The report file \"%1\" leaves the totals too little width for the "
                              "amounts of currency %2: %3 does not fit even in %4-point type. "
                              "Make \"page.marginMm\" smaller, or choose a wider \"page.size\" "
                              "or \"page.orientation\". Nothing was printed.")
            .arg(file, currency, widest, points);
    }

    // Every number of the invoice fits its column, shrunk as far as the least readable type.
    QString numberProblem(const PrintedInvoice& invoice) const
    {
        const auto refuse = [&](const QString& number, const QString& where) {
            return QStringLiteral("Invoice %1 cannot be printed: %2 does not fit %3 of the report "
                                  "file \"%4\" even in %5-point type. Widen it in the report "
                                  "file. Nothing was printed.")
                .arg(invoice.number, number, where, QDir::toNativeSeparators(m_layout.file),
                     QString::number(m_least));
        };
        QList<PrintedInvoice::Line> lines = invoice.charges;
        for (const auto& shipment : invoice.shipments)
            lines += shipment.lines;
        for (const auto& line : lines) {
            for (int i = 0; i < m_layout.columns.size(); ++i) {
                const QString value = cellText(line, i);
                if (isNumber(m_layout.columns[i].column) && !fitting(m_normal, m_columns[i], value))
                    return refuse(value, QStringLiteral("\"%1\" (%2)")
                                             .arg(columnKey(i), m_layout.columns[i].heading));
            }
        }
        QList<double> totals = {invoice.total, invoice.prepayment, invoice.amountDue};
        if (m_layout.shipmentSubtotals)
            for (const auto& shipment : invoice.shipments)
                totals << shipmentSubtotal(shipment, invoice.currency);
        for (const double amount : totals) {
            const QString value = formatAmount(amount, invoice.currency);
            if (!fitting(m_bold, totalsSpan(), value))
                return refuse(value, QStringLiteral("the totals"));
        }
        return {};
    }

    static QString columnKey(int column) { return QStringLiteral("columns[%1]").arg(column); }

    // The line a shipment's subtotal takes: one when the layout shows subtotals.
    int subtotalLines() const { return m_layout.shipmentSubtotals ? 1 : 0; }

    void paintInvoice(const PrintedInvoice& invoice)
    {
        m_invoice = &invoice;
        m_page = 1;
        m_y = 0;
        heading(true);
        for (const auto& shipment : invoice.shipments)
            paintShipment(shipment);
        if (!invoice.charges.isEmpty()) {
            room(2);
            text(m_bold, {0, m_width}, m_layout.label(QStringLiteral("charges")));
            m_y += m_line;
            for (const auto& line : invoice.charges)
                row(line);
        }
        room(TotalsLines);
        m_y += m_line * 0.5;
        rule(totalsSpan().x);
        m_y += m_line * 0.25;
        total(m_layout.label(QStringLiteral("total")), invoice.total, false);
        if (invoice.hasPrepayment)
            total(m_layout.label(QStringLiteral("prepayment")), invoice.prepayment, false);
        total(m_layout.label(QStringLiteral("amountDue")), invoice.amountDue, true);
        footer();
    }

    // A shipment's heading (its number and date), its lines and, when the layout shows them,
    // its subtotal. The heading never stays alone at a page's foot, nor the subtotal without
    // the shipment's last line.
    void paintShipment(const PrintedInvoice::Shipment& shipment)
    {
        const qsizetype count = shipment.lines.size();
        room(1 + (count > 0 ? 1 : 0) + (count <= 1 ? subtotalLines() : 0));
        const QString date =
            shipment.date.isValid() ? QStringLiteral("   ") + dateText(shipment.date) : QString();
        text(m_bold, {0, m_width},
             m_layout.label(QStringLiteral("shipment")) + QStringLiteral(" ") + shipment.number +
                 date);
        m_y += m_line;
        for (qsizetype i = 0; i < count; ++i)
            row(shipment.lines.at(i), i == count - 1 ? 1 + subtotalLines() : 1);
        if (m_layout.shipmentSubtotals) {
            room(1);
            total(m_layout.label(QStringLiteral("subtotal")) + QStringLiteral(" ") +
                      shipment.number,
                  shipmentSubtotal(shipment, m_invoice->currency), false);
        }
    }

    QString dateText(const QDate& date) const
    {
        return date.isValid() ? date.toString(QStringLiteral("MMM d, yyyy")) : QString();
    }

    // The invoice's heading: in full on its first page, one line on the pages after.
    void heading(bool full)
    {
        const PrintedInvoice& invoice = *m_invoice;
        if (full) {
            const double big = metrics(m_large).height();
            text(m_large, {0, m_width * 0.6}, m_company);
            text(m_large, {m_width * 0.6, m_width * 0.4}, m_layout.title, Qt::AlignRight);
            m_y += big * 1.3;
            const Span labels{m_width * 0.55, m_width * 0.2};
            const Span values{m_width * 0.75, m_width * 0.25};
            const double top = m_y;
            const QList<std::pair<QString, QString>> facts = {
                {m_layout.label(QStringLiteral("invoice")), invoice.number},
                {m_layout.label(QStringLiteral("date")), dateText(invoice.date)},
                {m_layout.label(QStringLiteral("customer")), invoice.customer}};
            for (const auto& [label, value] : facts) {
                text(m_bold, labels, label);
                text(m_normal, values, value, Qt::AlignRight);
                m_y += m_line;
            }
            m_y = top;
            text(m_bold, {0, m_width * 0.5}, m_layout.label(QStringLiteral("billTo")));
            m_y += m_line;
            QStringList address{invoice.billName};
            if (m_layout.showAddress)
                address << invoice.billAddress;
            for (const QString& line : address) {
                text(m_normal, {0, m_width * 0.5}, line);
                m_y += m_line;
            }
            m_y = qMax(m_y, top + 3 * m_line) + m_line;
        } else {
            text(m_bold, {0, m_width},
                 m_company + QStringLiteral(" - ") + m_layout.label(QStringLiteral("invoice")) +
                     QStringLiteral(" ") + invoice.number);
            m_y += m_line * 1.5;
        }
        for (int i = 0; i < m_layout.columns.size(); ++i)
            text(m_bold, m_columns[i], m_layout.columns[i].heading, alignment(i));
        m_y += m_line;
        rule(0);
        m_y += m_line * 0.25;
    }

    void footer()
    {
        const double y = m_y;
        m_y = m_height - m_line;
        text(m_normal, {0, m_width / 2}, m_invoice->number);
        text(m_normal, {m_width / 2, m_width / 2},
             m_layout.label(QStringLiteral("page")) + QStringLiteral(" ") + QString::number(m_page),
             Qt::AlignRight);
        m_y = y;
    }

    // Starts a new page unless `lines` more lines fit above the footer.
    void room(int lines)
    {
        if (m_y + lines * m_line <= m_height - FooterLines * m_line)
            return;
        footer();
        if (!m_device.newPage())
            m_pagesFailed = true;
        ++m_page;
        m_y = 0;
        heading(false);
    }

    Qt::Alignment alignment(int column) const
    {
        return isNumber(m_layout.columns[column].column) ? Qt::AlignRight : Qt::AlignLeft;
    }

    QString cellText(const PrintedInvoice::Line& line, int column) const
    {
        switch (m_layout.columns[column].column) {
        case InvoiceLayout::Column::Item:
            return line.item;
        case InvoiceLayout::Column::Description:
            return line.description;
        case InvoiceLayout::Column::Quantity:
            return quantityText(line.quantity);
        case InvoiceLayout::Column::Price:
            return formatAmount(line.price, m_invoice->currency);
        case InvoiceLayout::Column::Extension:
            return formatAmount(line.extension, m_invoice->currency);
        }
        return {};
    }

    // One line of the invoice, on a new page unless `keep` lines (it and those that must stay
    // with it) fit on this one.
    void row(const PrintedInvoice::Line& line, int keep = 1)
    {
        room(keep);
        for (int i = 0; i < m_layout.columns.size(); ++i) {
            if (isNumber(m_layout.columns[i].column))
                number(m_normal, m_columns[i], cellText(line, i));
            else
                text(m_normal, m_columns[i], cellText(line, i));
        }
        m_y += m_line;
    }

    // The totals block and the subtotals: labels on the left, amounts on the right of the
    // page's right half.
    Span totalsSpan() const { return {m_width * 0.5, m_width * 0.5}; }

    void total(const QString& label, double amount, bool strong)
    {
        const QFont& font = strong ? m_bold : m_normal;
        const QString value = formatAmount(amount, m_invoice->currency);
        const double width = advance(number(font, totalsSpan(), value), value);
        // The label takes the room the amount leaves, cut short when need be.
        text(font, {totalsSpan().x, qMax(0.0, totalsSpan().width - width - m_line / 2)}, label);
        m_y += m_line;
    }

    // A line across the page from x to its right edge.
    void rule(double x)
    {
        if (m_painter)
            m_painter->drawLine(QPointF(x, m_y), QPointF(m_width, m_y));
    }

    double padding(Span span) const { return span.width > 8 * m_line ? m_line * 0.2 : 0; }

    // The font, its type shrunk no further than the least readable size, in which `value`
    // fits the span; none when it does not fit even then.
    std::optional<QFont> fitting(const QFont& font, Span span, const QString& value) const
    {
        // A gap on the left keeps it apart from a number in the column before.
        const double room = span.width - 2 * padding(span) - m_line * 0.3;
        const bool bold = font.bold();
        for (double size = font.pointSizeF();;) {
            const Face& fitted = sized(bold, size);
            const double width = advance(fitted.font, value);
            if (width <= room)
                return fitted.font;
            if (size <= m_least)
                return std::nullopt;
            size = qMax(m_least, qMin(size - 0.25, size * room / width));
        }
    }

    // One line of text in a span, cut short with "..." when it does not fit.
    void text(const QFont& font, Span span, const QString& value,
              Qt::Alignment align = Qt::AlignLeft)
    {
        const double room = span.width - 2 * padding(span);
        if (advance(font, value) <= room)
            draw(font, span, value, align);
        else
            draw(font, span, metrics(font).elidedText(value, Qt::ElideRight, room), align);
    }

    // A number is never cut short: its type shrinks until it fits (printProblem has refused
    // the numbers that do not fit even in the least readable type). The font it was drawn in.
    QFont number(const QFont& font, Span span, const QString& value)
    {
        const QFont fitted = fitting(font, span, value).value_or(sized(font.bold(), m_least).font);
        draw(fitted, span, value, Qt::AlignRight);
        return fitted;
    }

    // One line of text that fits its span, centred in a box as high as a line of the
    // layout's type, so that shrunk numbers stay on the line. Drawn from its shaped glyphs.
    void draw(const QFont& font, Span span, const QString& value, Qt::Alignment align)
    {
        if (!m_painter || value.isEmpty())
            return;
        const Shaped& text = shaped(font, value);
        const double height = metrics(font).height();
        const double pad = padding(span);
        const double box = qMax(height, metrics(m_normal).height()) * 1.2;
        const double x =
            align & Qt::AlignRight ? span.x + span.width - pad - text.width : span.x + pad;
        const QPointF topLeft(x, m_y + (box - height) / 2);
        for (const QGlyphRun& run : text.glyphs)
            m_painter->drawGlyphRun(topLeft, run);
    }

    QPainter* m_painter;
    QPagedPaintDevice& m_device;
    const InvoiceLayout& m_layout;
    QString m_company;
    double m_width;
    double m_height;
    QFont m_normal, m_bold, m_large;
    double m_least = LeastReadablePoints;
    double m_line = 0;
    QList<Span> m_columns;
    mutable std::map<std::pair<bool, double>, Face> m_faces; // by boldness and point size
    const PrintedInvoice* m_invoice = nullptr;
    int m_page = 1;
    double m_y = 0;
    bool m_pagesFailed = false;
};

} // namespace

bool paintInvoices(QPainter& painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName, const QList<PrintedInvoice>& invoices)
{
    return InvoicePainter(&painter, device, layout, companyName).paint(invoices);
}

QString printProblem(QPagedPaintDevice& device, const InvoiceLayout& layout,
                     const QList<PrintedInvoice>& invoices)
{
    return InvoicePainter(nullptr, device, layout, QString()).problem(invoices);
}

} // namespace Accpac
