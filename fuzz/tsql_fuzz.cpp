// Feeds arbitrary text to the T-SQL tokenizer and translator, then runs it on
// a fresh in-memory embedded database: a statement either runs or fails with a
// Palvo::Error, in bounded time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Palvo;
    const std::string sql(reinterpret_cast<const char*>(data), size);

    try {
        std::size_t last = 0;
        for (const dialect::Token& t : dialect::tokenize(sql)) {
            // tokens come in order and lie inside the text
            if (t.offset < last || t.offset >= sql.size()) __builtin_trap();
            last = t.offset;
        }
    } catch (const Error&) {
    }
    try {
        const dialect::Translation tr = dialect::translateUncached(sql);
        if (tr.statements.empty()) __builtin_trap();
    } catch (const Error&) {
    }

    sqlite::Connection conn;
    conn.Open(":memory:");
    conn.CommandTimeout(1);  // a statement that runs on (a recursive query) is stopped
    conn.Execute("create table t (a int primary key, b nvarchar(20), c datetime, d decimal(10,2))");
    conn.Execute("insert into t values (1, N'甲', '2024-01-31', 1.5)");
    try {
        conn.Execute(sql);
    } catch (const Error&) {
    }
    try {
        conn.Query(sql);
    } catch (const Error&) {
    }
    return 0;
}
