#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>

#include "collation.h"
#include "connection_impl.h"
#include "palvo/dialect/server_errors.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "palvo/text.h"
#include "tsql_decimal.h"
#include "tsql_functions.h"

namespace Palvo::sqlite {

namespace {

constexpr std::size_t kStatementCacheSize = 128;
// Besides their count, the prepared statements kept hold at most this much text
// (a host may inline large values in one-off statements).
constexpr std::size_t kStatementTextBudget = 4u << 20;

// What a connection string asks for.
struct OpenOptions {
    std::string path;
    std::string journalMode = "wal";
    Language language = Language::Chinese;
};

// The journal modes a file may be given ("Journal Mode=..."): WAL by default, so that
// readers go on while one writer writes; the others for a file WAL cannot serve (a
// network share, where the processes share no memory).
bool knownJournalMode(const std::string& lower) {
    return lower == "wal" || lower == "delete" || lower == "truncate" || lower == "persist";
}

// "FILE", ":memory:", or "Data Source=FILE;..." (also "Database=FILE"), with an
// optional "Journal Mode=WAL|Delete|Truncate|Persist" and "Language=简体中文|us_english".
OpenOptions optionsFromConnectionString(const std::string& cs) {
    OpenOptions options;
    std::string s = trim(cs);
    if (s.find('=') == std::string::npos) {
        options.path = s;
        return options;
    }
    bool named = false;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find(';', start);
        std::string item = trim(
            std::string_view(s).substr(start, end == std::string::npos ? std::string::npos : end - start));
        auto eq = item.find('=');
        if (eq != std::string::npos) {
            std::string key = trim(std::string_view(item).substr(0, eq));
            const std::string lower = base::asciiLower(key);
            const std::string value = trim(std::string_view(item).substr(eq + 1));
            if (!named && (lower == "data source" || lower == "datasource" || lower == "database")) {
                options.path = value;
                named = true;
            } else if (lower == "journal mode" || lower == "journalmode") {
                options.journalMode = base::asciiLower(value);
                if (!knownJournalMode(options.journalMode)) {
                    throw Error(
                        ErrorNumber::ConnectionFailed,
                        "Journal Mode must be WAL, Delete, Truncate or Persist, not '" + value + "'.");
                }
            } else if (lower == "language") {
                const auto language = languageNamed(value);
                if (!language) {
                    throw Error(ErrorNumber::ConnectionFailed,
                                "Language must be 简体中文 or us_english, not '" + value + "'.");
                }
                options.language = *language;
            }
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (!named) {
        throw Error(ErrorNumber::ConnectionFailed,
                    "The connection string names no database file (expected \"Data Source=FILE\"): " + cs);
    }
    return options;
}

// The busy wait in milliseconds for a command timeout in seconds (0: no limit).
int busyMilliseconds(long seconds) {
    return seconds == 0 || seconds > INT_MAX / 1000 ? INT_MAX : static_cast<int>(seconds * 1000);
}

std::atomic<std::uint64_t> gMemoryLimit{0};

// The language SET LANGUAGE names ("set language us_english"); nullopt for any
// other statement. An unknown language is refused.
std::optional<Language> setLanguage(const std::string& sql) {
    std::string_view s = base::trimBlanks(sql);
    if (!startsWithNoCase(s, "set language ")) return std::nullopt;
    s.remove_prefix(13);
    while (!s.empty() && (s.back() == ';' || s.back() == ' ')) s.remove_suffix(1);
    if (auto language = languageNamed(s)) return language;
    // SET LANGUAGE that begins a batch: the batch engine runs it with the rest
    if (dialect::statementCount(sql) > 1) return std::nullopt;
    throw Error(ErrorNumber::Database,
                "Language must be 简体中文 or us_english, not '" + std::string(base::trimBlanks(s)) + "'.");
}

}  // namespace

std::string trim(std::string_view s) { return std::string(base::trimBlanks(s)); }

std::string databaseFile(const std::string& connectionString) {
    return optionsFromConnectionString(connectionString).path;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && base::equalsNoCase(s.substr(0, prefix.size()), prefix);
}

std::string memoryBoundMessage() {
    return "The statement needs more memory than the embedded database's bound of " +
           std::to_string(gMemoryLimit.load() >> 20) + " MB.";
}

// The name a translated "create ... NAME" statement gives, from `at` on: a quoted
// name without its quotes, or the plain word.
std::string nameAt(const std::string& sql, std::size_t at) {
    if (at < sql.size() && sql[at] == '"') {
        std::string name;
        for (std::size_t i = at + 1; i < sql.size(); ++i) {
            if (sql[i] == '"') {
                if (i + 1 == sql.size() || sql[i + 1] != '"') break;
                ++i;
            }
            name += sql[i];
        }
        return name;
    }
    return sql.substr(at, sql.find_first_of(" (", at) - at);
}

std::optional<Connection::Impl::TableColumns> Connection::Impl::readColumns(const std::string& table) {
    if (!columnsLookup &&
        sqlite3_prepare_v3(db, "select name, type from pragma_table_xinfo(?1) where hidden <> 1", -1,
                           SQLITE_PREPARE_PERSISTENT, &columnsLookup, nullptr) != SQLITE_OK)
        fail();
    sqlite3_bind_text(columnsLookup, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    TableColumns columns;
    bool untyped = false;
    int rc;
    while ((rc = sqlite3_step(columnsLookup)) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(columnsLookup, 0));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(columnsLookup, 1));
        columns.names.emplace_back(name ? name : "");
        std::string lower = base::asciiLower(name ? name : "");
        untyped = untyped || !type || !*type;
        columns.types.emplace(lower, type ? type : "");
        columns.order.push_back(std::move(lower));
    }
    sqlite3_reset(columnsLookup);
    if (rc != SQLITE_DONE) fail();
    if (columns.order.empty()) return std::nullopt;
    if (!untyped) return columns;
    // a view's expression columns: the types its CREATE VIEW recorded in its text
    if (!viewLookup &&
        sqlite3_prepare_v3(db,
                           "select sql from sqlite_master where type = 'view' and name = ?1 collate nocase",
                           -1, SQLITE_PREPARE_PERSISTENT, &viewLookup, nullptr) != SQLITE_OK)
        fail();
    sqlite3_bind_text(viewLookup, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(viewLookup);
    if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(viewLookup, 0));
        for (auto& [name, type] : dialect::recordedViewTypes(text ? text : "")) {
            const auto it = columns.types.find(name);
            if (it != columns.types.end() && it->second.empty()) it->second = std::move(type);
        }
    }
    sqlite3_reset(viewLookup);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail();
    return columns;
}

