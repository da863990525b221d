// T-SQL in, SQLite text out; unsupported constructs are named, never run.
#include "palvo/dialect/translator.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

#include "palvo/dialect/target.h"
#include "palvo/error.h"
#include "support/errors.h"
#include "tokenizer.h"
#include "translation_cases.h"

namespace {

using Palvo::dialect::translateUncached;
using Palvo::testing::Case;
using Palvo::testing::Refusal;
using Palvo::testing::Refuses;
using Palvo::testing::Translates;

TEST_P(Translates, ToTheExpectedSqliteText) {
    EXPECT_EQ(translateUncached(GetParam().tsql).joined(), GetParam().sqlite);
}

// TOP in a query or a subquery, joins and common table expressions: their rows are TsqlQueryForms',
// TsqlLatestPrice's and DataAccess'; DISTINCT TOP the pickers' (windows_test), LIKE TsqlText's.
INSTANTIATE_TEST_SUITE_P(Select, Translates,
                         ::testing::Values(Case{"select [a]]b], \"c\"\"d\", [x y] from [dbo].[t]",
                                                "select \"a]b\", \"c\"\"d\", \"x y\" from \"t\""},
                                           Case{"select a -- note\n from /* a /* nested */ comment */ t",
                                                "select a from t"},
                                           Case{"select a from t where a !< 3 and b !> 4",
                                                "select a from t where a >= 3 and b <= 4"},
                                           Case{"select 0x0aff, 0x1", "select X'0aff', X'01'"}));

// A date literal compared with a column compares as a date:
// SqliteAdapter.DateLiteralsCompareAsSqlServerComparesDates. One call per run of one precedence, each
// step marked with its type, is Arithmetic's (long chains, int overflow) and DecimalArithmetic's.
INSTANTIATE_TEST_SUITE_P(
    Operators, Translates,
    ::testing::Values(
        Case{"select * from t where Hand_Date +Hand_Time>'2004-03-1018:00' AND Hand_Date "
             "+Hand_Time<'2004-03-2018:01'",
             "select * from t where tsql_arith(Hand_Date, Hand_Time, '+') collate zh_ci_as>'2004-03-1018:00' "
             "AND tsql_arith(Hand_Date, Hand_Time, '+') collate zh_ci_as<'2004-03-2018:01'"},
        Case{"select (a + b) * c", "select tsql_arith((tsql_arith(a, b, '+')), c, '*')"},
        Case{"select case when a+b=1 then 'x' else 'y' + z end + 'q' from t",
             "select tsql_arith(case when tsql_arith(a, b, '+')=1 then 'x' else tsql_arith('y', z, '+') end, "
             "'q', '+') from t"},
        Case{"select a collate Chinese_PRC_CS_AS, b collate Chinese_PRC_CI_AS from t",
             "select a collate rtrim, b collate zh_ci_as from t"}));

// An expression's own COLLATE; text compares as the text columns do (Chinese_PRC_CI_AS) also where no
// column gives the collation: comparisons, IN, BETWEEN, CASE and sort keys of expressions are
// EmbeddedAnswers' (sqlite_test), grouping keys TsqlGrouping's.
INSTANTIATE_TEST_SUITE_P(
    Collation, Translates,
    ::testing::Values(Case{
        "select * from t where ltrim(a) = 'x' collate Latin1_General_BIN order by ltrim(a) "
        "collate Chinese_PRC_CS_AS",
        "select * from t where ltrim(a) = 'x' collate rtrim order by ltrim(a) collate rtrim"}));

// CONVERT, CAST, the date functions, the text functions (left, right, len, substring, charindex, replace,
// upper, lower, ltrim, rtrim), isnull, object_id, char, nchar, ascii, unicode, AVG, DATALENGTH and the
// identity functions are translated where their values are checked: ScalarResult (sqlite_test),
// SqlServerAnswers, StoredValues.AveragesKeepTheTypeOfTheirColumn.
INSTANTIATE_TEST_SUITE_P(
    Functions, Translates,
    ::testing::Values(
        Case{"select name from syscolumns where object_name(id)='T' and type_name(xtype) not in('text')",
             "select name from syscolumns where (tsql_object_name(id) collate nocase)='T' and "
             "tsql_type_name(xtype) collate zh_ci_as not in('text')"},
        Case{"select datalength(1) * 2147483647",
             "select tsql_arith(tsql_datalength(1, '', '', ''), 2147483647, 'i*')"}));

// INSERT without INTO, DELETE without FROM, UPDATE ... FROM a join with or without aliases, DROP TABLE,
// TRUNCATE and ALTER TABLE ADD with a default (Null, kept or given to the rows there) run where their rows
// are checked: SqliteAdapter (sqlite_test), SqlServerAnswers.AColumnAddedWithADefault...,
// TsqlDml.TruncateStartsTheIdentityAgainFromItsSeed
INSTANTIATE_TEST_SUITE_P(
    Statements, Translates,
    ::testing::Values(
        Case{"update T set c = 1 from T, X where T.a = X.a", "update T set c = 1 from X where T.a = X.a"},
        Case{"update T set c = 1 from X inner join T on T.a = X.a join Y on Y.b = X.b where q=1",
             "update T set c = 1 from X join Y on Y.b = X.b where (T.a = X.a) and (q=1)"},
        Case{"update T set c = 1 from X where T.a = X.a", "update T set c = 1 from X where T.a = X.a"},
        Case{"create table T (编号 int identity(1,1) not null, 名称 nvarchar(50) default N'', n "
             "decimal(18,2), primary key (名称))",
             "create table \"T\" (\"编号\" integer primary key autoincrement, \"名称\" nvarchar(50) collate "
             "zh_ci_as default (''), \"n\" decimal real(18,2), unique (名称));\ncreate trigger "
             "\"T__check_insert\" after insert on \"T\" for each row when new.\"名称\" is not "
             "tsql_check_text(new.\"名称\", 50, 1) collate binary or new.\"n\" is not "
             "tsql_check_decimal(new.\"n\", 18, 2) begin update \"T\" set \"名称\" = "
             "tsql_check_text(new.\"名称\", 50, 1), \"n\" = tsql_check_decimal(new.\"n\", 18, 2) where rowid "
             "= new.rowid; end;\ncreate trigger \"T__check_update\" after update of \"名称\", \"n\" on \"T\" "
             "for each row when new.\"名称\" is not tsql_check_text(new.\"名称\", 50, 1) collate binary or "
             "new.\"n\" is not tsql_check_decimal(new.\"n\", 18, 2) begin update \"T\" set \"名称\" = "
             "tsql_check_text(new.\"名称\", 50, 1), \"n\" = tsql_check_decimal(new.\"n\", 18, 2) where rowid "
             "= new.rowid; end"},
        Case{"alter table T add c varchar(10)",
             "alter table T add column \"c\" varchar(10) collate zh_ci_as;\ncreate trigger "
             "\"T__check_c_insert\" after insert on \"T\" for each row when new.\"c\" is not "
             "tsql_check_text(new.\"c\", 10, 0) collate binary begin update \"T\" set \"c\" = "
             "tsql_check_text(new.\"c\", 10, 0) where rowid = new.rowid; end;\ncreate trigger "
             "\"T__check_c_update\" after update of \"c\" on \"T\" for each row when new.\"c\" is not "
             "tsql_check_text(new.\"c\", 10, 0) collate binary begin update \"T\" set \"c\" = "
             "tsql_check_text(new.\"c\", 10, 0) where rowid = new.rowid; end"},
        Case{"select 1;", "select 1"}));

TEST_P(Refuses, NamingTheConstruct) {
    const auto [number, text] = Palvo::testing::errorOf([] { translateUncached(GetParam().tsql); });
    EXPECT_EQ(number, Palvo::ErrorNumber::NotSupported);
    EXPECT_NE(text.find(GetParam().construct), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Unsupported, Refuses,
    ::testing::Values(
        Refusal{"select top 5 a from t union select b from u", "UNION"},
        Refusal{"select a from t union select top 2 b from u", "UNION"},
        Refusal{"select top (@n) a from t", "@n"}, Refusal{"if exists (select 1 from t) drop table t", "IF"},
        Refusal{"begin select 1 end", "BEGIN"}, Refusal{"select @x", "@x"},
        Refusal{"declare @x int", "DECLARE"}, Refusal{"exec sp_help", "EXEC"},
        Refusal{"select 1; select 2", "several statements"},
        Refusal{"select a into t2 from t", "SELECT ... INTO"},
        Refusal{"create table ##tmp (a int)", "global temporary table"},
        Refusal{"alter table T alter column c int default 0", "ALTER COLUMN with DEFAULT"},
        Refusal{"alter table T drop column a, b", "several columns"},
        Refusal{"alter table T drop constraint PK_T", "DROP"},
        Refusal{"exec sp_rename 'T.ix', 'iy', 'INDEX'", "object type 'INDEX'"},
        Refusal{"exec sp_rename @objname = 'T', @newname = 'U'", "sp_rename with arguments other than texts"},
        Refusal{"select db_name(1)", "DB_NAME with an argument"}, Refusal{"select @@procid", "@@procid"},
        Refusal{"select convert(money2, d)", "money2"}, Refusal{"select datediff(xx, a, b)", "'xx'"},
        Refusal{"create table T (id int identity(100,1))", "IDENTITY(100,1)"},
        Refusal{"create table T (id varchar(5) identity)", "IDENTITY on a varchar(5)"},
        Refusal{"create table T (g geography)", "geography"}, Refusal{"select 'abc", "Unterminated string"},
        Refusal{"select [abc", "Unterminated bracketed name"},
        Refusal{"select 1 /* open", "Unterminated comment"}, Refusal{"select (a", "unbalanced '('"},
        Refusal{"select a)", "unbalanced ')'"}, Refusal{"select a +", "incomplete expression"},
        Refusal{"select a ` b", "Unexpected character"},
        Refusal{"insert into T values (12345678901234567.89)", "the number 12345678901234567.89"},
        Refusal{"select 3.14159265358979323846", "more digits than a double keeps"}));

// Changes SQLite cannot make in one statement go to the connection, which reads
// the schema; another SQLite host is given a statement that refuses them by name.
TEST(SchemaChanges, AreHandedToTheConnection) {
    using Kind = Palvo::dialect::SchemaChange::Kind;
    const std::tuple<const char*, Kind, const char*, const char*, const char*, const char*, const char*>
        cases[] = {
            {"alter table [货品] drop column [备注]", Kind::DropColumn, "货品", "备注", "", "",
             "select tsql_refuse('ALTER TABLE ... DROP COLUMN')"},
            {"ALTER TABLE T ALTER COLUMN c varchar(5) not null", Kind::AlterColumn, "T", "c", "",
             "\"c\" varchar(5) collate zh_ci_as not null",
             "select tsql_refuse('ALTER TABLE ... ALTER COLUMN')"},
            {"alter table T alter column m decimal(18,2)", Kind::AlterColumn, "T", "m", "",
             "\"m\" decimal real(18,2)", "select tsql_refuse('ALTER TABLE ... ALTER COLUMN')"},
            {"exec sp_rename 'dbo.T', N'U'", Kind::RenameTable, "T", "", "U", "",
             "select tsql_refuse('sp_rename')"},
            {"sp_rename '[T].[c]', 'd', 'COLUMN'", Kind::RenameColumn, "T", "c", "d", "",
             "select tsql_refuse('sp_rename')"},
        };
    for (const auto& [tsql, kind, table, column, newName, definition, refusal] : cases) {
        SCOPED_TRACE(tsql);
        const auto tr = translateUncached(tsql);
        EXPECT_EQ(tr.change.kind, kind);
        EXPECT_EQ(tr.change.table, table);
        EXPECT_EQ(tr.change.column, column);
        EXPECT_EQ(tr.change.newName, newName);
        EXPECT_EQ(tr.change.definition, definition);
        EXPECT_EQ(tr.joined(), refusal);
    }
}

TEST(ResultColumns, UnnamedOrTextOnesAreMarked) {
    // SQL Server leaves an expression without an alias unnamed, and a conversion to
    // text stays text: the columns of the statement's own result, counted from the
    // last one after a "*" (a plain list and a "*" before: SqlServerAnswers.ExpressionsWithoutAnAlias...).
    const std::tuple<const char*, std::vector<int>, std::vector<int>> selectLists[] = {
        {"select *, a * 2, t.* from t", {}, {}},
        {"select cast(d as varchar), convert(datetime, d), convert(nchar(2), d) from t", {0, 1, 2}, {0, 2}},
        {"select a collate Chinese_PRC_CS_AS, (select max(b) from u), case when a = 1 then 2 end from t",
         {1, 2},
         {}},
        {"select a from t where a in (select max(b) from u)", {}, {}},
        {"insert into t select sum(a) from u", {}, {}},
    };
    for (const auto& [tsql, unnamed, text] : selectLists) {
        const auto tr = translateUncached(tsql);
        EXPECT_EQ(tr.unnamedColumns, unnamed) << tsql;
        EXPECT_EQ(tr.textColumns, text) << tsql;
    }
}

TEST(StoredTypes, KeepTheirDeclarationWithTriggersCheckingTheirValues) {
    // declared type, the column definition SQLite gets, what the triggers pass each value through; the
    // types StoredValues and SqliteAdapter store values of (tinyint, bigint, nchar, varchar(max), date,
    // smallmoney, a char of one, a datetime defaulting to getdate()) are theirs
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"integer not null", "integer not null", "tsql_check_int(new.\"c\", 'int')"},
        {"int not null primary key clustered", "int not null primary key",
         "tsql_check_int(new.\"c\", 'int')"},
        {"char(2) collate Chinese_PRC_CS_AS", "char(2) collate rtrim", "tsql_check_text(new.\"c\", 2, 0)"},
        {"text", "text collate zh_ci_as", ""},
        {"decimal", "decimal", "tsql_check_decimal(new.\"c\", 18, 0)"},
        {"numeric(10, 3)", "numeric real(10, 3)", "tsql_check_decimal(new.\"c\", 10, 3)"},
        {"dec(18,0)", "dec(18,0)", "tsql_check_decimal(new.\"c\", 18, 0)"},
        {"money", "money real", "tsql_check_decimal(new.\"c\", 19, 4)"},
        {"ntext", "ntext collate zh_ci_as", ""},
        {"float", "float", ""},
        {"bit", "bit", ""}};
    for (const auto& [declared, column, check] : cases) {
        SCOPED_TRACE(declared);
        auto tr = translateUncached(std::string("create table T (c ") + declared + ")");
        EXPECT_EQ(tr.statements[0], std::string("create table \"T\" (\"c\" ") + column + ")");
        if (check.empty()) {
            EXPECT_EQ(tr.statements.size(), 1u);
            continue;
        }
        ASSERT_EQ(tr.statements.size(), 3u);
        const bool text = check.starts_with("tsql_check_text");
        const std::string when =
            "when new.\"c\" is not " + check + (text ? " collate binary" : "") + " begin";
        EXPECT_NE(tr.statements[1].find(when), std::string::npos) << tr.statements[1];
        EXPECT_NE(tr.statements[2].find("after update of \"c\" on \"T\""), std::string::npos)
            << tr.statements[2];
    }
}

