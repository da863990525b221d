// A report workbook's pages as they print, drawn on the recording printer
// while the print preview holds the sheet: rows a page, the title rows on
// every page, columns split across pages, page n of N in the footer.
#include "palvo/sheet_print.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/session.h"
#include "src/print/excel_report.h"

namespace Palvo {
namespace {

// Writes a stand-in workbook: the pages are drawn from the sheet itself.
class StubWriter : public SpreadsheetWriter {
public:
    void save(const Worksheet&, const std::string& path) override { std::ofstream(path) << "PK"; }
};

// A headless desk that prints the previewed sheet on a recording printer.
class PrintingDesk : public memory::SpreadsheetDesk {
public:
    void preview(const WorkbookPreview& request) override {
        memory::SpreadsheetDesk::preview(request);
        printer.paper(PaperCode::A4, request.page.Orientation);
        pages = printSheet(printer, *request.sheet, request.title);
        layout = layoutSheet(*request.sheet, 11906, 16838, [](std::string_view t, double pt, bool) {
            return static_cast<double>(t.size()) * pt * 10;
        });
    }
    memory::RecordingPrinter printer;
    int pages = 0;
    SheetLayout layout;
};

class SheetPages : public ::testing::Test {
protected:
    void SetUp() override { session().sMsg = "提示"; }

    void fill(int dataRows, int cols, int colWidth = 1000) {
        grid.FixedCols(0);
        grid.Rows(dataRows + 1);
        grid.Cols(cols);
        for (int c = 0; c < cols; ++c) {
            grid.ColWidth(c, colWidth);
            grid.TextMatrix(0, c, "列" + std::to_string(c));
            for (int r = 1; r <= dataRows; ++r) {
                grid.TextMatrix(r, c, "r" + std::to_string(r) + "c" + std::to_string(c));
            }
        }
    }
    // The sales list of dataRows rows and 3 columns, reported to a fresh desk.
    const memory::PrintedJob& report(int orientation, int dataRows) {
        desk = std::make_shared<PrintingDesk>();
        installSpreadsheetDesk(desk);
        fill(dataRows, 3);
        std::string top = "制表", bottom = "审核";
        clsPrint().sReportGridtoExcel("销售清单", grid, top, bottom, orientation, -1, false);
        EXPECT_EQ(desk->previews.size(), 1u);
        return job();
    }
    const memory::PrintedJob& job() {
        EXPECT_EQ(desk->printer.jobs().size(), 1u);
        return desk->printer.jobs().back();
    }
    static bool has(const std::vector<std::string>& texts, const std::string& t) {
        return std::find(texts.begin(), texts.end(), t) != texts.end();
    }
    static std::string joined(const std::vector<std::string>& texts) {
        std::string all;
        for (const auto& t : texts) all += t;
        return all;
    }

