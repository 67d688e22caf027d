#include "StringGrid.h"

#include <algorithm>
#include <functional>

#include <cstring>
#include <stdexcept>

namespace {

// Blocks are cut from chunks of this size; a block larger than kOwnChunk gets
// a chunk of its own so that one long cell does not strand a shared chunk.
constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kOwnChunk = 16 * 1024;

std::size_t LengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++bytes;
    }
    return bytes;
}

char* PutLength(char* p, std::size_t length) {
    while (length >= 0x80) {
        *p++ = static_cast<char>(0x80 | (length & 0x7F));
        length >>= 7;
    }
    *p++ = static_cast<char>(length);
    return p;
}

// Cells are mostly a handful of bytes: two overlapping moves of a fixed
// size each are cheaper than a call, and never touch a byte outside either text.
inline void CopyBytes(char* to, const char* from, std::size_t n) {
    if (n >= 8) {
        if (n > 16) {
            std::memcpy(to, from, n);
            return;
        }
        std::uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + n - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else if (n >= 2) {
        std::uint16_t a, b;
        std::memcpy(&a, from, 2);
        std::memcpy(&b, from + n - 2, 2);
        std::memcpy(to, &a, 2);
        std::memcpy(to + n - 2, &b, 2);
    } else if (n == 1) {
        *to = *from;
    }
}

// Reads one length at p (p < end); returns the position after it.
inline const char* ReadLength(const char* p, const char* end, std::size_t& length) {
    const auto first = static_cast<unsigned char>(*p++);
    if (first < 0x80) [[likely]] {
        length = first;
        return p;
    }
    std::size_t value = first & 0x7F;
    int shift = 7;
    while (p < end) {
        const auto byte = static_cast<unsigned char>(*p++);
        value |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80) break;
        shift += 7;
    }
    length = value;
    return p;
}

}  // namespace

TStringGrid::TStringGrid(int colCount, int rowCount) {
    SetColCount(colCount);
    SetRowCount(rowCount);
}

int TStringGrid::RowCount() const { return static_cast<int>(rows_.size()); }

void TStringGrid::SetRowCount(int rows) {
    if (rows < 0) throw std::out_of_range("TStringGrid: negative row count");
    const auto count = static_cast<std::size_t>(rows);
    for (std::size_t r = count; r < rows_.size(); ++r) ReleaseRow(rows_[r]);
    rows_.resize(count);
    if (!rowHeights_.empty()) rowHeights_.resize(count, -1);
    if (source_) derived_.resize(count, 0);
}

void TStringGrid::InsertRows(const std::vector<int>& before) {
    if (before.empty()) return;
    if (!std::is_sorted(before.begin(), before.end()) || before.front() < 0 ||
        static_cast<std::size_t>(before.back()) > rows_.size())
        throw std::out_of_range("TStringGrid: rows put in out of order or beyond the table");
    const std::size_t count = rows_.size() + before.size();
    std::vector<Row> rows;
    std::vector<int> heights;
    std::vector<std::uint8_t> derived;
    rows.reserve(count);
    if (!rowHeights_.empty()) heights.reserve(count);
    if (source_) derived.reserve(count);
    std::size_t next = 0;
    for (std::size_t r = 0; r <= rows_.size(); ++r) {
        for (; next < before.size() && static_cast<std::size_t>(before[next]) == r; ++next) {
            rows.emplace_back();
            if (!rowHeights_.empty()) heights.push_back(-1);
            if (source_) derived.push_back(0);
        }
        if (r == rows_.size()) break;
        rows.push_back(rows_[r]);
        if (!rowHeights_.empty()) heights.push_back(rowHeights_[r]);
        if (source_) derived.push_back(r < derived_.size() ? derived_[r] : 0);
    }
    rows_ = std::move(rows);
    rowHeights_ = std::move(heights);
    if (source_) derived_ = std::move(derived);
}

