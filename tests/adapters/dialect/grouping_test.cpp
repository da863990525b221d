// Grouping sets, PIVOT and APPLY as the translator renders them: what it refuses
// by name rather than answer differently, and the types a rolled-up select keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"

namespace {

using Palvo::dialect::Catalogue;
using Palvo::dialect::translateUncached;

class Tables : public Catalogue {
public:
    const Columns* columns(const std::string& lowerName) override { return lowerName == "a" ? &a_ : nullptr; }

private:
    Columns a_ = {{"i", "int"}, {"v", "varchar(10)"}, {"d", "decimal real(10, 2)"}, {"k", "int"}};
};

struct Refusal {
    const char* tsql;
    const char* says;  // after "Not supported by the embedded database: "
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.tsql; }

class GroupingRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(GroupingRefusals, NameTheConstructBeforeAnythingRuns) {
    Tables tables;
    EXPECT_EQ(Palvo::testing::errorOf([&] { (void)translateUncached(GetParam().tsql, &tables); }),
              std::make_pair(Palvo::ErrorNumber::NotSupported,
                             std::string("Not supported by the embedded database: ") + GetParam().says));
}

const Refusal kRefusals[] = {
    {"select grouping(i) from a group by rollup(v)", "GROUPING of 'i', which GROUP BY does not list."},
    {"select count(*) from a group by cube(i, v, d, k, i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7, i + "
     "8, "
     "i + 9)",
     "CUBE of more than 12 expressions (4096 grouping sets)."},
    {"select count(*) from a group by rollup(i), v with rollup",
     "ROLLUP, CUBE or GROUPING SETS together with WITH ROLLUP or WITH CUBE."},
    {"select * from a pivot (sum(d) for v in ([x])) p",
     "SELECT * of a PIVOT of a table (name its columns, or pivot a derived table)."},
    {"select p.x from t pivot (sum(d) for v in ([x])) p",
     "PIVOT of 't', whose columns are not known here (name them in a derived table)."},
    {"select p.x from (select v, d + 1 from a) s pivot (sum(d) for v in ([x])) p",
     "PIVOT of a derived table whose column 'd + 1' has no name."},
    {"select p.x from (select v, d from a) s pivot (sum(d) for v in ([2004-01-01])) p",
     "PIVOT over the date [2004-01-01]."},
    {"select * from (select v, i, k from a) s unpivot (x for n in (i, k)) u",
     "SELECT * of an UNPIVOT (name its columns)."},
    {"select t.i, y.x from a t cross apply f(t.i) y", "CROSS APPLY over a table-valued function."},
    {"select value from string_split('a,b', ',', 1)",
     "STRING_SPLIT with enable_ordinal (its third argument)."},
    {"select string_split('a,b', ',') from a", "the function STRING_SPLIT()."},
    {"select t.i, y.x from a t outer apply (select x from b join c on c.j = b.j where b.k = t.k or b.k = 0) "
     "y",
     "OUTER APPLY over a subquery whose correlation is not an equality, over anything but one table."},
    {"select t.i, y.s from a t cross apply (select b.k, sum(x) as s from b where b.k = t.k group by b.k) y",
     "CROSS APPLY over an aggregate subquery."},
    {"select t.i, s from a t cross apply (select sum(x) as s from b where b.k = t.k) y",
     "CROSS APPLY's column 's' named without its alias."},
    {"select t.i, y.s from a t cross apply (select sum(x) + 1 from b where b.k = t.k) y",
     "CROSS APPLY over an aggregate subquery whose column 'sum(x) + 1' has no name."},
    {"select t.i, y.x from a t cross apply (select t.i + x as x from b where b.k = t.k) y",
     "CROSS APPLY over a subquery that uses the outer columns outside its WHERE."},
    {"select t.i, y.x from a t cross apply (select distinct x from b where b.k = t.k) y",
     "CROSS APPLY over a subquery with DISTINCT."},
    {"select t.i, y.x from a t cross apply (select top 1 with ties x from b where b.k = t.k) y",
     "CROSS APPLY over a subquery with TOP ... WITH TIES without ORDER BY."},
    {"select * from a t cross apply (select x from b where b.k = t.k) y",
     "CROSS APPLY with SELECT * (name the columns)."},
};

INSTANTIATE_TEST_SUITE_P(Forms, GroupingRefusals, ::testing::ValuesIn(kRefusals));

TEST(GroupingSets, TheTableOfSetsLeavesTheColumnsTyped) {
    Tables tables;
    EXPECT_EQ(
        translateUncached("select v, sum(d), grouping(v) from a group by rollup(v)", &tables).columnTypes,
        (std::vector<std::string>{"", "decimal(38,2)", ""}));
}

}  // namespace
