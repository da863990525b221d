#include "palvo/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "palvo/error.h"

namespace Palvo {
namespace {

TEST(Value, NullStaysDistinctFromEmptyText) {
    Value null;
    Value empty("");
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(empty.isNull());
    EXPECT_NE(null, empty);
    EXPECT_EQ(null.toText(), "");
    EXPECT_THROW(null.toTextStrict(), Error);
}

TEST(Value, NumbersReadAsAUserWroteThem) {
    EXPECT_DOUBLE_EQ(Value(" 12.5 ").toDouble(), 12.5);
    EXPECT_EQ(Value("0007").toInt64(), 7);
    EXPECT_EQ(Value(2.5).toInt64(), 2);  // half to even
    EXPECT_EQ(Value(3.5).toInt64(), 4);
    // whole decimals are read on their digits, beyond what a double holds
    EXPECT_EQ(Value(Decimal{"9007199254740993"}).toInt64(), 9007199254740993);
    EXPECT_EQ(Value(Decimal{"-9223372036854775808.000"}).toInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Value(Decimal{"2.50"}).toInt64(), 2);  // a fraction still rounds half to even
    EXPECT_EQ(Value(Decimal{"-.5"}).toInt64(), 0);
    EXPECT_THROW((void)Value(Decimal{"9223372036854775808"}).toInt64(), Error);
}

// The error's number is checked in the IsNumeric test.
TEST(Value, NumbersFromOtherTextFail) {
    EXPECT_THROW((void)Value("12abc").toDouble(), Error);
    EXPECT_THROW((void)Value("").toDouble(), Error);
}

TEST(Value, TextFormsAreWhatAUserSees) {
    struct Case {
        Value v;
        const char* text;
    } cases[] = {
        // a double's form is FormatNumber's
        {Value(0.1 + 0.2), "0.3"},
        {Value(-3), "-3"},
        {Value(true), "True"},
        {Value(Decimal{"3.00"}), "3"},
        // exact whole numbers and decimals of any length, in the form a user reads
        {Value(std::int64_t{2024010100000123}), "2024010100000123"},
        {Value(std::int64_t{-9223372036854775807 - 1}), "-9223372036854775808"},
        {Value(Decimal{"1234567890123456789012345678901234567.80"}),
         "1234567890123456789012345678901234567.8"},
        {Value(Decimal{"-.50"}), "-0.5"},
        {Value(Decimal{".05"}), "0.05"},
        {Value(Decimal{"+007.10"}), "7.1"},
        {Value(Decimal{"-0.00"}), "0"},
        {Value(Decimal{"100"}), "100"},
        {Value(Decimal{"1.50E+10"}), "1.50E+10"},
        {Value(DateTime{2004, 1, 31, 0, 0, 0, 0}), "2004-01-31"},
        {Value(DateTime{2004, 1, 31, 8, 5, 9, 0}), "2004-01-31 08:05:09"},
        {Value(DateTime{1899, 12, 30, 23, 59, 1, 0}), "23:59:01"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.toText(), c.text) << c.text;
}

// Milliseconds parse, ISO is written, days count as on the host platform; which
// texts are dates is the Dates test's (isDate reads through DateTime::parse).
TEST(Value, DatesConvertAsTheHostPlatform) {
    auto d = DateTime::parse("2004/01/31 08:05:09.5");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->millisecond, 500);
    EXPECT_EQ(d->toIso(), "2004-01-31 08:05:09.500");
    EXPECT_EQ((DateTime{987, 3, 4}).toIso(), "0987-03-04 00:00:00.000");
    EXPECT_DOUBLE_EQ(Value(DateTime{2000, 1, 1, 12}).toDouble(), 36526.5);
}

// Every double shows the digits the platform's fifteen-digit form gives.
TEST(FormatNumber, AgreesWithFifteenSignificantDigitsEverywhere) {
    // edges and well-known values (0.1 + 0.2, a third, the largest and the least double), read as literals
    std::vector<double> all;
    const char* edges =
        "1 -1 10 100 1000 123456789012345 1e15 1e16 1.5e15 0.1 0.30000000000000004 0.3333333333333333 "
        "0.6666666666666666 0.0001 0.00001 1.25e-7 -9.87654321e-300 1.7976931348623157e308 4.9e-324 12.25 "
        "3.5 99999999999999.9 999999999999999 0.000123456789012345678 0.00011 0.000099 999999999999999.9 "
        "99999999999999.99 1.0000000000000002 123456.78901234567";
    for (char* end = nullptr; *edges; edges = end) all.push_back(std::strtod(edges, &end));
    ASSERT_EQ(all.size(), 30u);
    // values of every magnitude the platform writes either way, with short and long digit runs
    unsigned seed = 7;
    for (int k = -7; k <= 17; ++k) {
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1103515245u + 12345u;
            double mantissa = (i % 2 ? (seed % 1000) / 8.0 : seed / 4294967296.0 * 10);
            all.push_back(mantissa * std::pow(10.0, k) * (i % 3 ? 1 : -1));
        }
    }
    // amounts with a few decimals, from one digit up to past fifteen, at the edges of the plain range too
    for (int k = 0; k <= 10; ++k) {
        long long n = 1;
        for (int digits = 1; digits <= 17; ++digits, n *= 10) {
            seed = seed * 1103515245u + 12345u;
            const long long x = n + static_cast<long long>(seed % 9) * (n / 3 + 1);
            all.push_back(static_cast<double>(x) / std::pow(10.0, k));
            all.push_back(-static_cast<double>(x + 1) / std::pow(10.0, k));
        }
    }
    for (double d : all) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15G", d);
        std::string expected(buf);
        // the platform trims zeros of the mantissa and writes the exponent with at least two digits
        auto e = expected.find('E');
        std::string mant = expected.substr(0, e), exp = e == std::string::npos ? "" : expected.substr(e);
        if (mant.find('.') != std::string::npos) {
            while (mant.back() == '0') mant.pop_back();
            if (mant.back() == '.') mant.pop_back();
        }
        if (!exp.empty() && exp.size() > 4 && exp[2] == '0') exp.erase(2, 1);
        EXPECT_EQ(formatNumber(d), mant + exp) << buf;
    }
}

}  // namespace
}  // namespace Palvo
