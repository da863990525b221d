#include <gtest/gtest.h>

#include "palvo/error.h"
#include "palvo/memory/controls.h"

namespace Palvo {
namespace {

TEST(MemoryTextBox, SelectionCountsCharactersAndIsCutAtTheEnd) {
    memory::TextBox t("TXT", "中文ab");
    EXPECT_EQ(t.typeName(), "TextBox");
    t.SelStart(1);
    t.SelLength(10);
    EXPECT_EQ(t.SelLength(), 3);
    EXPECT_EQ(t.SelText(), "文ab");
    t.SelStart(99);
    EXPECT_EQ(t.SelStart(), 4);
    EXPECT_EQ(t.SelLength(), 0);
    t.Text("x");
    EXPECT_EQ(t.SelStart(), 0) << "new text puts the caret at the start";
    EXPECT_THROW(t.SelStart(-1), Error);
    EXPECT_THROW(t.SelLength(-1), Error);
}

TEST(MemoryTextBox, FocusOnlyWhenEnabled) {
    memory::TextBox t;
    t.SetFocus();
    EXPECT_TRUE(t.focused());
    t.blur();
    t.Enabled(false);
    try {
        t.SetFocus();
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::InvalidCall);
    }
    EXPECT_FALSE(t.focused());
}

}  // namespace
}  // namespace Palvo
