// What the embedded database answers where SQL Server's answer is documented:
// datetime ticks, the functions of T-SQL programs, identities, the names and
// rows a statement reports. The same tests run on a real SQL Server when
// PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Row;

class SqlServerAnswers : public testing::AnswersTest {};

// ---- datetime in ticks of 1/300 s

struct Tick {
    const char* written;
    const char* kept;  // convert(varchar(23), d, 121)
};

constexpr Tick kTicks[] = {
    {"2004-05-06 10:20:30.000", "2004-05-06 10:20:30.000"},
    {"2004-05-06 10:20:30.001", "2004-05-06 10:20:30.000"},
    {"2004-05-06 10:20:30.002", "2004-05-06 10:20:30.003"},
    {"2004-05-06 10:20:30.005", "2004-05-06 10:20:30.007"},
    {"2004-05-06 10:20:30.999", "2004-05-06 10:20:31.000"},
    {"2004-12-31 23:59:59.999", "2005-01-01 00:00:00.000"},
    // before 1900 the ticks are the same
    {"1753-01-01 00:00:00.002", "1753-01-01 00:00:00.003"},
    {"1820-07-15 08:30:00.001", "1820-07-15 08:30:00.000"},
    {"1899-12-31 12:00:00.005", "1899-12-31 12:00:00.007"},
    {"1899-12-31 23:59:59.998", "1899-12-31 23:59:59.997"},
    {"1899-12-31 23:59:59.999", "1900-01-01 00:00:00.000"},
};

TEST_P(SqlServerAnswers, DatetimeKeepsItsTimeInTicksOfAThreeHundredthSecond) {
    conn_->Execute("create table 时刻 (k int, d datetime)");
    int k = 0;
    for (const Tick& t : kTicks) {
        SCOPED_TRACE(t.written);
        const std::string literal = std::string("'") + t.written + "'";
        EXPECT_EQ(scalar("select convert(varchar(23), convert(datetime, " + literal + "), 121)"), t.kept);
        conn_->Execute("insert into 时刻 values (" + std::to_string(++k) + ", " + literal + ")");
        const std::string where = " from 时刻 where k = " + std::to_string(k);
        EXPECT_EQ(scalar("select convert(varchar(23), d, 121)" + where), t.kept);
        // a literal compared with the column is a datetime, rounded the same way
        EXPECT_EQ(scalar("select count(*)" + where + " and d = " + literal), "1");
        EXPECT_EQ(scalar("select count(*)" + where + " and d = '" + t.kept + "'"), "1");
    }
    const std::string at100 = " from 时刻 where k = 100";
    conn_->ExecuteWith("insert into 时刻 values (?, ?)", {100, DateTime{2004, 2, 29, 23, 59, 59, 999}});
    EXPECT_EQ(scalar("select convert(varchar(23), d, 121)" + at100), "2004-03-01 00:00:00.000");
    conn_->Execute("update 时刻 set d = '2004-05-06 10:20:30.005' where k = 100");
    EXPECT_EQ(scalar("select convert(varchar(23), d, 121)" + at100), "2004-05-06 10:20:30.007");
    EXPECT_EQ(scalar("select convert(varchar(23), dateadd(ms, 1, d), 121)" + at100),
              "2004-05-06 10:20:30.007");
    EXPECT_EQ(scalar("select convert(varchar(23), dateadd(ms, -1, '1900-01-01 00:00:00.000'), 121)"),
              "1900-01-01 00:00:00.000");
    EXPECT_EQ(scalar("select convert(varchar(23), dateadd(ms, 5, '1899-12-31 12:00:00.000'), 121)"),
              "1899-12-31 12:00:00.007");

    // smalldatetime reads the datetime first: 29.998 s rounds down, 29.999 s up
    EXPECT_EQ(scalar("select convert(varchar(16), convert(smalldatetime, '2004-01-01 10:20:29.998'), 120)"),
              "2004-01-01 10:20");
    EXPECT_EQ(scalar("select convert(varchar(16), convert(smalldatetime, '2004-01-01 10:20:29.999'), 120)"),
              "2004-01-01 10:21");

    // the last moment rounds beyond the range: refused, nothing stored
    EXPECT_EQ(refused("select convert(datetime, '9999-12-31 23:59:59.999')",
                      "The conversion of a varchar data type to a datetime data type resulted in an "
                      "out-of-range value."),
              242);
    EXPECT_EQ(refused("insert into 时刻 values (200, '9999-12-31 23:59:59.999')"), 242);
    EXPECT_EQ(scalar("select count(*) from 时刻 where k = 200"), "0");
    EXPECT_EQ(scalar("select convert(varchar(23), convert(datetime, '9999-12-31 23:59:59.998'), 121)"),
              "9999-12-31 23:59:59.997");
}

