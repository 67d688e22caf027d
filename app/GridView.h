#pragma once
// Shows a TStringGrid with its fixed row and column in place: the fixed row 0
// is the view's column header, so it stays while the rows scroll; the fixed
// column 0 is the view's row header, so it stays while the columns scroll
// (its own column of the model is hidden), and the corner above it shows the
// heading of column 0. Nothing is editable. The model answers from the grid's
// cells directly and learns of changes only through Refresh, which the window
// calls once after each action: loading 100,000 rows must not touch the view
// per row. The grid's sizes count device pixels, the screen's own.

#include <QAbstractTableModel>
#include <QTableView>

class TStringGrid;

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

private:
    // Cell text, empty for cells beyond the grid (the grid may have shrunk
    // since the last Refresh, while a dialog of the action is open).
    QString CellText(int gridCol, int gridRow) const;

    const TStringGrid* grid_ = nullptr;
    int rows_ = 0;   // grid rows below the header at the last Refresh
    int cols_ = 0;
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

    // The corner above the fixed column, which shows the heading of column 0.
    QWidget* Corner() const { return corner_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintCorner();

    TStringGridModel model_;
    QWidget* corner_ = nullptr;
    int refreshes_ = 0;
};
