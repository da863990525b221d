#include "src/base/conversions.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "palvo/error.h"
#include "support/errors.h"

namespace Palvo::util {
namespace {

TEST(Val, ReadsTheLeadingNumberAndIgnoresTheRest) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},        {"abc", 0},    {"12abc", 12},  {"  1 2 3", 123}, {"-3.5e2x", -350},
        {"1.2.3", 1.2}, {"&H10", 16},  {"&HFFFF", -1}, {"&O17", 15},     {"+.5", 0.5},
        {"1e", 1},      {"2d3", 2000}, {"\t7\n", 7},   {"1e-999", 0},    {"-", 0}};
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(val(text), value) << text;
}

TEST(SqlNumber, WritesTheNumberValReadsAndNothingAfterIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "0"},
        {"0 or 1=1", "0"},
        {"1;delete from t", "1"},
        {"' or 1=1", "0"},
        {" 7.50 ", "7.5"},
        {"-0", "0"},
        {"+12abc", "12"},
        {"1 2 3", "123"},
        {"&H10", "16"},
        {"2d3", "2000"},
        {"0.00001", "1E-05"},
        {"123456789012345", "123456789012345"},
        // more digits than a double carries: all of them, in plain form
        {"2024010100000124", "2024010100000124"},
        {"-0002024010100000124.500x", "-2024010100000124.5"},
        {"0.1234567890123456789", "0.1234567890123456789"},
        {"10000000000000000", "10000000000000000"}};
    for (const auto& [text, sql] : cases) EXPECT_EQ(sqlNumber(text), sql) << '"' << text << '"';
}

TEST(Val, ANumberBeyondADoubleOverflowsInsteadOfReadingZero) {
    const std::string digits400 = "1" + std::string(400, '0');
    for (const std::string& t : {std::string("1e400"), std::string("-1e400"), std::string(" 1 e 400abc"),
                                 std::string("2d999"), digits400}) {
        EXPECT_EQ(testing::errorNumber([&] { val(t); }), ErrorNumber::Overflow) << t.substr(0, 20);
    }
    EXPECT_DOUBLE_EQ(val("1.7976931348623157e308"), 1.7976931348623157e308);
}

