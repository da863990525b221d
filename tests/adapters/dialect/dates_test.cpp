// Dates and FORMAT as the translator renders them, and what it refuses by name.
#include <gtest/gtest.h>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"
#include "translation_cases.h"

namespace {

using Palvo::dialect::translateUncached;
using Palvo::testing::Case;
using Palvo::testing::Refusal;
using Palvo::testing::Refuses;
using Palvo::testing::Translates;

INSTANTIATE_TEST_SUITE_P(
    Dates, Translates,
    ::testing::Values(
        // text compared with a date expression is converted to its type, not compared as text
        Case{
            "select a from t where convert(date, d) = '2024-01-05'",
            "select a from t where tsql_convert('date', d, null) = tsql_convert('date', '2024-01-05', null)"},
        Case{
            "select a from t where '2024-01-05' < dateadd(day, 1, d)",
            "select a from t where tsql_convert('datetime', '2024-01-05', null) < tsql_dateadd('day', 1, d)"},
        Case{"select datename(dw, d) from t", "select tsql_datename('weekday', d) from t"},
        Case{"select format(d, N'yyyy年MM月dd日', 'zh-CN') from t",
             "select tsql_format(d, 'yyyy年MM月dd日', 'zh-CN') from t"},
        Case{"select format(n, '#,##0.00') from t", "select tsql_format(n, '#,##0.00', null) from t"},
        Case{"select convert(datetime, s, 103) from t", "select tsql_convert('datetime', s, 103) from t"},
        // a date as text is yyyy-mm-dd, style 23
        Case{"select cast(eomonth(d) as varchar(10)) from t",
             "select tsql_convert('varchar(10)', tsql_eomonth(d), 23) from t"}));

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
