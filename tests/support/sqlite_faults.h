// Faults injected into every SQLite connection a process opens from now on,
// through SQLite's automatic extensions: a kill before a chosen statement, a
// refused schema change, a file that cannot grow.
#pragma once

#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <string>

namespace Palvo::testing {

namespace faults {
inline std::string killPrefix;
inline std::atomic<int> killCountdown{0};
inline int maxPages = 0;

inline int killTrace(unsigned, void*, void*, void* text) {
    const char* sql = static_cast<const char*>(text);
    if (sql && std::strncmp(sql, killPrefix.c_str(), killPrefix.size()) == 0 && --killCountdown == 0)
        ::raise(SIGKILL);
    return 0;
}
inline int installKill(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &killTrace, nullptr);
    return SQLITE_OK;
}
inline int denyTriggers(void*, int action, const char*, const char*, const char*, const char*) {
    return action == SQLITE_CREATE_TRIGGER ? SQLITE_DENY : SQLITE_OK;
}
inline int installDeny(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_set_authorizer(db, &denyTriggers, nullptr);
    return SQLITE_OK;
}
inline int installPageLimit(sqlite3* db, const char**, const sqlite3_api_routines*) {
    const std::string pragma = "pragma max_page_count=" + std::to_string(maxPages);
    sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr);
    return SQLITE_OK;
}
template <class Entry>
void install(Entry entry) {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(entry));
}
}  // namespace faults

/// Kills the process (SIGKILL) just before its `nth` statement starting with `prefix`
/// (as SQLite runs it, after translation). For a forked child.
inline void killBeforeStatement(const std::string& prefix, int nth) {
    faults::killPrefix = prefix;
    faults::killCountdown = nth;
    faults::install(&faults::installKill);
}

/// Connections opened until the guard ends refuse to create triggers ("not authorized").
struct TriggersRefused {
    TriggersRefused() { faults::install(&faults::installDeny); }
    ~TriggersRefused() { sqlite3_reset_auto_extension(); }
};

/// Connections opened until the guard ends cannot grow the file beyond `pages`
/// pages ("database or disk is full"), as on a full disk.
struct DiskFull {
    explicit DiskFull(int pages) {
        faults::maxPages = pages;
        faults::install(&faults::installPageLimit);
    }
    ~DiskFull() { sqlite3_reset_auto_extension(); }
};

}  // namespace Palvo::testing
