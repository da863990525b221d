// Statements that change data as hosts write them for SQL Server: OUTPUT,
// UPDATE and DELETE with joins and TOP, TRUNCATE, IDENTITY_INSERT.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/errors.h"
#include "support/exact_numbers.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;
using Rows = std::vector<Row>;

class TsqlDml : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (IsSkipped()) return;
        conn_->Execute(
            "create table 货品 (编号 int identity(1,1) primary key, 名称 nvarchar(20), 单价 decimal(10,2), "
            "日期 datetime)");
        conn_->Execute("create table 调价 (名称 nvarchar(20), 新价 decimal(10,2))");
        // decimals without a trailing zero: the embedded database's text of 1.50 is 1.5
        for (const char* values :
             {"N'笔', 1.25, '2024-01-05'", "N'纸', 0.35, '2024-01-06'", "N'墨', 12.75, '2024-01-07'"})
            conn_->Execute(std::string("insert into 货品 (名称, 单价, 日期) values (") + values + ")");
        conn_->Execute("insert into 调价 values (N'笔', 1.85), (N'墨', 11.45)");
    }
    // SQL Server promises no order for the rows OUTPUT returns
    Rows sorted(const std::string& sql) {
        Rows r = rows(sql);
        std::sort(r.begin(), r.end());
        return r;
    }
};

// ---- OUTPUT

TEST_P(TsqlDml, InsertOutputReturnsTheStoredRow) {
    EXPECT_EQ(rows("insert into 货品 (名称, 单价, 日期) output inserted.编号, inserted.* "
                   "values (N'尺', 3.456, '2024-02-01')"),
              (Rows{{"4", "4", "尺", "3.46", "2024-02-01"}}));
}

TEST_P(TsqlDml, InsertOutputNamesItsColumns) {
    EXPECT_EQ(names("insert into 货品 (名称) output inserted.编号 as 新编号, inserted.名称 values (N'尺')"),
              (Row{"新编号", "名称"}));
}

TEST_P(TsqlDml, InsertSelectOutputReturnsEveryRow) {
    EXPECT_EQ(sorted("insert into 货品 (名称, 单价) output inserted.编号, inserted.单价 + 0.01 "
                     "select 名称, 新价 from 调价"),
              (Rows{{"4", "1.86"}, {"5", "11.46"}}));
}

TEST_P(TsqlDml, UpdateOutputReturnsTheNewValues) {
    EXPECT_EQ(sorted("update 货品 set 单价 = 单价 * 3 output inserted.名称, inserted.单价 where 单价 < 2"),
              (Rows{{"笔", "3.75"}, {"纸", "1.05"}}));
}

TEST_P(TsqlDml, UpdateFromOutputReturnsTheTargetsNewValues) {
    EXPECT_EQ(sorted("update 货品 set 单价 = b.新价 output inserted.编号, inserted.单价 "
                     "from 货品 join 调价 b on 货品.名称 = b.名称"),
              (Rows{{"1", "1.85"}, {"3", "11.45"}}));
}

TEST_P(TsqlDml, DeleteOutputReturnsTheDeletedRows) {
    EXPECT_EQ(sorted("delete from 货品 output deleted.* where 单价 > 1"),
              (Rows{{"1", "笔", "1.25", "2024-01-05"}, {"3", "墨", "12.75", "2024-01-07"}}));
    EXPECT_EQ(scalar("select count(*) from 货品"), "1");
}

TEST_P(TsqlDml, DeleteOutputKeepsTheColumnsTypes) {
    auto t = conn_->Query("delete 货品 output deleted.日期, deleted.单价 as 价 where 编号 = 2");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_TRUE(t.at(0, 0).dateTime() != nullptr);
    EXPECT_EQ(t.at(0, 1).toText(), "0.35");
}

TEST_P(TsqlDml, ExecuteCountsTheRowsOfAStatementWithOutput) {
    EXPECT_EQ(conn_->Execute("update 货品 set 单价 = 0.05 output inserted.编号 where 编号 < 3"), 2);
    EXPECT_EQ(conn_->Execute("delete from 货品 output deleted.编号 where 编号 = 3"), 1);
    EXPECT_EQ(rows("select 编号, 单价 from 货品 order by 编号"), (Rows{{"1", "0.05"}, {"2", "0.05"}}));
}

TEST_P(TsqlDml, OutputOfTheValuesAnUpdateReplacedIsRefused) {
    EXPECT_EQ(testing::errorOf([&] { conn_->Execute("update 货品 set 单价 = 0 output deleted.单价"); }).first,
              static_cast<long>(ErrorNumber::NotSupported));
    EXPECT_EQ(scalar("select count(*) from 货品 where 单价 = 0"), "0");
}

// ---- UPDATE and DELETE with joins and TOP

