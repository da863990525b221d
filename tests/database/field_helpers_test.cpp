#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

class FieldHelpers : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec(
            {"create table B_单位 (单位编号 varchar(10), 名称 nvarchar(50), 备注 varchar(20), 金额 "
             "decimal(12,2))",
             "insert into B_单位 values ('00', N'总公司', null, 1.5)",
             "insert into B_单位 values ('0''1', N'一分公司', 'x', 2)",
             "insert into B_单位 values ('02', N'二分公司', '', 3)",
             "create table T (编号 varchar(10), n int)"});
        recorder = std::make_shared<testing::CountingConnection>(conn);
        session().oConn = recorder;
    }
    clsDatabase db;
    std::shared_ptr<testing::CountingConnection> recorder;
};

// Not stored as zero.
TEST_F(FieldHelpers, SetFieldValueRefusesAnOverflowingNumber) {
    EXPECT_EQ(db.sSetFieldValue("B_单位", "金额", "1e400", "单位编号", "02"), "Overflow");
    EXPECT_EQ(scalar("select 金额 from B_单位 where 单位编号='02'"), "3");
    EXPECT_TRUE(recorder->executes.empty());
}

TEST_F(FieldHelpers, SetFieldValueReportsAMissingTableOrColumn) {
    EXPECT_EQ(db.sSetFieldValue("没有的表", "备注", "x"), "对象名 '没有的表' 无效。");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "没有的列", "x"), "列名 '没有的列' 无效。");
    EXPECT_EQ(scalar("select count(*) from B_单位 where 备注='x'"), "1") << "as the rows were";
}

TEST_F(FieldHelpers, SetFieldValueConvertsAsTheColumnReads) {
    struct Case {
        const char* field;
        const char* value;
        const char* stored;
    } cases[] = {
        {"金额", "12abc", "12"}, {"金额", "", "0"},      {"金额", " 1 2.5x", "12.5"},
        {"金额", "&H10", "16"},  {"名称", "  x  ", "x"}, {"金额", "777'; delete from B_单位; --", "777"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db.sSetFieldValue("B_单位", c.field, c.value, "单位编号", "02"), "")
            << c.field << " " << c.value;
        EXPECT_EQ(scalar(std::string("select ") + c.field + " from B_单位 where 单位编号='02'"), c.stored);
    }
}

TEST_F(FieldHelpers, SetFieldValueWritesANumberBeyondFifteenDigitsWhole) {
    exec({"create table L (键 varchar(4), b bigint, d decimal(20,0))", "insert into L values ('k', 0, 0)"});
    for (const char* field : {"b", "d"}) {
        EXPECT_EQ(db.sSetFieldValue("L", field, "2024010100000124x", "键", "k"), "") << field;
        EXPECT_EQ(scalar(std::string("select ") + field + " from L"), "2024010100000124") << field;
    }
}

// Padded to its length.
TEST_F(FieldHelpers, NextIdCountsOnTheDigits) {
    EXPECT_EQ(db.sNextId("T", 4), "0001");
    exec({"insert into T values ('0009', 9)"});
    EXPECT_EQ(db.sNextId("T", 4), "0010");
    EXPECT_EQ(db.sNextId("T", 2, "n"), "10");
    exec({"insert into T values ('0007', 123)"});
    EXPECT_EQ(db.sNextId("T", 2, "n"), "124");
    exec({"insert into T values ('abc', 1)"});
    EXPECT_THROW(db.sNextId("T", 4), Error);  // the largest text is not a number
    // whole numbers and decimals count on their digits
    exec({"create table N (b bigint, d decimal(18,0), m decimal(12,2), t varchar(40), f float)"});
    struct Case {
        std::string row;  // the values of b, d, m, t and f
        const char* field;
        std::int16_t lenId;
        const char* next;
    };
    const std::string day = "2024010100000123, 2024010100000123, 99.5, '2024010100000123', 1";
    const std::string top =
        "9223372036854775807, 999999999999999999, -0.5, '" + std::string(38, '9') + "', 1";
    const Case cases[] = {
        {day, "m", 4, "100.5"},
        {top, "b", 0, "9223372036854775808"},
        {top, "d", 0, "1000000000000000000"},
        {top, "m", 6, "0000.5"},
        {top, "t", 0, "100000000000000000000000000000000000000"},
        {"-3, -3, -3, '0007', 1", "b", 0, "-2"},
        {"-3, -3, -3, '0007', 1", "t", 3, "008"},
        {"-1, -1, -1, '-.05', 1", "m", 0, "0"},
        {"-1, -1, -1, '-.05', 1", "t", 0, "0.95"},
        // a double keeps the platform's text of fifteen digits
        {"1, 1, 1, '1', 2024010100000123", "f", 4, "2.02401010000012E+15"},
        {"1, 1, 1, '1', 2.5", "f", 4, "03.5"},
    };
    for (const auto& c : cases) {
        exec({"delete from N", std::string("insert into N values (") + c.row + ")"});
        EXPECT_EQ(db.sNextId("N", c.lenId, c.field), c.next) << c.field << " of " << c.row;
    }
    exec({"delete from N", "insert into N values (1, 1, 1, '1e3', 1)"});
    EXPECT_EQ(db.sNextId("N", 0, "t"), "1001");  // a text in exponent form is still read as a number
}

