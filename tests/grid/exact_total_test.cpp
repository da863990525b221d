#include "src/grid/exact_total.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Palvo {
namespace {

std::string totalOf(const std::vector<std::string>& cells) {
    grid::ExactTotal t;
    for (const auto& c : cells) t.add(c);
    return t.text();
}

// Each cell counts with the leading number val reads from it, exactly.
TEST(ExactTotal, AddsTheLeadingNumberOfEachTextOnItsDigits) {
    struct Case {
        std::vector<std::string> cells;
        std::string total;
    };
    const std::vector<Case> cases = {
        {{"1,200", " 3.5", "abc", "", "2e1", "-", "."}, "24.5"},       // 1 + 3.5 + 20
        {{"1 2 3.4", "1.5D-2", "&H10", "&HFFFF", "7 件"}, "145.415"},  // blanks skipped; &HFFFF is -1
        {{"-2228.93", "2228.93", "-0"}, "0"},
        {{"-0.5", "0.25"}, "-0.25"},
        {{"-.5", "+1.25"}, "0.75"},
        {{"007", "0.10", "1."}, "8.1"},
        {{"1E+20", "1"}, "100000000000000000001"},
        {{"1e-20", "1"}, "1.00000000000000000001"},
        {{"1e-400", "2"}, "2"},  // val reads a number below the smallest double as 0
        {{"9999999999999999999", "9999999999999999999", "0.0000000000000000001"},
         "19999999999999999998.0000000000000000001"},
        {{"99999999999999999999.99", "0.01"}, "100000000000000000000"},
        {{"12345678901234567890123456789", "-12345678901234567890123456788.5"}, "0.5"},
        {{"-12345678901234567890123456789.123456789123", "12345678901234567890123456789"}, "-0.123456789123"},
        {{"0.1234567890123456789012", "-0.0000000000000000000002", "5"}, "5.123456789012345678901"},
    };
    for (const Case& c : cases) EXPECT_EQ(totalOf(c.cells), c.total) << ::testing::PrintToString(c.cells);
}

}  // namespace
}  // namespace Palvo