// ---- functions of T-SQL programs

TEST_P(SqlServerAnswers, CodeFunctionsConvertCodesToCharactersBothWays) {
    EXPECT_EQ(row("select char(10), char(65), nchar(20013), ascii('A'), ascii('中'), unicode(N'中'), "
                  "unicode(N'a中')"),
              (Row{"\n", "A", "中", "65", "214", "20013", "97"}));
    // beyond the range, and of an empty text: Null
    EXPECT_EQ(row("select char(256), char(-1), nchar(65536), ascii(''), unicode(N''), char(null)"),
              (Row(6, "<null>")));
    EXPECT_EQ(refused("select char('x')",
                      "Conversion failed when converting the varchar value 'x' to data type int."),
              245);
}

TEST_P(SqlServerAnswers, DatalengthCountsTheBytesOfEachType) {
    conn_->Execute(
        "create table 长度 (v varchar(20), nv nvarchar(20), c char(6), nc nchar(3), i int, b bigint, "
        "d datetime, m decimal(18,2), f float, bt bit, e varchar(5))");
    conn_->Execute(
        "insert into 长度 values ('a中', N'a中', 'ab', N'x', 5, 5, '2004-01-01', 1.5, 1.5, 1, null)");
    EXPECT_EQ(row("select datalength(v), datalength(nv), datalength(c), datalength(nc), datalength(i), "
                  "datalength(b), datalength(d), datalength(m), datalength(f), datalength(bt), datalength(e) "
                  "from 长度"),
              (Row{"3", "4", "6", "6", "4", "8", "8", "9", "8", "1", "<null>"}));
    EXPECT_EQ(row("select datalength(t.nv), datalength('ab'), datalength(N'ab'), datalength(N'中'), "
                  "datalength(convert(nvarchar(10), v)) from 长度 t"),
              (Row{"4", "2", "4", "2", "4"}));
}

// ---- identities

TEST_P(SqlServerAnswers, IdentityFunctionsFollowTheConnectionsInserts) {
    conn_->Execute("create table 单据 (id int identity(1,1) primary key, 名称 nvarchar(10))");
    conn_->Execute("create table 日志 (x int)");
    EXPECT_EQ(row("select @@identity, scope_identity(), ident_current('单据')"),
              (Row{"<null>", "<null>", "1"}));  // the seed before the first row
    conn_->Execute("insert into 单据 (名称) values (N'甲')");
    conn_->Execute("insert into 单据 (名称) values (N'乙')");
    // each call is a batch of its own: SCOPE_IDENTITY() sees no insert of its batch
    EXPECT_EQ(row("select @@identity, scope_identity(), ident_current('单据')"), (Row{"2", "<null>", "2"}));
    conn_->Execute("insert into 日志 values (1)");  // a table without an identity
    EXPECT_EQ(row("select @@identity, ident_current('单据'), ident_current('日志'), ident_current('无此表')"),
              (Row{"<null>", "2", "<null>", "<null>"}));
    conn_->ExecuteWith("insert into 单据 (名称) values (?)", {"丙"});
    EXPECT_EQ(scalar("select @@identity"), "3");
    conn_->Execute("update 单据 set 名称 = N'丁' where id = 1");
    conn_->Execute("delete from 单据");
    EXPECT_EQ(row("select @@identity, ident_current('单据')"), (Row{"3", "3"}));
    // the identity fills a row of another table
    conn_->Execute("insert into 单据 (名称) values (N'戊')");
    conn_->Execute("insert into 日志 values (@@identity)");
    EXPECT_EQ(scalar("select max(x) from 日志"), "4");
    // the table as the INSERT names it, in another case
    conn_->Execute("create table Orders (id int identity(1,1), n int)");
    conn_->Execute("insert into ORDERS (n) values (7)");
    EXPECT_EQ(row("select @@identity, ident_current('orders')"), (Row{"1", "1"}));
}

