// Temporary tables (#t) and SELECT ... INTO, as hosts build reports with them.
// The answers run on a real SQL Server too when PALVO_TEST_MSSQL names one;
// what the embedded database alone decides (two connections on one file, its
// refusals) runs there only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"
#include "support/errors.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlTemp : public testing::AnswersTest {
protected:
    void accounts() {
        conn_->Execute("create table 账 (k int, v varchar(10), m decimal(10,2))");
        conn_->Execute("insert into 账 values (1, 'a', 1.10), (2, 'B', 2.25), (3, 'c', 0.05)");
    }
};

TEST_P(TsqlTemp, ATempTableTakesEveryChange) {
    EXPECT_EQ(rows("create table #t (k int, v varchar(10)) "
                   "insert into #t values (1, 'a'), (2, 'b'), (3, 'c') "
                   "update #t set v = 'x' where k = 2 "
                   "delete from #t where k = 3 "
                   "select k, v from #t order by k"),
              (std::vector<Row>{{"1", "a"}, {"2", "x"}}));
}

// its columns type expressions as a table's do: decimals exact, text without regard to case
TEST_P(TsqlTemp, ATempTablesColumnsComputeAsTheirDeclaredTypes) {
    accounts();
    expectAnswers({
        {"create table #t (m decimal(10,2)) insert into #t select m from 账 select sum(m) / 3 from #t",
         {"1.133333"}},
        {"create table #u (v varchar(10)) insert into #u select v from 账 select count(*) from #u where v = "
         "'b'",
         {"1"}},
    });
}

TEST_P(TsqlTemp, ObjectIdFindsATempTableInTempdbOnly) {
    conn_->Execute("create table #t (a int)");
    expectAnswers({
        {"select case when object_id('tempdb..#t') is null then 'no' else 'yes' end", {"yes"}},
        {"select case when object_id('tempdb..#t', 'U') is null then 'no' else 'yes' end", {"yes"}},
        {"select case when object_id(N'tempdb.dbo.#t') is null then 'no' else 'yes' end", {"yes"}},
        {"select case when object_id('#t') is null then 'no' else 'yes' end", {"no"}},
        {"select case when object_id('tempdb..#t', 'V') is null then 'no' else 'yes' end", {"no"}},
    });
}

TEST_P(TsqlTemp, ATempTableIsDroppedWhereItExists) {
    expectAnswers({
        {"create table #t (a int) "
         "if object_id('tempdb..#t') is not null drop table #t "
         "select case when object_id('tempdb..#t') is null then 'gone' else 'there' end",
         {"gone"}},
        {"drop table if exists #none create table #none (a int) insert into #none values (7) select a from "
         "#none",
         {"7"}},
        {"drop table if exists #none select case when object_id('tempdb..#none') is null then 'gone' end",
         {"gone"}},
    });
}

TEST_P(TsqlTemp, ATempTablesIdentityCountsTheRowsPut) {
    EXPECT_EQ(scalar("create table #i (id int identity, a varchar(5)) insert into #i (a) values ('x'), ('y') "
                     "select @@identity"),
              "2");
}

TEST_P(TsqlTemp, TruncateStartsATempTablesIdentityAgain) {
    EXPECT_EQ(row("create table #i (id int identity, a varchar(5)) insert into #i (a) values ('x'), ('y') "
                  "truncate table #i insert into #i (a) values ('z') select id, a from #i"),
              (Row{"1", "z"}));
}

// made again with other types, the table's columns are typed anew
TEST_P(TsqlTemp, ATempTableMadeAgainIsTypedAsItIsNow) {
    conn_->Execute("create table #t (m decimal(10,2)) insert into #t values (1)");
    EXPECT_EQ(scalar("select m / 3 from #t"), "0.333333");
    conn_->Execute("drop table #t create table #t (m int) insert into #t values (1)");
    EXPECT_EQ(scalar("select m / 3 from #t"), "0");
}

TEST_P(TsqlTemp, SelectIntoMakesATableOfTheSelectListsTypes) {
    accounts();
    conn_->Execute("select k, m, v, m * 2 as doubled into 副本 from 账 where k < 3");
    expectAnswers({
        {"select sum(m) / 3, cast(sum(doubled) as varchar(20)) from 副本", {"1.116666", "6.70"}},
        {"select count(*) from 副本 where v = 'b'", {"1"}},
    });
}

