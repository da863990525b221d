// Feeds arbitrary extra-merge lists (otherMergeStr) to the spreadsheet report's
// reader: every item read holds whole numbers of at most nine digits or none
// at all, and the items written back in the canonical form read back as
// themselves. The items, made small, are then merged one by one as the report
// merges them, and the overlap test is checked cell by cell: an item passes
// exactly when the area it becomes holds no cell outside the item and the
// areas it takes in, and hides no shown cell outside the item.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "src/print/excel_report.h"

namespace {

using Palvo::CellRange;

bool passes(const std::vector<CellRange>& merged, const CellRange& item, CellRange& area) {
    area = item;
    std::vector<CellRange> joined;
    for (bool grew = true; grew;) {
        grew = false;
        for (const CellRange& m : merged) {
            if (!m.overlaps(area) || std::find(joined.begin(), joined.end(), m) != joined.end()) continue;
            joined.push_back(m);
            area = {std::min(area.firstRow, m.firstRow), std::min(area.firstCol, m.firstCol),
                    std::max(area.lastRow, m.lastRow), std::max(area.lastCol, m.lastCol)};
            grew = true;
        }
    }
    for (int r = area.firstRow; r <= area.lastRow; ++r) {
        for (int c = area.firstCol; c <= area.lastCol; ++c) {
            if (item.contains(r, c)) continue;
            if (std::none_of(joined.begin(), joined.end(),
                             [r, c](const CellRange& m) { return m.contains(r, c); }))
                return false;
        }
    }
    for (const CellRange& m : joined) {
        const bool shown = m.firstRow == area.firstRow && m.firstCol == area.firstCol;
        if (!shown && !item.contains(m.firstRow, m.firstCol)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Palvo::print::MergeItem;
    using Palvo::print::OtherMerge;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<OtherMerge> items = Palvo::print::parseOtherMerges(text);
    std::string canonical;
    std::vector<MergeItem> cells;
    std::vector<CellRange> merged;
    for (const OtherMerge& item : items) {
        if (item.text.find(';') != std::string::npos) __builtin_trap();
        if (!item.cells) continue;
        const MergeItem& m = *item.cells;
        for (int n : {m.row1, m.col1, m.row2, m.col2})
            if (n < 0 || n > 999999999) __builtin_trap();
        canonical += "(" + std::to_string(m.row1) + "," + std::to_string(m.col1) + "):(" +
                     std::to_string(m.row2) + "," + std::to_string(m.col2) + ");";
        cells.push_back(m);
        const CellRange r{std::min(m.row1, m.row2) % 16, std::min(m.col1, m.col2) % 16,
                          std::min(m.row1, m.row2) % 16 + std::abs(m.row1 - m.row2) % 8,
                          std::min(m.col1, m.col2) % 16 + std::abs(m.col1 - m.col2) % 8};
        CellRange area;
        const bool ok = passes(merged, r, area);
        if (Palvo::print::mergeHides(merged, r).empty() != ok) __builtin_trap();
        if (ok) {
            std::erase_if(merged, [&area](const CellRange& a) { return a.overlaps(area); });
            merged.push_back(area);
        }
    }
    std::vector<MergeItem> again;
    for (const OtherMerge& item : Palvo::print::parseOtherMerges(canonical)) {
        if (!item.cells) __builtin_trap();
        again.push_back(*item.cells);
    }
    if (again != cells) __builtin_trap();
    return 0;
}
