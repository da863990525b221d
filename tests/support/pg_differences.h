// Where PostgreSQL, through the library's PostgreSQL target, still answers a case
// of the answers suites otherwise than SQL Server: each entry names a suite, a
// statement of it and why, as docs/sql-dialect.md lists them. On PostgreSQL a failure that follows a listed
// statement is what the entry says; a listed statement that ran without one fails the test, so that an entry
// is taken out as soon as PostgreSQL answers as SQL Server does.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/pg_scratch.h"

namespace Palvo::testing {

struct PgDifference {
    std::string suite;      ///< the fixture, as TsqlText; or one test of it, as TsqlText.LikeMatches
    std::string statement;  ///< the statement as the suite writes it
    std::string reason;
};

/// The heading in docs/sql-dialect.md whose list items are the entries.
inline constexpr std::string_view kPgDifferencesHeading =
    "### Cases of the answers suites that PostgreSQL answers otherwise";

/// One list item, "- Suite, `statement`: reason"; nullopt when it is not of that form.
std::optional<PgDifference> readPgDifference(std::string_view item);

/// Every entry, read from the docs once; throws when an item of the list is not of that form.
const std::vector<PgDifference>& pgDifferences();

/// Whether an entry is of the fixture `suite` (all its tests) or of its test `test`.
inline bool pgDifferenceOf(const PgDifference& d, std::string_view suite, std::string_view test) {
    const std::string_view of = d.suite;
    return of == suite || (of.size() == suite.size() + 1 + test.size() && of.starts_with(suite) &&
                           of[suite.size()] == '.' && of.ends_with(test));
}

/// The entry of `suite` or its `test` for `statement`; null when there is none.
inline const PgDifference* pgDifference(std::string_view suite, std::string_view test,
                                        std::string_view statement) {
    for (const auto& d : pgDifferences()) {
        if (pgDifferenceOf(d, suite, test) && statement == d.statement) return &d;
    }
    return nullptr;
}

/// Holds back the failures of one test on PostgreSQL until it ends, each with the statement the connection
/// was given last before it. A failure that ends the test's flow (a thrown error, a failed ASSERT) after a
/// listed statement takes the failures after it along: what follows it is what the difference left.
class PgDifferenceWatch : public ::testing::ScopedFakeTestPartResultReporter {
public:
    PgDifferenceWatch(std::string suite, std::string test, const NotingPgConnection& conn)
        : ScopedFakeTestPartResultReporter(INTERCEPT_ONLY_CURRENT_THREAD, &unused_),
          suite_(std::move(suite)),
          test_(std::move(test)),
          conn_(conn) {}

    void ReportTestPartResult(const ::testing::TestPartResult& r) override {
        if (r.type() == ::testing::TestPartResult::kSuccess) return;
        if (r.skipped()) {
            skipped_ = r.message();
            return;
        }
        const PgDifference* d = down_ ? down_ : pgDifference(suite_, test_, conn_.lastStatement());
        held_.push_back({r, d, conn_.lastStatement()});
        if (d && r.fatally_failed()) down_ = d;
    }

    /// What the test's end settles: the failures no entry explains, and the entries whose statement ran
    /// without failing.
    struct Unexplained {
        ::testing::TestPartResult result;
        std::string statement;  ///< the statement the connection was given last before it
    };
    struct Outcome {
        std::vector<Unexplained> unexplained;
        std::vector<const PgDifference*> stale;
        std::string skipped;  ///< the test's own GTEST_SKIP message, if it skipped
    };
    Outcome settle() const {
        Outcome o;
        o.skipped = skipped_;
        std::vector<const PgDifference*> seen;
        for (const auto& h : held_) {
            if (h.difference)
                seen.push_back(h.difference);
            else
                o.unexplained.push_back({h.result, h.statement});
        }
        // a test whose flow a listed statement broke tells nothing of the statements after it
        for (const auto& d : pgDifferences()) {
            if (down_ || !pgDifferenceOf(d, suite_, test_) || !conn_.statements().contains(d.statement))
                continue;
            bool differed = false;
            for (const PgDifference* s : seen) differed = differed || s == &d;
            if (!differed) o.stale.push_back(&d);
        }
        return o;
    }

private:
    struct Held {
        ::testing::TestPartResult result;
        const PgDifference* difference;
        std::string statement;
    };
    ::testing::TestPartResultArray unused_;
    std::string suite_;
    std::string test_;
    const NotingPgConnection& conn_;
    std::vector<Held> held_;
    const PgDifference* down_ = nullptr;
    std::string skipped_;
};

/// The watch over the running test when `conn` is a scratch PostgreSQL connection (pg_scratch.h); null on
/// the other databases. Made once the connection is open, so that what fails after it is held.
inline std::unique_ptr<PgDifferenceWatch> watchPgDifferences(const Connection& conn) {
    const auto* pg = dynamic_cast<const NotingPgConnection*>(&conn);
    if (!pg) return nullptr;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string suite = info->test_suite_name(), test = info->name();
    return std::make_unique<PgDifferenceWatch>(suite.substr(suite.find('/') + 1),
                                               test.substr(0, test.rfind('/')), *pg);
}

/// Ends the watch at the test's end: the failures no entry explains fail the test, and so does an entry whose
/// statement ran and answered as SQL Server does; a skip the test asked for stands.
inline void settlePgDifferences(std::unique_ptr<PgDifferenceWatch>& watch) {
    if (!watch) return;
    const auto outcome = watch->settle();
    watch.reset();
    for (const auto& [r, statement] : outcome.unexplained)
        ADD_FAILURE_AT(r.file_name() ? r.file_name() : "unknown file", r.line_number())
            << r.message() << "\n(on PostgreSQL, after the statement: " << statement << ")";
    for (const PgDifference* d : outcome.stale)
        ADD_FAILURE() << "PostgreSQL now answers as SQL Server does: take the entry for \"" << d->statement
                      << "\" out of docs/sql-dialect.md";
    if (!outcome.skipped.empty()) GTEST_SKIP() << outcome.skipped;
}

}  // namespace Palvo::testing
