#pragma once

#include <ordergrid/ordergridmodel.h>

#include <QTableView>

// The order grid: a view over OrderGridModel with the members the main window works with.
// Rows are counted as the window sees them: row 0 is the header, rows 1 to Rows() - 1 hold
// orders. Row() and Col() name the current cell; a click makes the clicked cell current
// and then emits Click().
class OrderGrid : public QTableView
{
    Q_OBJECT

public:
    using Picture = OrderGridModel::Picture;

    explicit OrderGrid(QWidget* parent = nullptr);

    int Rows() const;
    void setRows(int rows);
    // Adds unticked order rows after the last one in one step; the current cell stays where
    // it was.
    void appendRows(std::vector<OrderRow> rows);
    int Cols() const;
    // The current cell. A row or column outside the grid throws ComError 381.
    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    void setCol(int col);

    // An order row (1 to Rows() - 1), whatever the current cell; others throw ComError 381.
    const OrderRow& orderRow(int row) const { return m_model->orderRow(row); }
    // Whether the row's first cell shows the checked picture.
    bool isChecked(int row) const { return m_model->picture(row, 0) == Picture::Checked; }
    // A cell's text as the grid shows it. Setting an order row's cell reads the text as a
    // clerk's entry: a date or amount that is none throws a type mismatch.
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    // The picture of the current cell.
    Picture CellPicture() const;
    void setCellPicture(Picture picture);

    // Headers, alignments and initial widths from a format string: columns separated by
    // "|", each optionally led by "^" (centred), "<" (left) or ">" (right); the text's
    // blanks widen the column.
    void setFormatString(const QString& format);
    // Column widths in twips; 0 hides the column.
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);

    // Removes every order row and every text.
    void Clear();

    OrderGridModel* gridModel() const { return m_model; }

signals:
    void Click();
    // A character typed in the grid; the handler may change or cancel (0) it.
    void KeyPress(int& keyAscii);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    double dpi() const;
    void syncCurrentIndex();

    OrderGridModel* m_model;
    int m_row = 0;
    int m_col = 0;
    bool m_syncPending = false;
};
