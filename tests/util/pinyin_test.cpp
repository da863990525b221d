// The pinyin filter: which typed texts take it, the readings the table holds,
// and which names a text matches.
#include "src/util/pinyin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Palvo::util {
namespace {

TEST(PinyinFilter, TakesLettersWithDigitsOrCharacters) {
    struct Case {
        const char* typed;
        bool pinyin;
    };
    const Case cases[] = {
        {"cqs", true},   {"CQS", true},   {"ChongQing", true}, {"a4z", true},   {"4a", true},
        {"重q", true},   {"c重", true},   {"a4纸", true},      {"", false},     {"123", false},
        {"重庆", false}, {"c q", false},  {"重 q", false},     {" cqs", false}, {"cqs%", false},
        {"c_s", false},  {"ｃqs", false}, {"O'Neil", false},   {"q。", false},  {"q\xff", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isPinyinFilter(c.typed), c.pinyin) << c.typed;
}

TEST(PinyinFilter, KeepsEveryReadingWithoutTones) {
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
        {"a4纸", {"A4Z"}, {}},
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
}

// Names as goods and customer lists hold them: codes and sizes after or before
// the Chinese, digits between characters, a Latin word first. Each text that
// matches from the name's start is tried again past 70 letters more, which
// takes the automata of long texts.
TEST(PinyinFilter, MatchesLatinLettersOrDigitsBesideTheChinese) {
    struct Case {
        const char* name;
        std::vector<const char*> fromStart, inside, notMatching;
    };
    const Case cases[] = {
        {"钢板Q235",
         {"gbq235", "GBQ235", "gangbanq235", "gbq2", "gb"},
         {"banq235", "q235", "35"},
         {"gbq236", "gbq2355", "gbq235x"}},
        {"张3", {"z3", "zhang3", "Z3"}, {"ang3", "g3"}, {"z4", "z33", "3z"}},
        {"重庆3号",
         {"cq3", "cq3h", "chongqing3hao", "zq3h"},
         {"q3", "3h", "ing3ha"},
         {"cq4", "cq3hx", "cqh"}},
        {"M8螺栓", {"m8ls", "m8luoshuan", "M8L"}, {"8l", "8luos", "ls"}, {"m9ls", "m8lsx", "mls"}},
        {"A4纸", {"a4z", "a4zhi"}, {"4zh"}, {"a4zz", "a4zhix"}},
        {"国标M10螺母8.8级", {"gbm10lm", "guobiaom10"}, {"m10lm8", "8j"}, {"gbm10lm88j"}},
        {"ABC公司", {"abcgs", "abcgongsi", "ABCg"}, {"bcg", "cgongs"}, {"abcgx", "abgs"}},
        {"3号楼2单元", {"3hl2dy", "3haolou2danyuan"}, {"l2d", "2dy"}, {"3hl3dy"}},
        // a Chinese character of the text stands for itself, before or after initials
        {"重庆市",
         {"重q", "重qs", "重庆s", "c庆s", "重qingshi", "zhong庆"},
         {"庆s", "q市"},
         {"庆c", "重x", "q重"}},
    };
    const std::string pad(70, 'x');
    for (const Case& c : cases) {
        for (const char* typed : c.fromStart) {
            EXPECT_TRUE(PinyinFilter(typed).matches(c.name)) << typed << " in " << c.name;
            EXPECT_TRUE(PinyinFilter(pad + typed).matches(pad + c.name))
                << "long " << typed << " in " << c.name;
        }
        for (const char* typed : c.inside)
            EXPECT_TRUE(PinyinFilter(typed).matches(c.name)) << typed << " in " << c.name;
        for (const char* typed : c.notMatching) {
            EXPECT_FALSE(PinyinFilter(typed).matches(c.name)) << typed << " in " << c.name;
            EXPECT_FALSE(PinyinFilter(pad + typed).matches(pad + c.name))
                << "long " << typed << " in " << c.name;
        }
    }
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

// Texts of hundreds of letters: the states spread over several words, and a
// text longer than any spelling of the name fails it.
TEST(PinyinFilter, TextsOfHundredsOfLettersMatchAcrossWords) {
    std::string name;
    for (int i = 0; i < 400; ++i) name += "重";
    std::string zhong;
    for (int i = 0; i < 400; ++i) zhong += i % 3 == 0 ? "zhong" : i % 3 == 1 ? "chong" : "tong";
    const struct {
        std::string typed;
        bool matches;
    } cases[] = {
        {zhong, true},
        {zhong.substr(3), true},                    // starting inside a reading
        {zhong.substr(0, zhong.size() - 2), true},  // ending inside one
        {zhong + "x", false},
        {"x" + zhong, false},
        {zhong + "zhong", false},  // one character more than the name has
        {std::string(400, 'c'), true},
        {std::string(401, 'c'), false},
        {std::string(200, 'z') + "t" + std::string(199, 'c'), true},
        {std::string(200, 'z') + "x" + std::string(199, 'c'), false},
        {std::string(2000, 'z'), false},  // a text longer than any spelling of a name of 400 characters
        {std::string(2401, 'z'), false},
    };
    for (const auto& c : cases) EXPECT_EQ(PinyinFilter(c.typed).matches(name), c.matches) << c.typed.size();
    // one filter serves long and short names alike
    const PinyinFilter filter(std::string(100, 'c') + "q");
    EXPECT_FALSE(filter.matches("重庆"));
    EXPECT_TRUE(filter.matches(name.substr(0, 300) + "庆"));
    EXPECT_FALSE(filter.matches(name.substr(0, 297) + "庆"));
    EXPECT_TRUE(filter.matches(name.substr(0, 300) + "庆"));
}

}  // namespace
}  // namespace Palvo::util
