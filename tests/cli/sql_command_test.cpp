#include <gtest/gtest.h>

#include "cli.h"
#include "sql_output.h"
#include "sql_params.h"
#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class SqlCommand : public CliDatabase {
protected:
    SqlCommand() : CliDatabase("palvo_sql", "new.db") {}
};

TEST_F(SqlCommand, PrintsAChangesCountOrAQuerysRows) {
    const std::pair<std::string, std::string> steps[] = {
        {"create table 客户 (编号 varchar(10), 名称 nvarchar(20), 额度 decimal(8,2))", "-1\n"},  // no rows
        {"insert into 客户 select 'C1', N'华北', 1.5 union all select 'C2', null, 2", "2\n"},
        {"update 客户 set 额度 = 额度 + 1", "2\n"},
        // a query prints a header, the rows and \N for Null
        {"select 编号, 名称, 额度 from 客户 order by 编号",
         "编号\t名称\t额度\nC1\t华北\t2.50\nC2\t\\N\t3.00\n"},
        {"-- count\nselect count(*) as n from 客户", "n\n2\n"},  // a leading comment still makes a query
    };
    for (const auto& [statement, out] : steps) {
        SCOPED_TRACE(statement);
        EXPECT_EQ(sql(statement), (Outcome{0, out, ""}));
    }
}

// Decimals and money print every digit of their scale, as SQL Server's tools print them, also computed ones.
TEST_F(SqlCommand, ExactNumbersPrintEveryDigitOfTheirScale) {
    const auto r = palvo({"sql", "--types", "--db", db,
                          "select cast(1234.5 as money) as m, cast(1.25 as decimal(10,2)) * cast(1.5 as "
                          "decimal(10,3)) as d, round(748.58, -2) as r"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "m\td\tr\n6\t131\t131\n1234.5000\t1.87500\t700.00\n");
}

// Texts that the plain output once printed like a Null, a column or a row; each character's escape is
// SqlOutput's.
TEST_F(SqlCommand, NoStoredTextReadsAsANullAFieldOrARowInEitherFormat) {
    ASSERT_EQ(sql("create table t (k int, v nvarchar(50))").status, 0);
    auto r =
        sql("insert into t select 1, 'NULL' union all select 2, null union all select 3, 'a\tb\nc' "
            "union all select 4, '' union all select 5, '\\N'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string query = "select k, v as [v,\t\"x\"] from t order by k";
    r = sql(query);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "k\tv,\\t\"x\"\n1\tNULL\n2\t\\N\n3\ta\\tb\\nc\n4\t\n5\t\\\\N\n");
    r = palvo({"sql", "--csv", "--types", "--db", db, query});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "k,\"v,\t\"\"x\"\"\"\r\n3,202\r\n1,NULL\r\n2,\r\n3,\"a\tb\nc\"\r\n4,\"\"\r\n5,\\N\r\n");
    // a statement that returns no rows prints the count in either format
    EXPECT_EQ(palvo({"sql", "--csv", "--db", db, "delete from t where k > 4"}).out, "1\n");
}

TEST_F(SqlCommand, AChangeWithOutputPrintsItsRows) {
    ASSERT_EQ(sql("create table t (k int identity(1,1), v nvarchar(50))").status, 0);
    const auto r = sql("insert into t (v) output inserted.k, inserted.v values (N'甲')");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "k\tv\n1\t甲\n");
}

class SqlParamsBound : public SqlCommand {
protected:
    void SetUp() override {
        ASSERT_EQ(sql("create table 客户 (编号 varchar(10), 额度 decimal(8,2), 日期 datetime)").status, 0);
        ASSERT_EQ(palvo({"sql", "--db", db, "--param", "编号=C1", "--param", "额度=decimal:1.25", "--param",
                         "日期=datetime:2004-01-05", "insert into 客户 values (@编号, @额度, @日期)"}),
                  (Outcome{0, "1\n", ""}));
    }
    Outcome select(const std::string& k) {
        return palvo({"sql", "--db", db, "--param", "k=" + k,
                      "select 编号, 额度, convert(varchar(10), 日期, 120) as d from 客户 where 编号 = ?"});
    }
};

// by name in the setup's insert, in order here
TEST_F(SqlParamsBound, ParamsBindByNameOrInOrder) {
    EXPECT_EQ(select("C1"), (Outcome{0, "编号\t额度\td\nC1\t1.25\t2004-01-05\n", ""}));
}

TEST_F(SqlParamsBound, AParamNeverBecomesSqlText) {
    EXPECT_EQ(select("C1' or '1'='1"), (Outcome{0, "编号\t额度\td\n", ""}));
}

TEST_F(SqlCommand, AParamsTypeDecidesHowItsValueComputes) {
    const std::pair<const char*, const char*> cases[] = {
        {"n=5", "55"},           {"n=text:5", "55"}, {"n=int:5", "10"},
        {"n=float:0.25", "0.5"}, {"n=null:", "\\N"}, {"n=text:int:5", "int:5int:5"},
    };
    for (const auto& [param, value] : cases) {
        const auto r = palvo({"sql", "--db", db, "--param", param, "select @n + @N as x"});
        EXPECT_EQ(r.status, 0) << param << ": " << r.err;
        EXPECT_EQ(r.out, std::string("x\n") + value + "\n") << param;
    }
}