TEST(PlusOneExact, CountsOnTheDigitsWithCarryBorrowAndAnyLength) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "1"},
        {"0007", "8"},
        {" 9 ", "10"},
        {"+41", "42"},
        {"2024010100000123", "2024010100000124"},
        {"9223372036854775807", "9223372036854775808"},
        {"99999999999999999999999999999999999999", "100000000000000000000000000000000000000"},
        {"1234567890123456789012345678901234567.8", "1234567890123456789012345678901234568.8"},
        {"99.50", "100.5"},
        {"12.", "13"},
        {".25", "1.25"},
        {"-5", "-4"},
        {"-1", "0"},
        {"-1.00", "0"},
        {"-0", "1"},
        {"-1000", "-999"},
        {"-1.5", "-0.5"},
        {"-0.25", "0.75"},
        {"-.05", "0.95"},
        {"-0.001", "0.999"}};
    for (const auto& [text, next] : cases)
        EXPECT_EQ(plusOneExact(text), std::optional<std::string>(next)) << text;
    for (const char* text : {"", " ", ".", "-", "1e5", "1.2.3", "12abc", "0x10", "1,000", "- 5", "&H10"}) {
        EXPECT_EQ(plusOneExact(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(IsNumeric, AcceptsSignedDecimalsWithExponentOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true},      {" 12 ", true},  {"\t-3.5", true},  {"+7", true},     {"1.", true},
        {".5", true},     {"1e5", true},   {"-2.5E-3", true}, {"1e+2", true},   {"", false},
        {" ", false},     {".", false},    {"-", false},      {"1.2.3", false}, {"1e", false},
        {"1,000", false}, {"&H10", false}, {"1d5", false},    {"12abc", false}, {"- 5", false},
        {"1e999", false}, {"１２", false}, {"5-", false},     {"1 2", false},   {"0x10", false}};
    for (const auto& [text, numeric] : cases) EXPECT_EQ(isNumeric(text), numeric) << '"' << text << '"';
}

TEST(IsNumeric, NumbersAndTheirConversionErrors) {
    EXPECT_DOUBLE_EQ(toNumber(" -2.5e1 "), -25);
    EXPECT_EQ(testing::errorNumber([] { toNumber("abc"); }), 13);
    EXPECT_EQ(toInt16("2.5"), 2);  // half to even
    EXPECT_EQ(toInt16("3.5"), 4);
    EXPECT_EQ(toInt16("-32768"), -32768);
    EXPECT_EQ(testing::errorNumber([] { toInt16("32768"); }), 6);
}

TEST(FormatFixed, RoundsHalfAwayFromZeroOnTheVisibleDecimals) {
    const std::tuple<double, int, const char*> cases[] = {
        {0, 2, "0.00"},
        {2.675, 2, "2.68"},
        {1.005, 2, "1.01"},
        {0.125, 2, "0.13"},
        {0.124999, 2, "0.12"},
        {-2.675, 2, "-2.68"},
        {-0.001, 2, "0.00"},
        {999.995, 2, "1000.00"},
        {999999999.99, 2, "999999999.99"},
        {1234567890, 2, "1234567890.00"},
        {0.1 + 0.2, 2, "0.30"},
        {1e-9, 2, "0.00"},
        {12.5, 0, "13"},
        {7, 1, "7.0"},
    };
    for (const auto& [value, decimals, text] : cases) EXPECT_EQ(formatFixed(value, decimals), text) << value;
    EXPECT_THROW(formatFixed(std::numeric_limits<double>::quiet_NaN(), 2), Error);
    EXPECT_THROW(formatFixed(std::numeric_limits<double>::infinity(), 2), Error);
}

TEST(Dates, TestAndParse) {
    const std::pair<const char*, bool> cases[] = {
        {"2004-3-5", true},  {"2004-03-05", true},     {"2004/3/5", true},         {" 2004-3-5 ", true},
        {"2004-2-29", true}, {"2003-2-29", false},     {"2004-1-32", false},       {"2004-13-1", false},
        {"2004-0-1", false}, {"2004-3-5 10:30", true}, {"2004-3-5 24:00", false},  {"2004-3/5", false},
        {"2004.1.1", false}, {"2004-01", false},       {"04-3-5", false},          {"", false},
        {"abc", false},      {"2004-3-5x", false},     {"2004-3-5 10:30:59", true}};
    for (const auto& [text, date] : cases) EXPECT_EQ(isDate(text), date) << text;
    DateTime d = toDate("2004/3/5 8:05:09");
    EXPECT_EQ(d, (DateTime{2004, 3, 5, 8, 5, 9, 0}));
    EXPECT_THROW(toDate("2004-1-32"), Error);
}

// What SQL Server's datetime takes as text: the date test within 1753-01-01 to
// 9999-12-31, milliseconds at most, and no .999 that rounds past the last day.
TEST(Dates, SqlDateTimeIsTheDateTestWithinDatetimesRange) {
    const std::pair<const char*, bool> cases[] = {
        {"1753-1-1", true},
        {" 1753/01/01 ", true},
        {"1752-12-31 23:59:59", false},
        {"0099-1-1", false},
        {"0001-01-01", false},
        {"9999-12-31", true},
        {"9999-12-31 23:59:59.998", true},
        {"9999-12-31 23:59:59.999", false},
        {"9998-12-31 23:59:59.999", true},
        {"2004-3-5 10:30:59.12", true},
        {"2004-3-5 10:30:59.1234", false},
        {"2004-2-30", false},
        {"2004-3-5x", false},
        {"", false},
    };
    for (const auto& [text, taken] : cases) EXPECT_EQ(isSqlDateTime(text), taken) << text;
}

TEST(Dates, SerialNumbersAndDayArithmetic) {
    EXPECT_EQ(daySerial(DateTime{1899, 12, 30}), 0);
    EXPECT_EQ(daySerial(DateTime{1900, 1, 1}), 2);
    EXPECT_EQ(daySerial(DateTime{2004, 3, 1}) - daySerial(DateTime{2004, 2, 1}), 29);
    EXPECT_DOUBLE_EQ(dateSerial(DateTime{1899, 12, 31, 18, 0, 0, 0}), 1.75);
    const std::tuple<DateTime, std::int64_t, DateTime> cases[] = {
        {{2004, 3, 1}, -1, {2004, 2, 29}},
        {{2003, 3, 1}, -1, {2003, 2, 28}},
        {{2004, 1, 1}, -1, {2003, 12, 31}},
        {{2004, 12, 31}, 1, {2005, 1, 1}},
        {{1900, 3, 1}, -1, {1900, 2, 28}},
        {{2000, 3, 1}, -1, {2000, 2, 29}},
        {{2004, 1, 31, 18, 0, 0, 0}, 30, {2004, 3, 1, 18, 0, 0, 0}},
    };
    for (const auto& [from, days, to] : cases)
        EXPECT_EQ(addDays(from, days), to) << from.toText() << " " << days;
    EXPECT_THROW(addDays(DateTime{9999, 12, 31}, 1), Error);
    EXPECT_THROW(addDays(DateTime{1, 1, 1}, -1), Error);
}

TEST(Dates, FormatsInUse) {
    DateTime d{2004, 3, 5, 8, 5, 9, 0};
    const std::pair<const char*, const char*> cases[] = {
        {"YYYY-MM-DD", "2004-03-05"},
        {"yyyy-mm-dd", "2004-03-05"},
        {"yyyy-mm", "2004-03"},
        {"YYYY年M月D日", "2004年3月5日"},
        {"hh:mm:ss", "08:05:09"},
        {"hh:mm", "08:05"},
        {"h:nn", "8:05"},
        {"yy/m/d", "04/3/5"},
        {"yyyy-mm-dd hh:mm", "2004-03-05 08:05"},
    };
    for (const auto& [pattern, text] : cases) EXPECT_EQ(formatDate(d, pattern), text) << pattern;
}

TEST(Text, CharactersNotBytes) {
    EXPECT_EQ(charCount("中文ab"), 4u);
    EXPECT_EQ(leftChars("中文ab", 1), "中");
    EXPECT_EQ(midChars("中文ab", 2), "文ab");
    EXPECT_EQ(midChars("中文ab", 2, 2), "文a");
    EXPECT_EQ(midChars("中文ab", 9), "");
    EXPECT_EQ(inStr("中文.ab", "."), 3u);
    EXPECT_EQ(inStr("abc", "x"), 0u);
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim("\ta\t"), "\ta\t");  // Trim removes spaces only
    EXPECT_EQ(trimBlanks("\t a \t"), "a");
    EXPECT_TRUE(equalsNoCase("Palvo.ClsGrid", "palvo.clsgrid"));
    EXPECT_FALSE(equalsNoCase("ab", "abc"));
    EXPECT_FALSE(equalsNoCase("\xc3\xa9", "\xc3\x89")) << "only ASCII letters fold";
    EXPECT_EQ(asciiLower("Ab中Z"), "ab中z");
    EXPECT_EQ(split("a,,b", ','), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(split("", ','), (std::vector<std::string_view>{""}));
    EXPECT_EQ(split("a,", ','), (std::vector<std::string_view>{"a", ""}));
    EXPECT_EQ(sqlQuote("O'Neil''s"), "O''Neil''''s");
}

TEST(Text, StrayBytesSurviveDecodeAndEncode) {
    const std::string raw = std::string("a\xff") + "中" + std::string("\xe4\xb8") + "z\xc0\xaf";
    std::u32string chars = decodeUtf8(raw);
    EXPECT_EQ(chars.size(), 8u);  // a, ff, 中, e4, b8, z, c0, af
    EXPECT_EQ(encodeUtf8(chars), raw);
}

TEST(Like, WildcardsByCharacter) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"select * from t order by a", "*rder *", true},
        {"select * from t", "*rder *", false},
        {"入库日期", "*日期*", true},
        {"入库时间", "*日期*", false},
        {",3,13,", "*,3,*", true},
        {",13,", "*,3,*", false},
        {"ABC", "abc", false},  // binary comparison: case counts
        {"中文", "??", true},
        {"中文", "?", false},
        {"a1", "a#", true},
        {"ab", "a#", false},
        {"b", "[a-c]", true},
        {"d", "[a-c]", false},
        {"d", "[!a-c]", true},
        {"b", "[!a-c]", false},
        {"-", "[a-]", true},
        {"*", "[*]", true},
        {"[", "[[]", true},
        {"乙", "[甲乙丙]", true},
        {"ab", "a[]b", true},
        {"", "*", true},
        {"", "", true},
        {"a", "", false},
        {"aaa", "a*a*a", true},
        {"aa", "a*a*a", false},
        {"x]", "x]", true},
    };
    for (const auto& [text, pattern, match] : cases)
        EXPECT_EQ(like(text, pattern), match) << text << " Like " << pattern;
}

