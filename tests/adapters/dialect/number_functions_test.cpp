// Number functions tell the runtime the type of their argument, and only a
// query that never compares its own result column gets a decimal's every digit.
#include <gtest/gtest.h>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"

namespace {

using Palvo::dialect::translateUncached;

struct Rendered {
    const char* tsql;
    const char* sqlite;
};

TEST(NumberFunctions, PassTheTypeOfTheirArgument) {
    const Rendered cases[] = {
        {"select round(748.58, -2)", "select tsql_round(748.58, -2, 0, 'd5,2')"},
        {"select round(cast(x as money), 0, 1)",
         "select tsql_round(tsql_convert('money', x, null), 0, 1, 'm')"},
        {"select ceiling(cast(x as smallint))",
         "select tsql_ceiling(tsql_convert('smallint', x, null), 's')"},
        {"select power(x, 2)", "select tsql_power(x, 2, '')"},
        {"select convert(varchar, 1.50)", "select tsql_convert('varchar', 1.50, null, 'd3,2')"},
        {"select try_cast('1' as int)", "select tsql_try_convert('int', '1', null)"},
    };
    for (const auto& c : cases) EXPECT_EQ(translateUncached(c.tsql).joined(), c.sqlite) << c.tsql;
}

// the runtime shows '*' for a whole number too long for its text, and fails for the others
TEST(NumberFunctions, ConvertOfAWholeNumberToTextTellsItsType) {
    EXPECT_EQ(translateUncached("select convert(varchar(10), 12, 0)").joined(),
              "select tsql_convert('varchar(10)', 12, 0, 'i')");
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
        try {
            (void)translateUncached(sql);
            ADD_FAILURE() << sql;
        } catch (const Palvo::Error& e) {
            EXPECT_EQ(e.number(), Palvo::ErrorNumber::NotSupported) << sql;
            EXPECT_NE(e.description().find("with style"), std::string::npos) << e.description();
        }
    }
}

}  // namespace
