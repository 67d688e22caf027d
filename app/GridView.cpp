#include "GridView.h"

#include "DateTime.h"
#include "FloodStamp.h"
#include "StringGrid.h"
#include "ViewExports.h"

#include "Arithmetic.h"   // MulDiv

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>

#include <QFontMetricsF>
#include <QStyleOptionHeader>

#include <algorithm>
#include <array>
#include <cmath>
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

namespace {
// The layout's text height, at which its sizes hold as drawn.
constexpr int kDesignTextHeight = 16;
// No column grows wider than this many "0"s for one text: a number or a time
// stamp is far shorter; a longer text is a line that was no record at all.
constexpr int kWidestTextInDigits = 48;

// Widths of texts in one font, quick for the plain ASCII the tables mostly
// hold: the sum of the characters' advances, which for digits, signs and
// points is the laid-out width (they do not kern); other texts are laid out.
class TTextWidths {
public:
    explicit TTextWidths(const QFont& font) : metrics_(font) {
        for (int c = 32; c < 127; ++c) ascii_[static_cast<std::size_t>(c)] = metrics_.horizontalAdvance(QChar(c));
    }
    double Width(std::string_view text) const {
        double sum = 0;
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 32 || c >= 127) return Exact(text);
            sum += ascii_[c];
        }
        return sum;
    }
    double Exact(std::string_view text) const {
        return metrics_.horizontalAdvance(
            QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    }
    double Exact(const QString& text) const { return metrics_.horizontalAdvance(text); }

private:
    QFontMetricsF metrics_;
    std::array<double, 128> ascii_{};
};

int DeviceUp(double logical, double ratio) { return static_cast<int>(std::ceil(logical * ratio - 1e-9)); }
}  // namespace

void PaintEvenGrid(QTableView& view) {
    QAbstractItemModel* model = view.model();
    if (!model) return;
    QStyleOptionViewItem option;
    option.initFrom(&view);
    const QRgb color = static_cast<QRgb>(view.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &view));
    QPainter painter(view.viewport());
    // Width 0: one device pixel, whatever the ratio.
    painter.setPen(QPen(QColor::fromRgba(color), 0));
    const int rows = model->rowCount(), cols = model->columnCount();
    // The cells' extent: the grid stops with them, as the view's own does.
    int right = 0, bottom = 0;
    for (int c = cols - 1; c >= 0 && right == 0; --c)
        if (!view.isColumnHidden(c)) right = view.columnViewportPosition(c) + view.columnWidth(c);
    if (rows > 0) bottom = view.rowViewportPosition(rows - 1) + view.rowHeight(rows - 1);
    const QRect area = view.viewport()->rect();
    right = std::min(right, area.right() + 1);
    bottom = std::min(bottom, area.bottom() + 1);
    const int firstRow = std::max(0, view.rowAt(0)), lastRow = view.rowAt(area.bottom()) < 0 ? rows - 1 : view.rowAt(area.bottom());
    for (int r = firstRow; r <= lastRow && r < rows; ++r) {
        if (view.isRowHidden(r)) continue;
        const int y = view.rowViewportPosition(r) + view.rowHeight(r) - 1;
        painter.drawLine(0, y, right - 1, y);
    }
    for (int c = 0; c < cols; ++c) {
        if (view.isColumnHidden(c)) continue;
        const int x = view.columnViewportPosition(c) + view.columnWidth(c) - 1;
        if (x < 0 || x > area.right()) continue;
        painter.drawLine(x, 0, x, bottom - 1);
    }
}

int WidestText(const QFont& font, const std::vector<QString>& texts) {
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (const QString& t : texts) widest = std::max(widest, metrics.horizontalAdvance(t));
    return static_cast<int>(std::ceil(widest - 1e-9));
}