long long Connection::Impl::schemaVersion() {
    if (!versionLookup && sqlite3_prepare_v3(db, "pragma schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                             &versionLookup, nullptr) != SQLITE_OK)
        fail();
    // the connection's temporary tables (#t) move the temp schema's version, not the file's
    if (!tempVersionLookup &&
        sqlite3_prepare_v3(db, "pragma temp.schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                           &tempVersionLookup, nullptr) != SQLITE_OK)
        fail();
    int rc = sqlite3_step(versionLookup);
    const long long v = rc == SQLITE_ROW ? sqlite3_column_int64(versionLookup, 0) : -1;
    sqlite3_reset(versionLookup);
    if (rc != SQLITE_ROW) fail();
    rc = sqlite3_step(tempVersionLookup);
    const long long t = rc == SQLITE_ROW ? sqlite3_column_int64(tempVersionLookup, 0) : 0;
    sqlite3_reset(tempVersionLookup);
    if (rc != SQLITE_ROW) fail();
    // both are 32-bit counters
    return static_cast<long long>((static_cast<unsigned long long>(v) << 32) ^
                                  static_cast<unsigned long long>(t & 0xffffffffLL));
}

namespace {

// The SQL Server types of the values bound, as the ODBC adapter binds them to a real
// server: an integer bigint, a double float, a Decimal decimal(digits, decimals).
// Other values leave their parameters untyped; none typed gives "".
std::string parameterTypes(const std::vector<Value>& params) {
    std::string types;
    bool any = false;
    for (const Value& v : params) {
        switch (v.kind()) {
            case Value::Kind::Integer:
                types += "bigint";
                any = true;
                break;
            case Value::Kind::Double:
                types += "float";
                any = true;
                break;
            case Value::Kind::Decimal: {
                int digits = 0, decimals = 0;
                bool point = false;
                for (char c : v.decimal()->text) {
                    point = point || c == '.';
                    if (c >= '0' && c <= '9') {
                        ++digits;
                        decimals += point;
                    }
                }
                digits = std::clamp(digits, 1, 38);
                types += "decimal(" + std::to_string(digits) + "," +
                         std::to_string(std::min(decimals, digits)) + ")";
                any = true;
                break;
            }
            default:
                break;
        }
        types += ';';
    }
    return any ? types : std::string();
}

}  // namespace

std::shared_ptr<const dialect::Translation> Connection::Impl::translate(const std::string& sql,
                                                                        const std::vector<Value>& params) {
    const std::string types = params.empty() ? std::string() : parameterTypes(params);
    if (ansiNullsOff) return translateUnder(dialect::kAnsiNullsOff + sql, types);
    return translateUnder(sql, types);
}

std::shared_ptr<const dialect::Translation> Connection::Impl::translateUnder(const std::string& sql,
                                                                             const std::string& types) {
    auto tr = translator.translateStatements(sql, &catalogue, types);
    if (!tr->usesCatalogue) return tr;
    const long long now = schemaVersion();
    if (now == catalogue.version) return tr;
    catalogue.tables.clear();
    catalogue.version = now;
    translator.clearCache();
    return translator.translateStatements(sql, &catalogue, types);
}

[[noreturn]] void Connection::Impl::fail(std::string_view sql) {
    // a user function's body failed inside the statement: its own error, as SQL Server's
    if (functionError) {
        const Error e = std::move(*functionError);
        functionError.reset();
        throw e;
    }
    const int code = sqlite3_extended_errcode(db);
    const std::string msg = sqlite3_errmsg(db);
    const bool interrupted = timedOut || code == SQLITE_INTERRUPT;
    timedOut = false;
    if (interrupted) throw Error(ErrorNumber::Database, "Query timeout expired", code);
    if ((code & 0xff) == SQLITE_NOMEM && memoryLimit() > 0)
        throw Error(ErrorNumber::Database, memoryBoundMessage(), code);
    if ((code & 0xff) == SQLITE_FULL) throw Error(ErrorNumber::Database, diskFullMessage(path), code);
    if ((code & 0xff) == SQLITE_READONLY && !readOnlyWhy.empty())
        throw Error(ErrorNumber::Database, readOnlyWhy, code);
    // a value the runtime functions cannot hold exactly
    if (msg.starts_with("Not supported by the embedded database: "))
        throw Error(ErrorNumber::NotSupported, msg);
    if (auto e = serverErrorOf(msg, code, sql))
        throw Error(ErrorNumber::Database, englishText(e->first, e->second), e->first);
    throw Error(ErrorNumber::Database, msg, code);
}

Error Connection::Impl::spoken(const Error& e) const {
    // 50000 and above: a batch's own RAISERROR or THROW, in its own words
    if (e.number() == ErrorNumber::Database && e.nativeCode() < 50000) {
        if (auto s = serverError(e.description(), language, e.nativeCode()))
            return Error(ErrorNumber::Database, std::move(s->text), s->number, e.sqlState());
    }
    return e;
}

sqlite3_stmt* Connection::Impl::prepare(const std::string& sql) {
    if (userFunctionsRunning == 0) {
        std::erase_if(retired, [](sqlite3_stmt* st) {
            if (sqlite3_stmt_busy(st)) return false;
            sqlite3_finalize(st);
            return true;
        });
    }
    auto it = statements.find(sql);
    if (it != statements.end() && !sqlite3_stmt_busy(it->second)) return it->second;
    if (it != statements.end()) {
        // running further out (a user function's body calls itself): that run keeps its own
        sqlite3_stmt* fresh = nullptr;
        if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &fresh, nullptr) != SQLITE_OK)
            fail(sql);
        retired.push_back(it->second);
        it->second = fresh;
        return fresh;
    }
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st,
                           &tail) != SQLITE_OK) {
        fail(sql);
    }
    if (!st) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
    statements.emplace(sql, st);
    statementOrder.push_back(sql);
    statementText += sql.size();
    // the newest statement stays: its caller is about to run it
    while (statementOrder.size() > kStatementCacheSize ||
           (statementText > kStatementTextBudget && statementOrder.size() > 1)) {
        auto old = statements.find(statementOrder.front());
        // one still running (a user function's body runs inside it) is finalized when done
        if (sqlite3_stmt_busy(old->second)) {
            retired.push_back(old->second);
        } else {
            sqlite3_finalize(old->second);
        }
        statements.erase(old);
        statementText -= statementOrder.front().size();
        statementOrder.pop_front();
    }
    return st;
}

