// The one reader of dates as the embedded database stores them.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "palvo/value.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {
namespace {

struct Case {
    std::string_view text;
    std::optional<DateTime> form;  // what readStoredForm reads
};

TEST(StoredDates, ReadTheStoredFormOnlyWhenItHoldsARealInstant) {
    const Case cases[] = {
        {"2024-02-29 23:59:59.997", DateTime{2024, 2, 29, 23, 59, 59, 997}},
        {"9999-12-31 23:59:59.999", DateTime{9999, 12, 31, 23, 59, 59, 999}},
        {"1753-01-01 00:00:00.000", DateTime{1753, 1, 1, 0, 0, 0, 0}},
        {"0001-01-01 00:00:00.000", DateTime{1, 1, 1, 0, 0, 0, 0}},
        {"2023-02-29 00:00:00.000", std::nullopt},  // no such day
        {"2024-04-31 00:00:00.000", std::nullopt},
        {"2024-13-01 00:00:00.000", std::nullopt},
        {"2024-00-10 00:00:00.000", std::nullopt},
        {"0000-01-01 00:00:00.000", std::nullopt},
        {"2024-01-01 24:00:00.000", std::nullopt},
        {"2024-01-01 00:60:00.000", std::nullopt},
        {"2024-01-01 00:00:60.000", std::nullopt},
        {"2024-01-01T00:00:00.000", std::nullopt},  // not the stored shape, though a date
        {"2024-01-01 00:00:00", std::nullopt},
        {"2024-01-01 00:00:00.0000", std::nullopt},
        {" 2024-01-01 00:00:00.00", std::nullopt},
        {"2024-01-01 00:00:0a.000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(readStoredForm(c.text), c.form) << c.text;
}

TEST(StoredDates, ADateOfSqlServerReadsFrom1753On) {
    EXPECT_EQ(readStored("1753-01-01 00:00:00.000"), (DateTime{1753, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(readStored("9999-12-31 23:59:59.997"), (DateTime{9999, 12, 31, 23, 59, 59, 997}));
    EXPECT_EQ(readStored("1752-12-31 23:59:59.997"), std::nullopt);
    EXPECT_EQ(readStored("2023-02-29 00:00:00.000"), std::nullopt);
}

}  // namespace
}  // namespace Palvo::sqlite::tsql
