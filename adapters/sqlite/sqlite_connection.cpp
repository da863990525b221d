#include <sqlite3.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <optional>
#include <unordered_map>

#include "collation.h"
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

std::string trim(std::string_view s) { return std::string(util::trimBlanks(s)); }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && util::equalsNoCase(s.substr(0, prefix.size()), prefix);
}

// What a connection string asks for.
struct OpenOptions {
    std::string path;
    std::string journalMode = "wal";
};

// The journal modes a file may be given ("Journal Mode=..."): WAL by default, so that
// readers go on while one writer writes; the others for a file WAL cannot serve (a
// network share, where the processes share no memory).
bool knownJournalMode(const std::string& lower) {
    return lower == "wal" || lower == "delete" || lower == "truncate" || lower == "persist";
}

// "FILE", ":memory:", or "Data Source=FILE;..." (also "Database=FILE"), with an
// optional "Journal Mode=WAL|Delete|Truncate|Persist".
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
            const std::string lower = util::asciiLower(key);
            const std::string value = trim(std::string_view(item).substr(eq + 1));
            if (!named && (lower == "data source" || lower == "datasource" || lower == "database")) {
                options.path = value;
                named = true;
            } else if (lower == "journal mode" || lower == "journalmode") {
                options.journalMode = util::asciiLower(value);
                if (!knownJournalMode(options.journalMode)) {
                    throw Error(
                        ErrorNumber::ConnectionFailed,
                        "Journal Mode must be WAL, Delete, Truncate or Persist, not '" + value + "'.");
                }
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

// How a column's cells are read, decided once per result from the declared type.
// Computed: a decimal the statement types, carried as the nearest double.
enum class CellKind { Auto, Integer, Boolean, Double, Decimal, Computed, DateTime, Text, Bytes };

CellKind kindFor(const ColumnInfo& c) {
    switch (c.type) {
        case adSmallInt:
        case adInteger:
        case adTinyInt:
        case adUnsignedTinyInt:
        case adBigInt:
            return CellKind::Integer;
        case adBoolean:
            return CellKind::Boolean;
        case adSingle:
        case adDouble:
            return CellKind::Double;
        case adCurrency:
        case adNumeric:
            return CellKind::Decimal;
        case adDBTimeStamp:
            return CellKind::DateTime;
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            return CellKind::Bytes;
        default:
            return CellKind::Text;
    }
}

int digitsAt(const char* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

// The stored form 'YYYY-MM-DD HH:MM:SS.mmm' holding a real date, without the general parser.
bool parseStored(const char* p, int n, DateTime& d) {
    if (n != 23 || p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':' ||
        p[19] != '.') {
        return false;
    }
    d.year = digitsAt(p, 4);
    d.month = digitsAt(p + 5, 2);
    d.day = digitsAt(p + 8, 2);
    d.hour = digitsAt(p + 11, 2);
    d.minute = digitsAt(p + 14, 2);
    d.second = digitsAt(p + 17, 2);
    d.millisecond = digitsAt(p + 20, 3);
    return d.year >= 0 && d.month >= 0 && d.day >= 0 && d.hour >= 0 && d.minute >= 0 && d.second >= 0 &&
           d.millisecond >= 0 && d.valid();
}

std::string decimalText(double d, int scale) {
    char buf[400];  // a double's fixed form with up to 38 decimals fits
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, scale);
    if (r.ec != std::errc()) return formatNumber(d);
    return std::string(buf, r.ptr);
}

// Appends the cell in place: building a Value and moving it in costs a tenth of a large read.
// The column's value is read through sqlite3_column_value once; the value_* calls
// on it skip the statement checks each column_* call makes. The connection is
// used by one thread at a time, which is all an unprotected value asks.
void appendCell(CellStore& out, sqlite3_stmt* st, int col, CellKind kind, int scale) {
    sqlite3_value* v = sqlite3_column_value(st, col);
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_NULL) {
        out.emplace_back();
        return;
    }
    switch (kind) {
        case CellKind::Integer:
            if (t == SQLITE_INTEGER) {
                out.emplace_back(static_cast<long long>(sqlite3_value_int64(v)));
                return;
            }
            break;
        case CellKind::Boolean:
            if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
                out.emplace_back(sqlite3_value_double(v) != 0);
                return;
            }
            break;
        case CellKind::Double:
            if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
                out.emplace_back(sqlite3_value_double(v));
                return;
            }
            break;
        case CellKind::Computed:
            if (t == SQLITE_FLOAT) {
                // the decimal the double stands for, at the type's scale: no binary digits beyond it
                auto x = decOfDouble(sqlite3_value_double(v));
                if (auto r = x ? rescale(*x, scale) : std::nullopt) {
                    out.emplace_back(Decimal{decText(*r)});
                    return;
                }
            }
            [[fallthrough]];
        case CellKind::Decimal:
            if (t == SQLITE_INTEGER) {
                // whole: exact beyond a double's 15 digits (a bigint-sized decimal(18,0) key)
                std::string digits = std::to_string(sqlite3_value_int64(v));
                if (scale > 0) digits.append(".").append(static_cast<std::size_t>(scale), '0');
                out.emplace_back(Decimal{std::move(digits)});
                return;
            }
            if (t == SQLITE_FLOAT) {
                out.emplace_back(Decimal{decimalText(sqlite3_value_double(v), scale < 0 ? 0 : scale)});
                return;
            }
            break;
        case CellKind::DateTime:
            if (t == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                const int n = sqlite3_value_bytes(v);
                DateTime d;
                if (parseStored(p, n, d)) {
                    out.emplace_back(d);
                    return;
                }
                if (auto parsed = DateTime::parse(std::string_view(p, static_cast<std::size_t>(n)))) {
                    out.emplace_back(*parsed);
                    return;
                }
            }
            break;
        case CellKind::Text:
            if (t != SQLITE_BLOB) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                out.emplace_back(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))));
                return;
            }
            break;
        case CellKind::Bytes:
        case CellKind::Auto:
            break;
    }
    switch (t) {
        case SQLITE_INTEGER: {
            out.emplace_back(static_cast<long long>(sqlite3_value_int64(v)));
            return;
        }
        case SQLITE_FLOAT: {
            out.emplace_back(sqlite3_value_double(v));
            return;
        }
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            std::string s(p, static_cast<std::size_t>(sqlite3_value_bytes(v)));
            if (kind == CellKind::Bytes) {
                out.emplace_back(Bytes{std::vector<unsigned char>(s.begin(), s.end())});
                return;
            }
            {
                out.emplace_back(std::move(s));
                return;
            }
        }
        default: {
            const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
            const int n = sqlite3_value_bytes(v);
            {
                out.emplace_back(Bytes{std::vector<unsigned char>(p, p + n)});
                return;
            }
        }
    }
}