void Connection::Impl::finalizeAll() noexcept {
    sqlite3_finalize(identityLookup);
    identityLookup = nullptr;
    sqlite3_finalize(columnsLookup);
    columnsLookup = nullptr;
    sqlite3_finalize(viewLookup);
    viewLookup = nullptr;
    sqlite3_finalize(versionLookup);
    versionLookup = nullptr;
    sqlite3_finalize(tempVersionLookup);
    tempVersionLookup = nullptr;
    catalogue.tables.clear();
    catalogue.version = -1;
    for (auto& [sql, st] : statements) sqlite3_finalize(st);
    statements.clear();
    for (sqlite3_stmt* st : retired) sqlite3_finalize(st);
    retired.clear();
    statementOrder.clear();
    statementText = 0;
}

void Connection::Impl::startClock() {
    timedOut = false;
    if (!inBatch) deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
}

int Connection::Impl::progress(void* self) {
    auto* impl = static_cast<Impl*>(self);
    if (impl->timeoutSeconds <= 0 || std::chrono::steady_clock::now() < impl->deadline) return 0;
    impl->timedOut = true;
    return 1;
}

void Connection::Impl::bind(sqlite3_stmt* st, const std::vector<Value>& params) {
    const int expected = sqlite3_bind_parameter_count(st);
    if (static_cast<int>(params.size()) != expected) {
        throw Error(ErrorNumber::InvalidCall, "The statement has " + std::to_string(expected) +
                                                  " parameters but " + std::to_string(params.size()) +
                                                  " values were given.");
    }
    for (int i = 0; i < expected; ++i) {
        const Value& v = params[static_cast<std::size_t>(i)];
        int rc = SQLITE_OK;
        switch (v.kind()) {
            case Value::Kind::Null:
                rc = sqlite3_bind_null(st, i + 1);
                break;
            case Value::Kind::Boolean:
                rc = sqlite3_bind_int(st, i + 1, *v.boolean() ? 1 : 0);
                break;
            case Value::Kind::Integer:
                rc = sqlite3_bind_int64(st, i + 1, *v.integer());
                break;
            case Value::Kind::Double:
                // SQL Server has no Infinity or NaN to store
                if (!std::isfinite(*v.real())) {
                    throw Error(ErrorNumber::Database,
                                "Arithmetic overflow error converting expression to data type float.", 8115);
                }
                rc = sqlite3_bind_double(st, i + 1, *v.real());
                break;
            case Value::Kind::Decimal: {
                // a number column would turn the text into a double that changes it
                const std::string& text = v.decimal()->text;
                if (auto why = dialect::numberRefusal(text); !why.empty()) {
                    throw Error(ErrorNumber::NotSupported,
                                "Not supported by the embedded database: " + why + ".");
                }
                // a number, as SQL Server's decimal parameter is: as text, `? + ?` would join two texts.
                // The number reads back as exactly the digits (numberRefusal): whole ones as integers.
                long long whole = 0;
                const char* end = text.data() + text.size();
                if (const auto r = std::from_chars(text.data() + (text.starts_with('+') ? 1 : 0), end, whole);
                    r.ec == std::errc() && r.ptr == end) {
                    rc = sqlite3_bind_int64(st, i + 1, whole);
                } else {
                    char* stop = nullptr;
                    const double d = std::strtod(text.c_str(), &stop);
                    rc = !text.empty() && stop == end
                             ? sqlite3_bind_double(st, i + 1, d)
                             : sqlite3_bind_text(st, i + 1, text.c_str(), static_cast<int>(text.size()),
                                                 SQLITE_TRANSIENT);
                }
                break;
            }
            case Value::Kind::DateTime: {
                std::string iso = v.dateTime()->toIso();
                rc =
                    sqlite3_bind_text(st, i + 1, iso.c_str(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
                break;
            }
            case Value::Kind::Text:
                rc = sqlite3_bind_text(st, i + 1, v.text()->c_str(), static_cast<int>(v.text()->size()),
                                       SQLITE_TRANSIENT);
                break;
            case Value::Kind::Bytes:
                rc = sqlite3_bind_blob(st, i + 1, v.bytes()->data.data(),
                                       static_cast<int>(v.bytes()->data.size()), SQLITE_TRANSIENT);
                break;
        }
        if (rc != SQLITE_OK) fail(sqlite3_sql(st));
    }
}

void Connection::Impl::run(sqlite3_stmt* st) {
    startClock();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        foreignKeyStatement.clear();
        if (sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_FOREIGNKEY) {
            char* text = sqlite3_expanded_sql(st);
            if (text) foreignKeyStatement = text;
            sqlite3_free(text);
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        fail(sqlite3_sql(st));
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
}

void Connection::Impl::requireValues(sqlite3_stmt* st, const std::string& tsql, std::size_t given) {
    const int wanted = sqlite3_bind_parameter_count(st);
    if (static_cast<std::size_t>(wanted) > given) parameterMissing(tsql, static_cast<int>(given) + 1);
}

void parameterMissing(const std::string& sql, int number) {
    throw Error(ErrorNumber::Database, englishText(8178, {sql, "@P" + std::to_string(number)}), 8178);
}

void Connection::Impl::refuseDropOfReferenced(const std::string& drop) {
    const std::size_t at = startsWithNoCase(drop, "drop table if exists ") ? 21 : 11;
    const std::string table = nameAt(drop, at);
    const auto naming = strings(
        "select m.name from sqlite_master m, pragma_foreign_key_list(m.name) f where m.type = "
        "'table' and f.\"table\" = ?1 collate nocase and m.name <> ?1 collate nocase",
        table);
    if (!naming.empty()) throw Error(ErrorNumber::Database, englishText(3726, {table}), 3726);
}

void Connection::Impl::exec(const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql);
}

bool Connection::Impl::hasObject(const char* type, const std::string& name) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select 1 from sqlite_master where type = ?1 and name = ?2 collate nocase", -1,
                           &st, nullptr) != SQLITE_OK) {
        fail();
    }
    sqlite3_bind_text(st, 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail();
    return rc == SQLITE_ROW;
}

