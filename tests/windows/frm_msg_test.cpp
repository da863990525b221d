// The message window, on every window host.
#include "src/forms/frm_msg.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/window_host.h"
#include "palvo/msgbox.h"
#include "palvo/window.h"
#include "support/window_hosts.h"

namespace Palvo::testing {
namespace {

class MsgWindow : public ::testing::TestWithParam<HostKind> {
protected:
    void SetUp() override {
        clsForm().mInit_Var("01", "", "", "", nullptr, "", 50, "出错了");
        clsForm().mInit_Form(0x00C0FFEE, 0, 5910, 4515, 0, 0, 13);
    }

    // What the window showed when it closed.
    struct Shown {
        std::string caption, text1, text2, picture, tag;
        bool detailsVisible = false;
        std::int32_t height = 0, backColor = 0;
        float fontSize = 0;
        std::size_t unplayed = 0;
        // The fold button's picture and tag, and whether the details show.
        std::string fold() const { return picture + " " + tag + (detailsVisible ? " details" : ""); }
    };

    Shown show(const std::string& sErr, const std::string& sErrMx, const std::string& script) {
        WindowTestHost host(GetParam(), script);
        clsForm().mSubMsg(sErr, sErrMx);
        auto& f = host.lastFrame();
        auto& t1 = dynamic_cast<TextBox&>(f.control("Text1"));
        auto& t2 = dynamic_cast<TextBox&>(f.control("Text2"));
        return {f.Caption(),
                t1.Text(),
                t2.Text(),
                dynamic_cast<CommandButton&>(f.control("Command1")).Picture(),
                forms::frmMsgWindow().command1Tag(),
                t2.Visible(),
                f.Height(),
                f.BackColor(),
                t1.FontSize(),
                host.unplayed()};
    }
};

TEST_P(MsgWindow, BlankTextsShowTheirDefaults) {
    for (auto [err, details, text1] : std::vector<std::array<std::string, 3>>{
             {"", "", "未知错误！"}, {"   ", "  ", "未知错误！"}, {" 断开 ", "", " 断开 "}}) {
        SCOPED_TRACE(err);
        const Shown s = show(err, details, "click Command1");
        EXPECT_EQ(s.text1, text1);
        EXPECT_EQ(s.text2, "没有错误明细！");
        EXPECT_TRUE(s.detailsVisible);
    }
}

TEST_P(MsgWindow, ShowsTheTextsFoldedInWithTheSessionsLook) {
    const Shown in = show("保存失败", "insert into 客户 values ('1')", "");
    EXPECT_EQ(in.caption, "出错了");  // the session's title
    EXPECT_EQ(in.text1, "保存失败");
    EXPECT_EQ(in.text2, "insert into 客户 values ('1')");
    EXPECT_EQ(in.backColor, 0x00C0FFEE);
    EXPECT_EQ(in.fontSize, 13.0f);
}

// Folded in, the window is 4400 less Text2's 2200 and the gap of 100; the
// reused window starts folded in again after a call that ended folded out.
TEST_P(MsgWindow, FoldingSetsTheHeightWithThePicture) {
    for (auto [before, script, height, fold] :
         std::vector<std::tuple<std::string, std::string, int, std::string>>{
             {"", "", 2100, "Image1 1"},
             {"", "click Command1", 4400, "Image2 -1 details"},
             {"", "click Command1\nclick Command1", 2100, "Image1 1"},
             {"click Command1", "", 2100, "Image1 1"}}) {
        SCOPED_TRACE(before + "|" + script);
        if (!before.empty()) show("错", "明细", before);
        const Shown s = show("错", "明细", script);
        EXPECT_EQ(s.height, height);
        EXPECT_EQ(s.fold(), fold);
    }
}

TEST_P(MsgWindow, TypingIntoEitherBoxIsUndone) {
    // blanks around the text are no change: the trimmed texts are compared
    for (auto [script, text1] :
         std::vector<std::pair<std::string, std::string>>{{"Text1 = 改了", "错误"},
                                                          {"click Command1\nText2 = 改了", "错误"},
                                                          {"click Command1\nText2 =", "错误"},
                                                          {"Text1 =  错误 ", " 错误 "}}) {
        SCOPED_TRACE(script);
        const Shown s = show("错误", "明细", script);
        EXPECT_EQ(s.text1, text1);
        EXPECT_EQ(s.text2, "明细");
        EXPECT_EQ(s.unplayed, 0u);
    }
}

// The line after the closing one finds no window.
TEST_P(MsgWindow, OkEnterOrEscClosesTheWindow) {
    for (const char* closing : {"click Command2", "key Enter", "key Esc"})
        EXPECT_EQ(show("错", "", std::string(closing) + "\nclick Command1").unplayed, 1u) << closing;
}

INSTANTIATE_TEST_SUITE_P(Windows, MsgWindow, ::testing::ValuesIn(windowHostKinds()), hostName);

// A batch host's message box may take the window's texts; the window then stays shut.
TEST(MsgWindowTexts, GoToTheMessageBoxOnlyWhenItTakesThem) {
    struct TakingBox : memory::ScriptedMessageBox {
        bool takes = false;
        std::vector<std::pair<std::string, std::string>> taken;
        bool takeMessageWindow(const std::string& text, const std::string& details) override {
            if (takes) taken.emplace_back(text, details);
            return takes;
        }
    };
    clsForm().mInit_Var("01", "", "", "", nullptr, "", 50, "出错了");
    for (bool takes : {true, false}) {
        auto box = std::make_shared<TakingBox>();
        box->takes = takes;
        ScopedMessageBox boxGuard(box);
        auto host = std::make_shared<memory::WindowHost>(nullptr, box);
        ScopedWindowHost hostGuard(host);
        clsForm().mSubMsg("断开", "明细");
        using Taken = std::vector<std::pair<std::string, std::string>>;
        const Taken expected = takes ? Taken{{"断开", "明细"}} : Taken{};
        EXPECT_EQ(box->taken, expected) << takes;
        ASSERT_EQ(host->shown().size(), takes ? 0u : 1u) << takes;
        if (!takes) {
            EXPECT_EQ(host->shown().front()->Name(), "frmMsg");
        }
        EXPECT_TRUE(box->messages().empty()) << "no message box is shown instead";
    }
}

}  // namespace
}  // namespace Palvo::testing
