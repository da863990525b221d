// The session's SET options in batches: what they change, and how long they hold.
// The answers run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"

namespace Palvo {
namespace {

class TsqlSettings : public testing::AnswersTest {
protected:
    void keyed() {
        conn_->Execute("create table 账 (k int primary key)");
        conn_->Execute("insert into 账 values (1)");
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

TEST_P(TsqlSettings, DatefirstHoldsForTheRestOfTheSession) {
    conn_->Execute("set datefirst 1");
    EXPECT_EQ(scalar("select datepart(dw, '2024-01-01')"), "1");
    EXPECT_EQ(scalar("select @@datefirst"), "1");
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

PALVO_ANSWERS_ON_BACKENDS(TsqlSettings);

}  // namespace
}  // namespace Palvo
