// The session's SET options in batches: what they change, and how long they hold.
// The answers run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Answer;
using testing::Row;

class TsqlSettings : public testing::AnswersTest {
protected:
    void keyed() {
        conn_->Execute("create table 账 (k int primary key)");
        conn_->Execute("insert into 账 values (1)");
    }
    void three() {
        conn_->Execute("create table 账 (k int primary key) insert into 账 values (1), (2), (3)");
    }
    // the date a text reads as under the order, as yyyy-mm-dd
    std::string dated(const char* order, const char* text, const char* type) {
        return scalar(std::string("set dateformat ") + order + " select convert(varchar(10), cast('" + text +
                      "' as " + type + "), 120)");
    }
};

// under the caller's XACT_ABORT ON the duplicate ends the inner batch before its second insert
TEST_P(TsqlSettings, DynamicSqlRunsUnderItsCallersXactAbort) {
    keyed();
    const char* const calls[] = {
        "set xact_abort on exec ('insert into 账 values (1) insert into 账 values (2)')",
        "set xact_abort on exec sp_executesql N'insert into 账 values (1) insert into 账 values (2)'",
    };
    for (const char* call : calls) {
        SCOPED_TRACE(call);
        EXPECT_EQ(refused(call), 2627);
        EXPECT_EQ(scalar("select count(*) from 账"), "1");
    }
}

// SQL Server restores a SET option when the dynamic SQL that set it returns
TEST_P(TsqlSettings, XactAbortSetInDynamicSqlEndsWithIt) {
    keyed();
    EXPECT_EQ(refused("exec ('set xact_abort on') insert into 账 values (1) insert into 账 values (2)"),
              2627);
    EXPECT_EQ(scalar("select count(*) from 账"), "2");
}

TEST_P(TsqlSettings, DatefirstNumbersTheWeekdaysFromItsDay) {
    struct Case {
        const char* day;
        const char* date;
        const char* weekday;
        const char* week;
    };
    const Case cases[] = {
        {"7", "2024-01-01", "2", "1"},  // a Monday
        {"1", "2024-01-01", "1", "1"}, {"3", "2024-01-01", "6", "1"},
        {"7", "2024-01-07", "1", "2"},  // a Sunday
        {"1", "2024-01-07", "7", "1"}, {"6", "2024-01-06", "1", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.day) + " " + c.date);
        EXPECT_EQ(row(std::string("set datefirst ") + c.day + " select datepart(weekday, '" + c.date +
                      "'), datepart(week, '" + c.date + "'), @@datefirst"),
                  (testing::Row{c.weekday, c.week, c.day}));
    }
}

TEST_P(TsqlSettings, DatefirstSetInDynamicSqlEndsWithIt) {
    EXPECT_EQ(row("set datefirst 3 exec ('set datefirst 1 select @@datefirst') select @@datefirst"),
              (testing::Row{"1"}));
    EXPECT_EQ(scalar("select @@datefirst"), "3");
}

TEST_P(TsqlSettings, LanguageSetInDynamicSqlEndsWithIt) {
    EXPECT_EQ(
        scalar("set language us_english exec ('set language 简体中文') select datename(month, '2024-01-05')"),
        "January");
}

// us_english and 简体中文 both begin their weeks on Sunday
TEST_P(TsqlSettings, SetLanguageBringsItsFirstDayOfTheWeek) {
    EXPECT_EQ(scalar("set datefirst 1 set language us_english select @@datefirst"), "7");
    conn_->Execute("set datefirst 1");
    conn_->Execute("set language 简体中文");
    EXPECT_EQ(scalar("select @@datefirst"), "7");
}

TEST_P(TsqlSettings, DatefirstLeavesTheDayNames) {
    EXPECT_EQ(
        scalar("set datefirst 1 declare @n nvarchar(20) = datename(weekday, '2024-01-07') set datefirst 7 "
               "select case when datename(weekday, '2024-01-07') = @n then 'same' else 'differs' end"),
        "same");
}

