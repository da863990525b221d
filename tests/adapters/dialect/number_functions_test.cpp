// Number functions tell the runtime the type of their argument, and only a
// query that never compares its own result column gets a decimal's every digit.
#include <gtest/gtest.h>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "support/errors.h"

namespace {

using Palvo::dialect::translateUncached;

struct Rendered {
    const char* tsql;
    const char* sqlite;
};

// Decimal, money, int and untyped arguments: TsqlNumbers (dataaccess_test) checks their results.
TEST(NumberFunctions, PassTheTypeOfTheirArgument) {
    EXPECT_EQ(translateUncached("select ceiling(cast(x as smallint))").joined(),
              "select tsql_ceiling(tsql_convert('smallint', x, null), 's')");
}

TEST(NumberFunctions, OnlyAQueryThatNeverComparesItsResultGetsEveryDigitOfADecimal) {
    const char* const quotient = "cast(1 as decimal(20,10)) / cast(3 as decimal(20,10))";
    const Rendered cases[] = {
        {"select %s", "'d38,18/!'"},
        {"select %s as q order by q", "'d38,18/'"},
        {"select distinct %s", "'d38,18/'"},
        {"select %s union all select 1", "'d38,18/'"},
        {"select 1 where %s > 0", "'d38,18/'"},
        {"select (select %s)", "'d38,18/'"},
    };
    for (const auto& c : cases) {
        std::string sql = c.tsql;
        sql.replace(sql.find("%s"), 2, quotient);
        const std::string out = translateUncached(sql).joined();
        EXPECT_NE(out.find(c.sqlite), std::string::npos) << sql << " -> " << out;
    }
}

TEST(NumberFunctions, ATypedSumInTheQuerysOwnResultGetsEveryDigitUnlessSorted) {
    EXPECT_EQ(translateUncached("select sum(cast(x as decimal(10,2))) from t").joined(),
              "select tsql_sum(tsql_convert('decimal(10,2)', x, null), 2, '!') from t");
    EXPECT_EQ(translateUncached("select sum(cast(x as decimal(10,2))) s from t order by s").joined(),
              "select tsql_sum(tsql_convert('decimal(10,2)', x, null), 2) s from t order by s");
}

TEST(NumberFunctions, AStyleMoneyOrDecimalTextDoesNotTakeIsRefusedByName) {
    for (const char* sql : {"select convert(varchar, cast(1 as money), 120)",
                            "select convert(varchar, cast(1 as decimal(5,2)), 1)"}) {
        const auto [number, text] = Palvo::testing::errorOf([&] { (void)translateUncached(sql); });
        EXPECT_EQ(number, Palvo::ErrorNumber::NotSupported) << sql;
        EXPECT_NE(text.find("with style"), std::string::npos) << text;
    }
}

}  // namespace
