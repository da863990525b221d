// The statements the query module sends, character for character.
#include <gtest/gtest.h>

#include "forms/forms_fixture.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/memory/controls.h"

namespace Palvo {
namespace {

using Texts = std::vector<std::string>;

// what a first read of a table's sets in a category asks before anything else
const std::string kColumns = "select name, type_name(xtype) from syscolumns where object_name(id)='";

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

// The date and value lists' statements are checked with the hostile names.
TEST_F(QueryStatements, TheTypeComboOfNoTableReadsItsListOnly) {
    std::string category = "O'K";
    search.mInitComboType(frm, cmb, "a'b", category);
    // a'b is no table: its sets are left as they are
    EXPECT_EQ(counting->queries,
              (Texts{kColumns + "a''b' order by colid",
                     "select distinct 查询名 from 查询打印设置 where 表名='a''b'  and 用户名='张三' and  "
                     "查询类别='O''K'"}));
    EXPECT_TRUE(counting->executes.empty());
}

}  // namespace
}  // namespace Palvo
