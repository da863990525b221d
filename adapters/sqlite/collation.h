// Text comparison as SQL Server's Chinese_PRC_CI_AS does it: pinyin order,
// case-insensitive, accent-sensitive, trailing blanks ignored. Compiled into
// the adapter and, like tsql_functions.cpp, into the loadable extension.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;
struct UCollator;

namespace Palvo::sqlite {

/// The name the translated statements give the collation (see the dialect translator).
inline constexpr const char* kChineseCollationName = "zh_ci_as";

/// One ICU collator for Chinese at secondary strength, with Latin script before Han.
/// Not shared between threads: every connection has its own.
class ChineseCollator {
public:
    /// Throws nothing; returns null and sets `error` when ICU cannot give the collator.
    static ChineseCollator* open(std::string& error);
    ~ChineseCollator();
    ChineseCollator(const ChineseCollator&) = delete;
    ChineseCollator& operator=(const ChineseCollator&) = delete;

    /// <0, 0, >0. Trailing blanks (U+0020) are ignored; pure ASCII decided by a table when that is exact.
    int compare(std::string_view a, std::string_view b) const;
    /// The same comparison always through ICU (trailing blanks ignored too).
    int compareWithIcu(std::string_view a, std::string_view b) const;
    /// Whether the ASCII table was proven equal to ICU's order for this ICU's data.
    static bool asciiTableInUse();

private:
    explicit ChineseCollator(UCollator* c) : collator_(c) {}
    UCollator* collator_;
};

/// Registers the collation kChineseCollationName on `db` with a collator of its own.
/// Returns an SQLite result code; on failure `*error` holds a message from sqlite3_malloc (may be null).
int registerChineseCollation(sqlite3* db, char** error);

}  // namespace Palvo::sqlite
