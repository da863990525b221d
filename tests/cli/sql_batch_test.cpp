// `palvo sql` with batches: a statement that is one, and scripts whose batches GO separates.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli.h"
#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class SqlBatch : public CliDatabase {
protected:
    SqlBatch() : CliDatabase("palvo_sql_batch") {}
    std::string script(const std::string& text) {
        std::string path = (dir / "script.sql").string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    Outcome run(const std::string& text) { return palvo({"sql", "--db", db, "--file", script(text)}); }
    // What a script that runs through prints on standard output.
    std::string printed(const std::string& text) {
        const Outcome r = run(text);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
};

struct SplitCase {
    const char* script;
    std::vector<std::pair<std::string, std::size_t>> batches;  // text, first line
};

TEST(SplitSqlScript, EndsABatchAtEachLineHoldingGoAlone) {
    const SplitCase cases[] = {
        {"select 1\n  go  \r\n\n\nselect 2", {{"select 1\n", 1}, {"select 2\n", 5}}},
        {"go\nGO\n\nselect 1\ngo\n", {{"select 1\n", 4}}},
        {"select 'go'\ngo 2\nselect good\n", {{"select 'go'\ngo 2\nselect good\n", 1}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<std::pair<std::string, std::size_t>> got;
        for (const ScriptBatch& b : splitSqlScript(c.script)) got.emplace_back(b.text, b.line);
        EXPECT_EQ(got, c.batches);
    }
}

// result sets on standard output, counts and PRINT on standard error
TEST_F(SqlBatch, EachOutputOfABatchGoesToItsOwnStream) {
    EXPECT_EQ(
        sql("create table t (k int) insert into t values (1), (2) declare @n int select @n = count(*) from t "
            "print 'n is ' + cast(@n as varchar(5)) select @n as n select 0 as other"),
        (Outcome{0, "n\n2\n\nother\n0\n",
                 "(2 行受影响)\n(1 行受影响)\nn is 2\n(1 行受影响)\n(1 行受影响)\n"}));
}

// an empty result set keeps its line of names; in CSV the blank line ends with CRLF as every line does
// (that dynamic SQL's and procedures' result sets are the batch's is TsqlBatchProcs' and TsqlModules')
TEST_F(SqlBatch, ResultSetsAreSeparatedByABlankLine) {
    const auto text = sql("select 1 as a where 1 = 0; select 'x' as b; select 2 as c");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "a\n\nb\nx\n\nc\n2\n");
    const auto csv = palvo({"sql", "--db", db, "--csv", "select 1 as a; select 2 as b"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "a\r\n1\r\n\r\nb\r\n2\r\n");
}

// past the last row a FETCH prints its names alone
TEST_F(SqlBatch, EachFetchWithoutIntoPrintsItsRowAsAResultSet) {
    const auto r =
        sql("create table t (k int) insert into t values (1), (2) declare c cursor local for select k from t "
            "order by "
            "k open c fetch next from c fetch next from c fetch next from c");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "k\n1\n\nk\n2\n\nk\n");
}

TEST_F(SqlBatch, AScriptRunsItsBatchesInTurn) {
    EXPECT_EQ(printed("set nocount on\ncreate table t (k int)\ngo\ndeclare @i int = 0\nwhile @i < 3 begin\n"
                      "  set @i += 1\n  insert into t values (@i)\nend\nGO\n-- only a comment\ngo\n"
                      "select sum(k) as s from t\n"),
              "s\n6\n");
}

TEST_F(SqlBatch, AScriptStopsAtTheBatchThatFailsNamingItsLine) {
    const auto r =
        run("create table t (k int)\ngo\ninsert into t values (1)\nselect @missing\ngo\ninsert into t values "
            "(2)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palvo: 第 3 行起的批处理: 必须声明标量变量 \"@missing\"。\n");
    // the failing batch was refused before it ran; the one after it never ran
    EXPECT_EQ(sql("select count(*) as n from t").out, "n\n0\n");
}

// the script's batches share one connection, and with it its temporary tables
TEST_F(SqlBatch, AScriptsTempTableLastsAcrossItsBatches) {
    // SELECT ... INTO and INSERT print the rows they put, as changes do
    EXPECT_EQ(printed("select 1 as k, cast(2.50 as decimal(10,2)) as m into #t\ngo\n"
                      "insert into #t values (2, 0.25)\ngo\nselect sum(m) as s from #t\n"),
              "1\n1\ns\n2.75\n");
}

// its rows go into the table: it prints the rows it changed, as INSERT does
TEST_F(SqlBatch, AChangeWithOutputIntoPrintsItsRowsAffected) {
    const char* changes[] = {"insert into t (v) output inserted.k into #o values ('a'), ('b')",
                             "delete from t output deleted.k into #o where v <> 'c'"};
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        std::filesystem::remove(db);
        const auto r =
            run("create table t (k int identity, v varchar(5)) create table #o (k int)\n"
                "insert into t (v) values ('a'), ('b'), ('c')\ngo\n" +
                std::string(change) + "\ngo\nselect sum(k) as s from #o\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "2\ns\n" + std::string(change[0] == 'i' ? "9" : "3") + "\n");
    }
}

// a script makes a trigger in a batch of its own; the trigger's refusal is the clerk's message
TEST_F(SqlBatch, ATriggersRaiserrorStopsTheScriptWithItsMessage) {
    const auto r =
        run("create table 库存 (k int, 数量 int)\ngo\ncreate trigger 查 on 库存 after insert as\n"
            "if exists (select * from inserted where 数量 < 0) begin raiserror('数量不能为负', 16, 1) "
            "rollback end\n"
            "go\ninsert into 库存 values (1, 5)\ngo\ninsert into 库存 values (2, -1)\ngo\nselect 1 as n\n");
    EXPECT_EQ(r.status, 1);
    // a statement alone that changes no row prints -1, as ever
    EXPECT_EQ(r.out, "-1\n-1\n1\n");
    EXPECT_EQ(r.err, "palvo: 第 8 行起的批处理: 数量不能为负\n");
    EXPECT_EQ(sql("select count(*) as n from 库存").out, "n\n1\n");
}

TEST_F(SqlBatch, AScriptThatCannotBeReadChangesNothing) {
    const auto r = palvo({"sql", "--db", db, "--file", (dir / "missing.sql").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot read the script"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(db));
}

TEST_F(SqlBatch, FileRefusesAStatementOrAParamBesideIt) {
    const std::string path = script("select 1\n");
    EXPECT_EQ(palvo({"sql", "--db", db, "--file", path, "select 2"}).status, 2);
    EXPECT_EQ(palvo({"sql", "--db", db, "--file", path, "--param", "a=1"}).status, 2);
}

}  // namespace
}  // namespace Palvo::cli
