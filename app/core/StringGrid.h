#pragma once
// TStringGrid: a table's cells, row and column counts and column widths, free of
// widgets. The actions write it; a Qt view shows it and is refreshed once after
// each action, never per cell.

#include <string>
#include <string_view>

class TStringGrid {
public:
    explicit TStringGrid(int colCount = 5, int rowCount = 5);

    int RowCount() const;
    // Rows beyond the new count are dropped; new rows start with empty cells.
    void SetRowCount(int rows);
    int ColCount() const;
    void SetColCount(int cols);

    // Cells[col, row]; an empty text for a cell never written.
    std::string_view Cell(int col, int row) const;
    void SetCell(int col, int row, std::string_view text);

    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);

    int DefaultColWidth = 64;
    int DefaultRowHeight = 24;
    int FixedRows = 1;
    int FixedCols = 1;

private:
    // The storage is the implementation's (compact: a million rows must fit).
};