void TStringGrid::DeleteRows(const std::vector<int>& gone) {
    if (gone.empty()) return;
    if (std::adjacent_find(gone.begin(), gone.end(), std::greater_equal<int>()) != gone.end() || gone.front() < 0 ||
        static_cast<std::size_t>(gone.back()) >= rows_.size())
        throw std::out_of_range("TStringGrid: rows taken out out of order or beyond the table");
    std::size_t next = 0, kept = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (next < gone.size() && static_cast<std::size_t>(gone[next]) == r) {
            ReleaseRow(rows_[r]);
            ++next;
            continue;
        }
        rows_[kept] = rows_[r];
        if (!rowHeights_.empty()) rowHeights_[kept] = rowHeights_[r];
        if (source_ && r < derived_.size()) derived_[kept] = derived_[r];
        ++kept;
    }
    rows_.resize(kept);
    if (!rowHeights_.empty()) rowHeights_.resize(kept);
    if (source_) derived_.resize(kept);
}

int TStringGrid::ColCount() const { return colCount_; }

void TStringGrid::SetColCount(int cols) {
    if (cols < 0) throw std::out_of_range("TStringGrid: negative column count");
    if (cols < colCount_) {
        StoreDerivedCells();
        source_ = nullptr;
        derived_.clear();
        derivedIndex_.clear();
        // Cut every row after its first cols cells; the block keeps its place.
        for (Row& row : rows_) {
            if (row.size == 0) continue;
            const char* begin = RowBytes(row);
            const char* p = begin;
            const char* end = begin + row.size;
            for (int c = 0; c < cols && p < end; ++c) {
                std::size_t length = 0;
                p = ReadLength(p, end, length);
                p += length;
            }
            row.size = static_cast<std::uint32_t>(p - begin);
            if (row.size == 0) ReleaseRow(row);
        }
    }
    colCount_ = cols;
    colWidths_.resize(static_cast<std::size_t>(cols), -1);
    if (source_) derivedIndex_.resize(static_cast<std::size_t>(cols), -1);
    cellScratch_.resize(static_cast<std::size_t>(cols));
}

const char* TStringGrid::RowBytes(const Row& row) const {
    return chunks_[row.chunk].bytes.get() + row.offset;
}

std::string_view TStringGrid::Cell(int col, int row) const {
    if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return {};
    if (source_) {
        const int k = derivedIndex_[static_cast<std::size_t>(col)];
        if (k >= 0 && k < DerivedCount(row)) return DerivedText(row, k);
    }
    const Row& r = rows_[static_cast<std::size_t>(row)];
    if (r.size == 0) return {};
    const char* p = RowBytes(r);
    const char* end = p + r.size;
    for (int c = 0; p < end; ++c) {
        std::size_t length = 0;
        p = ReadLength(p, end, length);
        if (c == col) return {p, length};
        p += length;
    }
    return {};
}

void TStringGrid::GetRowCells(int row, std::string_view* cells, int count) const {
    int c = 0;
    if (row >= 0 && row < RowCount()) {
        const Row& r = rows_[static_cast<std::size_t>(row)];
        if (r.size != 0) {
            const char* p = RowBytes(r);
            const char* const end = p + r.size;
            const int last = count < colCount_ ? count : colCount_;
            for (; c < last && p < end; ++c) {
                std::size_t length;
                p = ReadLength(p, end, length);
                cells[c] = std::string_view(p, length);
                p += length;
            }
        }
    }
    for (; c < count; ++c) cells[c] = {};
    if (const int derived = DerivedCount(row)) {
        for (int k = 0; k < derived; ++k) {
            const int col = derivedColumns_[static_cast<std::size_t>(k)];
            if (col < count) cells[col] = DerivedText(row, k);
        }
    }
}

bool TStringGrid::RowEmpty(int row) const {
    return rows_[static_cast<std::size_t>(row)].size == 0 && DerivedCount(row) == 0;
}

