// The pinyin filter: which typed texts take it, the readings the table holds,
// and which names a text matches.
#include "src/util/pinyin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Palvo::util {
namespace {

TEST(PinyinFilter, TakesLettersWithOrWithoutDigitsOnlyAndKeepsEveryReadingWithoutTones) {
    struct Case {
        const char* typed;
        bool pinyin;
    };
    const Case cases[] = {
        {"cqs", true},   {"CQS", true},   {"ChongQing", true}, {"a4z", true},   {"4a", true},
        {"", false},     {"123", false},  {"重庆", false},     {"c重", false},  {"c q", false},
        {" cqs", false}, {"cqs%", false}, {"c_s", false},      {"ｃqs", false}, {"O'Neil", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isPinyinFilter(c.typed), c.pinyin) << c.typed;
    // every reading, without tones
    using Readings = std::vector<std::string_view>;
    EXPECT_EQ(pinyinReadings(U'重'), (Readings{"chong", "tong", "zhong"}));
    EXPECT_EQ(pinyinReadings(U'长'), (Readings{"chang", "zhang"}));
    EXPECT_EQ(pinyinReadings(U'绿'), (Readings{"lu", "lv"}));  // ü is written v
    EXPECT_EQ(pinyinReadings(U'行'), (Readings{"hang", "heng", "xing"}));
    EXPECT_EQ(pinyinReadings(U'𠀀'), (Readings{"he"}));  // Extension B, outside the dense block
    EXPECT_TRUE(pinyinReadings(U'a').empty());
    EXPECT_TRUE(pinyinReadings(U'。').empty());
}

TEST(PinyinFilter, MatchesInitialsOrFullPinyinOfAnyReading) {
    struct Case {
        const char* name;
        std::vector<const char*> matching, notMatching;
    };
    const Case cases[] = {
        // initials and full pinyin of every reading, any case, substrings of either spelling; the readings
        // are chosen per character, never mixed within one spelling
        {"重庆市",
         {"cqs", "zqs", "chongqing", "zhongqingshi", "CQS", "ChongQing", "qs", "ongqin", "ingshi", "q"},
         {"cqingshi", "chongqs", "cqx", "xqs", "chongqinga", "shichong"}},
        {"长沙市", {"css", "zss", "changsha", "zhangsha"}, {}},
        {"绿化带", {"lv", "lhd"}, {}},
        // Latin letters and digits of the name stand for themselves; signs, blanks, characters the table
        // does not know and malformed bytes break the name
        {"A4纸", {"a4z", "a4zhi", "4z"}, {"a5z"}},
        {"a4纸", {"A4Z"}, {}},
        {"Q235钢板", {"q235", "235gb"}, {}},
        {"Q-235钢板", {}, {"q235"}},
        {"钢板 Q235", {"gb"}, {"gbq"}},
        {"O'Neil", {"neil"}, {"oneil"}},
        {"a。b", {}, {"ab"}},
        {"xxABCxx", {"abc"}, {}},
        {"", {}, {"abc"}},
        {"\xff\xfe\x61\x62\x63", {"abc"}, {}},  // malformed bytes, then abc
    };
    for (const Case& c : cases) {
        for (const char* typed : c.matching)
            EXPECT_TRUE(PinyinFilter(typed).matches(c.name)) << typed << " in " << c.name;
        for (const char* typed : c.notMatching)
            EXPECT_FALSE(PinyinFilter(typed).matches(c.name)) << typed << " in " << c.name;
    }
    // one filter serves many names, with no state left over from the name before
    const PinyinFilter filter("cqs");
    EXPECT_TRUE(filter.matches("重庆市"));
    EXPECT_FALSE(filter.matches("长沙市"));
    EXPECT_TRUE(filter.matches("重庆市"));
    EXPECT_TRUE(filter.matches("长沙市重庆市"));
}

TEST(PinyinFilter, LongNamesOfPolyphonesStayLinear) {
    // 70 characters of three readings each: 3^70 spellings, matched without enumerating them;
    // texts of more than 64 letters take the same automata with a flag per state
    std::string name;
    for (int i = 0; i < 70; ++i) name += "重";
    std::string zhong13;
    for (int i = 0; i < 13; ++i) zhong13 += "zhong";
    const struct {
        std::string typed;
        bool matches;
    } cases[] = {
        {"zctzctzct", true},
        {"zhongchongtong", true},
        {"zhongchongtongx", false},
        {"ongchongt", true},
        {std::string(64, 'z'), true},
        {std::string(65, 't'), true},
        {std::string(70, 'c'), true},
        {std::string(71, 'c'), false},
        {std::string(64, 'c') + "x", false},
        {zhong13, true},
        {"ong" + zhong13 + "chon", true},
        {zhong13 + "x", false},
        {"zhon" + zhong13, false},
    };
    for (const auto& c : cases) EXPECT_EQ(PinyinFilter(c.typed).matches(name), c.matches) << c.typed;
    // the long automata also read Latin letters and digits as themselves, and break at signs
    const std::string latin = std::string(40, 'a') + "4纸" + std::string(30, 'b');
    EXPECT_TRUE(PinyinFilter(std::string(40, 'A') + "4zhi" + std::string(30, 'B')).matches(latin));
    EXPECT_TRUE(PinyinFilter(std::string(40, 'a') + "4z" + std::string(30, 'b')).matches(latin));
    EXPECT_FALSE(PinyinFilter(std::string(40, 'a') + "4z" + std::string(30, 'b'))
                     .matches(std::string(40, 'a') + "4纸-" + std::string(30, 'b')));
}

}  // namespace
}  // namespace Palvo::util