std::atomic<std::uint64_t> gMemoryLimit{0};

std::string memoryBoundMessage() {
    return "The statement needs more memory than the embedded database's bound of " +
           std::to_string(gMemoryLimit.load() >> 20) + " MB.";
}

// The memory a result being read holds: its cells, and the text and bytes they own.
struct ResultSize {
    std::uint64_t rows = 0;
    std::size_t counted = 0;  // cells whose heap is in `owned`
    std::uint64_t owned = 0;

    std::uint64_t bytes(const CellStore& cells) {
        for (; counted < cells.size(); ++counted) {
            const Value& v = cells[counted];
            if (const auto* t = v.text()) {
                owned += t->capacity();
            } else if (const auto* b = v.bytes()) {
                owned += b->data.capacity();
            } else if (const auto* d = v.decimal()) {
                owned += d->text.capacity();
            }
        }
        return cells.size() * sizeof(Value) + owned;
    }
};

// SQL Server's number for the messages the tsql_* functions raise in its words.
long sqlServerNumber(std::string_view msg, long sqliteCode) {
    static constexpr std::pair<std::string_view, long> known[] = {
        {"Arithmetic overflow error converting", 8115},
        {"Arithmetic overflow error for data type", 220},
        {"Divide by zero error encountered.", 8134},
        {"Operand data type", 8117},
        {"Error converting data type varchar to float.", 8114},
        {"String or binary data would be truncated.", 8152},
        {"Error converting data type varchar to numeric.", 8114},
        {"Conversion failed when converting the varchar value", 245},
        {"Conversion failed when converting date and/or time", 241},
        {"The conversion of a varchar data type to a", 242},
    };
    for (const auto& [prefix, number] : known) {
        if (msg.starts_with(prefix)) return number;
    }
    return sqliteCode;
}

