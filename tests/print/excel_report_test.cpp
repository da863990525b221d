// The sheet layout rules of the spreadsheet reports, without a file: column
// letters, heading merges, the extra-merge list, range addresses and the
// formats and merges a worksheet composes.
#include "src/print/excel_report.h"

#include <gtest/gtest.h>

#include <tuple>

#include "palvo/memory/msgbox.h"
#include "palvo/session.h"
#include "support/errors.h"

namespace Palvo::print {
namespace {

TEST(ColumnLetters, FollowTheTwoLetterRuleUpTo676) {
    auto box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard(box);
    session().sMsg = "提示";
    for (auto [col, letters] : std::vector<std::pair<int, std::string>>{
             {0, "A"}, {25, "Z"}, {26, "AA"}, {51, "AZ"}, {52, "BA"}, {675, "YZ"}, {676, "ZA"}}) {
        EXPECT_EQ(columnLetters(col), letters) << col;
    }
    EXPECT_TRUE(box->messages().empty());
    EXPECT_EQ(columnLetters(677), "");
    ASSERT_EQ(box->messages().size(), 1u);
    EXPECT_EQ(box->last(), (memory::ShownMessage{"超出允许的范围，最大支持 676 列", vbExclamation, "提示"}));
}

// Each is written once.
TEST(HeadingMerges, RepeatedTextsMergeAcrossThenDown) {
    struct Case {
        std::vector<std::vector<std::string>> heading;
        std::vector<std::string> across, down;
        std::vector<std::vector<std::string>> texts;
    };
    const std::vector<Case> cases = {
        // empty cells never merge, a run in the middle of a row is found
        {{{"", "", "a", "a", "a", "b"}}, {"C3:E3"}, {}, {{"", "", "a", "", "", "b"}}},
        {{{"x"}, {"x"}, {"x"}, {"y"}}, {}, {"A3:A5"}, {{"x"}, {""}, {""}, {"y"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.heading[0][0]);
        const HeadingMerges m = headingMerges(c.heading);
        EXPECT_EQ(m.across, c.across);
        EXPECT_EQ(m.down, c.down);
        EXPECT_EQ(m.texts, c.texts);
    }
}

TEST(OtherMerges, AreReadItemByItem) {
    using Items = std::vector<OtherMerge>;
    const std::vector<std::pair<std::string, Items>> cases = {
        {"(0,2):(1,2);(3,0):(4,0);",
         {{"(0,2):(1,2)", MergeItem{0, 2, 1, 2}}, {"(3,0):(4,0)", MergeItem{3, 0, 4, 0}}}},
        {"(10,12):(11,13);", {{"(10,12):(11,13)", MergeItem{10, 12, 11, 13}}}},
        {"(0,2):(1,2)", {}},                                                           // no ";"
        {"(0,2):(1,2);(1,1);(3,0):(4,0);", {{"(0,2):(1,2)", MergeItem{0, 2, 1, 2}}}},  // a short item ends it
        {"", {}},
        // an item that is not whole numbers is read as it stands, and reading goes on
        {"(a,2):(1,2);(0,2)-(1,2);(1,0):(2,0);",
         {{"(a,2):(1,2)", std::nullopt},
          {"(0,2)-(1,2)", std::nullopt},
          {"(1,0):(2,0)", MergeItem{1, 0, 2, 0}}}},
        {"(1.5,0):(2,0);", {{"(1.5,0):(2,0)", std::nullopt}}},
    };
    for (const auto& [text, items] : cases) EXPECT_EQ(parseOtherMerges(text), items) << text;
}

// Merged already: the title A1:C1 and a heading B3:C3 (0-based rows and columns).
TEST(OtherMerges, AnItemIsRefusedWhereItsMergeWouldHideCellsNoOneNamed) {
    const std::vector<CellRange> merged = {{0, 0, 0, 2}, {2, 1, 2, 2}};
    const std::vector<std::pair<CellRange, std::string>> hiding = {
        {{3, 0, 4, 1}, ""},  // A4:B5 touches nothing merged
        {{2, 1, 3, 2}, ""},  // B3:C4 takes the heading in, its shown cell B3 on top
        {{2, 0, 2, 2}, ""},  // A3:C3 takes B3 in: the item names B3
        {{2, 2, 2, 2}, ""},  // one cell inside a merged area
        {{0, 0, 1, 2}, ""},  // A1:C2 under the title
        {{2, 2, 3, 2},       // C3:C4 would make B3:C4: B4 is no one's
         "with the merged area B3:C3 it would merge B3:C4, cells no item names"},
        {{0, 0, 1, 0}, "with the merged area A1:C1 it would merge A1:C2, cells no item names"},
    };
    for (const auto& [item, why] : hiding) {
        EXPECT_EQ(mergeHides(merged, item), why) << item.firstRow << "," << item.firstCol;
    }
    // two heading texts merged down, A3:A4 and B3:B4: joining them across row 4 would hide B3
    EXPECT_EQ(mergeHides({{2, 0, 3, 0}, {2, 1, 3, 1}}, {3, 0, 3, 1}),
              "it would hide B3, the cell the merged area B3:B4 shows");
    EXPECT_EQ(mergeHides({{2, 0, 3, 0}, {2, 1, 3, 1}}, {2, 0, 3, 1}), "");
}

TEST(Ranges, AddressesReadAsTheApplicationReadsThem) {
    EXPECT_EQ(parseRange("A1"), (CellRange{0, 0, 0, 0}));
    EXPECT_EQ(parseRange("$B$3:c7"), (CellRange{2, 1, 6, 2}));
    EXPECT_EQ(parseRange("C7:A3"), (CellRange{2, 0, 6, 2}));
    EXPECT_EQ(parseRange("XFD1048576"), (CellRange{1048575, 16383, 1048575, 16383}));
    EXPECT_EQ(parseColumns("B:D").firstCol, 1);
    for (const char* bad :
         {"", "A", "1", "A0", "XFE1", "A1048577", "A1:", ":B2", "A1B", "A3:7", "A1:B2:C3"}) {
        EXPECT_EQ(testing::errorNumber([bad] { parseRange(bad); }), kRangeError);
    }
    EXPECT_EQ(testing::errorNumber([] { parseColumns("B3"); }), kRangeError);
    EXPECT_EQ(parseRows("$1:$3"), (CellRange{0, 0, 2, 16383}));
    EXPECT_EQ(parseRows("4"), (CellRange{3, 0, 3, 16383}));
    EXPECT_EQ(testing::errorNumber([] { parseRows("A1:A3"); }), kRangeError);
}

// The format of one cell once the sheet worked them out.
CellFormat formatAt(const Worksheet& sheet, int row, int col) {
    CellFormat found;
    sheet.walk([&](int r, const std::vector<SheetCell>& cells) {
        for (const SheetCell& c : cells) {
            if (r == row && c.col == col) found = sheet.formats()[static_cast<std::size_t>(c.format)];
        }
    });
    return found;
}

// The later wins.
TEST(Worksheet, FormatsByRangeCompose) {
    Worksheet s;
    s.NumberFormatLocal("A3:C7", "@");
    s.WrapText("A3:C7", true);
    for (int which = xl::EdgeLeft; which <= xl::InsideHorizontal; ++which)
        s.BorderLineStyle("A3:C7", which, 1);
    s.Bold("A3:C3", true);
    s.HorizontalAlignment("A1:C7", xl::Center);
    s.HorizontalAlignment("A1:A1", xl::Left);
    s.BorderLineStyle("B5:B5", xl::EdgeTop, xl::LineStyleNone);
    s.prepare();
    CellFormat inner = formatAt(s, 4, 1);
    EXPECT_EQ(std::tuple(inner.numberFormat, inner.wrap, inner.bold, inner.horizontal),
              std::tuple("@", true, false, xl::Center));
    EXPECT_EQ(std::vector<int>({inner.borderLeft, inner.borderTop, inner.borderBottom, inner.borderRight}),
              std::vector<int>({1, 0, 1, 1}));
    const CellFormat heading = formatAt(s, 2, 0);
    EXPECT_TRUE(heading.bold && heading.wrap);
    EXPECT_EQ(heading.borderTop + heading.borderLeft, 2);
    EXPECT_EQ(formatAt(s, 0, 0).horizontal, xl::Left);
    EXPECT_EQ(formatAt(s, 0, 1).numberFormat, "");
    EXPECT_EQ(std::pair(s.lastRow(), s.lastCol()), std::pair(6, 2));
    EXPECT_EQ(testing::errorNumber([&s] { s.BorderLineStyle("A1", 13, 1); }), kRangeError);
    EXPECT_EQ(testing::errorNumber([&s] { s.Bold("A1:", true); }), kRangeError);
}

// It sets nothing.
TEST(Worksheet, AValueForMoreThanAWholeColumnIsRefused) {
    Worksheet sheet;
    for (const char* range : {"A1:XFD1048576", "A1:B524289", "C1:D1048576"}) {
        EXPECT_EQ(testing::errorNumber([&] { sheet.Value(range, "y"); }), kRangeError) << range;
    }
    sheet.prepare();
    EXPECT_EQ(sheet.lastRow(), -1);  // nothing was set
    sheet.Value("A1:B3", "x");
    sheet.prepare();
    EXPECT_EQ(sheet.lastRow(), 2);
}

TEST(Worksheet, UnmergingTakesAWholeArea) {
    Worksheet s;
    s.Merge("A3:B3");
    s.Merge("F1:G1");
    s.UnMerge("G1");
    EXPECT_EQ(s.merges(), (std::vector<CellRange>{{2, 0, 2, 1}}));
}

TEST(Worksheet, AMergedAreaShowsItsTopLeftValueOnly) {
    Worksheet s;
    s.Merge("A3:B4");
    s.Value("A3", "上");
    s.Value("B4", "藏");
    s.prepare();
    std::vector<std::string> values;
    s.walk([&](int, const std::vector<SheetCell>& cells) {
        for (const SheetCell& c : cells) values.push_back(c.value ? c.value->text : "-");
    });
    EXPECT_EQ(values, std::vector<std::string>{"上"});
}

TEST(WorkbookFileName, KeepsTheTitleAFileNameCanHold) {
    EXPECT_EQ(workbookFileName("销售/月报:2024?", 2024, 3, 5, 8, 9, 10),
              "销售_月报_2024_ 20240305-080910.xlsx");
    EXPECT_EQ(workbookFileName(" ../ ", 2024, 12, 31, 23, 59, 59), "_ 20241231-235959.xlsx");
    EXPECT_EQ(workbookFileName("", 2024, 1, 1, 0, 0, 0), "报表 20240101-000000.xlsx");
}

}  // namespace
}  // namespace Palvo::print