TEST(Like, InvalidPatternsRaise93) {
    for (const char* p : {"[abc", "a[", "[z-a]"})
        EXPECT_EQ(testing::errorNumber([&] { like("abc", p); }), 93) << p;
}

TEST(Like, LongTextsStayFast) {
    std::string text(20000, 'a');
    EXPECT_FALSE(like(text, "*a*a*a*a*b"));
    EXPECT_TRUE(like(text + "b", "*a*a*a*a*b"));
}

TEST(CodePage, LengthInGbkBytes) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0},    {"abc", 3}, {"中文", 4}, {"中文字12", 8},
        {"€", 1},   {"　", 2},  {"ａ", 2},   {"한", 1},  // not in GBK: written as "?"
        {"😀", 2},                                        // beyond U+FFFF: two "?"
        {"\xff", 1}};
    for (const auto& [text, bytes] : cases) EXPECT_EQ(gbkLength(text), bytes) << text;
}

TEST(CodePage, AscAndChrOfGbk) {
    EXPECT_EQ(ansiCode(U'A'), 65);
    EXPECT_EQ(ansiCode(U'啊'), static_cast<std::int16_t>(0xB0A1));
    EXPECT_EQ(charFromAnsiCode(static_cast<std::int16_t>(0xB0A1)), U'啊');
    EXPECT_EQ(ansiCode(U'한'), std::nullopt);
    EXPECT_EQ(charFromAnsiCode(0x0BB6), std::nullopt);                             // lead byte 0x0B
    EXPECT_EQ(charFromAnsiCode(static_cast<std::int16_t>(0xB07F)), std::nullopt);  // trail byte 0x7F
    EXPECT_EQ(charFromAnsiCode(0x81), std::nullopt);                               // a lone lead byte
}

TEST(CodePage, MissingConverterRaisesAClearError) {
    try {
        detail::buildCodePageTables("NO-SUCH-CHARSET");
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::NotInstalled);
        EXPECT_NE(e.description().find("NO-SUCH-CHARSET"), std::string::npos);
    }
}

}  // namespace
}  // namespace Palvo::util