    memory::FlexGrid grid;
    std::shared_ptr<PrintingDesk> desk = std::make_shared<PrintingDesk>();
    ScopedSpreadsheetDesk deskGuard{desk};
    ScopedSpreadsheetWriter writerGuard{std::make_shared<StubWriter>()};
    std::shared_ptr<memory::ScriptedMessageBox> messages = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox boxGuard{messages};
    std::shared_ptr<memory::WindowHost> host = std::make_shared<memory::WindowHost>(nullptr, messages);
    ScopedWindowHost hostGuard{host};
};

// A4 leaves 16838 - 0.9 inch of margins = 15542 twips down (10610 across in
// landscape); the title rows take 1020 (a 15-point title, an empty row and
// the heading), each one-line data row 300.
struct PagesCase {
    int orientation, dataRows;
    std::vector<int> rowsAPage;
};
const PagesCase pagesCases[] = {{1, 100, {48, 48, 4}}, {2, 70, {31, 31, 8}}, {1, 48, {48}}};

TEST_F(SheetPages, RowsAPageOnA4) {
    for (const PagesCase& c : pagesCases) {
        SCOPED_TRACE(c.orientation);
        const auto& j = report(c.orientation, c.dataRows);
        ASSERT_EQ(j.pages, static_cast<int>(c.rowsAPage.size()));
        int row = 1;
        for (int p = 1; p <= j.pages; ++p) {
            SCOPED_TRACE(p);
            const auto texts = j.texts(p);
            for (int k = 0; k < c.rowsAPage[static_cast<std::size_t>(p - 1)]; ++k, ++row) {
                EXPECT_TRUE(has(texts, "r" + std::to_string(row) + "c2")) << row;
            }
            EXPECT_FALSE(has(texts, "r" + std::to_string(row) + "c2"))
                << "row " << row << " starts the next page";
        }
        EXPECT_EQ(row, c.dataRows + 1);
    }
}

// Columns of 20 digits (2275 twips, at 110 twips a digit) fit four to the
// 10754 twips across an A4 portrait page; the pages go down, then over.
TEST_F(SheetPages, ColumnsTooWideForThePageGoOnFurtherPagesDownThenOver) {
    fill(60, 10, 2000);
    clsPrint().sReportGridtoExcel("宽表", grid, "", "", 1, -1, false);
    const auto& pages = desk->layout.pages;
    ASSERT_EQ(pages.size(), 6u);  // 3 column bands of 2 row groups
    const std::vector<std::pair<int, int>> bands = {{0, 3}, {4, 7}, {8, 9}};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].firstCol, bands[i / 2].first) << i;
        EXPECT_EQ(pages[i].lastCol, bands[i / 2].second) << i;
        EXPECT_EQ(pages[i].firstRow, i % 2 == 0 ? 0 : pages[0].lastRow + 1) << i;
    }
    EXPECT_EQ(desk->layout.titleFirst, 0);
    EXPECT_EQ(desk->layout.titleLast, 2);

    const auto& j = job();
    ASSERT_EQ(j.pages, 6);
    EXPECT_TRUE(has(j.texts(1), "r1c3"));
    EXPECT_FALSE(has(j.texts(1), "r1c4"));
    EXPECT_TRUE(has(j.texts(3), "r1c4"));
    EXPECT_TRUE(has(j.texts(4), "列5")) << "the heading repeats over the second column band's lower rows";
    EXPECT_TRUE(has(j.texts(4), "r60c5"));
    EXPECT_NE(joined(j.texts(6)).find("第 6 页，共 6 页"), std::string::npos);
}

TEST_F(SheetPages, PastedValuesPrintAsTheGridShowedThem) {
    fill(1, 4, 2500);
    grid.TextMatrix(1, 0, "2024-01-05");
    grid.TextMatrix(1, 1, "2024-01-05 08:30:00");
    grid.TextMatrix(1, 2, "1900-03-01");
    grid.TextMatrix(1, 3, "12.50");
    clsPrint().sPrintComFlxData(grid, "日期", "", "", 2, -1, false);
    const auto texts = job().texts(1);
    // 12.50 would not read back from a number as it was written: it stays text, as typed
    for (const char* shown : {"2024-01-05", "2024-01-05 08:30:00", "1900-03-01", "12.50"})
        EXPECT_TRUE(has(texts, shown)) << shown;
}

const DateTime now{2024, 3, 5, 9, 5, 7, 0};

TEST(HeaderRuns, CodesBecomeTheirTexts) {
    auto text = [&](std::string_view s) {
        std::string all;
        for (const auto& r : headerRuns(s, 3, 12, now, "月报")) all += r.text;
        return all;
    };
    EXPECT_EQ(text("&D &T &F &A"), "2024/3/5 9:05 月报 Sheet1");
    EXPECT_EQ(text("&X&Gx&"), "x&") << "codes it does not draw are dropped; a lone & at the end stays";
}

TEST(HeaderRuns, FontCodesStartANewRun) {
    const auto runs = headerRuns("a&\"宋体,加粗\"b&14c&Bd", 1, 1, now, "", 11);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ((std::vector<bool>{runs[0].bold, runs[1].bold, runs[2].bold, runs[3].bold}),
              (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(runs[2].size, 14);
}

}  // namespace
}  // namespace Palvo