TGridFit FitGrid(const TStringGrid& grid, const QFont& cellFont, const QFont& headingFont,
                 const TGridMargins& margins, int measured, double ratio) {
    TGridFit fit;
    const TTextWidths cells(cellFont), headings(headingFont);
    const double widest = kWidestTextInDigits * cells.Width("0");
    const int rows = grid.RowCount();
    fit.colWidths.resize(static_cast<std::size_t>(std::max(0, grid.ColCount())));
    for (int c = 0; c < grid.ColCount(); ++c) {
        // The heading (row 0) in its header, the rest in cells; the widest
        // text by the quick measure is measured once more exactly.
        double need = 0;
        if (rows > 0) {
            const std::string_view heading = ShownPart(grid.Cell(c, 0));
            need = std::max(headings.Width(heading), headings.Exact(heading)) + margins.heading;
        }
        double best = -1;
        std::string widestCell;
        for (int r = 1; r < rows; ++r) {
            const std::string_view text = ShownPart(grid.Cell(c, r));
            if (text.empty()) continue;
            const double w = cells.Width(text);
            if (w > best) {
                best = w;
                widestCell.assign(text);
            }
        }
        if (best >= 0) need = std::max(need, std::max(best, cells.Exact(widestCell)) + margins.cell);
        need = std::min(need, widest + margins.cell);
        // One pixel for the grid line, one for what rounding may leave.
        const int device = DeviceUp(need, ratio) + 2;
        const int design = MulDiv(grid.ColWidth(c), measured, kDesignTextHeight) + kGridLineWidth;
        fit.colWidths[static_cast<std::size_t>(c)] = std::max(design, device);
    }
    const int textHeight = DeviceUp(std::max(QFontMetricsF(cellFont).height(), QFontMetricsF(headingFont).height()) +
                                        margins.height, ratio) + kGridLineWidth;
    fit.rowHeight = std::max(MulDiv(grid.DefaultRowHeight, measured, kDesignTextHeight) + kGridLineWidth, textHeight);
    const int headerRow = rows > 0 ? grid.RowHeight(0) : grid.DefaultRowHeight;
    fit.headerHeight = std::max(MulDiv(headerRow, measured, kDesignTextHeight) + kGridLineWidth, textHeight);
    return fit;
}

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
        if (CellMark) {
            const TCellMark mark = CellMark(col, row);
            if (mark.background.isValid()) return mark.background;
        }
        return {};
    case Qt::ToolTipRole:
        if (CellMark && !IsFixedCell(col, row)) {
            const TCellMark mark = CellMark(col, row);
            if (!mark.tip.isEmpty()) return mark.tip;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case kCopyRole:
        return CopyText(col, row);
    default:
        return {};
    }
}

QVariant TStringGridModel::CopyText(int gridCol, int gridRow) const {
    if (gridCol != stampColumn_ || !grid_ || gridRow <= grid_->FixedRows || gridRow >= grid_->RowCount()) return {};
    const std::string_view text = grid_->Cell(gridCol, gridRow);
    DateTimeValue value = 0;
    if (!ReadDocumentedStamp(text, value) && !TryStampFromText(text, value)) return {};
    return QString::fromStdString(StampPattern(kCopyStampPattern, value));
}

QVariant TStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole)
        return orientation == Qt::Horizontal ? CellText(section, 0) : CellText(0, section + 1);
    if (role == kCopyRole && orientation == Qt::Vertical) return CopyText(0, section + 1);
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

namespace {
// Logical pixels from device pixels, rounded.
int Logical(int device, double ratio) { return static_cast<int>(std::lround(device / ratio)); }

// The fixed column: the view's row header, drawn as the grid draws its cells
// (the fixed cells' face colour, the same text place, the grid's lines), so
// that it looks as the column did before it stood still.
class TFixedColumn : public QHeaderView {
public:
    explicit TFixedColumn(QTableView* view) : QHeaderView(Qt::Vertical, view), view_(view) {
        // Below the last row the view's own background, as beside it.
        viewport()->setBackgroundRole(QPalette::Base);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid()) return;
        QStyleOptionViewItem option;
        option.initFrom(view_);
        option.state &= ~QStyle::State_HasFocus;
        option.rect = rect.adjusted(0, 0, -1, -1);  // the grid line is the section's last pixel
        option.font = view_->font();
        option.fontMetrics = QFontMetrics(option.font);
        option.textElideMode = view_->textElideMode();
        option.showDecorationSelected = true;
        option.widget = view_;
        view_->itemDelegate()->paint(painter, option, model()->index(logicalIndex, 0));
        QStyleOptionViewItem gridOption;
        gridOption.initFrom(view_);
        const QRgb grid = static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &gridOption, view_));
        painter->save();
        // One device pixel wide at any device pixel ratio, as the cells' grid.
        painter->setPen(QPen(QColor::fromRgba(grid), 0));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
    }

private:
    QTableView* view_;
};

void SetUpFixedHeader(QHeaderView* header) {
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setTextElideMode(Qt::ElideNone);
}
}  // namespace

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
    // The grid is drawn after the cells, one device pixel wide (PaintEvenGrid).
    setShowGrid(false);
    // Both scroll bars as the columns and rows need them.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetUpFixedHeader(horizontalHeader());
    horizontalHeader()->setStretchLastSection(false);
    setVerticalHeader(new TFixedColumn(this));
    SetUpFixedHeader(verticalHeader());
    // The corner button draws an empty header section; it shows the heading
    // of the fixed column instead.
    corner_ = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (corner_) corner_->installEventFilter(this);
}

