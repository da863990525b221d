#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "palvo/memory/form.h"
#include "palvo/memory/grid.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using testing::errorNumber;

memory::Form twoFields() {
    return memory::Form("frm客户", {{"0编号", "", "A01"}, {"1地区", "地区,地区编号", "01"}});
}

TEST(MemoryForm, AFieldsLabelSharesItsBoxsIndex) {
    memory::Form frm = twoFields();
    EXPECT_EQ(frm.TXT().Count(), 2);
    EXPECT_EQ(frm.TXT().UBound(), 1);
    EXPECT_EQ(frm.lbl().UBound(), 1);
    EXPECT_EQ(frm.lbl()(1).Tag(), "1地区");
    EXPECT_EQ(frm.TXT()(1).Index(), 1);
    EXPECT_EQ(frm.lbl()(0).Index(), 0);
    EXPECT_EQ(errorNumber([&] { frm.TXT()(2); }), FormError::NoArrayElement);
}

TEST(MemoryForm, TheWalkTakesLabelThenBoxPerIndexThenTheOthers) {
    memory::Form frm = twoFields();
    frm.add(std::make_unique<memory::TextBox>("Text1"));
    frm.add(std::make_unique<memory::FlexGrid>(memory::GridType::MSFlexGrid, "flx"));
    std::vector<std::string> seen;
    for (Control* c : frm.Controls()) {
        int index = -1;
        if (auto* t = dynamic_cast<TextBox*>(c)) index = t->Index();
        if (auto* l = dynamic_cast<Label*>(c)) index = l->Index();
        seen.push_back(c->typeName() + ":" + c->Name() + ":" + std::to_string(index));
    }
    const std::vector<std::string> expected{"Label:lbl:0",   "TextBox:TXT:0",    "Label:lbl:1",
                                            "TextBox:TXT:1", "TextBox:Text1:-1", "MSFlexGrid:flx:-1"};
    EXPECT_EQ(seen, expected);
}

// A disabled one refuses it.
TEST(MemoryForm, OnlyOneBoxHoldsTheFocus) {
    memory::Form frm = twoFields();
    frm.TXT()(0).SetFocus();
    frm.TXT()(1).SetFocus();
    EXPECT_FALSE(frm.text(0).focused());
    EXPECT_TRUE(frm.text(1).focused());
    EXPECT_EQ(frm.focused(), &frm.text(1));
    frm.TXT()(0).Enabled(false);
    EXPECT_EQ(errorNumber([&] { frm.TXT()(0).SetFocus(); }), ErrorNumber::InvalidCall);
    EXPECT_EQ(frm.focused(), &frm.text(1));
    EXPECT_FALSE(frm.text(0).focused());
}

// A field added later takes the next index after both arrays.
TEST(MemoryForm, RemovedMembersLeaveGaps) {
    memory::Form frm("frm", {{"2a", "", ""}, {"2b", "", ""}, {"2c", "", ""}});
    frm.removeLabel(1);
    frm.removeTextBox(2);
    EXPECT_EQ(frm.lbl().Count(), 2);
    EXPECT_EQ(frm.lbl().UBound(), 2);
    EXPECT_EQ(frm.TXT().UBound(), 1);
    EXPECT_EQ(errorNumber([&] { frm.lbl()(1); }), FormError::NoArrayElement);
    EXPECT_EQ(frm.Controls().size(), 4u);
    EXPECT_EQ(frm.addField({"2d", "", ""}).Index(), 3);
}

TEST(MemoryForm, APlainFormHasNoEntryMembers) {
    Form plain;
    EXPECT_EQ(errorNumber([&] { plain.TXT(); }), FormError::MemberNotFound);
    EXPECT_EQ(errorNumber([&] { plain.lbl(); }), FormError::MemberNotFound);
    EXPECT_EQ(errorNumber([&] { plain.Controls(); }), FormError::MemberNotFound);
    EXPECT_EQ(errorNumber([&] { plain.BackColor(0); }), FormError::MemberNotFound);
}

TEST(MemoryForm, PicturesLoadOnlyFromReadableFiles) {
    const auto file = std::filesystem::temp_directory_path() / "palvo_memory_form_icon.ico";
    std::ofstream(file) << "icon";
    memory::Form frm;
    memory::Label label;
    frm.Icon(file.string());
    label.MouseIcon(file.string());
    EXPECT_EQ(frm.Icon(), file.string());
    EXPECT_EQ(label.MouseIcon(), file.string());
    EXPECT_EQ(errorNumber([&] { frm.Icon("/no/such/icon.ico"); }), FormError::FileNotFound);
    EXPECT_EQ(errorNumber([&] { label.MouseIcon("/no/such/cursor1.cur"); }), FormError::FileNotFound);
    EXPECT_EQ(frm.Icon(), file.string());  // the picture loaded before stays
    EXPECT_EQ(label.MouseIcon(), file.string());
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace Palvo