TEST_P(TsqlDml, UpdateNamingTheTableOfAnAliasedFromEntryUpdatesThatEntry) {
    conn_->Execute("update 货品 set 单价 = b.新价 from 货品 a join 调价 b on a.名称 = b.名称");
    EXPECT_EQ(rows("select 编号, 单价 from 货品 order by 编号"),
              (Rows{{"1", "1.85"}, {"2", "0.35"}, {"3", "11.45"}}));
}

TEST_P(TsqlDml, UpdateLeftJoinGivesTheTargetsUnmatchedRowsNull) {
    EXPECT_EQ(conn_->Execute("update a set 单价 = b.新价 from 货品 a left join 调价 b on a.名称 = b.名称"),
              3);
    EXPECT_EQ(rows("select 编号, 单价 from 货品 order by 编号"),
              (Rows{{"1", "1.85"}, {"2", "<null>"}, {"3", "11.45"}}));
}

TEST_P(TsqlDml, UpdateLeftJoinFiltersOnTheOtherSidesNull) {
    EXPECT_EQ(conn_->Execute("update a set 单价 = 0.05 from 调价 b right join 货品 a on a.名称 = b.名称 "
                             "where b.名称 is null"),
              1);
    EXPECT_EQ(rows("select 编号, 单价 from 货品 order by 编号"),
              (Rows{{"1", "1.25"}, {"2", "0.05"}, {"3", "12.75"}}));
}