void Connection::Impl::runOnce(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
        fail(sql);
    startClock();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        sqlite3_reset(st);  // keeps the statement's error as the connection's
        try {
            fail(sql);
        } catch (...) {
            sqlite3_finalize(st);
            throw;
        }
    }
    sqlite3_finalize(st);
}

void Connection::Impl::noteInsert(const std::string& table, long rows) {
    identity.reset();
    if (rows <= 0) return;
    // a temporary table's identity is in the temp schema's sqlite_sequence, there once one was made
    if (table.starts_with('#') && !table.starts_with("##")) {
        if (!strings("select 1 from temp.sqlite_master where name = 'sqlite_sequence'").empty() &&
            !strings("select 1 from temp.sqlite_sequence where name = ?1 collate nocase", table).empty())
            identity = sqlite3_last_insert_rowid(db);
        return;
    }
    // the table has an identity (autoincrement) once sqlite_sequence holds its row
    if (!identityLookup &&
        sqlite3_prepare_v2(db, "select 1 from main.sqlite_sequence where name = ?1 collate nocase", -1,
                           &identityLookup, nullptr) != SQLITE_OK) {
        identityLookup = nullptr;  // no table with an identity was ever made
        return;
    }
    sqlite3_bind_text(identityLookup, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    const bool hasIdentity = sqlite3_step(identityLookup) == SQLITE_ROW;
    sqlite3_reset(identityLookup);
    if (hasIdentity) identity = sqlite3_last_insert_rowid(db);
    if (hasIdentity) ++identitiesMade;
    if (hasIdentity && inBatch) scopeIdentity = identity;
}

long Connection::Impl::noteChanges(const dialect::Translation& tr) {
    const std::string& s = tr.statements[0];
    long affected = -1;
    // WITH ... INSERT/UPDATE/DELETE: the rows of the statement after the common table expressions
    const bool with = startsWithNoCase(s, "with");
    if (with || startsWithNoCase(s, "insert") || startsWithNoCase(s, "update") ||
        startsWithNoCase(s, "delete"))
        affected = sqlite3_changes(db);
    if (with || startsWithNoCase(s, "insert")) {
        const std::string lower = base::asciiLower(s);
        const std::size_t into = lower.find("insert into ");
        if (into != std::string::npos) noteInsert(nameAt(s, into + 12), affected);
    }
    return affected;
}

std::string Connection::Impl::changedRows(sqlite3_stmt* st) {
    startClock();
    std::string rows = "[";
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (rows.size() > 1) rows += ',';
        rows += std::to_string(sqlite3_column_int64(st, 0));
    }
    if (rc != SQLITE_DONE) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        fail(sqlite3_sql(st));
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rows + "]";
}

