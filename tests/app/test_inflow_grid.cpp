// The grid model: cells, counts, sizes, and its memory budget.

#include "StringGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Resident memory of this process, in bytes.
std::size_t ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long size = 0, resident = 0;
    const int got = std::fscanf(f, "%lu %lu", &size, &resident);
    std::fclose(f);
    return got == 2 ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

}  // namespace

TEST(StringGrid, CellsStartEmptyAndKeepWhatIsWritten) {
    TStringGrid grid(9, 5);
    EXPECT_EQ(grid.ColCount(), 9);
    EXPECT_EQ(grid.RowCount(), 5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 9; ++c) EXPECT_EQ(grid.Cell(c, r), "");

    grid.SetCell(6, 2, "90");
    grid.SetCell(0, 2, "2007-07-29 06-00-00");
    grid.SetCell(8, 2, "x");
    grid.SetCell(1, 2, " 524.84");
    EXPECT_EQ(grid.Cell(0, 2), "2007-07-29 06-00-00");
    EXPECT_EQ(grid.Cell(1, 2), " 524.84");
    EXPECT_EQ(grid.Cell(6, 2), "90");
    EXPECT_EQ(grid.Cell(8, 2), "x");
    EXPECT_EQ(grid.Cell(7, 2), "");
    EXPECT_EQ(grid.Cell(6, 3), "");

    // Overwriting with shorter, longer and empty texts.
    grid.SetCell(0, 2, "t");
    grid.SetCell(6, 2, std::string(300, 'q'));
    grid.SetCell(8, 2, "");
    EXPECT_EQ(grid.Cell(0, 2), "t");
    EXPECT_EQ(grid.Cell(1, 2), " 524.84");
    EXPECT_EQ(grid.Cell(6, 2), std::string(300, 'q'));
    EXPECT_EQ(grid.Cell(8, 2), "");

    // Outside the grid: reading gives nothing, writing is refused.
    EXPECT_EQ(grid.Cell(9, 0), "");
    EXPECT_EQ(grid.Cell(0, 5), "");
    EXPECT_EQ(grid.Cell(-1, 0), "");
    EXPECT_THROW(grid.SetCell(9, 0, "a"), std::out_of_range);
    EXPECT_THROW(grid.SetCell(0, 5, "a"), std::out_of_range);
}

TEST(StringGrid, TextsOfAnyBytesAndLengthSurvive) {
    TStringGrid grid(3, 2);
    const std::string withNul("1.5\0junk", 8);
    const std::string huge(100000, 'z');   // larger than a shared block
    std::string binary;
    for (int b = 0; b < 256; ++b) binary.push_back(static_cast<char>(b));
    grid.SetCell(0, 0, withNul);
    grid.SetCell(1, 0, huge);
    grid.SetCell(2, 0, binary);
    grid.SetCell(0, 1, std::string(128, 'a'));   // the first length of two bytes
    grid.SetCell(1, 1, std::string(127, 'b'));
    EXPECT_EQ(grid.Cell(0, 0), withNul);
    EXPECT_EQ(grid.Cell(1, 0), huge);
    EXPECT_EQ(grid.Cell(2, 0), binary);
    EXPECT_EQ(grid.Cell(0, 1), std::string(128, 'a'));
    EXPECT_EQ(grid.Cell(1, 1), std::string(127, 'b'));
}

TEST(StringGrid, RowCountDropsAndAddsEmptyRows) {
    TStringGrid grid(2, 5);
    for (int r = 0; r < 5; ++r) grid.SetCell(1, r, "r" + std::to_string(r));
    grid.SetRowCount(3);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 2), "r2");
    grid.SetRowCount(6);
    EXPECT_EQ(grid.Cell(1, 2), "r2");
    for (int r = 3; r < 6; ++r) EXPECT_EQ(grid.Cell(1, r), "") << r;
    EXPECT_THROW(grid.SetRowCount(-1), std::out_of_range);
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.Cell(0, 0), "");
}

