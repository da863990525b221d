// The cases the answers suites allow to differ on PostgreSQL (support/pg_differences.h)
// are the ones docs/sql-dialect.md lists, each with its reason, one line each.
#include "support/pg_differences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace Palvo {
namespace {

constexpr const char* kHeading = "### Cases of the answers suites that PostgreSQL answers otherwise";

std::string docLine(const testing::PgDifference& d) {
    return std::string("- ") + d.suite + ", `" + d.statement + "`: " + d.reason;
}

// The list items of the docs' section of differences.
std::vector<std::string> documentedDifferences() {
    std::ifstream in(PALVO_DIALECT_DOC);
    std::vector<std::string> items;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('#')) inside = line == kHeading;
        if (inside && line.starts_with("- ")) items.push_back(line);
    }
    return items;
}

TEST(PgDifferences, TheDocsListExactlyTheEntries) {
    const std::vector<std::string> docs = documentedDifferences();
    std::set<std::string> entries;
    for (const auto& d : testing::pgDifferences()) {
        SCOPED_TRACE(d.statement);
        EXPECT_TRUE(entries.insert(docLine(d)).second) << "listed twice";
        EXPECT_NE(std::string(d.reason), "");
    }
    for (const auto& line : entries) EXPECT_NE(std::find(docs.begin(), docs.end(), line), docs.end()) << line;
    for (const auto& line : docs) EXPECT_TRUE(entries.contains(line)) << "not in pg_differences.h: " << line;
}

}  // namespace
}  // namespace Palvo
