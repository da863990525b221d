// What the logic functions and CASE render: a conversion to the common type only
// where a value may not fit it, so that the usual forms cost nothing more (what IIF,
// CHOOSE, NULLIF and the conversions answer is TsqlTypes'); and what a computed column
// refuses by name (its type and value: TsqlTypes.AComputedColumnHasTheTypeOfItsExpression).
#include <gtest/gtest.h>

#include <map>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"

namespace {

using Palvo::dialect::Catalogue;
using Palvo::dialect::translateUncached;

class Goods : public Catalogue {
public:
    const Columns* columns(const std::string& lowerName) override {
        return lowerName == "g" ? &columns_ : nullptr;
    }

private:
    Columns columns_ = {{"i", "int"},         {"t", "tinyint"}, {"d", "decimal real(10,2)"},
                        {"v", "varchar(10)"}, {"c", "char(4)"}, {"w", "nvarchar(-1)"}};
};

struct Case {
    const char* tsql;
    const char* sqlite;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.tsql; }

class ChosenValues : public ::testing::TestWithParam<Case> {};

TEST_P(ChosenValues, ConvertOnlyWhereAValueMayNotFit) {
    Goods goods;
    EXPECT_EQ(translateUncached(GetParam().tsql, &goods).joined(), GetParam().sqlite);
}

const Case kCases[] = {
    // the replacement fits the first argument's type: unchanged
    {"select isnull(i, 0), isnull(d, 5), isnull(v, ''), isnull(w, 'x'), isnull(t, 255) from g",
     "select ifnull(i, 0), ifnull(d, 5), ifnull(v, ''), ifnull(w, 'x'), ifnull(t, 255) from g"},
    // (where it may not, it is converted to that type: TsqlTypes')
    // an untyped first argument leaves it to the values
    {"select isnull(?, 1), isnull(x, 1) from q", "select ifnull(?, 1), ifnull(x, 1) from q"},
    // each value fits decimal(12,2), the common type: unchanged
    {"select coalesce(i, d, 1) from g", "select coalesce(i, d, 1) from g"},
    {"select coalesce(v, 'ab', null) from g", "select coalesce(v, 'ab', null) from g"},
    {"select coalesce(v, ?) from g", "select coalesce(v, ?) from g"},
    {"select case when i > 1 then d else i end from g", "select case when i > 1 then d else i end from g"},
    {"select case when i > 1 then 'x' end, case i when 1 then 2 else 3 end from g",
     "select case when i > 1 then 'x' end, case i when 1 then 2 else 3 end from g"},
};
INSTANTIATE_TEST_SUITE_P(Logic, ChosenValues, ::testing::ValuesIn(kCases));

TEST(ComputedColumns, RefuseWhatTheyCannotHoldByName) {
    for (const char* tsql : {"create table m (q int, a as q * 2 persisted primary key)",
                             "create table m (q int, a as q * 2 default 1)"}) {
        const std::string text = Palvo::testing::errorDescription([&] { translateUncached(tsql); });
        EXPECT_NE(text.find("on the computed column a"), std::string::npos) << tsql << ": " << text;
    }
}

}  // namespace