// Rows put in and taken out in batches, against a plain table of texts:
// stored cells, derived counts and row heights move with their rows, and
// the chunks of rows taken out are reused without spoiling the rows left.
TEST(StringGrid, RowsPutInAndTakenOutMoveWithTheirCells) {
    struct TSource : TStringGrid::TCellSource {
        void AppendDerivedCell(int row, int k, std::string& out) const override {
            out += "d" + std::to_string(row) + "." + std::to_string(k);
        }
    } source;
    TStringGrid grid(3, 0);
    grid.SetDerivedColumns({2}, &source);
    struct TModelRow { std::string a, b; int height = -1; bool derived = false; };
    std::vector<TModelRow> model;
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    int made = 0;
    for (int round = 0; round < 300; ++round) {
        if (model.empty() || pick(3) > 0) {
            std::vector<int> before;
            for (int k = pick(6) + 1; k > 0; --k) before.push_back(pick(static_cast<int>(model.size()) + 1));
            std::sort(before.begin(), before.end());
            grid.InsertRows(before);
            // Each empty row goes in before the model's row it names.
            for (auto it = before.rbegin(); it != before.rend(); ++it) model.insert(model.begin() + *it, TModelRow{});
        } else {
            std::vector<int> gone;
            for (int r = 0; r < static_cast<int>(model.size()); ++r)
                if (pick(4) == 0) gone.push_back(r);
            grid.DeleteRows(gone);
            for (auto it = gone.rbegin(); it != gone.rend(); ++it) model.erase(model.begin() + *it);
        }
        // Fill some rows of either kind.
        for (int k = 0; k < 3 && !model.empty(); ++k) {
            const int r = pick(static_cast<int>(model.size()));
            TModelRow& m = model[static_cast<std::size_t>(r)];
            m.a = "a" + std::to_string(++made);
            m.b = std::string(static_cast<std::size_t>(pick(40)), 'x');
            // Written while none of its cells is derived: writing a cell
            // stores the row's derived texts.
            grid.SetDerivedCount(r, 0);
            grid.SetCell(0, r, m.a);
            grid.SetCell(1, r, m.b);
            m.derived = pick(2) == 1;
            grid.SetDerivedCount(r, m.derived ? 1 : 0);
            m.height = 10 + pick(20);
            grid.SetRowHeight(r, m.height);
        }
        ASSERT_EQ(grid.RowCount(), static_cast<int>(model.size()));
        for (int r = 0; r < grid.RowCount(); ++r) {
            const TModelRow& m = model[static_cast<std::size_t>(r)];
            ASSERT_EQ(grid.Cell(0, r), m.a) << round << " row " << r;
            ASSERT_EQ(grid.Cell(1, r), m.b) << round << " row " << r;
            ASSERT_EQ(grid.DerivedCount(r), m.derived ? 1 : 0) << round << " row " << r;
            ASSERT_EQ(grid.Cell(2, r), m.derived ? "d" + std::to_string(r) + ".0" : "") << round << " row " << r;
            ASSERT_EQ(grid.RowHeight(r), m.height < 0 ? grid.DefaultRowHeight : m.height) << round << " row " << r;
        }
    }
    EXPECT_THROW(grid.InsertRows({grid.RowCount() + 1}), std::out_of_range);
    EXPECT_THROW(grid.InsertRows({1, 0}), std::out_of_range);
    EXPECT_THROW(grid.DeleteRows({0, 0}), std::out_of_range);
    EXPECT_THROW(grid.DeleteRows({grid.RowCount()}), std::out_of_range);
}

TEST(StringGrid, FewerColumnsCutTheRows) {
    TStringGrid grid(4, 2);
    grid.SetCell(0, 0, "a");
    grid.SetCell(3, 0, "d");
    grid.SetCell(2, 1, "c");
    grid.SetColCount(2);
    EXPECT_EQ(grid.Cell(0, 0), "a");
    EXPECT_EQ(grid.Cell(2, 1), "");
    grid.SetColCount(4);
    EXPECT_EQ(grid.Cell(3, 0), "") << "a cut cell must not come back";
    EXPECT_EQ(grid.Cell(2, 1), "");
    EXPECT_EQ(grid.Cell(0, 0), "a");
}

TEST(StringGrid, WholeRowsAtOnce) {
    TStringGrid grid(9, 3);
    grid.SetCell(8, 1, "old");
    const std::string_view cells[] = {"t", "z", "", "", "", "", "q"};
    grid.SetRowCells(1, cells, 7);
    EXPECT_EQ(grid.Cell(0, 1), "t");
    EXPECT_EQ(grid.Cell(1, 1), "z");
    EXPECT_EQ(grid.Cell(6, 1), "q");
    EXPECT_EQ(grid.Cell(8, 1), "") << "cells beyond the count are emptied";

    // The texts may be the row's own cells, moved about.
    std::string_view own[9];
    grid.GetRowCells(1, own, 9);
    std::swap(own[0], own[6]);
    own[4] = own[1];
    grid.SetRowCells(1, own, 9);
    EXPECT_EQ(grid.Cell(0, 1), "q");
    EXPECT_EQ(grid.Cell(6, 1), "t");
    EXPECT_EQ(grid.Cell(4, 1), "z");

    EXPECT_FALSE(grid.RowEmpty(1));
    grid.SetRowCells(1, nullptr, 0);
    for (int c = 0; c < 9; ++c) EXPECT_EQ(grid.Cell(c, 1), "");
    EXPECT_TRUE(grid.RowEmpty(1));
    grid.SetCell(3, 1, "x");
    grid.SetCell(3, 1, "");
    EXPECT_TRUE(grid.RowEmpty(1)) << "a row whose cells were all emptied again";
}