// DELETE ... OUTPUT ... INTO T: every row RETURNING gave (SQLite has deleted them all at the first
// step) inserted into T as it was stored; the rows affected are the delete's.
long Connection::Impl::deleteInto(sqlite3_stmt* st, const dialect::Translation& tr) {
    startClock();
    std::vector<sqlite3_value*> values;
    struct Freed {
        std::vector<sqlite3_value*>& v;
        ~Freed() {
            for (sqlite3_value* x : v) sqlite3_value_free(x);
        }
    } freed{values};
    const int width = sqlite3_column_count(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < width; ++c) {
            sqlite3_value* v = sqlite3_value_dup(sqlite3_column_value(st, c));
            if (!v) {
                sqlite3_reset(st);
                sqlite3_clear_bindings(st);
                throw Error(ErrorNumber::Database, memoryBoundMessage(), SQLITE_NOMEM);
            }
            values.push_back(v);
        }
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc != SQLITE_DONE) fail(sqlite3_sql(st));
    const long affected = noteChanges(tr);
    std::string insert = tr.outputQuery + " values (";
    for (int c = 1; c <= width; ++c) insert += (c > 1 ? ", ?" : "?") + std::to_string(c);
    insert += ")";
    sqlite3_stmt* into = prepare(insert);
    for (std::size_t row = 0; width > 0 && row < values.size(); row += static_cast<std::size_t>(width)) {
        for (int c = 0; c < width; ++c)
            sqlite3_bind_value(into, c + 1, values[row + static_cast<std::size_t>(c)]);
        run(into);
    }
    return affected;
}

const dialect::Catalogue::Columns* Connection::Impl::returningColumns(const dialect::Translation& tr) {
    if (tr.returningTable.empty()) return nullptr;
    // translate() read it for the schema the statement runs under
    return catalogue.columns(base::asciiLower(tr.returningTable));
}

void Connection::Impl::lastIdentity(sqlite3_context* ctx, int, sqlite3_value**) {
    const auto* self = static_cast<const Impl*>(sqlite3_user_data(ctx));
    if (!self->identity) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, *self->identity);
}

Connection::Connection() : impl_(std::make_unique<Impl>()) {
    // a trigger's PRINT texts and counts, whichever call fired it
    impl_->infoTell = [this](const InfoMessage& m) { infoMessage(m); };
}

Connection::~Connection() {
    // The base class cannot call back into a destroyed adapter: close here.
    Close();
}

DatabaseCapabilities Connection::capabilities() const { return dialect::sqliteTarget().capabilities(); }

std::string Connection::path() const { return impl_->db ? impl_->path : std::string(); }

