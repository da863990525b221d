// Names holding quotes, comment marks, statement separators, line breaks,
// Chinese quotes and brackets reach exactly their own settings rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "forms/forms_fixture.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/memory/controls.h"
#include "src/data/host_tables.h"

namespace Palvo {
namespace {

using Row = std::vector<std::string>;
using Texts = std::vector<std::string>;

// clang-format off
const std::string kHostile[] = {
    "O'Neil", "nobody' or 用户名='张伟", "x'; delete from 查询打印设置; --", "'", "''", "a--b", "a;b", "a\nb",
    "a\r\n'--", "‘张伟’", "“张伟” or ”x“", "a]b", "[a]", "N'x", "a\\", "\"q\"", "张伟' --", "'/*", " 张伟 "};
// clang-format on

class HostileNames : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 销售 (编号 int, 名称 nvarchar(20), 金额 money, 日期 datetime)"});
        // 张伟's own settings, which no other name may read or change
        session().sUser = "张伟";
        db.sGetField("销售", "普通查询", "张伟的查询");
        conn->ExecuteWith("update 查询打印设置 set 排序=1, 合计=1, 分组=1 where 字段名=?", {Value("名称")});
        counting->reset();
    }
    // Every row a query gives, sorted.
    std::vector<Row> sorted(const std::string& sql) {
        auto t = conn->Query(sql);
        std::vector<Row> out(t.rowCount());
        for (std::size_t r = 0; r < out.size(); ++r) {
            for (std::size_t c = 0; c < t.columns.size(); ++c) out[r].push_back(t.at(r, c).toText());
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<Row> rows() {
        return sorted(
            "select 表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,合计,排序,分组 from 查询打印设置");
    }
    // The rows with exactly these texts in 表名, 查询类别, 查询名 and 用户名.
    std::vector<Row> setOf(const std::string& table, const std::string& category, const std::string& name,
                           const std::string& user) {
        std::vector<Row> out;
        for (auto& r : rows()) {
            if (r[0] == table && r[4] == category && r[5] == name && r[6] == user) out.push_back(r);
        }
        return out;
    }
    // The record of the sets' columns.
    std::vector<Row> records() {
        return sorted("select 表名,用户名,查询类别,查询名,字段名 from 查询打印设置表字段");
    }
    std::vector<Row> rowsBut(const std::string& user) {
        std::vector<Row> out;
        for (auto& r : rows()) {
            if (r[6] != user) out.push_back(r);
        }
        return out;
    }
    clsDatabase db;
    clsSearch search;
    Form frm;
};

TEST_F(HostileNames, AUserTouchesOnlyTheirOwnSettings) {
    for (const auto& user : kHostile) {
        SCOPED_TRACE(user);
        session().sUser = user;
        const auto others = rowsBut(user);
        const auto recordsBefore = records();
        counting->reset();
        EXPECT_EQ(db.sGetField("销售", "普通查询", "月报"), "名称,金额,日期");
        EXPECT_EQ(counting->executes.size(), 3u) << "the seeding, the set's record replaced";
        const auto own = setOf("销售", "普通查询", "月报", user);
        ASSERT_EQ(own.size(), 3u);
        EXPECT_EQ(own[0][1], "名称");
        EXPECT_EQ(rowsBut(user), others);
        // the record gained this set's four columns and nothing else changed
        auto expected = recordsBefore;
        for (const char* column : {"编号", "名称", "金额", "日期"})
            expected.push_back({"销售", user, "普通查询", "月报", column});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(records(), expected);

        // a second read finds the set (the other lists share its statement's user condition)
        EXPECT_EQ(db.sGetField("销售", "普通查询", "月报"), "名称,金额,日期");
        EXPECT_EQ(counting->executes.size(), 3u);

        memory::ComboBox names;
        search.mInitComboType(frm, names, "销售");
        ASSERT_EQ(names.ListCount(), 1);
        EXPECT_EQ(names.List(0), "月报");
        memory::ComboBox cmb;
        db.mSetCxm(cmb, "销售", "张伟的查询", "普通查询");
        EXPECT_EQ(cmb.ListCount(), 0);
        db.mSetCxm(cmb, "销售", "月报", "普通查询");
        EXPECT_EQ(cmb.ListCount(), 1);
        EXPECT_EQ(rowsBut(user), others);
    }
    EXPECT_EQ(setOf("销售", "普通查询", "张伟的查询", "张伟").size(), 3u);
}

// The table, category and query names.
TEST_F(HostileNames, EveryNameOfASetIsTakenAsItStands) {
    session().sUser = "张三";
    for (const auto& name : kHostile) {
        SCOPED_TRACE(name);
        std::string bracketed;
        for (char c : name) bracketed += c == ']' ? std::string("]]") : std::string(1, c);
        conn->Execute("create table [" + bracketed + "] (编号 int, 名称 nvarchar(20), 金额 money)");
        const auto before = rows();
        auto expected = records();
        EXPECT_EQ(db.sGetField(name, name, name), "名称,金额");
        EXPECT_EQ(db.sGetField(name, name, name, "", "", "", "x"),
                  "名称,金额");  // the set is there: no seeding
        const auto own = setOf(name, name, name, "张三");
        ASSERT_EQ(own.size(), 2u);
        EXPECT_EQ(rows().size(), before.size() + 2);
        // the record gained this set's three columns and nothing else changed
        for (const char* column : {"编号", "名称", "金额"})
            expected.push_back({name, "张三", name, name, column});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(records(), expected);

        memory::ComboBox names;
        std::string category = name;
        search.mInitComboType(frm, names, name, category);
        ASSERT_EQ(names.ListCount(), 1);
        EXPECT_EQ(names.List(0), name);
        memory::ComboBox cmb;
        db.mSetCxm(cmb, name, name, name);
        ASSERT_EQ(cmb.ListCount(), 1);
        EXPECT_EQ(cmb.List(0), name);
        db.mSetCxm(cmb, name, "月报", name);
        EXPECT_EQ(cmb.ListCount(), 1);
    }
    EXPECT_EQ(setOf("销售", "普通查询", "张伟的查询", "张伟").size(), 3u);
}

TEST_F(HostileNames, ANulByteFailsTheCallSendingNothing) {
    const std::string nul("张伟\0' or 1=1 --", 18);
    const auto before = rows();
    session().sUser = nul;
    EXPECT_THROW(db.sGetField("销售", "普通查询", "月报"), Error);
    session().sUser = "张三";
    EXPECT_THROW(db.sGetField(nul, "普通查询", "月报"), Error);
    EXPECT_THROW(db.sGetField("销售", "普通查询", nul), Error);
    memory::ComboBox cmb;
    EXPECT_THROW(db.mSetCxm(cmb, "销售", nul, "普通查询"), Error);
    std::string category = nul;
    search.mInitComboType(frm, cmb, "销售", category);
    EXPECT_EQ(cmb.ListCount(), 0);
    EXPECT_TRUE(counting->executes.empty());
    EXPECT_EQ(rows(), before);
}

TEST_F(HostileNames, ABareTableNameThatIsNoTableNameSendsNothing) {
    exec({"create table 单据 (日期 datetime)", "insert into B_单位 values ('01', N'一分公司')"});
    for (const auto& name : kHostile) {
        if (data::isObjectName(name)) continue;  // "[a]" and "\"q\"" are table names
        SCOPED_TRACE(name);
        counting->reset();
        memory::ComboBox dates, values;
        search.mInitComboSjCx(frm, dates, "单据; delete from 单据 --" + name);
        search.mInitComboSjCx(frm, dates, name);
        EXPECT_EQ(dates.ListCount(), 0);
        values.Tag(name + ",名称");
        search.mInitComboTstj(frm, values);
        EXPECT_EQ(values.ListCount(), 1);  // 全部 only
        EXPECT_EQ(values.ListIndex(), -1);
        EXPECT_TRUE(counting->queries.empty());
        EXPECT_TRUE(counting->executes.empty());
    }
    counting->reset();
    memory::ComboBox dates, values;
    search.mInitComboSjCx(frm, dates, " 单据 ");
    EXPECT_EQ(dates.ListCount(), 1);
    values.Tag("[B_单位],名称");
    search.mInitComboTstj(frm, values);
    EXPECT_EQ(values.ListCount(), 2);
    EXPECT_EQ(counting->queries, (Texts{"select top 0 * from  单据 ", "select * from  [B_单位]"}));
}

TEST(ObjectNames, OnlyTableReferencesCanStandBare) {
    const std::string tables[] = {"销售",       "dbo.销售", "库..表",  "a.b.c.d", "[销售 明细]", "[a]]b]",
                                  "\"a\"\"b\"", "#临时",    " 单据\t", "表1$",    "_x@y",        "Ｂ表"};
    const std::string others[] = {"",     "  ",  "a;b",  "a'b",  "[a]b]",     "[a",
                                  "[]",   "\"a", "‘表’", "“表”", "表　名",    "a\xca\xbc",
                                  "＇表", "1a",  "$a",   "a.",   "a.b.c.d.e", "\xff"};
    for (const auto& name : tables) EXPECT_TRUE(data::isObjectName(name)) << name;
    for (const auto& name : others) EXPECT_FALSE(data::isObjectName(name)) << name;
    EXPECT_FALSE(data::isObjectName(std::string("a\0b", 3)));
    EXPECT_FALSE(data::isObjectName(std::string("[a\0b]", 5)));
}

}  // namespace
}  // namespace Palvo
