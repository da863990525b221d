// Reading query results: the columns SQL Server reports and the cells of each row.

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "connection_impl.h"
#include "palvo/text.h"
#include "tsql_decimal.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

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
            if (t == SQLITE_TEXT) {
                // every digit of a decimal a double would not hold, as the statement's own column
                const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                auto x = parseDec(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))));
                if (auto r = x ? rescale(*x, scale) : std::nullopt) {
                    out.emplace_back(Decimal{decText(*r)});
                    return;
                }
            }
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
            if (t == SQLITE_TEXT) {
                // a decimal(19..38,0) column keeps its digits as text
                const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                auto x = parseDec(std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))));
                if (auto r = x ? rescale(*x, scale < 0 ? 0 : scale) : std::nullopt) {
                    out.emplace_back(Decimal{decText(*r)});
                    return;
                }
            }
            break;
        case CellKind::DateTime:
            if (t == SQLITE_TEXT) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                const int n = sqlite3_value_bytes(v);
                if (const auto d = tsql::readStoredForm(std::string_view(p, static_cast<std::size_t>(n)))) {
                    out.emplace_back(*d);
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
                if (allStamps && !tsql::readStoredForm(*v.text())) allStamps = false;
                longest = std::max(longest, base::charCount(*v.text()));
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
            if (const auto d = v.text() ? tsql::readStoredForm(*v.text()) : std::nullopt) v = Value(*d);
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

// A query's columns as SQL Server reports them, and how each one's cells are read.
struct QueryColumns {
    std::vector<ColumnInfo> columns;
    std::vector<CellKind> kinds;
    std::vector<int> scales;
};

QueryColumns queryColumns(sqlite3_stmt* st, const dialect::Translation& tr,
                          const dialect::Catalogue::Columns* returning = nullptr) {
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
        // a deleted row's column, returned without its declared type
        if (!decl && returning) {
            if (auto it = returning->find(base::asciiLower(info.name)); it != returning->end())
                decl = it->second.c_str();
        }
        if (decl && columnInfoForDeclaredType(decl, info)) {
            // a computed bigint is read as the integer it is; a computed decimal at its scale
            q.kinds[static_cast<std::size_t>(c)] =
                computed && (info.type == adNumeric || info.type == adCurrency) ? CellKind::Computed
                                                                                : kindFor(info);
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

// SQLite prepares a cached statement again at its first step after the schema
// changed (a column dropped or added, by any connection): the columns read
// before that step were the old ones, so such a reading is done once more.
int preparations(sqlite3_stmt* st) { return sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0); }

}  // namespace

// The statements of a query: those before the last only run; the last is returned, to be read,
// its `?` bound to `params` in order.
sqlite3_stmt* Connection::Impl::startQuery(const std::string& sql, const dialect::Translation& tr,
                                           const std::vector<Value>& params) {
    if (tr.statements.size() > 1 && !params.empty()) {
        throw Error(ErrorNumber::NotSupported,
                    "Parameters are not supported for a statement that becomes several.");
    }
    // a change read as a query fires no trigger here: refused on a table that has one
    char op = 0;
    if (!tr.statements.empty() && !startsWithNoCase(tr.statements[0], "select") && firedBy(tr, sql, op))
        throw Error(
            ErrorNumber::NotSupported,
            "Not supported by the embedded database: a change of a table with triggers read as a query "
            "(run it with Execute).");
    // its rows go into a table: no rows to read
    if (tr.outputInto)
        throw Error(ErrorNumber::NotSupported,
                    "Not supported by the embedded database: OUTPUT ... INTO read as a query (run it with "
                    "Execute).");
    if (!tr.outputQuery.empty()) {
        // INSERT or UPDATE with OUTPUT: the rows it changed, read back by their rowids
        sqlite3_stmt* st = prepare(identityChecked(tr.statements[0]));
        requireValues(st, sql, params.size());
        bind(st, params);
        const std::string rows = changedRows(st);
        noteChanges(tr);
        sqlite3_stmt* out = prepare(tr.outputQuery);
        if (sqlite3_bind_text(out, 1, rows.c_str(), static_cast<int>(rows.size()), SQLITE_TRANSIENT) !=
            SQLITE_OK)
            fail(tr.outputQuery);
        return out;
    }
    for (std::size_t i = 0; i + 1 < tr.statements.size(); ++i) {
        sqlite3_stmt* st = prepare(tr.statements[i]);
        requireValues(st, sql, 0);
        run(st);
    }
    sqlite3_stmt* st = prepare(tr.statements.back());
    requireValues(st, sql, params.size());
    bind(st, params);
    return st;
}

ResultTable Connection::doQuery(const std::string& sql) { return doQueryWith(sql, {}); }

ResultTable Connection::doQueryWith(const std::string& sql, const std::vector<Value>& params) try {
    auto tr = impl_->translate(sql, params);
    // a batch gives its first result set
    if (tr->batch || !tr->variables.empty() || impl_->rowLimit > 0)
        return impl_->runBatch(sql, params, [this](const InfoMessage& m) { infoMessage(m); }).first;
    return impl_->query(sql, std::move(tr), params);
} catch (const Error& e) {
    impl_->speak(e);
}

std::vector<ResultTable> Connection::doQueryResults(const std::string& sql,
                                                    const std::vector<Value>& params) try {
    auto tr = impl_->translate(sql, params);
    std::vector<ResultTable> out;
    if (tr->batch || !tr->variables.empty() || impl_->rowLimit > 0) {
        dialect::BatchResult r =
            impl_->runBatch(sql, params, [this](const InfoMessage& m) { infoMessage(m); });
        out.reserve(1 + r.later.size());
        out.push_back(std::move(r.first));
        std::move(r.later.begin(), r.later.end(), std::back_inserter(out));
        return out;
    }
    out.push_back(impl_->query(sql, std::move(tr), params));
    return out;
} catch (const Error& e) {
    impl_->speak(e);
}

ResultTable Connection::Impl::query(const std::string& sql, std::shared_ptr<const dialect::Translation> tr,
                                    const std::vector<Value>& params) {
    return underOneSchema(
        sql, params, std::move(tr), [&](const std::shared_ptr<const dialect::Translation>& t) {
            sqlite3_stmt* st = startQuery(sql, *t, params);
            for (int attempt = 0;; ++attempt) {
                const int prepared = preparations(st);
                QueryColumns q = queryColumns(st, *t, returningColumns(*t));
                startClock();
                ResultTable table = readTable(st, std::move(q), *t, [this, st] { fail(sqlite3_sql(st)); });
                if (attempt > 0 || preparations(st) == prepared) return table;
            }
        });
}

std::optional<ResultTable> Connection::doQueryKeeping(const std::string& sql, const RowFilter& filter) try {
    if (const auto tr = impl_->translate(sql); tr->batch || !tr->variables.empty() || impl_->rowLimit > 0)
        return Palvo::Connection::doQueryKeeping(sql, filter);  // the first result set, filtered
    return impl_->underOneSchema(
        sql, {}, impl_->translate(sql),
        [&](const std::shared_ptr<const dialect::Translation>& tr) -> std::optional<ResultTable> {
            sqlite3_stmt* st = impl_->startQuery(sql, *tr);
            for (int attempt = 0;; ++attempt) {
                const int prepared = preparations(st);
                QueryColumns q = queryColumns(st, *tr, impl_->returningColumns(*tr));
                const std::optional<std::size_t> tested = filter.column(q.columns);
                if (!tested) return std::nullopt;
                impl_->startClock();
                ResultTable table = readTable(
                    st, std::move(q), *tr, [this, st] { impl_->fail(sqlite3_sql(st)); }, &filter, *tested);
                if (attempt > 0 || preparations(st) == prepared) return table;
            }
        });
} catch (const Error& e) {
    impl_->speak(e);
}

void Connection::doQueryEach(const std::string& sql, RowReader& reader) { doQueryEachWith(sql, {}, reader); }

void Connection::doQueryEachWith(const std::string& sql, const std::vector<Value>& params,
                                 RowReader& reader) try {
    if (const auto tr = impl_->translate(sql, params);
        tr->batch || !tr->variables.empty() || impl_->rowLimit > 0) {
        // the first result set, row by row
        const ResultTable table =
            impl_->runBatch(sql, params, [this](const InfoMessage& m) { infoMessage(m); }).first;
        reader.columns(table.columns);
        std::vector<Value> row(table.columns.size());
        for (std::size_t r = 0; r < table.rowCount(); ++r) {
            for (std::size_t c = 0; c < row.size(); ++c) row[c] = table.at(r, c);
            reader.row(row.data());
        }
        return;
    }
    impl_->underOneSchema(
        sql, params, impl_->translate(sql, params),
        [&](const std::shared_ptr<const dialect::Translation>& tr) {
            sqlite3_stmt* st = impl_->startQuery(sql, *tr, params);
            QueryColumns q = queryColumns(st, *tr, impl_->returningColumns(*tr));
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
                return 0;
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
            return 0;
        });
} catch (const Error& e) {
    impl_->speak(e);
}

}  // namespace Palvo::sqlite
