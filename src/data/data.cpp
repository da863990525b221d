#include "palvo/data.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <iterator>
#include <utility>

#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo {

namespace {

std::string trimSpaces(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string bracketed(std::string_view name) {
    std::string r = "[";
    for (char c : name) {
        r += c;
        if (c == ']') r += ']';
    }
    return r + "]";
}

[[noreturn]] void noCurrentRecord() {
    throw Error(
        ErrorNumber::NoCurrentRecord,
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
        "current record.");
}

[[noreturn]] void closedObject() {
    throw Error(ErrorNumber::ObjectClosed, "Operation is not allowed when the object is closed.");
}

}  // namespace

bool isNumericType(int t) {
    switch (t) {
        case adSmallInt:
        case adInteger:
        case adSingle:
        case adDouble:
        case adCurrency:
        case adBoolean:
        case adUnsignedTinyInt:
        case adBigInt:
        case adNumeric:
            return true;
        default:
            return false;
    }
}

bool columnInfoForDeclaredType(std::string_view declared, ColumnInfo& info) {
    std::string d = base::asciiLower(trimSpaces(declared));
    std::string base = d;
    std::vector<std::string> args;
    if (auto p = d.find('('); p != std::string::npos) {
        base = trimSpaces(d.substr(0, p));
        auto q = d.find(')', p);
        if (q == std::string::npos) return false;
        for (auto arg : base::split(std::string_view(d).substr(p + 1, q - p - 1), ','))
            args.push_back(trimSpaces(arg));
    }
    // The embedded database names decimals it stores as doubles "decimal real(18,2)".
    if (base.size() > 5 && base.ends_with(" real")) base = trimSpaces(base.substr(0, base.size() - 5));
    // and whole numbers beyond bigint's digits, kept as text, "decimal text(38,0)"
    if (base.size() > 5 && base.ends_with(" text")) base = trimSpaces(base.substr(0, base.size() - 5));
    auto argOr = [&](std::size_t i, long dflt) -> long {
        if (i >= args.size()) return dflt;
        if (args[i] == "max") return -1;
        long v = 0;
        auto r = std::from_chars(args[i].data(), args[i].data() + args[i].size(), v);
        return r.ec == std::errc() ? v : dflt;
    };
    struct Fixed {
        const char* name;
        int type;
        long size;
        int precision;
        int scale;
    };
    static const Fixed fixed[] = {
        {"tinyint", adUnsignedTinyInt, 1, 3, 255},
        {"smallint", adSmallInt, 2, 5, 255},
        {"int", adInteger, 4, 10, 255},
        {"integer", adInteger, 4, 10, 255},
        {"bigint", adBigInt, 8, 19, 255},
        {"bit", adBoolean, 2, 255, 255},
        {"real", adSingle, 4, 7, 255},
        {"money", adCurrency, 8, 19, 255},
        {"smallmoney", adCurrency, 4, 10, 255},
        {"datetime", adDBTimeStamp, 16, 23, 3},
        {"smalldatetime", adDBTimeStamp, 16, 16, 0},
        {"date", adDBTimeStamp, 16, 10, 0},
        {"text", adLongVarChar, 2147483647, 255, 255},
        {"ntext", adLongVarWChar, 1073741823, 255, 255},
        {"image", adLongVarBinary, 2147483647, 255, 255},
        {"uniqueidentifier", adGUID, 16, 255, 255},
    };
    for (const auto& f : fixed) {
        if (base == f.name) {
            info.type = f.type;
            info.definedSize = f.size;
            info.precision = f.precision;
            info.numericScale = f.scale;
            return true;
        }
    }
    if (base == "float" || base == "double precision" || base == "double") {
        long n = argOr(0, 53);
        bool single = n >= 1 && n <= 24;
        info.type = single ? adSingle : adDouble;
        info.definedSize = single ? 4 : 8;
        info.precision = single ? 7 : 15;
        info.numericScale = 255;
        return true;
    }
    if (base == "decimal" || base == "numeric" || base == "dec") {
        info.type = adNumeric;
        info.definedSize = 19;
        info.precision = static_cast<int>(argOr(0, 18));
        info.numericScale = static_cast<int>(argOr(1, 0));
        return true;
    }
    struct Sized {
        const char* name;
        int type;
        int maxType;
        long maxSize;
    };
    static const Sized sized[] = {
        {"char", adChar, adLongVarChar, 2147483647},
        {"character", adChar, adLongVarChar, 2147483647},
        {"varchar", adVarChar, adLongVarChar, 2147483647},
        {"nchar", adWChar, adLongVarWChar, 1073741823},
        {"nvarchar", adVarWChar, adLongVarWChar, 1073741823},
        {"binary", adBinary, adLongVarBinary, 2147483647},
        {"varbinary", adVarBinary, adLongVarBinary, 2147483647},
    };
    for (const auto& s : sized) {
        if (base == s.name) {
            long n = argOr(0, 1);
            info.precision = 255;
            info.numericScale = 255;
            if (n < 0) {
                info.type = s.maxType;
                info.definedSize = s.maxSize;
            } else {
                info.type = s.type;
                info.definedSize = n;
            }
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- Connection

Connection::~Connection() = default;

void Connection::requireOpen() const {
    if (!open_) closedObject();
}

void Connection::Open(const std::string& connectionString, const std::string& user,
                      const std::string& password) {
    if (open_) throw Error(ErrorNumber::ObjectOpen, "Operation is not allowed when the object is open.");
    doOpen(connectionString, user, password);
    open_ = true;
    static std::atomic<std::uint64_t> openings{0};
    opening_ = ++openings;
    applyTimeouts();
}

std::optional<Connection::SchemaStamp> Connection::schemaStamp() {
    requireOpen();
    const std::optional<std::int64_t> version = doSchemaVersion();
    if (!version) return std::nullopt;
    return SchemaStamp{opening_, *version};
}

void Connection::Close() {
    if (!open_) return;
    if (inTransaction_) {
        try {
            doRollback();
        } catch (...) {
            // closing discards the transaction either way
        }
        inTransaction_ = false;
    }
    doClose();
    open_ = false;
}

long Connection::Execute(const std::string& sql) {
    requireOpen();
    return doExecute(sql, {});
}

long Connection::ExecuteWith(const std::string& sql, const std::vector<Value>& params) {
    requireOpen();
    return doExecute(sql, params);
}

long Connection::ExecuteWith(const std::string& sql, const std::vector<Value>& params,
                             const std::vector<int>& columnTypes) {
    requireOpen();
    return doExecuteWithTypes(sql, params, columnTypes);
}

long Connection::doExecuteWithTypes(const std::string& sql, const std::vector<Value>& params,
                                    const std::vector<int>&) {
    return doExecute(sql, params);
}

ResultTable Connection::Query(const std::string& sql) {
    requireOpen();
    return doQuery(sql);
}

ResultTable Connection::QueryWith(const std::string& sql, const std::vector<Value>& params) {
    requireOpen();
    return doQueryWith(sql, params);
}

ResultTable Connection::doQueryWith(const std::string& sql, const std::vector<Value>& params) {
    if (!params.empty())
        throw Error(ErrorNumber::NotSupported,
                    "This connection does not bind values to a query's parameters.");
    return doQuery(sql);
}

std::vector<ResultTable> Connection::QueryResults(const std::string& sql, const std::vector<Value>& params) {
    requireOpen();
    return doQueryResults(sql, params);
}

std::vector<ResultTable> Connection::doQueryResults(const std::string& sql,
                                                    const std::vector<Value>& params) {
    std::vector<ResultTable> out;
    out.push_back(params.empty() ? doQuery(sql) : doQueryWith(sql, params));
    return out;
}

void Connection::QueryEach(const std::string& sql, RowReader& reader) {
    requireOpen();
    doQueryEach(sql, reader);
}

void Connection::QueryEachWith(const std::string& sql, const std::vector<Value>& params, RowReader& reader) {
    requireOpen();
    doQueryEachWith(sql, params, reader);
}

namespace {

void readEach(const ResultTable& table, RowReader& reader) {
    reader.columns(table.columns);
    const std::size_t fields = table.columns.size();
    std::vector<Value> row(fields);
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        for (std::size_t f = 0; f < fields; ++f) row[f] = table.at(r, f);
        reader.row(row.data());
    }
}

}  // namespace

void Connection::doQueryEachWith(const std::string& sql, const std::vector<Value>& params,
                                 RowReader& reader) {
    if (params.empty()) return doQueryEach(sql, reader);
    readEach(doQueryWith(sql, params), reader);
}

void Connection::doQueryEach(const std::string& sql, RowReader& reader) {
    const ResultTable table = doQuery(sql);
    reader.columns(table.columns);
    const std::size_t fields = table.columns.size();
    std::vector<Value> row(fields);
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        for (std::size_t f = 0; f < fields; ++f) row[f] = table.at(r, f);
        reader.row(row.data());
    }
}

RowReader::~RowReader() = default;

std::optional<ResultTable> Connection::QueryKeeping(const std::string& sql, const RowFilter& filter) {
    requireOpen();
    return doQueryKeeping(sql, filter);
}

std::optional<ResultTable> Connection::doQueryKeeping(const std::string& sql, const RowFilter& filter) {
    ResultTable all = doQuery(sql);
    const std::optional<std::size_t> col = filter.column(all.columns);
    if (!col) return std::nullopt;
    ResultTable kept;
    kept.columns = all.columns;
    const std::size_t width = all.columns.size();
    std::size_t count = 0;
    for (std::size_t r = 0; r < all.rowCount() && (filter.limit == 0 || count < filter.limit); ++r) {
        const Value& v = all.at(r, *col);
        if (v.isNull()) continue;
        const std::string* text = v.text();
        if (!(text != nullptr ? filter.keep(*text) : filter.keep(v.toText()))) continue;
        for (std::size_t c = 0; c < width; ++c) kept.cells.push_back(all.at(r, c));
        ++count;
    }
    return kept;
}

long long Connection::LastInsertId() {
    requireOpen();
    return doLastInsertId();
}

long long Connection::doLastInsertId() {
    throw Error(ErrorNumber::NotSupported,
                "This connection cannot tell the identity of the last inserted row.");
}

long Connection::BeginTrans() {
    requireOpen();
    if (inTransaction_)
        throw Error(ErrorNumber::NotSupported, "Transactions do not nest: a transaction is already open.");
    doBegin();
    inTransaction_ = true;
    return 1;
}

void Connection::CommitTrans() {
    requireOpen();
    if (!inTransaction_) throw Error(ErrorNumber::InvalidCall, "No transaction is active.");
    doCommit();
    inTransaction_ = false;
}

void Connection::RollbackTrans() {
    requireOpen();
    if (!inTransaction_) throw Error(ErrorNumber::InvalidCall, "No transaction is active.");
    inTransaction_ = false;
    doRollback();
}

void Connection::ConnectionTimeout(long seconds) {
    if (seconds < 0)
        throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: ConnectionTimeout");
    connectionTimeout_ = seconds;
}

void Connection::CommandTimeout(long seconds) {
    if (seconds < 0) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: CommandTimeout");
    commandTimeout_ = seconds;
    if (open_) applyTimeouts();
}

Transaction::Transaction(Connection& conn) : conn_(conn) { conn_.BeginTrans(); }

Transaction::~Transaction() {
    if (done_) return;
    try {
        conn_.RollbackTrans();
    } catch (...) {
        // a destructor never throws; the connection may already be closed
    }
}

void Transaction::commit() {
    conn_.CommitTrans();
    done_ = true;
}

// ---------------------------------------------------------------- Fields

long Field::DefinedSize() const { return rs_->column(col_).definedSize; }
int Field::Precision() const { return rs_->column(col_).precision; }
int Field::NumericScale() const { return rs_->column(col_).numericScale; }

const Palvo::Value& Field::Value() const {
    rs_->requireOpen();
    if (rs_->adding_) return rs_->pending_[col_];
    if (rs_->Eof() || rs_->Bof()) noCurrentRecord();
    return rs_->data_.at(rs_->pos_, col_);
}

void Field::Value(Palvo::Value v) {
    rs_->requireOpen();
    if (!rs_->adding_) {
        throw Error(ErrorNumber::NotSupported,
                    "Current Recordset does not support updating. Assign field values after AddNew.");
    }
    rs_->pending_[col_] = std::move(v);
    rs_->assigned_[col_] = true;
}

long Fields::Count() const {
    rs_->requireOpen();
    return static_cast<long>(rs_->data_.columns.size());
}

Field Fields::operator()(std::string_view name) const {
    rs_->requireOpen();
    return Field(rs_, rs_->indexOf(name));
}

// ---------------------------------------------------------------- Recordset

void Recordset::closedRecordset() { closedObject(); }

void Recordset::noSuchField(long index) {
    throw Error(ErrorNumber::ItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or ordinal: " +
                    std::to_string(index));
}

std::size_t Recordset::indexOf(std::string_view name) const {
    for (std::size_t i = 0; i < data_.columns.size(); ++i) {
        if (base::equalsNoCase(data_.columns[i].name, name)) return i;
    }
    throw Error(ErrorNumber::ItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or ordinal: " +
                    std::string(name));
}

void Recordset::Open(const std::string& source, const std::shared_ptr<Connection>& conn, long cursorType,
                     long lockType) {
    if (!conn) throw Error(ErrorNumber::ObjectRequired, "Object required: the connection is not set.");
    Open(source, *conn, cursorType, lockType);
    keep_ = conn;
}

void Recordset::Open(const std::string& source, Connection& conn, long cursorType, long lockType) {
    OpenWith(source, conn, {}, cursorType, lockType);
}

void Recordset::OpenWith(const std::string& source, Connection& conn, const std::vector<Palvo::Value>& params,
                         long cursorType, long lockType) {
    if (open_) throw Error(ErrorNumber::ObjectOpen, "Operation is not allowed when the object is open.");
    std::vector<ResultTable> results = conn.QueryResults(source, params);
    data_ = std::move(results.front());
    results.erase(results.begin());
    later_ = std::move(results);
    conn_ = &conn;
    keep_.reset();
    cursorType_ = cursorType;
    lockType_ = lockType;
    pos_ = 0;
    adding_ = false;
    open_ = true;
}

Recordset Recordset::NextRecordset() {
    requireOpen();
    Recordset next;
    if (!later_.empty()) {
        next.data_ = std::move(later_.front());
        next.later_.assign(std::make_move_iterator(later_.begin() + 1),
                           std::make_move_iterator(later_.end()));
        next.conn_ = conn_;
        next.keep_ = keep_;
        next.cursorLocation_ = cursorLocation_;
        next.cursorType_ = cursorType_;
        next.lockType_ = lockType_;
        next.open_ = true;
    }
    Close();
    return next;
}

void Recordset::Close() {
    requireOpen();
    open_ = false;
    adding_ = false;
    data_ = ResultTable{};
    later_.clear();
    pending_.clear();
    assigned_.clear();
    conn_ = nullptr;
    keep_.reset();
}

long Recordset::RecordCount() const {
    requireOpen();
    return static_cast<long>(data_.rowCount());
}

bool Recordset::Eof() const {
    requireOpen();
    // before the first row (after MovePrevious from it) is BOF, not EOF
    return data_.rowCount() == 0 || (pos_ != kBeforeFirst && pos_ >= data_.rowCount());
}

bool Recordset::Bof() const {
    requireOpen();
    return data_.rowCount() == 0 || pos_ == kBeforeFirst;
}

void Recordset::MoveFirst() {
    requireOpen();
    adding_ = false;
    pos_ = 0;
}

void Recordset::MoveNext() {
    requireOpen();
    if (Eof()) noCurrentRecord();
    adding_ = false;
    pos_ = pos_ == kBeforeFirst ? 0 : pos_ + 1;
}

void Recordset::MoveLast() {
    requireOpen();
    adding_ = false;
    pos_ = data_.rowCount() == 0 ? 0 : data_.rowCount() - 1;
}

void Recordset::MovePrevious() {
    requireOpen();
    if (Bof()) noCurrentRecord();
    adding_ = false;
    pos_ = pos_ == 0 ? kBeforeFirst : pos_ - 1;
}

long Recordset::AbsolutePosition() const {
    requireOpen();
    if (Eof() || Bof()) return 0;
    return static_cast<long>(pos_ + 1);
}

void Recordset::AddNew() {
    requireOpen();
    if (lockType_ == adLockReadOnly || lockType_ == adLockUnspecified) {
        throw Error(
            ErrorNumber::NotSupported,
            "Current Recordset does not support updating. This may be a limitation of the provider, or of "
            "the selected locktype.");
    }
    pending_.assign(data_.columns.size(), Palvo::Value());
    assigned_.assign(data_.columns.size(), false);
    adding_ = true;
}

void Recordset::CancelUpdate() {
    requireOpen();
    adding_ = false;
    pending_.clear();
    assigned_.clear();
}

void Recordset::Update() {
    requireOpen();
    if (!adding_) return;
    std::string table;
    std::string cols;
    std::string marks;
    std::vector<Palvo::Value> params;
    std::vector<int> types;
    for (std::size_t i = 0; i < data_.columns.size(); ++i) {
        if (!assigned_[i]) continue;
        const auto& c = data_.columns[i];
        if (c.baseTable.empty()) {
            throw Error(ErrorNumber::NotSupported,
                        "Field '" + c.name + "' cannot be updated: it is not a table column.");
        }
        if (table.empty()) {
            table = c.baseTable;
        } else if (!base::equalsNoCase(table, c.baseTable)) {
            throw Error(ErrorNumber::NotSupported, "A new row can only be added to one table at a time.");
        }
        std::string col = c.baseColumn.empty() ? c.name : c.baseColumn;
        cols += (cols.empty() ? "" : ",") + bracketed(col);
        marks += marks.empty() ? "?" : ",?";
        params.push_back(pending_[i]);
        types.push_back(c.type);
    }
    if (table.empty()) throw Error(ErrorNumber::NotSupported, "No field of the new row was assigned.");
    // the column types let a backend send a Null as the column's type (SQL Server refuses varchar for image)
    conn_->ExecuteWith("insert into " + bracketed(table) + " (" + cols + ") values (" + marks + ")", params,
                       types);
    for (auto& v : pending_) data_.cells.push_back(std::move(v));
    pos_ = data_.rowCount() - 1;
    adding_ = false;
    pending_.clear();
    assigned_.clear();
}

const ResultTable& Recordset::table() const {
    requireOpen();
    return data_;
}

}  // namespace Palvo

namespace Palvo {

namespace {
ConnectionFactory& factorySlot() {
    static ConnectionFactory f;
    return f;
}
}  // namespace

void installConnectionFactory(ConnectionFactory factory) { factorySlot() = std::move(factory); }

ConnectionFactory installedConnectionFactory() { return factorySlot(); }

std::shared_ptr<Connection> newConnection() {
    auto& f = factorySlot();
    if (!f)
        throw Error(ErrorNumber::NotInstalled,
                    "ActiveX component can't create object: no connection provider is installed.");
    return f();
}

}  // namespace Palvo
