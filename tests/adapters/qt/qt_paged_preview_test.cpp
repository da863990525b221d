// The paged preview: its pages are the PDF's pages, printing from it sends
// them, and it says it sent the data only then.
#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"
#include "support/qt_print.h"

namespace Palvo {
namespace {

namespace fs = std::filesystem;

using testing::ink;
using testing::pdfPages;

void report(FlexGrid& grid) {
    std::string top = "制表", bottom = "审核";
    clsPrint().mPrintRecord(grid, "销售清单", top, bottom);
}

class PagedPreview : public testing::QtPrintTest {
protected:
    // The preview on the paper and margins of qt::Printer::pdf (A4, an eighth of an inch).
    std::unique_ptr<qt::PagedPreview> preview(FlexGrid& grid) {
        auto p = std::make_unique<qt::PagedPreview>([&grid] { report(grid); });
        p->printer().setPageSize(QPageSize(QPageSize::A4));
        p->printer().setPageMargins(QMarginsF(9, 9, 9, 9), QPageLayout::Point);
        p->layOut();
        return p;
    }
};

TEST_F(PagedPreview, PrintsThePagesOfThePdfReport) {
    auto grid = testing::salesGrid(121);  // 40, 40, 40 and 1 rows
    const fs::path direct = file("direct.pdf");
    const fs::path printed = file("printed.pdf");
    std::string expected, actual;
    for (int attempt = 0; attempt < 4; ++attempt) {
        // start at a new second, so that both runs are likely to print the same time
        std::this_thread::sleep_until(
            std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now()));
        ScopedPrinter(qt::Printer::pdf(direct.string())), report(grid);  // the PDF ends with the statement
        auto shown = preview(grid);
        EXPECT_EQ(shown->pageCount(), 4);
        QPrinter target(QPrinter::HighResolution);
        testing::toPdf(target, printed);
        shown->print(target);
        expected = testing::pdfText(direct.string(), 0, true);
        actual = testing::pdfText(printed.string(), 0, true);
        if (actual == expected) break;
    }
    EXPECT_EQ(pdfPages(printed), pdfPages(direct));
    EXPECT_NE(expected.find("第 4/4 页"), std::string::npos);
    EXPECT_EQ(actual, expected);
}

TEST_F(PagedPreview, ShowsOnePageAtATimeAndPrintsOnThePaperItWasLaidOutOn) {
    auto grid = testing::salesGrid(81);
    auto shown = preview(grid);
    EXPECT_TRUE(box->messages().empty()) << "laying the pages out sends nothing";
    EXPECT_EQ(installedPrinter(), nullptr) << "the preview's printer was the thread's only while it ran";
    ASSERT_EQ(shown->pageCount(), 3);

    for (const auto& [asked, current] : {std::pair{2, 2}, {3, 3}, {0, 1}, {99, 3}}) {
        shown->showPage(asked);
        EXPECT_EQ(shown->currentPage(), current) << asked;
    }
    // the last page holds one row: less ink than a full one, more than none
    const double full = ink(shown->pageImage(1, 72));
    const double last = ink(shown->pageImage(3, 72));
    EXPECT_GT(last, 0.0);
    EXPECT_LT(last, full);
    EXPECT_THROW(shown->pageImage(4, 72), Error);

    QPrinter target(QPrinter::HighResolution);
    testing::toPdf(target, file("p.pdf"));
    target.setPageSize(QPageSize(QPageSize::A5));  // the pages go out on the paper they were laid out on
    shown->print(target);
    EXPECT_EQ(pdfPages(file("p.pdf")), 3);
    EXPECT_EQ(target.pageLayout().pageSize().id(), QPageSize::A4);
}

TEST_F(PagedPreview, ARefusedPaperShowsOneBlankPageAndNothingToPrint) {
    auto grid = testing::salesGrid(81);
    qt::PagedPreview shown([&grid] { clsPrint().mPrintRecord(grid, "销售清单"); });
    shown.printer().setPageSize(QPageSize(QPageSize::A5));
    box->answerNo();
    shown.layOut();
    EXPECT_EQ(box->last().text, "打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？");
    EXPECT_EQ(shown.pageCount(), 1);
    EXPECT_EQ(ink(shown.pageImage(1, 72)), 0.0);
    QPrinter target(QPrinter::HighResolution);
    EXPECT_THROW(shown.print(target), Error);
}

}  // namespace
}  // namespace Palvo
