#include "palvo/grid_cells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Palvo {
namespace {

std::vector<std::string> all(const GridCells& cells) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < cells.size(); ++i) out.emplace_back(cells.get(i));
    return out;
}

GridCells holding(const std::vector<std::string>& texts) {
    GridCells cells;
    cells.resize(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) cells.set(i, texts[i]);
    return cells;
}

// Lengths around the 7 bytes a cell holds itself, and bytes a C string would lose.
const std::vector<std::string> kTexts = {
    "",
    "a",
    "1234567",
    "12345678",
    std::string("a\0b", 3),
    "第123456批",
    "2003-01-01 18:00:00",
    std::string(5000, 'x'),
};

TEST(GridCells, EveryTextReadsBackAsWrittenWhateverItReplaces) {
    for (const auto& before : kTexts) {
        for (const auto& after : kTexts) {
            GridCells cells = holding({"左", before, "右边的一段长文字"});
            cells.set(1, after);
            EXPECT_EQ(all(cells), (std::vector<std::string>{"左", after, "右边的一段长文字"}))
                << before.size() << " -> " << after.size();
        }
    }
}

TEST(GridCells, ATextMayBeWrittenFromAViewOfItself) {
    GridCells cells = holding({"0123456789abcdef", "xyz"});
    cells.set(0, cells.get(0).substr(3));  // shorter: rewritten where it lies
    cells.set(1, cells.get(0));            // another cell's text
    cells.set(0, cells.get(0).substr(0, 4));
    EXPECT_EQ(all(cells), (std::vector<std::string>{"3456", "3456789abcdef"}));
}

TEST(GridCells, ShapeChangesMoveTextsWithTheirCells) {
    // 3 rows of 2: a row-major run of cells as the grid keeps them.
    const std::vector<std::string> start = {"r0 c0 long", "r0c1", "r1c0", "r1 c1 long", "r2c0", "r2 c1 long"};
    struct Case {
        const char* name;
        void (*change)(GridCells&);
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"insert a row",
         [](GridCells& c) { c.insert(2, 2); },
         {"r0 c0 long", "r0c1", "", "", "r1c0", "r1 c1 long", "r2c0", "r2 c1 long"}},
        {"erase a row", [](GridCells& c) { c.erase(2, 4); }, {"r0 c0 long", "r0c1", "r2c0", "r2 c1 long"}},
        {"widen",
         [](GridCells& c) { c.reshape(3, 2, 3); },
         {"r0 c0 long", "r0c1", "", "r1c0", "r1 c1 long", "", "r2c0", "r2 c1 long", ""}},
        {"narrow", [](GridCells& c) { c.reshape(3, 2, 1); }, {"r0 c0 long", "r1c0", "r2c0"}},
        {"reorder rows 1 and 2",
         [](GridCells& c) {
             c.reorderRows(2, 2, {1, 0});
         },
         {"r0 c0 long", "r0c1", "r2c0", "r2 c1 long", "r1c0", "r1 c1 long"}},
        {"grow",
         [](GridCells& c) { c.resize(8); },
         {"r0 c0 long", "r0c1", "r1c0", "r1 c1 long", "r2c0", "r2 c1 long", "", ""}},
        {"shrink", [](GridCells& c) { c.resize(3); }, {"r0 c0 long", "r0c1", "r1c0"}},
        {"clear", [](GridCells& c) { c.clearTexts(); }, {"", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        GridCells cells = holding(start);
        c.change(cells);
        EXPECT_EQ(all(cells), c.expected) << c.name;
        // Writing afterwards still lands in the right cell.
        if (cells.size() > 1) {
            cells.set(1, "written after the change");
            EXPECT_EQ(cells.get(1), "written after the change") << c.name;
            EXPECT_EQ(cells.get(0), c.expected[0]) << c.name;
        }
    }
}

TEST(GridCells, ACopyIsItsOwn) {
    GridCells a = holding({"第一段长文字", "短"});
    GridCells b = a;
    b.set(0, "另一段更长的文字内容");
    EXPECT_EQ(all(a), (std::vector<std::string>{"第一段长文字", "短"}));
    EXPECT_EQ(all(b), (std::vector<std::string>{"另一段更长的文字内容", "短"}));
}

TEST(GridCells, RewrittenTextsDoNotPileUp) {
    GridCells cells = holding({"keep this long text", "", "and this one too"});
    std::string last;
    for (int i = 0; i < 200000; ++i) {
        last = "rewritten " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 7), '#');
        cells.set(1, last);
    }
    EXPECT_EQ(all(cells), (std::vector<std::string>{"keep this long text", last, "and this one too"}));
    // About 5 MB were written; what no cell refers to is reclaimed on the way.
    EXPECT_LT(cells.deadBytes(), std::size_t{2} << 20);
}

}  // namespace
}  // namespace Palvo