std::string_view TStringGrid::DerivedText(int row, int k) const {
    std::string& text = derivedTexts_[static_cast<std::size_t>(k)];
    text.clear();
    source_->AppendDerivedCell(row, k, text);
    return text;
}

void TStringGrid::SetDerivedColumns(const std::vector<int>& columns, const TCellSource* source) {
    StoreDerivedCells();
    derivedColumns_ = columns;
    derivedIndex_.assign(static_cast<std::size_t>(colCount_), -1);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (columns[k] < 0 || columns[k] >= colCount_ || k > 0xFF)
            throw std::out_of_range("TStringGrid: derived column outside the grid");
        derivedIndex_[static_cast<std::size_t>(columns[k])] = static_cast<int>(k);
    }
    derivedTexts_.assign(columns.size(), std::string());
    source_ = source;
    derived_.assign(source ? rows_.size() : 0, 0);
}

void TStringGrid::SetDerivedCount(int row, int count) {
    CheckCell(0, row);
    if (!source_ || count < 0 || static_cast<std::size_t>(count) > derivedColumns_.size())
        throw std::out_of_range("TStringGrid: derived cells beyond the derived columns");
    derived_[static_cast<std::size_t>(row)] = static_cast<std::uint8_t>(count);
}

void TStringGrid::StoreDerivedCells(int row) {
    GetRowCells(row, cellScratch_.data(), colCount_);
    SetRowCells(row, cellScratch_.data(), colCount_);
}

void TStringGrid::StoreDerivedCells() {
    for (std::size_t r = 0; r < derived_.size(); ++r)
        if (derived_[r] != 0) StoreDerivedCells(static_cast<int>(r));
}

void TStringGrid::CheckCell(int col, int row) const {
    if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount())
        throw std::out_of_range("TStringGrid: cell outside the grid");
}

void TStringGrid::SetCell(int col, int row, std::string_view text) {
    CheckCell(col, row);
    GetRowCells(row, cellScratch_.data(), colCount_);
    cellScratch_[static_cast<std::size_t>(col)] = text;
    SetRowCells(row, cellScratch_.data(), colCount_);
}

void TStringGrid::SetRowCells(int row, const std::string_view* cells, int count) {
    CheckCell(0, row);
    if (count > colCount_) count = colCount_;
    while (count > 0 && cells[count - 1].empty()) --count;
    std::size_t size = 0;
    for (int c = 0; c < count; ++c) size += LengthBytes(cells[c].size()) + cells[c].size();
    Row& r = rows_[static_cast<std::size_t>(row)];
    if (size == 0) {
        ReleaseRow(r);
    } else if (r.chunk != kNoChunk && size <= r.capacity) {
        // In place; the texts may lie in this very block, so through a copy.
        if (scratch_.size() < size) scratch_.resize(size);
        EncodeCells(scratch_.data(), cells, count);
        std::memcpy(chunks_[r.chunk].bytes.get() + r.offset, scratch_.data(), size);
        r.size = static_cast<std::uint32_t>(size);
    } else {
        // A new block: the old one, which the texts may lie in, goes afterwards.
        const Row block = Allocate(size, size);
        EncodeCells(chunks_[block.chunk].bytes.get() + block.offset, cells, count);
        Row& target = rows_[static_cast<std::size_t>(row)];
        ReleaseRow(target);
        target = block;
    }
    // Every text is stored now (the derived ones the caller passed on among them).
    if (source_) derived_[static_cast<std::size_t>(row)] = 0;
}

void TStringGrid::EncodeCells(char* out, const std::string_view* cells, int count) {
    for (int c = 0; c < count; ++c) {
        const std::size_t length = cells[c].size();
        out = PutLength(out, length);
        CopyBytes(out, cells[c].data(), length);
        out += length;
    }
}