// a four-digit number is the year wherever it stands; the ISO forms read alike under every order
TEST_P(TsqlSettings, DateformatOrdersTheNumbersOfADate) {
    const char* const cases[][4] = {
        {"mdy", "12/31/98", "datetime", "1998-12-31"},
        {"dmy", "31/12/98", "datetime", "1998-12-31"},
        {"ymd", "98.12.31", "datetime", "1998-12-31"},
        {"ydm", "1998/31/12", "datetime", "1998-12-31"},
        {"myd", "12-98-31", "smalldatetime", "1998-12-31"},
        {"dym", "31/1998/12", "datetime", "1998-12-31"},
        {"dmy", "31/12/2008 09:01", "datetime", "2008-12-31"},
        {"ymd", "12/31/2008", "datetime", "2008-12-31"},
        {"dmy", "2008-12-01", "datetime", "2008-01-12"},
        {"dmy", "2008-12-01", "date", "2008-12-01"},
        {"dmy", "2008-12-01T10:00:00", "datetime", "2008-12-01"},
        {"dym", "20081201", "datetime", "2008-12-01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c[0]) + " " + c[1] + " " + c[2]);
        EXPECT_EQ(dated(c[0], c[1], c[2]), c[3]);
    }
}

// what a column holds is a date already: only a text compared with it is read in the order
TEST_P(TsqlSettings, ADateColumnReadsAlikeUnderEveryOrder) {
    conn_->Execute("create table 日 (d datetime)");
    conn_->Execute("insert into 日 values ('2024-01-02T00:00:00')");
    for (const char* order : {"dmy", "ydm", "dym"}) {
        SCOPED_TRACE(order);
        EXPECT_EQ(
            row(std::string("set dateformat ") + order +
                " select month(d), datepart(day, d), convert(varchar(10), dateadd(day, 1, d), 120) from 日"),
            (Row{"1", "2", "2024-01-03"}));
    }
    EXPECT_EQ(scalar("set dateformat dmy select count(*) from 日 where d = '02/01/2024'"), "1");
}

TEST_P(TsqlSettings, ADateOfNoDayInTheOrderIsOutOfRange) {
    expectRefusals({
        {"set dateformat dmy select cast('2024-01-13' as datetime)", 242, "datetime"},
        {"set dateformat mdy select cast('13/01/2024' as datetime)", 242, "datetime"},
        {"set dateformat dmy select cast('31/02/2024' as smalldatetime)", 242, "smalldatetime"},
        {"set dateformat dmy select cast('31/02/2024' as date)", 241},
    });
}

TEST_P(TsqlSettings, DateformatHoldsForTheRestOfTheSession) {
    conn_->Execute("set dateformat dmy");
    EXPECT_EQ(scalar("select convert(varchar(10), cast('02/01/2024' as datetime), 120)"), "2024-01-02");
}

TEST_P(TsqlSettings, DateformatSetInDynamicSqlEndsWithIt) {
    EXPECT_EQ(scalar("set dateformat dmy exec ('set dateformat mdy') "
                     "declare @d datetime = '02/01/2024' select convert(varchar(10), @d, 120)"),
              "2024-01-02");
}

// us_english reads mdy, 简体中文 ymd
TEST_P(TsqlSettings, SetLanguageBringsItsDateformat) {
    const char* const read = " select convert(varchar(10), cast('01/02/03' as datetime), 120)";
    EXPECT_EQ(scalar(std::string("set dateformat dmy set language us_english") + read), "2003-01-02");
    EXPECT_EQ(scalar(std::string("set dateformat dmy set language 简体中文") + read), "2001-02-03");
}

// the smaller of TOP and ROWCOUNT wins; a variable gives it too; 0 ends it
TEST_P(TsqlSettings, RowcountStopsAQueryAfterItsRows) {
    three();
    const std::pair<const char*, std::vector<Row>> cases[] = {
        {"set rowcount 2 select k from 账 order by k", {{"1"}, {"2"}}},
        {"set rowcount 2 select top 1 k from 账 order by k", {{"1"}}},
        {"set rowcount 1 select top 3 k from 账 order by k desc", {{"3"}}},
        {"declare @n int = 2 set rowcount @n select k from 账 order by k desc", {{"3"}, {"2"}}},
        {"set rowcount 2 set rowcount 0 select k from 账 order by k", {{"1"}, {"2"}, {"3"}}},
    };
    for (const auto& [sql, kept] : cases) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(rows(sql), kept);
    }
}

// the first row the query gives is the last assigned
TEST_P(TsqlSettings, RowcountStopsAnAssignmentAfterItsRows) {
    three();
    EXPECT_EQ(scalar("declare @x int set rowcount 1 select @x = k from 账 order by k desc select @x"), "3");
}

