// Global temporary tables (##t): tables of the main database that every connection on the file reads and
// changes, as SQL Server's connections share tempdb's ##t. The connection that made one drops it when it
// closes; one whose process died without closing is dropped by the next connection that opens the file.
// Who made each is in the library's table kGlobalMakers: host, boot, process, its start and the connection.
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "connection_impl.h"
#include "palvo/text.h"

namespace Palvo::sqlite {

namespace {

std::mutex liveMutex;
std::set<unsigned long long> liveConnections;  // this process's open connections, by serial
std::atomic<unsigned long long> nextSerial{1};

std::string firstLine(const std::string& path) {
    std::ifstream f(path);
    std::string line;
    std::getline(f, line);
    return line;
}

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// When the process started, in clock ticks after boot ("" when there is no such process): with the boot's
// id it tells a process from a later one that got the same number.
std::string startOf(long pid) {
    const std::string stat = firstLine("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');  // the name before it may hold blanks
    if (close == std::string::npos) return {};
    std::istringstream rest(stat.substr(close + 1));
    std::string field;
    for (int k = 3; k <= 22 && rest >> field; ++k) {
        if (k == 22) return field;
    }
    return {};
}

struct Self {
    std::string host = hostName();
    std::string boot = firstLine("/proc/sys/kernel/random/boot_id");
    long pid = static_cast<long>(getpid());
    std::string start = startOf(static_cast<long>(getpid()));
};

const Self& self() {
    static const Self s;
    return s;
}

// host, boot, pid, start, serial: tab-separated
std::vector<std::string> fieldsOf(const std::string& maker) {
    std::vector<std::string> f;
    std::istringstream in(maker);
    for (std::string part; std::getline(in, part, '\t');) f.push_back(part);
    return f;
}

bool makerGone(const std::string& maker) {
    const auto f = fieldsOf(maker);
    if (f.size() != 5) return true;
    const Self& me = self();
    // another machine's process on a shared file cannot be asked after: its tables stay
    if (f[0] != me.host) return false;
    if (f[1] != me.boot) return true;
    const long pid = std::strtol(f[2].c_str(), nullptr, 10);
    if (pid == me.pid && f[3] == me.start) {
        const std::lock_guard lock(liveMutex);
        return !liveConnections.contains(std::strtoull(f[4].c_str(), nullptr, 10));
    }
    return startOf(pid) != f[3];
}

void makerFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    const auto* maker = static_cast<const std::string*>(sqlite3_user_data(ctx));
    sqlite3_result_text(ctx, maker->c_str(), static_cast<int>(maker->size()), SQLITE_TRANSIENT);
}

std::string quoted(const std::string& name) {
    std::string r = "\"";
    for (char c : name) r += c == '"' ? std::string("\"\"") : std::string(1, c);
    return r + "\"";
}

}  // namespace

int Connection::Impl::registerGlobalTemps() {
    const unsigned long long serial = nextSerial++;
    {
        const std::lock_guard lock(liveMutex);
        liveConnections.insert(serial);
    }
    const Self& me = self();
    maker = me.host + '\t' + me.boot + '\t' + std::to_string(me.pid) + '\t' + me.start + '\t' +
            std::to_string(serial);
    return sqlite3_create_function_v2(db, "tsql_global_maker", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, &maker,
                                      makerFunction, nullptr, nullptr, nullptr);
}

void Connection::Impl::forgetMaker() noexcept {
    const auto f = fieldsOf(maker);
    if (f.size() != 5) return;
    const std::lock_guard lock(liveMutex);
    liveConnections.erase(std::strtoull(f[4].c_str(), nullptr, 10));
}

void Connection::Impl::dropGlobalTemps(bool own) noexcept {
    const std::string table = std::string("main.") + dialect::kGlobalMakers;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, ("select name, maker from " + table).c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return;  // no global temporary table was ever made in the file
    }
    std::vector<std::pair<std::string, std::string>> gone;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const auto* by = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (!name || !by) continue;
        if (own ? maker == by : makerGone(by)) gone.emplace_back(name, by);
    }
    sqlite3_finalize(st);
    if (gone.empty()) return;
    if (sqlite3_exec(db, "savepoint palvo_global_temps", nullptr, nullptr, nullptr) == SQLITE_OK) {
        bool done = true;
        for (const auto& [name, by] : gone) {
            const std::string sql = "drop table if exists main." + quoted(name) + "; delete from " + table +
                                    " where name = '" + base::sqlQuote(name) + "' and maker = '" +
                                    base::sqlQuote(by) + "'";
            done = done && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        if (!done) sqlite3_exec(db, "rollback to palvo_global_temps", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "release palvo_global_temps", nullptr, nullptr, nullptr);
    }
}

}  // namespace Palvo::sqlite
