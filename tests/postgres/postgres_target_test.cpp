// T-SQL on the private PostgreSQL server through the library's PostgreSQL target:
// the answers SQL Server gives, and the constructs the target refuses by name.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "pg_test_database.h"
#include "support/errors.h"

namespace Palvo::odbc {
namespace {

using Palvo::testing::errorOf;

class PgTarget : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string server = testing::pgServerConnection();
        if (server.empty()) return;
        Connection c;
        c.Open(server);
        c.Execute("drop table if exists 目标明细");
        c.Execute("drop table if exists 目标客户");
        c.Execute(
            "create table 目标客户 (编号 int identity(1,1) primary key, 代码 varchar(10) not null, "
            "名称 nvarchar(20), 余额 decimal(10,2), 建立 datetime)");
        for (const char* row : {"('b', N'乙', 20.5, '2024-01-05 13:04:05')", "('A', N'甲', null, null)",
                                "('z', N'张三', 3, '2024-02-29')", "('Y', N'阿四', 1, '2023-12-31')"})
            c.Execute("insert into 目标客户 (代码, 名称, 余额, 建立) values " + std::string(row));
    }

    void SetUp() override {
        server_ = testing::pgServerConnection();
        ASSERT_FALSE(server_.empty()) << "no server: run through ctest, which starts one";
        conn_.Open(server_);
    }

    // Every row of a query, as rowsText gives them.
    std::string row(const std::string& query) { return testing::rowsText(conn_.Query(query)); }

    // One column of every row, joined by ','.
    std::string column(const std::string& query) {
        const ResultTable t = conn_.Query(query);
        std::string r;
        for (std::size_t k = 0; k < t.rowCount(); ++k) r += (k ? "," : "") + t.at(k, 0).toText();
        return r;
    }
    void expectAnswers(const std::vector<testing::PgAnswer>& cases) { testing::expectRows(conn_, cases); }

    std::string server_;
    Connection conn_;
};

TEST_F(PgTarget, TextAnswersAsSqlServers) {
    expectAnswers({
        {"select 'ab' + N'c'", "abc"},
        {"select 名称 + '!' from 目标客户 where 代码 = 'b'", "乙!"},
        {"select len('ab  '), len(N'张三')", "2|2"},
        {"select '5' + 1, 1 + '5'", "6|6"},
        {"select charindex('B', 'abc'), charindex('c', 'abcabc', 4), charindex('x', 'abc')", "2|6|0"},
        {"select isnull(null, 'x'), isnull(名称, '无') from 目标客户 where 代码 = 'A'", "x|甲"},
        {"select left('abcd', 2) + right('abcd', 1) + replicate('-', 2) + space(1) + 'e'", "abd-- e"},
        {"select upper(N'ab张'), ltrim('  a'), rtrim('a  ') + '|'", "AB张|a|a|"},
        // a column's text, of the collation that cannot find substrings, split all the same
        {"select count(*) from 目标客户 c join string_split(c.名称, N'三') s on 1 = 1 where c.代码 = 'z'",
         "2"},
    });
}

// (sets, ranges, case and NOT LIKE: TsqlText's, which runs here too)
TEST_F(PgTarget, LikeReadsThePatternsOtherCharactersAsThemselves) {
    EXPECT_EQ(
        row("select case when 'a.b' like 'a_b' and 'a(b' like 'a(b' and 'axb' not like 'a.b' then 1 else 0 "
            "end"),
        "1");
}

// (ROUND, CEILING, FLOOR, POWER, EOMONTH and CONVERT's styles: TsqlNumbers', TsqlDates', run here too)
TEST_F(PgTarget, NumbersAnswerAsSqlServers) {
    expectAnswers({
        {"select abs(-3), 7 / 2, 7 % 3", "3|3|1"},
        {"select sum(余额), count(余额), max(代码) from 目标客户", "24.50|3|z"},
        // a whole type keeps a number's whole part; bit is 1 for any number but 0
        {"select cast(3.5 as int), cast(-3.5 as smallint), convert(bigint, 2.7), cast('12' as int)",
         "3|-3|2|12"},
        {"select cast(0.5 as bit), cast(9223372036854775807 as bigint)", "1|9223372036854775807"},
    });
}

