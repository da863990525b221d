// Logic and system functions: IIF, CHOOSE, NEWID, the names of the database, host and user.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

using tsql::resultText;

// NEWID(): a random (version 4) uniqueidentifier, in upper case as SQL Server shows it.
void fnNewid(sqlite3_context* ctx, int, sqlite3_value**) {
    unsigned char b[16];
    sqlite3_randomness(sizeof b, b);
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    resultText(ctx, text);
}

// DB_NAME(): the database file's name without its folder and last extension
// ("/账套/2024.db" is "2024"); "main" for a database without a file (":memory:").
void fnDbName(sqlite3_context* ctx, int, sqlite3_value**) {
    const char* file = sqlite3_db_filename(sqlite3_context_db_handle(ctx), "main");
    std::string name = file ? file : "";
    if (auto slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (auto dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    resultText(ctx, name.empty() ? "main" : name);
}

// HOST_NAME(): the workstation's name; the embedded database's client is this machine.
void fnHostName(sqlite3_context* ctx, int, sqlite3_value**) {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return sqlite3_result_null(ctx);
    resultText(ctx, name);
}

// SUSER_SNAME(): the login; the embedded database has none, so the operating system's user.
void fnSuserSname(sqlite3_context* ctx, int, sqlite3_value**) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return resultText(ctx, std::to_string(geteuid()));
    resultText(ctx, found->pw_name);
}

}  // namespace

int registerSystemFunctions(sqlite3* db) {
    struct Registration {
        const char* name;
        int args;
        tsql::Fn fn;
        int flags;
    };
    constexpr int kPlain = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    // OBJECT_ID and COL_LENGTH read the schema: not offered to triggers and views of untrusted files
    constexpr int kDirect = SQLITE_UTF8 | SQLITE_DIRECTONLY;
    const Registration functions[] = {
        {"tsql_newid", 0, fnNewid, kPlain},
        {"tsql_db_name", 0, fnDbName, kPlain},
        {"tsql_host_name", 0, fnHostName, kPlain},
        {"tsql_suser_sname", 0, fnSuserSname, kPlain},
        {"tsql_column_type", 2, tsql::fnColumnType, kPlain | SQLITE_DETERMINISTIC},
        {"tsql_object_id", 2, tsql::fnObjectId, kDirect},
        {"tsql_col_length", 2, tsql::fnColLength, kDirect},
    };
    for (const auto& r : functions) {
        const int rc =
            sqlite3_create_function_v2(db, r.name, r.args, r.flags, nullptr, r.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace Palvo::sqlite
