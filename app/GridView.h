#pragma once
// Shows a TStringGrid with its fixed row and column in place: the fixed row 0
// is the view's column header, so it stays while the rows scroll; the fixed
// column 0 is the view's row header, so it stays while the columns scroll
// (its own column of the model is hidden), and the corner above it shows the
// heading of column 0. Nothing is editable. The model answers from the grid's
// cells directly and learns of changes only through Refresh, which the window
// calls once after each action: loading 100,000 rows must not touch the view
// per row. The grid's sizes count device pixels of the layout (120 pixels per
// inch, text height 16); the view scales them by the window's measured text
// height, and widens a column to its widest text, so that no text is cut.

#include <QAbstractTableModel>
#include <QTableView>

#include <QFont>

#include <functional>
#include <vector>

class TStringGrid;

// The device sizes a grid is shown with: the layout's column widths and row
// height scaled by measured / 16, each column widened to its widest text
// (heading included) in the font it is drawn with, plus the cell's margins
// and the grid line. The layout's width is the least a column gets.
struct TGridFit {
    std::vector<int> colWidths;   // device pixels, grid line included
    int rowHeight = 0;            // device pixels, grid line included
    int headerHeight = 0;
};
// What a text of the grid needs beside its own width, in logical pixels: the
// cell's margins (both sides), and the heading's (the header's style).
struct TGridMargins {
    int cell = 6;
    int heading = 8;
    int height = 4;   // above and below the text together
};
TGridFit FitGrid(const TStringGrid& grid, const QFont& cellFont, const QFont& headingFont,
                 const TGridMargins& margins, int measured, double ratio);
// Draws a table's grid as QTableView would, but with lines one device pixel
// wide at any device pixel ratio (Qt's one-logical-pixel pen comes out 1 and
// 2 device pixels wide by turns at 1.25 or 1.5). Call after the view's own
// paint, on its viewport, with showGrid off.
void PaintEvenGrid(QTableView& view);

// The widest of texts in font, in logical pixels (rounded up).
int WidestText(const QFont& font, const std::vector<QString>& texts);

class TStringGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TStringGridModel(QObject* parent = nullptr);

    void SetGrid(const TStringGrid* grid);
    const TStringGrid* Grid() const { return grid_; }

    // Takes over the grid's texts and its row and column counts; when the
    // counts are unchanged the view keeps its scroll position and selection.
    void Refresh();

    // Model row r shows grid row r + 1 (grid row 0 is the header).
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool IsFixedCell(int gridCol, int gridRow) const;

    // The column whose data rows hold time stamps: their clipboard text
    // (kCopyRole) is the stamp in the ISO form; -1 for none.
    void SetStampColumn(int col) { stampColumn_ = col; }

    // A data cell's mark (a background colour and a tooltip), asked for each
    // data cell shown; none when unset or when it returns no colour.
    struct TCellMark {
        QColor background;
        QString tip;
    };
    std::function<TCellMark(int gridCol, int gridRow)> CellMark;

private:
    // A data cell's text for the clipboard, when it differs from the shown one.
    QVariant CopyText(int gridCol, int gridRow) const;

    // Cell text, empty for cells beyond the grid (the grid may have shrunk
    // since the last Refresh, while a dialog of the action is open).
    QString CellText(int gridCol, int gridRow) const;

    const TStringGrid* grid_ = nullptr;
    int rows_ = 0;   // grid rows below the header at the last Refresh
    int cols_ = 0;
    int stampColumn_ = -1;
};

class TStringGridView : public QTableView {
    Q_OBJECT

public:
    explicit TStringGridView(QWidget* parent = nullptr);

    void SetGrid(const TStringGrid* grid);
    TStringGridModel* GridModel() { return &model_; }

    // Rereads the grid: row and column counts, texts, column widths and row
    // heights.
    void Refresh();

    // Makes grid row gridRow the current row, selects its cells and scrolls
    // it into view (to the middle when it is out of sight), as after a
    // failure that belongs to that row. A row the view does not show is left
    // alone.
    void ShowRow(int gridRow);

    // How many times Refresh ran (the window refreshes once per action).
    int RefreshCount() const { return refreshes_; }

    // The window's measured height of "0" (16 in the layout), by which the
    // grid's sizes are scaled; refreshes.
    void SetLayoutScale(int measured);
    // The margins a text needs in this view's style.
    TGridMargins Margins() const;
    // The sizes of the last Refresh.
    const TGridFit& Fit() const { return fit_; }

    // The corner above the fixed column, which shows the heading of column 0.
    QWidget* Corner() const { return corner_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintCorner();

    TStringGridModel model_;
    QWidget* corner_ = nullptr;
    int refreshes_ = 0;
    int measured_ = 16;
    TGridFit fit_;
};