// Each statement on the three rows of 货品: the rows it reports, then the names left.
TEST_P(TsqlDml, DeleteWithAJoinRemovesTheRowsTheJoinFinds) {
    struct Step {
        const char* sql;
        long affected;
        Rows left;
    };
    const Step steps[] = {
        {"delete a from 货品 a join 调价 b on a.名称 = b.名称", 2, {{"纸"}}},
        {"delete from 货品 from 货品 join 调价 on 货品.名称 = 调价.名称 where 调价.新价 > 5",
         1,
         {{"纸"}, {"笔"}}},
        {"delete 货品 from 调价 b, 货品 where 货品.名称 = b.名称 and b.新价 < 5", 1, {{"纸"}, {"墨"}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.sql);
        conn_->Execute("delete from 货品");
        conn_->Execute("insert into 货品 (名称, 单价) values (N'笔', 1.25), (N'纸', 0.35), (N'墨', 12.75)");
        EXPECT_EQ(conn_->Execute(step.sql), step.affected);
        EXPECT_EQ(rows("select 名称 from 货品 order by 单价"), step.left);
    }
}

TEST_P(TsqlDml, DeleteTopRemovesExactlyThatManyOfTheRowsWhereFinds) {
    EXPECT_EQ(conn_->Execute("delete top (1) 货品 where 单价 < 2"), 1);
    EXPECT_EQ(rows("select count(*), max(单价) from 货品"), (Rows{{"2", "12.75"}}));
}

TEST_P(TsqlDml, UpdateTopChangesExactlyThatManyRows) {
    EXPECT_EQ(conn_->Execute("update top (2) 货品 set 单价 = 0.05 where 单价 > 0.3"), 2);
    EXPECT_EQ(scalar("select count(*) from 货品 where 单价 = 0.05"), "2");
}

// ---- TRUNCATE and IDENTITY_INSERT

TEST_P(TsqlDml, TruncateStartsTheIdentityAgainFromItsSeed) {
    conn_->Execute("truncate table 货品");
    conn_->Execute("insert into 货品 (名称) values (N'尺')");
    EXPECT_EQ(rows("select 编号, 名称 from 货品"), (Rows{{"1", "尺"}}));
}

// IDENTITY_INSERT is a setting of the session that set it, not of the database file.
TEST(TsqlIdentityInsert, BelongsToTheConnectionThatSetIt) {
    const testing::ScratchDir dir("palvo_identity_insert");
    const std::string file = (dir.path / "i.db").string();
    auto setting = testing::openEmbeddedFile(file);
    auto other = testing::openEmbeddedFile(file);
    setting->Execute("create table 货品 (编号 int identity(1,1), 名称 nvarchar(20))");
    setting->Execute("set identity_insert 货品 on");
    EXPECT_EQ(std::get<1>(testing::fullErrorOf(
                  [&] { other->Execute("insert into 货品 (编号, 名称) values (5, N'尺')"); })),
              544);
    EXPECT_EQ(setting->Execute("insert into 货品 (编号, 名称) values (7, N'尺')"), 1);
}

// A database where no table ever had an identity has no sqlite_sequence to reset.
TEST(TsqlTruncate, EmptiesATableInADatabaseWithoutIdentities) {
    auto conn = testing::openEmbedded();
    conn->Execute("create table 调价 (名称 nvarchar(20))");
    conn->Execute("insert into 调价 values (N'笔')");
    conn->Execute("truncate table 调价");
    EXPECT_EQ(conn->Query("select count(*) from 调价").at(0, 0).toText(), "0");
}

// SQL Server fills the columns after the identity; SQLite alone would put the first value into it.
TEST_P(TsqlDml, InsertWithoutAColumnListSkipsTheIdentity) {
    conn_->Execute("insert into 货品 values (N'尺', 2.25, '2024-02-01')");
    EXPECT_EQ(rows("select 编号, 名称, 单价 from 货品 where 编号 = 4"), (Rows{{"4", "尺", "2.25"}}));
}

TEST_P(TsqlDml, AnExplicitIdentityIsRefusedWhileIdentityInsertIsOff) {
    EXPECT_EQ(
        refused(
            "insert into 货品 (编号, 名称) values (9, N'尺')",
            "Cannot insert explicit value for identity column in table '货品' when IDENTITY_INSERT is set "
            "to OFF."),
        544);
    EXPECT_EQ(scalar("select count(*) from 货品"), "3");
}

TEST_P(TsqlDml, IdentityInsertOnMovesTheIdentityPastTheValuesItTakes) {
    conn_->Execute("set identity_insert 货品 on");
    conn_->Execute("insert into 货品 (编号, 名称) values (9, N'尺')");
    conn_->Execute("set identity_insert 货品 off");
    conn_->Execute("insert into 货品 (名称) values (N'规')");
    EXPECT_EQ(rows("select 编号, 名称 from 货品 where 编号 > 3 order by 编号"),
              (Rows{{"9", "尺"}, {"10", "规"}}));
}

// Each statement while IDENTITY_INSERT is ON for 货品, and SQL Server's error number.
TEST_P(TsqlDml, IdentityInsertOnRequiresTheIdentityInAColumnList) {
    conn_->Execute("set identity_insert 货品 on");
    const std::pair<const char*, long> cases[] = {
        {"insert into 货品 values (9, N'尺', 1, null)", 8101},
        {"insert into 货品 (名称) values (N'尺')", 545},
        {"set identity_insert 调价 on", 8106},
        {"set identity_insert 无此表 on", 1088},
    };
    for (const auto& [sql, number] : cases) EXPECT_EQ(refused(sql), number) << sql;
    EXPECT_EQ(scalar("select count(*) from 货品"), "3");
}

TEST_P(TsqlDml, IdentityInsertIsOnForOneTableAtATime) {
    conn_->Execute("create table 单位 (编号 int identity(1,1), 名称 nvarchar(20))");
    conn_->Execute("set identity_insert 货品 on");
    EXPECT_EQ(refused("set identity_insert 单位 on", "Cannot perform SET operation for table '单位'."), 8107);
}

// ---- MERGE

TEST_P(TsqlDml, MergeAppliesTheClauseEachSourceRowMeets) {
    conn_->Execute("insert into 调价 values (N'尺', 2.25)");
    EXPECT_EQ(conn_->Execute("merge 货品 as t using 调价 as s on t.名称 = s.名称 "
                             "when matched then update set 单价 = s.新价 "
                             "when not matched then insert (名称, 单价) values (s.名称, s.新价);"),
              3);
    EXPECT_EQ(rows("select 编号, 名称, 单价 from 货品 order by 编号"),
              (Rows{{"1", "笔", "1.85"}, {"2", "纸", "0.35"}, {"3", "墨", "11.45"}, {"4", "尺", "2.25"}}));
}

TEST_P(TsqlDml, MergeDeletesTargetRowsNoSourceRowMatches) {
    EXPECT_EQ(conn_->Execute("merge into 货品 t using 调价 s on t.名称 = s.名称 "
                             "when not matched by source and t.单价 < 1 then delete"),
              1);
    EXPECT_EQ(rows("select 名称 from 货品 order by 编号"), (Rows{{"笔"}, {"墨"}}));
}

// The second WHEN MATCHED takes the rows the first's AND leaves, tested on the rows as they were.
TEST_P(TsqlDml, MergeSecondMatchedClauseTakesTheRowsTheFirstLeaves) {
    conn_->Execute(
        "merge 货品 as t using 调价 as s on t.名称 = s.名称 "
        "when matched and s.新价 > 5 then update set 单价 = 0.05 "
        "when matched then delete");
    EXPECT_EQ(rows("select 名称, 单价 from 货品 order by 编号"), (Rows{{"纸", "0.35"}, {"墨", "0.05"}}));
}

// A target row two source rows match: SQL Server's 8672, and nothing changed.
TEST_P(TsqlDml, MergeMatchingATargetRowTwiceChangesNothing) {
    conn_->Execute("insert into 调价 values (N'笔', 9.95)");
    EXPECT_EQ(
        refused(
            "merge 货品 as t using 调价 as s on t.名称 = s.名称 when matched then update set 单价 = s.新价 "
            "when not matched then insert (名称) values (s.名称)",
            "The MERGE statement attempted to UPDATE or DELETE the same row more than once."),
        8672);
    EXPECT_EQ(rows("select count(*), sum(单价) from 货品"), (Rows{{"3", "14.35"}}));
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlDml);

}  // namespace
}  // namespace Palvo
