#include "src/forms/validation.h"

#include <gtest/gtest.h>

#include "forms/forms_fixture.h"

namespace Palvo {
namespace {

using testing::errorNumber;

// An order form: 0 number (read-only), 1 customer (required lookup), 2 goods
// (required text, 10), 3 quantity (required number), 4 price (optional number),
// 5 date (required), 6 note (plain, 8 bytes), 7 region (optional lookup), 8 invoice (unique).
class Validation : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 客户 (客户编号 varchar(10), 名称 nvarchar(20))",
              "create table 地区 (地区编号 varchar(4))",
              "insert into 客户 values ('C01', N'甲'), ('O''Neil', N'乙')", "insert into 地区 values ('01')",
              "create table 订单 (编号 int, 客户编号 varchar(10), 货品 nvarchar(10), 数量 int, "
              "单价 decimal(10,2), 日期 datetime, 备注 varchar(8), 地区 varchar(4), 发票号 varchar(10))",
              "insert into 订单 values (1, 'C01', N'螺丝', 5, 1.5, '2004-01-05', '', '01', 'F001')",
              "insert into 订单 values (2, 'O''Neil', N'band', 1, 1, '2004-01-06', '', '01', 'F''02')"});
        makeForm();
    }

    void makeForm() {
        frm = std::make_unique<memory::Form>(
            "frm订单", std::vector<memory::FieldDef>{{"0编号", "", "3"},
                                                     {"1客户编号", "客户,客户编号", "C01"},
                                                     {"2货品", "", "垫圈"},
                                                     {"2数量", "", "4"},
                                                     {"4单价", "", ""},
                                                     {"2日期", "", "2004-01-07"},
                                                     {"9备注", "", ""},
                                                     {"3地区", "地区,地区编号", ""},
                                                     {"4发票号", "", "F003"}});
        frm->text(0).Enabled(false);
    }

    std::string check(bool newSave = true, const std::vector<std::string>& loaded = {}, bool keyEdit = true,
                      const std::string& notCheck = "") {
        counting->reset();
        return form.sCheckData(*frm, types, lengths, key, index, "订单", loaded, keyEdit, notCheck, newSave);
    }

    std::unique_ptr<memory::Form> frm;
    std::vector<std::string> types{"2", "1", "1", "2", "2", "3", "1", "1", "1"};
    std::vector<std::int16_t> lengths{10, 10, 10, 10, 10, 16, 8, 4, 10};
    std::string key = "1,2,";
    std::string index = "8,";
};

TEST_F(Validation, EachBoxRuleMarksItsBox) {
    struct Case {
        int box;
        const char* text;
        const char* message;
        bool selected;  // the text is selected (all rules but the empty one)
    };
    const std::vector<Case> cases{
        {6, "一二三四五", "此处文本超出数据库中字段长度！", true},  // 10 GBK bytes in an 8-byte column
        {2, "  ", "此处不能为空，请填入文本！", false},
        {2, "\r垫圈", "此处不能为空，请填入文本！", false},
        {3, "", "请填入数值！", false},  // a required number: the number message, not the empty one
        {3, "4x", "请填入数值！", true},
        {4, "abc", "请填入数值！", true},
        {5, "2004-13-01", "日期格式错误,正确格式为 1900-01-01 ！", true},
        {5, "", "日期格式错误,正确格式为 1900-01-01 ！", false},
        {1, "C99", "字段 客户编号 的值在基础表中不存在！", true},
        {7, "02", "字段 地区 的值在基础表中不存在！", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.box) + " " + c.text);
        makeForm();
        frm->text(c.box).Text(c.text);
        EXPECT_EQ(check(), c.message);
        EXPECT_EQ(frm->focused(), &frm->text(c.box));
        if (c.selected) {
            EXPECT_EQ(frm->text(c.box).SelText(), c.text);
        }
    }
}

// Which boxes a not-check list names: FieldConventions.
TEST_F(Validation, OptionalOrExemptBoxesPassEmpty) {
    frm->text(4).Text("");  // optional number
    frm->text(7).Text("");  // optional lookup: not looked up
    EXPECT_EQ(check(), "");
    frm->text(3).Text("x");
    EXPECT_EQ(check(true, {}, true, "3,"), "");
    frm->text(3).Enabled(false);
    EXPECT_EQ(check(), "");
}