// UPDATE, DELETE and INSERT ... SELECT stop after n rows, as SQL Server's do
TEST_P(TsqlSettings, RowcountStopsAChangeAfterItsRows) {
    three();
    const Answer cases[] = {
        {"set rowcount 2 update 账 set k = k + 10 set rowcount 0 select count(*) from 账 where k > 10",
         {"2"}},
        {"set rowcount 1 delete from 账 set rowcount 0 select count(*) from 账", {"2"}},
        {"set rowcount 2 insert into 账 select k + 10 from 账 set rowcount 0 select count(*) from 账", {"5"}},
        {"declare @n int = 1 set rowcount @n update 账 set k = k + 10 select @@rowcount", {"1"}},
        {"set rowcount 5 delete from 账 where k > 1 select @@rowcount", {"2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        conn_->Execute("set rowcount 0 delete from 账 insert into 账 values (1), (2), (3)");
        EXPECT_EQ(row(c.sql), c.row);
    }
}

TEST_P(TsqlSettings, RowcountHoldsForTheRestOfTheSession) {
    three();
    conn_->Execute("set rowcount 1");
    EXPECT_EQ(rows("select k from 账 order by k"), (std::vector<Row>{{"1"}}));
}

// only a Null literal or a variable holding Null changes: a column's Null and a variable's value compare as
// ISO
TEST_P(TsqlSettings, AnsiNullsOffComparesWithNullAsEquality) {
    conn_->Execute("create table 账 (k int) insert into 账 values (1), (null), (3)");
    const Answer cases[] = {
        {"set ansi_nulls off select count(*) from 账 where k = null", {"1"}},
        {"set ansi_nulls off select count(*) from 账 where null <> k", {"2"}},
        {"declare @v int set ansi_nulls off select count(*) from 账 where @v <> k", {"2"}},
        {"set ansi_nulls off select count(*) from 账 where not (k != null)", {"1"}},
        {"declare @v int set ansi_nulls off select count(*) from 账 where k = @v", {"1"}},
        {"declare @v int = 3 set ansi_nulls off select count(*) from 账 where k <> @v", {"1"}},
        {"declare @v int, @w int set ansi_nulls off if @v = @w select 'y' else select 'n'", {"y"}},
        {"declare @v varchar(5) set ansi_nulls off select case when @v = null then 'y' else 'n' end", {"y"}},
        {"set ansi_nulls off select count(*) from 账 a join 账 b on a.k = b.k", {"2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(row(c.sql), c.row);
        conn_->Execute("set ansi_nulls on");
    }
}

// the same text is translated anew under each setting: in a loop, and sent alone
TEST_P(TsqlSettings, AnsiNullsHoldsFromItsStatementOn) {
    EXPECT_EQ(scalar("declare @v int, @n int = 0, @i int = 0 while @i < 3 begin "
                     "if @i = 1 set ansi_nulls off if @i = 2 set ansi_nulls on "
                     "if @v = null set @n = @n + 10 + @i set @i = @i + 1 end select @n"),
              "11");
    const char* const alone = "select count(*) from (select null as k) t where k = null";
    const Answer cases[] = {{"set ansi_nulls off", {"1"}}, {"set ansi_nulls on", {"0"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        conn_->Execute(c.sql);
        EXPECT_EQ(row(alone), c.row);
    }
}

TEST_P(TsqlSettings, AnsiNullsSetInDynamicSqlEndsWithIt) {
    EXPECT_EQ(scalar("declare @v int exec ('set ansi_nulls off') "
                     "if @v = null select 'off' else select 'on'"),
              "on");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlSettings);

// a change that takes no TOP (n): in the batch that sets ROWCOUNT, or later in the session
TEST(EmbeddedSettings, AChangeUnderRowcountWithoutTopIsRefusedByName) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int) insert into 账 values (1), (2)");
    testing::expectRefusedByName(*c, "delete from 账 set rowcount 1 insert into 账 select 1 union select 2",
                                 "under SET ROWCOUNT");
    c->Execute("set rowcount 1");
    testing::expectRefusedByName(*c, "insert into 账 values (3), (4)", "under SET ROWCOUNT");
    c->Execute("insert into 账 values (3)");  // one row: nothing to stop
    EXPECT_EQ(c->Query("set rowcount 0 select count(*) from 账").at(0, 0).toText(), "3");
}

}  // namespace
}  // namespace Palvo
