// The cases the answers suites allow to differ on PostgreSQL are read from the list
// docs/sql-dialect.md gives, one item each with its reason (support/pg_differences.h).
#include "support/pg_differences.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace Palvo {
namespace {

TEST(PgDifferences, AnItemIsReadIntoItsParts) {
    const auto d =
        testing::readPgDifference("- TsqlText.LikeMatches, `select 'a: b'`: PostgreSQL answers `x`");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->suite, "TsqlText.LikeMatches");
    EXPECT_EQ(d->statement, "select 'a: b'");
    EXPECT_EQ(d->reason, "PostgreSQL answers `x`");
    for (const char* bad : {"- TsqlText `select 1`: why", "- TsqlText, `select 1`:", "- , `select 1`: why",
                            "TsqlText, `select 1`: why"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(testing::readPgDifference(bad).has_value());
    }
}

TEST(PgDifferences, TheDocsListEachCaseOnce) {
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& d : testing::pgDifferences()) {
        SCOPED_TRACE(d.statement);
        EXPECT_TRUE(seen.emplace(d.suite, d.statement).second) << "listed twice";
    }
    EXPECT_FALSE(seen.empty());
}

}  // namespace
}  // namespace Palvo
