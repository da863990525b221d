#include "src/forms/field_props.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "forms/forms_fixture.h"
#include "palvo/memory/grid.h"

namespace Palvo {
namespace {

using testing::errorNumber;

constexpr std::int32_t notNull = static_cast<std::int32_t>(0x80000018);
constexpr std::int32_t menuColor = static_cast<std::int32_t>(0x80000004);

class FieldProps : public testing::FormsTest {};

// The folder of the library's own file: the shared core's, or the program's when it is linked in.
std::string libraryDir() {
    const std::string sharedCoreDir = PALVO_CORE_DIR;
    return sharedCoreDir.empty() ? std::filesystem::read_symlink("/proc/self/exe").parent_path().string()
                                 : sharedCoreDir;
}

// ---- conventions

// ADO type numbers: 135 dates, 205 images, these numbers, the rest texts.
TEST(FieldConventions, TypeCodesFollowTheAdoTypeNumbers) {
    for (int t : {2, 3, 4, 5, 6, 11, 17, 20, 131}) EXPECT_EQ(forms::fieldTypeCode(t), "2") << t;
    EXPECT_EQ(forms::fieldTypeCode(135), "3");
    EXPECT_EQ(forms::fieldTypeCode(205), "4");
    for (int t : {7, 14, 16, 72, 129, 130, 133, 134, 200, 201, 202, 203, 204})
        EXPECT_EQ(forms::fieldTypeCode(t), "1") << t;
}

TEST(FieldConventions, ATagLeadsWithItsCodeDigit) {
    EXPECT_EQ(std::tuple(forms::tagCode("1客户编号"), forms::columnName("1客户编号"), forms::tagCode("客户")),
              std::tuple("1", "客户编号", "客"));
    EXPECT_EQ(forms::tagNumber("3地区"), 3);
    EXPECT_THROW(forms::tagNumber("地区"), Error);
    EXPECT_THROW(forms::tagNumber(""), Error);
}

TEST(FieldConventions, IndexListsReadTheirLeadingNumbers) {
    EXPECT_EQ(forms::indexList("0,3,12,"), (std::vector<int>{0, 3, 12}));
    EXPECT_EQ(forms::indexList("0,3,ignored"), (std::vector<int>{0, 3}));
    EXPECT_TRUE(forms::indexList("").empty());
}

TEST(FieldConventions, AnExemptionNamesItsBoxThenAComma) {
    EXPECT_EQ(std::tuple(forms::exempt("13,", 13), forms::exempt("13,", 3), forms::exempt("13,", 1),
                         forms::exempt("13", 13)),
              std::tuple(true, true, false, false));
}

TEST(FieldConventions, ALookupSourceNamesATableThenItsColumns) {
    EXPECT_EQ(forms::lookupSource("客户,客户编号,x").column, "客户编号,x");
    EXPECT_THROW(forms::lookupSource("客户"), Error);
}

// ---- the look

TEST_F(FieldProps, SetColorStylesTheWholeForm) {
    memory::Form frm("frm", {{"2名称", "", ""}});
    auto& extraBox = dynamic_cast<memory::TextBox&>(frm.add(std::make_unique<memory::TextBox>("Text1")));
    auto& extraLabel = dynamic_cast<memory::Label&>(frm.add(std::make_unique<memory::Label>("Label1")));
    form.mInit_Form(0x112233, 0x445566, 5910, 4515, notNull, 0, 12, true, 0x0000FF, 0xFF0000, 11, true,
                    0x00FF00);
    form.mSetColor(frm);
    EXPECT_EQ(frm.BackColor(), 0x112233);
    EXPECT_EQ(frm.ForeColor(), 0x445566);
    EXPECT_EQ(frm.Icon(), "");  // no sIconPath: no icon
    for (TextBox* b : {static_cast<TextBox*>(&frm.text(0)), static_cast<TextBox*>(&extraBox)}) {
        EXPECT_EQ(std::tuple(b->Appearance(), b->FontSize(), b->FontBold(), b->ForeColor()),
                  std::tuple(0, 12.0f, true, 0x0000FF));
    }
    for (Label* l : {static_cast<Label*>(&frm.label(0)), static_cast<Label*>(&extraLabel)}) {
        EXPECT_EQ(std::tuple(l->AutoSize(), l->FontSize(), l->FontBold(), l->ForeColor()),
                  std::tuple(true, 11.0f, true, 0x00FF00));
    }
}

TEST_F(FieldProps, AMissingIconFailsSetColor) {
    session().sIconPath = "/no/such/main.ico";
    memory::Form frm("frm", {{"2名称", "", ""}});
    EXPECT_EQ(errorNumber([&] { form.mSetColor(frm); }), FormError::FileNotFound);
}

TEST_F(FieldProps, AMissingIconStopsInitFormAfterTheColours) {
    session().sIconPath = "/no/such/main.ico";
    memory::Form frm("frm", {{"2名称", "", ""}});
    EXPECT_EQ(form.sInitForm(frm), "InitForm:File not found: /no/such/main.ico");
    EXPECT_EQ(frm.BackColor(),
              static_cast<std::int32_t>(0x8000000F));  // the colours were set before the icon
    EXPECT_TRUE(frm.text(0).Enabled());                // nothing after it was done
}

TEST_F(FieldProps, InitFormGivesTheFormTheSessionsIcon) {
    memory::Form frm("frm", {{"2名称", "", ""}});
    const auto icon = std::filesystem::temp_directory_path() / "palvo_forms_main.ico";
    std::ofstream(icon) << "ico";
    session().sIconPath = icon.string();
    EXPECT_EQ(form.sInitForm(frm), "");
    EXPECT_EQ(frm.Icon(), icon.string());
    std::filesystem::remove(icon);
}

TEST_F(FieldProps, CannotEditMakesABoxReadOnly) {
    memory::TextBox box("TXT", "keep");
    form.mCannot_edit(box);
    EXPECT_FALSE(box.Enabled());
    EXPECT_EQ(box.BackColor(), menuColor);
}

// Keeping its text, or emptied with the required colour.
TEST_F(FieldProps, TxtEditableMakesABoxEditable) {
    memory::TextBox box("TXT", "keep");
    form.mCannot_edit(box);
    form.mTxt_Editable(box);
    EXPECT_TRUE(box.Enabled());
    EXPECT_EQ(box.BackColor(), 0xFFFFFF);
    EXPECT_EQ(box.Text(), "keep");
    box.Enabled(false);
    form.mTxt_Editable(box, false);
    EXPECT_TRUE(box.Enabled());
    EXPECT_EQ(box.BackColor(), notNull);
    EXPECT_EQ(box.Text(), "");
}

TEST_F(FieldProps, FormatGridGivesTheStandardGridLook) {
    memory::FlexGrid grid;
    grid.SelectionMode(2);
    grid.FocusRect(1);
    form.mFormatGrid(grid);
    EXPECT_EQ(
        std::tuple(grid.BackColorBkg(), grid.SelectionMode(), grid.AllowUserResizing(), grid.HighLight(),
                   grid.ScrollBars(), grid.FocusRect(), grid.WordWrap(), grid.RowSizingMode()),
        std::tuple(0xE0E0E0, 0, 3, 1, 3, 0, true, 0));
}

TEST_F(FieldProps, LookupLabelsGetTheCursorBesideTheLibraryOrTheDefaultPointer) {
    const std::filesystem::path cursor = libraryDir() + "/Main_icon/cursor1.cur";
    std::filesystem::remove(cursor);
    // the link look itself: InitFormLeavesTheFormInBrowseState
    memory::Label missing("lbl", 0);
    form.mCanSelect(missing);
    EXPECT_EQ(missing.MouseIcon(), "");  // no file: pointer 99 without an icon, the default pointer

    std::filesystem::create_directories(cursor.parent_path());
    std::ofstream(cursor) << "cur";
    memory::Label found("lbl", 1);
    form.mCanSelect(found);
    EXPECT_EQ(found.MouseIcon(), cursor.string());
    std::filesystem::remove_all(cursor.parent_path());
}

// ---- sInitForm

TEST_F(FieldProps, InitFormLeavesTheFormInBrowseState) {
    memory::Form frm("frm", {{"0编号", "", ""},
                             {"1客户", "客户,编号", ""},
                             {"2名称", "", ""},
                             {"3地区", "地区,编号", ""},
                             {"4电话", "", ""},
                             {"9备注", "", ""},
                             {"备注", "", ""}});  // no tag code digit: a plain column
    EXPECT_EQ(form.sInitForm(frm), "");
    const std::int32_t white = static_cast<std::int32_t>(0x80000005);  // the box's own background, untouched
    const std::vector<std::int32_t> back{menuColor, notNull, notNull, white, white, white, white};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(frm.text(i).Enabled());
        EXPECT_EQ(frm.text(i).BackColor(), back[static_cast<std::size_t>(i)]);
        const bool link = i == 1 || i == 3;
        EXPECT_EQ(frm.label(i).FontUnderline(), link);
        EXPECT_EQ(frm.label(i).Enabled(), !link);
        EXPECT_EQ(frm.label(i).MousePointer(), link ? 99 : 0);
        EXPECT_EQ(frm.label(i).ForeColor(), link ? 0xFF0000 : static_cast<std::int32_t>(0x80000012));
    }
}

// What was done before it is kept.
TEST_F(FieldProps, InitFormReportsAMissingLabel) {
    memory::Form broken("frm", {{"2a", "", ""}, {"2b", "", ""}, {"2c", "", ""}});
    broken.removeLabel(1);
    EXPECT_EQ(form.sInitForm(broken), "InitForm:Control array element '1' doesn't exist");
    EXPECT_FALSE(broken.text(0).Enabled());
    EXPECT_TRUE(broken.text(2).Enabled());
}

TEST_F(FieldProps, InitFormReportsAMemberTheFormLacks) {
    Form plain;
    EXPECT_EQ(form.sInitForm(plain), "InitForm:Method or data member not found: BackColor");
}

// ---- sInitFieldProp

TEST_F(FieldProps, FieldPropertiesFromTheColumnTypes) {
    exec(
        {"create table 类型表 (c_int int, c_dec decimal(20,4), c_num numeric(10,2), c_float float, "
         "c_money money, c_bit bit, c_tiny tinyint, c_date datetime, c_img image, c_name nvarchar(30), "
         "c_code char(4), c_memo ntext, c_guid uniqueidentifier, c_day date)"});
    struct Case {
        const char* column;
        const char* type;
        std::int16_t length;
        std::int16_t scale;
    };
    const std::vector<Case> cases{
        {"c_int", "2", 10, 0},   {"c_dec", "2", 15, 4},  {"c_num", "2", 10, 2}, {"c_float", "2", 15, 0},
        {"c_money", "2", 15, 0}, {"c_bit", "2", 15, 0},  {"c_tiny", "2", 3, 0}, {"c_date", "3", 16, 0},
        {"c_img", "4", 0, 0},    {"c_name", "1", 30, 0}, {"c_code", "1", 4, 0}, {"c_memo", "1", 32767, 0},
        {"c_guid", "1", 16, 0},  {"c_day", "3", 16, 0},
    };
    memory::Form frm("frm");
    for (const auto& c : cases) frm.addField({std::string("2") + c.column, "", ""});
    std::vector<std::string> types{"stale"};
    std::vector<std::int16_t> lengths{99}, scales{99};
    ASSERT_EQ(form.sInitFieldProp(frm, "类型表", types, lengths, scales), "");
    ASSERT_EQ(types.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(types[i], cases[i].type) << cases[i].column;
        EXPECT_EQ(lengths[i], cases[i].length) << cases[i].column;
        EXPECT_EQ(scales[i], cases[i].scale) << cases[i].column;
    }
}

class FieldPropsOfCustomers : public FieldProps {
protected:
    void SetUp() override {
        FieldProps::SetUp();
        exec({"create table 客户 (编号 varchar(10), 名称 nvarchar(20))"});
    }
};

TEST_F(FieldPropsOfCustomers, AMissingColumnStopsTheFillAtItsIndex) {
    memory::Form frm("frm", {{"2编号", "", ""}, {"2不存在", "", ""}, {"2名称", "", ""}});
    std::vector<std::string> types;
    std::vector<std::int16_t> lengths, scales;
    EXPECT_EQ(form.sInitFieldProp(frm, "客户", types, lengths, scales),
              "InitFieldProp:Item cannot be found in the collection corresponding to the requested name or "
              "ordinal: 不存在");
    EXPECT_EQ(types, (std::vector<std::string>{"1", "", ""}));
    EXPECT_EQ(lengths, (std::vector<std::int16_t>{10, 0, 0}));
}

TEST_F(FieldPropsOfCustomers, AMissingTableOrBoxArrayLeavesTheArraysAlone) {
    memory::Form frm("frm", {{"2编号", "", ""}});
    std::vector<std::string> types{"keep"};
    std::vector<std::int16_t> lengths, scales;
    EXPECT_EQ(form.sInitFieldProp(frm, "没有的表", types, lengths, scales),
              "InitFieldProp:对象名 '没有的表' 无效。");
    EXPECT_EQ(types, std::vector<std::string>{"keep"});

    Form plain;
    EXPECT_EQ(form.sInitFieldProp(plain, "客户", types, lengths, scales),
              "InitFieldProp:Method or data member not found: TXT");
    EXPECT_EQ(types, std::vector<std::string>{"keep"});
}

}  // namespace
}  // namespace Palvo
