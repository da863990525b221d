// The embedded database adapter end to end: statements, metadata, recordsets.
#include "palvo/sqlite/connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "palvo/error.h"
#include "support/errors.h"
#include "support/files.h"

namespace Palvo {
namespace {

class SqliteAdapter : public ::testing::Test {
protected:
    // SQL Server's English words, which these cases compare
    void SetUp() override { conn.Open("Data Source=:memory:;Language=us_english"); }
    std::int64_t number(const std::string& sql) { return conn.Query(sql).at(0, 0).toInt64(); }
    sqlite::Connection conn;
};

TEST_F(SqliteAdapter, ScalarSubqueriesNest) {
    conn.Execute("create table kv (k int)");
    conn.Execute("insert into kv values (1), (7)");
    const std::pair<const char*, std::int64_t> cases[] = {
        {"select (select (select 1))", 1},
        {"select (select (select max(k) from kv) + 1)", 8},
        {"select (select (select min(k) from kv) from kv where k = 7)", 1},
    };
    for (const auto& [sql, expected] : cases) EXPECT_EQ(number(sql), expected) << sql;
}

TEST_F(SqliteAdapter, AGetdateDefaultFillsTheColumn) {
    conn.Execute("create table S (k int, 时间 datetime default getdate())");
    conn.Execute("insert into S (k) values (1)");
    EXPECT_NE(conn.Query("select 时间 from S").at(0, 0).dateTime(), nullptr);
}

TEST_F(SqliteAdapter, TheCommandTimeoutInterruptsALongStatement) {
    conn.CommandTimeout(1);
    EXPECT_EQ(testing::errorDescription([&] {
                  conn.Query("with c(x) as (select 1 union all select x + 1 from c) select count(*) from c");
              }),
              "Query timeout expired");
}

TEST_F(SqliteAdapter, DatetimeValuesAreStoredInOneSortableForm) {
    conn.Execute("create table D (id int, d datetime)");
    conn.Execute("insert into D values(1, '2004-1-5'), (2, '2004/01/05 8:05'), (3, null)");
    conn.ExecuteWith("insert into D values(?, ?)", {Value(4), Value(DateTime{2004, 2, 29, 23, 59, 58, 0})});
    auto raw = conn.Query("select d from D order by id");
    EXPECT_EQ(raw.at(0, 0), Value(DateTime{2004, 1, 5, 0, 0, 0, 0}));
    EXPECT_EQ(raw.at(1, 0), Value(DateTime{2004, 1, 5, 8, 5, 0, 0}));
    EXPECT_TRUE(raw.at(2, 0).isNull());
    EXPECT_EQ(raw.at(3, 0), Value(DateTime{2004, 2, 29, 23, 59, 58, 0}));
    EXPECT_EQ(number("select count(*) from D where d || '' in "
                     "('2004-01-05 00:00:00.000', '2004-01-05 08:05:00.000')"),
              2);
    conn.Execute("update D set d = '2005-3-1' where id = 1");
    EXPECT_EQ(conn.Query("select d from D where id = 1").at(0, 0).toText(), "2005-03-01");
}

TEST_F(SqliteAdapter, ADayThatDoesNotExistIsRefused) {
    conn.Execute("create table D (d datetime)");
    conn.Execute("insert into D values('2004-01-05')");
    // the stored form's shape is no pass for a day that does not exist
    for (const char* day : {"2005-13-01", "2005-02-30 00:00:00.000"}) {
        SCOPED_TRACE(day);
        EXPECT_THROW(conn.Execute(std::string("update D set d = '") + day + "'"), Error);
    }
}

TEST_F(SqliteAdapter, DateLiteralsCompareAsSqlServerComparesDates) {
    conn.Execute("create table D (d datetime)");
    conn.Execute("insert into D values('2004-01-05 08:05'), ('2004-02-29 23:59:58'), ('2005-03-01'), (null)");
    const std::pair<const char*, std::int64_t> cases[] = {
        {"d = '2004-01-05'", 0},
        {"d = '2004-01-05 08:05'", 1},
        {"d > '2004-01-05'", 3},
        {"d between '2004-01-05' and '2004-01-06'", 1},
        {"datediff(d, d, '2004-01-05') = 0", 1},
    };
    for (const auto& [where, expected] : cases)
        EXPECT_EQ(number(std::string("select count(*) from D where ") + where), expected) << where;
}

TEST_F(SqliteAdapter, TheOtherSqlServerTypesHaveTheirMetadata) {
    // the types DataAccess.FieldsDescribeTheirColumns does not cover, with their
    // base columns
    conn.Execute(
        "create table M (b smallint, f real, h money, i smallmoney, k numeric(10,3), m smalldatetime, n "
        "char(5), p nchar(6), t binary(4), u varbinary(8), w uniqueidentifier, x varchar(max))");
    conn.Execute(
        "insert into M values(2,1.5,12.5,3,1.25,'2004-01-31 08:05','ab','中',0x01,0x0203,'AB-CD','max')");
    auto m = conn.Query("select * from M");
    // type, defined size, precision, scale, value (Null: not checked; exact numbers keep every scale digit)
    const std::tuple<int, long, int, int, Value> e[] = {
        {adSmallInt, 2, 5, 255, 2},
        {adSingle, 4, 7, 255, 1.5},
        {adCurrency, 8, 19, 255, Decimal{"12.5000"}},
        {adCurrency, 4, 10, 255, Decimal{"3.0000"}},
        {adNumeric, 19, 10, 3, Decimal{"1.250"}},
        {adDBTimeStamp, 16, 16, 0, DateTime{2004, 1, 31, 8, 5, 0, 0}},
        {adChar, 5, 255, 255, "ab"},
        {adWChar, 6, 255, 255, "中"},
        {adBinary, 4, 255, 255, Value()},
        {adVarBinary, 8, 255, 255, Bytes{{2, 3}}},
        {adGUID, 16, 255, 255, "AB-CD"},
        {adLongVarChar, 2147483647, 255, 255, "max"}};
    ASSERT_EQ(m.columns.size(), std::size(e));
    for (std::size_t i = 0; i < std::size(e); ++i) {
        SCOPED_TRACE(m.columns[i].name);
        const auto& [type, size, precision, scale, value] = e[i];
        EXPECT_EQ(m.columns[i].type, type);
        EXPECT_EQ(m.columns[i].definedSize, size);
        EXPECT_EQ(m.columns[i].precision, precision);
        EXPECT_EQ(m.columns[i].numericScale, scale);
        EXPECT_EQ(m.columns[i].baseTable, "M");
        EXPECT_EQ(m.columns[i].baseColumn, m.columns[i].name);
        if (!value.isNull()) {
            EXPECT_EQ(m.at(0, i), value) << m.at(0, i).toText();
        }
    }
}

TEST_F(SqliteAdapter, ObjectNameGivesTheNameAsCreatedWhateverTheCaseAsked) {
    conn.Execute("create table T (名称 nvarchar(20))");
    EXPECT_EQ(conn.Query("select object_name(object_id('t'))").at(0, 0).toText(), "T");
}

TEST_F(SqliteAdapter, ExpressionColumnsTakeTheirTypeFromTheirValues) {
    conn.Execute("create table N (v varchar(10))");
    conn.Execute("insert into N values('a'), ('abcd')");
    auto t = conn.Query(
        "select count(*) as c, 5000000000 as big, 1.5 as r, v + 'x' as s, getdate() as g from N group by v");
    ASSERT_EQ(t.rowCount(), 2u);
    EXPECT_EQ(t.columns[0].type, adInteger);
    EXPECT_EQ(t.columns[1].type, adBigInt);
    EXPECT_EQ(t.columns[2].type, adNumeric);  // the literal's numeric(2,1), as SQL Server types it
    EXPECT_EQ(t.columns[3].type, adVarChar);
    EXPECT_EQ(t.columns[3].definedSize, 5);
    EXPECT_EQ(t.columns[3].baseTable, "");
    EXPECT_EQ(t.columns[4].type, adDBTimeStamp);
    auto none = conn.Query("select v + 'x' as s from N where 1 = 0");
    EXPECT_EQ(none.columns[0].type, adVarChar);
}

// UPDATE ... FROM's other forms: TsqlDml
TEST_F(SqliteAdapter, UpdateFromTakesATargetColumnQualifiedByItsAlias) {
    conn.Execute("create table T (k int, c varchar(10))");
    conn.Execute("create table X (k int, c varchar(10))");
    conn.Execute("insert into T values(1, 'old'), (3, 'old')");
    conn.Execute("insert into X values(1, 'new1'), (3, 'new3')");
    EXPECT_EQ(conn.Execute("update a set a.c = b.c + '!' from T a join X b on a.k = b.k where b.k = 3"), 1);
    auto rows = conn.Query("select c from T order by k");
    EXPECT_EQ(rows.at(0, 0).toText(), "old");
    EXPECT_EQ(rows.at(1, 0).toText(), "new3!");
}

TEST(SqliteOpen, ADataSourceOrABarePathOpensTheFile) {
    const testing::ScratchDir scratch("palvo_sqlite");
    const std::string file = scratch.path.string() + "/a.db";
    {
        sqlite::Connection c;
        c.Open("Data Source=" + file + ";Mode=ReadWrite");
        c.Execute("create table T (v int)");
        c.Execute("insert into T values(1)");
    }
    EXPECT_TRUE(std::filesystem::exists(file));
    sqlite::Connection c;
    c.Open(file);
    EXPECT_EQ(c.Query("select v from T").at(0, 0).toInt64(), 1);
    EXPECT_EQ(c.path(), file);
}

TEST(SqliteOpen, WhatIsNoDatabaseFileFailsToOpen) {
    const testing::ScratchDir scratch("palvo_sqlite");
    const std::string dir = scratch.path.string(), junk = dir + "/junk.db";
    std::ofstream(junk, std::ios::binary)
        << "this is not a database file, not at all, really not a database.....";
    for (const std::string& source :
         {junk, std::string("Provider=SQLOLEDB;User ID=sa"), dir + "/missing/dir/x.db"}) {
        SCOPED_TRACE(source);
        sqlite::Connection bad;
        EXPECT_THROW(bad.Open(source), Error);
        EXPECT_EQ(bad.State(), adStateClosed);
    }
}

// QueryKeeping tests a text column's stored text before it makes values, and
// any other column's value as text: each must keep what reading every row and
// filtering them keeps.
TEST_F(SqliteAdapter, QueryKeepingKeepsWhatFilteringEveryRowKeeps) {
    conn.Execute("create table 网点 (编号 int, 名称 nvarchar(20), 金额 decimal(10,2), 日期 datetime)");
    conn.Execute(
        "insert into 网点 values (1, N'重庆市', 1.5, '2024-01-02'), (2, null, 12, null), "
        "(3, N'长沙市', null, '2024-03-04'), (4, N'重庆市第4', 2.25, '2024-01-05')");
    const struct Case {
        const char* column;
        const char* part;
        std::size_t limit;
        std::vector<std::int64_t> kept;  // 编号 of the rows kept
    } cases[] = {
        {"名称", "重庆", 0, {1, 4}}, {"名称", "重庆", 1, {1}},  // the reading ends at the limit
        {"名称", "", 0, {1, 3, 4}},                             // a Null is never kept
        {"金额", "2.25", 0, {4}},                               // a decimal as its text, not its stored form
        {"金额", "1", 0, {1, 2}},    {"日期", "2024-01", 0, {1, 4}}, {"编号", "3", 0, {3}},
    };
    for (const Case& c : cases) {
        Connection::RowFilter filter;
        filter.column = [&](const std::vector<ColumnInfo>& columns) -> std::optional<std::size_t> {
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (columns[i].name == c.column) return i;
            return std::nullopt;
        };
        filter.keep = [&](std::string_view text) { return text.find(c.part) != std::string_view::npos; };
        filter.limit = c.limit;
        const auto kept = conn.QueryKeeping("select * from 网点 order by 编号", filter);
        ASSERT_TRUE(kept) << c.column;
        std::vector<std::int64_t> ids;
        for (std::size_t r = 0; r < kept->rowCount(); ++r) ids.push_back(kept->at(r, 0).toInt64());
        EXPECT_EQ(ids, c.kept) << c.column << " " << c.part;
        ASSERT_EQ(kept->columns.size(), 4u);
        EXPECT_EQ(kept->columns[2].type, conn.Query("select 金额 from 网点").columns[0].type);
    }
    Connection::RowFilter none;
    none.column = [](const std::vector<ColumnInfo>&) { return std::optional<std::size_t>(); };
    none.keep = [](std::string_view) { return true; };
    EXPECT_FALSE(conn.QueryKeeping("select * from 网点", none));
}

TEST_F(SqliteAdapter, TheSchemaStampMovesWithEveryChange) {
    const auto first = conn.schemaStamp();
    ASSERT_TRUE(first);
    conn.Execute("create table t (a int)");
    conn.Execute("insert into t values (1)");
    const auto created = conn.schemaStamp();
    EXPECT_NE(created, first);
    EXPECT_EQ(conn.schemaStamp(), created) << "rows change no definition";
    for (const char* change : {"alter table t add b int", "alter table t drop column b", "drop table t"}) {
        const auto before = conn.schemaStamp();
        conn.Execute(change);
        EXPECT_NE(conn.schemaStamp(), before) << change;
    }
    sqlite::Connection other;
    other.Open(":memory:");
    EXPECT_NE(other.schemaStamp(), conn.schemaStamp()) << "two openings";
}

TEST_F(SqliteAdapter, SelectTopReadsBracketedChineseNames) {
    conn.Execute("create table [B_单位] (单位编号 varchar(10), 名称 nvarchar(50))");
    EXPECT_EQ(conn.Execute("insert into B_单位 values('0''1', N'总部')"), 1);
    EXPECT_EQ(conn.Execute("insert B_单位 (单位编号, 名称) values('02', '分部')"), 1);
    auto t = conn.Query("select top 1 名称  from [B_单位] where  [单位编号]='0''1'");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.at(0, 0).toText(), "总部");
    EXPECT_EQ(conn.Query("select top 1 * from B_单位 order by 单位编号 desc").at(0, 0).toText(), "02");
    auto empty = conn.Query("select top 0 * from B_单位");
    EXPECT_EQ(empty.rowCount(), 0u);
    EXPECT_EQ(empty.columns.size(), 2u);
}

}  // namespace
}  // namespace Palvo
