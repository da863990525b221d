// The report commands read their rows one at a time into a file; what they
// write must be what the library writes from a grid filled in memory, as
// they did before.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/clsPrint.h"
#include "palvo/measure.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/msgbox.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "palvo/xlsx/writer.h"
#include "support/cli_database.h"
#include "support/pdf_text.h"
#include "support/xlsx_read.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

const std::string kStatement = "select * from 货物";

class ReportStream : public CliDatabase {
protected:
    ReportStream() : CliDatabase("palvo_report_stream") {}
    void exec(const std::string& statement) {
        const Outcome r = sql(statement);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void SetUp() override {
        exec("create table 货物 (编号 int, 名称 nvarchar(20), 金额 money, 日期 datetime, 备注 nvarchar(40))");
        // nulls, a blanked 1900-01-01, cells of two lines, a text past a page's width
        exec(
            "with n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(rows) +
            ") insert into 货物 select i, case when i % 11 = 0 then null else N'钢管' + cast(i as "
            "nvarchar(10)) end, 12.25 * (i % 13), case when i % 7 = 0 then '1900-01-01' else "
            "dateadd(day, i, '2003-01-01') end, case when i % 3 = 0 then N'两行' + char(10) + N'第二' "
            "when i = 5 then N'长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长' "
            "else '' end from n");
    }
    void TearDown() override { session() = SessionContext{}; }

    // The grid as the tool used to fill it: sFillTable into a memory grid, on a session of the file.
    void fillInMemory(memory::FlexGrid& grid, bool fitWidths) {
        auto conn = std::make_shared<sqlite::Connection>();
        conn->Open(db);
        clsForm().mInit_Var("", "", "", "", conn, "");
        ASSERT_EQ(clsGrid().sFillTable(kStatement, grid, fitWidths, 0, "", true), "");
    }

    const int rows = 130;
};

// The lines that carry the print time: the one thing two runs may print differently.
std::string timeLines(const std::string& text) {
    std::string lines;
    std::size_t at = 0;
    while ((at = text.find("打印时间", at)) != std::string::npos) {
        lines += text.substr(at, text.find('\n', at) - at) + "\n";
        ++at;
    }
    return lines;
}

TEST_F(ReportStream, PdfReadsAsTheReportOfAGridFilledInMemory) {
    if (!testing::havePdfToText()) GTEST_SKIP() << "poppler-utils is not installed";
    const fs::path streamed = dir / "streamed.pdf", inMemory = dir / "memory.pdf";
    std::string expected, actual;
    for (int attempt = 0; attempt < 4; ++attempt) {
        // start at a new second, so that both reports are likely to print the same time
        std::this_thread::sleep_until(
            std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now()));
        const Outcome tool = palvo({"report", "pdf", "--db", db, "--title", "货物清单", "--top", "制表",
                                    "--bottom", "审核", "--out", streamed.string(), kStatement});
        ASSERT_EQ(tool.status, 0) << tool.err;
        {
            // the tool makes its own application for the length of a command; so does this run
            int argc = 1;
            char name[] = "palvo-test";
            char* argv[] = {name, nullptr};
            const auto app =
                QGuiApplication::instance() ? nullptr : std::make_unique<QGuiApplication>(argc, argv);
            ScopedMessageBox box(std::make_shared<memory::ScriptedMessageBox>());
            memory::FlexGrid grid;
            fillInMemory(grid, false);
            auto printer = qt::Printer::pdf(inMemory.string());
            ScopedPrinter guard(printer);
            std::string top = "制表", bottom = "审核";
            clsPrint().mPrintRecord(grid, "货物清单", top, bottom);
            ASSERT_EQ(printer->jobsEnded(), 1);
        }
        expected = testing::pdfText(inMemory.string(), 0, true);
        actual = testing::pdfText(streamed.string(), 0, true);
        // only a tick of the clock between the two runs is worth another attempt
        if (actual == expected || timeLines(actual) == timeLines(expected)) break;
    }
    EXPECT_NE(expected.find("第 4/4 页"), std::string::npos) << "a report of several pages";
    EXPECT_EQ(actual, expected);
}

TEST_F(ReportStream, WorkbookSheetIsByteForByteTheOneOfAGridFilledInMemory) {
    for (int twice = 0; twice < 4; ++twice)  // 2,080 rows
        exec("insert into 货物 select 编号 + (select max(编号) from 货物), 名称, 金额, 日期, 备注 from 货物");
    const fs::path streamed = dir / "streamed.xlsx", inMemory = dir / "memory.xlsx";
    const Outcome tool =
        palvo({"report", "xlsx", "--db", db, "--title", "货物清单", "--out", streamed.string(), kStatement});
    ASSERT_EQ(tool.status, 0) << tool.err;
    {
        // what the command set up around sReportGridtoExcel, with the grid in memory
        auto box = std::make_shared<memory::ScriptedMessageBox>();
        ScopedMessageBox boxGuard(box);
        ScopedWindowHost hostGuard(std::make_shared<memory::WindowHost>(nullptr, box));
        ScopedSpreadsheetWriter writerGuard(std::make_shared<xlsx::Writer>());
        auto desk = std::make_shared<memory::SpreadsheetDesk>();
        desk->saveTo = inMemory.string();
        ScopedSpreadsheetDesk deskGuard(desk);
        installTextMeasurer(memory::headlessMeasurer());
        memory::FlexGrid grid;
        grid.Width(0);
        grid.CellFontSize(11);
        fillInMemory(grid, true);
        std::string top, bottom;
        clsPrint().sReportGridtoExcel("货物清单", grid, top, bottom, 1, -1, true);
        installTextMeasurer(nullptr);
        ASSERT_TRUE(box->messages().empty());
    }
    const std::string expected = testing::XlsxFile(inMemory.string()).part("xl/worksheets/sheet1.xml");
    EXPECT_NE(expected.find("<cols>"), std::string::npos) << "columns sized to their texts";
    EXPECT_EQ(testing::XlsxFile(streamed.string()).part("xl/worksheets/sheet1.xml"), expected);
}

}  // namespace
}  // namespace Palvo::cli
