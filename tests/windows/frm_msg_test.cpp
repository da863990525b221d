// The message window, on every window host.
#include "src/forms/frm_msg.h"

#include <gtest/gtest.h>

#include "palvo/clsForm.h"
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

TEST_P(MsgWindow, ShowsTheTextsFoldedInUnderTheSessionTitleWithTheSessionLook) {
    const Shown s = show("保存失败", "insert into 客户 values ('1')", "");
    EXPECT_EQ(s.caption, "出错了");
    EXPECT_EQ(s.text1, "保存失败");
    EXPECT_EQ(s.text2, "insert into 客户 values ('1')");
    EXPECT_FALSE(s.detailsVisible);
    EXPECT_EQ(s.picture, "Image1");
    EXPECT_EQ(s.tag, "1");
    EXPECT_EQ(s.backColor, 0x00C0FFEE);
    EXPECT_EQ(s.fontSize, 13.0f);
}

TEST_P(MsgWindow, BlankTextsShowTheDefaults) {
    struct Case {
        std::string err, details, text1, text2;
    };
    const Case cases[] = {
        {"", "", "未知错误！", "没有错误明细！"},
        {"   ", "  ", "未知错误！", "没有错误明细！"},
        {" 断开 ", "", " 断开 ", "没有错误明细！"},
    };
    for (const Case& c : cases) {
        const Shown s = show(c.err, c.details, "click Command1");
        EXPECT_EQ(s.text1, c.text1) << c.err;
        EXPECT_EQ(s.text2, c.text2) << c.err;
        EXPECT_TRUE(s.detailsVisible);
    }
}

TEST_P(MsgWindow, FoldingOutShowsTheDetailsAndFoldingTwiceGivesBackHeightAndPicture) {
    const Shown in = show("错", "明细", "");
    const Shown out = show("错", "明细", "click Command1");
    const std::int32_t text2Height = forms::frmMsgWindow().layout().find("Text2")->height;
    EXPECT_EQ(out.height - in.height, text2Height + 100);
    EXPECT_EQ(out.picture, "Image2");
    EXPECT_EQ(out.tag, "-1");
    EXPECT_TRUE(out.detailsVisible);

    const Shown twice = show("错", "明细", "click Command1\nclick Command1");
    EXPECT_EQ(twice.height, in.height);
    EXPECT_EQ(twice.picture, "Image1");
    EXPECT_EQ(twice.tag, "1");
    EXPECT_FALSE(twice.detailsVisible);

    // the reused window starts folded in again after a call that ended folded out
    show("错", "明细", "click Command1");
    EXPECT_EQ(show("错", "明细", "").height, in.height);
}

TEST_P(MsgWindow, TypingIntoEitherBoxIsUndone) {
    struct Case {
        std::string script, text1, text2;
    };
    const Case cases[] = {
        {"Text1 = 改了", "错误", "明细"},
        {"click Command1\nText2 = 改了", "错误", "明细"},
        {"click Command1\nText2 =", "错误", "明细"},
        // blanks around the text are no change: the trimmed texts are compared
        {"Text1 =  错误 ", " 错误 ", "明细"},
    };
    for (const Case& c : cases) {
        const Shown s = show("错误", "明细", c.script);
        EXPECT_EQ(s.text1, c.text1) << c.script;
        EXPECT_EQ(s.text2, c.text2) << c.script;
        EXPECT_EQ(s.unplayed, 0u) << c.script;
    }
}

TEST_P(MsgWindow, OkEnterAndEscCloseTheWindow) {
    for (const char* closing : {"click Command2", "key Enter", "key Esc"}) {
        // the line after the closing one finds no window
        EXPECT_EQ(show("错", "", std::string(closing) + "\nclick Command1").unplayed, 1u) << closing;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, MsgWindow, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
