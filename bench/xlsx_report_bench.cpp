// sReportGridtoExcel of a large grid against raw libxlsxwriter writing the
// same cells with the same formats, merge and page setup in its
// constant-memory mode; and the report's peak memory beyond the grid.
//
//   xlsx_report_bench [--rows N] [--runs K]   times K runs of each, alternating; prints the medians
//   xlsx_report_bench --memory [--rows N]     peak memory of one report beyond the filled grid
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/xlsx/writer.h"
#include "thread_clock.h"

using namespace Palvo;

namespace {

using bench::threadSeconds;

constexpr int kCols = 10;

void fill(memory::FlexGrid& g, int rows) {
    g.FixedCols(0);
    g.Cols(kCols);
    g.Rows(rows + 1);
    const char* names[] = {"华北商行", "东方贸易", "长江实业", "南方百货"};
    for (int c = 0; c < kCols; ++c) g.TextMatrix(0, c, "列" + std::to_string(c));
    for (int r = 1; r <= rows; ++r) {
        g.TextMatrix(r, 0, std::to_string(r));
        g.TextMatrix(r, 1, "XS2004" + std::to_string(100000 + r));
        g.TextMatrix(r, 2, "2004-08-25");
        g.TextMatrix(r, 3, names[r % 4]);
        for (int c = 4; c < kCols; ++c) g.TextMatrix(r, c, std::to_string((r * 37 + c * 11) % 10000) + ".5");
    }
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The thread's CPU time: steadier than the wall clock on a machine other work shares.
double report(memory::FlexGrid& grid, const std::string& path) {
    auto desk = std::make_shared<memory::SpreadsheetDesk>();
    desk->saveTo = path;
    ScopedSpreadsheetDesk deskGuard(desk);
    const auto start = std::chrono::steady_clock::now();
    clsPrint().sReportGridtoExcel("销售报表", grid, "单位: 华北", "制表人");
    return seconds(start);
}

// What the report writes, written straight through libxlsxwriter.
double raw(const memory::FlexGrid& grid, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(book, nullptr);
    lxw_format* title = workbook_add_format(book);
    format_set_bold(title);
    format_set_font_size(title, 15);
    format_set_align(title, LXW_ALIGN_CENTER);
    auto table = [book](bool bold) {
        lxw_format* f = workbook_add_format(book);
        if (bold) format_set_bold(f);
        format_set_num_format_index(f, 49);
        format_set_align(f, LXW_ALIGN_CENTER);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        format_set_text_wrap(f);
        format_set_shrink(f);
        format_set_border(f, LXW_BORDER_THIN);
        return f;
    };
    lxw_format* heading = table(true);
    lxw_format* data = table(false);
    for (int c = 0; c < kCols; ++c) worksheet_set_column(ws, c, c, 9.6, nullptr);
    worksheet_repeat_rows(ws, 0, 2);
    lxw_header_footer_options header{};
    header.margin = 0.56;
    worksheet_set_header_opt(ws, "&L单位: 华北&R时间:2026年12月6日", &header);
    lxw_header_footer_options footer{};
    footer.margin = 0.3;
    worksheet_set_footer_opt(ws,
                             "&L制表人&R第&\"Times New Roman,常规\" &P &\"宋体,常规\"页，共&\"Times New "
                             "Roman,常规\" &N &\"宋体,常规\"页",
                             &footer);
    worksheet_set_margins(ws, 0.4, 0.4, 0.3, 0.6);
    worksheet_center_horizontally(ws);
    worksheet_set_portrait(ws);
    worksheet_set_paper(ws, 9);
    const std::string written = "A1:J" + std::to_string(grid.Rows() + 2);  // kCols columns
    worksheet_ignore_errors(ws, LXW_IGNORE_NUMBER_STORED_AS_TEXT, written.c_str());
    worksheet_merge_range(ws, 0, 0, 0, kCols - 1, "销售报表", title);
    for (int c = 0; c < kCols; ++c)
        worksheet_write_string(ws, 2, c, std::string(grid.cellText(0, c)).c_str(), heading);
    for (int r = 1; r < grid.Rows(); ++r) {
        for (int c = 0; c < kCols; ++c)
            worksheet_write_string(ws, r + 2, c, std::string(grid.cellText(r, c)).c_str(), data);
    }
    workbook_close(book);
    return seconds(start);
}

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int rows = 100000;
    int runs = 5;
    bool memoryRun = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc) rows = std::stoi(argv[++i]);
        if (a == "--runs" && i + 1 < argc) runs = std::stoi(argv[++i]);
        if (a == "--memory") memoryRun = true;
    }
    auto box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox boxGuard(box);
    ScopedWindowHost hostGuard(std::make_shared<memory::WindowHost>(nullptr, box));
    ScopedSpreadsheetWriter writerGuard(std::make_shared<xlsx::Writer>());
    const std::string path = "/tmp/xlsx_report_bench_" + std::to_string(::getpid()) + ".xlsx";

    memory::FlexGrid grid;
    fill(grid, rows);
    if (memoryRun) {
        // the peak from here on: the grid is filled and stays as it is
        std::ofstream("/proc/self/clear_refs") << "5";
        const long base = statusKb("VmRSS:");
        const double t = report(grid, path);
        const long peak = statusKb("VmHWM:");
        std::printf("rows %d: grid %ld MB, report peak beyond the grid %.1f MB (%.2f s)\n", rows, base / 1024,
                    (peak - base) / 1024.0, t);
        std::remove(path.c_str());
        return box->messages().empty() ? 0 : 1;
    }
    std::vector<double> ours;
    std::vector<double> bare;
    std::vector<double> oursCpu;
    std::vector<double> bareCpu;
    for (int i = 0; i < runs; ++i) {
        double cpu = threadSeconds();
        ours.push_back(report(grid, path));
        oursCpu.push_back(threadSeconds() - cpu);
        cpu = threadSeconds();
        bare.push_back(raw(grid, path));
        bareCpu.push_back(threadSeconds() - cpu);
    }
    std::remove(path.c_str());
    const double a = median(ours);
    const double b = median(bare);
    std::printf(
        "rows %d x %d cols, %d runs: sReportGridtoExcel %.3f s, raw libxlsxwriter %.3f s, ratio %.2f; "
        "CPU %.3f s / %.3f s, ratio %.2f\n",
        rows, kCols, runs, a, b, a / b, median(oursCpu), median(bareCpu), median(oursCpu) / median(bareCpu));
    return box->messages().empty() ? 0 : 1;
}
