// The sales report the print benchmarks lay out: 10 columns of Chinese and
// Latin names, codes, dates and amounts, a note on every seventh row.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "palvo/memory/grid.h"

namespace bench {

inline constexpr int kReportCols = 10;

inline std::unique_ptr<Palvo::memory::FlexGrid> makeReportGrid(int rows) {
    auto g = std::make_unique<Palvo::memory::FlexGrid>();
    g->Cols(kReportCols);
    g->Rows(rows + 1);
    const char* headings[kReportCols] = {"序号", "单据号", "日期", "客户",   "商品",
                                         "数量", "单价",   "金额", "经手人", "备注"};
    const char* names[] = {"华东钢材公司", "北方建材", "Lianhe Trading", "南方五金"};
    const char* people[] = {"刘洋", "张伟", "陈静", "Li Na"};
    for (int c = 0; c < kReportCols; ++c) g->TextMatrix(0, c, headings[c]);
    char code[32];
    for (int r = 1; r <= rows; ++r) {
        std::snprintf(code, sizeof code, "XS2004%06d", r);
        const std::string cells[kReportCols] = {
            std::to_string(r),
            code,
            "2004-" + std::to_string(1 + r % 12) + "-" + std::to_string(1 + r % 28),
            names[r % 4],
            "G" + std::to_string(r % 97),
            std::to_string(r % 50),
            std::to_string(r % 300) + ".5",
            std::to_string((r % 50) * (r % 300)) + ".25",
            people[r % 4],
            r % 7 ? "" : "加急 urgent"};
        for (int c = 0; c < kReportCols; ++c) g->TextMatrix(r, c, cells[c]);
    }
    return g;
}

}  // namespace bench
