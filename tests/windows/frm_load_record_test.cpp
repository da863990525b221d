// The progress window of the spreadsheet reports, on every window host.
#include "src/print/frm_load_record.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "palvo/clsForm.h"
#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/spreadsheet.h"
#include "src/forms/frm_msg.h"
#include "src/print/progress.h"
#include "support/window_hosts.h"

namespace Palvo::testing {
namespace {

// Writes a token file; runs `during` first, as a long save would.
class FakeWriter : public SpreadsheetWriter {
public:
    std::function<void()> during;
    void save(const Worksheet&, const std::string& path) override {
        if (during) during();
        std::ofstream(path) << "workbook";
    }
};

class LoadRecordWindow : public ::testing::TestWithParam<HostKind> {
protected:
    void SetUp() override {
        clsForm().mInit_Var("01", "", "", "", nullptr, "", 50, "报表");
        desk->saveTo = (std::filesystem::temp_directory_path() / "palvo-load-record.xlsx").string();
        installSpreadsheetWriter(writer);
        installSpreadsheetDesk(desk);
        grid.FixedCols(0);
        grid.Rows(3);
        grid.TextMatrix(0, 0, "名称");
        grid.TextMatrix(1, 0, "甲");
    }
    void TearDown() override {
        installSpreadsheetWriter(nullptr);
        installSpreadsheetDesk(nullptr);
        std::filesystem::remove(desk->saveTo);
    }

    std::shared_ptr<FakeWriter> writer = std::make_shared<FakeWriter>();
    std::shared_ptr<memory::SpreadsheetDesk> desk = std::make_shared<memory::SpreadsheetDesk>();
    memory::FlexGrid grid;
};

TEST_P(LoadRecordWindow, Label1FollowsTheJob) {
    WindowTestHost host(GetParam(), "");
    std::vector<std::string> duringSave;
    writer->during = [&duringSave] {
        duringSave = print::frmLoadRecordWindow().shownTexts();
        EXPECT_TRUE(print::frmLoadRecordWindow().shown());
    };
    clsPrint().sPrintComFlxData(grid, "标题", "上", "下");
    EXPECT_EQ(duringSave,
              (std::vector<std::string>{"正在生成excel报表,请稍候....", "正在设置表头格式,请稍候....",
                                        "正在提取数据,请稍候....", "正在进行格式设置,请稍候...."}));
    auto& f = host.lastFrame();
    EXPECT_EQ(f.Name(), "frmLoadRecord");
    EXPECT_EQ(dynamic_cast<Label&>(f.control("Label1")).Caption(), "正在进行格式设置,请稍候....");
}

TEST_P(LoadRecordWindow, UnloadingForgetsTheJob) {
    WindowTestHost host(GetParam(), "");
    clsPrint().sPrintComFlxData(grid, "标题", "上", "下");
    const print::ExcelJob& job = print::frmLoadRecordWindow().job;
    EXPECT_EQ(job.data, nullptr);
    EXPECT_EQ(job.title + job.top + job.bottom, "");
    EXPECT_EQ(job.orientation, 1);
    EXPECT_EQ(job.centring, -1);
    EXPECT_EQ(job.kind, print::ExcelJob::Kind::Composite);
}

TEST_P(LoadRecordWindow, AFailedCompositeStepIsShownUntilItsUserClosesIt) {
    WindowTestHost host(GetParam(), "click Command2");  // 确定 of the message window
    clsPrint().sPrintComFlxData(grid, "标题", "", "", 2, -1, true, -1, nullptr, -1, "(a,0):(1,0);");
    EXPECT_EQ(host.lastFrame().Name(), "frmLoadRecord");
    EXPECT_EQ(host.unplayed(), 0u);
    EXPECT_EQ(forms::frmMsgWindow().sErr,
              "Merge method of Range class failed: merge item (a,0):(1,0) does not hold whole numbers");
}

// Only the Qt host has events to handle; the memory host's DoEvents has none.
class QtLoadRecordWindow : public LoadRecordWindow {
protected:
    // Runs a report on the Qt host, letting events run for a while in the middle of its save.
    void runWithEvents() {
        WindowTestHost host(HostKind::Qt, "");
        bool fired = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
        writer->during = [&] {
            timer.start(20);  // due in the middle of the save
            const QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            const auto* animation = dialog->findChild<QLabel*>("Animation1");
            ASSERT_NE(animation, nullptr);
            before = animation->text();
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
            while (std::chrono::steady_clock::now() < end) {
                print::letEventsRun();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            after = animation->text();
            firedDuringJob = fired;
        };
        clsPrint().sReportGridtoExcel("标题", grid);
    }
    bool firedDuringJob = false;
    QString before, after;
};

TEST_F(QtLoadRecordWindow, TheQtHostKeepsHandlingEventsWhileTheJobRuns) {
    runWithEvents();
    EXPECT_TRUE(firedDuringJob);
}

TEST_F(QtLoadRecordWindow, TheAnimationMovesWhileTheJobRuns) {
    runWithEvents();
    EXPECT_NE(after, before);
}

INSTANTIATE_TEST_SUITE_P(Hosts, LoadRecordWindow, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