void TStringGrid::ReserveRows(int rows) {
    if (rows <= 0) return;
    rows_.reserve(static_cast<std::size_t>(rows));
    if (source_) derived_.reserve(static_cast<std::size_t>(rows));
}

TStringGrid::Row TStringGrid::Allocate(std::size_t size, std::size_t capacity) {
    if (capacity > 0xFFFFFFFFu) throw std::length_error("TStringGrid: row too long");
    auto newChunk = [&](std::size_t chunkBytes) {
        std::uint32_t index;
        if (!freeChunks_.empty()) {
            index = freeChunks_.back();
            freeChunks_.pop_back();
        } else {
            chunks_.emplace_back();
            index = static_cast<std::uint32_t>(chunks_.size() - 1);
        }
        Chunk& c = chunks_[index];
        c.bytes = std::make_unique_for_overwrite<char[]>(chunkBytes);
        c.capacity = chunkBytes;
        c.used = 0;
        c.live = 0;
        return index;
    };
    std::uint32_t chunkIndex;
    if (capacity > kOwnChunk) {
        chunkIndex = newChunk(capacity);
    } else {
        if (current_ == kNoChunk || chunks_[current_].capacity - chunks_[current_].used < capacity) {
            const std::uint32_t previous = current_;
            current_ = newChunk(kChunkSize);
            if (previous != kNoChunk && chunks_[previous].live == 0) {
                chunks_[previous].bytes.reset();
                chunks_[previous].capacity = chunks_[previous].used = 0;
                freeChunks_.push_back(previous);
            }
        }
        chunkIndex = current_;
    }
    Chunk& chunk = chunks_[chunkIndex];
    Row block;
    block.chunk = chunkIndex;
    block.offset = static_cast<std::uint32_t>(chunk.used);
    block.size = static_cast<std::uint32_t>(size);
    block.capacity = static_cast<std::uint32_t>(capacity);
    chunk.used += capacity;
    chunk.live += capacity;
    return block;
}

void TStringGrid::ReleaseRow(Row& row) {
    if (row.chunk == kNoChunk) return;
    Chunk& c = chunks_[row.chunk];
    c.live -= row.capacity;
    if (c.live == 0) {
        if (row.chunk == current_) {
            c.used = 0;
        } else {
            c.bytes.reset();
            c.capacity = c.used = 0;
            freeChunks_.push_back(row.chunk);
        }
    }
    row = Row{};
}

int TStringGrid::ColWidth(int col) const {
    if (col < 0 || col >= colCount_) return DefaultColWidth;
    const int width = colWidths_[static_cast<std::size_t>(col)];
    return width < 0 ? DefaultColWidth : width;
}

void TStringGrid::SetColWidth(int col, int width) {
    if (col < 0 || col >= colCount_) throw std::out_of_range("TStringGrid: column outside the grid");
    colWidths_[static_cast<std::size_t>(col)] = width < 0 ? 0 : width;
}

int TStringGrid::RowHeight(int row) const {
    if (row < 0 || row >= RowCount() || rowHeights_.empty()) return DefaultRowHeight;
    const int height = rowHeights_[static_cast<std::size_t>(row)];
    return height < 0 ? DefaultRowHeight : height;
}

void TStringGrid::SetRowHeight(int row, int height) {
    if (row < 0 || row >= RowCount()) throw std::out_of_range("TStringGrid: row outside the grid");
    if (rowHeights_.empty()) {
        if (height == DefaultRowHeight) return;
        rowHeights_.assign(rows_.size(), -1);
    }
    rowHeights_[static_cast<std::size_t>(row)] = height < 0 ? 0 : height;
}

std::size_t TStringGrid::StorageBytes() const {
    std::size_t bytes = rows_.capacity() * sizeof(Row) + rowHeights_.capacity() * sizeof(int) +
                        derived_.capacity();
    for (const Chunk& c : chunks_) bytes += c.capacity;
    return bytes;
}
