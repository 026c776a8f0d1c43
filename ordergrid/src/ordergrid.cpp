#include <ordergrid/ordergrid.h>

#include <core/twips.h>

#include <system/comerror.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

const ComError SubscriptOutOfRange(381, QStringLiteral("Subscript out of range"));

// Draws the selection picture in the middle of its cell, where the item view would put it
// at the left.
class CentredPictureDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QIcon picture = cell.icon;
        cell.icon = QIcon();
        cell.features &= ~QStyleOptionViewItem::HasDecoration;
        QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        picture.paint(painter, QStyle::alignedRect(cell.direction, Qt::AlignCenter,
                                                   cell.decorationSize, cell.rect));
    }
};

} // namespace

OrderGrid::OrderGrid(QWidget* parent) : QTableView(parent), m_model(new OrderGridModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    setIconSize(QSize(13, 13));
    setItemDelegateForColumn(0, new CentredPictureDelegate(this));
}

int OrderGrid::Rows() const
{
    return m_model->gridRows();
}

void OrderGrid::setRows(int rows)
{
    m_model->setGridRows(rows);
    if (m_row >= Rows())
        m_row = Rows() - 1;
    syncCurrentIndex();
}

void OrderGrid::appendRows(std::vector<OrderRow> rows)
{
    m_model->appendRows(std::move(rows));
}

int OrderGrid::Cols() const
{
    return m_model->columnCount();
}

void OrderGrid::setRow(int row)
{
    if (row < 0 || row >= Rows())
        throw SubscriptOutOfRange;
    m_row = row;
    syncCurrentIndex();
}

void OrderGrid::setCol(int col)
{
    if (col < 0 || col >= Cols())
        throw SubscriptOutOfRange;
    m_col = col;
    syncCurrentIndex();
}

QString OrderGrid::TextMatrix(int row, int col) const
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
        throw SubscriptOutOfRange;
    return m_model->text(row, col);
}

void OrderGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
        throw SubscriptOutOfRange;
    m_model->setText(row, col, text);
}

OrderGrid::Picture OrderGrid::CellPicture() const
{
    return m_model->picture(m_row, m_col);
}

void OrderGrid::setCellPicture(Picture picture)
{
    m_model->setPicture(m_row, m_col, picture);
}

void OrderGrid::setFormatString(const QString& format)
{
    QStringList headers;
    QList<Qt::Alignment> alignments;
    QList<int> widths;
    for (QString column : format.split(QLatin1Char('|'))) {
        Qt::Alignment alignment = Qt::AlignLeft;
        if (column.startsWith(QLatin1Char('^'))) {
            alignment = Qt::AlignHCenter;
            column.remove(0, 1);
        } else if (column.startsWith(QLatin1Char('<'))) {
            column.remove(0, 1);
        } else if (column.startsWith(QLatin1Char('>'))) {
            alignment = Qt::AlignRight;
            column.remove(0, 1);
        }
        headers.append(column.trimmed());
        alignments.append(alignment);
        widths.append(horizontalHeader()->fontMetrics().horizontalAdvance(column) + 8);
    }
    m_model->setColumns(headers, alignments);
    for (int col = 0; col < widths.size(); ++col) {
        setColumnHidden(col, false);
        setColumnWidth(col, widths.at(col));
    }
    m_col = qMin(m_col, Cols() - 1);
}

int OrderGrid::ColWidth(int col) const
{
    if (col < 0 || col >= Cols())
        throw SubscriptOutOfRange;
    return isColumnHidden(col) ? 0 : Twips::fromPixels(columnWidth(col), dpi());
}

void OrderGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= Cols())
        throw SubscriptOutOfRange;
    setColumnHidden(col, twips <= 0);
    if (twips > 0)
        setColumnWidth(col, Twips::toPixels(twips, dpi()));
}

void OrderGrid::Clear()
{
    m_model->setGridRows(1);
    for (int col = 0; col < Cols(); ++col)
        m_model->setText(0, col, QString());
    m_row = 0;
}

void OrderGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (!index.isValid())
        return;
    m_row = index.row() + 1;
    m_col = index.column();
    syncCurrentIndex();
    emit Click();
}

void OrderGrid::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.size() == 1 && text.at(0).unicode() >= 32) {
        int keyAscii = text.at(0).unicode();
        emit KeyPress(keyAscii);
        return;
    }
    QTableView::keyPressEvent(event);
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        m_row = current.row() + 1;
        m_col = current.column();
    }
}

double OrderGrid::dpi() const
{
    return logicalDpiX();
}

void OrderGrid::syncCurrentIndex()
{
    // The view follows the current cell once the window gets to process its events: a loop
    // that makes thousands of rows current in turn then scrolls the view once, not each time.
    if (m_syncPending)
        return;
    m_syncPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_syncPending = false;
            if (m_row >= 1 && m_row < Rows() && m_col >= 0 && m_col < Cols())
                setCurrentIndex(m_model->index(m_row - 1, m_col));
        },
        Qt::QueuedConnection);
}
