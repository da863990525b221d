// The query module's other lists, and the statements a combo of no table sends.
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

// Any other kind of list is the whole set, its hidden columns too.
TEST_F(QueryStatements, AnyOtherListIsTheWholeSet) {
    db.sGetField("销售", "普通查询", "月报");
    exec({"update 查询打印设置 set 选择标志=0 where 字段名='金额'"});
    EXPECT_EQ(db.sGetField("销售", "普通查询", "月报", "其他"), "名称,金额,日期");
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
