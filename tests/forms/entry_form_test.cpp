// An entry form from start to end on the embedded database: a customer master
// and a sales table that refers to it.
#include <gtest/gtest.h>

#include "forms/forms_fixture.h"

namespace Palvo {
namespace {

class EntryForm : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec(
            {"create table 客户 (客户编号 varchar(10) primary key, 客户名称 nvarchar(20) not null, 地区 "
             "varchar(4))",
             "create table 销售 (单号 int identity(1,1) primary key, 客户编号 varchar(10), 商品 "
             "nvarchar(10), "
             "数量 decimal(10,2), 销售日期 datetime, 发票号 varchar(10), 备注 nvarchar(20))",
             "insert into 客户 values ('C001', N'东方公司', '01'), ('C002', N'西山公司', '02')",
             "insert into 销售 (客户编号, 商品, 数量, 销售日期, 发票号) values ('C001', N'螺丝', 10, "
             "'2004-01-05', 'F001')",
             "insert into 编辑权限 values (N'frm客户', '01', ',02,03,')"});
    }

    // The sales form: number (generated), customer (required lookup), goods (required),
    // quantity, date, invoice (unique by itself), note. Key: customer and goods.
    memory::Form salesForm() {
        return memory::Form("frm销售", {{"0单号", "", ""},
                                        {"1客户编号", "客户,客户编号", ""},
                                        {"2商品", "", ""},
                                        {"2数量", "", ""},
                                        {"2销售日期", "", ""},
                                        {"4发票号", "", ""},
                                        {"5备注", "", ""}});
    }
    // Loads the sales form as its window does: browse state, field properties, lookups registered.
    void loadSales() {
        ASSERT_EQ(form.sInitForm(sales), "");
        ASSERT_EQ(form.sInitFieldProp(sales, "销售", types, lengths, scales), "");
        std::string dependent = "销售";
        form.mSetKeepSql(sales, dependent);
    }
    // A new record of the sales form with these texts in boxes 1 to 6, checked.
    std::string checkNew(const std::vector<std::string>& texts) {
        for (int i = 1; i < 7; ++i) sales.text(i).Text(texts[static_cast<std::size_t>(i - 1)]);
        return form.sCheckData(sales, types, lengths, "1,2,", "5,", "销售", {}, false);
    }

    memory::Form sales = salesForm();
    std::vector<std::string> types;
    std::vector<std::int16_t> lengths, scales;
    // the customer form holding C002 as loaded
    memory::Form customers{"frm客户",
                           {{"2客户编号", "", "C002"}, {"2客户名称", "", "西山公司"}, {"4地区", "", "02"}}};
    std::vector<std::string> customerTypes;
    std::vector<std::int16_t> customerLengths, customerScales;
};

TEST_F(EntryForm, TheSalesFormLoadsReadyForEntry) {
    loadSales();
    EXPECT_EQ(types, (std::vector<std::string>{"2", "1", "1", "2", "3", "1", "1"}));
    EXPECT_EQ(lengths, (std::vector<std::int16_t>{10, 10, 10, 10, 16, 10, 20}));
    EXPECT_EQ(scales[3], 2);
    EXPECT_EQ(scalar("select 主表 + ',' + 主表字段 + ',' + 附表 + ',' + 附表字段 from 更新表记录"),
              "客户,客户编号,销售,客户编号");
}

// The rules that read the lengths or the database.
TEST_F(EntryForm, ANewSaleBreakingARuleIsRefused) {
    loadSales();
    form.mAddNew(sales);
    EXPECT_EQ(sales.focused(), &sales.text(1));
    struct Case {
        std::vector<std::string> texts;
        const char* message;
    };
    const std::vector<Case> cases{
        {{"C002", "垫圈", "3", "2004-02-01", "F002", "备注写得太长了超过了二十个字节"},
         "此处文本超出数据库中字段长度！"},
        {{"C404", "垫圈", "3", "2004-02-01", "F002", ""}, "字段 客户编号 的值在基础表中不存在！"},
        {{"C002", "垫圈", "3", "2004-02-01", "F001", ""}, "发票号='F001'的记录已经存在，不能重复添加！"},
        {{"C001", "螺丝", "3", "2004-02-01", "F002", ""},
         "客户编号='C001'  并且 商品='螺丝'  的记录已经存在，不能重复添加！"},
    };
    for (const auto& c : cases) EXPECT_EQ(checkNew(c.texts), c.message) << c.message;
}