TEST_P(TsqlTemp, SelectStarIntoATempTableKeepsTheColumnsInOrder) {
    accounts();
    conn_->Execute("create table 名 (Code varchar(5), 数量 int) insert into 名 values ('x', 4)");
    EXPECT_EQ(names("select * into #t from 名 select * from #t"), (Row{"Code", "数量"}));
    EXPECT_EQ(row("select a.*, b.k into #u from 名 a join 账 b on b.k = a.数量 - 3 select * from #u"),
              (Row{"x", "4", "1"}));
}

TEST_P(TsqlTemp, SelectIntoCountsTheRowsItPuts) {
    accounts();
    for (const std::string table : {"#t", "##counted"}) {
        SCOPED_TRACE(table);
        EXPECT_EQ(conn_->Execute("select k into " + table + " from 账 where k > 1"), 2);
        EXPECT_EQ(scalar("select count(*) from " + table), "2");
    }
}

TEST_P(TsqlTemp, SelectIntoReadsATempTableTheBatchMadeBeforeIt) {
    EXPECT_EQ(scalar("create table #a (m decimal(10,2)) insert into #a values (1.5) select m into #b from #a "
                     "select cast(m / 4 as varchar(20)) from #b"),
              "0.375000");
}

TEST_P(TsqlTemp, SelectIntoReadsTheBatchsVariables) {
    accounts();
    EXPECT_EQ(scalar("declare @n int = 2 select @n * k as a into #v from 账 select sum(a) from #v"), "12");
}

TEST_P(TsqlTemp, SelectIntoFailsAsSqlServerDoes) {
    accounts();
    conn_->Execute("create table 已有 (a int)");
    expectRefusals({
        {"select k into 已有 from 账", 2714, "已有"},
        {"select k + 1 into #t from 账", 1038},
        {"select k from 账 union select 2 into #t", 196},
        {"select * into #t from #nowhere", 208, "#nowhere"},
    });
}

TEST_P(TsqlTemp, ATableVariableTakesEveryChange) {
    accounts();
    EXPECT_EQ(rows("declare @t table (k int primary key, n varchar(10)) "
                   "insert into @t values (1, 'one'), (2, 'two'), (3, 'three') "
                   "update @t set n = 'TWO' where k = 2 "
                   "delete from @t where k = 3 "
                   "select a.v, t.n from 账 a join @t t on t.k = a.k order by a.k"),
              (std::vector<Row>{{"a", "one"}, {"B", "TWO"}}));
}

TEST_P(TsqlTemp, ATableVariableStandsWhereATableDoes) {
    accounts();
    expectAnswers({
        {"declare @t table (k int) insert into @t values (2), (3) "
         "select count(*) from 账 a, @t t where t.k = a.k",
         {"2"}},
        {"declare @t table (k int, n int) insert into @t values (1, 0) "
         "merge @t as t using 账 as s on t.k = s.k when matched then update set n = 5; select n from @t",
         {"5"}},
    });
}

TEST_P(TsqlTemp, ATableVariablesColumnsComputeAsTheirDeclaredTypes) {
    accounts();
    expectAnswers({
        {"declare @t table (m decimal(10,2)) insert into @t select m from 账 "
         "select cast(sum(m) / 3 as varchar(20)) from @t",
         {"1.133333"}},
        {"declare @t table (v varchar(10)) insert into @t select v from 账 "
         "if exists (select * from @t where v = 'b') select 'found' else select 'missing'",
         {"found"}},
    });
}

// each batch has its own: the next one does not find the last one's
TEST_P(TsqlTemp, ATableVariableLivesAsLongAsItsBatch) {
    conn_->Execute("declare @t table (k int) insert into @t values (1)");
    EXPECT_EQ(scalar("declare @t table (k int) select count(*) from @t"), "0");
    EXPECT_EQ(refused("select * from @t", "@t"), 1087);
}

TEST_P(TsqlTemp, TableVariablesAreCheckedAsSqlServerChecksThem) {
    expectRefusals({
        {"insert into @nowhere values (1)", 1087, "\"@nowhere\""},
        {"declare @n int select * from @n", 1087, "\"@n\""},
        {"declare @t table (k int) select @t", 137, "\"@t\""},
        {"declare @t table (k int) declare @T int", 134, "'@T'"},
    });
}

