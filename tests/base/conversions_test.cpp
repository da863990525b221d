#include "src/base/conversions.h"

#include <gtest/gtest.h>

#include <utility>

#include "palvo/error.h"
#include "support/errors.h"

namespace Palvo::base {
namespace {

// The rest is ignored.
TEST(Val, ReadsTheLeadingNumber) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},        {"abc", 0},    {"12abc", 12},  {"  1 2 3", 123}, {"-3.5e2x", -350},
        {"1.2.3", 1.2}, {"&H10", 16},  {"&HFFFF", -1}, {"&O17", 15},     {"+.5", 0.5},
        {"1e", 1},      {"2d3", 2000}, {"\t7\n", 7},   {"1e-999", 0},    {"-", 0}};
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(val(text), value) << text;
}

// Instead of reading zero.
TEST(Val, ANumberBeyondADoubleOverflows) {
    const std::string digits400 = "1" + std::string(400, '0');
    for (const std::string& t : {std::string("1e400"), std::string("-1e400"), std::string(" 1 e 400abc"),
                                 std::string("2d999"), digits400}) {
        EXPECT_EQ(testing::errorNumber([&] { val(t); }), ErrorNumber::Overflow) << t.substr(0, 20);
    }
    EXPECT_DOUBLE_EQ(val("1.7976931348623157e308"), 1.7976931348623157e308);
}