TEST_F(PgTarget, DatesAnswerAsSqlServers) {
    expectAnswers({
        {"select convert(varchar(8), 建立, 108), year(建立), month(建立), day(建立) from 目标客户 where 代码 "
         "= 'b'",
         "13:04:05|2024|1|5"},
        {"select datediff(month, '2024-01-31', '2024-02-01'), datediff(year, '2024-12-31', '2025-01-01'), "
         "datediff(day, '2024-02-28', '2024-03-01'), datediff(week, '2024-01-06', '2024-01-07')",
         "1|1|2|1"},
        {"select datediff(hour, '2024-01-01 10:59', '2024-01-01 11:00'), datediff(minute, '2024-01-01 "
         "10:59:59', "
         "'2024-01-01 11:00:00')",
         "1|1"},
        {"select convert(varchar(10), dateadd(month, 1, '2024-01-31'), 120), "
         "convert(varchar(10), dateadd(dd, -1, '2024-03-01'), 120), convert(varchar(10), dateadd(yy, 1, "
         "'2024-02-29'), 120)",
         "2024-02-29|2024-02-29|2025-02-28"},
        {"select datepart(weekday, '2024-01-07'), datepart(dy, '2024-02-01'), datepart(week, '2024-01-07'), "
         "datepart(quarter, '2024-05-01')",
         "1|32|2|2"},
        // the week before the year's first Sunday is its first; names in the connection's 简体中文
        {"select datepart(week, '2024-01-06'), datename(month, '2024-01-05'), datename(weekday, "
         "'2024-01-05'), "
         "format(cast('2024-01-05' as date), 'MMMM')",
         "1|01|星期五|一月"},
    });
}

TEST_F(PgTarget, TopBecomesALimitOfItsOwnQuery) {
    EXPECT_EQ(column("select top 2 代码 from 目标客户 order by 编号"), "b,A");
    EXPECT_EQ(
        column("select top (1) 代码 from 目标客户 where 编号 in (select top 3 编号 from 目标客户 order by "
               "编号 desc) order by 编号"),
        "A");
    EXPECT_EQ(row("select count(*) from (select distinct top 3 代码 from 目标客户 order by 代码) t"), "3");
}

// T (NOLOCK), the older form without WITH; a function of one argument named like a hint stays a call
TEST_F(PgTarget, HintsWrittenWithoutWithAreHints) {
    expectAnswers({
        {"select count(*) from 目标客户 (nolock)", "4"},
        {"select t.代码 from 目标客户 t (nolock) where t.编号 = 1", "b"},
        {"select count(*) from 目标客户 a (nolock) join 目标客户 b (nolock) on a.编号 = b.编号", "4"},
        {"select count(nolock) from (select 1 as nolock) t", "1"},
    });
}

TEST_F(PgTarget, IdentityIsTheConnectionsLastInsert) {
    conn_.Execute("drop table if exists 目标单据");
    conn_.Execute("create table 目标单据 (编号 int identity(100, 10) not null, 单号 varchar(10))");
    EXPECT_EQ(row("select @@identity, scope_identity()"), "NULL|NULL");
    conn_.Execute("insert into 目标单据 (单号) values ('a')");
    conn_.Execute("insert into [目标单据] (单号) values ('b')");
    EXPECT_EQ(row("select @@identity, scope_identity()"), "110|110");
    EXPECT_EQ(column("select 编号 from 目标单据 order by 编号"), "100,110");
}

TEST_F(PgTarget, CatalogueListsColumnsAsSqlServerNamesThem) {
    EXPECT_EQ(
        column("select name + ':' + type_name(xtype) from syscolumns where object_name(id) = '目标客户' "
               "order by colid"),
        "编号:int,代码:varchar,名称:nvarchar,余额:decimal,建立:datetime");
    EXPECT_EQ(row("select count(*) from syscolumns where object_name(id) = 'SYSCOLUMNS'"), "0");
    conn_.Execute("drop table if exists TargetCase");
    conn_.Execute("create table TargetCase (Id int)");
    EXPECT_EQ(row("select count(*) from syscolumns where object_name(id) = 'targetcase' and name = 'ID'"),
              "1");
    EXPECT_EQ(row("select case when object_id('dbo.TargetCase') is null then 0 else 1 end"), "1");
}

// Neither the schema palvo's tables and views, PostgreSQL's own, nor a table of a schema off the search path.
TEST_F(PgTarget, CatalogueViewsShowOnlyTheHostsTables) {
    Connection admin;
    admin.setStatementTranslator({});  // PostgreSQL's own statements
    admin.Open(server_);
    admin.Execute("create schema if not exists 目标别处");
    admin.Execute("create table if not exists 目标别处.藏表 (k int)");
    const std::string others = " in ('runtime', 'syscolumns', 'pg_class', 'sys.tables', '藏表')";
    for (const std::string& query :
         {"select count(*) from sys.objects where name" + others,
          "select count(*) from sys.tables where name" + others,
          "select count(*) from INFORMATION_SCHEMA.TABLES where TABLE_NAME" + others,
          "select count(*) from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME" + others}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(row(query), "0");
    }
    EXPECT_EQ(row("select count(*) from sys.objects where name = '目标客户'"), "1");
}

