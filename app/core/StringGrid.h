#pragma once
// TStringGrid: a table's cells, row and column counts and column widths, free of
// widgets. The actions write it; a Qt view shows it and is refreshed once after
// each action, never per cell.
//
// Some columns may show texts made when they are asked for, from values held
// elsewhere, instead of stored texts: the calculation table's computed
// columns, whose texts would take as much memory as the rest of the table.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStringGrid {
public:
    explicit TStringGrid(int colCount = 5, int rowCount = 5);
    TStringGrid(TStringGrid&&) noexcept = default;
    TStringGrid& operator=(TStringGrid&&) noexcept = default;

    int RowCount() const;
    // Rows beyond the new count are dropped; new rows start with empty cells.
    void SetRowCount(int rows);
    // Room for rows to come, so that adding them one by one moves nothing.
    void ReserveRows(int rows);
    // Empty rows put in, one before each row named (row numbers as the grid
    // is now, ascending; a number named twice gets two; RowCount() puts one
    // at the end), the rows below moving down with their cells, heights and
    // derived counts. One pass over the rows however many are put in.
    void InsertRows(const std::vector<int>& before);
    // The rows named (ascending, each once) taken out, the rows below moving up.
    void DeleteRows(const std::vector<int>& rows);
    int ColCount() const;
    void SetColCount(int cols);

    // Cells[col, row]; an empty text for a cell never written.
    // A view stays valid until the grid is next changed, and one of a derived
    // cell until the next derived cell of its column is asked for.
    std::string_view Cell(int col, int row) const;
    void SetCell(int col, int row, std::string_view text);

    // Replaces a whole row at once: cells 0 .. count-1 from cells, the rest
    // empty, every text stored (none derived). The texts may be views of this
    // grid's own cells. This is the cheap way to fill a row: one encoding, one
    // allocation.
    void SetRowCells(int row, const std::string_view* cells, int count);
    // True when every cell of the row (one of the grid's) is empty.
    bool RowEmpty(int row) const;
    // Reads cells 0 .. count-1 of a row into cells (views as Cell gives them).
    void GetRowCells(int row, std::string_view* cells, int count) const;

    // Where derived cells get their texts.
    class TCellSource {
    public:
        virtual ~TCellSource() = default;
        // Appends the text of derived cell k (of the k-th derived column) of a row.
        virtual void AppendDerivedCell(int row, int k, std::string& out) const = 0;
    };
    // The columns that may be derived, in order, and their source (which
    // must outlive the grid's use of it). Every row starts with none derived.
    void SetDerivedColumns(const std::vector<int>& columns, const TCellSource* source);
    // A row shows its first count derived cells from the source; its other
    // cells show their stored texts.
    int DerivedCount(int row) const {
        return static_cast<std::size_t>(row) < derived_.size() ? derived_[static_cast<std::size_t>(row)] : 0;
    }
    void SetDerivedCount(int row, int count);
    // Stores the text every derived cell shows, so that the grid no longer
    // depends on the source's values (before they change); of every row, or
    // of one.
    void StoreDerivedCells();
    void StoreDerivedCells(int row);

    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);

    // Bytes held for cell texts and row records (for the memory budget).
    std::size_t StorageBytes() const;

    int DefaultColWidth = 64;
    int DefaultRowHeight = 24;
    int FixedRows = 1;
    int FixedCols = 1;

private:
    // A row is one block of bytes: for each cell up to the last non-empty one
    // its length (7 bits a byte, low bits first) and its bytes. Blocks live in
    // large chunks; a chunk whose blocks have all moved or gone is freed, so
    // rewriting every row (load, then compute) does not keep the old copies.
    static constexpr std::uint32_t kNoChunk = 0xFFFFFFFFu;
    struct Row {
        std::uint32_t chunk = kNoChunk;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        std::uint32_t capacity = 0;
    };
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
        std::size_t used = 0;
        std::size_t live = 0;
    };

    const char* RowBytes(const Row& row) const;
    Row Allocate(std::size_t size, std::size_t capacity);
    void ReleaseRow(Row& row);
    static void EncodeCells(char* out, const std::string_view* cells, int count);
    void CheckCell(int col, int row) const;

    int colCount_ = 0;
    std::vector<Row> rows_;
    std::vector<Chunk> chunks_;
    std::vector<std::uint32_t> freeChunks_;
    std::uint32_t current_ = kNoChunk;
    std::vector<int> colWidths_;    // -1: the default width
    std::vector<int> rowHeights_;   // empty until a height is set; -1: the default
    std::string scratch_;
    std::vector<std::string_view> cellScratch_;

    // Derived cells: the count per row (empty without a source), the derived
    // index of each column (-1: not derived), one text per derived column.
    const TCellSource* source_ = nullptr;
    std::vector<std::uint8_t> derived_;
    std::vector<int> derivedColumns_;
    std::vector<int> derivedIndex_;
    mutable std::vector<std::string> derivedTexts_;
    std::string_view DerivedText(int row, int k) const;
};
