#include "palvo/session.h"

#include <gtest/gtest.h>

#include <thread>

#include "palvo/clsForm.h"

namespace Palvo {
namespace {

class SessionDefaults : public ::testing::Test {
protected:
    void TearDown() override { session() = SessionContext{}; }
    clsForm form;
};

// A second call replaces every field, those it leaves out with their defaults.
TEST_F(SessionDefaults, InitVarFillsTheDefaults) {
    form.mInit_Var("00", "总公司", "01", "财务部", nullptr, "a", 10, "标题", "李四", "甲", "乙", "丙", "丁");
    form.mInit_Var("02", "二分", "03", "仓库", nullptr, "icon.ico");
    const auto& s = session();
    EXPECT_EQ(s.Dwbh, "02");
    EXPECT_EQ(s.sIconPath, "icon.ico");
    EXPECT_EQ(s.lSelectTop, 50);
    EXPECT_EQ(s.sMsg, "Vantrel提示");
    EXPECT_EQ(s.sUser, "");
    EXPECT_EQ(s.sConstStrPtcx, "普通查询");
    EXPECT_EQ(s.sConstStrLr, "录入");
    EXPECT_EQ(s.sConstStrZdy, "自定义查询");
    EXPECT_EQ(s.sForTypeText, "请输入或选择查询类型");
}

TEST_F(SessionDefaults, InitFormFillsTheDefaults) {
    const auto& s = session();
    form.mInit_Form();
    EXPECT_EQ(static_cast<std::uint32_t>(s.lF_BackColor), 0x8000000Fu);
    EXPECT_EQ(static_cast<std::uint32_t>(s.lT_BackColor_Notnull), 0x80000018u);
    EXPECT_EQ(s.lT_FontSize, 10);
    EXPECT_EQ(s.lL_FontSize, 9);
    EXPECT_EQ(s.lL_forColor_Select, 0xFF0000);
    EXPECT_EQ(s.lF_Width, 5910);
    EXPECT_EQ(s.lT_Appearence, 1);
}

TEST_F(SessionDefaults, TheDefaultsAreThisThreadsOnly) {
    form.mInit_Var("02", "二分", "03", "仓库", nullptr, "icon.ico");
    form.mInit_Form();
    SessionContext other;
    std::thread([&] { other = session(); }).join();
    EXPECT_EQ(other.lF_BackColor, 0);
    EXPECT_EQ(other.lT_FontSize, 0);
    EXPECT_EQ(other.lL_forColor_Select, 0);
    EXPECT_EQ(other.sMsg, "");
}

}  // namespace
}  // namespace Palvo