// Metadata of an expression column, from the values it holds; `text`: the
// statement converted it to text, which no value makes a date.
void inferColumn(ResultTable& table, std::size_t col, bool text) {
    ColumnInfo& info = table.columns[col];
    const std::size_t width = table.columns.size();
    const std::size_t rows = table.rowCount();
    bool anyText = false, anyDouble = false, anyInt = false, anyBytes = false, allStamps = !text,
         wide = false;
    std::size_t longest = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const Value& v = table.cells[r * width + col];
        switch (v.kind()) {
            case Value::Kind::Null:
                break;
            case Value::Kind::Integer:
                anyInt = true;
                if (*v.integer() > INT32_MAX || *v.integer() < INT32_MIN) wide = true;
                break;
            case Value::Kind::Double:
                anyDouble = true;
                break;
            case Value::Kind::Text: {
                anyText = true;
                DateTime d;
                if (allStamps && !parseStored(v.text()->data(), static_cast<int>(v.text()->size()), d))
                    allStamps = false;
                longest = std::max(longest, util::charCount(*v.text()));
                break;
            }
            case Value::Kind::Bytes:
                anyBytes = true;
                longest = std::max(longest, v.bytes()->data.size());
                break;
            default:
                break;
        }
    }
    const char* decl = "varchar";
    if (anyBytes && !anyText && !anyInt && !anyDouble)
        decl = "varbinary";
    else if (anyText && allStamps && !anyInt && !anyDouble && !anyBytes)
        decl = "datetime";
    else if (anyText || anyBytes)
        decl = "varchar";
    else if (anyDouble)
        decl = "float";
    else if (anyInt)
        decl = wide ? "bigint" : "int";
    columnInfoForDeclaredType(decl, info);
    if (info.type == adVarChar || info.type == adVarBinary) info.definedSize = static_cast<long>(longest);
    if (std::string_view(decl) == "datetime") {
        for (std::size_t r = 0; r < rows; ++r) {
            Value& v = table.cells[r * width + col];
            DateTime d;
            if (v.text() && parseStored(v.text()->data(), static_cast<int>(v.text()->size()), d))
                v = Value(d);
        }
    } else if (std::string_view(decl) == "varchar" && (anyInt || anyDouble)) {
        for (std::size_t r = 0; r < rows; ++r) {
            Value& v = table.cells[r * width + col];
            if (v.integer() || v.real()) v = Value(v.toText());
        }
    } else if (std::string_view(decl) == "float" && anyInt) {
        for (std::size_t r = 0; r < rows; ++r) {
            Value& v = table.cells[r * width + col];
            if (v.integer()) v = Value(static_cast<double>(*v.integer()));
        }
    }
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

std::string quoted(std::string_view name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Where the name after `word` (e.g. "index ", " on ") starts in a translated statement.
std::size_t after(const std::string& sql, std::string_view word) {
    const auto p = sql.find(word);
    return p == std::string::npos ? sql.size() : p + word.size();
}

}  // namespace

struct Connection::Impl {
    sqlite3* db = nullptr;
    std::string path;
    dialect::Translator translator{1024};
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    std::deque<std::string> statementOrder;
    std::size_t statementText = 0;           // the length of the statements kept
    std::optional<long long> identity;       // @@IDENTITY: of the last INSERT, Null when it made none
    sqlite3_stmt* identityLookup = nullptr;  // whether a table has an identity (a sqlite_sequence row)
    long timeoutSeconds = 30;
    std::chrono::steady_clock::time_point deadline;
    bool timedOut = false;

    [[noreturn]] void fail(const std::string& context = {}) {
        const int code = sqlite3_extended_errcode(db);
        std::string msg = sqlite3_errmsg(db);
        if (timedOut || code == SQLITE_INTERRUPT) msg = "Query timeout expired";
        if ((code & 0xff) == SQLITE_NOMEM && memoryLimit() > 0) msg = memoryBoundMessage();
        timedOut = false;
        throw Error(ErrorNumber::Database, context.empty() ? msg : msg + " (" + context + ")",
                    sqlServerNumber(msg, code));
    }

