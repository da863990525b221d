#include "palvo/grid_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "grid/grid_recorder.h"
#include "palvo/memory/grid.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using Texts = std::vector<std::string>;
using testing::errorNumber;

Texts cells(const GridModel& g) {
    Texts out;
    for (int r = 0; r < g.Rows(); ++r) {
        std::string line;
        for (int c = 0; c < g.Cols(); ++c) line += (c ? "|" : "") + g.TextMatrix(r, c);
        out.push_back(line);
    }
    return out;
}

// A 3 x 3 grid whose cells name themselves, and what it announces.
struct Named {
    Named() {
        g.Rows(3);
        g.Cols(3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) g.TextMatrix(r, c, std::to_string(r) + std::to_string(c));
        g.listen(&recorder);
    }
    testing::GridRecorder recorder;
    memory::FlexGrid g;
};

// What the cases write, named so that each case reads on a line or two.
const Texts none, a{"a"}, ab{"a", "b"}, abc{"a", "b", "c"}, abcd{"a", "b", "c", "d"}, xz{"x", "", "z\tz"},
    totals{"合计", "1\t2"};
const std::vector<std::int32_t> fourWidths{1, 2, 3, 4}, belowMinusOne{100, -2};

TEST(GridBlocks, EachBlockWriteLandsWhereItSaysInOneAnnouncement) {
    struct Case {
        const char* name;
        std::function<void(GridModel&)> write;
        Texts after;
        Texts heard;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {"a row from column 1", [](GridModel& g) { g.writeRow(1, 1, ab); },
         {"00|01|02", "10|a|b", "20|21|22"}, {"cells 1..1 x 1..2"}},
        {"a column from row 0", [](GridModel& g) { g.writeColumn(2, 0, xz); },
         {"00|01|x", "10|11|", "20|21|z\tz"}, {"cells 0..2 x 2..2"}},
        {"running numbers", [](GridModel& g) { g.writeColumn(0, 1, 2, [](int i) { return std::to_string(i + 1); }); },
         {"00|01|02", "1|11|12", "2|21|22"}, {"cells 1..2 x 0..0"}},
        {"an edit of some cells",
         [](GridModel& g) {
             g.editColumn(1, 0, [](std::string_view t) -> std::optional<std::string> {
                 if (t == "11") return std::nullopt;
                 return std::string(t) + "!";
             });
         },
         {"00|01!|02", "10|11|12", "20|21!|22"}, {"cells 0..2 x 1..1"}},
        {"an edit that changes nothing",
         [](GridModel& g) { g.editColumn(1, 0, [](std::string_view) { return std::optional<std::string>(); }); },
         {"00|01|02", "10|11|12", "20|21|22"}, {}},
        {"a totals row, tab kept", [](GridModel& g) { g.appendRow(totals); },
         {"00|01|02", "10|11|12", "20|21|22", "合计|1\t2|"}, {"insert rows 3..3", "end"}},
        {"a rectangle emptied", [](GridModel& g) { g.clearCells(0, 0, 1, 1); },
         {"||02", "||12", "20|21|22"}, {"cells 0..1 x 0..1"}},
        {"nothing to write", [](GridModel& g) { g.writeRow(0, 0, none); },
         {"00|01|02", "10|11|12", "20|21|22"}, {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Named n;
        c.write(n.g);
        EXPECT_EQ(cells(n.g), c.after);
        EXPECT_EQ(n.recorder.heard, c.heard);
    }
}

// It announces nothing either.
TEST(GridBlocks, ABlockOutsideTheGridWritesNothing) {
    struct Outside {
        const char* name;
        std::function<void(GridModel&)> write;
        long error;
    };
    const std::vector<Outside> outside = {
        {"row past the right edge", [](GridModel& g) { g.writeRow(0, 2, ab); }, 381},
        {"row below the grid", [](GridModel& g) { g.writeRow(3, 0, a); }, 381},
        {"column past the bottom", [](GridModel& g) { g.writeColumn(0, 1, abc); }, 381},
        {"numbers past the bottom", [](GridModel& g) { g.writeColumn(0, 2, 2, [](int) { return "n"; }); },
         381},
        {"negative column", [](GridModel& g) { g.writeColumn(-1, 0, a); }, 381},
        {"edit of no column",
         [](GridModel& g) {
             g.editColumn(3, 0, [](std::string_view) { return std::optional<std::string>("x"); });
         },
         381},
        {"totals wider than the grid", [](GridModel& g) { g.appendRow(abcd); }, 381},
        {"rectangle past the corner", [](GridModel& g) { g.clearCells(1, 1, 3, 2); }, 381},
        {"more widths than columns", [](GridModel& g) { g.colWidths(fourWidths); }, 381},
        {"a width below -1", [](GridModel& g) { g.colWidths(belowMinusOne); }, 380},
    };
    for (const auto& c : outside) {
        SCOPED_TRACE(c.name);
        Named n;
        EXPECT_EQ(errorNumber([&] { c.write(n.g); }), c.error);
        EXPECT_EQ(cells(n.g), (Texts{"00|01|02", "10|11|12", "20|21|22"}));
        EXPECT_EQ(n.g.ColWidth(0), 960);
        EXPECT_TRUE(n.recorder.heard.empty());
    }
}

TEST(GridBlocks, WidthsAreSetTogetherAsColWidthSetsEach) {
    Named n;
    n.g.colWidths({100, -1});
    EXPECT_EQ(n.g.ColWidth(0), 100);
    EXPECT_EQ(n.g.ColWidth(1), 960) << "-1 is the default width";
    EXPECT_EQ(n.g.ColWidth(2), 960) << "a column not named keeps its width";
    EXPECT_EQ(n.recorder.heard, (Texts{"widths 0..1"}));
}

// Nothing else of the control is.
TEST(GridBlocks, OnlyLooksAreHeard) {
    Named n;
    n.g.HighLight(0);
    n.g.ToolTipText("共有 3 条记录！");
    n.g.WordWrap(true);
    n.g.AllowBigSelection(false);
    n.g.FocusRect(0);
    EXPECT_EQ(n.recorder.heard, (Texts{"look", "look", "look"}));
}

}  // namespace
}  // namespace Palvo
