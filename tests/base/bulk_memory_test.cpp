#include "palvo/bulk_memory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace Palvo {
namespace {

// Grown a row at a time past the size from which blocks are mapped and moved
// without a copy, the array keeps every value, new elements read zero, and
// shape changes and copies at that size move the values with them.
TEST(BulkArray, KeepsItsValuesAsItGrowsPastMappedBlocks) {
    constexpr std::size_t kRow = 7;
    constexpr std::size_t kRows = 3 * kBulkBlockBytes / sizeof(std::uint64_t) / kRow;  // about 24 MiB
    BulkArray<std::uint64_t> values;
    for (std::size_t r = 0; r < kRows; ++r) {
        const std::size_t at = values.size();
        values.resize(at + kRow);
        ASSERT_EQ(values[at + kRow - 1], 0u) << "row " << r;
        values[at] = r + 1;  // the row's first value; the rest stay zero
    }
    ASSERT_EQ(values.size(), kRows * kRow);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < values.size(); ++i) wrong += values[i] != (i % kRow == 0 ? i / kRow + 1 : 0);
    EXPECT_EQ(wrong, 0u);

    BulkArray<std::uint64_t> copy = values;
    copy[0] = 99;
    EXPECT_EQ(values[0], 1u);

    values.insert(kRow, kRow);  // an empty row after the first
    EXPECT_EQ(values[kRow], 0u);
    EXPECT_EQ(values[2 * kRow], 2u);
    EXPECT_EQ(values[values.size() - kRow], kRows);
    values.erase(0, 2 * kRow);
    EXPECT_EQ(values[0], 2u);
    EXPECT_EQ(values.size(), (kRows - 1) * kRow);

    values.resize(kRow);  // shrunk and grown again: the regrown part reads zero
    values.resize(3 * kRow);
    EXPECT_EQ(values[0], 2u);
    EXPECT_EQ(values[kRow], 0u);
}

}  // namespace
}  // namespace Palvo
