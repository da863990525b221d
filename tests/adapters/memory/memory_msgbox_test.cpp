#include <gtest/gtest.h>

#include <thread>

#include "palvo/error.h"
#include "palvo/memory/msgbox.h"
#include "support/errors.h"

namespace Palvo {
namespace {

TEST(ScriptedMessageBox, RecordsEveryMessageAnsweringWithTheFirstButton) {
    auto box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard(box);
    EXPECT_EQ(msgBox("请填入数字！", vbExclamation, "提示"), vbOK);
    EXPECT_EQ(msgBox("保存吗？", vbYesNo + vbQuestion, "Vantrel提示"), vbYes);
    EXPECT_EQ(msgBox("重试？", vbRetryCancel), vbRetry);
    ASSERT_EQ(box->messages().size(), 3u);
    EXPECT_EQ(box->messages()[0], (memory::ShownMessage{"请填入数字！", 48, "提示"}));
    EXPECT_EQ(box->last().style, 5);
}

// An answer no button of the message offers is an error, the message still recorded.
TEST(ScriptedMessageBox, AnswersFromTheScript) {
    auto box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard(box);
    box->answerNo();
    box->answerYes();
    box->answer(vbCancel);
    EXPECT_EQ(msgBox("a", vbYesNo), vbNo);
    EXPECT_EQ(msgBox("b", vbYesNoCancel), vbYes);
    EXPECT_EQ(msgBox("c", vbOKCancel), vbCancel);
    EXPECT_EQ(box->pendingAnswers(), 0u);

    box->answerYes();
    EXPECT_THROW(msgBox("only OK", vbOKOnly), Error);
    EXPECT_EQ(box->messages().size(), 4u);
}

TEST(MessageBoxStyles, DefaultAnswerIsTheChosenButtonOrTheLast) {
    struct Case {
        int style;
        int answer;
    };
    const Case cases[] = {
        {vbOKOnly, vbOK},
        {vbYesNoCancel, vbYes},
        {vbYesNoCancel + vbDefaultButton2, vbNo},
        {vbYesNoCancel + vbDefaultButton3, vbCancel},
        {vbYesNo + vbDefaultButton3, vbNo},
        {vbAbortRetryIgnore + vbDefaultButton2 + vbCritical, vbRetry},
        {vbOKOnly + vbDefaultButton2 + vbDefaultButton3, vbOK},  // no fourth button choice: the first
        {7, vbOK},                                               // no such button set
    };
    for (const auto& c : cases) EXPECT_EQ(msgBoxDefaultAnswer(c.style), c.answer) << c.style;
    EXPECT_EQ(msgBoxButtons(vbRetryCancel), (std::vector<int>{vbRetry, vbCancel}));
}

TEST(MessageBoxPort, WithoutABoxAMessageRaises) {
    installMessageBox(nullptr);
    const auto [number, text] =
        testing::errorOf([] { msgBox("最大只能处理小于十亿", vbInformation, "提示信息"); });
    EXPECT_EQ(number, ErrorNumber::NotInstalled);
    EXPECT_NE(text.find("最大只能处理小于十亿"), std::string::npos) << text;
    EXPECT_THROW(messageBox(), Error);
}

TEST(MessageBoxPort, TheGuardRestoresThePreviousBox) {
    auto outer = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox g1(outer);
    {
        auto inner = std::make_shared<memory::ScriptedMessageBox>();
        ScopedMessageBox g2(inner);
        msgBox("inner");
        EXPECT_EQ(inner->messages().size(), 1u);
    }
    msgBox("outer");
    EXPECT_EQ(outer->messages().size(), 1u);
}

TEST(MessageBoxPort, EachThreadHasItsOwnBox) {
    auto outer = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox guard(outer);
    bool otherThreadHadNone = false;
    std::thread([&] {
        try {
            msgBox("from another thread");
        } catch (const Error&) {
            otherThreadHadNone = true;
        }
    }).join();
    EXPECT_TRUE(otherThreadHadNone);
    EXPECT_TRUE(outer->messages().empty());
}

}  // namespace
}  // namespace Palvo