namespace {

bool exists(const std::string& file) { return ::access(file.c_str(), F_OK) == 0; }

// Whether this process may change the file: the file and its folder (where the
// journal files go) writable. A read-only mount fails both.
bool writable(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    return ::access(folder.c_str(), W_OK) == 0 && (!exists(file) || ::access(file.c_str(), W_OK) == 0);
}

// Whether the file's header says WAL: its readers then need the -wal and -shm files.
bool walFile(const std::string& file) {
    unsigned char header[20] = {};
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    const bool read = std::fread(header, 1, sizeof header, f) == sizeof header;
    std::fclose(f);
    return read && header[18] == 2 && header[19] == 2;
}

// An URI naming the file read-only and unchanging: SQLite reads it without locks or
// -wal and -shm files.
std::string immutableUri(const std::string& file) {
    static const char* const hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : file) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?immutable=1";
}

// A failure that a full disk causes: no room for the -shm file, or for a page.
bool diskFull(sqlite3* db, int rc) {
    return (rc & 0xff) == SQLITE_FULL || rc == SQLITE_IOERR_SHMSIZE || sqlite3_system_errno(db) == ENOSPC;
}

}  // namespace

std::string diskFullMessage(const std::string& path) {
    return "The disk holding the database '" + path + "' is full: free space on it to change the database.";
}

void Connection::doOpen(const std::string& connectionString, const std::string&, const std::string&) {
    const OpenOptions options = optionsFromConnectionString(connectionString);
    const std::string& path = options.path;
    if (path.empty()) throw Error(ErrorNumber::ConnectionFailed, "No database file was given.");
    const bool memory = path == ":memory:";
    // A connection serves one thread at a time (its statement cache is not shared), so
    // SQLite's per-call mutex only costs time: it was a fifth of reading a large result.
    constexpr int kReadWrite = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    constexpr int kReadOnly = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    // A process that may not change the file never makes its -wal and -shm files: made
    // by it they would belong to it, and its writers could not write them. It reads
    // through the files a writer left, or, when there are none, the file alone.
    const bool readOnly = !memory && exists(path) && !writable(path);
    const bool companions = exists(path + "-wal") && exists(path + "-shm");
    std::string readOnlyWhy =
        readOnly ? "The database '" + path + "' is open for reading only: this account may not change it."
                 : "";
    sqlite3* db = nullptr;
    char* err = nullptr;
    auto openAs = [&](const std::string& name, int flags) {
        sqlite3_close(db);
        db = nullptr;
        int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
        if (rc != SQLITE_OK) return rc;
        sqlite3_extended_result_codes(db, 1);
        // Before anything reads the file: another process may be writing it, and every
        // statement of this connection, these included, waits for its lock.
        sqlite3_busy_timeout(db, busyMilliseconds(CommandTimeout()));
        // A writer keeps its -wal and -shm files when it closes: readers that may not
        // write find them (and make none), and on a full disk the -shm is there. The
        // log is emptied as it closes (the size limit): log pages left in it would be
        // read into a new file made under the same name.
        int persist = 1;
        if (!(flags & SQLITE_OPEN_READONLY)) {
            sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            sqlite3_exec(db, "pragma journal_size_limit = 4194304", nullptr, nullptr, nullptr);
        }
        sqlite3_free(err);
        err = nullptr;
        // Reading the schema here reports a file that is not a database at once.
        return sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, &err);
    };
    int rc;
    if (!readOnly) {
        rc = openAs(path, kReadWrite);
        if (rc != SQLITE_OK && db && diskFull(db, rc) && !companions && walFile(path)) {
            // no room for the -shm file: read the file alone
            readOnlyWhy = diskFullMessage(path);
            rc = openAs(immutableUri(path), kReadOnly | SQLITE_OPEN_URI);
            if (rc != SQLITE_OK) readOnlyWhy.clear();
        }
    } else if (companions || !walFile(path)) {
        rc = openAs(path, kReadOnly);
    } else {
        rc = openAs(immutableUri(path), kReadOnly | SQLITE_OPEN_URI);
    }
    // An in-memory database has a journal of its own kind; a file read-only to us keeps its mode.
    if (rc == SQLITE_OK && !memory && !sqlite3_db_readonly(db, "main")) {
        const std::string pragma = "pragma journal_mode=" + options.journalMode;
        rc = sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, &err);
        // on a full disk the file keeps its mode: it can still be read
        if (rc != SQLITE_OK && diskFull(db, rc)) {
            sqlite3_free(err);
            err = nullptr;
            rc = SQLITE_OK;
        }
    }
    // Declared foreign keys hold, as on SQL Server.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "pragma foreign_keys = on", nullptr, nullptr, &err);
    if (rc == SQLITE_OK) rc = registerTsqlFunctions(db, &err);
    if (rc == SQLITE_OK) rc = registerChineseCollation(db, &err);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "tsql_identity", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, impl_.get(),
                                        &Impl::lastIdentity, nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) {
        impl_->db = db;
        rc = impl_->registerBatchFunctions();
        if (rc == SQLITE_OK) rc = impl_->registerTriggerFunctions();
        if (rc == SQLITE_OK) rc = impl_->registerGlobalTemps();
        impl_->db = nullptr;
    }
    if (rc != SQLITE_OK) {
        const bool full = db && diskFull(db, rc);
        std::string msg = full  ? "the disk holding it is full."
                          : err ? err
                          : db  ? sqlite3_errmsg(db)
                                : "out of memory";
        sqlite3_free(err);
        sqlite3_close(db);
        throw Error(ErrorNumber::ConnectionFailed, "Cannot open the database '" + path + "': " + msg, rc);
    }
    impl_->db = db;
    impl_->path = path;
    impl_->language = options.language;
    setDateLanguage(db, options.language == Language::English);
    impl_->readOnlyWhy = sqlite3_db_readonly(db, "main") == 1 ? readOnlyWhy : std::string();
    sqlite3_progress_handler(db, 1000, &Impl::progress, impl_.get());
    if (impl_->readOnlyWhy.empty() && !sqlite3_db_readonly(db, "main")) {
        // another connection's write does not hold the open up: the next to open drops them then
        sqlite3_busy_timeout(db, 0);
        impl_->dropGlobalTemps(false);
        sqlite3_busy_timeout(db, busyMilliseconds(CommandTimeout()));
    }
}