TEST_P(TsqlTemp, OutputIntoPutsTheChangedRowsIntoATableVariableOrTempTable) {
    accounts();
    expectAnswers({
        {"declare @t table (k int, v varchar(10)) "
         "insert into 账 (k, v, m) output inserted.k, inserted.v into @t values (4, 'd', 1), (5, 'e', 2) "
         "select count(*), min(v), max(k) from @t",
         {"2", "d", "5"}},
        {"create table #c (k int, m decimal(10,2)) "
         "update 账 set m = m + 1 output inserted.k, inserted.m into #c (k, m) where k < 3 "
         "select cast(sum(m) as varchar(20)) from #c",
         {"5.35"}},
        {"declare @d table (v varchar(10), k int) "
         "delete from 账 output deleted.k, deleted.v into @d (k, v) where k > 2 "
         "select count(*), max(v), max(k) from @d",
         {"3", "e", "5"}},
    });
    EXPECT_EQ(scalar("select count(*) from 账"), "2");
}

// the rows the table refuses undo the delete with them: one statement
TEST_P(TsqlTemp, ADeleteWhoseOutputIntoFailsDeletesNothing) {
    accounts();
    EXPECT_EQ(refused("create table #d (k int check (k < 3)) "
                      "begin tran delete from 账 output deleted.k into #d commit"),
              547);
    EXPECT_EQ(scalar("select count(*) from 账"), "3");
    EXPECT_EQ(scalar("select count(*) from #d"), "0");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlTemp);

// ---- what the embedded database decides

using testing::openEmbeddedFile;

// SQLite's temporary tables are the connection's own, as SQL Server's #t are its session's
TEST(EmbeddedTemp, TwoConnectionsOnOneFileNeverSeeEachOthersTempTables) {
    const testing::ScratchDir dir("palvo_temp_tables");
    const std::string file = (dir.path / "two.db").string();
    auto one = openEmbeddedFile(file);
    auto two = openEmbeddedFile(file);
    one->Execute("create table #t (a int) insert into #t values (1)");
    two->Execute("create table #t (a varchar(5)) insert into #t values ('two'), ('zwei')");
    EXPECT_EQ(one->Query("select count(*) from #t").at(0, 0).toText(), "1");
    EXPECT_EQ(two->Query("select count(*) from #t").at(0, 0).toText(), "2");
    one->Close();
    auto three = openEmbeddedFile(file);
    EXPECT_EQ(std::get<1>(testing::fullErrorOf([&] { three->Query("select * from #t"); })), 208);
}

// ##t: one table for every connection on the file, as tempdb's is for every session
TEST(EmbeddedTemp, AGlobalTempTableIsSharedByEveryConnection) {
    const testing::ScratchDir dir("palvo_global_temps");
    const char* const makes[] = {"create table ##g (k int, v varchar(5))",
                                 "create table #own (k int, v varchar(5)) select k, v into ##G from #own"};
    int n = 0;
    for (const char* make : makes) {
        SCOPED_TRACE(make);
        const std::string file = (dir.path / ("shared" + std::to_string(++n) + ".db")).string();
        auto one = openEmbeddedFile(file);
        auto two = openEmbeddedFile(file);
        one->Execute(make);
        two->Execute("insert into ##g values (1, 'a'), (2, 'b') update ##G set v = 'x' where k = 2");
        EXPECT_EQ(one->Query("select v from ##g order by k").at(1, 0).toText(), "x");
        const Value id = one->Query("select object_id('tempdb..##g')").at(0, 0);
        EXPECT_FALSE(id.isNull());
        EXPECT_EQ(two->Query("select object_id('tempdb..##G')").at(0, 0).toText(), id.toText());
        EXPECT_TRUE(two->Query("select object_id('##g')").at(0, 0).isNull());
        EXPECT_EQ(two->Query("select count(*) from sys.tables").at(0, 0).toText(), "0");
    }
}

TEST(EmbeddedTemp, AGlobalTempTableLivesAsLongAsTheConnectionThatMadeIt) {
    const testing::ScratchDir dir("palvo_global_temps");
    const std::string file = (dir.path / "lives.db").string();
    auto one = openEmbeddedFile(file);
    auto two = openEmbeddedFile(file);
    one->Execute("create table ##g (k int) insert into ##g values (1)");
    two->Close();
    EXPECT_EQ(one->Query("select count(*) from ##g").at(0, 0).toText(), "1");
    auto three = openEmbeddedFile(file);
    one->Close();
    EXPECT_EQ(std::get<1>(testing::fullErrorOf([&] { three->Query("select * from ##g"); })), 208);
    three->Execute("create table ##g (k int)");  // the name is free again
}