TEST_F(EntryForm, AValidNewSaleIsStoredAsTyped) {
    loadSales();
    form.mAddNew(sales);
    ASSERT_EQ(checkNew({"C002", "垫圈", "3.5", "2004-2-1", "F002", "O'Neil 的订单"}), "");
    conn->Execute("insert into 销售 (" + form.sGetAddNewStr(sales, types) + ") values (" +
                  form.sGetAddNewStr(sales, types, "VALUE") + ")");
    EXPECT_EQ(scalar("select 客户编号 + '|' + 商品 + '|' + 发票号 + '|' + 备注 from 销售 where 单号 = 2"),
              "C002|垫圈|F002|O'Neil 的订单");
    EXPECT_EQ(scalar("select 数量 from 销售 where 单号 = 2"), "3.5");
    EXPECT_EQ(scalar("select convert(varchar(10), 销售日期, 120) from 销售 where 单号 = 2"), "2004-02-01");
}

// C002 becomes C'02: saved, then cascaded and logged.
TEST_F(EntryForm, AMasterKeyChangeCascadesToItsSales) {
    loadSales();
    exec({"insert into 销售 (客户编号, 商品) values ('C002', N'垫圈')"});
    ASSERT_EQ(form.sInitFieldProp(customers, "客户", customerTypes, customerLengths, customerScales), "");
    const std::vector<std::string> loaded{"C002", "西山公司", "02"};
    customers.text(0).Text("C'02");
    ASSERT_EQ(
        form.sCheckData(customers, customerTypes, customerLengths, "0,", "", "客户", loaded, true, "", false),
        "");
    const std::string set = form.sGetUpdateStr(customers, loaded, customerTypes);
    EXPECT_EQ(set, ",客户编号='C''02'");
    conn->Execute("update 客户 set " + set.substr(1) + " where " +
                  form.sGetKeyWord(customers, "修改保存", customerTypes, true, "0,", loaded));
    EXPECT_EQ(form.sExcuteSql(customers, "客户", loaded, customerTypes), "");
    EXPECT_EQ(scalar("select 客户编号 from 销售 where 单号 = 2"), "C'02");
    EXPECT_EQ(scalar("select count(*) from 销售 where 客户编号 = 'C001'"), "1");  // other customers untouched
    EXPECT_EQ(
        scalar("select 语句 + '|' + 操作表 + '|' + 接收单位 + '|' + 发送单位 + '|' + 操作员 from SendSql"),
        "update 销售 set 客户编号='C''02' where 客户编号='C002'|客户|,02,03,|01|张三");
}

// One without sales may go.
TEST_F(EntryForm, ACustomerInUseCannotBeDeleted) {
    loadSales();
    exec({"insert into 客户 values ('C''02', N'西山公司', '02')",
          "insert into 销售 (客户编号) values ('C''02')"});
    ASSERT_EQ(form.sInitFieldProp(customers, "客户", customerTypes, customerLengths, customerScales), "");
    std::string master = "客户";
    EXPECT_EQ(form.sCheckDelSql(customers, master, {"C'02", "西山公司", "02"}, customerTypes),
              "销售 表中用到了字段 客户编号 的值，不能删除！");
    exec({"insert into 客户 values ('C003', N'北岭公司', '01')"});
    EXPECT_EQ(form.sCheckDelSql(customers, master, {"C003", "北岭公司", "01"}, customerTypes), "");
}

}  // namespace
}  // namespace Palvo
