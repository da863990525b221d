// Arithmetic on the embedded database as on SQL Server: results its type holds,
// errors with SQL Server's numbers where SQL Server raises them (a failed
// statement changes nothing), long chains of operators, big literals refused
// rather than read as other numbers, and the memory bound.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <limits>
#include <string>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/exact_numbers.h"

namespace {

using Palvo::Value;

class Arithmetic : public ::testing::Test {
protected:
    // SQL Server's English words, which these cases compare
    void SetUp() override { conn.Open("Data Source=:memory:;Language=us_english"); }

    Value scalar(const std::string& expr) { return one("select " + expr); }
    Value one(const std::string& sql) { return conn.Query(sql).at(0, 0); }

    // The error a statement raises; number 0 when it ran.
    Palvo::Error failure(const std::string& sql, const std::vector<Value>& params = {}) {
        return Palvo::testing::raised([&] {
            if (sql.starts_with("select") || sql.starts_with("with"))
                conn.Query(sql);
            else
                conn.ExecuteWith(sql, params);
        });
    }

    Palvo::sqlite::Connection conn;
};

struct Case {
    const char* expr;
    const char* expected;  // the value's text; "<null>" for Null
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.expr; }

class ArithmeticResult : public Arithmetic, public ::testing::WithParamInterface<Case> {};

TEST_P(ArithmeticResult, MatchesSqlServer) {
    const Value v = scalar(GetParam().expr);
    EXPECT_EQ(v.isNull() ? "<null>" : v.toText(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ArithmeticResult,
    ::testing::Values(Case{"-7 / 2", "-3"}, Case{"-7 % 3", "-1"}, Case{"7 / 2.0", "3.5"},
                      Case{"2 * 3 + 4 * 5 - 6 / 2", "23"}, Case{"100 / 10 / 5", "2"},
                      Case{"2147483647 + 0", "2147483647"}, Case{"-2147483647 - 1", "-2147483648"},
                      // a whole number beyond int is no int: its sums go beyond int as in SQL Server
                      Case{"2147483648 + 1", "2147483649"}, Case{"2147483647 + 1.0", "2147483648"},
                      Case{"9223372036854775807 - 1", "9223372036854775806"},
                      Case{"-9223372036854775808 + 1", "-9223372036854775807"}, Case{"null / 0", "<null>"},
                      Case{"1 + null * 2", "<null>"}, Case{"'1' + 2 * 3", "7"}, Case{"'12' - 2", "10"},
                      Case{"'1.5' * 2.0", "3"}, Case{"convert(datetime, '2004-03-01') + 1 - 2", "2004-02-29"},
                      Case{"-cast(-2147483647 as int)", "2147483647"},
                      Case{"abs(cast(-9223372036854775807 as bigint))", "9223372036854775807"},
                      Case{"abs(cast(-32767 as smallint)) + 0", "32767"}));

using Raised = Palvo::testing::RefusedCase;
using ArithmeticError = Palvo::testing::CasesOn<Arithmetic, Raised>;

TEST_P(ArithmeticError, IsSqlServersError) {
    const auto f = failure(GetParam().sql);
    EXPECT_EQ(f.number(), Palvo::ErrorNumber::Database) << f.description();
    EXPECT_EQ(f.description(), GetParam().description);
    EXPECT_EQ(f.nativeCode(), GetParam().native);
}

const char* const kDivideByZero = "Divide by zero error encountered.";
const char* const kIntOverflow = "Arithmetic overflow error converting expression to data type int.";
const char* const kFloatOverflow = "Arithmetic overflow error converting expression to data type float.";
const char* const kBigintOverflow = "Arithmetic overflow error converting expression to data type bigint.";

INSTANTIATE_TEST_SUITE_P(
    Errors, ArithmeticError,
    ::testing::Values(
        Raised{"select 1 % 0", kDivideByZero, 8134}, Raised{"select -2147483647 - 2", kIntOverflow, 8115},
        Raised{"select 46341 * 46341", kIntOverflow, 8115},
        // int values from functions are ints too
        Raised{"select len('ab') * 1073741824", kIntOverflow, 8115},
        Raised{"select 1e308 * 10", kFloatOverflow, 8115}, Raised{"select 1e400", kFloatOverflow, 8115},
        Raised{"select 'x' * 2", "Conversion failed when converting the varchar value 'x' to data type int.",
               245},
        // the lowest int and bigint have no opposite in their type
        Raised{"select -cast(-2147483648 as int)", kIntOverflow, 8115},
        Raised{"select abs(cast(-2147483648 as int))", kIntOverflow, 8115},
        Raised{"select -cast(-9223372036854775808 as bigint)", kBigintOverflow, 8115},
        Raised{"select abs(cast(-9223372036854775808 as bigint))", kBigintOverflow, 8115}));

INSTANTIATE_TEST_SUITE_P(
    TypeLengths, ArithmeticError,
    ::testing::Values(
        Raised{"select len(convert(char(2000000000), 'x'))",
               "The size (2000000000) given to the type 'char' exceeds the maximum allowed for any data type "
               "(8000).",
               131},
        Raised{"select cast('x' as nvarchar(4001))",
               "The size (4001) given to the type 'nvarchar' exceeds the maximum allowed for any data type "
               "(4000).",
               131},
        Raised{
            "create table wide (c varchar(8001))",
            "The size (8001) given to the column 'c' exceeds the maximum allowed for any data type (8000).",
            131}));

TEST_F(Arithmetic, FloatOverflowFailsWithoutStoringAValue) {
    conn.Execute("create table n (f float)");
    conn.Execute("insert into n values (1e308), (1e308)");
    EXPECT_EQ(failure("select f * 10 from n").description(), kFloatOverflow);
    EXPECT_EQ(failure("insert into n (f) values (1e400)").description(), kFloatOverflow);
    EXPECT_EQ(failure("insert into n (f) values (?)", {Value(std::numeric_limits<double>::infinity())})
                  .nativeCode(),
              8115);
    EXPECT_EQ(failure("select sum(f) from n").description(), kFloatOverflow);
    EXPECT_EQ(one("select count(*) from n"), Value(2));
}

// A Decimal parameter beyond bigint would reach SQLite as a double: refused naming it.
TEST_F(Arithmetic, ADecimalParameterBeyondBigintIsRefusedByName) {
    conn.Execute("create table w (d decimal(38,0), b bigint)");
    const std::string nines(38, '9');
    EXPECT_NE(failure("insert into w (d) values (?)", {Value(Palvo::Decimal{nines})})
                  .description()
                  .find("the number " + nines + " "),
              std::string::npos);
    EXPECT_EQ(one("select count(*) from w"), Value(0));
}

// Chains of one operator of 1,000 terms and more run; SQLite alone stops at
// about 40 nested calls and at expressions 1,000 levels deep.
TEST_F(Arithmetic, LongChainsOfOperatorsRun) {
    auto chain = [](const std::string& term, const std::string& op, int n) {
        std::string s = term;
        for (int k = 1; k < n; ++k) s += op + term;
        return s;
    };
    EXPECT_EQ(scalar(chain("1", "+", 1000)), Value(1000));
    EXPECT_EQ(scalar(chain("1", " + ", 2500)), Value(2500));
    EXPECT_EQ(scalar("1000000" + chain("", " - 1", 1000)), Value(999001));
    EXPECT_EQ(scalar(chain("1", "*", 1000)), Value(1));
    EXPECT_EQ(scalar("1000000" + chain("", "/1", 1000)), Value(1000000));
    EXPECT_EQ(scalar(chain("1.5", "+", 1000)).toText(), "1500");

    conn.Execute("create table g (名称 nvarchar(10), x int)");
    conn.Execute("insert into g values (N'甲乙', 1), (N'丙', 2)");
    EXPECT_EQ(one("select len(" + chain("名称", "+", 1000) + ") from g where x = 1"), Value(2000));
    EXPECT_EQ(one("select count(*) from g where " + chain("x > 0", " and ", 1000)), Value(2));
    EXPECT_EQ(one("select count(*) from g where " + chain("x = 3", " or ", 1000) + " or x = 2"), Value(1));
    // AND binds before OR and BETWEEN keeps its AND, however the run is grouped
    EXPECT_EQ(one("select count(*) from g where x = 1 and " + chain("x between 0 and 5", " and ", 600) +
                  " or x = 2 and x = 3 or " + chain("x = 9", " or ", 600)),
              Value(1));
    EXPECT_EQ(one("select count(*) from g where not x = 1 and " + chain("x < 5", " and ", 600)), Value(1));
    EXPECT_EQ(scalar("case when " + chain("1 = 1", " and ", 1000) + " then 'y' else 'n' end"), Value("y"));
}

// In a run of 32 and more conditions, regrouped in parentheses, every operator
// keeps its operands: each condition gives what it gives written short, at the
// run's end or start, among ANDs or ORs.
TEST_F(Arithmetic, OperatorsInsideLongRunsOfConditionsKeepTheirOperands) {
    conn.Execute("create table c (b nvarchar(10), n int)");
    conn.Execute("insert into c values (N'xa', 1), (N'ya', 2), (null, 3)");
    const struct {
        const char* condition;
        int rows;
    } cases[] = {
        {"b like 'x%'", 1},
        {"b not like 'x%'", 1},
        {"b like 'x!%' escape '!'", 0},
        {"b in ('xa', 'zz')", 1},
        {"b not in ('xa')", 1},
        {"b is null", 1},
        {"b is not null", 2},
        {"n between 2 and 3", 2},
        {"n not between 2 and 3", 1},
        {"exists (select 1 from c d where d.n = c.n + 1)", 2},
        {"not exists (select 1 from c d where d.n = c.n + 1)", 1},
    };
    auto run = [](const std::string& term, const std::string& op) {
        std::string s = term;
        for (int k = 1; k < 33; ++k) s += op + term;
        return s;
    };
    const std::string ands = run("n > 0", " and "), ors = run("n = 99", " or ");
    for (const auto& c : cases) {
        const std::string condition = c.condition;
        SCOPED_TRACE(condition);
        const Value shortAnd = one("select count(*) from c where n > 0 and " + condition);
        const Value shortOr = one("select count(*) from c where n = 99 or " + condition);
        EXPECT_EQ(shortAnd, Value(c.rows));
        EXPECT_EQ(shortOr, Value(c.rows));
        EXPECT_EQ(one("select count(*) from c where " + ands + " and " + condition), shortAnd);
        EXPECT_EQ(one("select count(*) from c where " + condition + " and " + ands), shortAnd);
        EXPECT_EQ(one("select count(*) from c where " + ors + " or " + condition), shortOr);
        EXPECT_EQ(one("select count(*) from c where " + condition + " or " + ors), shortOr);
    }
}

class MemoryBound : public Arithmetic {
protected:
    void TearDown() override { Palvo::sqlite::setMemoryLimit(0); }
};

TEST_F(MemoryBound, ARunawayQueryFailsClearlyLeavingTheConnectionUsable) {
    Palvo::sqlite::setMemoryLimit(16u << 20);
    const std::string grows = "with c(x) as (select 1 union all select x + 1 from c where x < 1000000) ";
    const std::string message =
        "The statement needs more memory than the embedded database's bound of 16 MB.";
    // the rows read
    const auto rows = failure(grows + "select x, 'a text of some length' from c");
    EXPECT_EQ(rows.description(), message);
    EXPECT_EQ(rows.nativeCode(), 7);  // SQLITE_NOMEM
    // SQLite's own memory: a text doubled until it needs more than the bound
    const std::string doubling =
        "with d(n, s) as (select 1, convert(varchar(max), 'abcdefgh') union all select n + 1, s + s from d "
        "where n < 22) select len(s) from d where n = 22";
    EXPECT_EQ(failure(doubling).description(), message);
    EXPECT_EQ(scalar("1 + 1"), Value(2));
    Palvo::sqlite::setMemoryLimit(0);
    EXPECT_EQ(one(grows + "select count(*) from c"), Value(1000000));
    EXPECT_EQ(one(doubling), Value(8LL << 21));
}

// The peak of the process's resident memory, in MB.
long peakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

TEST_F(MemoryBound, ReplaceRefusesATextBeyondTheBoundBeforeMakingIt) {
    Palvo::sqlite::setMemoryLimit(256u << 20);
    // each of 7,999 blanks made 8,000 characters (64 MB), then each blank of that 15 (960 MB)
    const std::string large = "replace(convert(char(8000), 'x'), ' ', convert(char(8000), 'y'))";
    const long before = peakMegabytes();
    EXPECT_EQ(failure("select len(replace(" + large + ", ' ', convert(char(15), 'z')))").description(),
              "The statement needs more memory than the embedded database's bound of 256 MB.");
    EXPECT_LT(peakMegabytes() - before, 600);
    // within the bound it is made (len leaves out the blanks at its end)
    EXPECT_EQ(one("select len(" + large + ")"), Value(1 + 7999LL * 7999));
}

}  // namespace
