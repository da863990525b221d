#include <gtest/gtest.h>

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "tests/support/sqlite_fixture.h"

namespace Palvo {
namespace {

class FieldHelpers : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec({"create table B_单位 (单位编号 varchar(10), 名称 nvarchar(50), 备注 varchar(20), 金额 decimal(12,2))",
              "insert into B_单位 values ('00', N'总公司', null, 1.5)",
              "insert into B_单位 values ('0''1', N'一分公司', 'x', 2)",
              "insert into B_单位 values ('02', N'二分公司', '', 3)"});
    }
    clsDatabase db;
};

TEST_F(FieldHelpers, GetFieldValueMatchesNamedPairsOnly) {
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称"), "总公司");
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称", "单位编号", "0'1"), "一分公司");
    // pair 2 has no name: its value is ignored, pairs 1 and 3 make the condition
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称", "单位编号", "02", "", "ignored", "备注", ""), "二分公司");
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称", "单位编号", "99"), "");
    EXPECT_EQ(db.sGetFieldValue("B_单位", "备注", "单位编号", "00"), "");  // Null reads as ""
    EXPECT_EQ(db.sGetFieldValue("B_单位", "金额", "单位编号", "00"), "1.5");
    EXPECT_THROW(db.sGetFieldValue("没有的表", "名称"), Error);
}

TEST_F(FieldHelpers, SetFieldValueConvertsByColumnType) {
    struct Case {
        const char* field;
        const char* value;
        const char* stored;
    } cases[] = {
        {"金额", "12abc", "12"}, {"金额", "", "0"}, {"金额", " 1 2.5x", "12.5"}, {"金额", "&H10", "16"},
        {"名称", "  x  ", "x"},  {"名称", "O'Neil", "O'Neil"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db.sSetFieldValue("B_单位", c.field, c.value, "单位编号", "02"), "") << c.field << " " << c.value;
        EXPECT_EQ(scalar(std::string("select ") + c.field + " from B_单位 where 单位编号='02'"), c.stored);
    }
}

TEST_F(FieldHelpers, SetFieldValueConditionsAndFailures) {
    EXPECT_EQ(db.sSetFieldValue("B_单位", "备注", "两个", "单位编号", "0'1", "名称", "一分公司"), "");
    EXPECT_EQ(scalar("select 备注 from B_单位 where 单位编号='0''1'"), "两个");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "备注", "第二", "", "", "名称", "二分公司"), "");
    EXPECT_EQ(scalar("select 备注 from B_单位 where 单位编号='02'"), "第二");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "备注", "全部"), "");  // no condition: every row
    EXPECT_EQ(scalar("select count(*) from B_单位 where 备注='全部'"), "3");
    EXPECT_NE(db.sSetFieldValue("没有的表", "备注", "x"), "");
    EXPECT_NE(db.sSetFieldValue("B_单位", "没有的列", "x"), "");
    EXPECT_EQ(scalar("select count(*) from B_单位 where 备注='全部'"), "3");
}

TEST_F(FieldHelpers, NextIdPadsAndCounts) {
    exec({"create table T (编号 varchar(10), n int)"});
    EXPECT_EQ(db.sNextId("T", 4), "0001");
    exec({"insert into T values ('0009', 9)"});
    EXPECT_EQ(db.sNextId("T", 4), "0010");
    EXPECT_EQ(db.sNextId("T", 2, "n"), "10");
    exec({"insert into T values ('0007', 123)"});
    EXPECT_EQ(db.sNextId("T", 2, "n"), "124");
    exec({"insert into T values ('abc', 1)"});
    EXPECT_THROW(db.sNextId("T", 4), Error);  // the largest text is not a number
}

TEST_F(FieldHelpers, SearchCountAndSomeInfo) {
    EXPECT_EQ(db.lGetSearchCount("select * from B_单位"), 3);
    EXPECT_EQ(db.lGetSearchCount("select * from B_单位 where 1=0"), 0);
    std::string sql = "select 单位编号, 名称 from B_单位 where 单位编号 in ('00', '02') order by 单位编号";
    std::int16_t idx = 1;
    std::string dflt = "无";
    EXPECT_EQ(db.sGetSomeInfo(sql, idx, dflt), "总公司");
    std::string none = "select 名称 from B_单位 where 1=0";
    std::int16_t zero = 0;
    EXPECT_EQ(db.sGetSomeInfo(none, zero, dflt), "无");
    std::string nullCol = "select 备注 from B_单位 where 单位编号='00'";
    EXPECT_THROW(db.sGetSomeInfo(nullCol, zero, dflt), Error);
    std::int16_t beyond = 5;
    EXPECT_THROW(db.sGetSomeInfo(sql, beyond, dflt), Error);
}

TEST_F(FieldHelpers, ServerTimeStyles) {
    EXPECT_EQ(db.sServerTime().size(), 19u);
    auto day = db.sServerTime("yyyy-mm-dd");
    ASSERT_EQ(day.size(), 10u);
    EXPECT_EQ(day[4], '-');
    EXPECT_EQ(db.sServerTime("yyyy-mm-dd hh:mm").size(), 16u);
    auto hm = db.sServerTime("hh:mm");
    ASSERT_EQ(hm.size(), 5u);
    EXPECT_EQ(hm[2], ':');
    EXPECT_THROW(db.sServerTime("YYYY-MM-DD"), Error);
}

}  // namespace
}  // namespace Palvo
