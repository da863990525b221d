// The window machinery: reading scripts, and playing them on a small window
// through every host.
#include <gtest/gtest.h>

#include "palvo/error.h"
#include "palvo/window.h"
#include "palvo/window_script.h"
#include "support/errors.h"
#include "support/window_hosts.h"

namespace Palvo::testing {
namespace {

using Kind = ScriptAction::Kind;

TEST(WindowScript, ReadsEveryAction) {
    const auto actions = parseWindowScript(
        "# a comment\n"
        "Txt1 = O'Neil  and more \n"
        "\n"
        "Txt1 =\n"
        "select Combo1 2\r\n"
        "click cmdOk\n"
        "  dblclick flx\n"
        "key F8\n"
        "answer no\n"
        "grid MS 2 4 =  包含 \n"
        "grid MS 1 0\n");
    ASSERT_EQ(actions.size(), 9u);
    EXPECT_EQ(actions[0].kind, Kind::SetText);
    EXPECT_EQ(actions[0].control, "Txt1");
    EXPECT_EQ(actions[0].text, "O'Neil  and more ");
    EXPECT_EQ(actions[0].line, 2);
    EXPECT_EQ(actions[1].text, "");
    EXPECT_EQ(actions[2].kind, Kind::Select);
    EXPECT_EQ(actions[2].index, 2);
    EXPECT_EQ(actions[3].kind, Kind::Click);
    EXPECT_EQ(actions[4].kind, Kind::DblClick);
    EXPECT_EQ(actions[4].control, "flx");
    EXPECT_EQ(actions[5].key, WindowKey::F8);
    EXPECT_EQ(actions[6].answer, vbNo);
    EXPECT_EQ(actions[7].kind, Kind::Grid);
    EXPECT_EQ(actions[7].control, "MS");
    EXPECT_EQ(actions[7].index, 2);
    EXPECT_EQ(actions[7].col, 4);
    EXPECT_EQ(actions[7].text, " 包含 ");
    EXPECT_TRUE(actions[7].hasText);
    EXPECT_FALSE(actions[8].hasText);
}

TEST(WindowScript, NamesABadLine) {
    for (const char* bad : {"click", "select List1 -1", "select List1 x", "key Home", "answer maybe",
                            "press cmdOk", "click a b", "grid MS 1", "grid MS 1 x = a", "select List1 = 2",
                            "click a =b"}) {  // an '=' where no text goes
        try {
            parseWindowScript(std::string("click cmdOk\n") + bad + "\n");
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidCall);
            EXPECT_NE(e.description().find("window script line 2 (" + std::string(bad) + ")"),
                      std::string::npos)
                << e.description();
        }
    }
}

// A window with one control of each kind that writes down what reaches it.
class Probe : public Window {
public:
    const WindowLayout& layout() const override {
        static const WindowLayout w = [] {
            WindowLayout l;
            l.name = "frmProbe";
            l.caption = "探针";
            l.controls = {
                ControlDef("Text1", ControlKind::TextBox),
                ControlDef("Combo1", ControlKind::DropDown).at(1, 0),
                ControlDef("List1", ControlKind::ListBox).at(2, 0),
                ControlDef("flx", ControlKind::MSFlexGrid).at(3, 0),
                ControlDef("lbl", ControlKind::Label, "标签").at(4, 0),
                ControlDef("cmdOk", ControlKind::Button, "确定(&O)").at(5, 0).defaultButton(),
                ControlDef("cmdNo", ControlKind::Button, "取消(&C)").at(5, 1).cancelButton(),
            };
            return l;
        }();
        return w;
    }
    void Load() override {
        log.emplace_back("Load");
        combo("Combo1").AddItem("甲");
        combo("Combo1").AddItem("乙");
        list("List1").AddItem("一");
        grid("flx").Rows(4);
    }
    void Activate() override { frame().SetFocus("Text1"); }
    void Unload(UnloadMode mode) override {
        log.emplace_back(mode == UnloadMode::Code ? "Unload" : "CloseBox");
    }
    void Click(const std::string& c) override {
        log.push_back("Click " + c);
        if (c == "cmdOk" || c == "cmdNo") frame().Close();
        if (c == "lbl")
            msgBox("问", vbYesNo + vbQuestion, "t") == vbNo ? log.emplace_back("no")
                                                            : log.emplace_back("yes");
    }
    void DblClick(const std::string& c) override { log.push_back("DblClick " + c); }
    void Change(const std::string& c) override { log.push_back("Change " + c + " " + text("Text1").Text()); }
    void GotFocus(const std::string& c) override { log.push_back("Focus " + c); }
    bool KeyDown(WindowKey key) override {
        if (key != WindowKey::F5) return false;
        log.emplace_back("F5");
        return true;
    }

