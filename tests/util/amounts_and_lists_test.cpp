#include <gtest/gtest.h>

#include <limits>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/msgbox.h"
#include "src/base/conversions.h"

namespace Palvo {
namespace {

class Money : public ::testing::Test {
protected:
    std::shared_ptr<memory::ScriptedMessageBox> msgs = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard{msgs};
    clsFunction fn;
};

TEST_F(Money, AmountsInCapitals) {
    struct Case {
        double amount;
        const char* words;
    } cases[] = {
        {0, "元整"},
        {0.05, "元零伍分"},
        {10.5, "壹拾元伍角整"},
        {101, "壹佰零壹元整"},
        {1000.01, "壹仟元零壹分"},
        {10010, "壹万零壹拾元整"},
        {2020000, "贰佰零贰万元整"},
        {200000000, "贰亿元整"},
        {200020000, "贰亿零贰万元整"},
        {123456789.12, "壹亿贰仟叁佰肆拾伍万陆仟柒佰捌拾玖元壹角贰分"},
        // A zero 万 digit before a non-zero 仟 digit keeps the unit 万.
        {1001000, "壹佰万壹仟元整"},
        {107000.53, "壹拾万柒仟元伍角叁分"},
        {10001000, "壹仟万壹仟元整"},
        // The whole 万 group zero under 亿: a single 零 stands for it.
        {100001000, "壹亿零壹仟元整"},
        {100000100, "壹亿零壹佰元整"},
        {100100000, "壹亿零壹拾万元整"},
        // The third decimal rounds half away from zero on the amount as written.
        {2.675, "贰元陆角捌分"},
        {0.125, "元壹角叁分"},
        {999999999.994, "玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
        // Negative amounts read as the amount with 负 before it.
        {-1001000.5, "负壹佰万壹仟元伍角整"},
        {-0.001, "元整"},
    };
    for (const auto& c : cases) EXPECT_EQ(fn.sConvertMoneyX(c.amount), c.words) << std::fixed << c.amount;
    EXPECT_TRUE(msgs->messages().empty());
    // a thousand million and more shows the message and gives nothing
    const double bad[] = {1e9,
                          999999999.995,
                          -1e9,
                          1e300,
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};
    for (double je : bad) {
        msgs->clear();
        EXPECT_EQ(fn.sConvertMoneyX(je), "") << je;
        ASSERT_EQ(msgs->messages().size(), 1u) << je;
        EXPECT_EQ(msgs->last(), (memory::ShownMessage{"最大只能处理小于十亿", 64, "提示信息"}));
    }
}

TEST(LenthStr, CountsGbkBytes) {
    const std::pair<const char*, std::int32_t> cases[] = {{"", 0},    {"O'Neil", 6}, {"中华人12", 8},
                                                          {"€", 1},   {"　", 2},     {"ａ", 2},
                                                          {"한", 1},  // not in GBK: written as "?"
                                                          {"😀", 2},   // beyond U+FFFF: two "?"
                                                          {"\xff", 1}};
    for (const auto& [text, bytes] : cases) EXPECT_EQ(clsFunction().lGetLenthStr(text), bytes) << text;
}

TEST(SetPwd, TransformsAsKnown) {
    clsFunction fn;
    // 'a' = 97: -97 - 17321 = 0xBBF6, the GBK code of 祸; '`' = 96 gives 0xBBF7, 击.
    EXPECT_EQ(fn.sSetPwd("a`", true), "祸击");
    EXPECT_EQ(fn.sSetPwd("祸击", false), "a`");
    // 'X' = 88 gives 0xBBFF and 啊 (0xB0A1) gives 0x0BB6: no GBK characters, carried at U+F0000 + code.
    EXPECT_EQ(fn.sSetPwd("X", true), base::encodeUtf8(U"\U000FBBFF"));
    EXPECT_EQ(fn.sSetPwd("啊", true), base::encodeUtf8(U"\U000F0BB6"));
    EXPECT_EQ(fn.sSetPwd(base::encodeUtf8(U"\U000F0BB6"), true), "啊");
}

TEST(SetPwd, TwiceGivesBackEveryText) {
    clsFunction fn;
    const std::string texts[] = {
        "",       "password",   "P@ss w0rd!~",
        "管理员", "用户123abc", "€",
        "한국",   "😀x",         std::string("a\xff\0b", 4),  // stray bytes and a NUL survive as well
    };
    for (const auto& t : texts) {
        const std::string hidden = fn.sSetPwd(t, true);
        EXPECT_EQ(fn.sSetPwd(hidden, false), t) << t;
    }
    EXPECT_NE(fn.sSetPwd("password", true), "password");
}

TEST(SetPwd, TwiceGivesBackEveryBmpCharacter) {
    std::u32string all;
    std::size_t gbkChars = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        all += c;
        if (base::ansiCode(c)) ++gbkChars;
    }
    EXPECT_GT(gbkChars, 21000u) << "GBK holds about 21,900 characters";
    const std::string text = base::encodeUtf8(all);
    const std::string hidden = clsFunction().sSetPwd(text, true);
    EXPECT_EQ(base::decodeUtf8(hidden).size(), all.size()) << "one character for one character";
    const std::u32string back = base::decodeUtf8(clsFunction().sSetPwd(hidden, true));
    ASSERT_EQ(back.size(), all.size());
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < all.size(); ++i) wrong += back[i] != all[i];
    EXPECT_EQ(wrong, 0u);
}

memory::ListBox fruitList() {
    memory::ListBox l;
    for (const char* s : {"苹果", "香蕉", "橙子"}) l.AddItem(s);
    for (int i = 0; i < 3; ++i) l.ItemData(i, 10 * (i + 1));
    l.Selected(0, true);
    return l;
}

TEST(ListHelpers, ArrayIndexIsTheFirstExactMatch) {
    clsFunction fn;
    const std::vector<std::string> a = {"甲", "乙", "乙", "a"};
    EXPECT_EQ(fn.iGetElementIndexFromArray(a, "乙"), 1);
    EXPECT_EQ(fn.iGetElementIndexFromArray(a, "A"), -1);
    EXPECT_EQ(fn.iGetElementIndexFromArray({}, ""), -1);
}

TEST(ListHelpers, AnExchangeSwapsTextsWithTheirMarksNotItemData) {
    clsFunction fn;
    auto l = fruitList();
    fn.mExChangeListItem(l, 0, 2);
    EXPECT_EQ(l.List(0), "橙子");
    EXPECT_EQ(l.List(2), "苹果");
    EXPECT_FALSE(l.Selected(0));
    EXPECT_TRUE(l.Selected(2));
    EXPECT_EQ(l.ItemData(0), 10);
    EXPECT_EQ(l.ItemData(2), 30);
    EXPECT_EQ(l.ListIndex(), 2);
    EXPECT_EQ(l.ListCount(), 3);
}

// A negative index raises.
TEST(ListHelpers, AnExchangeBeyondTheLastEntryDoesNothing) {
    clsFunction fn;
    auto l = fruitList();
    fn.mExChangeListItem(l, 0, 3);
    fn.mExChangeListItem(l, 3, 0);
    EXPECT_EQ(l.List(0), "苹果");
    EXPECT_EQ(l.ListIndex(), -1);
    EXPECT_THROW(fn.mExChangeListItem(l, -1, 0), Error);
    fn.mExChangeListItem(l, 1, 1);
    EXPECT_EQ(l.List(1), "香蕉");
    EXPECT_EQ(l.ListIndex(), 1);
}

TEST(ListHelpers, AComboOrListIndexIsFoundByTextOrItemData) {
    clsFunction fn;
    memory::ComboBox c;
    for (const char* s : {"7", "甲", "乙"}) c.AddItem(s);
    c.ItemData(0, 1);
    c.ItemData(1, 7);
    c.ItemData(2, 7);
    struct Case {
        const char* text;
        std::int16_t type, index;
    } cases[] = {
        {"甲", 0, 1}, {"7", 0, 0},  {"丙", 0, -1},  {"7", 1, 1}, {" 7.0 ", 2, 1},
        {"1", 1, 0},  {"9", 1, -1}, {"abc", 1, -1}, {"", 1, -1},
    };
    for (const auto& k : cases) EXPECT_EQ(fn.iGetIdxFromComOrList(c, k.text, k.type), k.index) << k.text;
    EXPECT_EQ(fn.iGetIdxFromComOrList(c, "乙"), 2);
}

TEST(ListHelpers, AListViewIndexCountsFromOne) {
    clsFunction fn;
    memory::ListView lv;
    lv.ListItemsAdd(1, "k1", "甲");
    lv.ListItemsAdd(2, "k2", "乙");
    EXPECT_EQ(fn.lGetIndexFromLV(lv, "乙"), 2);
    EXPECT_EQ(fn.lGetIndexFromLV(lv, "丙"), 0);
}

}  // namespace
}  // namespace Palvo
