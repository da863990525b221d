#include <gtest/gtest.h>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/memory/msgbox.h"
#include "palvo/session.h"
#include "support/errors.h"

namespace Palvo {
namespace {

std::string hand(const std::string& s, const std::string& e) {
    return "Hand_Date +Hand_Time>'" + s + "18:00' AND Hand_Date +Hand_Time<'" + e + "18:01'";
}

using testing::errorNumber;

TEST(DayCounts, OfTheMonthOrTheYearToItsEnd) {
    clsFunction fn;
    struct Case {
        const char* year;
        const char* month;
        std::int16_t monthDays, yearDays;
    } cases[] = {
        {"2004", "2", 29, 60},   {"2003", "2", 28, 59}, {"2004", "12", 31, 366},
        {"2003", "12", 31, 365}, {"2004", "1", 31, 31}, {"2004", "02", 29, 60},
        {"1900", "2", 28, 59},   {"2000", "2", 29, 60}, {"2004", "4", 30, 121},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fn.iComputeOneMonthDays(c.year, c.month), c.monthDays) << c.year << "-" << c.month;
        EXPECT_EQ(fn.iComputeOneYearDays(c.year, c.month), c.yearDays) << c.year << "-" << c.month;
    }
}

TEST(DayCounts, UnreadableYearsOrMonthsRaiseATypeMismatch) {
    clsFunction fn;
    EXPECT_EQ(errorNumber([&] { fn.iComputeOneMonthDays("2004", "13"); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.iComputeOneMonthDays("abc", "1"); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.iComputeOneMonthDays("2004", ""); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.iComputeOneYearDays("2004", "三月"); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.iComputeOneYearDays("9999", "12"); }), 13);  // no 10000-01-01
}

// Bad dates give -1.
class DateDelay : public ::testing::Test {
protected:
    void SetUp() override { session().sMsg = "Vantrel提示"; }
    clsFunction fn;
    std::shared_ptr<memory::ScriptedMessageBox> msgs = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard{msgs};
};

TEST_F(DateDelay, CountsBothEnds) {
    struct Delay {
        const char* start;
        const char* end;
        std::int16_t days;
    } delays[] = {
        {"2004-3-5", "2004-3-5", 1},       {"2004-2-1", "2004-3-1", 30},      {"2004-3-5", "2004-3-4", 0},
        {"2004-1-1", "2004-12-31", 366},   {"2004-1-1 12:00", "2004-1-2", 2},  // 1.5 rounds to even
        {"2004-1-1 12:00", "2004-1-3", 2},                                     // 2.5 rounds to even
        {"1900-1-1", "1989-9-17", 32767},
    };
    for (const auto& c : delays)
        EXPECT_EQ(fn.iComputeDateDelayTime(c.start, c.end), c.days) << c.start << " " << c.end;
    EXPECT_TRUE(msgs->messages().empty());
}

TEST_F(DateDelay, ABadDateIsMinusOneWithAMessage) {
    const char* bad[][2] = {
        {"abc", "2004-1-1"}, {"2004-1-1", "2004-1-32"}, {"", ""}, {"1900-1-1", "1989-9-18"}};
    for (const auto& b : bad) {
        msgs->clear();
        EXPECT_EQ(fn.iComputeDateDelayTime(b[0], b[1]), -1) << b[0] << " " << b[1];
        ASSERT_EQ(msgs->messages().size(), 1u);
        EXPECT_EQ(msgs->last(), (memory::ShownMessage{"日期输入错误!", 0, "Vantrel提示"}));
    }
}

TEST(TendaysHandDateTime, PeriodsEndAtTheChosenTenDays) {
    clsFunction fn;
    struct Case {
        const char* year;
        const char* month;
        const char* tendays;
        std::int16_t flag;
        std::string fragment;
    } cases[] = {
        {"2004", "3", "中旬", 2, hand("2004-03-10", "2004-03-20")},
        {"2004", "3", "中旬", 0, hand("2003-12-31", "2004-03-20")},
        {"2004", "3", "上旬", 2, hand("2004-02-29", "2004-03-10")},
        {"2004", "3", "下旬", 1, hand("2004-02-29", "2004-03-31")},
        {"2004", "12", "下旬", 2, hand("2004-12-20", "2004-12-31")},
        {"2004", "3", "旬", 2, hand("", "2004-03-")},
        {"2004", "3", "中旬", 7, hand("", "2004-03-20")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fn.sComputeTendaysHandDateTime(c.year, c.month, c.tendays, c.flag), c.fragment)
            << c.month << c.tendays << c.flag;
    }
}

TEST(PeriodFragments, TheYearEndsBeforeTheMonth) {
    clsFunction fn;
    EXPECT_EQ(fn.sComputeYearHandDateTime("2004", "1"), hand("2003-12-31", "2004-01-00"));
    EXPECT_EQ(fn.sComputeYearHandDateTime("2004", "12"), hand("2003-12-31", "2004-12-00"));
}

TEST(PeriodFragments, ShiftNumbersLieBetweenTheTenDaysBounds) {
    clsFunction fn;
    auto frag = [](const std::string& s, const std::string& e) {
        return "Date_Class_No>'" + s + "_00' AND Date_Class_No<'" + e + "_55'";
    };
    EXPECT_EQ(fn.sComputeTendaysDateClassNo("2004", "3", "下旬", 2), frag("2004-03-21", "2004-03-31"));
    EXPECT_EQ(fn.sComputeTendaysDateClassNo("2004", "3", "中旬", 2), frag("2004-03-11", "2004-03-20"));
    EXPECT_EQ(fn.sComputeTendaysDateClassNo("2004", "3", "上旬", 1), frag("2004-03-01", "2004-03-10"));
    EXPECT_EQ(fn.sComputeTendaysDateClassNo("2004", "11", "上旬", 0), frag("2004-01-01", "2004-11-10"));
    EXPECT_EQ(fn.sComputeTendaysDateClassNo("2004", "3", "x", 2), frag("", "2004-03-"));
}

TEST(PeriodFragments, SingleBoundsOfTheMonth) {
    clsFunction fn;
    struct Case {
        const char* year;
        const char* month;
        std::int16_t startEnd, flag;
        const char* bound;
    } cases[] = {
        {"2004", "12", 5, 0, "'2004-12-3118:01' "}, {"2004", "2", 2, 1, "'2004-02-2918:01' "},
        {"2004", "3", 1, 0, "'2004-02-2918:01'"},   {"2004", "3", 0, 1, "'2004-02-2918:00' "},
        {"2004", "3", 0, 0, "'2003-12-3118:00' "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fn.sHandDateTime(c.year, c.month, c.startEnd, c.flag), c.bound)
            << c.month << " " << c.startEnd;
    }
}

TEST(PeriodFragments, YearToDateOrTheMonth) {
    clsFunction fn;
    EXPECT_EQ(fn.sComputeHandDateTime("2004", "3", 0), hand("2003-12-31", "2004-02-29"));
    EXPECT_EQ(fn.sComputeHandDateTime("2004", "3", 1), hand("2004-02-29", "2004-03-31") + " ");
    EXPECT_EQ(fn.sComputeHandDateTime("2004", "12", 1), hand("2004-11-30", "2004-12-31") + " ");
}

TEST(PeriodFragments, YearOrMonthTextsMustBeNumbers) {
    // They are pasted between quotes in SQL text, even on paths that never read them as dates.
    clsFunction fn;
    const std::string injected = "2004' OR '1'='1";
    EXPECT_EQ(errorNumber([&] { fn.sComputeTendaysHandDateTime(injected, "3", "中旬", 2); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.sComputeTendaysDateClassNo("2004", "3'--", "下旬", 2); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.sComputeYearHandDateTime("", "1"); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.sHandDateTime("abc", "1", 0, 0); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.sComputeHandDateTime("2004", "13", 1); }), 13);
    EXPECT_EQ(errorNumber([&] { fn.sComputeTendaysHandDateTime("0001", "1", "上旬", 0); }),
              5);  // before year 1
}

}  // namespace
}  // namespace Palvo
