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
    const Columns* columns(const std::string& lowerName) override {
        ++asked;
        const auto it = tables_.find(lowerName);
        return it == tables_.end() ? nullptr : &it->second;
    }
    int asked = 0;

private:
    std::map<std::string, Columns> tables_ = {
        {"a",
         {{"i", "int"},
          {"t", "tinyint"},
          {"s", "SmallInt"},
          {"b", "bigint"},
          {"d", "decimal real(10, 2)"},
          {"m", "money real"},
          {"f", "float"},
          {"n", "numeric(18,0)"},
          {"k", "integer"},
          {"v", "varchar(10)"}}},
        {"b", {{"i", "decimal real(10,2)"}, {"x", "int"}}},
    };
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

// What the embedded database's own tests do not reach: the narrow int types
// beside others, untyped kinds, and names each kind of scope resolves.
const Case kCases[] = {
    // tinyint beside smallint is smallint, beside int or negated int; identity, float and text untyped
    {"select s + t, t + 1, -t - t, k + 1, d + f, v + i, sum(f) from a",
     "select tsql_arith(s, t, 's+'), tsql_arith(t, 1, 'i+'), tsql_arith(-t, t, 'i-'), tsql_arith(k, 1, '+'), "
     "tsql_arith(d, f, '+'), tsql_arith(v, i, '+'), tsql_sum(f) from a"},
    {"select max(i) + 1, isnull(d, 0) * 2, min(a.t) + min(t), max(v) + 1 from a",
     "select tsql_arith(max(i), 1, 'i+'), tsql_arith(ifnull(d, 0), 2, 'd12,2*'), tsql_arith(min(a.t), "
     "min(t), 't+'), tsql_arith(max(v), 1, '+') from a"},
    // i is int in a, decimal in b; two tables that have it leave it to SQLite's refusal
    {"select [b].[i] + 1, x + 1, i + 1 from a, dbo.b",
     "select tsql_arith(\"b\".\"i\", 1, 'd11,2+'), tsql_arith(x, 1, 'i+'), tsql_arith(i, 1, '+') from a, b"},
    // each member of a union reads its own table
    {"select i + 1 from a union all select i + 1 from b",
     "select tsql_arith(i, 1, 'i+') from a union all select tsql_arith(i, 1, 'd11,2+') from b"},
    // a derived table and a common table expression give their columns' types; an unknown table none
    {"select q.i + 1, q.n + 1, t + 1 from (select i, d * 2 n from a) q join a on 1 = 1",
     "select tsql_arith(q.i, 1, 'i+'), tsql_arith(q.n, 1, 'd13,2+'), tsql_arith(t, 1, 'i+') from (select i, "
     "tsql_arith(d, 2, 'd12,2*') n from a) q join a on 1 = 1"},
    {"with a as (select 1 as i) select i + 1 from a",
     "with a as (select 1 as i) select tsql_arith(i, 1, 'i+') from a"},
    // renamed columns, a "*" and a union leave them untyped
    {"with c(x) as (select i from a) select x + 1 from c",
     "with c(x) as (select i from a) select tsql_arith(x, 1, '+') from c"},
    {"select i + 1 from (select * from a) q", "select tsql_arith(i, 1, '+') from (select * from a) q"},
    {"select i + 1 from (select i from a union all select i from b) q",
     "select tsql_arith(i, 1, '+') from (select i from a union all select i from b) q"},
    {"select i + 1 from nowhere", "select tsql_arith(i, 1, '+') from nowhere"},
    // UPDATE ... FROM reads its sources, DELETE its table
    {"update a set d = b.i * 2 from a join b on b.x = a.i",
     "update a set d = tsql_arith(b.i, 2, 'd12,2*') from b where (b.x = a.i)"},
    {"delete from b where i * 2 > 1", "delete from b where tsql_arith(i, 2, 'd12,2*') > 1"},
};
INSTANTIATE_TEST_SUITE_P(StepsAndScopes, TypedColumns, ::testing::ValuesIn(kCases));

// Only a translation that asked about a table depends on the schema.
TEST(TypedColumns, DependOnTheCatalogueOnlyWhereTheyAskedIt) {
    EXPECT_EQ(translateUncached("select i + 1 from a").joined(), "select tsql_arith(i, 1, '+') from a");
    Tables tables;
    EXPECT_FALSE(translateUncached("select 1 + 1", &tables).usesCatalogue);
    EXPECT_FALSE(translateUncached("with a as (select 1 as i) select i + 1 from a", &tables).usesCatalogue);
    EXPECT_EQ(tables.asked, 0);
    EXPECT_TRUE(translateUncached("select 1 from nowhere", &tables).usesCatalogue);
}

}  // namespace