    sqlite3_stmt* prepare(const std::string& sql) {
        if (auto it = statements.find(sql); it != statements.end()) return it->second;
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st,
                               &tail) != SQLITE_OK) {
            fail();
        }
        if (!st) throw Error(ErrorNumber::InvalidCall, "The statement is empty.");
        statements.emplace(sql, st);
        statementOrder.push_back(sql);
        statementText += sql.size();
        // the newest statement stays: its caller is about to run it
        while (statementOrder.size() > kStatementCacheSize ||
               (statementText > kStatementTextBudget && statementOrder.size() > 1)) {
            auto old = statements.find(statementOrder.front());
            sqlite3_finalize(old->second);
            statements.erase(old);
            statementText -= statementOrder.front().size();
            statementOrder.pop_front();
        }
        return st;
    }

    void finalizeAll() noexcept {
        sqlite3_finalize(identityLookup);
        identityLookup = nullptr;
        for (auto& [sql, st] : statements) sqlite3_finalize(st);
        statements.clear();
        statementOrder.clear();
        statementText = 0;
    }

    void startClock() {
        timedOut = false;
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    }

    static int progress(void* self) {
        auto* impl = static_cast<Impl*>(self);
        if (impl->timeoutSeconds <= 0 || std::chrono::steady_clock::now() < impl->deadline) return 0;
        impl->timedOut = true;
        return 1;
    }

    void bind(sqlite3_stmt* st, const std::vector<Value>& params) {
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
                                    "Arithmetic overflow error converting expression to data type float.",
                                    8115);
                    }
                    rc = sqlite3_bind_double(st, i + 1, *v.real());
                    break;
                case Value::Kind::Decimal:
                    // a number column would turn the text into a double that changes it
                    if (auto why = dialect::numberRefusal(v.decimal()->text); !why.empty()) {
                        throw Error(ErrorNumber::NotSupported,
                                    "Not supported by the embedded database: " + why + ".");
                    }
                    rc = sqlite3_bind_text(st, i + 1, v.decimal()->text.c_str(),
                                           static_cast<int>(v.decimal()->text.size()), SQLITE_TRANSIENT);
                    break;
                case Value::Kind::DateTime: {
                    std::string iso = v.dateTime()->toIso();
                    rc = sqlite3_bind_text(st, i + 1, iso.c_str(), static_cast<int>(iso.size()),
                                           SQLITE_TRANSIENT);
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
            if (rc != SQLITE_OK) fail();
        }
    }

    // Steps to the end, discarding rows; resets the statement whatever happens.
    void run(sqlite3_stmt* st) {
        startClock();
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
            fail();
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    void exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    }

    bool hasObject(const char* type, const std::string& name) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select 1 from sqlite_master where type = ?1 and name = ?2 collate nocase",
                               -1, &st, nullptr) != SQLITE_OK) {
            fail();
        }
        sqlite3_bind_text(st, 1, type, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail();
        return rc == SQLITE_ROW;
    }

    // Runs SQLite text once, without keeping it among the prepared statements.
    void runOnce(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
            fail();
        startClock();
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            sqlite3_reset(st);  // keeps the statement's error as the connection's
            try {
                fail();
            } catch (...) {
                sqlite3_finalize(st);
                throw;
            }
        }
        sqlite3_finalize(st);
    }

    // Puts every stored row of the table through its triggers by writing each
    // column back unchanged. Throws when a value fails a check, and when one
    // would be stored otherwise than it is (a trigger rewrote it).
    void checkStoredRows(const std::string& table) {
        const std::string target = quoted(table);
        std::string sets;
        {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "select name from pragma_table_info(?1)", -1, &st, nullptr) !=
                SQLITE_OK)
                fail();
            sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
            while (sqlite3_step(st) == SQLITE_ROW) {
                const std::string c = quoted(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                sets += (sets.empty() ? "" : ", ") + c + " = " + c;
            }
            sqlite3_finalize(st);
        }
        if (sets.empty()) return;
        const sqlite3_int64 before = sqlite3_total_changes64(db);
        runOnce("update " + target + " set " + sets);
        const sqlite3_int64 rewritten = sqlite3_total_changes64(db) - before - sqlite3_changes64(db);
        if (rewritten > 0) {
            throw Error(ErrorNumber::Database,
                        std::to_string(rewritten) + " stored values are not in the form its triggers keep");
        }
    }

    // After an INSERT into `table` that made `rows` rows: the identity it made, as
    // SQL Server keeps it for @@IDENTITY (the triggers here never insert, so no
    // nested scope changes it).
    void noteInsert(const std::string& table, long rows) {
        identity.reset();
        if (rows <= 0) return;
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
    }

    static void lastIdentity(sqlite3_context* ctx, int, sqlite3_value**) {
        const auto* self = static_cast<const Impl*>(sqlite3_user_data(ctx));
        if (!self->identity) return sqlite3_result_null(ctx);
        sqlite3_result_int64(ctx, *self->identity);
    }

    // The first column of each row `sql` gives, its ?1 and ?2 bound to texts.
    std::vector<std::string> strings(const std::string& sql, std::string_view a = {},
                                     std::string_view b = {}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) fail();
        sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
        if (sqlite3_bind_parameter_count(st) > 1)
            sqlite3_bind_text(st, 2, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        std::vector<std::string> out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out.emplace_back(t ? t : "");
        }
        sqlite3_finalize(st);
        return out;
    }

    // The table's name as stored ("" when there is none) and its columns as stored.
    std::string storedTable(const std::string& name) {
        auto t =
            strings("select name from sqlite_master where type = 'table' and name = ?1 collate nocase", name);
        return t.empty() ? std::string() : t[0];
    }
    std::vector<std::string> columnsOf(const std::string& table) {
        return strings("select name from pragma_table_info(?1)", table);
    }

    // The triggers the translator makes for a table, made anew from its columns'
    // declared types: a CREATE TABLE of them, translated, gives them.
    std::vector<std::string> checkTriggers(dialect::Translator& tr, const std::string& table) {
        const bool hasIdentity =
            util::asciiLower(
                strings("select sql from sqlite_master where type = 'table' and name = ?1", table).at(0))
                .find(" autoincrement") != std::string::npos;
        std::string defs;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select name, type, pk from pragma_table_info(?1)", -1, &st, nullptr) !=
            SQLITE_OK)
            fail();
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        auto bracket = [](std::string_view n) {
            std::string q = "[";
            for (char c : n) q += c == ']' ? std::string("]]") : std::string(1, c);
            return q + "]";
        };
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (auto p = type.find(" real"); p != std::string::npos) type.erase(p, 5);  // decimal real(18,2)
            if (hasIdentity && sqlite3_column_int(st, 2) == 1) type = "int identity(1,1)";
            if (type.empty()) type = "varchar(max)";
            defs += (defs.empty() ? "" : ", ") +
                    bracket(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + " " + type;
        }
        sqlite3_finalize(st);
        auto t = tr.translateStatements("create table " + bracket(table) + " (" + defs + ")");
        return {t->statements.begin() + 1, t->statements.end()};
    }

    [[noreturn]] static void refuse(long number, const std::string& message) {
        throw Error(ErrorNumber::Database, message, number);
    }

    // ALTER TABLE ... DROP COLUMN / ALTER COLUMN and sp_rename, inside a savepoint:
    // the table is made anew where SQLite cannot change it in place, and its
    // value checks, date triggers and indexes with it. A change that cannot be
    // made leaves the table as it was.
    void changeSchema(const dialect::SchemaChange& c) {
        using Kind = dialect::SchemaChange::Kind;
        const std::string table = storedTable(c.table);
        if (table.empty()) {
            if (c.kind == Kind::RenameTable || c.kind == Kind::RenameColumn)
                refuse(15248,
                       std::string("Either the parameter @objname is ambiguous or the claimed @objtype (") +
                           (c.kind == Kind::RenameColumn ? "COLUMN" : "OBJECT") + ") is wrong.");
            refuse(4902, "Cannot find the object \"" + c.table +
                             "\" because it does not exist or you do not have permissions.");
        }
        const std::vector<std::string> columns = columnsOf(table);
        std::string column;
        for (const auto& n : columns) {
            if (!c.column.empty() && util::equalsNoCase(n, c.column)) column = n;
        }
        if (!c.column.empty() && column.empty()) {
            if (c.kind == Kind::RenameColumn)
                refuse(
                    15248,
                    "Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong.");
            refuse(4924, std::string("ALTER TABLE ") + (c.kind == Kind::DropColumn ? "DROP" : "ALTER") +
                             " COLUMN failed because column '" + c.column + "' does not exist in table '" +
                             c.table + "'.");
        }
        if (c.kind == Kind::RenameTable && !storedTable(c.newName).empty())
            refuse(15335, "Error: The new name '" + c.newName +
                              "' is already in use as a object name and would cause a duplicate that is not "
                              "permitted.");
        if (c.kind == Kind::RenameColumn) {
            for (const auto& n : columns) {
                if (util::equalsNoCase(n, c.newName) && !util::equalsNoCase(n, column))
                    refuse(15335,
                           "Error: The new name '" + c.newName +
                               "' is already in use as a COLUMN name and would cause a duplicate that is "
                               "not permitted.");
            }
        }
        const std::string indexesSql =
            "select name from pragma_index_list(?1) i where exists (select 1 from pragma_index_info(i.name) "
            "where name = ?2 collate nocase)";
        if (c.kind == Kind::DropColumn) {
            auto dependent = strings(indexesSql, table, column);
            if (!dependent.empty())
                refuse(5074, "The index '" + dependent[0] + "' is dependent on column '" + column +
                                 "'. ALTER TABLE DROP COLUMN " + column +
                                 " failed because one or more objects access this column.");
        }
        exec("savepoint palvo_schema");
        try {
            for (const auto& t :
                 strings("select name from sqlite_master where type = 'trigger' and tbl_name = ?1 "
                         "and substr(name, 1, length(?1) + 2) = ?1 || '__'",
                         table))
                runOnce("drop trigger " + quoted(t));
            std::string now = table;
            if (c.kind == Kind::RenameTable) {
                runOnce("alter table " + quoted(table) + " rename to " + quoted(c.newName));
                now = c.newName;
            } else if (c.kind == Kind::RenameColumn) {
                runOnce("alter table " + quoted(table) + " rename column " + quoted(column) + " to " +
                        quoted(c.newName));
            }
            if (c.kind == Kind::RenameTable || c.kind == Kind::RenameColumn) {
                for (const auto& t : checkTriggers(translator, now)) runOnce(t);
            } else {
                rebuild(table, column, c);
            }
            exec("release palvo_schema");
        } catch (...) {
            undo("palvo_schema");
            throw;
        }
    }

    // The table made anew without the column, or with its new definition; the
    // rows go through the new table's checks on their way over.
    void rebuild(const std::string& table, const std::string& column, const dialect::SchemaChange& c) {
        const std::string sql =
            strings("select sql from sqlite_master where type = 'table' and name = ?1", table).at(0);
        const auto indexes = strings(
            "select sql from sqlite_master where type = 'index' and tbl_name = ?1 and sql is not null",
            table);
        // the definitions between the outer parentheses, split at the commas outside quotes and parentheses
        const std::size_t open = sql.find('(');
        std::vector<std::string> defs(1);
        int depth = 0;
        char quote = 0;
        for (std::size_t i = open + 1; i + 1 < sql.size(); ++i) {
            const char ch = sql[i];
            if (quote) {
                if (ch == quote) quote = 0;
            } else if (ch == '"' || ch == '\'' || ch == '`' || ch == '[') {
                quote = ch == '[' ? ']' : ch;
            } else if (ch == '(') {
                ++depth;
            } else if (ch == ')') {
                --depth;
            } else if (ch == ',' && depth == 0) {
                defs.emplace_back();
                continue;
            }
            defs.back() += ch;
        }
        std::string body;
        const std::string q = quoted(column);
        for (auto& d : defs) {
            const std::string t = trim(d);
            const bool isColumn = startsWithNoCase(t, q + " ") || startsWithNoCase(t, column + " ");
            if (isColumn && c.kind == dialect::SchemaChange::Kind::DropColumn) continue;
            body += (body.empty() ? "" : ", ") + (isColumn ? c.definition : t);
        }
        const std::string old = table + "__palvo_old";
        exec("pragma legacy_alter_table = on");  // views keep naming the table, which comes back
        try {
            runOnce("alter table " + quoted(table) + " rename to " + quoted(old));
        } catch (...) {
            exec("pragma legacy_alter_table = off");
            throw;
        }
        exec("pragma legacy_alter_table = off");
        runOnce("create table " + quoted(table) + " (" + body + ")");
        for (const auto& t : checkTriggers(translator, table)) runOnce(t);
        std::string kept;
        for (const auto& n : columnsOf(table)) kept += (kept.empty() ? "" : ", ") + quoted(n);
        runOnce("insert into " + quoted(table) + " (" + kept + ") select " + kept + " from " + quoted(old));
        // the identity goes on from where it was
        if (!strings("select name from sqlite_master where name = 'sqlite_sequence'").empty()) {
            runOnce("delete from sqlite_sequence where name = " + quotedText(table) +
                    " and exists (select 1 from sqlite_sequence where name = " + quotedText(old) + ")");
            runOnce("update sqlite_sequence set name = " + quotedText(table) +
                    " where name = " + quotedText(old));
        }
        runOnce("drop table " + quoted(old));
        for (const auto& i : indexes) runOnce(i);
    }

    static std::string quotedText(std::string_view s) {
        std::string q = "'";
        for (char ch : s) q += ch == '\'' ? std::string("''") : std::string(1, ch);
        return q + "'";
    }

    // Undoes and ends a savepoint after a failure; the failure is what the caller reports.
    void undo(const std::string& savepoint) noexcept {
        const std::string sql = "rollback to " + savepoint + "; release " + savepoint;
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
};

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
    // The base class cannot call back into a destroyed adapter: close here.
    Close();
}