// ---- what a statement reports about itself

TEST_P(SqlServerAnswers, ExpressionsWithoutAnAliasAreUnnamed) {
    conn_->Execute("create table 流水 (编号 int, 金额 decimal(18,2))");
    conn_->Execute("insert into 流水 values (1, 1.5)");
    Recordset rs;
    rs.Open("select sum(金额), count(*) as 笔数, max(编号), 编号, 流水.金额 from 流水 group by 编号, 金额",
            conn_);
    Row fields;
    for (long i = 0; i < rs.Fields().Count(); ++i) fields.push_back(rs.Fields(i).Name());
    EXPECT_EQ(fields, (Row{"", "笔数", "", "编号", "金额"}));
    // the others are still found by name
    EXPECT_EQ(rs.Fields("笔数").Value().toText(), "1");
    EXPECT_EQ(rs.Fields("金额").Value().toText(), "1.5");
    rs.Close();

    EXPECT_EQ(names("select *, 金额 * 2, 1 from 流水"), (Row{"编号", "金额", "", ""}));
    EXPECT_EQ(names("select 金额 * 2 as 双倍, 编号 号 from 流水"), (Row{"双倍", "号"}));
    EXPECT_EQ(names("select count(*) as n from 流水 union all select count(*) from 流水"), (Row{"n"}));
    EXPECT_EQ(names("with c as (select sum(金额) as s from 流水) select s, s + 1 from c"), (Row{"s", ""}));
}

TEST_P(SqlServerAnswers, AChangeFromACteReportsItsRows) {
    conn_->Execute("create table 流水 (编号 int, 金额 decimal(18,2))");
    conn_->Execute("create table 大额 (编号 int, 金额 decimal(18,2))");
    for (int k = 1; k <= 4; ++k)
        conn_->Execute("insert into 流水 values (" + std::to_string(k) + ", " + std::to_string(k * 10) + ")");
    EXPECT_EQ(conn_->Execute("with c as (select 编号, 金额 from 流水 where 金额 > 15) "
                             "insert into 大额 (编号, 金额) select 编号, 金额 from c"),
              3);
    EXPECT_EQ(conn_->Execute("with c as (select 编号 from 大额 where 金额 > 35) "
                             "delete from 流水 where 编号 in (select 编号 from c)"),
              1);
    EXPECT_EQ(conn_->Execute("insert into 大额 select 编号, 金额 from 流水 where 编号 < 0"), 0);
}

// ---- schema changes

// to the old rows only when it must (NOT NULL) or is asked (WITH VALUES)
TEST_P(SqlServerAnswers, AColumnAddedWithADefaultFillsTheRowsSqlServerFills) {
    conn_->Execute("create table 存货 (编号 int)");
    conn_->Execute("insert into 存货 values (1)");
    conn_->Execute("alter table 存货 add 单价 decimal(18,2) default 0");  // may hold Null: the old rows do
    conn_->Execute("alter table 存货 add 数量 int not null default 1");
    conn_->Execute("alter table 存货 add 备注 varchar(4) default 'x' with values");
    conn_->Execute("insert into 存货 (编号) values (2)");
    EXPECT_EQ(row("select 单价, 数量, 备注 from 存货 where 编号 = 1"), (Row{"<null>", "1", "x"}));
    EXPECT_EQ(row("select 单价, 数量, 备注 from 存货 where 编号 = 2"), (Row{"0", "1", "x"}));
    // the added column's type holds, and a refused row changes nothing
    EXPECT_EQ(refused("insert into 存货 (编号, 备注) values (3, 'abcde')"), 8152);
    EXPECT_EQ(scalar("select count(*) from 存货"), "2");
}

