// The forms of FOR XML, LIKE and TRIM that are not rendered are named, never run
// (what is rendered is checked by its answers, tests/dataaccess/tsql_text_test.cpp).
#include <gtest/gtest.h>

#include "translation_cases.h"

namespace {

using Palvo::testing::Refusal;
using Palvo::testing::Refuses;

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