std::string Connection::path() const { return impl_->db ? impl_->path : std::string(); }

void Connection::doOpen(const std::string& connectionString, const std::string&, const std::string&) {
    const OpenOptions options = optionsFromConnectionString(connectionString);
    const std::string& path = options.path;
    if (path.empty()) throw Error(ErrorNumber::ConnectionFailed, "No database file was given.");
    sqlite3* db = nullptr;
    // A connection serves one thread at a time (its statement cache is not shared), so
    // SQLite's per-call mutex only costs time: it was a fifth of reading a large result.
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw Error(ErrorNumber::ConnectionFailed, "Cannot open the database '" + path + "': " + msg, rc);
    }
    sqlite3_extended_result_codes(db, 1);
    // Before anything reads the file: another process may be writing it, and every
    // statement of this connection, these included, waits for its lock.
    sqlite3_busy_timeout(db, busyMilliseconds(CommandTimeout()));
    char* err = nullptr;
    // Reading the schema here reports a file that is not a database at once.
    rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, &err);
    // An in-memory database has a journal of its own kind; a file read-only to us keeps its mode.
    if (rc == SQLITE_OK && path != ":memory:" && !sqlite3_db_readonly(db, "main")) {
        const std::string pragma = "pragma journal_mode=" + options.journalMode;
        rc = sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, &err);
    }
    if (rc == SQLITE_OK) rc = registerTsqlFunctions(db, &err);
    if (rc == SQLITE_OK) rc = registerChineseCollation(db, &err);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "tsql_identity", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, impl_.get(),
                                        &Impl::lastIdentity, nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        sqlite3_close(db);
        throw Error(ErrorNumber::ConnectionFailed, "Cannot open the database '" + path + "': " + msg, rc);
    }
    impl_->db = db;
    impl_->path = path;
    sqlite3_progress_handler(db, 1000, &Impl::progress, impl_.get());
}