TEST(StringGrid, WidthsAndHeights) {
    TStringGrid grid(3, 4);
    EXPECT_EQ(grid.ColWidth(0), 64);
    EXPECT_EQ(grid.RowHeight(3), 24);
    grid.SetColWidth(1, 140);
    grid.SetRowHeight(2, 30);
    EXPECT_EQ(grid.ColWidth(1), 140);
    EXPECT_EQ(grid.ColWidth(2), 64);
    EXPECT_EQ(grid.RowHeight(2), 30);
    EXPECT_EQ(grid.RowHeight(1), 24);
    grid.SetRowCount(10);
    EXPECT_EQ(grid.RowHeight(9), 24);
    EXPECT_EQ(grid.RowHeight(2), 30);
    EXPECT_THROW(grid.SetColWidth(3, 10), std::out_of_range);
}

// The model against a plain table of strings under random writes.
TEST(StringGrid, RandomWritesMatchAPlainTable) {
    std::mt19937 rng(7);
    const int cols = 9;
    int rows = 20;
    TStringGrid grid(cols, rows);
    std::vector<std::vector<std::string>> plain(rows, std::vector<std::string>(cols));
    auto randomText = [&] {
        const int length = std::uniform_int_distribution<int>(0, 3)(rng) == 0
                               ? 0
                               : std::uniform_int_distribution<int>(1, 200)(rng);
        std::string s;
        for (int i = 0; i < length; ++i) s.push_back(static_cast<char>(rng()));
        return s;
    };
    for (int step = 0; step < 20000; ++step) {
        const int action = std::uniform_int_distribution<int>(0, 99)(rng);
        if (action < 2) {
            rows = std::uniform_int_distribution<int>(0, 40)(rng);
            grid.SetRowCount(rows);
            plain.resize(rows, std::vector<std::string>(cols));
        } else if (rows > 0 && action < 30) {
            const int r = std::uniform_int_distribution<int>(0, rows - 1)(rng);
            std::vector<std::string> texts(cols);
            std::vector<std::string_view> views(cols);
            const int count = std::uniform_int_distribution<int>(0, cols)(rng);
            for (int c = 0; c < count; ++c) views[c] = texts[c] = randomText();
            grid.SetRowCells(r, views.data(), count);
            for (int c = 0; c < cols; ++c) plain[r][c] = c < count ? texts[c] : std::string();
        } else if (rows > 0) {
            const int r = std::uniform_int_distribution<int>(0, rows - 1)(rng);
            const int c = std::uniform_int_distribution<int>(0, cols - 1)(rng);
            const std::string text = randomText();
            grid.SetCell(c, r, text);
            plain[r][c] = text;
        }
    }
    ASSERT_EQ(grid.RowCount(), rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) ASSERT_EQ(grid.Cell(c, r), plain[r][c]) << c << "," << r;
}

