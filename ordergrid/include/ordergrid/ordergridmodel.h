#pragma once

#include <ordergrid/orderrow.h>

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

#include <set>
#include <vector>

// The rows of the order grid: each order as its typed row, shown in the clerk's locale, and
// the selection picture of each row's first cell. Grid row 0 is the header; the model's row
// r is grid row r + 1.
class OrderGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The pictures of the grid's picture list: entry 1 checked, entry 2 unchecked.
    enum class Picture
    {
        None = 0,
        Checked = 1,
        Unchecked = 2
    };

    explicit OrderGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid rows, header included.
    int gridRows() const { return int(m_rows.size()) + 1; }
    void setGridRows(int rows);
    // Adds unticked rows after the last one as one insertion.
    void appendRows(std::vector<OrderRow> rows);
    void setColumns(const QStringList& headers, const QList<Qt::Alignment>& alignments);

    // An order row; grid row 0 and rows outside the grid throw ComError 381.
    const OrderRow& orderRow(int gridRow) const;
    // The header's text, or an order row's column as the grid shows it.
    QString text(int gridRow, int col) const;
    // The header's text, or an order row's column as a clerk would type it (see
    // OrderRow::setText, which may refuse it).
    void setText(int gridRow, int col, const QString& text);
    Picture picture(int gridRow, int col) const;
    void setPicture(int gridRow, int col, Picture picture);
    // The grid rows whose first cell shows the checked picture, in grid order: the rules
    // that read the selection visit these rather than every row.
    const std::set<int>& checkedRows() const { return m_checked; }

    static QIcon icon(Picture picture);

private:
    bool valid(int gridRow, int col) const;

    QStringList m_headers;
    QList<Qt::Alignment> m_alignments;
    struct Entry
    {
        OrderRow row;
        Picture picture = Picture::None; // of column 0
    };
    std::vector<Entry> m_rows;
    std::set<int> m_checked;
};
