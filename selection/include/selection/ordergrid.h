#pragma once

#include <selection/ordergridmodel.h>

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
    // Adds order rows after the last one in one step, as many setRows and setTextMatrix
    // calls would; the current cell stays where it was.
    void appendRows(std::vector<OrderGridModel::Row> rows);
    int Cols() const;
    // The current cell. A row or column outside the grid throws ComError 381.
    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    void setCol(int col);

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