// Derived cells: texts a source makes when asked, shown for the first
// DerivedCount(row) derived columns of a row, the stored texts elsewhere;
// every write stores what the row showed. Checked against a plain table that
// stores every text, under random writes and source changes.
TEST(StringGrid, DerivedCellsMatchAPlainTable) {
    struct Source : TStringGrid::TCellSource {
        std::vector<std::vector<std::string>> texts;  // [row][k]
        void AppendDerivedCell(int row, int k, std::string& out) const override {
            out += texts[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)];
        }
    } source;
    const std::vector<int> derivedColumns{2, 3, 4, 5, 7, 8};
    std::mt19937 rng(5);
    const int cols = 9;
    int rows = 12;
    TStringGrid grid(cols, rows);
    grid.SetDerivedColumns(derivedColumns, &source);
    std::vector<std::vector<std::string>> stored(rows, std::vector<std::string>(cols));
    std::vector<int> count(rows, 0);
    source.texts.assign(64, std::vector<std::string>(6));
    auto text = [&] { return std::to_string(rng() % 1000) + (rng() % 4 == 0 ? std::string(30, 'x') : ""); };
    auto shown = [&](int c, int r) -> std::string {
        for (int k = 0; k < count[r]; ++k)
            if (derivedColumns[k] == c) return source.texts[r][k];
        return stored[r][c];
    };
    auto freeze = [&](int r) {
        std::vector<std::string> row(cols);
        for (int c = 0; c < cols; ++c) row[c] = shown(c, r);
        stored[r] = row;
        count[r] = 0;
    };
    for (int step = 0; step < 20000; ++step) {
        const int action = std::uniform_int_distribution<int>(0, 99)(rng);
        const int r = rows > 0 ? std::uniform_int_distribution<int>(0, rows - 1)(rng) : 0;
        if (action < 2) {
            rows = std::uniform_int_distribution<int>(0, 60)(rng);
            grid.SetRowCount(rows);
            stored.resize(rows, std::vector<std::string>(cols));
            count.resize(rows, 0);
        } else if (action < 4) {
            grid.StoreDerivedCells();
            for (int row = 0; row < rows; ++row) freeze(row);
        } else if (rows == 0) {
            continue;
        } else if (action < 25) {
            const int k = std::uniform_int_distribution<int>(0, 6)(rng);
            grid.SetDerivedCount(r, k);
            count[r] = k;
        } else if (action < 45) {
            source.texts[r][rng() % 6] = text();
        } else if (action < 65) {
            const int c = std::uniform_int_distribution<int>(0, cols - 1)(rng);
            const std::string t = rng() % 3 ? text() : std::string();
            grid.SetCell(c, r, t);
            freeze(r);
            stored[r][c] = t;
        } else if (action < 80) {
            // The row rewritten from its own cells with one changed: as the
            // flood reader keeps a row's other cells.
            std::vector<std::string_view> cells(cols);
            grid.GetRowCells(r, cells.data(), cols);
            freeze(r);
            for (int c = 0; c < cols; ++c) ASSERT_EQ(cells[c], stored[r][c]) << c << "," << r;
            const std::string t = text();
            cells[0] = t;
            grid.SetRowCells(r, cells.data(), cols);
            stored[r][0] = t;
        } else if (action < 85) {
            grid.StoreDerivedCells(r);
            freeze(r);
        } else {
            for (int c = 0; c < cols; ++c) ASSERT_EQ(grid.Cell(c, r), shown(c, r)) << c << "," << r;
            bool empty = true;
            for (int c = 0; c < cols; ++c) empty = empty && shown(c, r).empty();
            ASSERT_EQ(grid.RowEmpty(r), empty && count[r] == 0) << r;
            ASSERT_EQ(grid.DerivedCount(r), count[r]);
        }
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) ASSERT_EQ(grid.Cell(c, r), shown(c, r)) << c << "," << r;
    EXPECT_THROW(grid.SetDerivedCount(0, 7), std::out_of_range);
}

// A million rows of nine cells, as a long flood record fills the calculation
// table: loaded (three stored cells a row), computed (six derived ones), then
// every row rewritten in place of the old.
TEST(StringGrid, AMillionRowsFitTheBudget) {
    struct Source : TStringGrid::TCellSource {
        void AppendDerivedCell(int, int k, std::string& out) const override { out += kTexts[k]; }
        const char* kTexts[6] = {"4.9797", "-2.6397", "3600", "-4444.4444", "2499.995", "75867.8258"};
    } source;
    const std::size_t before = ResidentBytes();
    {
        TStringGrid grid(9, 2);
        grid.SetDerivedColumns({2, 3, 4, 5, 7, 8}, &source);
        const int rows = 1000000;
        std::string_view cells[9] = {};
        for (int r = 2; r < rows + 2; ++r) {
            grid.SetRowCount(grid.RowCount() + 1);
            cells[0] = "2007-07-29 06-00-00";
            cells[1] = "524.84";
            cells[6] = "4999.99";
            grid.SetRowCells(r, cells, 9);
        }
        const std::size_t loaded = grid.StorageBytes();
        for (int r = 2; r < rows + 2; ++r) grid.SetDerivedCount(r, 6);
        const std::size_t computed = grid.StorageBytes();
        EXPECT_EQ(grid.Cell(0, rows + 1), "2007-07-29 06-00-00");
        EXPECT_EQ(grid.Cell(8, rows + 1), "75867.8258");
        for (int r = 2; r < rows + 2; ++r) {
            grid.GetRowCells(r, cells, 9);
            cells[0] = "2007-07-30 06-00-00";
            grid.SetRowCells(r, cells, 9);
        }
        const std::size_t rewritten = grid.StorageBytes();
        const std::size_t resident = ResidentBytes() - before;
        EXPECT_EQ(grid.Cell(0, rows + 1), "2007-07-30 06-00-00");
        EXPECT_EQ(grid.Cell(8, rows + 1), "75867.8258");
        // About 16 bytes a row record and 33 of stored cells, one byte a row
        // for the derived count; the copies made while loading must be gone
        // once every row was rewritten (now with all nine cells stored).
        EXPECT_LT(loaded, 60u << 20);
        EXPECT_LT(computed, loaded + (2u << 20));
        EXPECT_LT(rewritten, 120u << 20);
#if !defined(__SANITIZE_ADDRESS__)
        // (The address sanitizer keeps freed memory in quarantine.)
        EXPECT_LT(resident, 150u << 20);
#endif
        std::printf("grid of a million rows: %.1f MiB loaded, %.1f MiB computed, %.1f MiB rewritten, "
                    "%.1f MiB resident\n",
                    loaded / 1048576.0, computed / 1048576.0, rewritten / 1048576.0, resident / 1048576.0);
    }
}
