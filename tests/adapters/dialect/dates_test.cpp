// The forms of dates and FORMAT the translator refuses by name (what it renders is
// checked by its answers, tests/dataaccess/tsql_dates_test.cpp).
#include <gtest/gtest.h>

#include "translation_cases.h"

namespace {

using Palvo::testing::Refusal;
using Palvo::testing::Refuses;

INSTANTIATE_TEST_SUITE_P(
    Dates, Refuses,
    ::testing::Values(
        Refusal{"select format(d, 'yyyy-MM-dd zzz') from t", "the FORMAT pattern 'yyyy-MM-dd zzz'"},
        Refusal{"select format(n, 'C') from t", "the FORMAT pattern 'C'"},
        Refusal{"select format(n, '0.00;(0.00)') from t", "the FORMAT pattern '0.00;(0.00)'"},
        Refusal{"select format(n, '#,##0,') from t", "the FORMAT pattern '#,##0,'"},
        Refusal{"select format(n, 'N2', 'fr-FR') from t", "FORMAT in the culture 'fr-FR'"},
        Refusal{"select format(n, p) from t", "FORMAT with a pattern that is not a text literal"},
        Refusal{"select convert(varchar, d, 130) from t", "CONVERT style 130"},
        Refusal{"select convert(varchar, d, 122) from t", "CONVERT style 122"},
        Refusal{"select convert(varchar, d, 15) from t", "CONVERT style 15"},
        Refusal{"select datename(wd, d) from t", "DATENAME with the date part 'wd'"},
        Refusal{"select convert(varchar, cast(d as time), 100) from t", "CONVERT style 100 of a time"},
        Refusal{"select cast(d as datetime2) from t", "datetime2"},
        Refusal{"create table t (d datetime2)", "datetime2"}));

}  // namespace