void Connection::doClose() noexcept {
    if (!impl_->db) return;
    impl_->tranCount = 0;
    impl_->savepoints.clear();
    // its cursors end with it, as a session's do
    impl_->cursors.reset();
    impl_->fetchStatus = -1;
    impl_->cursorRows = 0;
    impl_->rowLimit = 0;  // SET ROWCOUNT ends with the session
    impl_->ansiNullsOff = false;
    impl_->finalizeAll();
    // the ##t it made go with it, after its open transaction (which may have made them) is rolled back
    if (!sqlite3_get_autocommit(impl_->db)) sqlite3_exec(impl_->db, "rollback", nullptr, nullptr, nullptr);
    impl_->dropGlobalTemps(true);
    impl_->forgetMaker();
    sqlite3_close_v2(impl_->db);
    impl_->db = nullptr;
}

void Connection::applyTimeouts() {
    impl_->timeoutSeconds = CommandTimeout();
    if (impl_->db) sqlite3_busy_timeout(impl_->db, busyMilliseconds(CommandTimeout()));
}

// The schema cookies of the file and of the connection's temporary tables: every schema change of any
// connection moves the first, the connection's own #t the second.
std::optional<std::int64_t> Connection::doSchemaVersion() try {
    return impl_->schemaVersion();
} catch (const Error& e) {
    impl_->speak(e);
}

// Errors leave in the connection's language.
long Connection::doExecute(const std::string& sql, const std::vector<Value>& params) try {
    if (auto language = setLanguage(sql)) {
        impl_->language = *language;
        setDateLanguage(impl_->db, *language == Language::English);
        setDateFirst(impl_->db, 7);  // the language's first day of the week
        return -1;
    }
    if (impl_->setIdentityInsert(sql)) return -1;
    auto tr = impl_->translate(sql, params);
    if (tr->batch || !tr->variables.empty() || impl_->rowLimit > 0)
        return impl_->runBatch(sql, params, [this](const InfoMessage& m) { infoMessage(m); }).affected;
    return impl_->execute(sql, std::move(tr), params);
} catch (const Error& e) {
    impl_->speak(e);
}

