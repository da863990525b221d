#include <gtest/gtest.h>

#include "palvo/clsSearch.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/msgbox.h"
#include "src/data/host_tables.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

class QueryCombos : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        box = std::make_shared<memory::ScriptedMessageBox>();
        guard = std::make_unique<ScopedMessageBox>(box);
    }
    void units() {
        exec({"insert into B_单位 values ('00', N'总公司')", "insert into B_单位 values ('01', N'一分公司')",
              "insert into B_单位 values ('02', N'二分公司')"});
    }
    void TearDown() override {
        guard.reset();
        SessionTest::TearDown();
    }
    std::shared_ptr<memory::ScriptedMessageBox> box;
    std::unique_ptr<ScopedMessageBox> guard;
    Form frm;
    memory::ComboBox cmb;
    clsSearch search;
};

// The head unit (00) sees every unit, another only itself (the fixture's 01 一分公司): "entry:item data".
TEST_F(QueryCombos, UnitsOneSees) {
    units();
    struct Case {
        const char *code, *name;
        std::vector<std::string> entries;
    } cases[] = {{"00", "总公司", {"全部:-1", "总公司:0", "一分公司:1", "二分公司:2"}},
                 {"01", "一分公司", {"一分公司:1"}}};
    for (const Case& c : cases) {
        session().Dwbh = c.code;
        session().DwMc = c.name;
        memory::ComboBox units;
        EXPECT_EQ(search.sInitComboDw(frm, units), "");
        std::vector<std::string> entries;
        for (int i = 0; i < units.ListCount(); ++i)
            entries.push_back(units.List(i) + ":" + std::to_string(units.ItemData(i)));
        EXPECT_EQ(entries, c.entries) << c.code;
        EXPECT_EQ(units.Text(), c.name);
    }
    EXPECT_TRUE(box->messages().empty());
}

TEST_F(QueryCombos, AnEmptyUnitTableIsANotice) {
    search.sInitComboDw(frm, cmb);
    ASSERT_EQ(box->messages().size(), 1u);
    EXPECT_EQ(box->last(),
              (memory::ShownMessage{"数据库初始数据错误！当前数据库中没有单位信息！", 64, "提示标题"}));
    EXPECT_EQ(cmb.ListCount(), 0);
}

TEST_F(QueryCombos, ANonNumericUnitCodeIsQuiet) {
    units();
    session().Dwbh = "A1";
    EXPECT_EQ(search.sInitComboDw(frm, cmb), "");
    EXPECT_EQ(cmb.ListCount(), 1);  // filled as far as it came
    EXPECT_TRUE(box->messages().empty());
}

TEST_F(QueryCombos, TheDateComboListsTheDateColumnsOfATable) {
    exec({"create table 单据 (编号 int, 日期 datetime, 名称 varchar(10), 审核时间 datetime)"});
    search.mInitComboSjCx(frm, cmb, "单据");
    ASSERT_EQ(cmb.ListCount(), 2);
    EXPECT_EQ(cmb.List(1), "审核时间");
    EXPECT_EQ(cmb.ListIndex(), 0);
    memory::ComboBox none;
    search.mInitComboSjCx(frm, none, "B_单位");
    EXPECT_EQ(none.ListCount(), 0);
    EXPECT_EQ(none.ListIndex(), -1);
    search.mInitComboSjCx(frm, none, "没有的表");
    EXPECT_EQ(none.ListCount(), 0);
}

// In the category given, or the default one.
TEST_F(QueryCombos, TheTypeComboListsTheUsersSavedQueryNames) {
    exec(
        {"insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) values "
         "('销售','a',1,1,'普通查询','月报','张三'), ('销售','b',1,2,'普通查询','月报','张三'), "
         "('销售','a',1,1,'普通查询','别人的','李四')"});
    std::string category;
    search.mInitComboType(frm, cmb, "销售", category);
    EXPECT_EQ(category, "普通查询");
    ASSERT_EQ(cmb.ListCount(), 1);
    EXPECT_EQ(cmb.List(0), "月报");
    EXPECT_EQ(cmb.ListIndex(), 0);
    std::string other = "自定义查询";
    memory::ComboBox empty;
    search.mInitComboType(frm, empty, "销售", other);
    EXPECT_EQ(other, "自定义查询");
    EXPECT_EQ(empty.ListCount(), 0);
}

TEST_F(QueryCombos, ColumnValuesFromTheTag) {
    units();
    cmb.Tag("B_单位,名称");
    std::string tag;
    search.mInitComboTstj(frm, cmb, tag);
    EXPECT_EQ(tag, "B_单位,名称");
    ASSERT_EQ(cmb.ListCount(), 4);
    EXPECT_EQ(cmb.List(0), "全部");
    EXPECT_EQ(cmb.ListIndex(), 0);

    struct Case {
        const char* tag;
        int entries;
        int selected;
    } cases[] = {{"", 1, 0}, {"B_单位", 1, -1}, {"没有的表,名称", 1, -1}, {"B_单位,没有的列", 1, -1}};
    for (const auto& c : cases) {
        memory::ComboBox box2;
        box2.Tag(c.tag);
        search.mInitComboTstj(frm, box2);
        EXPECT_EQ(box2.ListCount(), c.entries) << c.tag;
        EXPECT_EQ(box2.ListIndex(), c.selected) << c.tag;
    }
}

}  // namespace
}  // namespace Palvo
