// Whole numbers beyond bigint where the embedded database has no exact form:
// refused by name (their answers: tests/dataaccess/tsql_bignum_test.cpp).
#include <gtest/gtest.h>

#include "translation_cases.h"

namespace Palvo::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(
    WholeNumbers, Refuses,
    ::testing::Values(
        // SQLite would join a text parameter to the digits, or add them as a double
        Refusal{"select 12345678901234567890123 + ?",
                "arithmetic on the number 12345678901234567890123 with a value of no known type"},
        Refusal{"select 'a' + 12345678901234567890123", "arithmetic on the number 12345678901234567890123"},
        // beside a value that is no column SQLite would order the digits after every number
        Refusal{"select 1 where len(x) between -99999999999999999999 and 5", "BETWEEN with a whole number"},
        Refusal{"select 1 where 12345678901234567890 in (1, 2)", "IN after the digits of a whole number"},
        // UNION would tell its digits from an equal number elsewhere
        Refusal{"select 12345678901234567890 union select 5", "combined by UNION"},
        Refusal{"select 5 except select 12345678901234567890", "combined by UNION"}));

// Beside a column SQLite's affinity compares BETWEEN's bounds.
INSTANTIATE_TEST_SUITE_P(WholeNumberBounds, Translates,
                         ::testing::Values(Case{"select 1 where x between -99999999999999999999 and 5",
                                                "select 1 where x between '-99999999999999999999' and 5"}));

}  // namespace
}  // namespace Palvo::testing
