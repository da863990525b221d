// Column references typed from a catalogue: which table a name reads (aliases,
// joins, nested queries, common table expressions) and the step each type marks.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "palvo/dialect/translator.h"

namespace {

using Palvo::dialect::Catalogue;
using Palvo::dialect::recordedViewTypes;
using Palvo::dialect::translateUncached;

class Tables : public Catalogue {
public:
    const Columns* columns(const std::string& lowerName) override {
        ++asked;
        const auto it = tables_.find(lowerName);
        return it == tables_.end() ? nullptr : &it->second;
    }
    const std::vector<std::string>* columnOrder(const std::string& lowerName) override {
        const auto it = orders_.find(lowerName);
        return it == orders_.end() ? nullptr : &it->second;
    }
    int asked = 0;

private:
    std::map<std::string, Columns> tables_ = {
        {"a",
         {{"i", "int"},
          {"t", "tinyint"},
          {"s", "SmallInt"},
          {"d", "decimal real(10, 2)"},
          {"f", "float"},
          {"k", "integer"},
          {"v", "varchar(10)"}}},
        {"b", {{"i", "decimal real(10,2)"}, {"x", "int"}}},
    };
    std::map<std::string, std::vector<std::string>> orders_ = {{"b", {"x", "i"}}};
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
    // a common table expression hides the table of its name (that derived tables and CTEs give their
    // columns' types: TsqlTypes.ColumnsOfATableExpressionKeepTheirTypes)
    {"with a as (select 1 as i) select i + 1 from a",
     "with a as (select 1 as i) select tsql_arith(i, 1, 'i+') from a"},
    // a union's members' types combine as SQL Server's UNION combines them: int and decimal(10,2) are
    // decimal(12,2); a member of an unknown table leaves the column untyped
    {"select i + 1 from (select i from a union all select i from b) q",
     "select tsql_arith(i, 1, 'd13,2+') from (select i from a union all select i from b) q"},
    {"select i + 1 from (select i from a union all select i from nowhere) q",
     "select tsql_arith(i, 1, '+') from (select i from a union all select i from nowhere) q"},
    // renamed columns and a "*" leave them untyped
    {"with c(x) as (select i from a) select x + 1 from c",
     "with c(x) as (select i from a) select tsql_arith(x, 1, '+') from c"},
    {"select i + 1 from (select * from a) q", "select tsql_arith(i, 1, '+') from (select * from a) q"},
    // a scalar subquery of a union has no type (of one select: TsqlTypes.AScalarSubqueryHasTheTypeOfItsValue)
    {"select (select i from a union select x from b) + 1",
     "select tsql_arith((select i from a union select x from b), 1, '+')"},
    {"select i + 1 from nowhere", "select tsql_arith(i, 1, '+') from nowhere"},
    // UPDATE ... FROM reads its sources, DELETE its table
    {"update a set d = b.i * 2 from a join b on b.x = a.i",
     "update a set d = tsql_arith(b.i, 2, 'd12,2*') from b where (b.x = a.i)"},
    {"delete from b where i * 2 > 1", "delete from b where tsql_arith(i, 2, 'd12,2*') > 1"},
};
INSTANTIATE_TEST_SUITE_P(StepsAndScopes, TypedColumns, ::testing::ValuesIn(kCases));

// A parameter has the type of the value bound to it.
struct ParameterCase {
    const char* tsql;
    const char* types;
    const char* sqlite;
};
void PrintTo(const ParameterCase& c, std::ostream* os) { *os << c.tsql << " [" << c.types << "]"; }

class TypedParameters : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(TypedParameters, MarkTheStepsAsTheirValuesTypes) {
    EXPECT_EQ(translateUncached(GetParam().tsql, nullptr, GetParam().types).joined(), GetParam().sqlite);
}

const ParameterCase kParameterCases[] = {
    // decimal, bigint and float values alone: TsqlTypes.AParameterHasTheTypeOfItsValue
    {"select 2147483647 + ?", "bigint;", "select tsql_arith(2147483647, ?, '+')"},
    {"select ? + ?", ";decimal(2,1);", "select tsql_arith(?, ?, '+')"},
    // each parameter its own value's type, counted across the whole statement
    {"select k from t where k = ? and (select ? * 2) > 1", "bigint;decimal(4,2);",
     "select k from t where k = ? and (select tsql_arith(?, 2, 'd6,2*')) > 1"},
    // bigint beside decimal(2,1) is decimal(20,1), which holds both as they are (and of more than 15
    // digits, the query's own column gives every digit)
    {"select coalesce(?, 1.5) * 2", "bigint;", "select tsql_arith(coalesce(?, 1.5), 2, 'd22,1*!')"},
};
INSTANTIATE_TEST_SUITE_P(Values, TypedParameters, ::testing::ValuesIn(kParameterCases));

// A view's text records the types of its columns, which SQLite does not keep for an expression (that the
// columns of a view's select list keep their types is ViewTypes' in dataaccess_test): a column list names
// them; a union's members combine.
TEST(ViewTypes, AColumnListNamesTheRecordedTypes) {
    Tables tables;
    EXPECT_EQ(
        translateUncached("create view w (p, q) as select i, d from a union all select x, i from b", &tables)
            .joined(),
        "create view w (p, q) /* palvo column types: \"p\" int; \"q\" decimal(10,2); */ as select i, d "
        "from a union all select x, i from b");
}

TEST(ViewTypes, ReadBackByColumnName) {
    const auto types = recordedViewTypes(
        "CREATE VIEW w /* palvo column types: \"总数\" int; \"a\"\"b\" decimal(38,2); */ as select 1");
    EXPECT_EQ(types, (Catalogue::Columns{{"总数", "int"}, {"a\"b", "decimal(38,2)"}}));
    EXPECT_TRUE(recordedViewTypes("CREATE VIEW w as select 1 /* \"x\" int; */").empty());
}

TEST(ViewTypes, TheSameWordsInATextOfTheQueryAreNoRecord) {
    EXPECT_TRUE(
        recordedViewTypes("CREATE VIEW w as select '/* palvo column types: \"x\" int; */', 1 as x").empty());
}

TEST(ViewTypes, ANameThatWouldEndTheCommentIsNotRecorded) {
    EXPECT_EQ(translateUncached("create view w as select 1 as [a*/b], 2 as c").joined(),
              "create view w /* palvo column types: \"c\" int; */ as select 1 as \"a*/b\", 2 as c");
}

// "*" gives the columns of its tables in their order, typed as they are declared.
TEST(StarColumns, HaveTheTypesOfTheColumnsTheyGive) {
    Tables tables;
    EXPECT_EQ(translateUncached("select *, 1.5 from b", &tables).columnTypes,
              (std::vector<std::string>{"int", "decimal(10,2)", "decimal(2,1)"}));
    EXPECT_EQ(translateUncached("select b.*, z.* from b join b z on 1 = 1", &tables).columnTypes,
              (std::vector<std::string>{"int", "decimal(10,2)", "int", "decimal(10,2)"}));
    // a table whose order the catalogue does not tell leaves the columns to their values
    EXPECT_TRUE(translateUncached("select * from a", &tables).columnTypes.empty());
}

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
