// The statements the query module sends, character for character.
#include <gtest/gtest.h>

#include "forms/forms_fixture.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/msgbox.h"

namespace Palvo {
namespace {

using Texts = std::vector<std::string>;

const std::string kSeedHead =
    "Insert Into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) "
    " select '";
const std::string kSeedCatalogue = "  syscolumns where object_name(id)='";
const std::string kSeedTypes =
    "   and (type_name(xtype) not in('binary','image','ntext','sql_variant','text','varbinary')) ";
const std::string kSeedIdentifiers = "   and (name not in ('编号','编号1','编号2'))  ";
// what a first read of a table's sets in a category asks before anything else
const std::string kColumns = "select name, type_name(xtype) from syscolumns where object_name(id)='";
const std::string kRecordThere = "select count(*) from syscolumns where object_name(id)='查询打印设置表字段'";
// the first read of a database without the record table: it is looked for, not made while nothing is recorded
Texts syncReads(const std::string& table, const std::string& where) {
    return {kColumns + table + "' order by colid",
            "select 查询名,字段名,排列顺序,查询条件,条件项目 from 查询打印设置 where 表名='" + table +
                "' and " + where + " order by 排列顺序",
            kRecordThere};
}
// what seeding a set adds to the seeding statement on a database without the record table:
// the table made, the set's columns recorded
Texts recording(const std::string& where, const std::string& values) {
    return {
        "create table 查询打印设置表字段 (表名 nvarchar(256) not null, 用户名 nvarchar(128) not null, "
        "查询类别 nvarchar(256) not null, 查询名 nvarchar(1000) not null, 字段名 nvarchar(256) not null)",
        "create index IX_查询打印设置表字段 on 查询打印设置表字段 (表名, 用户名)",
        "delete from 查询打印设置表字段 where " + where,
        "insert into 查询打印设置表字段 (表名,用户名,查询类别,查询名,字段名) select " + values +
            ",name from syscolumns where object_name(id)='销售'"};
}

class QueryStatements : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 销售 (编号 int, 名称 nvarchar(20), 金额 money, 日期 datetime)"});
    }
    clsDatabase db;
    clsSearch search;
    Form frm;
    memory::ComboBox cmb;
};

TEST_F(QueryStatements, FirstReadOfShownColumnsSeedsTheSet) {
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报"), "名称,金额,日期");
    const std::string read =
        "select * from 查询打印设置 where 表名='销售' and 用户名='张三' and 查询类别='普通查询' and "
        "查询名='月报'";
    Texts expected = syncReads("销售", "用户名='张三' and 查询类别='普通查询'");
    expected.insert(expected.end(), {read + " and 选择标志=1 order by 排列顺序", read, kRecordThere,
                                     read + " and 选择标志=1 order by 排列顺序"});
    EXPECT_EQ(counting->queries, expected);
    // the set is checked again by the statement that seeds it, under the write lock
    Texts executes{kSeedHead + "销售',name,1,colid,'普通查询','月报','张三'  from " + kSeedCatalogue +
                   "销售'   " + kSeedTypes + kSeedIdentifiers + " and not exists (" + read + ")"};
    const Texts recorded =
        recording("表名='销售' and 用户名='张三' and 查询类别='普通查询' and 查询名='月报'",
                  "'销售','张三','普通查询','月报'");
    executes.insert(executes.end(), recorded.begin(), recorded.end());
    EXPECT_EQ(counting->executes, executes);
}

TEST_F(QueryStatements, ASecondReadOfShownColumnsOnlyReadsTheSet) {
    db.sGetField("销售", "普通查询", "月报");
    counting->reset();
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "选择"), "名称,金额,日期");
    EXPECT_EQ(
        counting->queries,
        (Texts{"select * from 查询打印设置 where 表名='销售' and 用户名='张三' and 查询类别='普通查询' and "
               "查询名='月报' and 选择标志=1 order by 排列顺序"}));
    EXPECT_TRUE(counting->executes.empty());
}

