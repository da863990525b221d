#include "src/forms/registry.h"

#include <gtest/gtest.h>

#include "forms/forms_fixture.h"

namespace Palvo {
namespace {

using testing::errorNumber;

class Registry : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 客户 (客户编号 varchar(10), 名称 nvarchar(20))",
              "create table 销售 (单号 int, 客户编号 varchar(10), 地区 varchar(4))",
              "create table 退货 (单号 int, 地区 varchar(4))",
              "insert into 客户 values ('C01', N'甲'), ('C02', N'乙')",
              "insert into 销售 values (1, 'C01', '01'), (2, 'C01', '02')",
              "insert into 编辑权限 values (N'frm客户', '01', ',02,03,')"});
    }

    std::string registry() {
        auto t = conn->Query("select 主表, 主表字段, 附表, 附表字段 from 更新表记录");
        std::string out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            for (std::size_t c = 0; c < 4; ++c) out += t.at(r, c).toText() + (c < 3 ? "," : ";");
        }
        return out;
    }

    // The sales entry form: a required lookup of the customer and an optional one of the region.
    memory::Form salesForm() {
        return memory::Form("frm销售",
                            {{"0单号", "", ""},
                             {"1客户编号", "客户,客户编号", ""},
                             {"3地区", "地区,地区编号", ""},
                             {"1备用", "", ""}});  // a lookup label without a source: not registered
    }

    // Registers the lookups of the sales form for the sales table.
    void registerSales() {
        memory::Form sales = salesForm();
        std::string table = "销售";
        form.mSetKeepSql(sales, table);
    }

    memory::Form customerForm(const std::string& code) {
        return memory::Form("frm客户", {{"2客户编号", "", code}, {"2名称", "", "甲"}});
    }
};

TEST_F(Registry, AMissingTableRegistersNothing) {
    memory::Form frm = salesForm();
    std::string missing = "销售,没有的表";
    EXPECT_EQ(errorNumber([&] { form.mSetKeepSql(frm, missing); }), ErrorNumber::Database);
    EXPECT_EQ(registry(), "");  // the column lists are read before anything is registered
}

// It would register rows that every later cascade and delete check trips over.
TEST_F(Registry, AnEmptyTableNameIsRefusedBeforeAnyQuery) {
    memory::Form frm = salesForm();
    for (std::string empty : {"", " ", "销售,", ",销售", "退货,,销售"}) {
        SCOPED_TRACE(empty);
        counting->reset();
        EXPECT_EQ(errorNumber([&] { form.mSetKeepSql(frm, empty); }), ErrorNumber::InvalidCall);
        EXPECT_TRUE(counting->queries.empty());
        EXPECT_EQ(registry(), "");
    }
}

TEST_F(Registry, AMissingLabelOfTheArrayIsAnError) {
    memory::Form frm = salesForm();
    std::string table = "销售";
    frm.removeLabel(2);
    EXPECT_EQ(errorNumber([&] { form.mSetKeepSql(frm, table); }), FormError::NoArrayElement);
}

TEST_F(Registry, NoChangeRunsNoStatement) {
    registerSales();
    memory::Form customers = customerForm(" C01 ");
    counting->reset();
    EXPECT_EQ(form.sExcuteSql(customers, "客户", {"C01", "甲"}, {}), "");
    EXPECT_TRUE(counting->executes.empty());
    EXPECT_EQ(form.sExcuteSql(customers, "没有登记的表", {"C01", "甲"}, {}), "");
    EXPECT_TRUE(counting->executes.empty());
    EXPECT_EQ(scalar("select count(*) from SendSql"), "0");
}

// A value in use and one not: HostileValues and EntryForm.
TEST_F(Registry, ADeleteCheckOfAnUnregisteredMasterPasses) {
    registerSales();
    std::string unregistered = "地区";
    memory::Form blank = customerForm("");
    EXPECT_EQ(form.sCheckDelSql(blank, unregistered, {"01", ""}, {}), "");
}

TEST_F(Registry, ADeleteCheckWithoutValuesIsAnError) {
    registerSales();
    std::string master = "客户";
    memory::Form blank = customerForm("");
    EXPECT_EQ(errorNumber([&] { form.sCheckDelSql(blank, master, {}, {}); }),
              ErrorNumber::SubscriptOutOfRange);
}

TEST_F(Registry, TheLoggingResultComesBack) {
    exec({"delete from 编辑权限"});
    registerSales();
    conn->Execute("drop table SendSql");
    memory::Form customers = customerForm("C05");
    EXPECT_EQ(form.sExcuteSql(customers, "客户", {"C01", "甲"}, {}),
              "");  // nobody receives: nothing is logged
    exec({"insert into 编辑权限 values (N'frm客户', '01', ',02,')"});
    memory::Form again = customerForm("C06");
    EXPECT_EQ(form.sExcuteSql(again, "客户", {"C05", "甲"}, {}), "发送语句错误:");
    EXPECT_EQ(scalar("select count(*) from 销售 where 客户编号 = 'C06'"), "2");  // the update stays done
}

TEST_F(Registry, TheFirstRegistryRowInUseDecides) {
    exec({"create table 合同 (客户编号 varchar(10))", "insert into 合同 values ('C02')",
          "insert into 销售 values (3, 'C02', '01')"});
    memory::Form sales = salesForm();
    std::string tables = "合同";
    form.mSetKeepSql(sales, tables);
    tables = "销售";
    form.mSetKeepSql(sales, tables);
    memory::Form customers = customerForm("");
    std::string master = "客户";
    EXPECT_EQ(form.sCheckDelSql(customers, master, {"C02", ""}, {}),
              "合同 表中用到了字段 客户编号 的值，不能删除！");
}

// Registering twice records each lookup once, for each table that has its column.
TEST_F(Registry, RegisteringTwiceRecordsEachLookupOnce) {
    registerSales();
    memory::Form sales = salesForm();
    std::string tables = "退货,销售";
    form.mSetKeepSql(sales, tables);
    EXPECT_EQ(registry(), "客户,客户编号,销售,客户编号;地区,地区编号,销售,地区;地区,地区编号,退货,地区;");
}

}  // namespace
}  // namespace Palvo