TEST_F(PgTarget, ConstructsWithoutARenderingAreRefusedByName) {
    const struct {
        const char* statement;
        const char* message;
    } cases[] = {
        {"select top 10 percent 代码 from 目标客户", "Not supported on PostgreSQL: TOP ... PERCENT."},
        {"select top 1 with ties 代码 from 目标客户",
         "Not supported on PostgreSQL: TOP ... WITH TIES without ORDER BY."},
        {"select top 1 代码 from 目标客户 union select 'x'",
         "Not supported on PostgreSQL: TOP in a query with UNION."},
        {"delete top (1) from 目标客户 output deleted.代码",
         "Not supported on PostgreSQL: TOP in DELETE with OUTPUT."},
        {"delete top (?) from 目标客户 where 代码 = ?",
         "Not supported on PostgreSQL: TOP in DELETE with a parameter for its count and another after it."},
        {"select soundex('a')", "Not supported on PostgreSQL: the function SOUNDEX()."},
        {"select datalength(名称) from 目标客户", "Not supported on PostgreSQL: the function DATALENGTH()."},
        {"select * from 目标客户 with (readpast)", "Not supported on PostgreSQL: the table hint READPAST."},
        {"update 目标客户 with (updlock) set 代码 = 'x'",
         "Not supported on PostgreSQL: the table hints UPDLOCK, XLOCK and HOLDLOCK outside a SELECT's own "
         "FROM."},
        {"create table 目标算 (a int, b as a + 1)", "Not supported on PostgreSQL: computed column b."},
        {"select 代码 collate Chinese_PRC_CS_AS from 目标客户", "Not supported on PostgreSQL: COLLATE."},
        {"select cast(1 as sql_variant)", "Not supported on PostgreSQL: the type sql_variant."},
        {"select rand(7)", "Not supported on PostgreSQL: the function RAND()."},
        {"select 0x1F", "Not supported on PostgreSQL: binary literal 0x1F."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        const auto [number, text] = errorOf([&] { conn_.Execute(c.statement); });
        EXPECT_EQ(number, ErrorNumber::NotSupported);
        EXPECT_EQ(text, c.message);
    }
}

TEST_F(PgTarget, AFailureIsReportedAsSqlServerReportsIt) {
    conn_.Execute("drop table if exists 目标明细");
    conn_.Execute(
        "create table 目标明细 (行 int primary key, 客户 int references 目标客户 (编号), 码 varchar(4) "
        "unique)");
    conn_.Execute("insert into 目标明细 (行, 客户, 码) values (1, 1, 'a')");
    const struct {
        const char* statement;
        long number;
        const char* text;
    } cases[] = {
        {"insert into 目标客户 (编号, 代码) values (1, 'x')", 2627,
         "违反了 PRIMARY KEY 约束 '目标客户_pkey'。不能在对象 'dbo.目标客户' 中插入重复键。"},
        {"insert into 目标明细 (行, 码) values (2, 'a')", 2627,
         "违反了 UNIQUE KEY 约束 '目标明细_码_key'。不能在对象 'dbo.目标明细' 中插入重复键。"},
        // (PostgreSQL names only the referencing column, which SQL Server's text shows the referenced one's
        // place)
        {"insert into 目标明细 (行, 客户) values (3, 999)", 547,
         "INSERT 语句与 FOREIGN KEY "
         "约束\"目标明细_客户_fkey\"冲突。该冲突发生于数据库\"palvo\"，表\"dbo.目标客户\", "
         "column '客户'。"},
        {"delete from 目标客户 where 编号 = 1", 547,
         "DELETE 语句与 REFERENCE "
         "约束\"目标明细_客户_fkey\"冲突。该冲突发生于数据库\"palvo\"，表\"dbo.目标明细\", "
         "column '客户'。"},
        {"insert into 目标客户 (名称) values ('x')", 515,
         "不能将值 NULL 插入列 '代码'，表 'palvo.dbo.目标客户'；列不允许有 Null 值。INSERT 失败。"},
        {"select * from 无此表", 208, "对象名 '无此表' 无效。"},
        {"drop table 无此表", 3701, "无法对 表 '无此表' 执行 删除，因为它不存在，或者您没有所需的权限。"},
        {"select 无此列 from 目标客户", 207, "列名 '无此列' 无效。"},
        {"select 1 / 0", 8134, "遇到以零作除数错误。"},
        {"insert into 目标客户 (代码) values ('12345678901')", 8152, "将截断字符串或二进制数据。"},
        {"select cast('x' as int)", 245, "在将 varchar 值 'x' 转换成数据类型 int 时失败。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        const Error e = testing::raised([&] { conn_.Execute(c.statement); });
        EXPECT_EQ(e.nativeCode(), c.number);
        EXPECT_EQ(e.description(), c.text);
    }
}

TEST_F(PgTarget, AConnectionInUsEnglishNamesDatePartsInEnglish) {
    Connection english;
    english.Open(server_ + ";Language=us_english;");
    const ResultTable names =
        english.Query("select datename(month, '2024-01-05'), format(cast('2024-01-05' as date), 'dddd')");
    EXPECT_EQ(names.at(0, 0).toText(), "January");
    EXPECT_EQ(names.at(0, 1).toText(), "Friday");
}

// word for word: the answers suites' refusals only look for SQL Server's words within the message
TEST_F(PgTarget, AConnectionInUsEnglishGivesSqlServersEnglishErrors) {
    Connection english;
    english.Open(server_ + ";Language=us_english;");
    const auto failure = testing::fullErrorOf([&] { english.Query("select cast('x' as int)"); });
    EXPECT_EQ(std::get<1>(failure), 245);
    EXPECT_EQ(std::get<2>(failure),
              "Conversion failed when converting the varchar value 'x' to data type int.");
}

TEST_F(PgTarget, ALanguageItDoesNotSpeakFailsTheOpen) {
    Connection other;
    const auto [number, text] = errorOf([&] { other.Open(server_ + ";Language=deutsch;"); });
    EXPECT_EQ(number, ErrorNumber::ConnectionFailed);
    EXPECT_EQ(text, "Language must be 简体中文 or us_english, not 'deutsch'.");
    EXPECT_FALSE(other.State());
}

// UPDLOCK and HOLDLOCK become FOR UPDATE: another connection waits to change the rows read until the
// reading transaction ends; a row the query did not read stays free.
TEST_F(PgTarget, UpdlockKeepsTheRowsReadFromOtherWritersUntilTheTransactionEnds) {
    conn_.BeginTrans();
    EXPECT_EQ(row("select 代码 from 目标客户 with (updlock, holdlock) where 代码 = 'b'"), "b");
    Connection other;
    other.Open(server_);
    other.CommandTimeout(1);
    EXPECT_EQ(other.Execute("update 目标客户 set 余额 = 余额 where 代码 = 'z'"), 1);
    EXPECT_NE(errorOf([&] { other.Execute("update 目标客户 set 余额 = 余额 where 代码 = 'b'"); }).first, 0);
    conn_.RollbackTrans();
    EXPECT_EQ(other.Execute("update 目标客户 set 余额 = 余额 where 代码 = 'b'"), 1);
}

// A new database's runtime schema is installed by whichever connection comes first; the
// others wait for it and find it there.
TEST_F(PgTarget, ConnectionsOpeningTogetherInstallTheRuntimeOnce) {
    Connection admin;
    admin.setStatementTranslator({});
    admin.Open(server_);
    admin.Execute("drop database if exists palvo_fresh");
    admin.Execute("create database palvo_fresh");
    const std::string fresh =
        std::regex_replace(server_, std::regex("Database=[^;]*;"), "Database=palvo_fresh;");
    std::vector<std::thread> clients;
    std::vector<std::string> answers(6);
    for (std::size_t k = 0; k < answers.size(); ++k) {
        clients.emplace_back([&, k] {
            try {
                Connection c;
                c.Open(fresh);
                answers[k] = c.Query("select len('ab ') + 1").at(0, 0).toText();
            } catch (const Error& e) {
                answers[k] = e.description();
            }
        });
    }
    for (auto& t : clients) t.join();
    for (const auto& a : answers) EXPECT_EQ(a, "3");
    {
        Connection c;
        c.Open(fresh);
        EXPECT_EQ(c.Query("select count(*) from palvo.runtime").at(0, 0).toText(), "1");
    }
    admin.Execute("drop database palvo_fresh");
}

}  // namespace
}  // namespace Palvo::odbc