void Connection::doClose() noexcept {
    if (!impl_->db) return;
    impl_->finalizeAll();
    sqlite3_close_v2(impl_->db);
    impl_->db = nullptr;
}

void Connection::applyTimeouts() {
    impl_->timeoutSeconds = CommandTimeout();
    if (impl_->db) sqlite3_busy_timeout(impl_->db, busyMilliseconds(CommandTimeout()));
}

// The schema cookie of the file: every schema change of any connection moves it.
std::optional<std::int64_t> Connection::doSchemaVersion() {
    sqlite3_stmt* st = impl_->prepare("pragma schema_version");
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_reset(st);
        impl_->fail();
    }
    const std::int64_t version = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    return version;
}

long Connection::doExecute(const std::string& sql, const std::vector<Value>& params) {
    auto tr = impl_->translator.translateStatements(sql);
    if (tr->change.kind != dialect::SchemaChange::Kind::None) {
        impl_->changeSchema(tr->change);
        return -1;
    }
    if (tr->statements.size() > 1 && !params.empty()) {
        throw Error(ErrorNumber::NotSupported,
                    "Parameters are not supported for a statement that becomes several.");
    }
    // A statement that becomes several (a table and its triggers) is whole or absent:
    // a savepoint is its own transaction outside the host's and nests inside it.
    const bool several = tr->statements.size() > 1;
    if (several) impl_->exec("savepoint palvo_statement");
    long affected = -1;
    try {
        for (std::size_t i = 0; i < tr->statements.size(); ++i) {
            sqlite3_stmt* st = impl_->prepare(tr->statements[i]);
            if (i == 0) impl_->bind(st, params);
            const bool changes = !sqlite3_stmt_readonly(st) && sqlite3_column_count(st) == 0 &&
                                 sqlite3_stmt_isexplain(st) == 0;
            impl_->run(st);
            if (i == 0 && changes) {
                const std::string& s = tr->statements[0];
                // WITH ... INSERT/UPDATE/DELETE: the rows of the statement after the common table expressions
                const bool with = startsWithNoCase(s, "with");
                if (with || startsWithNoCase(s, "insert") || startsWithNoCase(s, "update") ||
                    startsWithNoCase(s, "delete")) {
                    affected = sqlite3_changes(impl_->db);
                }
                if (with || startsWithNoCase(s, "insert")) {
                    const std::string lower = util::asciiLower(s);
                    const std::size_t into = lower.find("insert into ");
                    if (into != std::string::npos) impl_->noteInsert(nameAt(s, into + 12), affected);
                }
            }
        }
        if (several) impl_->exec("release palvo_statement");
    } catch (...) {
        if (several) impl_->undo("palvo_statement");
        throw;
    }
    return affected;
}