long Connection::Impl::execute(const std::string& sql, std::shared_ptr<const dialect::Translation> tr,
                               const std::vector<Value>& params) {
    if (tr->change.kind == dialect::SchemaChange::Kind::Trigger ||
        tr->change.kind == dialect::SchemaChange::Kind::DropTrigger) {
        tr->change.kind == dialect::SchemaChange::Kind::Trigger ? createTrigger(tr->change)
                                                                : dropTrigger(tr->change);
        return -1;
    }
    if (tr->change.kind != dialect::SchemaChange::Kind::None) {
        changeSchema(tr->change);
        return -1;
    }
    if (tr->statements.size() > 1 && !params.empty() && tr->parameterStatement == 0) {
        throw Error(ErrorNumber::NotSupported,
                    "Parameters are not supported for a statement that becomes several.");
    }
    auto attempt = [&] {
        return underOneSchema(sql, params, tr, [&](const auto& t) {
            // A statement that becomes several (a table and its triggers) is whole or absent:
            // a savepoint is its own transaction outside the host's and nests inside it.
            // the statement and its triggers are one: an error in a trigger undoes the statement
            char op = 0;
            const TableTriggers* fires = firedBy(*t, sql, op);
            const bool several = t->statements.size() > 1 || t->outputInto || fires;
            if (several) exec("savepoint palvo_statement");
            long affected = -1;
            std::optional<Error> reported;
            try {
                for (std::size_t i = 0; i < t->statements.size(); ++i) {
                    if (i > 0 && ((startsWithNoCase(t->statements[i], dialect::kIdentityReset) &&
                                   !hasObject("table", "sqlite_sequence")) ||
                                  (startsWithNoCase(t->statements[i], dialect::kTempIdentityReset) &&
                                   strings("select 1 from temp.sqlite_master where name = 'sqlite_sequence'")
                                       .empty())))
                        continue;
                    // each table of a DROP TABLE list in its turn: one dropped before it may have
                    // referenced it
                    if (startsWithNoCase(t->statements[i], "drop table "))
                        refuseDropOfReferenced(t->statements[i]);
                    sqlite3_stmt* st = prepare(identityChecked(t->statements[i]));
                    Impl::requireValues(st, sql, i == t->parameterStatement ? params.size() : 0);
                    if (i == t->parameterStatement) bind(st, params);
                    // with OUTPUT the statement returns rows, which Execute leaves unread
                    const bool output = !t->outputQuery.empty() || !t->returningTable.empty();
                    const bool changes = !sqlite3_stmt_readonly(st) &&
                                         (sqlite3_column_count(st) == 0 || output) &&
                                         sqlite3_stmt_isexplain(st) == 0;
                    if (i == 0 && t->outputInto && !t->returningTable.empty()) {
                        affected = deleteInto(st, *t);
                        continue;
                    }
                    if (i == 0 && t->outputInto) {
                        // OUTPUT ... INTO: the rows it changed, by their rowids, put into the table named
                        const std::string rows = changedRows(st);
                        affected = noteChanges(*t);
                        sqlite3_stmt* into = prepare(t->outputQuery);
                        if (sqlite3_bind_text(into, 1, rows.c_str(), static_cast<int>(rows.size()),
                                              SQLITE_TRANSIENT) != SQLITE_OK)
                            fail(t->outputQuery);
                        run(into);
                        continue;
                    }
                    run(st);
                    if (t->countsEvery) {
                        // MERGE: the rows of each of its INSERT, UPDATE and DELETE
                        const std::string& s = t->statements[i];
                        if (affected < 0) affected = 0;
                        if (changes && (startsWithNoCase(s, "insert") || startsWithNoCase(s, "update") ||
                                        startsWithNoCase(s, "delete")))
                            affected += sqlite3_changes(db);
                    } else if (i == 0 && changes) {
                        affected = noteChanges(*t);
                    }
                }
                if (fires) reported = fire(*fires, op, sql, affected < 0 ? 0 : affected);
                if (several) exec("release palvo_statement");
            } catch (...) {
                if (several && !sqlite3_get_autocommit(db)) undo("palvo_statement");
                throw;
            }
            if (reported) throw *reported;
            return affected;
        });
    };
    if (startsWithNoCase(tr->statements.front(), "drop table ")) {
        const long affected = attempt();
        const std::string& drop = tr->statements.front();
        const std::size_t at = startsWithNoCase(drop, "drop table if exists ") ? 21 : 11;
        if (!drop.substr(at).starts_with("\"#")) dropTriggersOf(nameAt(drop, at));
        return affected;
    }
    try {
        return attempt();
    } catch (const Error& e) {
        // No room to grow the log: once the log a writer kept is written back into the
        // file, the change goes into the log's room from its start.
        if ((e.nativeCode() & 0xff) != SQLITE_FULL || !sqlite3_get_autocommit(db)) throw;
        int logged = 0, written = 0;
        if (sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, &logged, &written) !=
                SQLITE_OK ||
            logged <= 0 || written != logged)
            throw;
        return attempt();
    }
}

long long Connection::doLastInsertId() { return sqlite3_last_insert_rowid(impl_->db); }

// Immediate: the transaction holds the write lock from its start, so a read in it
// never turns stale before its write (which SQLite would refuse without waiting).
// The host's transaction is the one its batches count in @@TRANCOUNT (batch_port.cpp): begun
// inside a batch's transaction it nests, as BEGIN TRAN does.
void Connection::doBegin() try { impl_->beginTran(""); } catch (const Error& e) {
    impl_->speak(e);
}
void Connection::doCommit() try { impl_->commitTran(); } catch (const Error& e) {
    impl_->speak(e);
}
// Whatever a batch left of the transaction is rolled back; a batch that rolled it back already leaves
// nothing.
void Connection::doRollback() try {
    if (impl_->syncTran() > 0) impl_->rollbackTran("");
} catch (const Error& e) {
    impl_->speak(e);
}

void setMemoryLimit(std::uint64_t bytes) {
    gMemoryLimit = bytes;
    sqlite3_hard_heap_limit64(static_cast<sqlite3_int64>(bytes));
}

std::uint64_t memoryLimit() { return gMemoryLimit.load(); }

void installConnectionFactory() {
    Palvo::installConnectionFactory([] { return std::make_shared<Connection>(); });
}

}  // namespace Palvo::sqlite
