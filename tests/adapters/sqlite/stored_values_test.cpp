// Typed columns of the embedded database check and keep values as SQL Server does.
#include <gtest/gtest.h>

#include <string>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"

namespace {

using Palvo::Decimal;
using Palvo::Value;

class StoredValues : public ::testing::Test {
protected:
    // SQL Server's English words, which these cases compare
    void SetUp() override { conn.Open("Data Source=:memory:;Language=us_english"); }

    // The failure of a statement: its description and native number ("" when it ran).
    using Failure = std::pair<std::string, long>;
    Failure failure(const std::string& sql) {
        const Palvo::Error e = Palvo::testing::raised([&] { conn.Execute(sql); });
        return {e.description(), e.nativeCode()};
    }

    Value one(const std::string& sql) { return conn.Query(sql).at(0, 0); }

    Palvo::sqlite::Connection conn;
};

struct Bound {
    const char *type, *highest, *tooHigh, *lowest, *tooLow, *highMessage, *lowMessage;
    long number;
};

class IntegerBounds : public StoredValues, public ::testing::WithParamInterface<Bound> {};

TEST_P(IntegerBounds, OverflowBeyondTheirRangeChangingNothing) {
    const Bound& b = GetParam();
    conn.Execute(std::string("create table T (k int, v ") + b.type + ")");
    conn.Execute(std::string("insert into T values (1, ") + b.highest + "), (2, " + b.lowest + ")");

    const Failure high(b.highMessage, b.number), low(b.lowMessage, b.number);
    EXPECT_EQ(failure(std::string("insert into T values (3, ") + b.tooHigh + ")"), high);
    EXPECT_EQ(failure(std::string("insert into T values (3, ") + b.tooLow + ")"), low);
    EXPECT_EQ(failure(std::string("update T set v = ") + b.tooHigh + " where k = 2"), high);
    EXPECT_EQ(failure(std::string("update T set v = ") + b.tooLow + " where k = 1"), low);
    // the failed statements changed nothing
    EXPECT_EQ(one("select count(*) from T").toInt64(), 2);
    EXPECT_EQ(one("select v from T where k = 1").toText(), b.highest);
    EXPECT_EQ(one("select v from T where k = 2").toText(), b.lowest);
}

INSTANTIATE_TEST_SUITE_P(
    EveryIntegerType, IntegerBounds,
    ::testing::Values(Bound{"tinyint", "255", "256", "0", "-1",
                            "Arithmetic overflow error for data type tinyint, value = 256.",
                            "Arithmetic overflow error for data type tinyint, value = -1.", 220},
                      Bound{"smallint", "32767", "32768", "-32768", "-32769",
                            "Arithmetic overflow error for data type smallint, value = 32768.",
                            "Arithmetic overflow error for data type smallint, value = -32769.", 220},
                      Bound{"int", "2147483647", "2147483648", "-2147483648", "-2147483649",
                            "Arithmetic overflow error converting expression to data type int.",
                            "Arithmetic overflow error converting expression to data type int.", 8115},
                      // beyond bigint a literal is refused before any column sees it: text reaches the check
                      Bound{"bigint", "9223372036854775807", "'9223372036854775808'", "-9223372036854775808",
                            "'-9223372036854775809'",
                            "Arithmetic overflow error converting expression to data type bigint.",
                            "Arithmetic overflow error converting expression to data type bigint.", 8115}),
    [](const auto& p) { return std::string(p.param.type); });

TEST_F(StoredValues, NumberColumnsTakeValuesAsSqlServerConvertsThem) {
    conn.Execute("create table T (k int, v int, d decimal(10,2))");
    conn.Execute("insert into T (k, v) values (1, 12.7), (2, ''), (3, ' 42 ')");  // fraction cut off; '' is 0
    auto t = conn.Query("select v from T order by k");
    EXPECT_EQ(t.at(0, 0), Value(12));
    EXPECT_EQ(t.at(1, 0), Value(0));
    EXPECT_EQ(t.at(2, 0), Value(42));
    EXPECT_EQ(failure("insert into T (k, v) values (4, 'x1')"),
              Failure("Conversion failed when converting the varchar value 'x1' to data type int.", 245));
    // a decimal takes no text that is not a number, not even ''
    EXPECT_EQ(failure("insert into T (d) values ('abc')"),
              Failure("Error converting data type varchar to numeric.", 8114));
    EXPECT_EQ(failure("insert into T (d) values ('')").second, 8114);
}

struct Scaled {
    const char *type, *written, *stored;
};

class DecimalValues : public StoredValues, public ::testing::WithParamInterface<Scaled> {};

TEST_P(DecimalValues, RoundToTheScale) {
    const Scaled& c = GetParam();
    conn.Execute(std::string("create table T (v ") + c.type + ")");
    ASSERT_EQ(failure(std::string("insert into T values (") + c.written + ")").first, "");
    EXPECT_EQ(one("select v from T"), Value(Decimal{c.stored}));
    // an update is checked the same way
    conn.Execute("update T set v = 0");
    conn.Execute(std::string("update T set v = ") + c.written);
    EXPECT_EQ(one("select v from T"), Value(Decimal{c.stored}));
}

INSTANTIATE_TEST_SUITE_P(
    PrecisionAndScale, DecimalValues,
    ::testing::Values(Scaled{"decimal(5,2)", "999.99", "999.99"}, Scaled{"decimal(5,2)", "1.005", "1.01"},
                      Scaled{"decimal(5,2)", "-1.005", "-1.01"}, Scaled{"decimal(5,2)", "12", "12.00"},
                      Scaled{"decimal(5,2)", "'12.5'", "12.50"}, Scaled{"numeric(10,0)", "12.5", "13"},
                      Scaled{"numeric(10,0)", "9999999999", "9999999999"},
                      Scaled{"money", "1.23456", "1.2346"},
                      Scaled{"money", "99999999999.9999", "99999999999.9999"},
                      Scaled{"smallmoney", "214748.3647", "214748.3647"},
                      Scaled{"decimal(19,0)", "9223372036854775807", "9223372036854775807"}));

class DecimalOverflow : public DecimalValues {};

TEST_P(DecimalOverflow, BeyondThePrecisionStoresNothing) {
    const Scaled& c = GetParam();
    conn.Execute(std::string("create table T (v ") + c.type + ")");
    EXPECT_EQ(failure(std::string("insert into T values (") + c.written + ")"),
              Failure("Arithmetic overflow error converting numeric to data type numeric.", 8115));
    EXPECT_EQ(one("select count(*) from T").toInt64(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    PrecisionAndScale, DecimalOverflow,
    ::testing::Values(Scaled{"decimal(5,2)", "-1000", ""},
                      Scaled{"decimal(5,2)", "999.995", ""},  // rounds up past the precision
                      Scaled{"numeric(10,0)", "10000000000", ""}, Scaled{"smallmoney", "1000000", ""}));

TEST_F(StoredValues, NumbersADoubleCannotCarryAreRefusedNotChanged) {
    conn.Execute("create table T (v decimal(20,2))");
    // SQLite would read it as a double and store other digits (literals like it: the translator's Refuses)
    EXPECT_EQ(Palvo::testing::errorNumber([&] {
                  conn.ExecuteWith("insert into T values (?)", {Value(Decimal{"12345678901234567.89"})});
              }),
              Palvo::ErrorNumber::NotSupported);
    // a column with decimals holds amounts below 2^53 exactly, and refuses larger ones
    conn.Execute("insert into T values (9007199254740991)");
    EXPECT_EQ(one("select v from T"), Value(Decimal{"9007199254740991.00"}));
    EXPECT_EQ(failure("insert into T values (123456789012345678)").first,
              "The embedded database cannot keep the number 123456789012345680.00 exactly (more than 15 "
              "significant digits).");
    EXPECT_EQ(failure("update T set v = v * 16"), Failure("The embedded database cannot keep the number "
                                                          "144115188075855856.00 exactly (more than 15 "
                                                          "significant digits).",
                                                          1));
    EXPECT_EQ(one("select v from T"), Value(Decimal{"9007199254740991.00"}));
    // numbers of up to 15 digits always pass
    conn.ExecuteWith("insert into T values (?)", {Value(Decimal{"1234567890123.45"})});
    EXPECT_EQ(one("select count(*) from T").toInt64(), 2);
}

TEST_F(StoredValues, SumsOfManyDecimalsAreExact) {
    conn.Execute("create table T (v decimal(18,2), m money, f float)");
    conn.Execute("create table D (x int)");
    for (int i = 0; i < 10; ++i) conn.Execute("insert into D values (" + std::to_string(i) + ")");
    conn.Execute("insert into T (v, m, f) select 0.01, 0.0001, 0.1 from D a, D b, D c, D d, D e");
    EXPECT_EQ(one("select count(*) from T").toInt64(), 100000);
    const Value sum = one("select sum(v) from T");
    EXPECT_EQ(sum.toDouble(), 1000.0);  // a binary sum gives 1000.0000000001588
    EXPECT_EQ(sum.toText(), "1000");
    EXPECT_EQ(one("select sum(m) from T").toDouble(), 10.0);
    EXPECT_EQ(one("select sum(f) from T").toDouble(), 10000.0);
    EXPECT_EQ(one("select sum(v) from T where v > 1").isNull(), true);
    EXPECT_EQ(one("select sum(distinct v) from T").toDouble(), 0.01);
}

TEST_F(StoredValues, SixteenDigitKeysStayExact) {
    conn.Execute("create table K (b bigint, d decimal(18,0), w decimal(20,2))");
    conn.Execute("insert into K values (2024010100000124, 2024010100000124, 2024010100000124)");
    conn.Execute("insert into K values (2024010100000099, 2024010100000099, 2024010100000099.5)");
    auto t = conn.Query("select b, d, w from K order by b desc");
    // b and d read back whole: DataAccess.ValuesComeBackAsTheirKindsExactBeyondFifteenDigits
    EXPECT_EQ(t.at(0, 2), Value(Decimal{"2024010100000124.00"}));
    EXPECT_EQ(t.at(1, 2), Value(Decimal{"2024010100000099.50"}));
    // max() keeps the column's decimal(18,0), max() + 1 is decimal(19,0)
    EXPECT_EQ(one("select max(d) from K"), Value(Decimal{"2024010100000124"}));
    EXPECT_EQ(one("select max(d) + 1 from K"), Value(Decimal{"2024010100000125"}));
    EXPECT_EQ(one("select max(w) from K"), Value(Decimal{"2024010100000124.00"}));
    EXPECT_EQ(one("select count(*) from K where d = 2024010100000124").toInt64(), 1);
}

TEST_F(StoredValues, AveragesKeepTheTypeOfTheirColumn) {
    // the average of integers is an integer
    conn.Execute("create table A (i int, d decimal(18,2), m money)");
    conn.Execute("insert into A values (1, 10, 1), (2, 11, 2), (2, 11, 2), (-8, null, null)");
    EXPECT_EQ(one("select avg(i) from A where i > 0"), Value(1));  // 5 / 3, cut toward zero
    EXPECT_EQ(one("select avg(i) from A"), Value(0));              // -3 / 4, toward zero too
    // of money: money (of a decimal: ColumnDecimal's avg case)
    EXPECT_EQ(one("select avg(m) from A"), Value(Decimal{"1.6666"}));
    EXPECT_TRUE(one("select avg(d) from A where 1 = 0").isNull());
}

struct Length {
    const char *type, *fits, *tooLong;
};

class TextLengths : public StoredValues, public ::testing::WithParamInterface<Length> {};

TEST_P(TextLengths, LongerTextIsRefusedWithSqlServersTruncationError) {
    const Length& c = GetParam();
    conn.Execute(std::string("create table T (k int, v ") + c.type + ")");
    ASSERT_EQ(failure(std::string("insert into T values (1, N'") + c.fits + "')").first, "");
    const auto expected = std::make_pair(std::string("String or binary data would be truncated."), 8152L);
    EXPECT_EQ(failure(std::string("insert into T values (2, N'") + c.tooLong + "')"), expected);
    EXPECT_EQ(failure(std::string("update T set v = N'") + c.tooLong + "'"), expected);
    EXPECT_EQ(one("select v from T").toText(), c.fits);
    EXPECT_EQ(one("select count(*) from T").toInt64(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryTextType, TextLengths,
    ::testing::Values(Length{"varchar(4)", "中文", "中文a"},  // two code-page bytes per Chinese character
                      Length{"char(3)", "abc", "abcd"}, Length{"nvarchar(3)", "中文字", "中文字a"},
                      Length{"nchar(2)", "中文", "中文字"}, Length{"varchar", "a", "ab"}));

TEST_F(StoredValues, BlanksBeyondTheLengthAreDropped) {
    conn.Execute("create table T (v varchar(3), n nvarchar(2), m varchar(max), t text)");
    conn.Execute("insert into T values ('ab    ', N'中  ', 'long long long', 'long long long')");
    auto t = conn.Query("select v, n, m, t from T");
    EXPECT_EQ(t.at(0, 0).toText(), "ab ");
    EXPECT_EQ(t.at(0, 1).toText(), "中 ");
    EXPECT_EQ(t.at(0, 2).toText(), "long long long");
    EXPECT_EQ(failure("insert into T (v) values (' a b')").second, 8152);  // only trailing blanks go
}

TEST_F(StoredValues, DateColumnsKeepTheDay) {
    // date columns are datetimes in the metadata and dates in the catalogue
    conn.Execute("create table D (d date, t datetime)");
    conn.Execute("insert into D values ('2024-1-5 13:45', '2024-1-5 13:45')");
    auto dated = conn.Query("select d, t from D");
    EXPECT_EQ(dated.columns[0].type, Palvo::adDBTimeStamp);
    EXPECT_EQ(dated.columns[0].precision, 10);
    EXPECT_EQ(dated.columns[0].numericScale, 0);
    EXPECT_EQ(dated.at(0, 0), Value(Palvo::DateTime{2024, 1, 5, 0, 0, 0, 0}));  // a date keeps no time of day
    EXPECT_EQ(dated.at(0, 1), Value(Palvo::DateTime{2024, 1, 5, 13, 45, 0, 0}));
    EXPECT_EQ(one("select count(*) from D where d = '2024-01-05'").toInt64(), 1);
    auto cat = conn.Query(
        "select type_name(xtype), length from syscolumns where object_name(id) = 'D' order by colid");
    EXPECT_EQ(cat.at(0, 0).toText(), "date");
    EXPECT_EQ(cat.at(0, 1).toInt64(), 3);
    EXPECT_EQ(cat.at(1, 0).toText(), "datetime");
    EXPECT_EQ(failure("insert into D (d) values ('2024-02-30')"),
              Failure("Conversion failed when converting date and/or time from character string.", 241));
}

}  // namespace