TEST(NumberLiterals, AreExactWhenADoubleCarriesEveryDigit) {
    for (const char* n :
         {"0.01", "123456789012345", "9007199254740991.0", "2024010100000124.00", "9223372036854775807",
          "-9223372036854775808", "0.000000000000000001", "1.5e3", "45035996273704.97"})
        EXPECT_TRUE(Palvo::dialect::readsExactly(n)) << n;
    for (const char* n : {"99999999999999.99", "12345678901234567.89", "9223372036854775808",
                          "-9223372036854775809", "12345678901234567890", "3.14159265358979323846"})
        EXPECT_FALSE(Palvo::dialect::readsExactly(n)) << n;
}

TEST(OperatorChains, Beyond2500OperandsAreRefused) {
    // Beyond 2,500 operands a run is refused. That runs are cut to SQLite's limits and long AND/OR runs
    // regrouped is Arithmetic.LongChainsOfOperatorsRun's (sqlite_test), which runs 1,000 to 2,500 of them.
    std::string sql = "select 1";
    for (int k = 1; k < 2501; ++k) sql += " + 1";
    EXPECT_EQ(Palvo::testing::errorDescription([&] { translateUncached(sql); }),
              "Not supported by the embedded database: a chain of more than 2500 operands.");
}

TEST(Tokenizer, KeepsEachKindOfTokenApart) {
    auto toks = Palvo::dialect::tokenize("select 'a--b', [x/*y]]], N'n''', \"q\" -- tail\n/*c*/ 1.5e3 <> ?");
    std::vector<std::pair<Palvo::dialect::TokenKind, std::string>> got;
    for (const auto& t : toks) got.emplace_back(t.kind, t.text);
    using K = Palvo::dialect::TokenKind;
    std::vector<std::pair<K, std::string>> want = {
        {K::Word, "select"},  {K::String, "a--b"}, {K::Operator, ","}, {K::Name, "x/*y]"},
        {K::Operator, ","},   {K::NString, "n'"},  {K::Operator, ","}, {K::Name, "q"},
        {K::Number, "1.5e3"}, {K::Operator, "<>"}, {K::Parameter, "?"}};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(toks[8].spaceBefore);
}

