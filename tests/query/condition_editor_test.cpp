// Building the condition and its items from the condition rows, and reading
// the rows back from stored items.
#include "src/query/condition_editor.h"

#include <gtest/gtest.h>

namespace Palvo::query {
namespace {

using Rows = std::vector<ConditionRow>;

ColumnKind kindOf(const std::string& column) {
    if (column == "数量" || column == "单 价") return ColumnKind::Number;
    if (column == "日期") return ColumnKind::Date;
    if (column == "照片") return ColumnKind::Image;
    if (column == "名称" || column == "地址") return ColumnKind::Text;
    throw std::runtime_error("no column " + column);
}

BuiltCondition build(const Rows& rows, const std::string& unit = "") {
    return buildCondition(rows, kindOf, unit);
}

// The condition's text for the statement, its items to load the rows again.
TEST(ConditionBuild, RowsBuildTheCondition) {
    struct Case {
        const char* name;
        Rows rows;
        std::string unit, text, items;
    } cases[] = {
        // clang-format off
        {"contains, then a number", {{"", "", "名称", " 包含 ", "钢"}, {"", " AND ", "数量", " > ", "5"}}, "",
         "名称 like '%钢%' AND 数量 > 5", ",,名称, 包含 ,钢,, AND ,数量, > ,5"},
        {"does not contain", {{"", "", "名称", " 不包含 ", "钢"}}, "", "名称 not like '%钢%'", ",,名称, 不包含 ,钢"},
        {"a date with the unit d", {{"", "", "日期", " >= ", "2024-01-01"}}, "",
         " datediff(d,'2024-01-01',日期) >= 0", ",,日期, >= ,2024-01-01"},
        {"a date with the caller's unit", {{"(", "", "日期", " < ", "2024-1-5"}}, "m",
         "( datediff(m,'2024-1-5',日期) < 0", "(,,日期, < ,2024-1-5"},
        {"a connector alone", {{"", " ) ", "", "", ""}}, "", " ) ", ", ) ,,,"},
        {"an empty row ends the condition",
         {{"", "", "数量", " = ", "1"}, {" ", "", "", "", " "}, {"", " OR ", "数量", " = ", "2"}}, "",
         "数量 = 1", ",,数量, = ,1"},
        {"an image row adds nothing", {{"", "", "照片", " = ", "x"}, {"", " AND ", "数量", " = ", "2"}}, "",
         " AND 数量 = 2", ", AND ,数量, = ,2"},
        {"no rows", {}, "", "", ""},
        // a name a bare statement cannot hold goes in brackets; blanks around the cell stay
        {"a name with a blank", {{"", "", " 单 价 ", " > ", "1"}}, "", " [单 价]  > 1", ",, 单 价 , > ,1"},
        // a quote stays inside its quotes in the text; the items keep the cell as typed
        {"a quote in a text value", {{"", "", "名称", " = ", "O'Neil"}}, "", "名称 = 'O''Neil'",
         ",,名称, = ,O'Neil"},
        {"a quote in a contained value", {{"", "", "名称", " 包含 ", "'"}}, "", "名称 like '%''%'",
         ",,名称, 包含 ,'"},
        // a picked master value may hold a comma: the text keeps it, the items mark it
        {"a comma in a value", {{"", "", "地址", " = ", "北京,朝阳"}}, "", "地址 = '北京,朝阳'",
         ",,地址, = ,北京\x1f朝阳"},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BuiltCondition b = build(c.rows, c.unit);
        EXPECT_EQ(b.text, c.text);
        EXPECT_EQ(b.items, c.items);
    }
}

TEST(ConditionBuild, ContainsOnANumberOrADateIsRefused) {
    struct Case {
        ConditionRow row;
        const char* message;
    } cases[] = {
        {{"", "", " 数量 ", " 包含 ", "5"}, "查询条件中项目“数量”为数值类型，不能用 包含 "},
        {{"", "", "数量", " 不包含 ", "5"}, "查询条件中项目“数量”为数值类型，不能用 包含 "},
        {{"", "", "日期", " 包含 ", "2024-01-01"}, "查询条件中项目“日期”为日期类型，不能用 包含 "},
    };
    for (const Case& c : cases) {
        try {
            build({c.row});
            ADD_FAILURE() << c.message;
        } catch (const ConditionRefused& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

// Nothing but a number after a number column, a date in a date row, and only the editors' entries in
// the bracket, connector and comparison cells: no cell can carry more SQL into the condition.
TEST(ConditionBuild, AValueThatCouldCarryMoreSqlIsRefused) {
    const Rows invalid[] = {
        {{"", "", "数量", " = ", "1; delete from 客户"}},
        {{"", "", "日期", " = ", "2024-01-01') or ('1"}},
        {{"", "", "日期", " = ", "2024-02-30"}},
        {{"", "", "日期", " = ", "0099-1-1"}},
        {{"", "", "", "", "1=1"}},
        {{"", " AND 1=1 ", "", "", ""}},
        {{"", "", "名称", " = '' or ", "x"}},
        {{"(", "", "名称", " = ", "x"}, {"", " OR ", "数量", " > ", "0x10"}},
    };
    for (const Rows& rows : invalid) {
        EXPECT_THROW(build(rows), ConditionInvalid) << rows[0][1] << rows[0][3] << rows[0][4];
    }
    EXPECT_THROW(build({{"", "", "无此列", " = ", "1"}}), std::runtime_error);
    EXPECT_EQ(build({{"", "", "数量", " >= ", " -1.5e3 "}}).text, "数量 >=  -1.5e3 ");
}

TEST(ConditionLoad, ItemsGiveRowsOfFiveCells) {
    using Cells = std::vector<std::vector<std::string>>;
    EXPECT_EQ(conditionRows(""), Cells{});
    EXPECT_EQ(conditionRows(",,名称, 包含 ,钢,, AND ,数量, > ,5"),
              (Cells{{"", "", "名称", " 包含 ", "钢"}, {"", " AND ", "数量", " > ", "5"}}));
    EXPECT_EQ(conditionRows(",,名称, = ,钢,("), (Cells{{"", "", "名称", " = ", "钢"}, {"("}}))
        << "items that are no multiple of five fill the last row only partly";
    EXPECT_EQ(conditionRows(",,地址, = ,北京\x1f朝阳"), (Cells{{"", "", "地址", " = ", "北京,朝阳"}}));
    // what is built is read back as the same rows
    const Rows rows{{"(", "", "名称", " = ", "O'Neil"}, {"", " ) OR ", "地址", " 包含 ", "a,b"}};
    const auto back = conditionRows(build(rows).items);
    ASSERT_EQ(back.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(back[r], std::vector<std::string>(rows[r].begin(), rows[r].end()));
    }
}

}  // namespace
}  // namespace Palvo::query
