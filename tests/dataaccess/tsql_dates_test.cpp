// Dates and FORMAT in hosts' T-SQL: CONVERT's styles both ways, DATENAME in the
// connection's language, EOMONTH, DATEFROMPARTS, ISDATE, SYSDATETIME, a datetime
// column filtered by its day, and FORMAT's date and number patterns. Each test
// sets the language it needs; none reads the machine's clock or locale except
// SYSDATETIME's against GETDATE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Answer;
using testing::Row;

class TsqlDates : public testing::AnswersTest {
protected:
    void english() { conn_->Execute("set language us_english"); }
    void chinese() { conn_->Execute("set language 简体中文"); }
    void shifts() {
        conn_->Execute("create table 班次 (编号 int, 开始 time, 结束 time(0))");
        conn_->Execute("insert into 班次 values (1, '08:30', '17:45:30.6')");
        conn_->Execute("insert into 班次 values (2, '13:00:00.5', '22:00')");
    }
};

// 2024-01-05 was a Friday; 23:07:08.123 is a tick of datetime.
#define D "convert(datetime, '2024-01-05 23:07:08.123')"

TEST_P(TsqlDates, ConvertWritesEveryStyleOfSqlServerInEnglish) {
    english();
    expectAnswers({
        {"select convert(varchar(30), " D ", 0)", {"Jan  5 2024 11:07PM"}},
        {"select convert(varchar(30), " D ", 1)", {"01/05/24"}},
        {"select convert(varchar(30), " D ", 2)", {"24.01.05"}},
        {"select convert(varchar(30), " D ", 3)", {"05/01/24"}},
        {"select convert(varchar(30), " D ", 4)", {"05.01.24"}},
        {"select convert(varchar(30), " D ", 5)", {"05-01-24"}},
        {"select convert(varchar(30), " D ", 6)", {"05 Jan 24"}},
        {"select convert(varchar(30), " D ", 7)", {"Jan 05, 24"}},
        {"select convert(varchar(30), " D ", 8)", {"23:07:08"}},
        {"select convert(varchar(30), " D ", 9)", {"Jan  5 2024 11:07:08:123PM"}},
        {"select convert(varchar(30), " D ", 10)", {"01-05-24"}},
        {"select convert(varchar(30), " D ", 11)", {"24/01/05"}},
        {"select convert(varchar(30), " D ", 12)", {"240105"}},
        {"select convert(varchar(30), " D ", 13)", {"05 Jan 2024 23:07:08:123"}},
        {"select convert(varchar(30), " D ", 14)", {"23:07:08:123"}},
        {"select convert(varchar(30), " D ", 20)", {"2024-01-05 23:07:08"}},
        {"select convert(varchar(30), " D ", 21)", {"2024-01-05 23:07:08.123"}},
        {"select convert(varchar(30), " D ", 22)", {"01/05/24 11:07:08 PM"}},
        {"select convert(varchar(30), " D ", 23)", {"2024-01-05"}},
        {"select convert(varchar(30), " D ", 24)", {"23:07:08"}},
        {"select convert(varchar(30), " D ", 25)", {"2024-01-05 23:07:08.123"}},
        {"select convert(varchar(30), " D ", 100)", {"Jan  5 2024 11:07PM"}},
        {"select convert(varchar(30), " D ", 101)", {"01/05/2024"}},
        {"select convert(varchar(30), " D ", 102)", {"2024.01.05"}},
        {"select convert(varchar(30), " D ", 103)", {"05/01/2024"}},
        {"select convert(varchar(30), " D ", 104)", {"05.01.2024"}},
        {"select convert(varchar(30), " D ", 105)", {"05-01-2024"}},
        {"select convert(varchar(30), " D ", 106)", {"05 Jan 2024"}},
        {"select convert(varchar(30), " D ", 107)", {"Jan 05, 2024"}},
        {"select convert(varchar(30), " D ", 108)", {"23:07:08"}},
        {"select convert(varchar(30), " D ", 109)", {"Jan  5 2024 11:07:08:123PM"}},
        {"select convert(varchar(30), " D ", 110)", {"01-05-2024"}},
        {"select convert(varchar(30), " D ", 111)", {"2024/01/05"}},
        {"select convert(varchar(30), " D ", 112)", {"20240105"}},
        {"select convert(varchar(30), " D ", 113)", {"05 Jan 2024 23:07:08:123"}},
        {"select convert(varchar(30), " D ", 114)", {"23:07:08:123"}},
        {"select convert(varchar(30), " D ", 120)", {"2024-01-05 23:07:08"}},
        {"select convert(varchar(30), " D ", 121)", {"2024-01-05 23:07:08.123"}},
        {"select convert(varchar(30), " D ", 126)", {"2024-01-05T23:07:08.123"}},
        {"select convert(varchar(30), " D ", 127)", {"2024-01-05T23:07:08.123"}},
    });
}

