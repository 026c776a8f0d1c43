#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

#include <set>
#include <vector>

// The rows of the order grid: the texts of every cell and the selection picture of each
// row's first cell. Grid row 0 is the header; the model's row r is grid row r + 1.
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

    // One order row: the texts of its cells and the picture of its first cell.
    struct Row
    {
        std::vector<QString> cells;
        Picture picture = Picture::None; // of column 0
    };

    explicit OrderGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid rows, header included.
    int gridRows() const { return int(m_rows.size()) + 1; }
    void setGridRows(int rows);
    // Adds rows after the last one as one insertion; each gets as many cells as there are
    // columns.
    void appendRows(std::vector<Row> rows);
    void setColumns(const QStringList& headers, const QList<Qt::Alignment>& alignments);

    QString text(int gridRow, int col) const;
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
    std::vector<Row> m_rows;
    std::set<int> m_checked;
};