TEST_P(SqlServerAnswers, ChangedColumnsKeepWhatTheTableEnforces) {
    conn_->Execute(
        "create table 货品 (编号 int identity(1,1) primary key, 名称 varchar(10), 单价 decimal(18,2), "
        "日期 datetime, 备注 varchar(20))");
    conn_->Execute("create unique index IX_货品_名称 on 货品 (名称)");
    conn_->Execute("insert into 货品 (名称, 单价, 日期) values ('甲', 1.5, '2004-01-01')");
    conn_->Execute("insert into 货品 (名称, 单价, 日期) values ('乙', 2.25, '2004-01-02 10:00')");
    auto columns = [&](const std::string& table) { return names("select * from " + table + " where 1 = 0"); };

    conn_->Execute("alter table 货品 drop column 备注");
    EXPECT_EQ(columns("货品"), (Row{"编号", "名称", "单价", "日期"}));
    // refused, leaving the table as it was
    EXPECT_EQ(refused("alter table 货品 drop column 名称"), 5074);  // the index needs it
    EXPECT_EQ(refused("alter table 货品 drop column 无此列"), 4924);
    EXPECT_EQ(refused("alter table 货品 alter column 名称 varchar(1)"), 8152);  // 甲 is two bytes
    EXPECT_EQ(columns("货品"), (Row{"编号", "名称", "单价", "日期"}));
    conn_->Execute("insert into 货品 (名称) values ('abcdefghij')");
    EXPECT_EQ(refused("insert into 货品 (名称) values ('abcdefghijk')"), 8152);

    conn_->Execute("alter table 货品 alter column 名称 varchar(20)");
    conn_->Execute("alter table 货品 alter column 单价 int");
    EXPECT_EQ(row("select 名称, 单价, convert(varchar(16), 日期, 120) from 货品 where 编号 = 2"),
              (Row{"乙", "2", "2004-01-02 10:00"}));
    conn_->Execute("insert into 货品 (名称) values ('abcdefghijklmnopqrst')");
    EXPECT_EQ(refused("insert into 货品 (名称) values ('abcdefghijklmnopqrstu')"), 8152);
    EXPECT_NE(refused("insert into 货品 (名称) values ('甲')"), 0);  // the unique index is there still
    EXPECT_EQ(refused("insert into 货品 (名称, 日期) values ('丙', 'x')"), 241);
    EXPECT_EQ(refused("insert into 货品 (名称, 单价) values ('丙', 'x')"), 245);
    conn_->Execute("insert into 货品 (名称) values ('丁')");
    EXPECT_EQ(scalar("select @@identity"), "5");  // the identity went on

    conn_->Execute("exec sp_rename '货品.单价', '价格', 'COLUMN'");
    conn_->Execute("exec sp_rename '货品', '商品'");
    EXPECT_EQ(columns("商品"), (Row{"编号", "名称", "价格", "日期"}));
    EXPECT_EQ(scalar("select count(*) from 商品"), "5");
    EXPECT_EQ(refused("insert into 商品 (名称, 价格) values ('戊', 'x')"), 245);
    EXPECT_EQ(refused("insert into 商品 (名称) values ('abcdefghijklmnopqrstu')"), 8152);
    EXPECT_NE(refused("insert into 商品 (名称) values ('甲')"), 0);
    EXPECT_NE(refused("select * from 货品"), 0);
    conn_->Execute("create table 其他 (a int)");
    EXPECT_EQ(refused("exec sp_rename '商品', '其他'"), 15335);
    EXPECT_EQ(refused("exec sp_rename '无此表', '另一个'"), 15248);
    EXPECT_EQ(scalar("select count(*) from 商品"), "5");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(SqlServerAnswers);

}  // namespace
}  // namespace Palvo