TEST_F(Validation, TheLengthAppliesEvenToDisabledOrExemptBoxes) {
    frm->text(0).Text("12345678901");
    EXPECT_EQ(check(), "此处文本超出数据库中字段长度！");
    EXPECT_EQ(frm->focused(), nullptr);  // a disabled box is selected, not focused
    EXPECT_EQ(frm->text(0).SelLength(), 11);
    makeForm();
    frm->text(6).Text("123456789");
    EXPECT_EQ(check(true, {}, true, "6,"), "此处文本超出数据库中字段长度！");
}

TEST_F(Validation, ADateIsNeverTooLong) {
    frm->text(5).Text("2004-01-07 12:00:00");  // longer than 16 bytes
    EXPECT_EQ(check(), "");
}

TEST_F(Validation, ATagWithoutACodeDigitFailsOnlyWhereItIsConverted) {
    key = "1,3,";
    frm->label(2).Tag("货品");
    EXPECT_EQ(errorNumber([&] { check(); }), ErrorNumber::TypeMismatch);
    types[2] = "4";  // an image box never converts its tag code
    EXPECT_EQ(check(), "");
    frm->label(6).Tag("备注");  // a disabled box is not converted either
    frm->text(6).Enabled(false);
    EXPECT_EQ(check(), "");
}

TEST_F(Validation, BadArgumentsRaise) {
    index = "20,";
    EXPECT_EQ(errorNumber([&] { check(); }), FormError::NoArrayElement);
    index = "8,";
    lengths.resize(3);
    EXPECT_EQ(errorNumber([&] { check(); }), ErrorNumber::SubscriptOutOfRange);
    lengths.resize(9, 10);
    frm->text(1).Tag("客户");  // a lookup box without "table,column"
    EXPECT_EQ(errorNumber([&] { check(); }), ErrorNumber::InvalidCall);
    frm->text(1).Tag("没有的表,客户编号");
    EXPECT_EQ(errorNumber([&] { check(); }), ErrorNumber::Database);
}

TEST_F(Validation, ADuplicateOfAUniqueColumnIsRefused) {
    frm->text(8).Text("F001");
    EXPECT_EQ(check(), "发票号='F001'的记录已经存在，不能重复添加！");
    EXPECT_EQ(frm->focused(), &frm->text(8));
}

TEST_F(Validation, ADuplicateKeyIsRefused) {
    frm->text(2).Text("螺丝");
    EXPECT_EQ(check(), "客户编号='C01'  并且 货品='螺丝'  的记录已经存在，不能重复添加！");
    EXPECT_EQ(frm->focused(), &frm->text(1));
    EXPECT_EQ(frm->text(1).SelText(), "C01");

    frm->text(1).Text("O'Neil");
    frm->text(2).Text("band");  // the letters and inside a value read 并且 too
    EXPECT_EQ(check(), "客户编号='O'Neil'  并且 货品='b并且'  的记录已经存在，不能重复添加！");
}

// Changed values and a changed key.
TEST_F(Validation, ModifyingChecksOnlyWhatChanged) {
    const std::vector<std::string> loaded{"3", "C01", "垫圈", "4", "", "2004-01-07", "", "", "F001"};
    frm->text(8).Text("F001");
    EXPECT_EQ(check(false, loaded, false), "");
    EXPECT_EQ(counting->queries.size(), 1u);  // the customer lookup only: no uniqueness query

    EXPECT_EQ(check(false, loaded, true), "");  // unchanged key: the key query matches nothing
    ASSERT_EQ(counting->queries.size(), 2u);
    EXPECT_EQ(counting->queries.back(), "select top 1 * from 订单 where 1<>1");

    frm->text(8).Text("F'02");
    EXPECT_EQ(check(false, loaded, false), "发票号='F'02'的记录已经存在，不能重复！");
    frm->text(8).Text("F001");
    frm->text(2).Text("螺丝");
    EXPECT_EQ(check(false, loaded, true), "客户编号='C01'  并且 货品='螺丝'  的记录已经存在，不能重复添加！");
}

