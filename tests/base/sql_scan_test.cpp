#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>

#include "palvo/text.h"

namespace Palvo::base {
namespace {

TEST(SkipSqlQuoted, EndsEachQuotedPartWhereTSqlEndsIt) {
    struct Case {
        std::string_view sql;
        std::size_t at, end;
    };
    const Case cases[] = {
        {"'it''s' x", 0, 7},  // a doubled quote stays inside the text
        {"N'ab' x", 0, 5},    // a national text with its N
        {"n'ab' x", 0, 5},
        {"x N'a''b' y", 2, 9},
        {"[a]]b] x", 0, 6},              // a doubled ] stays inside the name
        {"\"a\"\"b\" x", 0, 6},          // a quoted name
        {"[it's] x", 0, 6},              // a quote inside brackets is no text
        {"'[a' x", 0, 4},                // a bracket inside a text is no name
        {"-- 'a\nselect", 0, 6},         // a line comment, its line break with it
        {"-- note", 0, 7},               // the last line has no break
        {"/* a /* b */ c */ x", 0, 17},  // block comments nest
        {"/* a /* b */ x", 0, 14},       // the outer one never closed
        {"/*/ x */ y", 0, 8},            // "/*/" opens and does not close
        {"/* -- */ x", 0, 8},            // a line comment inside a block one ends nothing
        {"/* 'a */ x", 0, 8},            // nor does a quote
        {"'open", 0, 5},                 // an unclosed text runs to the end
        {"a'b' c", 1, 4},                // a part that opens inside a scan
    };
    for (const auto& c : cases) EXPECT_EQ(skipSqlQuoted(c.sql, c.at), c.end) << c.sql << " at " << c.at;
}

TEST(SkipSqlQuoted, StaysWhereNothingQuotedOpens) {
    struct Case {
        std::string_view sql;
        std::size_t at;
    };
    const Case cases[] = {{"select", 0}, {"a - b", 2}, {"a / b", 2}, {"Nx'a'", 0},
                          {"N", 0},      {"'a'", 3},   {"", 0}};
    for (const auto& c : cases) EXPECT_EQ(skipSqlQuoted(c.sql, c.at), c.at) << c.sql << " at " << c.at;
}

}  // namespace
}  // namespace Palvo::base
