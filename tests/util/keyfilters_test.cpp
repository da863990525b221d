#include <gtest/gtest.h>

#include "palvo/clsFunction.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/msgbox.h"

namespace Palvo {
namespace {

memory::TextBox box(const std::string& text, int selStart = -1, int selLength = 0) {
    memory::TextBox t("TXT", text);
    t.SelStart(selStart < 0 ? 1 << 20 : selStart);  // past the end puts the caret at the end
    t.SelLength(selLength);
    return t;
}

constexpr std::int16_t kChinese = static_cast<std::int16_t>(0xB0A1);  // 啊, as the IME hands it over

TEST(KeyPress, TheLengthCountsGbkBytes) {
    struct Case {
        const char* text;
        int selStart, selLength;
        std::int16_t max, key, result;
    } cases[] = {
        {"中文", 2, 0, 5, 'a', 'a'},     // 4 + 1 bytes fit
        {"中文", 2, 0, 5, kChinese, 0},  // 4 + 2 do not
        {"中文a", 3, 0, 5, 'b', 0},
        {"中文a", 0, 1, 5, 'b', 'b'},  // the selected 中 is replaced: 2 + 1 + 1
        {"中文a", 0, 3, 2, kChinese, kChinese},
        {"", 0, 0, 1, 'x', 'x'},
        {"", 0, 0, 0, 'x', 0},
        {"", 0, 0, 5, 39, 0},      // the apostrophe, always
        {"abcde", 5, 0, 5, 8, 8},  // Backspace and Enter pass a full box
        {"abcde", 5, 0, 5, 13, 13},
    };
    for (const auto& c : cases) {
        auto t = box(c.text, c.selStart, c.selLength);
        EXPECT_EQ(clsFunction().iKeyPress_Control_Len(t, c.max, c.key), c.result)
            << c.text << " key " << c.key;
    }
}

TEST(KeyPress, ANumberLimitsItsDigitsEachSideOfThePoint) {
    struct Number {
        const char* text;
        int selStart;
        std::int16_t lenInt, lenDec, key, result;
    } numbers[] = {
        {"123", 3, 3, 2, '4', 0},    {"123", 3, 3, 2, '.', '.'}, {"1.25", 4, 3, 2, '3', 0},
        {"1.2", 3, 3, 2, '5', '5'},  {"1.2", 3, 3, 2, '.', 0},   {"12", 1, 3, 2, '-', 0},
        {"12", 0, 3, 2, '-', '-'},   {"-12", 0, 3, 2, '-', 0},   {"-12", 3, 3, 2, '1', 0},
        {"12.5", 0, 3, 2, '9', '9'}, {"123.5", 0, 3, 2, '9', 0}, {"", 0, 3, 0, '.', '.'},
        {"1.", 2, 3, 0, '5', 0},     {"1", 1, 3, 2, 'a', 0},     {"123", 3, 3, 2, 8, 8},
        {"123", 3, 3, 2, 13, 13},    {"", 0, 3, 2, 39, 0},
    };
    for (const auto& c : numbers) {
        auto t = box(c.text, c.selStart);
        EXPECT_EQ(clsFunction().iKeyPress_Control_Number(c.key, t, c.lenInt, c.lenDec), c.result)
            << c.text << " key " << static_cast<char>(c.key);
    }
}

TEST(KeyPress, ADateTakesSeparatorsOnlyAfterSomething) {
    struct Date {
        const char* text;
        std::int16_t key, result;
    } dates[] = {
        {"", '-', 0},   {"", ':', 0},  {"2", '-', '-'}, {"2004-1-1 8", ':', ':'},
        {"", '7', '7'}, {"", 8, 8},    {"", 13, 13},    {"2", 39, 0},
        {"2", '/', 0},  {"2", 'a', 0},
    };
    for (const auto& c : dates) {
        auto t = box(c.text);
        EXPECT_EQ(clsFunction().iKeyPress_Control_Date(t, c.key), c.result) << c.text << " key " << c.key;
    }
}

class ValueChecks : public ::testing::Test {
protected:
    std::shared_ptr<memory::ScriptedMessageBox> msgs = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard{msgs};
    clsFunction fn;
};

// The box is not emptied.
TEST_F(ValueChecks, NoTextWarnsFocusingTheBox) {
    auto empty = box("   ");
    EXPECT_TRUE(fn.bIsNoText(empty));
    EXPECT_TRUE(empty.focused());
    ASSERT_EQ(msgs->messages().size(), 1u);
    EXPECT_EQ(msgs->last(), (memory::ShownMessage{"请把必填项填充完整！", 48, "提示"}));
    EXPECT_EQ(empty.Text(), "   ");
    auto filled = box(" x ");
    EXPECT_FALSE(fn.bIsNoText(filled));
    EXPECT_EQ(msgs->messages().size(), 1u);
}

TEST_F(ValueChecks, ADisabledBoxDoesNotTurnTheCheckIntoAnError) {
    auto disabled = box("abc");
    disabled.Enabled(false);
    EXPECT_FALSE(fn.bIsNum(disabled));
    EXPECT_FALSE(disabled.focused());
    EXPECT_EQ(msgs->messages().size(), 1u);
}

TEST_F(ValueChecks, NumberChecksEmptyTheBoxOnFailure) {
    struct Case {
        const char* text;
        bool num, integer;
    } numbers[] = {
        {"12", true, true},    {"1.5", true, false},  {"1e3", true, true},
        {"1e-5", true, false}, {"abc", false, false}, {"12a", false, false},
    };
    for (const auto& c : numbers) {
        auto a = box(c.text);
        EXPECT_EQ(fn.bIsNum(a), c.num) << c.text;
        EXPECT_EQ(a.Text(), c.num ? std::string(c.text) : "") << c.text;
        EXPECT_EQ(a.focused(), !c.num) << c.text;
        if (!c.num) {
            EXPECT_EQ(msgs->last(), (memory::ShownMessage{"请填入数字！", 48, "提示"}));
        }

        auto b = box(c.text);
        msgs->clear();
        EXPECT_EQ(fn.bIsInt(b), c.integer) << c.text;
        EXPECT_EQ(b.Text(), c.integer ? std::string(c.text) : "") << c.text;
        EXPECT_EQ(msgs->messages().size(), c.integer ? 0u : 1u) << c.text;
        if (!c.integer) {
            EXPECT_EQ(msgs->last(), (memory::ShownMessage{"请填入整数！", 48, "提示"}));
        }
    }
}

TEST(DayCheck, ADayIsAFullDashedDateFrom1900) {
    struct Case {
        const char* text;
        bool day;
    } cases[] = {
        {"2004-1-5", true},   {"2004-01-05", true}, {"1900-1-1", true},   {"1900-01-01 10:00", true},
        {"2004-1-32", false}, {"2004.1.1", false},  {"2004-01", false},   {"1899-12-31", false},
        {"2004/1/5", false},  {"", false},          {"2004-1-5-", false}, {"abc-d-e", false},
    };
    for (const auto& c : cases) {
        memory::TextBox t("TXT", c.text);
        EXPECT_EQ(clsFunction().bIsDay(t), c.day) << c.text;
    }
}

TEST(FractionCheck, AFractionLiesWithinZeroToOne) {
    struct Case {
        const char* text;
        bool day;
    };
    const Case between[] = {
        {"0", true}, {"0.5", true},    {"1", true},  {"1.01", false},      {"-0.1", false}, {"abc", false},
        {"", false}, {"1e300", false}, {"-0", true}, {"1.00000001", true},  // single precision
    };
    for (const auto& c : between) EXPECT_EQ(clsFunction().bNumberBetOneAndZero(c.text), c.day) << c.text;
}

TEST(UserDate, FormsByTheNumberOfFormatParts) {
    struct Case {
        const char* text;
        const char* format;
        const char* result;
        const char* trimmed;
    } cases[] = {
        {"  2004-3-5  ", "YYYY-MM-DD", "2004-03-05", "2004-3-5"},
        {"2004-3-5", "yyyy-mm", "2004-03", "2004-3-5"},
        {" 2004-3-5", "yyyy", "2004-3-5", "2004-3-5"},
        {"2004/3/5 8:00", "a-b-c", "2004-03-05", "2004/3/5 8:00"},
        {"abc", "YYYY-MM-DD", "-1", "abc"},
        {"2004-3-5", "", "-1", "2004-3-5"},
        {"9999-12-31", "YYYY-MM-DD", "9999-12-31", "9999-12-31"},
    };
    for (const auto& c : cases) {
        std::string txt = c.text;
        EXPECT_EQ(clsFunction().sUserDate(txt, c.format), c.result) << c.text << " / " << c.format;
        EXPECT_EQ(txt, c.trimmed);
    }
}

}  // namespace
}  // namespace Palvo