TEST(TranslatorCache, ReturnsTheSameTranslation) {
    Palvo::dialect::Translator tr(Palvo::dialect::sqliteTarget(), 3);
    auto a = tr.translateStatements("select top 1 a from t");
    auto b = tr.translateStatements("select top 1 a from t");
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(tr.translate("select 9"), "select 9");
}

TEST(TranslatorCache, KeepsAtMostItsCount) {
    Palvo::dialect::Translator tr(Palvo::dialect::sqliteTarget(), 3);
    for (int i = 0; i < 10; ++i) tr.translate("select " + std::to_string(i));
    EXPECT_EQ(tr.cachedCount(), 3u);
    EXPECT_THROW(tr.translate("select top 1 with ties a from t"), Palvo::Error);
    EXPECT_EQ(tr.cachedCount(), 3u) << "a failed translation was cached";
    tr.clearCache();
    EXPECT_EQ(tr.cachedCount(), 0u);
}

TEST(TranslatorCache, KeepsAtMostFourMegabytes) {
    Palvo::dialect::Translator roomy(Palvo::dialect::sqliteTarget(), 512);
    const std::string big = "select '" + std::string(3u << 20, 'x') + "'";
    roomy.translate("select 1");
    roomy.translate(big);
    EXPECT_EQ(roomy.cachedCount(), 2u);
    roomy.translate(big + " as a");  // the oldest ones make room
    EXPECT_EQ(roomy.cachedCount(), 1u);
    const std::string huge = "select '" + std::string(5u << 20, 'y') + "'";
    EXPECT_EQ(roomy.translate(huge), huge) << "a longer one is translated, not kept";
    EXPECT_EQ(roomy.cachedCount(), 1u);
}

TEST(TranslatorCache, ServesSeveralThreads) {
    Palvo::dialect::Translator tr(Palvo::dialect::sqliteTarget(), 16);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const std::string n = std::to_string((i + t) % 40);
                wrong += tr.translate("select top " + n + " a from t") != "select a from t limit " + n;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(tr.cachedCount(), 16u);
}

}  // namespace