// Not at all when empty.
TEST_F(Validation, AUniqueNumberIsSearchedAsTheNumberRead) {
    index = "3,";  // quantity, exempt from the box checks so that any text reaches the query
    struct Case {
        const char* text;
        std::vector<std::string> queries;
        const char* message;
    };
    const std::vector<Case> cases{
        {"0 or 1=1", {"select top 1 * from 订单 where 数量=0"}, ""},
        {"1 or 1=1", {"select top 1 * from 订单 where 数量=1"}, "数量=1的记录已经存在，不能重复添加！"},
        {" 4 ", {"select top 1 * from 订单 where 数量=4"}, ""},
        {"", {}, ""},
        {"  ", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        makeForm();
        frm->text(3).Text(c.text);
        EXPECT_EQ(check(true, {}, true, "3,"), c.message);
        std::vector<std::string> uniqueness;
        for (const auto& q : counting->queries)
            if (q.find("where 数量") != std::string::npos) uniqueness.push_back(q);
        EXPECT_EQ(uniqueness, c.queries);
    }
    EXPECT_EQ(scalar("select count(*) from 订单"), "2");
}

TEST_F(Validation, RunsOneQueryPerLookupOrUniquenessCheck) {
    frm->text(7).Text("01");  // both lookups apply
    EXPECT_EQ(check(), "");
    EXPECT_EQ(counting->queries,
              (std::vector<std::string>{"select top 1 客户编号  from [客户] where  [客户编号]='C01'",
                                        "select top 1 地区编号  from [地区] where  [地区编号]='01'",
                                        "select top 1 * from 订单 where 发票号='F003'",
                                        "select top 1 * from 订单 where 客户编号='C01'  and 货品='垫圈'  "}));
    EXPECT_TRUE(counting->executes.empty());
}

TEST_F(Validation, AFailingLookupEndsTheCheckAtOnce) {
    frm->text(7).Text("02");
    EXPECT_EQ(check(), "字段 地区 的值在基础表中不存在！");
    EXPECT_EQ(counting->queries.size(), 2u);
}

TEST_F(Validation, AnEmptyKeyBoxEndsTheCheckWithoutAKeyQuery) {
    key = "1,4,";  // the price box is empty
    EXPECT_EQ(check(), "");
    for (const auto& q : counting->queries) EXPECT_EQ(q.find("订单 where 客户编号"), std::string::npos) << q;
}

TEST_F(Validation, KeysAreFilteredByColumnType) {
    memory::Form keys("frm",
                      {{"2名称", "", "ab"}, {"2金额", "", "123456"}, {"2日期", "", ""}, {"2照片", "", ""}});
    const std::vector<std::string> t{"1", "2", "3", "4"};
    const std::vector<std::int16_t> len{3, 10, 16, 0}, scale{0, 2, 0, 0};
    struct Case {
        std::int16_t box;
        std::string text;  // the box's text, the caret at its end
        std::int16_t key;
        std::int16_t accepted;
    };
    // numeric(10,2) takes six integer digits and two decimals
    const Case cases[] = {{0, "ab", 'c', 'c'},   {0, "abc", 'd', 0},      {0, "abc", '\'', 0},
                          {1, "123456", '7', 0}, {1, "123456", '.', '.'}, {1, "12345", '6', '6'},
                          {1, "1.25", '9', 0},   {2, "", '5', '5'},       {2, "", 'x', 0},
                          {3, "", 8, 0},         {3, "", 13, 0},          {3, "", '1', 0},
                          {3, "", 'a', 0}};
    for (const auto& c : cases) {
        keys.text(c.box).Text(c.text);
        keys.text(c.box).SelStart(static_cast<int>(c.text.size()));
        EXPECT_EQ(form.iReturnKeyAsc(keys, c.box, c.key, t, len, scale), c.accepted)
            << c.box << c.text << c.key;
    }
}

}  // namespace
}  // namespace Palvo
