// Text in T-SQL: LIKE, the text functions and the lists become tsql_* calls;
// the forms of FOR XML and LIKE that are not rendered are named, never run.
#include <gtest/gtest.h>

#include <string>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"

namespace {

using Palvo::dialect::translateUncached;

struct Rendering {
    const char* tsql;
    const char* sqlite;
};
void PrintTo(const Rendering& c, std::ostream* os) { *os << c.tsql; }

class TextRenders : public ::testing::TestWithParam<Rendering> {};

TEST_P(TextRenders, AsTheTsqlCallsThatAnswerLikeSqlServer) {
    EXPECT_EQ(translateUncached(GetParam().tsql).joined(), GetParam().sqlite);
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextRenders,
    ::testing::Values(
        Rendering{"select a from t where a not like 'x!%%' escape '!' and b like 'y' + c",
                  "select a from t where not tsql_like(a, 'x!%%', '!') and tsql_like(b, tsql_arith('y', c, "
                  "'+'))"},
        Rendering{"select case when left(a, 2) like '[0-9]%' then 1 end from t",
                  "select case when tsql_like(tsql_left(a, 2), '[0-9]%') then 1 end from t"},
        Rendering{
            "select trim('x' from a), trim(b), concat(a, 1), patindex('%b%', a) from t",
            "select tsql_trim(a, 'x'), tsql_trim(b), tsql_concat(a, 1), tsql_patindex('%b%', a) from t"},
        Rendering{"select string_agg(a, ',') within group (order by b desc, c) from t group by d",
                  "select tsql_string_agg(a, ',', 'da', b, c) from t group by d"},
        Rendering{
            "select stuff((select ',' + a from t where t.k = u.k order by a for xml path('')), 1, 1, '') "
            "from u",
            "select tsql_stuff((select tsql_xml_path(\"tsql_xml_item\", 1) from (select tsql_arith(',', a, "
            "'+') as \"tsql_xml_item\" from t where t.k = u.k order by a)), 1, 1, '') from u"},
        Rendering{
            "select (select a + ';' as [text()] from t for xml path(''), type).value('.', "
            "'NVARCHAR(MAX)')",
            "select (select tsql_xml_path(\"tsql_xml_item\", 0) from (select tsql_arith(a, ';', '+') as "
            "\"tsql_xml_item\" from t))"}));

struct TextRefusal {
    const char* tsql;
    const char* construct;  // must appear in the description
};
void PrintTo(const TextRefusal& c, std::ostream* os) { *os << c.tsql; }

class TextRefuses : public ::testing::TestWithParam<TextRefusal> {};

TEST_P(TextRefuses, NamingTheConstruct) {
    const auto [number, text] = Palvo::testing::errorOf([] { translateUncached(GetParam().tsql); });
    EXPECT_EQ(number, Palvo::ErrorNumber::NotSupported);
    EXPECT_NE(text.find(GetParam().construct), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextRefuses,
    ::testing::Values(
        TextRefusal{"select (select a from t for xml path('row'))", "FOR XML PATH('row') (rows as elements)"},
        TextRefusal{"select (select ',' + a from t for xml path)", "FOR XML PATH without a row name"},
        TextRefusal{"select (select ',' + a from t for xml raw)", "FOR XML RAW"},
        TextRefusal{"select (select ',' + a from t for xml path(''), root('r'))",
                    "FOR XML PATH('') with ROOT"},
        TextRefusal{"select (select a from t for xml path(''))",
                    "FOR XML PATH('') of the column a (an element)"},
        TextRefusal{"select (select ',' + a as x from t for xml path(''))", "the named column x"},
        TextRefusal{"select (select ',' + a, b from t for xml path(''))", "of several columns"},
        TextRefusal{"select (select ',' + a from t for xml path('')).value('.', 'nvarchar(max)')",
                    ".value() of FOR XML without TYPE"},
        TextRefusal{"select ',' + a from t for xml path('')", "FOR XML outside a subquery"},
        TextRefusal{"select a from t where a like 'x' collate Chinese_PRC_CS_AS", "LIKE with COLLATE"},
        TextRefusal{"select trim(leading 'x' from a) from t", "TRIM with LEADING"}));

}  // namespace
