#include "invoicepainter.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace Accpac {

namespace {

QString quantityText(double quantity)
{
    QString text = QString::number(quantity, 'f', 4);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

class InvoicePainter
{
public:
    InvoicePainter(QPainter& painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName)
        : m_painter(painter), m_device(device), m_layout(layout), m_company(companyName),
          m_width(device.width()), m_height(device.height())
    {
        m_normal = QFont(layout.fontFamily);
        m_normal.setPointSizeF(layout.fontSize);
        m_bold = m_normal;
        m_bold.setBold(true);
        m_large = m_bold;
        m_large.setPointSizeF(layout.fontSize * 1.8);
        m_line = QFontMetricsF(m_normal, &device).height() * 1.25;
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

private:
    struct Span
    {
        double x;
        double width;
    };

    void paintInvoice(const PrintedInvoice& invoice)
    {
        m_invoice = &invoice;
        m_page = 1;
        m_y = 0;
        heading(true);
        for (const auto& shipment : invoice.shipments) {
            room(2);
            const QString date = shipment.date.isValid()
                                     ? QStringLiteral("   ") + dateText(shipment.date)
                                     : QString();
            text(m_bold, {0, m_width},
                 m_layout.label(QStringLiteral("shipment")) + QStringLiteral(" ") +
                     shipment.number + date);
            m_y += m_line;
            for (const auto& line : shipment.lines)
                row(line);
        }
        if (!invoice.charges.isEmpty()) {
            room(2);
            text(m_bold, {0, m_width}, m_layout.label(QStringLiteral("charges")));
            m_y += m_line;
            for (const auto& line : invoice.charges)
                row(line);
        }
        room(4);
        m_y += m_line * 0.5;
        m_painter.drawLine(QPointF(m_width * 0.55, m_y), QPointF(m_width, m_y));
        m_y += m_line * 0.25;
        total(QStringLiteral("total"), invoice.total, false);
        if (invoice.hasPrepayment)
            total(QStringLiteral("prepayment"), invoice.prepayment, false);
        total(QStringLiteral("amountDue"), invoice.amountDue, true);
        footer();
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
            const double big = QFontMetricsF(m_large, &m_device).height();
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
        m_painter.drawLine(QPointF(0, m_y), QPointF(m_width, m_y));
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
        if (m_y + lines * m_line <= m_height - 2 * m_line)
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
        switch (m_layout.columns[column].column) {
        case InvoiceLayout::Column::Item:
        case InvoiceLayout::Column::Description:
            return Qt::AlignLeft;
        default:
            return Qt::AlignRight;
        }
    }

    void row(const PrintedInvoice::Line& line)
    {
        room(1);
        for (int i = 0; i < m_layout.columns.size(); ++i) {
            QString value;
            switch (m_layout.columns[i].column) {
            case InvoiceLayout::Column::Item:
                value = line.item;
                break;
            case InvoiceLayout::Column::Description:
                value = line.description;
                break;
            case InvoiceLayout::Column::Quantity:
                value = quantityText(line.quantity);
                break;
            case InvoiceLayout::Column::Price:
                value = formatAmount(line.price, m_invoice->currency);
                break;
            case InvoiceLayout::Column::Extension:
                value = formatAmount(line.extension, m_invoice->currency);
                break;
            }
            text(m_normal, m_columns[i], value, alignment(i));
        }
        m_y += m_line;
    }

    void total(const QString& label, double amount, bool strong)
    {
        text(strong ? m_bold : m_normal, {m_width * 0.55, m_width * 0.25}, m_layout.label(label));
        text(strong ? m_bold : m_normal, {m_width * 0.8, m_width * 0.2},
             formatAmount(amount, m_invoice->currency), Qt::AlignRight);
        m_y += m_line;
    }

    // One line of text in a span, cut short with "..." when it does not fit.
    void text(const QFont& font, Span span, const QString& value,
              Qt::Alignment align = Qt::AlignLeft)
    {
        m_painter.setFont(font);
        const double pad = span.width > 8 * m_line ? m_line * 0.2 : 0;
        const QRectF box(span.x + pad, m_y, span.width - 2 * pad,
                         QFontMetricsF(font, &m_device).height() * 1.2);
        const QString shown =
            QFontMetricsF(font, &m_device).elidedText(value, Qt::ElideRight, box.width());
        m_painter.drawText(box, int(align | Qt::AlignVCenter), shown);
    }

    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    const InvoiceLayout& m_layout;
    QString m_company;
    double m_width;
    double m_height;
    QFont m_normal, m_bold, m_large;
    double m_line = 0;
    QList<Span> m_columns;
    const PrintedInvoice* m_invoice = nullptr;
    int m_page = 1;
    double m_y = 0;
    bool m_pagesFailed = false;
};

} // namespace

bool paintInvoices(QPainter& painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName, const QList<PrintedInvoice>& invoices)
{
    return InvoicePainter(painter, device, layout, companyName).paint(invoices);
}

} // namespace Accpac
