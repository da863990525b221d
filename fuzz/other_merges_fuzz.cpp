// Feeds arbitrary extra-merge lists (otherMergeStr) to the spreadsheet report's
// reader: every item read holds whole numbers of at most nine digits, the
// items written back in the canonical form read back as themselves, and a
// list the reader refuses fails with a Palvo::Error naming the item.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "src/print/excel_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Palvo::print::MergeItem;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<MergeItem> items;
    try {
        items = Palvo::print::parseOtherMerges(text);
    } catch (const Palvo::Error& e) {
        if (e.number() != 13 || e.description().find("merge item") == std::string::npos) __builtin_trap();
        return 0;
    }
    std::string canonical;
    for (const MergeItem& m : items) {
        for (int n : {m.row1, m.col1, m.row2, m.col2})
            if (n < 0 || n > 999999999) __builtin_trap();
        canonical += "(" + std::to_string(m.row1) + "," + std::to_string(m.col1) + "):(" +
                     std::to_string(m.row2) + "," + std::to_string(m.col2) + ");";
    }
    if (Palvo::print::parseOtherMerges(canonical) != items) __builtin_trap();
    return 0;
}