TEST_F(SqlCommand, AWrongParamIsRefusedBeforeAnythingRuns) {
    ASSERT_EQ(sql("create table t (k int, v varchar(10))").status, 0);
    struct Case {
        std::vector<std::string> params;
        const char* statement;
        const char* err;
    };
    const std::vector<Case> cases = {
        {{"k"}, "insert into t values (?, 'a')", "palvo: --param takes NAME=[TYPE:]VALUE, not 'k'.\n"},
        {{"=1"}, "insert into t values (?, 'a')", "palvo: --param takes NAME=[TYPE:]VALUE, not '=1'.\n"},
        {{"k=int:1x"},
         "insert into t values (?, 'a')",
         "palvo: --param k: '1x' is not a whole number within bigint.\n"},
        {{"k=decimal:1.2.3"},
         "insert into t values (?, 'a')",
         "palvo: --param k: '1.2.3' is not a decimal number (digits with at most one point).\n"},
        {{"k=float:inf"},
         "insert into t values (?, 'a')",
         "palvo: --param k: 'inf' is not a finite number.\n"},
        {{"k=datetime:2004-02-30"},
         "insert into t values (1, ?)",
         "palvo: --param k: '2004-02-30' is not a date (YYYY-MM-DD[ HH:MM[:SS[.fff]]]).\n"},
        {{"k=bit:2"}, "insert into t values (?, 'a')", "palvo: --param k: '2' is not a bit (0 or 1).\n"},
        {{"k=null:0"}, "insert into t values (?, 'a')", "palvo: --param k: null: takes no value.\n"},
        {{"k=1", "K=2"}, "insert into t values (@k, 'a')", "palvo: --param K: given twice.\n"},
        {{"k=1"},
         "insert into t values (@k, @v)",
         "palvo: The statement names @v, and no --param gives it.\n"},
        {{"k=1", "v=a"}, "insert into t values (@k, 'a')", "palvo: --param v: the statement names no @v.\n"},
        {{"k=1", "v=a"},
         "insert into t values (@k, ?)",
         "palvo: A statement takes its values by ? or by @NAME, not both.\n"},
        {{"k=a b"}, "insert into t values (1, @k)", ""},  // the control: this one runs
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"sql", "--db", db};
        for (const std::string& p : c.params) args.insert(args.end(), {"--param", p});
        args.emplace_back(c.statement);
        const auto r = palvo(args);
        EXPECT_EQ(r.err, c.err) << c.params[0];
        EXPECT_EQ(r.status, *c.err ? 1 : 0) << c.params[0];
    }
    EXPECT_EQ(sql("select k, v from t").out, "k\tv\n1\ta b\n") << "only the control inserted a row";
}

TEST(SqlParams, PlaceholdersOutsideTheStatementsCodeAreNotBound) {
    const BoundStatement b =
        bindParams("select '@a ?', [@a?], \"@a\", @@identity, @a -- @a ?\n /* @a /* ? */ */ + @A", {"a=1"});
    EXPECT_EQ(b.sql, "select '@a ?', [@a?], \"@a\", @@identity, ? -- @a ?\n /* @a /* ? */ */ + ?");
    EXPECT_EQ(b.values, (std::vector<Value>{Value("1"), Value("1")}));
}

// An empty text, \N, commas and quotes: NoStoredTextReadsAsANullAFieldOrARowInEitherFormat.
TEST(SqlOutput, EscapesEveryCharacterThatCouldEndAFieldOrALine) {
    struct Case {
        std::string in, text, csv;
    };
    const std::vector<Case> cases = {
        {"plain 中文", "plain 中文", "plain 中文"},
        {"a\\tb", "a\\\\tb", "a\\tb"},  // a backslash before a letter is not a tab
        {"\t\n\r\b\f\v", "\\t\\n\\r\\b\\f\\v", "\"\t\n\r\b\f\v\""},
        {std::string("\0\x01\x1f\x7f", 4), "\\x00\\x01\\x1F\\x7F", std::string("\0\x01\x1f\x7f", 4)},
        {" padded ", " padded ", " padded "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textField(c.in), c.text) << c.in;
        EXPECT_EQ(csvField(c.in), c.csv) << c.in;
    }
}

TEST(SqlUsage, BadCommandLinesExitWithTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"sql"},
        {"sql", "--db"},
        {"sql", "--db", "a.db", "--odbc", "DSN=x", "select 1"},
        {"sql", "select 1", "select 2"},
        {"sql", "--nosuch", "select 1"},
        {"sql", "--csv", "select 1", "--tsv"},
        {"init"},
    };
    for (const auto& args : bad) {
        const auto r = palvo(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("usage"), std::string::npos);
    }
}

TEST(ReturnsRows, TellsQueriesFromOtherStatements) {
    for (const char* sql : {"select 1", "  SELECT 1", "/* x /* y */ */ select 1", "((select 1))",
                            "with c(x) as (select 1) select x from c",
                            "with 汇总 as (select 1 as n), b as (select n from 汇总) select * from b"}) {
        EXPECT_TRUE(returnsRows(sql)) << sql;
    }
    for (const char* sql :
         {"insert into t select 1", "update t set a=1", "selected", "", "/* select */ delete from t",
          "with c(x) as (select 1) insert into t select x from c",
          "With [select] as (select ')select') update t set a = 1",
          "with a as (select 1 as k), b as (select 2 as k) delete from t where k in (select k from b)"}) {
        EXPECT_FALSE(returnsRows(sql)) << sql;
    }
}

TEST(ReturnsRows, ChangesWithOutputReturnTheirRows) {
    for (const char* sql :
         {"insert into t (a) output inserted.a values (1)",
          "UPDATE t SET a = 1 OUTPUT inserted.a WHERE k = 2", "delete t output deleted.*"}) {
        EXPECT_TRUE(returnsRows(sql)) << sql;
    }
    for (const char* sql :
         {"insert into t ([output]) values ('output')", "update t set a = (select output from u)"}) {
        EXPECT_FALSE(returnsRows(sql)) << sql;
    }
}

}  // namespace
}  // namespace Palvo::cli
