// What a view of a list box or a combo box hears: every change once and in
// one piece, a refused change not at all, and the refused change loses nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "palvo/memory/controls.h"
#include "support/errors.h"
#include "support/list_events.h"

namespace Palvo::testing {
namespace {

// The entries, the list index and the text, to see that a refused change left them alone.
std::string stateOf(const ListControl& l) {
    std::string out;
    for (int i = 0; i < l.ListCount(); ++i) out += l.List(i) + ":" + std::to_string(l.ItemData(i)) + ",";
    return out + "@" + std::to_string(l.ListIndex()) + " " + l.Text();
}

// A refused one not at all, losing nothing.
TEST(ListAnnouncements, EachChangeIsHeardOnce) {
    struct Step {
        const char* what;
        std::function<void(memory::ComboBox&, memory::ListBox&)> change;
        std::vector<std::string> heard;
        long error;
    };
    using C = memory::ComboBox&;
    using L = memory::ListBox&;
    const Step steps[] = {
        {"insert", [](C c, L) { c.AddItem("x", 1); }, {"insert 1+1"}, 0},
        {"insert past the end", [](C c, L) { c.AddItem("x", 4); }, {}, 5},
        {"insert several", [](C c, L) { c.AddItems(std::vector<std::string>(3, "x")); }, {"insert 3+3"}, 0},
        {"insert none", [](C c, L) { c.AddItems({}); }, {}, 0},
        {"remove", [](C c, L) { c.RemoveItem(0); }, {"remove 0"}, 0},
        {"remove past the end", [](C c, L) { c.RemoveItem(3); }, {}, 5},
        {"new text", [](C c, L) { c.List(2, "x"); }, {"item 2"}, 0},
        {"new text past the end", [](C c, L) { c.List(3, "x"); }, {}, 381},
        {"item data", [](C c, L) { c.ItemData(0, 5); }, {"item 0"}, 0},
        {"item data past the end", [](C c, L) { c.ItemData(3, 5); }, {}, 381},
        {"list index", [](C c, L) { c.ListIndex(2); }, {"index"}, 0},
        {"list index past the end", [](C c, L) { c.ListIndex(3); }, {}, 380},
        {"clear", [](C c, L) { c.Clear(); }, {"reset"}, 0},
        {"combo text", [](C c, L) { c.Text("丙"); }, {"index", "text"}, 0},
        {"combo caret", [](C c, L) { c.SelStart(1); }, {"text"}, 0},
        {"combo caret negative", [](C c, L) { c.SelStart(-1); }, {}, 380},
        {"combo selection negative", [](C c, L) { c.SelLength(-1); }, {}, 380},
        {"list box mark", [](C, L l) { l.Selected(1, true); }, {"item 1"}, 0},
        {"list box mark past the end", [](C, L l) { l.Selected(3, true); }, {}, 381},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        memory::ComboBox combo;
        memory::ListBox list;
        for (ListControl* l : std::vector<ListControl*>{&combo, &list}) {
            l->AddItems({"甲", "乙", "丙"}, {7, 8, 9});
            l->ListIndex(1);
        }
        ListEvents heard;
        combo.listen(&heard);
        list.listen(&heard);
        const std::string before = stateOf(combo) + "|" + stateOf(list);
        EXPECT_EQ(errorNumber([&] { s.change(combo, list); }), s.error);
        EXPECT_EQ(heard.heard, s.heard);
        if (s.error != 0) {
            EXPECT_EQ(stateOf(combo) + "|" + stateOf(list), before);
        }
    }
}

TEST(ListEntries, ANewEntryTextShowsInAListBoxLeavingAComboEditText) {
    memory::ComboBox combo;
    memory::ListBox list;
    for (ListControl* l : std::vector<ListControl*>{&combo, &list}) {
        l->AddItems({"甲", "乙"}, {7, 8});
        l->ListIndex(0);
        l->List(0, "丙");
    }
    EXPECT_EQ(combo.Text(), "甲") << "an edit text is the user's, not the entry's";
    EXPECT_EQ(list.Text(), "丙") << "a list box's text is its selected entry";
    EXPECT_EQ(stateOf(list), "丙:7,乙:8,@0 丙");
}

}  // namespace
}  // namespace Palvo::testing
