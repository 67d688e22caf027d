#include "GridView.h"

#include "StringGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>

#include <algorithm>
#include <string_view>

namespace {
// The grid's sizes count the cell alone; the view's sections include the
// 1-pixel grid line.
constexpr int kGridLineWidth = 1;

// A cell clips its text at its edge, so no cell shows more than its first
// few hundred characters; a longer text (a huge line of a bad file) is handed
// to the view cut, or every repaint would lay out all of it.
constexpr std::size_t kLongestCellShown = 1000;

std::string_view ShownPart(std::string_view text) {
    if (text.size() <= kLongestCellShown) return text;
    std::size_t end = kLongestCellShown;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}
}  // namespace

TStringGridModel::TStringGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TStringGridModel::SetGrid(const TStringGrid* grid) {
    beginResetModel();
    grid_ = grid;
    rows_ = grid_ ? std::max(0, grid_->RowCount() - 1) : 0;
    cols_ = grid_ ? std::max(0, grid_->ColCount()) : 0;
    endResetModel();
}

void TStringGridModel::Refresh() {
    const int rows = grid_ ? std::max(0, grid_->RowCount() - 1) : 0;
    const int cols = grid_ ? std::max(0, grid_->ColCount()) : 0;
    if (rows == rows_ && cols == cols_) {
        // Same shape (a computation): keep the view's place and selection.
        if (rows > 0 && cols > 0) emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
        if (cols > 0) emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
        return;
    }
    beginResetModel();
    rows_ = rows;
    cols_ = cols;
    endResetModel();
}

int TStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QString TStringGridModel::CellText(int gridCol, int gridRow) const {
    if (!grid_ || gridCol < 0 || gridRow < 0 || gridCol >= grid_->ColCount() ||
        gridRow >= grid_->RowCount())
        return {};
    const std::string_view text = ShownPart(grid_->Cell(gridCol, gridRow));
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

bool TStringGridModel::IsFixedCell(int gridCol, int gridRow) const {
    return grid_ && (gridRow < grid_->FixedRows || gridCol < grid_->FixedCols);
}

QVariant TStringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int col = index.column();
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return CellText(col, row);
    case Qt::BackgroundRole:
        if (IsFixedCell(col, row)) return QApplication::palette().brush(QPalette::Button);
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return CellText(section, 0);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags TStringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Fixed cells cannot be selected; no cell can be edited.
    if (IsFixedCell(index.column(), index.row() + 1)) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

TStringGridView::TStringGridView(QWidget* parent) : QTableView(parent) {
    setModel(&model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    // A grid cell clips its text at the cell's edge; it does not abbreviate.
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = horizontalHeader();
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setTextElideMode(Qt::ElideNone);
}

void TStringGridView::SetGrid(const TStringGrid* grid) {
    model_.SetGrid(grid);
    Refresh();
}

void TStringGridView::Refresh() {
    ++refreshes_;
    model_.Refresh();
    const TStringGrid* grid = model_.Grid();
    if (!grid) return;

    QHeaderView* rows = verticalHeader();
    rows->setDefaultSectionSize(grid->DefaultRowHeight + kGridLineWidth);
    const int rowCount = grid->RowCount();
    for (int r = 1; r < rowCount; ++r) {
        const int h = grid->RowHeight(r);
        if (h != grid->DefaultRowHeight) rows->resizeSection(r - 1, h + kGridLineWidth);
    }
    QHeaderView* cols = horizontalHeader();
    cols->setFixedHeight((rowCount > 0 ? grid->RowHeight(0) : grid->DefaultRowHeight) +
                         kGridLineWidth);
    for (int c = 0; c < grid->ColCount(); ++c)
        cols->resizeSection(c, grid->ColWidth(c) + kGridLineWidth);
}