std::vector<std::string> Connection::completeSchema(const std::string& tsql) {
    if (!impl_->db)
        throw Error(ErrorNumber::ObjectClosed, "Operation is not allowed when the object is closed.");
    auto tr = impl_->translator.translateStatements(tsql);
    const std::string& first = tr->statements.front();
    std::vector<std::string> made;
    if (startsWithNoCase(first, "create index ") || startsWithNoCase(first, "create unique index ")) {
        const std::string index = nameAt(first, after(first, "index "));
        if (impl_->hasObject("table", nameAt(first, after(first, " on "))) &&
            !impl_->hasObject("index", index)) {
            impl_->runOnce(first);
            made.push_back(index);
        }
        return made;
    }
    if (!startsWithNoCase(first, "create table ")) return made;
    const std::string table = nameAt(first, after(first, "table "));
    if (!impl_->hasObject("table", table)) return made;
    std::vector<const std::string*> missing;
    for (std::size_t i = 1; i < tr->statements.size(); ++i) {
        const std::string& st = tr->statements[i];
        std::string name = nameAt(st, after(st, "trigger "));
        if (impl_->hasObject("trigger", name)) continue;
        missing.push_back(&st);
        made.push_back(std::move(name));
    }
    if (missing.empty()) return made;
    impl_->exec("savepoint palvo_complete");
    try {
        for (const std::string* st : missing) impl_->runOnce(*st);
        impl_->checkStoredRows(table);
        impl_->exec("release palvo_complete");
    } catch (const Error& e) {
        impl_->undo("palvo_complete");
        throw Error(e.number(),
                    "The table " + table +
                        " lacks some of its value checks, and its rows do not pass them: " + e.description(),
                    e.nativeCode());
    }
    return made;
}

long long Connection::doLastInsertId() { return sqlite3_last_insert_rowid(impl_->db); }

ResultTable Connection::doQuery(const std::string& sql) { return *read(sql, nullptr); }

std::optional<ResultTable> Connection::doQueryKeeping(const std::string& sql, const RowFilter& filter) {
    return read(sql, &filter);
}