TEST_P(TsqlDates, ConvertPadsAMorningHourWithABlank) {
    english();
    expectAnswers({
        {"select convert(varchar(30), convert(datetime, '2024-11-25 09:05:00'), 100)",
         {"Nov 25 2024  9:05AM"}},
        {"select convert(varchar(30), convert(datetime, '2024-11-25 00:05:00'), 109)",
         {"Nov 25 2024 12:05:00:000AM"}},
    });
}

TEST_P(TsqlDates, IsoStylesLeaveOutMillisecondsThatAreZero) {
    EXPECT_EQ(scalar("select convert(varchar(30), convert(datetime, '2024-01-05 23:07:08'), 126)"),
              "2024-01-05T23:07:08");
}

TEST_P(TsqlDates, ConvertNamesMonthsByNumberInChinese) {
    chinese();
    expectAnswers({
        {"select convert(varchar(30), " D ", 0)", {"01  5 2024 11:07PM"}},
        {"select convert(varchar(30), " D ", 106)", {"05 01 2024"}},
        {"select convert(varchar(30), " D ", 107)", {"01 05, 2024"}},
    });
}

#define BACK(text, style) "select convert(varchar(23), convert(datetime, '" text "', " #style "), 121)"

TEST_P(TsqlDates, ConvertReadsTextInTheOrderOfItsStyle) {
    english();
    expectAnswers({
        {BACK("01/05/2024", 101), {"2024-01-05 00:00:00.000"}},
        {BACK("05/01/2024", 103), {"2024-01-05 00:00:00.000"}},
        {BACK("05 Jan 2024", 106), {"2024-01-05 00:00:00.000"}},
        {BACK("Jan 05, 2024", 107), {"2024-01-05 00:00:00.000"}},
        {BACK("2024/01/05", 111), {"2024-01-05 00:00:00.000"}},
        {BACK("20240105", 112), {"2024-01-05 00:00:00.000"}},
        {BACK("05/01/24", 3), {"2024-01-05 00:00:00.000"}},
        {BACK("24.01.05", 2), {"2024-01-05 00:00:00.000"}},
        {BACK("240105", 12), {"2024-01-05 00:00:00.000"}},
        {BACK("Jan  5 2024 11:07PM", 100), {"2024-01-05 23:07:00.000"}},
        {BACK("Jan  5 2024 11:07:08:123PM", 109), {"2024-01-05 23:07:08.123"}},
        {BACK("05 Jan 2024 23:07:08:123", 113), {"2024-01-05 23:07:08.123"}},
        {BACK("23:07:08", 108), {"1900-01-01 23:07:08.000"}},
        {BACK("2024-01-05T23:07:08.123", 126), {"2024-01-05 23:07:08.123"}},
        {BACK("2024-01-05T23:07:08.123Z", 127), {"2024-01-05 23:07:08.123"}},
    });
}

TEST_P(TsqlDates, TwoDigitYearsBefore50AreOfThisCentury) {
    expectAnswers({
        {BACK("01/05/49", 1), {"2049-01-05 00:00:00.000"}},
        {BACK("01/05/50", 1), {"1950-01-05 00:00:00.000"}},
    });
}

TEST_P(TsqlDates, TextThatIsNoDateOfTheStyleFailsToConvert) {
    EXPECT_EQ(refused("select convert(datetime, '31/12/2024', 101)", "Conversion failed"), 241);
}

TEST_P(TsqlDates, DatenameSpeaksEnglishUnderUsEnglish) {
    english();
    expectAnswers({
        {"select datename(month, '2024-01-05')", {"January"}},
        {"select datename(weekday, '2024-01-05')", {"Friday"}},
        {"select datename(mm, '2024-12-05')", {"December"}},
    });
}

TEST_P(TsqlDates, DatenameSpeaksChineseUnderSimplifiedChinese) {
    chinese();
    expectAnswers({
        {"select datename(month, '2024-01-05')", {"01"}},
        {"select datename(weekday, '2024-01-05')", {"星期五"}},
        {"select datename(weekday, '2024-01-07')", {"星期日"}},
    });
}

TEST_P(TsqlDates, DatenameGivesTheOtherPartsAsNumbers) {
    expectAnswers({
        {"select datename(year, '2024-01-05')", {"2024"}},
        {"select datename(quarter, '2024-05-05')", {"2"}},
        {"select datename(dayofyear, '2024-03-01')", {"61"}},
        {"select datename(day, '2024-01-05')", {"5"}},
        {"select datename(week, '2024-01-07')", {"2"}},
        {"select datename(hour, " D ")", {"23"}},
        {"select datename(minute, " D ")", {"7"}},
        {"select datename(second, " D ")", {"8"}},
        {"select datename(millisecond, " D ")", {"123"}},
    });
}