    std::vector<std::string> log;
};

class Hosts : public ::testing::TestWithParam<HostKind> {
protected:
    std::vector<std::string> play(const std::string& script) {
        Probe probe;
        WindowTestHost host(GetParam(), script);
        showModal(probe);
        EXPECT_FALSE(probe.shown());
        return probe.log;
    }
};

using Log = std::vector<std::string>;

TEST_P(Hosts, ActionsReachTheHandlersAsAUsersWould) {
    EXPECT_EQ(
        play("Text1 = 张\nselect Combo1 1\nkey F5\nclick lbl\nanswer no\nclick lbl\ndblclick "
             "flx\nclick cmdOk"),
        (Log{"Load", "Focus Text1", "Change Text1 张", "Focus Combo1", "Click Combo1", "F5", "Click lbl",
             "yes", "Click lbl", "no", "Focus flx", "DblClick flx", "Focus cmdOk", "Click cmdOk", "Unload"}));
}

TEST_P(Hosts, ALineTheWindowCannotTakeFailsNamingIt) {
    const std::pair<const char*, std::string> cases[] = {
        {"click Nothing", "the window frmProbe has no control Nothing"},
        {"Combo1 = 丙", "Combo1 has no entry 丙"},
        {"lbl = x", "lbl is a Label, which takes no text"},
        {"grid flx 1 1 = x", "no editor shows over the cell"},
    };
    for (const auto& [bad, why] : cases) {
        SCOPED_TRACE(bad);
        Probe probe;
        WindowTestHost host(GetParam(), std::string("key F5\n") + bad + "\nclick cmdOk");
        try {
            showModal(probe);
            ADD_FAILURE();
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidCall);
            EXPECT_NE(e.description().find("window script line 2 (" + std::string(bad) + "): " + why),
                      std::string::npos)
                << e.description();
        }
        EXPECT_FALSE(probe.shown());
        EXPECT_EQ(probe.log.back(), "CloseBox");
    }
}

TEST_P(Hosts, ADisabledButtonCannotBeClicked) {
    struct Disabling : Probe {
        void Load() override {
            Probe::Load();
            button("cmdOk").Enabled(false);
        }
    } probe;
    WindowTestHost host(GetParam(), "click cmdOk");
    EXPECT_EQ(errorOf([&] { showModal(probe); }),
              std::make_pair(long{ErrorNumber::InvalidCall},
                             std::string("window script line 1 (click cmdOk): cmdOk is disabled or hidden")));
    EXPECT_EQ(host.lastFrame().Caption(), "探针");
}

INSTANTIATE_TEST_SUITE_P(Windows, Hosts, ::testing::ValuesIn(windowHostKinds()), hostName);

TEST(WindowHost, WithoutAHostAWindowFailsInsteadOfWaiting) {
    auto previous = installWindowHost(nullptr);
    Probe probe;
    EXPECT_EQ(errorNumber([&] { showModal(probe); }), ErrorNumber::NotInstalled);
    installWindowHost(previous);
}

}  // namespace
}  // namespace Palvo::testing
