#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>

#include "collation.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "palvo/text.h"
#include "server_errors.h"
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
// `out`: a CellStore, or a vector holding one row.
template <class Cells>
void appendCell(Cells& out, sqlite3_stmt* st, int col, CellKind kind, int scale) {
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

// The language SET LANGUAGE names ("set language us_english"); nullopt for any
// other statement. An unknown language is refused.
std::optional<Language> setLanguage(const std::string& sql) {
    std::string_view s = util::trimBlanks(sql);
    if (!startsWithNoCase(s, "set language ")) return std::nullopt;
    s.remove_prefix(13);
    while (!s.empty() && (s.back() == ';' || s.back() == ' ')) s.remove_suffix(1);
    if (auto language = languageNamed(s)) return language;
    throw Error(ErrorNumber::Database,
                "Language must be 简体中文 or us_english, not '" + std::string(util::trimBlanks(s)) + "'.");
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
    Language language = Language::Chinese;

    // The declared types of the columns of the tables and views statements name,
    // read when the translator first asks, for the schema version they were read
    // at: any change of the schema, by this connection or another, empties it
    // and the translations made with it.
    struct PALVO_LOCAL SchemaCatalogue final : dialect::Catalogue {
        Impl* impl = nullptr;
        long long version = -1;
        std::unordered_map<std::string, std::optional<Columns>> tables;
        const Columns* columns(const std::string& lowerName) override {
            auto it = tables.find(lowerName);
            if (it == tables.end()) it = tables.emplace(lowerName, impl->readColumns(lowerName)).first;
            return it->second ? &*it->second : nullptr;
        }
    };
    SchemaCatalogue catalogue;
    sqlite3_stmt* columnsLookup = nullptr;
    sqlite3_stmt* versionLookup = nullptr;

    Impl() { catalogue.impl = this; }

    std::optional<dialect::Catalogue::Columns> readColumns(const std::string& table) {
        if (!columnsLookup &&
            sqlite3_prepare_v3(db, "select name, type from pragma_table_info(?1)", -1,
                               SQLITE_PREPARE_PERSISTENT, &columnsLookup, nullptr) != SQLITE_OK)
            fail();
        sqlite3_bind_text(columnsLookup, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        dialect::Catalogue::Columns columns;
        int rc;
        while ((rc = sqlite3_step(columnsLookup)) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(columnsLookup, 0));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(columnsLookup, 1));
            columns.emplace(util::asciiLower(name ? name : ""), type ? type : "");
        }
        sqlite3_reset(columnsLookup);
        if (rc != SQLITE_DONE) fail();
        if (columns.empty()) return std::nullopt;
        return columns;
    }

    long long schemaVersion() {
        if (!versionLookup && sqlite3_prepare_v3(db, "pragma schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                                 &versionLookup, nullptr) != SQLITE_OK)
            fail();
        const int rc = sqlite3_step(versionLookup);
        const long long v = rc == SQLITE_ROW ? sqlite3_column_int64(versionLookup, 0) : -1;
        sqlite3_reset(versionLookup);
        if (rc != SQLITE_ROW) fail();
        return v;
    }

    // The translation of a statement, typed by the tables it names as the schema now has them.
    std::shared_ptr<const dialect::Translation> translate(const std::string& sql) {
        auto tr = translator.translateStatements(sql, &catalogue);
        if (!tr->usesCatalogue) return tr;
        const long long now = schemaVersion();
        if (now == catalogue.version) return tr;
        catalogue.tables.clear();
        catalogue.version = now;
        translator.clearCache();
        return translator.translateStatements(sql, &catalogue);
    }

    // The connection's last error, raised; `sql`: the SQLite statement that met it.
    // SQLite's own errors that SQL Server has a number for get that number and its
    // English words here; every error is put in the connection's language where it
    // leaves the connection (speak, in each do... hook).
    [[noreturn]] void fail(std::string_view sql = {}) {
        const int code = sqlite3_extended_errcode(db);
        const std::string msg = sqlite3_errmsg(db);
        const bool interrupted = timedOut || code == SQLITE_INTERRUPT;
        timedOut = false;
        if (interrupted) throw Error(ErrorNumber::Database, "Query timeout expired", code);
        if ((code & 0xff) == SQLITE_NOMEM && memoryLimit() > 0)
            throw Error(ErrorNumber::Database, memoryBoundMessage(), code);
        if (auto e = serverErrorOf(msg, code, sql))
            throw Error(ErrorNumber::Database, englishText(e->first, e->second), e->first);
        throw Error(ErrorNumber::Database, msg, code);
    }

    // The error in the connection's language, with SQL Server's number, when it is
    // one of SQL Server's; otherwise as it is.
    Error spoken(const Error& e) const {
        if (e.number() == ErrorNumber::Database) {
            if (auto s = serverError(e.description(), language))
                return Error(ErrorNumber::Database, std::move(s->text), s->number, e.sqlState());
        }
        return e;
    }
    [[noreturn]] void speak(const Error& e) const { throw spoken(e); }

    using Args = std::vector<std::string>;

    // SQL Server's number and arguments for an error of SQLite's own.
    std::optional<std::pair<long, Args>> serverErrorOf(const std::string& msg, int code,
                                                       std::string_view sql) {
        auto after = [&](std::string_view prefix) -> std::optional<std::string> {
            if (!msg.starts_with(prefix)) return std::nullopt;
            return msg.substr(prefix.size());
        };
        // another connection held its lock for longer than this one waits
        if ((code & 0xff) == SQLITE_BUSY) return {{1222, {}}};
        if (code == SQLITE_CONSTRAINT_NOTNULL) {
            if (auto at = after("NOT NULL constraint failed: ")) {
                const auto dot = at->find('.');
                return {{515,
                         {at->substr(dot + 1), databaseName() + ".dbo." + at->substr(0, dot),
                          statementKind(sql)}}};
            }
        }
        if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY) {
            if (auto at = after("UNIQUE constraint failed: ")) return duplicateKey(*at, code);
        }
        if (code == SQLITE_CONSTRAINT_CHECK) {
            if (auto at = after("CHECK constraint failed: "))
                return {{547, {statementKind(sql), *at, databaseName(), "dbo." + targetTable(sql)}}};
        }
        if (auto at = after("no such column: ")) return {{207, {at->substr(at->rfind('.') + 1)}}};
        if (msg.starts_with("table ")) {
            if (auto p = msg.find(" has no column named "); p != std::string::npos)
                return {{207, {msg.substr(p + 21)}}};
        }
        if (auto at = after("no such table: ")) {
            for (std::string_view schema : {"main.", "temp."}) {
                if (at->starts_with(schema)) at->erase(0, schema.size());
            }
            return {{208, {*at}}};
        }
        for (std::string_view kind : {"table ", "view "}) {
            auto at = after(kind);
            if (!at || !at->ends_with(" already exists")) continue;
            std::string name = at->substr(0, at->size() - 15);
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            return {{2714, {name}}};
        }
        if (auto at = after("near \"")) {
            if (at->ends_with("\": syntax error")) {
                std::string token = at->substr(0, at->size() - 15);
                return {{isReservedWord(token) ? 156 : 102, {token}}};
            }
        }
        if (msg == "incomplete input") {
            const std::string token = lastToken(sql);
            if (!token.empty()) return {{isReservedWord(token) ? 156 : 102, {token}}};
        }
        return std::nullopt;
    }

    // 2627 for a primary key or unique constraint, 2601 for a unique index;
    // `columns`: SQLite's "T.a, T.b".
    std::pair<long, Args> duplicateKey(const std::string& columns, int code) {
        const std::string table = columns.substr(0, columns.find('.'));
        std::string wanted;  // "a,b"
        for (std::size_t start = 0; start < columns.size();) {
            std::size_t end = columns.find(", ", start);
            if (end == std::string::npos) end = columns.size();
            const std::string item = columns.substr(start, end - start);
            wanted += (wanted.empty() ? "" : ",") + item.substr(item.find('.') + 1);
            start = end + 2;
        }
        std::string index, origin = code == SQLITE_CONSTRAINT_PRIMARYKEY ? "pk" : "u";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(
                db,
                "select l.name, l.origin from pragma_index_list(?1) l where l.\"unique\" and "
                "(select group_concat(name, ',') from (select name from pragma_index_info(l.name) "
                "order by seqno)) = ?2",
                -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, wanted.data(), static_cast<int>(wanted.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                index = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                origin = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            }
        }
        sqlite3_finalize(st);
        if (origin == "c") return {2601, {"dbo." + table, index}};
        const bool primary = origin == "pk";
        std::string name = declaredConstraint(table, primary ? "primary key" : "unique", wanted);
        if (name.empty()) name = (primary ? "PK__" : "UQ__") + table;
        return {2627, {primary ? "PRIMARY KEY" : "UNIQUE KEY", name, "dbo." + table}};
    }

    // The name a table's "constraint NAME primary key (a, b)" (or "unique") gives the
    // columns `wanted` ("a,b"); "" when they have none of that kind.
    std::string declaredConstraint(const std::string& table, std::string_view kind,
                                   const std::string& wanted) {
        sqlite3_stmt* st = nullptr;
        std::string sql;
        if (sqlite3_prepare_v2(db, "select sql from sqlite_master where type = 'table' and name = ?1", -1,
                               &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW)
                sql = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        sqlite3_finalize(st);
        const std::string lower = util::asciiLower(sql);
        for (std::size_t at = lower.find("constraint "); at != std::string::npos;
             at = lower.find("constraint ", at + 1)) {
            const std::size_t nameAtPos = at + 11;
            std::string name = nameAt(sql, nameAtPos);
            std::size_t p = nameAtPos + (sql[nameAtPos] == '"' ? name.size() + 2 : name.size());
            while (p < lower.size() && lower[p] == ' ') ++p;
            if (lower.compare(p, kind.size(), kind) != 0) continue;
            p += kind.size();
            while (p < lower.size() && lower[p] == ' ') ++p;
            if (p >= sql.size() || sql[p] != '(') continue;
            const std::size_t close = sql.find(')', p);
            std::string list;
            for (char ch : sql.substr(p + 1, close - p - 1)) {
                if (ch != ' ' && ch != '"' && ch != '[' && ch != ']') list += ch;
            }
            if (util::equalsNoCase(list, wanted)) return name;
        }
        return {};
    }

    // What SQL Server names the database in its messages: the file's name without its folder and extension.
    std::string databaseName() const {
        if (path.empty() || path == ":memory:") return "main";
        const std::size_t slash = path.find_last_of("/\\");
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
        return name;
    }

    // INSERT, UPDATE or DELETE: what the statement does to its table (the first of them it names).
    static std::string statementKind(std::string_view sql) {
        const std::string lower = util::asciiLower(sql);
        std::size_t first = std::string::npos;
        std::string kind = "INSERT";
        for (const auto& [word, name] :
             {std::pair{"insert", "INSERT"}, {"update", "UPDATE"}, {"delete", "DELETE"}}) {
            if (const std::size_t p = lower.find(word); p < first) {
                first = p;
                kind = name;
            }
        }
        return kind;
    }

    // The table an INSERT, UPDATE or DELETE changes.
    static std::string targetTable(std::string_view sql) {
        const std::string s(sql);
        const std::string lower = util::asciiLower(s);
        for (std::string_view word : {"insert into ", "update ", "delete from "}) {
            if (const std::size_t p = lower.find(word); p != std::string::npos)
                return nameAt(s, p + word.size());
        }
        return {};
    }

    // The statement's last word, or its last character when that is no part of a word.
    static std::string lastToken(std::string_view sql) {
        while (!sql.empty() && (sql.back() == ' ' || sql.back() == '\n' || sql.back() == ';'))
            sql.remove_suffix(1);
        std::size_t start = sql.size();
        auto wordChar = [](char ch) {
            return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                   ch == '_' || static_cast<unsigned char>(ch) >= 0x80;
        };
        while (start > 0 && wordChar(sql[start - 1])) --start;
        if (start == sql.size() && !sql.empty()) --start;
        return std::string(sql.substr(start));
    }

    sqlite3_stmt* prepare(const std::string& sql) {
        if (auto it = statements.find(sql); it != statements.end()) return it->second;
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
        sqlite3_finalize(columnsLookup);
        columnsLookup = nullptr;
        sqlite3_finalize(versionLookup);
        versionLookup = nullptr;
        catalogue.tables.clear();
        catalogue.version = -1;
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
            if (rc != SQLITE_OK) fail(sqlite3_sql(st));
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
            fail(sqlite3_sql(st));
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    void exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql);
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
    impl_->language = options.language;
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
std::optional<std::int64_t> Connection::doSchemaVersion() try {
    return impl_->schemaVersion();
} catch (const Error& e) {
    impl_->speak(e);
}

// Errors leave in the connection's language.
long Connection::doExecute(const std::string& sql, const std::vector<Value>& params) try {
    if (auto language = setLanguage(sql)) {
        impl_->language = *language;
        return -1;
    }
    auto tr = impl_->translate(sql);
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
} catch (const Error& e) {
    impl_->speak(e);
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
    } catch (const Error& failure) {
        impl_->undo("palvo_complete");
        const Error e = impl_->spoken(failure);
        throw Error(e.number(),
                    "The table " + table +
                        " lacks some of its value checks, and its rows do not pass them: " + e.description(),
                    e.nativeCode());
    }
    return made;
}

long long Connection::doLastInsertId() { return sqlite3_last_insert_rowid(impl_->db); }

namespace {

// A query's columns as SQL Server reports them, and how each one's cells are read.
struct QueryColumns {
    std::vector<ColumnInfo> columns;
    std::vector<CellKind> kinds;
    std::vector<int> scales;
};

QueryColumns queryColumns(sqlite3_stmt* st, const dialect::Translation& tr) {
    const int n = sqlite3_column_count(st);
    QueryColumns q;
    q.columns.resize(static_cast<std::size_t>(n));
    q.kinds.assign(static_cast<std::size_t>(n), CellKind::Auto);
    q.scales.assign(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < n; ++c) {
        ColumnInfo& info = q.columns[static_cast<std::size_t>(c)];
        const char* name = sqlite3_column_name(st, c);
        info.name = name ? name : "";
        const char* decl = sqlite3_column_decltype(st, c);
        if (const char* t = sqlite3_column_table_name(st, c)) info.baseTable = t;
        if (const char* o = sqlite3_column_origin_name(st, c)) info.baseColumn = o;
        // an expression whose type the statement decides (a decimal computed from casts and literals)
        const bool computed = !decl && static_cast<std::size_t>(c) < tr.columnTypes.size() &&
                              !tr.columnTypes[static_cast<std::size_t>(c)].empty();
        if (computed) decl = tr.columnTypes[static_cast<std::size_t>(c)].c_str();
        if (decl && columnInfoForDeclaredType(decl, info)) {
            q.kinds[static_cast<std::size_t>(c)] = computed ? CellKind::Computed : kindFor(info);
            q.scales[static_cast<std::size_t>(c)] =
                info.type == adCurrency ? 4 : (info.numericScale == 255 ? 0 : info.numericScale);
        }
    }
    // SQLite names an expression after its text (tsql_sum(金额)); SQL Server leaves it unnamed
    for (int k : tr.unnamedColumns) {
        const int c = k < 0 ? n + k : k;
        if (c >= 0 && c < n) q.columns[static_cast<std::size_t>(c)].name.clear();
    }
    return q;
}

// Every row of a prepared query, its expression columns typed from their values.
// `failed` raises the database's error.
// With a filter, only the rows whose cell in column `tested` it keeps.
ResultTable readTable(sqlite3_stmt* st, QueryColumns q, const dialect::Translation& tr,
                      const std::function<void()>& failed,
                      const Palvo::Connection::RowFilter* filter = nullptr, std::size_t tested = 0) {
    const int n = static_cast<int>(q.columns.size());
    const std::vector<CellKind>& kinds = q.kinds;
    const std::vector<int>& scales = q.scales;
    ResultTable table;
    table.columns = std::move(q.columns);
    const int at = static_cast<int>(tested);
    // a text column's cell is its stored text: tested before any value is made
    const bool storedText = filter && kinds[tested] == CellKind::Text;
    CellStore one;
    std::size_t kept = 0;
    int rc;
    const std::uint64_t limit = memoryLimit();
    ResultSize size;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (filter) {
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
                appendCell(one, st, at, kinds[tested], scales[tested]);
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
    if (rc != SQLITE_DONE) failed();
    std::vector<bool> text(static_cast<std::size_t>(n), false);
    for (int k : tr.textColumns) {
        const int c = k < 0 ? n + k : k;
        if (c >= 0 && c < n) text[static_cast<std::size_t>(c)] = true;
    }
    for (int c = 0; c < n; ++c) {
        if (kinds[static_cast<std::size_t>(c)] == CellKind::Auto)
            inferColumn(table, static_cast<std::size_t>(c), text[static_cast<std::size_t>(c)]);
    }
    return table;
}

// Resets the statement however the reading ends.
struct StatementReset {
    sqlite3_stmt* st;
    ~StatementReset() { sqlite3_reset(st); }
};

}  // namespace

ResultTable Connection::doQuery(const std::string& sql) try {
    auto tr = impl_->translate(sql);
    for (std::size_t i = 0; i + 1 < tr->statements.size(); ++i) impl_->run(impl_->prepare(tr->statements[i]));
    sqlite3_stmt* st = impl_->prepare(tr->statements.back());
    QueryColumns q = queryColumns(st, *tr);
    impl_->startClock();
    return readTable(st, std::move(q), *tr, [this, st] { impl_->fail(sqlite3_sql(st)); });
} catch (const Error& e) {
    impl_->speak(e);
}

std::optional<ResultTable> Connection::doQueryKeeping(const std::string& sql, const RowFilter& filter) try {
    auto tr = impl_->translate(sql);
    for (std::size_t i = 0; i + 1 < tr->statements.size(); ++i) impl_->run(impl_->prepare(tr->statements[i]));
    sqlite3_stmt* st = impl_->prepare(tr->statements.back());
    QueryColumns q = queryColumns(st, *tr);
    const std::optional<std::size_t> tested = filter.column(q.columns);
    if (!tested) return std::nullopt;
    impl_->startClock();
    return readTable(
        st, std::move(q), *tr, [this, st] { impl_->fail(sqlite3_sql(st)); }, &filter, *tested);
} catch (const Error& e) {
    impl_->speak(e);
}

void Connection::doQueryEach(const std::string& sql, RowReader& reader) try {
    auto tr = impl_->translate(sql);
    for (std::size_t i = 0; i + 1 < tr->statements.size(); ++i) impl_->run(impl_->prepare(tr->statements[i]));
    sqlite3_stmt* st = impl_->prepare(tr->statements.back());
    QueryColumns q = queryColumns(st, *tr);
    impl_->startClock();
    if (std::find(q.kinds.begin(), q.kinds.end(), CellKind::Auto) != q.kinds.end()) {
        // an expression column's type comes from all its values: the rows are read whole first
        const ResultTable table =
            readTable(st, std::move(q), *tr, [this, st] { impl_->fail(sqlite3_sql(st)); });
        reader.columns(table.columns);
        std::vector<Value> row(table.columns.size());
        for (std::size_t r = 0; r < table.rowCount(); ++r) {
            for (std::size_t c = 0; c < row.size(); ++c) row[c] = table.at(r, c);
            reader.row(row.data());
        }
        return;
    }
    reader.columns(q.columns);
    const std::size_t n = q.columns.size();
    std::vector<Value> row;
    row.reserve(n);
    int rc;
    {
        const StatementReset reset{st};
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            row.clear();
            for (std::size_t c = 0; c < n; ++c)
                appendCell(row, st, static_cast<int>(c), q.kinds[c], q.scales[c]);
            reader.row(row.data());
        }
    }
    if (rc != SQLITE_DONE) impl_->fail(sqlite3_sql(st));
} catch (const Error& e) {
    impl_->speak(e);
}

// Immediate: the transaction holds the write lock from its start, so a read in it
// never turns stale before its write (which SQLite would refuse without waiting).
void Connection::doBegin() try { impl_->exec("begin immediate"); } catch (const Error& e) {
    impl_->speak(e);
}
void Connection::doCommit() try { impl_->exec("commit"); } catch (const Error& e) {
    impl_->speak(e);
}
void Connection::doRollback() try { impl_->exec("rollback"); } catch (const Error& e) {
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
