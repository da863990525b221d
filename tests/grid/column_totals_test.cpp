// A column whose double sum carries binary noise, filled from a query with a
// 合计 row: the grid, the printed report and both workbooks show
// the exact total.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "palvo/clsGrid.h"
#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/printer.h"
#include "palvo/spreadsheet.h"
#include "support/files.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

// Keeps the cells of the sheet's last row as the workbook holds them.
class LastRowWriter : public SpreadsheetWriter {
public:
    void save(const Worksheet& sheet, const std::string& path) override {
        lastRow.clear();
        sheet.walk([this](int, const std::vector<SheetCell>& cells) {
            lastRow.clear();
            for (const SheetCell& c : cells) {
                if (c.value) lastRow.push_back(*c.value);
            }
        });
        std::ofstream(path) << "PK";
    }
    std::vector<SheetValue> lastRow;
};

class ColumnTotals : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec({"create table 销售 (单号 int, 金额 float, 数量 int)"});
        // 2228.93 and the others repeated: added as doubles in row order the total is off
        const double amounts[] = {2228.93, 1017.5, -15.07, 0.01, 388.46};
        conn->BeginTrans();
        for (int i = 0; i < kRows; ++i) {
            const double a = amounts[i % 5];
            conn->ExecuteWith(
                "insert into 销售 values (?, ?, ?)",
                {Value(static_cast<long long>(i)), Value(a), Value(static_cast<long long>(i % 3))});
            doubleSum += a;
        }
        conn->CommitTrans();
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
        desk->saveTo = (scratch.path / "out.xlsx").string();
    }
    void TearDown() override {
        installTextMeasurer(nullptr);
        SessionTest::TearDown();
    }

    static constexpr int kRows = 20000;
    // 4000 x (2228.93 + 1017.5 - 15.07 + 0.01 + 388.46) = 4000 x 3619.83
    const std::string kExact = "14479320";
    double doubleSum = 0;
    testing::ScratchDir scratch{"palvo-totals"};
    std::shared_ptr<memory::RecordingPrinter> printer =
        std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
    ScopedPrinter printerGuard{printer};
    std::shared_ptr<LastRowWriter> writer = std::make_shared<LastRowWriter>();
    ScopedSpreadsheetWriter writerGuard{writer};
    std::shared_ptr<memory::SpreadsheetDesk> desk = std::make_shared<memory::SpreadsheetDesk>();
    ScopedSpreadsheetDesk deskGuard{desk};
    std::shared_ptr<memory::ScriptedMessageBox> messages = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox boxGuard{messages};
    ScopedWindowHost hostGuard{std::make_shared<memory::WindowHost>(nullptr, messages)};
};

// The grid, the printed report and the workbooks.
TEST_F(ColumnTotals, EveryOutputShowsTheExactTotal) {
    ASSERT_NE(formatNumber(doubleSum), kExact) << "the data carries no noise to catch";
    for (auto type : {memory::GridType::MSFlexGrid, memory::GridType::MSHFlexGrid}) {
        SCOPED_TRACE(type == memory::GridType::MSFlexGrid ? "MSFlexGrid" : "MSHFlexGrid");
        memory::FlexGrid g(type);
        clsGrid grid;
        ASSERT_EQ(grid.sFillTable("select 单号, 金额, 数量 from 销售 order by 单号", g, true, 2, "金额,数量"),
                  "");
        const int last = g.Rows() - 1;
        ASSERT_EQ(last, kRows + 1);
        const std::vector<std::string> totals = {"合计", "", kExact, "19999"};
        EXPECT_EQ((std::vector<std::string>{g.TextMatrix(last, 0), g.TextMatrix(last, 1),
                                            g.TextMatrix(last, 2), g.TextMatrix(last, 3)}),
                  totals);

        clsPrint().mPrintRecord(g, "销售清单");
        ASSERT_FALSE(printer->jobs().empty());
        const memory::PrintedJob& job = printer->jobs().back();
        const std::vector<std::string> page = job.texts(job.pages);
        const auto from = std::find(page.begin(), page.end(), "合计");
        ASSERT_GE(page.end() - from, 3);
        EXPECT_EQ(std::vector<std::string>(from, from + 3),
                  (std::vector<std::string>{"合计", kExact, "19999"}))
            << "the printed 合计 row (an empty cell prints nothing)";

        clsPrint().sReportGridtoExcel("销售清单", g);
        ASSERT_EQ(writer->lastRow.size(), 3u);
        EXPECT_EQ(writer->lastRow[1].kind, SheetValue::Kind::Text) << "every cell text";
        EXPECT_EQ(writer->lastRow[1].text, kExact);

        clsPrint().sPrintComFlxData(g, "销售清单");
        ASSERT_EQ(writer->lastRow.size(), 3u);
        EXPECT_EQ(writer->lastRow[1].kind, SheetValue::Kind::Number) << "numbers as numbers";
        EXPECT_EQ(writer->lastRow[1].number, 14479320.0);
        for (const auto& m : messages->messages()) EXPECT_EQ(m.text, "数据已送至打印机！");
    }
}

}  // namespace
}  // namespace Palvo
