#include <ordergrid/ordergridmodel.h>

#include <system/comerror.h>

#include <QPainter>
#include <QPixmap>

OrderGridModel::OrderGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int OrderGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int OrderGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant OrderGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Entry& entry = m_rows[std::size_t(index.row())];
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return entry.row.text(col);
    case Qt::DecorationRole:
        return col == 0 && entry.picture != Picture::None ? icon(entry.picture) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_alignments.value(col, Qt::AlignLeft) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant OrderGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return m_headers.value(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_alignments.value(section, Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

void OrderGridModel::setGridRows(int rows)
{
    const int wanted = qMax(rows, 1) - 1;
    const int current = int(m_rows.size());
    if (wanted > current) {
        beginInsertRows({}, current, wanted - 1);
        m_rows.resize(std::size_t(wanted));
        endInsertRows();
    } else if (wanted < current) {
        beginRemoveRows({}, wanted, current - 1);
        m_rows.resize(std::size_t(wanted));
        m_checked.erase(m_checked.lower_bound(wanted + 1), m_checked.end());
        endRemoveRows();
    }
}

void OrderGridModel::appendRows(std::vector<OrderRow> rows)
{
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (OrderRow& row : rows)
        m_rows.push_back({std::move(row), Picture::Unchecked});
    endInsertRows();
}

void OrderGridModel::setColumns(const QStringList& headers, const QList<Qt::Alignment>& alignments)
{
    beginResetModel();
    m_headers = headers;
    m_alignments = alignments;
    endResetModel();
}

bool OrderGridModel::valid(int gridRow, int col) const
{
    return gridRow >= 0 && gridRow < gridRows() && col >= 0 && col < m_headers.size();
}

const OrderRow& OrderGridModel::orderRow(int gridRow) const
{
    if (gridRow < 1 || gridRow >= gridRows())
        throw ComError(381, QStringLiteral("Subscript out of range"));
    return m_rows[std::size_t(gridRow - 1)].row;
}

QString OrderGridModel::text(int gridRow, int col) const
{
    if (!valid(gridRow, col))
        return {};
    if (gridRow == 0)
        return m_headers.at(col);
    return m_rows[std::size_t(gridRow - 1)].row.text(col);
}

void OrderGridModel::setText(int gridRow, int col, const QString& text)
{
    if (!valid(gridRow, col))
        return;
    if (gridRow == 0) {
        m_headers[col] = text;
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    m_rows[std::size_t(gridRow - 1)].row.setText(col, text);
    const QModelIndex cell = index(gridRow - 1, col);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

OrderGridModel::Picture OrderGridModel::picture(int gridRow, int col) const
{
    if (!valid(gridRow, col) || gridRow == 0 || col != 0)
        return Picture::None;
    return m_rows[std::size_t(gridRow - 1)].picture;
}

void OrderGridModel::setPicture(int gridRow, int col, Picture picture)
{
    if (!valid(gridRow, col) || gridRow == 0 || col != 0)
        return;
    m_rows[std::size_t(gridRow - 1)].picture = picture;
    if (picture == Picture::Checked)
        m_checked.insert(gridRow);
    else
        m_checked.erase(gridRow);
    const QModelIndex cell = index(gridRow - 1, 0);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

QIcon OrderGridModel::icon(Picture picture)
{
    // Drawn once: a ticked and an empty check box of the grid's picture list.
    static const QIcon checked = [] {
        QPixmap pixmap(13, 13);
        pixmap.fill(Qt::white);
        QPainter painter(&pixmap);
        painter.drawRect(0, 0, 12, 12);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawPolyline(QPolygon({QPoint(3, 6), QPoint(5, 9), QPoint(10, 3)}));
        return QIcon(pixmap);
    }();
    static const QIcon unchecked = [] {
        QPixmap pixmap(13, 13);
        pixmap.fill(Qt::white);
        QPainter painter(&pixmap);
        painter.drawRect(0, 0, 12, 12);
        return QIcon(pixmap);
    }();
    return picture == Picture::Checked     ? checked
           : picture == Picture::Unchecked ? unchecked
                                           : QIcon();
}
