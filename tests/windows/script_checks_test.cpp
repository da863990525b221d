// The checks both window hosts make before they play a script action.
#include <gtest/gtest.h>

#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/window_host.h"
#include "palvo/window_script.h"

namespace Palvo {
namespace {

TEST(ScriptChecks, EachActionIsRefusedOnAControlThatCannotTakeIt) {
    memory::TextBox text("Text1");
    memory::ComboBox combo("Combo1");
    combo.AddItem("甲");
    memory::ListBox list("List1");
    list.AddItem("a");
    list.AddItem("b");
    memory::FlexGrid grid;
    grid.Rows(3);
    grid.Cols(3);
    memory::CommandButton button("cmdOk", "确定");
    button.Visible(false);
    memory::Label label("lbl");
    label.Enabled(false);
    memory::Label shownLabel("lbl2");

    const struct {
        const char* line;
        Control* control;
        const char* refusal;  // "" when the action passes
    } cases[] = {
        {"Text1 = x", &text, ""},
        {"Combo1 = 乙", &combo, ""},  // whether the entry exists is for the host to tell
        {"select List1 1", &list, ""},
        {"select List1 2", &list, "List1 has 2 entries"},
        {"select flx 2", &grid, ""},
        {"select flx 0", &grid, "flx has data rows 1 to 2"},
        {"select flx 3", &grid, "flx has data rows 1 to 2"},
        {"select Text1 0", &text, "Text1 is a TextBox, which has no entries"},
        {"grid flx 1 2", &grid, ""},
        {"grid flx 1 0", &grid, "flx has data cells in rows 1 to 2, columns 1 to 2"},
        {"grid flx 1 3", &grid, "flx has data cells in rows 1 to 2, columns 1 to 2"},
        {"grid List1 1 1", &list, "List1 is a ListBox, which has no cells"},
        {"click cmdOk", &button, "cmdOk is disabled or hidden"},
        {"dblclick lbl", &label, "lbl is disabled or hidden"},
        {"click lbl2", &shownLabel, ""},
        {"click Text1", &text, ""},
        {"key Enter", &text, ""},
        {"answer yes", &text, "an answer is for a message box"},
    };
    for (const auto& c : cases) {
        const ScriptAction action = parseWindowScript(c.line).at(0);
        try {
            checkScriptAction(action, *c.control);
            EXPECT_STREQ(c.refusal, "") << c.line;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidCall) << c.line;
            EXPECT_EQ(e.description(), "window script line 1 (" + std::string(c.line) + "): " + c.refusal);
        }
    }
}

}  // namespace
}  // namespace Palvo
