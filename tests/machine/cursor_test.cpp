#include "palvo/cursor.h"

#include <gtest/gtest.h>

#include <memory>

#include "palvo/clsElse.h"
#include "palvo/error.h"
#include "palvo/executor.h"
#include "palvo/memory/cursor.h"

namespace Palvo {
namespace {

class ClsElseTest : public ::testing::Test {
protected:
    void TearDown() override {
        installCursorPort(nullptr);
        installLineExecutor(nullptr);
    }
    clsElse e;
};

// Showing raises the count to two or more, hiding lowers it to minus one or less.
TEST_F(ClsElseTest, ShowingOrHidingMovesTheCountPastTheThreshold) {
    struct Case {
        bool show;
        int start, endCount, calls;
    };
    const Case cases[] = {
        {true, -3, 2, 5},                                      // four calls to reach 1, a fifth to reach 2
        {true, -1, 2, 3}, {true, 0, 2, 2},   {true, 1, 3, 2},  // already visible: still raised by two
        {true, 5, 7, 2},  {false, 3, -1, 4}, {false, 2, -1, 3}, {false, 0, -2, 2}, {false, -4, -6, 2},
    };
    for (const auto& c : cases) {
        auto cursor = std::make_shared<memory::Cursor>(c.start);
        installCursorPort(cursor);
        c.show ? e.ShowMouse() : e.HideMouse();
        EXPECT_EQ(cursor->displayCount(), c.endCount) << c.show << " from " << c.start;
        EXPECT_EQ(cursor->showCursorCalls(), c.calls) << c.show << " from " << c.start;
    }
}

// A cursor whose count never moves, as a system without a pointer may report.
class StuckCursor : public CursorPort {
public:
    int ShowCursor(bool) override { return ++calls > 1000 ? 1 : -1; }  // would loop ~1000 times
    bool GetCursorPos(POINTAPI&) override { return false; }
    int calls = 0;
};

TEST_F(ClsElseTest, ShowingOrHidingStopsWhenTheCountDoesNotMove) {
    auto stuck = std::make_shared<StuckCursor>();
    installCursorPort(stuck);
    e.ShowMouse();
    EXPECT_EQ(stuck->calls, 2);
    stuck->calls = 0;
    e.HideMouse();  // -1 already at most 0: one call and the final one
    EXPECT_EQ(stuck->calls, 2);
}

TEST_F(ClsElseTest, APositionThatCannotBeReadIsZero) {
    auto cursor = std::make_shared<memory::Cursor>(0, POINTAPI{640, -20});
    installCursorPort(cursor);
    EXPECT_EQ(e.lSreenCoordinate(), (POINTAPI{640, -20}));
    cursor->failPosition(true);
    EXPECT_EQ(e.lSreenCoordinate(), (POINTAPI{0, 0}));
}

TEST_F(ClsElseTest, WithoutACursorPortNothingHappens) {
    e.ShowMouse();
    e.HideMouse();
    EXPECT_EQ(e.lSreenCoordinate(), (POINTAPI{0, 0}));
}

TEST_F(ClsElseTest, ExecutingCodeWithoutAnExecutorFailsClearly) {
    std::string code = "x = 1";
    try {
        e.bExecuteCode(code);
        FAIL() << "no error raised";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), ErrorNumber::NotInstalled);
        EXPECT_NE(error.description().find("line executor"), std::string::npos);
    }
}

}  // namespace
}  // namespace Palvo