TEST_F(QueryStatements, SeedingKeepsIdentifiersOnRequestWithQuotesDoubled) {
    session().sUser = "O'Neil";
    db.sGetField("销售", "录入", "王's", "", "", "", "1");
    // 录入 is one set across query names: recorded without one
    Texts executes{kSeedHead + "销售',name,1,colid,'录入','王''s','O''Neil'  from " + kSeedCatalogue +
                   "销售'   " + kSeedTypes +
                   " and not exists (select * from 查询打印设置 where 表名='销售'  and 用户名='O''Neil' and "
                   "查询类别='录入' )"};
    const Texts recorded = recording("表名='销售' and 用户名='O''Neil' and 查询类别='录入' and 查询名=''",
                                     "'销售','O''Neil','录入',''");
    executes.insert(executes.end(), recorded.begin(), recorded.end());
    EXPECT_EQ(counting->executes, executes);
    EXPECT_EQ(counting->queries.at(3),
              "select * from 查询打印设置 where 表名='销售'  and 用户名='O''Neil' and 查询类别='录入'  and "
              "选择标志=1 order by 排列顺序");
}

TEST_F(QueryStatements, EachListIsReadWithItsOwnStatement) {
    const std::string read =
        "select * from 查询打印设置 where 表名='销售' and 用户名='张三' and 查询类别='普通查询' and "
        "查询名='O''K'";
    const std::string entry =
        "select * from 查询打印设置 where 表名='销售'  and 用户名='张三' and 查询类别='录入' ";
    struct Case {
        const char* category;
        const char* kind;
        std::string statement;
    } cases[] = {
        {"普通查询", "合计", read + " and 选择标志=1  and 合计>0 order by 合计"},
        {"普通查询", "排序", read + " and 排序>0 order by 排序"},
        {"普通查询", "分组", read + " and 分组>0 order by 分组"},
        {"普通查询", "其他", read},
        {"录入", "全部", entry},
    };
    // the sets of each category are brought in line with the table once, before anything is listed
    for (const char* category : {"普通查询", "录入"}) db.sGetField("销售", category, "O'K", "其他");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.category) + c.kind);
        counting->reset();
        EXPECT_EQ(db.sGetField("销售", c.category, "O'K", c.kind), "");
        EXPECT_EQ(counting->queries, Texts{c.statement});
        EXPECT_TRUE(counting->executes.empty());
    }
}

TEST_F(QueryStatements, SetCxmLooksTheSetUp) {
    db.mSetCxm(cmb, "销售", "O'K", "普通查询");
    EXPECT_EQ(
        counting->queries,
        Texts{"select top 1 表名  from [查询打印设置] where  [表名]='销售' and [查询类别]='普通查询' and "
              "[查询名]='O''K' and [用户名]='张三'"});
    EXPECT_EQ(cmb.ListCount(), 0);
}

// The date and value lists' statements are checked with the hostile names.
TEST_F(QueryStatements, TheOtherCombosReadTheirListsOnly) {
    exec({"insert into B_单位 values ('01', N'一分公司')"});
    auto guard = ScopedMessageBox(std::make_shared<memory::ScriptedMessageBox>());
    struct Case {
        const char* name;
        std::function<void(memory::ComboBox&)> call;
        Texts statements;
    } cases[] = {
        {"Dw",
         [&](memory::ComboBox& c) { search.sInitComboDw(frm, c); },
         {"select * from B_单位 order by 单位编号",
          "select top 1 名称  from [B_单位] where  [单位编号]='01'"}},
        {"Type quoted",
         [&](memory::ComboBox& c) {
             std::string category = "O'K";
             search.mInitComboType(frm, c, "a'b", category);
         },
         // a'b is no table: its sets are left as they are
         {kColumns + "a''b' order by colid",
          "select distinct 查询名 from 查询打印设置 where 表名='a''b'  and 用户名='张三' and  "
          "查询类别='O''K'"}},
    };
    for (const auto& c : cases) {
        counting->reset();
        memory::ComboBox box;
        c.call(box);
        EXPECT_EQ(counting->queries, c.statements) << c.name;
        EXPECT_TRUE(counting->executes.empty()) << c.name;
    }
}

}  // namespace
}  // namespace Palvo