TEST_P(TsqlDates, EomonthGivesTheLastDayOfTheMonth) {
    expectAnswers({
        {"select convert(varchar(10), eomonth('2024-02-10'), 23)", {"2024-02-29"}},
        {"select convert(varchar(10), eomonth('2023-02-10'), 23)", {"2023-02-28"}},
        {"select convert(varchar(10), eomonth('2024-01-31', 1), 23)", {"2024-02-29"}},
        {"select convert(varchar(10), eomonth('2024-03-15', -1), 23)", {"2024-02-29"}},
        {"select convert(varchar(10), eomonth('2024-12-01', 1), 23)", {"2025-01-31"}},
        {"select convert(varchar(10), eomonth(" D "), 23)", {"2024-01-31"}},
    });
}

TEST_P(TsqlDates, DatefrompartsMakesADate) {
    expectAnswers({
        {"select convert(varchar(10), datefromparts(2024, 2, 29), 23)", {"2024-02-29"}},
        {"select datefromparts(2024, null, 1)", {"<null>"}},
    });
}

TEST_P(TsqlDates, DatefrompartsOfNoDateFails) {
    EXPECT_EQ(refused("select datefromparts(2023, 2, 29)", "Cannot construct data type date"), 289);
}

TEST_P(TsqlDates, IsdateTellsWhetherTextReadsAsADatetime) {
    english();
    expectAnswers({
        {"select isdate('2024-01-05')", {"1"}},
        {"select isdate('20240105')", {"1"}},
        {"select isdate('Jan  5 2024 11:07PM')", {"1"}},
        {"select isdate('2024-02-30')", {"0"}},
        {"select isdate('1752-12-31')", {"0"}},
        {"select isdate('abc')", {"0"}},
        {"select isdate(null)", {"0"}},
    });
}

TEST_P(TsqlDates, SysdatetimeIsTheTimeGetdateGives) {
    EXPECT_EQ(
        scalar("select case when abs(datediff(millisecond, sysdatetime(), getdate())) < 1000 then 1 else 0 "
               "end"),
        "1");
}

TEST_P(TsqlDates, ADatetimeColumnIsFilteredByItsDay) {
    conn_->Execute("create table 进货 (编号 int, 日期 datetime)");
    conn_->Execute("insert into 进货 values (1, '2024-01-05 08:30:00')");
    conn_->Execute("insert into 进货 values (2, '2024-01-05 17:45:00')");
    conn_->Execute("insert into 进货 values (3, '2024-01-06 00:00:00')");
    expectAnswers({
        {"select count(*) from 进货 where convert(date, 日期) = '2024-01-05'", {"2"}},
        {"select count(*) from 进货 where cast(日期 as date) = '20240105'", {"2"}},
        {"select count(*) from 进货 where '2024-01-06' = convert(date, 日期)", {"1"}},
        {"select count(*) from 进货 where 日期 = convert(date, '2024-01-06 12:00')", {"1"}},
        {"select count(*) from 进货 where convert(date, 日期) between '20240101' and '20240105'", {"2"}},
        {"select count(*) from 进货 where cast(日期 as date) in ('2024-01-05', N'20240106')", {"3"}},
    });
}

TEST_P(TsqlDates, ADateAsTextIsYearMonthDay) {
    conn_->Execute("create table 结账 (编号 int, 日 date)");
    conn_->Execute("insert into 结账 values (1, '2024-01-05 10:30:00')");
    expectAnswers({
        {"select cast(日 as varchar(30)) from 结账", {"2024-01-05"}},
        {"select convert(nvarchar(30), 日) from 结账", {"2024-01-05"}},
        {"select convert(varchar(30), 结账.日) from 结账", {"2024-01-05"}},
        {"select convert(varchar(30), 日, 111) from 结账", {"2024/01/05"}},
        {"select cast(cast('2024-01-05 10:30' as date) as varchar(30))", {"2024-01-05"}},
        {"select convert(varchar(30), eomonth('2024-01-05'))", {"2024-01-31"}},
    });
}

TEST_P(TsqlDates, ADatetimeAsTextKeepsTheDefaultStyle) {
    english();
    conn_->Execute("create table 结账 (编号 int, 时 datetime)");
    conn_->Execute("insert into 结账 values (1, '2024-01-05 10:30:00')");
    EXPECT_EQ(scalar("select cast(时 as varchar(30)) from 结账"), "Jan  5 2024 10:30AM");
}

