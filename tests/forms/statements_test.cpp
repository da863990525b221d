#include "src/forms/statements.h"

#include <gtest/gtest.h>

#include <tuple>

#include "forms/forms_fixture.h"

namespace Palvo {
namespace {

using testing::errorNumber;

class Statements : public testing::FormsTest {};

using Types = std::vector<std::string>;

TEST_F(Statements, InsertListsSkipReadOnlyColumns) {
    memory::Form frm("frm", {{"0编号", "", "A01"}, {"2数量", "", " 5 "}, {"1日期", "t,c", "2004-1-5"}});
    const Types types{"1", "2", "3"};
    EXPECT_EQ(form.sGetAddNewStr(frm, types), "数量,日期");
    for (const char* kind : {"FIELD", "field"}) EXPECT_EQ(form.sGetAddNewStr(frm, types, kind), "数量,日期");
    for (const char* kind : {"VALUE", "Value"})
        EXPECT_EQ(form.sGetAddNewStr(frm, types, kind), "5,'2004-01-05'");
    EXPECT_EQ(form.sGetAddNewStr(frm, types, "X"), "");
}

// An empty number is zero.
TEST_F(Statements, InsertValuesDoubleTheirQuotes) {
    memory::Form quoted(
        "frm", {{"2名称", "", " O'Neil "}, {"4数量", "", ""}, {"4日期", "", "d'x"}, {"2备注", "", "a"}});
    EXPECT_EQ(form.sGetAddNewStr(quoted, {"1", "2", "3", "1"}, "VALUE"), "'O''Neil',0,'d''x','a'");
}

// An image column is left out.
TEST_F(Statements, AnInsertOfEmptyOptionalNumbersOrDatesRuns) {
    exec(
        {"create table 货品 (名称 nvarchar(10), 数量 int not null, 单价 decimal(10,2), 日期 datetime, 照片 "
         "image)"});
    memory::Form goods(
        "frm",
        {{"2名称", "", "甲"}, {"4数量", "", "  "}, {"9单价", "", ""}, {"4日期", "", ""}, {"4照片", "", ""}});
    const Types goodsTypes{"1", "2", "2", "3", "4"};
    EXPECT_EQ(form.sGetAddNewStr(goods, goodsTypes, "FIELD"), "名称,数量,单价,日期");
    EXPECT_EQ(form.sGetAddNewStr(goods, goodsTypes, "VALUE"), "'甲',0,0,''");
    conn->Execute("insert into 货品 (" + form.sGetAddNewStr(goods, goodsTypes, "FIELD") + ") values (" +
                  form.sGetAddNewStr(goods, goodsTypes, "VALUE") + ")");
    EXPECT_EQ(scalar("select count(*) from 货品 where 名称 = N'甲' and 数量 = 0 and 单价 = 0"), "1");
    EXPECT_EQ(scalar("select convert(varchar(10), 日期, 120) from 货品"), "1900-01-01");
}

TEST_F(Statements, NumbersAreWrittenAsReadInEveryStatement) {
    struct Case {
        const char* text;
        const char* sql;
    };
    const std::vector<Case> cases{{"5", "5"},
                                  {" 12 ", "12"},
                                  {"7.50", "7.5"},
                                  {"0 or 1=1", "0"},
                                  {"2024010100000124", "2024010100000124"}};
    memory::FlexGrid grid = testing::gridOf({"单号"}, {{""}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        memory::Form frm("frm", {{"2单号", "", c.text}});
        const Types types{"2"};
        grid.TextMatrix(1, 0, c.text);
        const std::string eq = std::string("单号=") + c.sql;
        EXPECT_EQ(form.sGetKeyWord(frm, "新增", types, false, "0,", {}), eq + "  ");
        EXPECT_EQ(form.sGetKeyWord(frm, "修改保存", types, false, "0,", {c.text}), eq + "  ");
        EXPECT_EQ(form.sGetKeyfromFlxRow(frm, grid, types, "0,"), eq);
        EXPECT_EQ(form.sGetAddNewStr(frm, types, "VALUE"), c.sql);
        EXPECT_EQ(form.sGetUpdateStr(frm, {"x"}, types), "," + eq);
    }
}

TEST_F(Statements, AnUnknownTypeCodeRaisesWhereItsValueWouldBeLost) {
    memory::Form frm("frm", {{"2编码", "", "A1"}, {"2数量", "", "5"}});
    memory::FlexGrid grid = testing::gridOf({"编码", "数量"}, {{"", ""}});
    for (const char* code : {"", "5", "x"}) {
        SCOPED_TRACE(code);
        const Types types{"1", code};
        EXPECT_EQ(errorNumber([&] { form.sGetAddNewStr(frm, types, "FIELD"); }), ErrorNumber::InvalidCall);
        const auto changed = [&] { form.sGetUpdateStr(frm, {"A1", "4"}, types); };
        EXPECT_EQ(errorNumber(changed), ErrorNumber::InvalidCall);
        EXPECT_EQ(form.sGetUpdateStr(frm, {"A1", "5"}, types), "");  // unchanged: nothing to lose
        EXPECT_EQ(errorNumber([&] { form.sGetKeyfromFlxRow(frm, grid, types, "0,1,"); }),
                  ErrorNumber::InvalidCall);
        // key conditions write any code but "2" as text
        EXPECT_EQ(form.sGetKeyWord(frm, "新增", types, false, "0,1,", {}), "编码='A1'  and 数量='5'  ");
    }
}

TEST_F(Statements, UpdateListsHoldOnlyChangedEditableColumns) {
    memory::Form edited("frm", {{"0编号", "", "A02"},
                                {"2数量", "", "7.50"},
                                {"2名称", "", "O'Neil"},
                                {"2日期", "", "2004-1-5"},
                                {"4照片", "", "x"}});
    const Types types{"1", "2", "1", "3", "4"};
    EXPECT_EQ(form.sGetUpdateStr(edited, {"A01", "5", "O'Neil", "2004-1-5", ""}, types), ",数量=7.5");
    EXPECT_EQ(form.sGetUpdateStr(edited, {"A02", "7.50", "Neil", "2004-1-6", "x"}, types),
              ",名称='O''Neil',日期='2004-1-5'");
    EXPECT_EQ(form.sGetUpdateStr(edited, {"A02", "7.50", "O'Neil", "2004-1-5", "x"}, types), "");
    edited.text(1).Text("");  // an emptied number is stored as 0
    EXPECT_EQ(form.sGetUpdateStr(edited, {"A02", "7.50", "O'Neil", "2004-1-5", "x"}, types), ",数量=0");
    EXPECT_EQ(errorNumber([&] { form.sGetUpdateStr(edited, {"A02"}, types); }),
              ErrorNumber::SubscriptOutOfRange);
}

// A customer, a quantity and a date.
class KeyConditions : public Statements {
protected:
    memory::Form frm{"frm", {{"2客户", "", "C'01"}, {"2数量", "", "5"}, {"2日期", "", "2004-1-5"}}};
    const Types types{"1", "2", "3"};
};

TEST_F(KeyConditions, FollowTheMode) {
    const std::vector<std::string> loaded{"C02", "4", "2004-01-05 10:30"};
    struct Case {
        const char* mode;
        const char* keys;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"新增", "0,", "客户='C''01'  "},
        {"新增", "0,1,", "客户='C''01'  and 数量=5  "},
        {"修改", "0,1,", "客户='C''01'  and 数量=5  "},
        {"修改保存", "0,1,", "客户='C02'  and 数量=4  "},
        {"修改", "2,", "1<>1"},  // the same day at another time is no change
    };
    for (const auto& c : cases)
        EXPECT_EQ(form.sGetKeyWord(frm, c.mode, types, false, c.keys, loaded), c.expected)
            << c.mode << " " << c.keys;
    EXPECT_EQ(errorNumber([&] { form.sGetKeyWord(frm, "其他", types, true, "0,1,", loaded); }),
              ErrorNumber::InvalidCall);
}

TEST_F(KeyConditions, AnUnchangedKeyGivesOneNotOne) {
    frm.text(0).Text("C01");
    EXPECT_EQ(form.sGetKeyWord(frm, "修改", types, true, "0,", {" C01 ", "", ""}), "1<>1");
}

TEST_F(KeyConditions, AnEmptyKeyBoxGivesNoCondition) {
    frm.text(0).Text("C01");
    frm.text(2).Text("");
    for (const char* mode : {"新增", "修改", "修改保存", "其他"})
        EXPECT_EQ(form.sGetKeyWord(frm, mode, types, true, "0,2,", {"C01", "", "2004-01-01"}), "") << mode;
}

TEST_F(KeyConditions, ABadKeyListIsAnError) {
    EXPECT_EQ(errorNumber([&] { form.sGetKeyWord(frm, "新增", types, true, "0", {}); }),
              ErrorNumber::InvalidCall);
    EXPECT_EQ(errorNumber([&] { form.sGetKeyWord(frm, "新增", types, true, "5,", {}); }),
              FormError::NoArrayElement);
}

// A customer, a date, a quantity and an image, keyed from a grid of one record.
class GridRowKeys : public Statements {
protected:
    memory::Form keyed{"frm", {{"2客户", "", ""}, {"2日期", "", ""}, {"2数量", "", ""}, {"2照片", "", ""}}};
    memory::FlexGrid keyGrid =
        testing::gridOf({"序号", "客户", "日期", "数量", "照片"}, {{}, {"", "O'Neil", "2004-01-05", "7"}});
    const Types keyTypes{"1", "3", "2", "4"};
};

TEST_F(GridRowKeys, TheCurrentGridRowGivesItsKeyCondition) {
    EXPECT_EQ(form.sGetKeyfromFlxRow(keyed, keyGrid, keyTypes, "0,1,"),
              "客户='O''Neil' and datediff(d,日期,'2004-01-05')=0");
    EXPECT_EQ(form.sGetKeyfromFlxRow(keyed, keyGrid, keyTypes, "2,3,"), "数量=7");
    EXPECT_EQ(form.sGetKeyfromFlxRow(keyed, keyGrid, keyTypes, "3,"), "");
}

TEST_F(GridRowKeys, ARowBeyondSixteenBitsKeysItsOwnRecord) {
    keyGrid.Rows(70000);
    for (int row : {65537, 69999}) {
        keyGrid.TextMatrix(row, 3, std::to_string(row));
        keyGrid.Row(row);
        EXPECT_EQ(form.sGetKeyfromFlxRow(keyed, keyGrid, keyTypes, "2,"), "数量=" + std::to_string(row));
    }
}

// The focus goes to the first box after the read-only ones.
TEST_F(Statements, AddNewClearsTheFormForEntry) {
    memory::Form frm("frm", {{"0编号", "", "A01"}, {"2名称", "", "甲"}, {"1客户", "t,c", "C01"}});
    for (int i = 0; i < 3; ++i) {
        frm.text(i).Enabled(i == 0);
        frm.label(i).Enabled(i == 0);
    }
    form.mAddNew(frm);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(frm.text(i).Text(), frm.text(i).Enabled(), frm.label(i).Enabled()),
                  std::tuple("", i > 0, i > 0))
            << i;
    EXPECT_EQ(frm.focused(), &frm.text(1));
}

TEST_F(Statements, AddNewIgnoresWhatItCannotDo) {
    memory::Form allReadOnly("frm", {{"0编号", "", "A01"}});
    form.mAddNew(allReadOnly);  // the focus would go to box 1, which is not there
    EXPECT_EQ(allReadOnly.focused(), nullptr);
    EXPECT_EQ(allReadOnly.text(0).Text(), "");

    memory::Form broken("frm", {{"2a", "", "x"}, {"0b", "", "y"}, {"2c", "", "z"}});
    broken.removeLabel(1);
    form.mAddNew(broken);
    EXPECT_EQ(broken.text(1).Text(), "");
    EXPECT_TRUE(broken.text(1).Enabled());
    EXPECT_EQ(broken.focused(), &broken.text(0));

    Form plain;  // no entry members at all
    EXPECT_NO_THROW(form.mAddNew(plain));
}

}  // namespace
}  // namespace Palvo
