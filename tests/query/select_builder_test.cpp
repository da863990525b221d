#include <gtest/gtest.h>

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "src/data/host_tables.h"
#include "src/query/settings_store.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

class Settings : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        exec(
            {"create table 销售 (编号 int, 名称 nvarchar(20), 备注 text, 金额 decimal(12,2), "
             "[单价(元)] money, 图片 image, 日期 datetime)"});
    }
    std::string setCount(const std::string& user = "张三") {
        return scalar("select count(*) from 查询打印设置 where 表名='销售' and 用户名='" + user + "'");
    }
    clsDatabase db;
};

TEST_F(Settings, SeedingTakesEligibleColumnsInCatalogueOrderOrWithAMustSetStringTheIdentifiersToo) {
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报"), "名称,金额,[单价(元)],日期");
    EXPECT_EQ(setCount(), "4");
    EXPECT_EQ(scalar("select 排列顺序 from 查询打印设置 where 字段名='金额'"), "4");
    EXPECT_EQ(scalar("select min(选择标志) from 查询打印设置"), "1");
    EXPECT_EQ(scalar("select max(合计) + max(排序) + max(分组) from 查询打印设置"), "0");
    // a must-set string keeps the identifier columns
    EXPECT_EQ(db.sGetField("销售", "普通查询", "全部", "", "", "", "x"), "编号,名称,金额,[单价(元)],日期");
}

TEST_F(Settings, ListsFollowTheirOwnOrder) {
    db.sGetField("销售", "普通查询", "月报");
    exec({"update 查询打印设置 set 排序=2.1 where 字段名='日期'",
          "update 查询打印设置 set 排序=1 where 字段名='名称'",
          "update 查询打印设置 set 合计=2 where 字段名='金额'",
          "update 查询打印设置 set 合计=1 where 字段名='单价(元)'",
          "update 查询打印设置 set 分组=1 where 字段名='名称'",
          // a hidden column is no longer shown or totalled but still sorts
          "update 查询打印设置 set 选择标志=0, 合计=3 where 字段名='日期'"});
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "选择"), "名称,金额,[单价(元)]");
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "合计"), "[单价(元)],金额");
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "排序"), "名称 asc,日期 desc");
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "分组"), "名称");
}

// Another query name of an ordinary query is a set of its own.
TEST_F(Settings, ASetWithEveryColumnHiddenIsNotSeededAgain) {
    db.sGetField("销售", "普通查询", "月报");
    db.sGetField("销售", "录入", "一");
    exec({"update 查询打印设置 set 选择标志=0"});
    for (const char* category : {"普通查询", "录入"}) {
        EXPECT_EQ(db.sGetField("销售", category, "月报"), "") << category;
        EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 查询类别='" + std::string(category) + "'"),
                  "4")
            << category;
    }
    EXPECT_EQ(db.sGetField("销售", "普通查询", "周报"), "名称,金额,[单价(元)],日期");
    EXPECT_EQ(setCount(), "12");
}

// Each name as statements write it, read back from a table holding every one
// of them: a name the database would not take bare is bracketed, a plain one
// stays as it is.
const struct NameCase {
    const char* name;
    const char* inSql;
} kNames[] = {
    // clang-format off
    {"名称", "名称"}, {"Amount_2", "Amount_2"}, {"_备用1", "_备用1"}, {"编号#1", "[编号#1]"}, {"a$", "[a$]"},
    {"Ärger", "Ärger"}, {"单价(元)", "[单价(元)]"}, {"金额(元", "[金额(元]"}, {"单 价", "[单 价]"},
    {"单价（元）", "[单价（元）]"}, {"a]b", "[a]]b]"}, {"a(]) from t; --", "[a(]]) from t; --]"},
    {"it's", "[it's]"}, {"order", "[order]"}, {"Key", "[Key]"}, {"1列", "[1列]"}, {"@x", "[@x]"},
    {"a-b", "[a-b]"}, {"单价×数量", "[单价×数量]"},
    // clang-format on
};

TEST(SqlColumnName, BracketsANameThatIsNoPlainIdentifier) {
    for (const NameCase& c : kNames) EXPECT_EQ(data::sqlColumnName(c.name), c.inSql) << c.name;
    EXPECT_EQ(data::sqlColumnName(""), "");
}

// The lists of sGetField go into the host's statement as they are.
TEST_F(Settings, ListsOfAnyColumnNamesRun) {
    std::string columns, expected;
    for (const NameCase& c : kNames) {
        columns += std::string(columns.empty() ? "" : ", ") + data::sqlColumnName(c.name) + " int";
        expected += std::string(expected.empty() ? "" : ",") + c.inSql;
    }
    exec({"create table 异名 (" + columns + ")", "insert into 异名 default values"});
    for (const NameCase& c : kNames) {
        auto t = conn->Query("select " + data::sqlColumnName(c.name) + " from 异名 where " +
                             data::sqlColumnName(c.name) + " is null");
        ASSERT_EQ(t.columns.size(), 1u) << c.name;
        EXPECT_EQ(t.columns[0].name, c.name);
        EXPECT_EQ(t.rowCount(), 1u) << c.name;
    }
    const std::string shown = db.sGetField("异名", "普通查询", "q");
    EXPECT_EQ(shown, expected);
    exec({"update 查询打印设置 set 排序=1.1, 合计=1, 分组=1 where 字段名='单 价'",
          "update 查询打印设置 set 排序=2, 合计=2, 分组=2 where 字段名='a]b'"});
    EXPECT_EQ(db.sGetField("异名", "普通查询", "q", "排序"), "[单 价] desc,[a]]b] asc");
    const std::string groups = db.sGetField("异名", "普通查询", "q", "分组");
    EXPECT_EQ(groups, "[单 价],[a]]b]");
    EXPECT_EQ(db.sGetField("异名", "普通查询", "q", "合计"), "[单 价],[a]]b]");
    EXPECT_EQ(conn->Query("select " + shown + " from 异名 order by " +
                          db.sGetField("异名", "普通查询", "q", "排序"))
                  .rowCount(),
              1u);
    EXPECT_EQ(conn->Query("select " + groups + ", count(*) from 异名 group by " + groups).rowCount(), 1u);
}

TEST_F(Settings, AnUnknownTableGivesAnEmptyList) {
    EXPECT_EQ(db.sGetField("没有的表", "普通查询", "月报"), "");
}

TEST_F(Settings, SetCxmAddsExistingSetsOnce) {
    db.sGetField("销售", "普通查询", "月报");
    memory::ComboBox cmb;
    db.mSetCxm(cmb, "销售", "月报", "普通查询");
    ASSERT_EQ(cmb.ListCount(), 1);
    cmb.Clear();
    cmb.AddItem("其他");
    cmb.AddItem("  月报 ");
    db.mSetCxm(cmb, "销售", "月报", "普通查询");
    EXPECT_EQ(cmb.ListCount(), 2);
    cmb.RemoveItem(1);
    db.mSetCxm(cmb, "销售", "月报", "普通查询");
    ASSERT_EQ(cmb.ListCount(), 2);
    EXPECT_EQ(cmb.List(1), "月报");
}

}  // namespace
}  // namespace Palvo