TEST_P(TsqlDates, ConvertToTimeKeepsTheDigitsOfItsScale) {
    expectAnswers({
        {"select cast('10:30:15.1234567' as time)", {"10:30:15.1234567"}},
        {"select cast('2024-01-05 10:30:15.123' as time(3))", {"10:30:15.123"}},
        {"select convert(time(0), '10:30:15.5')", {"10:30:16"}},
        {"select convert(time(2), '10:30 PM')", {"22:30:00.00"}},
        {"select cast(" D " as time)", {"23:07:08.1230000"}},
    });
}

TEST_P(TsqlDates, ATimeColumnStoresATimeOfDayToItsPrecision) {
    shifts();
    expectAnswers({
        {"select 开始, 结束 from 班次 where 编号 = 1", {"08:30:00.0000000", "17:45:31"}},
        {"select convert(varchar(8), 开始, 108) from 班次 where 编号 = 2", {"13:00:00"}},
        {"select datepart(hour, 结束) from 班次 where 编号 = 2", {"22"}},
    });
}

TEST_P(TsqlDates, ATimeColumnComparesByTimeOfDay) {
    shifts();
    expectAnswers({
        {"select 编号 from 班次 where 开始 = '08:30'", {"1"}},
        {"select count(*) from 班次 where 开始 < '13:00:00.5'", {"1"}},
        {"select 编号 from 班次 where '22:00:00' = 结束", {"2"}},
        {"select count(*) from 班次 where 开始 between '08:00' and '13:00:00.5'", {"2"}},
    });
}

TEST_P(TsqlDates, FormatWritesTheDatePatternsHostsUse) {
    expectAnswers({
        {"select format(" D ", 'yyyy-MM-dd')", {"2024-01-05"}},
        {"select format(" D ", 'yyyy年MM月dd日')", {"2024年01月05日"}},
        {"select format(" D ", 'yyyy/M/d H:mm:ss.fff')", {"2024/1/5 23:07:08.123"}},
        {"select format(" D ", 'yyyyMMdd''T''HHmm')", {"20240105T2307"}},
        {"select format(" D ", 'D', 'zh-CN')", {"2024年1月5日"}},
        {"select format(" D ", 'D', 'en-US')", {"Friday, January 5, 2024"}},
        {"select format(" D ", 'd', 'en-US')", {"1/5/2024"}},
        {"select format(" D ", 'dddd MMMM', 'zh-CN')", {"星期五 一月"}},
        {"select format(" D ", 'ddd MMM', 'en-US')", {"Fri Jan"}},
        {"select format(" D ", 'hh:mm tt', 'zh-CN')", {"11:07 下午"}},
        {"select format(" D ", 'hh:mm tt', 'en-US')", {"11:07 PM"}},
    });
}

TEST_P(TsqlDates, FormatOfADatetimeInItsStoredShapeStaysText) {
    EXPECT_EQ(row("select format(" D ", 'yyyy-MM-dd HH:mm:ss.fff') as t"), Row{"2024-01-05 23:07:08.123"});
}

TEST_P(TsqlDates, FormatWithoutACultureUsesTheConnectionsLanguage) {
    chinese();
    EXPECT_EQ(scalar("select format(" D ", 'MMMM')"), "一月");
    english();
    EXPECT_EQ(scalar("select format(" D ", 'MMMM')"), "January");
}

TEST_P(TsqlDates, FormatWritesTheNumberPatternsHostsUse) {
    expectAnswers({
        {"select format(1234567.891, 'N2')", {"1,234,567.89"}},
        {"select format(-1234.5, 'N2')", {"-1,234.50"}},
        {"select format(1234.5, 'N0')", {"1,235"}},
        {"select format(1234.5, 'N')", {"1,234.50"}},
        {"select format(1234.5, 'F3')", {"1234.500"}},
        {"select format(1234.5, '#,##0.00')", {"1,234.50"}},
        {"select format(0.5, '#,##0.00')", {"0.50"}},
        {"select format(0.1234, '0.00%')", {"12.34%"}},
        {"select format(0.1234, 'P1', 'zh-CN')", {"12.3%"}},
        {"select format(12, '000')", {"012"}},
        {"select format(2.675, '0.00')", {"2.68"}},
        {"select format(1.5, '0.##')", {"1.5"}},
        {"select format(0.5, '.00')", {".50"}},
        {"select format(9007199254740993, 'N0')", {"9,007,199,254,740,993"}},
        {"select format(cast(-9223372036854775808 as bigint), '0')", {"-9223372036854775808"}},
    });
}

TEST_P(TsqlDates, FormatOfNullIsNull) { EXPECT_EQ(scalar("select format(null, 'N2')"), "<null>"); }

TEST_P(TsqlDates, FormatOfTextFails) {
    EXPECT_EQ(refused("select format('abc', 'N2')", "invalid for argument 1 of format function"), 8116);
}

#undef BACK
#undef D

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlDates);

}  // namespace
}  // namespace Palvo