std::optional<ResultTable> Connection::read(const std::string& sql, const RowFilter* filter) {
    auto tr = impl_->translator.translateStatements(sql);
    for (std::size_t i = 0; i + 1 < tr->statements.size(); ++i) impl_->run(impl_->prepare(tr->statements[i]));
    sqlite3_stmt* st = impl_->prepare(tr->statements.back());
    const int n = sqlite3_column_count(st);
    ResultTable table;
    table.columns.resize(static_cast<std::size_t>(n));
    std::vector<CellKind> kinds(static_cast<std::size_t>(n), CellKind::Auto);
    std::vector<int> scales(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < n; ++c) {
        ColumnInfo& info = table.columns[static_cast<std::size_t>(c)];
        const char* name = sqlite3_column_name(st, c);
        info.name = name ? name : "";
        const char* decl = sqlite3_column_decltype(st, c);
        if (const char* t = sqlite3_column_table_name(st, c)) info.baseTable = t;
        if (const char* o = sqlite3_column_origin_name(st, c)) info.baseColumn = o;
        // an expression whose type the statement decides (a decimal computed from casts and literals)
        const bool computed = !decl && static_cast<std::size_t>(c) < tr->columnTypes.size() &&
                              !tr->columnTypes[static_cast<std::size_t>(c)].empty();
        if (computed) decl = tr->columnTypes[static_cast<std::size_t>(c)].c_str();
        if (decl && columnInfoForDeclaredType(decl, info)) {
            kinds[static_cast<std::size_t>(c)] = computed ? CellKind::Computed : kindFor(info);
            scales[static_cast<std::size_t>(c)] =
                info.type == adCurrency ? 4 : (info.numericScale == 255 ? 0 : info.numericScale);
        }
    }
    // SQLite names an expression after its text (tsql_sum(金额)); SQL Server leaves it unnamed
    for (int k : tr->unnamedColumns) {
        const int c = k < 0 ? n + k : k;
        if (c >= 0 && c < n) table.columns[static_cast<std::size_t>(c)].name.clear();
    }
    std::optional<std::size_t> tested;
    if (filter) {
        tested = filter->column(table.columns);
        if (!tested) return std::nullopt;
    }
    const int at = tested ? static_cast<int>(*tested) : 0;
    // a text column's cell is its stored text: tested before any value is made
    const bool storedText = tested && kinds[*tested] == CellKind::Text;
    CellStore one;
    std::size_t kept = 0;
    impl_->startClock();
    int rc;
    const std::uint64_t limit = memoryLimit();
    ResultSize size;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (tested) {
            if (filter->limit > 0 && kept == filter->limit) {
                rc = SQLITE_DONE;
                break;
            }
            const int type = sqlite3_column_type(st, at);
            if (type == SQLITE_NULL) continue;
            if (storedText && type == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, at));
                if (!filter->keep({text, static_cast<std::size_t>(sqlite3_column_bytes(st, at))})) continue;
            } else {
                one.clear();
                appendCell(one, st, at, kinds[*tested], scales[*tested]);
                const Value& v = one[0];
                if (!(v.text() != nullptr ? filter->keep(*v.text()) : filter->keep(v.toText()))) continue;
            }
            ++kept;
        }
        for (int c = 0; c < n; ++c) {
            appendCell(table.cells, st, c, kinds[static_cast<std::size_t>(c)],
                       scales[static_cast<std::size_t>(c)]);
        }
        // the rows read count against the bound with SQLite's own memory, checked now and then
        if (limit > 0 && (++size.rows & 63) == 0 &&
            size.bytes(table.cells) + static_cast<std::uint64_t>(sqlite3_memory_used()) > limit) {
            sqlite3_reset(st);
            throw Error(ErrorNumber::Database, memoryBoundMessage(), SQLITE_NOMEM);
        }
    }
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) impl_->fail();
    std::vector<bool> text(static_cast<std::size_t>(n), false);
    for (int k : tr->textColumns) {
        const int c = k < 0 ? n + k : k;
        if (c >= 0 && c < n) text[static_cast<std::size_t>(c)] = true;
    }
    for (int c = 0; c < n; ++c) {
        if (kinds[static_cast<std::size_t>(c)] == CellKind::Auto)
            inferColumn(table, static_cast<std::size_t>(c), text[static_cast<std::size_t>(c)]);
    }
    return table;
}

// Immediate: the transaction holds the write lock from its start, so a read in it
// never turns stale before its write (which SQLite would refuse without waiting).
void Connection::doBegin() { impl_->exec("begin immediate"); }
void Connection::doCommit() { impl_->exec("commit"); }
void Connection::doRollback() { impl_->exec("rollback"); }

void setMemoryLimit(std::uint64_t bytes) {
    gMemoryLimit = bytes;
    sqlite3_hard_heap_limit64(static_cast<sqlite3_int64>(bytes));
}

std::uint64_t memoryLimit() { return gMemoryLimit.load(); }

void installConnectionFactory() {
    Palvo::installConnectionFactory([] { return std::make_shared<Connection>(); });
}

}  // namespace Palvo::sqlite