// Texts a user may type, each of which must stay inside its quotes.
const std::vector<std::string> kHostile = {
    "O'Neil", "'",    "''",         "x' or '1'='1",   "x' or 1=1 --", "'; delete from K; --",
    "a -- b", "a; b", "/* a",       "‘引号’“双引号”", "N'x'",         "\\'",
    "[名称]", "]",    "一行\n二行", "一行\r\n二行\t"};

class HostileValues : public FieldHelpers {
protected:
    void SetUp() override {
        FieldHelpers::SetUp();
        exec({"create table K (键 nvarchar(100), 名称 nvarchar(100), 数 int)"});
        for (std::size_t i = 0; i < kHostile.size(); ++i) {
            conn->ExecuteWith(
                "insert into K values (?, ?, ?)",
                {Value(kHostile[i]), Value("行" + std::to_string(i)), Value(static_cast<long long>(i))});
        }
        conn->Execute("insert into K values (N'另一行', N'不动', 100)");
    }

    std::vector<std::string> names() {
        auto t = conn->Query("select 名称 from K order by 数");
        std::vector<std::string> out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) out.push_back(t.at(r, 0).toText());
        return out;
    }
};

TEST_F(HostileValues, LookUpOrUpdateReachesTheKeyedRow) {
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        const std::string& text = kHostile[i];
        EXPECT_EQ(db.sGetFieldValue("K", "名称", "键", text), "行" + std::to_string(i)) << i;
        EXPECT_EQ(db.sGetFieldValue("K", "名称", "键", text, "数", "100"), "") << i;
        std::vector<std::string> expected = names();
        expected[i] = text;  // stored as typed: none has blanks at its ends (a tab is no blank)
        EXPECT_EQ(db.sSetFieldValue("K", "名称", text, "键", text), "") << i;
        EXPECT_EQ(names(), expected) << i;
    }
    EXPECT_EQ(scalar("select count(*) from K"), std::to_string(kHostile.size() + 1));
}

// Where the embedded database stops reading: the text is refused by name before anything runs.
TEST_F(HostileValues, ANulNeverCutsTheStatementShort) {
    const std::string nul("a\0b", 3);
    const auto before = names();
    const std::string set = db.sSetFieldValue("K", "名称", nul, "键", "O'Neil");
    EXPECT_EQ(set.rfind("A NUL character (U+0000) in the string starting at character ", 0), 0u) << set;
    EXPECT_EQ(names(), before);
    const std::string keyed = db.sSetFieldValue("K", "名称", "x", "键", nul);
    EXPECT_EQ(keyed.rfind("A NUL character (U+0000) in the string", 0), 0u) << keyed;
    EXPECT_EQ(names(), before);
    EXPECT_THROW(db.sGetFieldValue("K", "名称", "键", nul), Error);
}

TEST_F(FieldHelpers, GetFieldValueReadsTheFirstMatch) {
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称"), "总公司");
    EXPECT_EQ(db.sGetFieldValue("B_单位", "备注", "单位编号", "00"), "");  // Null reads as ""
    EXPECT_EQ(db.sGetFieldValue("B_单位", "金额", "单位编号", "00"), "1.5");
    EXPECT_THROW(db.sGetFieldValue("没有的表", "名称"), Error);
}

TEST_F(FieldHelpers, SearchCountCountsTheRows) {
    EXPECT_EQ(db.lGetSearchCount("select * from B_单位"), 3);
    EXPECT_EQ(db.lGetSearchCount("select * from B_单位 where 1=0"), 0);
}

TEST_F(FieldHelpers, SomeInfoReadsACellOrTheDefault) {
    const std::string sql =
        "select 单位编号, 名称 from B_单位 where 单位编号 in ('00', '02') order by 单位编号";
    EXPECT_EQ(db.sGetSomeInfo(sql, 1, "无"), "总公司");
    EXPECT_EQ(db.sGetSomeInfo("select 名称 from B_单位 where 1=0", 0, "无"), "无");
    EXPECT_THROW(db.sGetSomeInfo("select 备注 from B_单位 where 单位编号='00'", 0, "无"), Error);
    EXPECT_THROW(db.sGetSomeInfo(sql, 5, "无"), Error);
}

TEST_F(FieldHelpers, ServerTimeComesInTheFormatAsked) {
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

// A pair without a field name is left out.
TEST_F(FieldHelpers, GetFieldValueMatchesEveryNamedPair) {
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称", "单位编号", "02", "", "x", "备注", "", "", "", "金额", "3"),
              "二分公司");
    EXPECT_EQ(db.sGetFieldValue("B_单位", "名称", "单位编号", "02", "", "x", "备注", "", "", "", "金额", "2"),
              "");
}

// A pair without a field name is left out; without any pair every row is changed.
TEST_F(FieldHelpers, SetFieldValueChangesTheRowsItsPairsName) {
    EXPECT_EQ(db.sSetFieldValue("B_单位", "名称", "  O'Neil  ", "单位编号", "0'1", "名称", "一分公司"), "");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "名称", "无", "单位编号", "02", "名称", "一分公司"), "");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "备注", "二", "", "ignored", "名称", "二分公司"), "");
    EXPECT_EQ(scalar("select 名称 + '|' + 备注 from B_单位 where 单位编号 = '0''1'"), "O'Neil|x");
    EXPECT_EQ(scalar("select 名称 + '|' + 备注 from B_单位 where 单位编号 = '02'"), "二分公司|二");
    EXPECT_EQ(db.sSetFieldValue("B_单位", "金额", "9"), "");
    EXPECT_EQ(scalar("select count(*) from B_单位 where 金额 = 9"), "3");
}

}  // namespace
}  // namespace Palvo
