// Column references typed from a catalogue: which table a name reads (aliases,
// joins, nested queries, common table expressions) and the step each type marks.
#include <gtest/gtest.h>

#include <map>

#include "palvo/dialect/translator.h"

namespace {

using Palvo::dialect::Catalogue;
using Palvo::dialect::translateUncached;

class Tables : public Catalogue {
public:
    Tables() {
        tables_["a"] = {{"i", "int"},
                        {"t", "tinyint"},
                        {"s", "SmallInt"},
                        {"b", "bigint"},
                        {"d", "decimal real(10, 2)"},
                        {"m", "money real"},
                        {"f", "float"},
                        {"n", "numeric(18,0)"},
                        {"k", "integer"},
                        {"v", "varchar(10)"}};
        tables_["b"] = {{"i", "decimal real(10,2)"}, {"x", "int"}};
    }
    const Columns* columns(const std::string& lowerName) override {
        ++asked;
        const auto it = tables_.find(lowerName);
        return it == tables_.end() ? nullptr : &it->second;
    }
    int asked = 0;

private:
    std::map<std::string, Columns> tables_;
};

struct Case {
    const char* tsql;
    const char* sqlite;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.tsql; }

class TypedColumns : public ::testing::TestWithParam<Case> {};

TEST_P(TypedColumns, MarkTheStepsAsTheirTypes) {
    Tables tables;
    const auto tr = translateUncached(GetParam().tsql, &tables);
    EXPECT_EQ(tr.joined(), GetParam().sqlite);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, TypedColumns,
    ::testing::Values(
        Case{"select i + 1, b + 1, t + t, s + t, t + 1, -t - t from a",
             "select tsql_arith(i, 1, 'i+'), tsql_arith(b, 1, '+'), tsql_arith(t, t, 't+'), "
             "tsql_arith(s, t, 's+'), tsql_arith(t, 1, 'i+'), tsql_arith(-t, t, 'i-') from a"},
        // decimal(10,2) + int is decimal(13,2); money stays money; a float or text is as it comes
        Case{"select d + i, d * d, m / 3, d + f, v + i, k + 1 from a",
             "select tsql_arith(d, i, 'd13,2+'), tsql_arith(d, d, 'd21,4*'), tsql_arith(m, 3, 'm/'), "
             "tsql_arith(d, f, '+'), tsql_arith(v, i, '+'), tsql_arith(k, 1, '+') from a"},
        Case{"select sum(i), avg(t), sum(b), sum(d), avg(d), sum(m), sum(n), sum(f) from a",
             "select tsql_sum(i, 'int'), tsql_avg(t, 'int'), tsql_sum(b), tsql_sum(d, 2), tsql_avg(d, 6), "
             "tsql_sum(m, 4), tsql_sum(n, 0), tsql_sum(f) from a"},
        Case{"select sum(i) + 1 from a", "select tsql_arith(tsql_sum(i, 'int'), 1, 'i+') from a"},
        // max, min and isnull keep their column's type
        Case{"select max(i) + 1, isnull(d, 0) * 2, min(a.t) + min(t), max(v) + 1 from a",
             "select tsql_arith(max(i), 1, 'i+'), tsql_arith(ifnull(d, 0), 2, 'd12,2*'), "
             "tsql_arith(min(a.t), min(t), 't+'), tsql_arith(max(v), 1, '+') from a"}));

INSTANTIATE_TEST_SUITE_P(
    Scopes, TypedColumns,
    ::testing::Values(
        // qualified by alias or by name; i is int in a, decimal in b
        Case{"select x.i + 1, y.i + 1 from a x join b y on y.x = x.i",
             "select tsql_arith(x.i, 1, 'i+'), tsql_arith(y.i, 1, 'd11,2+') from a x join b y on y.x = x.i"},
        Case{"select a.i + 1, [b].[i] + 1 from a, dbo.b",
             "select tsql_arith(a.i, 1, 'i+'), tsql_arith(\"b\".\"i\", 1, 'd11,2+') from a, b"},
        // unqualified: the one table that has it; two that do leave it to SQLite's refusal
        Case{"select t + 1, x + 1, i + 1 from a join b on b.x = a.i",
             "select tsql_arith(t, 1, 'i+'), tsql_arith(x, 1, 'i+'), tsql_arith(i, 1, '+') from a join b on "
             "b.x = a.i"},
        // an inner query sees its own tables first, then the outer ones
        Case{"select i + 1 from b where exists (select 1 from a where a.t = b.x and i + x > 0)",
             "select tsql_arith(i, 1, 'd11,2+') from b where exists (select 1 from a where a.t = b.x and "
             "tsql_arith(i, x, 'i+') > 0)"},
        // each member of a union reads its own table
        Case{"select i + 1 from a union all select i + 1 from b",
             "select tsql_arith(i, 1, 'i+') from a union all select tsql_arith(i, 1, 'd11,2+') from b"},
        // a derived table, a common table expression and an unknown table type nothing
        Case{"select q.i + 1, t + 1 from (select i from a) q join a on 1 = 1",
             "select tsql_arith(q.i, 1, '+'), tsql_arith(t, 1, 'i+') from (select i from a) q join a on 1 = "
             "1"},
        Case{"with a as (select 1 as i) select i + 1 from a",
             "with a as (select 1 as i) select tsql_arith(i, 1, '+') from a"},
        Case{"select i + 1 from nowhere", "select tsql_arith(i, 1, '+') from nowhere"},
        // UPDATE and DELETE read their table; UPDATE ... FROM its sources too
        Case{"update a set i = i + 1 where t + t > 0",
             "update a set i = tsql_arith(i, 1, 'i+') where tsql_arith(t, t, 't+') > 0"},
        Case{"update a set d = b.i * 2 from a join b on b.x = a.i",
             "update a set d = tsql_arith(b.i, 2, 'd12,2*') from b where (b.x = a.i)"},
        Case{"delete from b where i * 2 > 1", "delete from b where tsql_arith(i, 2, 'd12,2*') > 1"}));

TEST(TypedColumns, WithoutACatalogueColumnsStayUntyped) {
    EXPECT_EQ(translateUncached("select i + 1 from a").joined(), "select tsql_arith(i, 1, '+') from a");
    EXPECT_FALSE(translateUncached("select i + 1 from a").usesCatalogue);
    // a translation that asked about no table holds whatever the schema becomes
    Tables tables;
    EXPECT_FALSE(translateUncached("select 1 + 1", &tables).usesCatalogue);
    EXPECT_FALSE(translateUncached("with a as (select 1 as i) select i + 1 from a", &tables).usesCatalogue);
    EXPECT_EQ(tables.asked, 0);
    EXPECT_TRUE(translateUncached("select 1 from nowhere", &tables).usesCatalogue);
}

// A decimal column's sum or a typed step is reported in the result's types.
TEST(TypedColumns, ReportTheResultTypes) {
    Tables tables;
    const auto tr = translateUncached("select d * 2, sum(d), avg(n), m + m, i, i + 1 from a", &tables);
    const std::vector<std::string> expected{
        "decimal(12,2)", "decimal(38,2)", "decimal(38,6)", "money", "", ""};
    EXPECT_EQ(tr.columnTypes, expected);
}

}  // namespace