void TStringGridView::SetGrid(const TStringGrid* grid) {
    model_.SetGrid(grid);
    Refresh();
}

void TStringGridView::SetLayoutScale(int measured) {
    measured_ = measured > 0 ? measured : kDesignTextHeight;
    Refresh();
}

TGridMargins TStringGridView::Margins() const {
    TGridMargins m;
    // The item delegate keeps this much free on either side of a cell's text.
    m.cell = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    // A header section is its text plus what the style puts around it.
    QStyleOptionHeader option;
    option.initFrom(horizontalHeader());
    option.fontMetrics = QFontMetrics(horizontalHeader()->font());
    option.text = QStringLiteral("0");
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const QSize withText = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), horizontalHeader());
    m.heading = std::max(m.cell, withText.width() - option.fontMetrics.horizontalAdvance(option.text));
    m.height = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, this) + 1);
    return m;
}

void TStringGridView::Refresh() {
    ++refreshes_;
    model_.Refresh();
    const TStringGrid* grid = model_.Grid();
    if (!grid) return;
    const double ratio = devicePixelRatioF();

    // Column 0 is the row header; a model reset shows every column again.
    const bool fixedColumn = grid->FixedCols > 0 && grid->ColCount() > 0;
    setColumnHidden(0, fixedColumn);
    verticalHeader()->setVisible(fixedColumn);

    fit_ = FitGrid(*grid, font(), horizontalHeader()->font(), Margins(), measured_, ratio);
    // Each section gets the logical pixels between its device edges, so that
    // the columns' edges land where the device widths put them.
    QHeaderView* rows = verticalHeader();
    rows->setDefaultSectionSize(Logical(fit_.rowHeight, ratio));
    const int rowCount = grid->RowCount();
    for (int r = 1; r < rowCount; ++r) {
        const int h = grid->RowHeight(r);
        if (h != grid->DefaultRowHeight)
            rows->resizeSection(r - 1, Logical(MulDiv(h, measured_, kDesignTextHeight) + kGridLineWidth, ratio));
    }
    QHeaderView* cols = horizontalHeader();
    cols->setFixedHeight(Logical(fit_.headerHeight, ratio));
    int edge = 0;
    for (int c = 0; c < grid->ColCount(); ++c) {
        const int next = edge + fit_.colWidths[static_cast<std::size_t>(c)];
        const int width = Logical(next, ratio) - Logical(edge, ratio);
        cols->resizeSection(c, width);
        if (c == 0 && fixedColumn) rows->setFixedWidth(width);
        edge = next;
    }
    if (corner_) corner_->update();
}

void TStringGridView::ShowRow(int gridRow) {
    const int row = gridRow - 1;   // the model leaves out the header row
    const int cols = model_.columnCount();
    if (row < 0 || row >= model_.rowCount() || !selectionModel()) return;
    int first = 0;
    while (first < cols && isColumnHidden(first)) ++first;
    if (first == cols) return;
    const QModelIndex start = model_.index(row, first);
    // Seen before the current row moves: making it current scrolls it just
    // into sight, at an edge.
    const bool inSight = viewport()->rect().contains(visualRect(start));
    selectionModel()->setCurrentIndex(start, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(start, model_.index(row, cols - 1)), QItemSelectionModel::ClearAndSelect);
    scrollTo(start, inSight ? QAbstractItemView::EnsureVisible : QAbstractItemView::PositionAtCenter);
}

void TStringGridView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    PaintEvenGrid(*this);
}

bool TStringGridView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == corner_ && event->type() == QEvent::Paint) {
        PaintCorner();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void TStringGridView::PaintCorner() {
    QHeaderView* header = horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.rect = corner_->rect();
    option.state = QStyle::State_Raised | QStyle::State_Horizontal;
    if (header->isEnabled()) option.state |= QStyle::State_Enabled;
    if (isActiveWindow()) option.state |= QStyle::State_Active;
    option.orientation = Qt::Horizontal;
    option.position = QStyleOptionHeader::Beginning;
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.text = model_.headerData(0, Qt::Horizontal).toString();
    QPainter painter(corner_);
    painter.setFont(header->font());
    header->style()->drawControl(QStyle::CE_Header, &option, &painter, header);
}
