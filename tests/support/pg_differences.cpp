// The cases of the answers suites PostgreSQL still answers otherwise are the list
// docs/sql-dialect.md gives under its heading, one item each: "- Suite, `statement`: reason".
#include "support/pg_differences.h"

#include <fstream>
#include <stdexcept>

namespace Palvo::testing {

std::optional<PgDifference> readPgDifference(std::string_view item) {
    constexpr std::string_view open = ", `";
    constexpr std::string_view close = "`: ";
    if (!item.starts_with("- ")) return std::nullopt;
    const std::size_t suiteEnd = item.find(open);
    if (suiteEnd == std::string_view::npos) return std::nullopt;
    const std::size_t statement = suiteEnd + open.size();
    const std::size_t statementEnd = item.find(close, statement);
    if (statementEnd == std::string_view::npos) return std::nullopt;
    PgDifference d{std::string(item.substr(2, suiteEnd - 2)),
                   std::string(item.substr(statement, statementEnd - statement)),
                   std::string(item.substr(statementEnd + close.size()))};
    if (d.suite.empty() || d.statement.empty() || d.reason.empty()) return std::nullopt;
    return d;
}

const std::vector<PgDifference>& pgDifferences() {
    static const std::vector<PgDifference> list = [] {
        std::ifstream in(PALVO_DIALECT_DOC);
        if (!in) throw std::runtime_error("cannot read " + std::string(PALVO_DIALECT_DOC));
        std::vector<PgDifference> out;
        bool inside = false;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with('#')) inside = line == kPgDifferencesHeading;
            if (!inside || !line.starts_with("- ")) continue;
            const auto d = readPgDifference(line);
            if (!d) throw std::runtime_error("not an item of the differences: " + line);
            out.push_back(*d);
        }
        return out;
    }();
    return list;
}

}  // namespace Palvo::testing