// Nothing after it: the statements' hostile numbers are the forms' and the field helpers' tests.
TEST(SqlNumber, WritesTheNumberValReads) {
    const std::pair<const char*, const char*> sqlCases[] = {
        {"-0", "0"}, {"+12abc", "12"}, {"2d3", "2000"}, {"0.00001", "1E-05"}};
    for (const auto& [text, sql] : sqlCases) EXPECT_EQ(sqlNumber(text), sql) << '"' << text << '"';
    // as many digits as a double carries, and more: all of them, in plain form
    EXPECT_EQ(sqlNumber("-0002024010100000124.500x"), "-2024010100000124.5");
    EXPECT_EQ(sqlNumber("0.1234567890123456789"), "0.1234567890123456789");
    EXPECT_EQ(sqlNumber("10000000000000000"), "10000000000000000");
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

TEST(NumberConversions, FailOnWhatIsNoNumber) {
    EXPECT_DOUBLE_EQ(toNumber(" -2.5e1 "), -25);
    EXPECT_EQ(testing::errorNumber([] { toNumber("abc"); }), 13);
    EXPECT_EQ(toInt16("2.5"), 2);  // half to even
    EXPECT_EQ(toInt16("3.5"), 4);
    EXPECT_EQ(toInt16("-32768"), -32768);
    EXPECT_EQ(testing::errorNumber([] { toInt16("32768"); }), 6);
}

// isSqlDateTime is what SQL Server's datetime takes as text: the date test within
// 1753-01-01 to 9999-12-31, milliseconds at most, and no .999 that rounds past the last day.
TEST(Dates, TestsTellDates) {
    for (const char* text : {"2004-3-5", "2004-03-05", "2004/3/5", " 2004-3-5 ", "2004-2-29",
                             "2004-3-5 10:30", "2004-3-5 10:30:59"})
        EXPECT_TRUE(isDate(text)) << text;
    for (const char* text : {"2003-2-29", "2004-1-32", "2004-13-1", "2004-0-1", "2004-3-5 24:00", "2004-3/5",
                             "2004.1.1", "2004-01", "04-3-5", "", "abc", "2004-3-5x"})
        EXPECT_FALSE(isDate(text)) << text;
    for (const char* text : {"1753-1-1", " 1753/01/01 ", "9999-12-31", "9999-12-31 23:59:59.998",
                             "9998-12-31 23:59:59.999", "2004-3-5 10:30:59.12"})
        EXPECT_TRUE(isSqlDateTime(text)) << text;
    for (const char* text : {"1752-12-31 23:59:59", "0099-1-1", "0001-01-01", "9999-12-31 23:59:59.999",
                             "2004-3-5 10:30:59.1234", "2004-2-30", "2004-3-5x", ""})
        EXPECT_FALSE(isSqlDateTime(text)) << text;
}

const DateTime d = {2004, 3, 5, 8, 5, 9, 0};

// A leap February and a year's end walked back are the period ranges'.
TEST(Dates, AddingDaysWalksTheCalendar) {
    EXPECT_EQ(addDays({2003, 3, 1}, -1), (DateTime{2003, 2, 28}));
    EXPECT_EQ(addDays({1900, 3, 1}, -1), (DateTime{1900, 2, 28}));
    EXPECT_EQ(addDays({2000, 3, 1}, -1), (DateTime{2000, 2, 29}));
    EXPECT_EQ(addDays({2004, 1, 31, 18, 0, 0, 0}, 30), (DateTime{2004, 3, 1, 18, 0, 0, 0}));
    EXPECT_THROW(addDays(DateTime{9999, 12, 31}, 1), Error);
    EXPECT_THROW(addDays(DateTime{1, 1, 1}, -1), Error);
}

TEST(Dates, FormatAsTheFormatsInUseSay) {
    const std::pair<const char*, const char*> formats[] = {{"YYYY-MM-DD", "2004-03-05"},
                                                           {"yyyy-mm-dd", "2004-03-05"},
                                                           {"yyyy-mm", "2004-03"},
                                                           {"hh:mm:ss", "08:05:09"},
                                                           {"YYYY年M月D日", "2004年3月5日"},
                                                           {"h:nn", "8:05"},
                                                           {"yy/m/d", "04/3/5"},
                                                           {"yyyy-mm-dd hh:mm", "2004-03-05 08:05"}};
    for (const auto& [format, text] : formats) EXPECT_EQ(formatDate(d, format), text) << format;
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
    // stray bytes survive decoding and encoding
    const std::string raw = std::string("a\xff") + "中" + std::string("\xe4\xb8") + "z\xc0\xaf";
    std::u32string chars = decodeUtf8(raw);
    EXPECT_EQ(chars.size(), 8u);  // a, ff, 中, e4, b8, z, c0, af
    EXPECT_EQ(encodeUtf8(chars), raw);
}

TEST(Like, WildcardsMatchByCharacter) {
    EXPECT_TRUE(like("select * from t order by a", "*rder *"));
    EXPECT_FALSE(like("select * from t", "*rder *"));
    const std::pair<const char*, const char*> matches[] = {
        {"入库日期", "*日期*"}, {",3,13,", "*,3,*"}, {"中文", "??"}, {"a1", "a#"},     {"b", "[a-c]"},
        {"d", "[!a-c]"},        {"-", "[a-]"},       {"*", "[*]"},   {"[", "[[]"},     {"乙", "[甲乙丙]"},
        {"ab", "a[]b"},         {"", "*"},           {"", ""},       {"aaa", "a*a*a"}, {"x]", "x]"}};
    for (const auto& [text, pattern] : matches)
        EXPECT_TRUE(like(text, pattern)) << text << " Like " << pattern;
    // "ABC" Like "abc" misses: a binary comparison, case counts
    const std::pair<const char*, const char*> misses[] = {
        {"入库时间", "*日期*"}, {",13,", "*,3,*"}, {"ABC", "abc"}, {"中文", "?"},  {"ab", "a#"},
        {"d", "[a-c]"},         {"b", "[!a-c]"},   {"a", ""},      {"aa", "a*a*a"}};
    for (const auto& [text, pattern] : misses)
        EXPECT_FALSE(like(text, pattern)) << text << " Like " << pattern;
}

TEST(Like, AnInvalidPatternRaises) {
    for (const char* p : {"[abc", "a[", "[z-a]"})
        EXPECT_EQ(testing::errorNumber([&] { like("abc", p); }), 93) << p;
}

TEST(Like, LongTextsStayFast) {
    std::string text(20000, 'a');
    EXPECT_FALSE(like(text, "*a*a*a*a*b"));
    EXPECT_TRUE(like(text + "b", "*a*a*a*a*b"));
}

TEST(CodePage, CharacterCodesAreGbks) {
    EXPECT_EQ(ansiCode(U'A'), 65);
    EXPECT_EQ(ansiCode(U'啊'), static_cast<std::int16_t>(0xB0A1));
    EXPECT_EQ(charFromAnsiCode(static_cast<std::int16_t>(0xB0A1)), U'啊');
    EXPECT_EQ(ansiCode(U'한'), std::nullopt);
    EXPECT_EQ(charFromAnsiCode(0x0BB6), std::nullopt);                             // lead byte 0x0B
    EXPECT_EQ(charFromAnsiCode(static_cast<std::int16_t>(0xB07F)), std::nullopt);  // trail byte 0x7F
    EXPECT_EQ(charFromAnsiCode(0x81), std::nullopt);                               // a lone lead byte
}

TEST(CodePage, AMissingConverterRaisesAClearError) {
    const auto [number, text] = testing::errorOf([] { detail::buildCodePageTables("NO-SUCH-CHARSET"); });
    EXPECT_EQ(number, ErrorNumber::NotInstalled);
    EXPECT_NE(text.find("NO-SUCH-CHARSET"), std::string::npos);
}

}  // namespace
}  // namespace Palvo::base