TEST(EmbeddedTemp, ASecondGlobalTempTableOfTheNameFailsAsSqlServerFails) {
    const testing::ScratchDir dir("palvo_global_temps");
    auto one = openEmbeddedFile((dir.path / "taken.db").string());
    auto two = openEmbeddedFile((dir.path / "taken.db").string());
    one->Execute("create table ##g (k int)");
    for (const char* again :
         {"create table ##g (k int)", "create table ##G (v varchar(5))", "select 1 as k into ##g"}) {
        SCOPED_TRACE(again);
        const auto [number, native, says] = testing::fullErrorOf([&] { two->Execute(again); });
        EXPECT_EQ(native, 2714);
        EXPECT_NE(says.find("There is already an object named '##"), std::string::npos) << says;
    }
}

// what a connection that did not close leaves: the next to open drops it when its maker is gone
TEST(EmbeddedTemp, AGlobalTempTableWhoseMakerIsGoneIsDroppedByTheNextOpen) {
    const testing::ScratchDir dir("palvo_global_temps");
    struct Case {
        int field;  // of the maker: host, boot, process, its start, connection
        const char* value;
        bool dropped;
    };
    const Case cases[] = {
        {2, "4194999", true},  // no such process
        {3, "1", true},        // another process that had the number
        {1, "another-boot", true},
        {4, "0", true},              // a connection of this process that closed
        {0, "another-host", false},  // cannot be asked after
        {-1, "", false},             // its maker is open
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        const std::string file = (dir.path / ("left" + std::to_string(++n) + ".db")).string();
        auto maker = openEmbeddedFile(file);
        maker->Execute("create table ##g (k int)");
        std::string by = maker->Query("select maker from palvo_modules_temps").at(0, 0).toText();
        std::vector<std::string> fields;
        for (std::size_t b = 0, e = 0; e != std::string::npos; b = e + 1) {
            e = by.find('\t', b);
            fields.push_back(by.substr(b, e == std::string::npos ? e : e - b));
        }
        ASSERT_EQ(fields.size(), 5u);
        if (c.field >= 0) fields[static_cast<std::size_t>(c.field)] = c.value;
        by = fields[0];
        for (std::size_t k = 1; k < fields.size(); ++k) by += '\t' + fields[k];
        maker->ExecuteWith("update palvo_modules_temps set maker = ?", {Value(by)});
        auto next = openEmbeddedFile(file);
        EXPECT_EQ(next->Query("select object_id('tempdb..##g')").at(0, 0).isNull(), c.dropped);
    }
}

// dropped when the batch fails too; its messages name it as the batch does
TEST(EmbeddedTemp, AFailingBatchLeavesNoTableOfItsTableVariables) {
    auto c = testing::openEmbedded();
    const auto [number, native, says] = testing::fullErrorOf(
        [&] { c->Execute("declare @t table (k int primary key) insert into @t values (1), (1)"); });
    EXPECT_EQ(native, 2627);
    EXPECT_NE(says.find("'dbo.@t'"), std::string::npos) << says;
    EXPECT_EQ(std::get<1>(testing::fullErrorOf([&] { c->Query("select * from [#@t]"); })), 208);
}

TEST(EmbeddedTemp, OutputIntoIsRefusedByNameWhenReadAsAQuery) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int) insert into 账 values (1) create table #o (k int)");
    for (const char* tsql :
         {"delete from 账 output deleted.k into #o", "insert into 账 output inserted.k into #o values (2)"}) {
        SCOPED_TRACE(tsql);
        const auto [number, native, text] = testing::fullErrorOf([&] { c->Query(tsql); });
        EXPECT_EQ(number, ErrorNumber::NotSupported);
        EXPECT_NE(text.find("OUTPUT ... INTO read as a query"), std::string::npos) << text;
        EXPECT_EQ(c->Query("select count(*) from 账").at(0, 0).toText(), "1");
    }
}

TEST(EmbeddedTemp, SelectIntoRefusesAColumnWhoseTypeItCannotTell) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (v varchar(10))");
    testing::expectRefusedByName(*c, "select v + 'x' as vx into #t from 账",
                                 "SELECT ... INTO with the column vx");
}

}  // namespace
}  // namespace Palvo
