// Text in T-SQL: LIKE, the text functions and the lists become tsql_* calls;
// the forms of FOR XML and LIKE that are not rendered are named, never run.
#include <gtest/gtest.h>

#include <string>

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
    Text, Translates,
    ::testing::Values(
        Case{"select a from t where a not like 'x!%%' escape '!' and b like 'y' + c",
             "select a from t where not tsql_like(a, 'x!%%', '!') and tsql_like(b, tsql_arith('y', c, "
             "'+'))"},
        Case{"select case when left(a, 2) like '[0-9]%' then 1 end from t",
             "select case when tsql_like(tsql_left(a, 2), '[0-9]%') then 1 end from t"},
        Case{"select trim('x' from a), trim(b), concat(a, 1), patindex('%b%', a) from t",
             "select tsql_trim(a, 'x'), tsql_trim(b), tsql_concat(a, 1), tsql_patindex('%b%', a) from t"},
        Case{"select string_agg(a, ',') within group (order by b desc, c) from t group by d",
             "select tsql_string_agg(a, ',', 'da', b, c) from t group by d"},
        Case{"select stuff((select ',' + a from t where t.k = u.k order by a for xml path('')), 1, 1, '') "
             "from u",
             "select tsql_stuff((select tsql_xml_path(\"tsql_xml_item\", 1) from (select tsql_arith(',', a, "
             "'+') as \"tsql_xml_item\" from t where t.k = u.k order by a)), 1, 1, '') from u"},
        Case{"select (select a + ';' as [text()] from t for xml path(''), type).value('.', "
             "'NVARCHAR(MAX)')",
             "select (select tsql_xml_path(\"tsql_xml_item\", 0) from (select tsql_arith(a, ';', '+') as "
             "\"tsql_xml_item\" from t))"},
        // rows as elements: each item named for the aggregate that writes them
        Case{"select a, b as 名, c + 1 from t order by a for xml path('row'), root('rows')",
             "select * from (select tsql_xml_rows('row', 'rows', 'a', \"palvo_x1\", '名', \"palvo_x2\", '', "
             "\"palvo_x3\") as \"XML_F52E2B61-18A1-11d1-B105-00805F49916B\" from (select a as \"palvo_x1\", "
             "b as "
             "\"palvo_x2\", tsql_arith(c, 1, '+') as \"palvo_x3\" from t order by a)) where "
             "\"XML_F52E2B61-18A1-11d1-B105-00805F49916B\" is not null"}));

INSTANTIATE_TEST_SUITE_P(
    Text, Refuses,
    ::testing::Values(
        Refusal{"select (select a from t for xml path('row'), type)", "FOR XML PATH with elements and TYPE"},
        Refusal{"select (select a from t for xml path('row'), elements xsinil)",
                "FOR XML PATH with ELEMENTS"},
        Refusal{"select (select ',' + a from t for xml raw)", "FOR XML RAW"},
        Refusal{"select (select a as [@id] from t for xml path('row'))",
                "FOR XML PATH with the attribute column [@id]"},
        Refusal{"select (select a as [a b] from t for xml path('row'))",
                "FOR XML PATH with the element name 'a b'"},
        Refusal{"select (select a from t for xml path('xml'))", "FOR XML PATH with the element name 'xml'"},
        Refusal{"select (select * from t for xml path('row'))", "FOR XML PATH of *"},
        Refusal{"select (select ',' + a, ',' + b from t for xml path(''))", "of several columns"},
        Refusal{"select a from t for xml path('row'), type", "FOR XML PATH with TYPE outside a subquery"},
        Refusal{"select (select ',' + a from t for xml path('')).value('.', 'nvarchar(max)')",
                ".value() of FOR XML without TYPE"},
        Refusal{"select a from t where a like 'x' collate Chinese_PRC_CS_AS", "LIKE with COLLATE"},
        Refusal{"select trim(leading 'x' from a) from t", "TRIM with LEADING"}));

}  // namespace
