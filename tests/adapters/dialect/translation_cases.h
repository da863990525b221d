// Tables of T-SQL statements with the SQLite text each becomes, or the construct
// its refusal names. The tests of each table live in translator_test.cpp; a
// theme's file instantiates them with its own cases.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

namespace Palvo::testing {

struct Case {
    const char* tsql;
    const char* sqlite;
};
inline void PrintTo(const Case& c, std::ostream* os) { *os << c.tsql; }

struct Refusal {
    const char* tsql;
    const char* construct;  // must appear in the description
};
inline void PrintTo(const Refusal& c, std::ostream* os) { *os << c.tsql; }

class Translates : public ::testing::TestWithParam<Case> {};
class Refuses : public ::testing::TestWithParam<Refusal> {};

}  // namespace Palvo::testing
