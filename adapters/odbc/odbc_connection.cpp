#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "batch_port.h"
#include "column_types.h"
#include "connection_string.h"
#include "odbc_api.h"
#include "palvo/dialect/server_errors.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/text.h"
#include "statement_translator.h"

namespace Palvo::odbc {

using detail::Api;

namespace {

bool succeeded(SQLRETURN r) { return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO; }

/// An ODBC handle freed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    Handle(const Api* api, SQLSMALLINT type) : api_(api), type_(type) {}
    Handle(Handle&& o) noexcept : api_(o.api_), type_(o.type_), h_(std::exchange(o.h_, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            api_ = o.api_;
            type_ = o.type_;
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }

    void reset() noexcept {
        if (h_) api_->freeHandle(type_, h_);
        h_ = nullptr;
    }
    SQLHANDLE get() const { return h_; }
    SQLHANDLE* out() { return &h_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    const Api* api_ = nullptr;
    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = nullptr;
};

/// The diagnostic records of a handle as one Palvo::Error: every message in
/// order, the SQLSTATE and native code of the first record.
Error diagnostics(const Api& api, SQLSMALLINT type, SQLHANDLE handle, long number, const char* call) {
    std::string text;
    std::string state;
    long native = 0;
    bool stateIsWarning = true;
    for (SQLSMALLINT rec = 1; handle && rec <= 20; ++rec) {
        SQLCHAR st[6] = {};
        SQLINTEGER nat = 0;
        std::vector<SQLCHAR> msg(1024);
        SQLSMALLINT len = 0;
        SQLRETURN r = api.getDiagRec(type, handle, rec, st, &nat, msg.data(),
                                     static_cast<SQLSMALLINT>(msg.size()), &len);
        if (!succeeded(r)) break;
        if (len >= static_cast<SQLSMALLINT>(msg.size())) {
            msg.resize(static_cast<std::size_t>(len) + 1);
            r = api.getDiagRec(type, handle, rec, st, &nat, msg.data(), static_cast<SQLSMALLINT>(msg.size()),
                               &len);
            if (!succeeded(r)) break;
        }
        std::string m(
            reinterpret_cast<const char*>(msg.data()),
            std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(len, 0)), msg.size() - 1));
        // PostgreSQL's messages end in a line break
        while (!m.empty() && (m.back() == '\n' || m.back() == '\r' || m.back() == ' ')) m.pop_back();
        std::string recState(reinterpret_cast<const char*>(st),
                             strnlen(reinterpret_cast<const char*>(st), 5));
        // the first error names the failure; a warning (class 01) only when there is no error
        bool warning = recState.rfind("01", 0) == 0;
        if (rec == 1 || (!warning && stateIsWarning)) {
            state = recState;
            native = nat;
            stateIsWarning = warning;
        }
        if (m.empty() || text.find(m) != std::string::npos) continue;
        if (!text.empty()) text += "\n";
        text += m;
    }
    if (text.empty()) text = std::string("The ODBC call ") + call + " failed without a diagnostic message.";
    return Error(number, std::move(text), native, std::move(state));
}

/// One bound parameter; its storage must stay put until the statement ran.
struct ParamBuffer {
    std::string text;
    std::vector<unsigned char> bytes;
    SQL_TIMESTAMP_STRUCT ts{};
    SQLBIGINT integer = 0;
    double real = 0;
    unsigned char bit = 0;
    SQLLEN indicator = 0;
};

/// The SQL type, column size and decimal digits a parameter is bound with.
struct ParamType {
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLULEN size = 1;
    SQLSMALLINT digits = 0;
};

ParamType sizedParamType(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_BIGINT:
            return {sqlType, 19, 0};
        case SQL_DOUBLE:
            return {sqlType, 15, 0};
        case SQL_DECIMAL:
            return {sqlType, 18, 0};
        case SQL_TYPE_TIMESTAMP:
            return {sqlType, 23, 3};
        case SQL_GUID:
            return {sqlType, 36, 0};
        default:
            return {sqlType, 1, 0};
    }
}

std::string lowered(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// Whether a statement changes the schema (CREATE, ALTER, DROP).
bool changesSchema(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) word += sql[i++];
    word = lowered(word);
    return word == "create" || word == "alter" || word == "drop";
}

// Rows read per fetch, and the widest cell a block holds: a longer one is read again alone.
// (Out of Connection::Impl: a member would be exported with the class.)
constexpr SQLULEN kBlockRows = 256;
constexpr SQLLEN kBoundWidth = 1024;

}  // namespace

struct Connection::Impl final : detail::ServerLink {
    // Where long values are read piece by piece; made once, not for every cell.
    std::vector<char> pieceBuffer = std::vector<char>(8192);
    explicit Impl(const Api& a) : api(&a), env(&a, SQL_HANDLE_ENV), dbc(&a, SQL_HANDLE_DBC) {}

    const Api* api;
    Handle env;
    Handle dbc;
    std::string dbms;
    std::string database;  // the name of the database the connection uses, as the driver gives it
    const dialect::Target* target = nullptr;  // the open database's; null while closed
    // the language of the target's words: "Language=" of the connection string, else 简体中文
    dialect::Language language = dialect::Language::Chinese;
    bool translate = false;
    bool hostTranslator = false;  // the host set its own: no target is needed
    StatementTranslator translator;
    // the target's own translator, through which batches run (none when the host set its own)
    dialect::Translator* batchTranslator = nullptr;
    detail::BatchSession session;
    long batchTimeout = 0;
    int describeParamSupport = -1;  // SQLDescribeParam: -1 not asked yet, 0 no, 1 yes
    // The driver binds columns to arrays of rows and reads a bound cell again once positioned
    // on its row (SQL_GD_BLOCK, SQL_GD_BOUND): results are read a block of rows per fetch.
    bool blockFetch = false;
    // SQLite: declared column types by table, read from the schema (see declaredTypes)
    std::map<std::string, std::map<std::string, std::string>> declared;

    // A link to the server that broke (the server restarted, the network dropped it): the
    // call that found it failed; the next one opens the connection again with what Open was
    // given. A transaction open when it broke is lost with it: the server rolled it back.
    mutable bool linkLost = false;
    bool inTransaction = false;
    std::string openedWith, openUser, openPassword;
    std::function<void()> reopen;

    // Whether the driver says the connection is gone; a driver that cannot tell keeps it.
    bool connectionDead() const {
        SQLUINTEGER dead = SQL_CD_FALSE;
        return dbc &&
               succeeded(api->getConnectAttr(dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER,
                                             nullptr)) &&
               dead == SQL_CD_TRUE;
    }

    static Error linkFailure(const std::string& cause) {
        return Error(ErrorNumber::ConnectionFailed, "Communication link failure\n" + cause, 0, "08S01");
    }

    [[noreturn]] void fail(const Handle& h, long number, const char* call) const {
        Error e = diagnostics(*api, h.type(), h.get(), number, call);
        if (connectionDead()) {
            linkLost = true;
            throw linkFailure(e.description());
        }
        // a statement's failure as a host written for SQL Server reads it
        if (target && h.type() == SQL_HANDLE_STMT) throw target->sqlServerError(e, database, language);
        throw e;
    }

    void restoreLink() {
        if (inTransaction) {
            throw linkFailure(
                "The transaction was lost when the link to the server broke; roll it back before going on.");
        }
        api->disconnect(dbc.get());
        dbc.reset();
        // the new link's own set-up statements run on it, not through another restore
        linkLost = false;
        try {
            reopen();
        } catch (...) {
            linkLost = true;
            throw;
        }
    }

    std::vector<std::string> statements(const std::string& sql, bool withParams) {
        if (!translate || !translator) return {sql};
        // the calls of user functions batchFor wrote in, as they stood when it asked
        std::optional<std::string> text;
        if (written && written->first == sql) text = std::move(written->second);
        written.reset();
        std::vector<std::string> out = translator(text ? *text : sql);
        if (out.empty()) out.push_back(sql);
        if (withParams && out.size() > 1) {
            throw Error(ErrorNumber::NotSupported,
                        "A statement with parameters must stay one statement for this database.");
        }
        return out;
    }

    Handle newStatement(long commandTimeout) {
        if (linkLost) restoreLink();
        Handle stmt(api, SQL_HANDLE_STMT);
        if (!succeeded(api->allocHandle(SQL_HANDLE_STMT, dbc.get(), stmt.out()))) {
            fail(dbc, ErrorNumber::Database, "SQLAllocHandle");
        }
        // a driver without statement timeouts still runs the statement
        api->setStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(commandTimeout)), 0);
        return stmt;
    }

    /// Whether the driver can tell the type of a parameter (FreeTDS 1.3 cannot).
    bool describesParameters() {
        if (describeParamSupport < 0) {
            SQLUSMALLINT supported = SQL_FALSE;
            const SQLRETURN r = api->getFunctions(dbc.get(), SQL_API_SQLDESCRIBEPARAM, &supported);
            describeParamSupport = succeeded(r) && supported == SQL_TRUE;
        }
        return describeParamSupport > 0;
    }

    /// The type a Null parameter goes as. The caller's column type comes first (it is
    /// certain and costs nothing; describing a parameter may cost a round trip), then
    /// what the driver describes, then varchar, which SQL Server converts to every
    /// column type but binary, varbinary and image.
    ParamType nullParamType(const Handle& stmt, std::size_t index, const std::vector<int>& columnTypes) {
        if (index < columnTypes.size()) {
            const int t = detail::sqlTypeForNull(columnTypes[index]);
            if (t != 0) return sizedParamType(static_cast<SQLSMALLINT>(t));
        }
        if (describesParameters()) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            const auto number = static_cast<SQLUSMALLINT>(index + 1);
            if (succeeded(api->describeParam(stmt.get(), number, &type, &size, &digits, &nullable)) &&
                type != 0) {
                return {type, std::max<SQLULEN>(size, 1), std::max<SQLSMALLINT>(digits, 0)};
            }
        }
        return {};
    }

    void bind(const Handle& stmt, const std::vector<Value>& params, const std::vector<int>& columnTypes,
              std::vector<ParamBuffer>& buffers) {
        buffers.resize(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            const Value& v = params[i];
            ParamBuffer& b = buffers[i];
            SQLSMALLINT cType = SQL_C_CHAR;
            SQLSMALLINT sqlType = SQL_VARCHAR;
            SQLULEN size = 1;
            SQLSMALLINT digits = 0;
            SQLPOINTER data = nullptr;
            SQLLEN length = 0;
            switch (v.kind()) {
                case Value::Kind::Null: {
                    const ParamType t = nullParamType(stmt, i, columnTypes);
                    b.indicator = SQL_NULL_DATA;
                    data = b.text.data();
                    sqlType = t.sqlType;
                    size = t.size;
                    digits = t.digits;
                    const bool binary = t.sqlType == SQL_BINARY || t.sqlType == SQL_VARBINARY ||
                                        t.sqlType == SQL_LONGVARBINARY;
                    cType = binary ? SQL_C_BINARY : SQL_C_CHAR;
                    break;
                }
                case Value::Kind::Boolean:
                    b.bit = *v.boolean() ? 1 : 0;
                    cType = SQL_C_BIT;
                    sqlType = SQL_BIT;
                    data = &b.bit;
                    break;
                case Value::Kind::Integer:
                    b.integer = *v.integer();
                    cType = SQL_C_SBIGINT;
                    sqlType = SQL_BIGINT;
                    size = 19;
                    data = &b.integer;
                    break;
                case Value::Kind::Double:
                    b.real = *v.real();
                    cType = SQL_C_DOUBLE;
                    sqlType = SQL_DOUBLE;
                    size = 15;
                    data = &b.real;
                    break;
                case Value::Kind::Decimal: {
                    b.text = v.decimal()->text;
                    std::size_t allDigits = 0, after = 0;
                    bool point = false;
                    for (char c : b.text) {
                        if (c == '.') point = true;
                        if (c >= '0' && c <= '9') {
                            ++allDigits;
                            if (point) ++after;
                        }
                    }
                    sqlType = SQL_DECIMAL;
                    size = std::clamp<SQLULEN>(allDigits, 1, 38);
                    digits = static_cast<SQLSMALLINT>(std::min<std::size_t>(after, size));
                    b.indicator = static_cast<SQLLEN>(b.text.size());
                    data = b.text.data();
                    length = b.indicator;
                    break;
                }
                case Value::Kind::DateTime: {
                    const DateTime& d = *v.dateTime();
                    b.ts.year = static_cast<SQLSMALLINT>(d.year);
                    b.ts.month = static_cast<SQLUSMALLINT>(d.month);
                    b.ts.day = static_cast<SQLUSMALLINT>(d.day);
                    b.ts.hour = static_cast<SQLUSMALLINT>(d.hour);
                    b.ts.minute = static_cast<SQLUSMALLINT>(d.minute);
                    b.ts.second = static_cast<SQLUSMALLINT>(d.second);
                    b.ts.fraction = static_cast<SQLUINTEGER>(d.millisecond) * 1000000u;
                    cType = SQL_C_TYPE_TIMESTAMP;
                    sqlType = SQL_TYPE_TIMESTAMP;
                    size = 23;
                    digits = 3;
                    data = &b.ts;
                    length = sizeof b.ts;
                    break;
                }
                case Value::Kind::Text: {
                    b.text = *v.text();
                    std::size_t chars = base::charCount(b.text);
                    // sent as Unicode so Chinese text survives whatever the server's code page
                    sqlType = chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
                    size = std::max<SQLULEN>(chars, 1);
                    b.indicator = static_cast<SQLLEN>(b.text.size());
                    data = b.text.data();
                    length = b.indicator;
                    break;
                }
                case Value::Kind::Bytes:
                    b.bytes = v.bytes()->data;
                    cType = SQL_C_BINARY;
                    sqlType = b.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
                    size = std::max<SQLULEN>(b.bytes.size(), 1);
                    b.indicator = static_cast<SQLLEN>(b.bytes.size());
                    data = b.bytes.data();
                    length = b.indicator;
                    break;
            }
            SQLRETURN r = api->bindParameter(stmt.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                             cType, sqlType, size, digits, data, length, &b.indicator);
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLBindParameter");
        }
    }

    /// Runs the statement; SQL_NO_DATA (a search that matched no row) is not a failure.
    void run(const Handle& stmt, std::string text, const std::vector<Value>& params,
             std::vector<ParamBuffer>& buffers, const std::vector<int>& columnTypes = {}) {
        auto* sqlText = reinterpret_cast<SQLCHAR*>(text.data());
        SQLRETURN r;
        if (params.empty()) {
            r = api->execDirect(stmt.get(), sqlText, static_cast<SQLINTEGER>(text.size()));
        } else {
            r = api->prepare(stmt.get(), sqlText, static_cast<SQLINTEGER>(text.size()));
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLPrepare");
            bind(stmt, params, columnTypes, buffers);
            r = api->execute(stmt.get());
        }
        if (!succeeded(r) && r != SQL_NO_DATA) fail(stmt, ErrorNumber::Database, "SQLExecute");
    }

    std::string columnText(const Handle& stmt, SQLUSMALLINT col, SQLUSMALLINT field) {
        std::vector<char> buf(256);
        SQLSMALLINT len = 0;
        SQLRETURN r = api->colAttribute(stmt.get(), col, field, buf.data(),
                                        static_cast<SQLSMALLINT>(buf.size()), &len, nullptr);
        if (!succeeded(r)) return {};
        if (len >= static_cast<SQLSMALLINT>(buf.size())) {
            buf.resize(static_cast<std::size_t>(len) + 1);
            r = api->colAttribute(stmt.get(), col, field, buf.data(), static_cast<SQLSMALLINT>(buf.size()),
                                  &len, nullptr);
            if (!succeeded(r)) return {};
        }
        return std::string(buf.data(), strnlen(buf.data(), buf.size()));
    }

    ColumnInfo describe(const Handle& stmt, SQLUSMALLINT col) {
        std::vector<SQLCHAR> name(256);
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLRETURN r = api->describeCol(stmt.get(), col, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                       &nameLen, &sqlType, &size, &digits, &nullable);
        if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLDescribeCol");
        if (nameLen >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(static_cast<std::size_t>(nameLen) + 1);
            r = api->describeCol(stmt.get(), col, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                 &nameLen, &sqlType, &size, &digits, &nullable);
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLDescribeCol");
        }
        ColumnInfo info = detail::columnInfoFromDescription(sqlType, static_cast<unsigned long>(size), digits,
                                                            columnText(stmt, col, SQL_DESC_TYPE_NAME));
        info.name = std::string(reinterpret_cast<const char*>(name.data()),
                                strnlen(reinterpret_cast<const char*>(name.data()), name.size()));
        if (target && info.name == dialect::kUnnamedColumn) info.name.clear();
        info.baseTable = columnText(stmt, col, SQL_DESC_BASE_TABLE_NAME);
        info.baseColumn = columnText(stmt, col, SQL_DESC_BASE_COLUMN_NAME);
        return info;
    }

    /// The declared types of a SQLite table's columns, by lower-case column name.
    /// The SQLite driver describes decimal(18,2) as varchar(18) and numeric(10,3)
    /// as double, so precision and scale come from the schema instead.
    const std::map<std::string, std::string>& declaredTypes(const std::string& table, long commandTimeout) {
        auto key = lowered(table);
        if (auto it = declared.find(key); it != declared.end()) return it->second;
        std::map<std::string, std::string> types;
        std::string quoted = "\"";
        for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        Handle stmt = newStatement(commandTimeout);
        std::string text = "pragma table_info(" + quoted + "\")";
        if (succeeded(api->execDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                      static_cast<SQLINTEGER>(text.size())))) {
            while (succeeded(api->fetch(stmt.get()))) {
                std::string name, type;
                // columns of table_info: cid, name, type, notnull, dflt_value, pk
                if (readPieces(stmt, 2, SQL_C_CHAR, name) && readPieces(stmt, 3, SQL_C_CHAR, type)) {
                    types[lowered(name)] = type;
                }
            }
        }
        return declared[key] = std::move(types);
    }

    void useDeclaredTypes(std::vector<ColumnInfo>& columns, long commandTimeout) {
        for (auto& c : columns) {
            if (c.baseTable.empty() || c.baseColumn.empty()) continue;
            const auto& types = declaredTypes(c.baseTable, commandTimeout);
            auto it = types.find(lowered(c.baseColumn));
            if (it == types.end()) continue;
            ColumnInfo info;
            if (!columnInfoForDeclaredType(it->second, info)) continue;
            c.type = info.type;
            c.definedSize = info.definedSize;
            c.precision = info.precision;
            c.numericScale = info.numericScale;
        }
    }

    /// Reads a character or binary column in pieces; false for NULL.
    template <typename Out>
    bool readPieces(const Handle& stmt, SQLUSMALLINT col, SQLSMALLINT cType, Out& out) {
        const SQLLEN terminator = cType == SQL_C_CHAR ? 1 : 0;
        std::vector<char>& buf = pieceBuffer;
        while (true) {
            SQLLEN ind = 0;
            SQLRETURN r =
                api->getData(stmt.get(), col, cType, buf.data(), static_cast<SQLLEN>(buf.size()), &ind);
            if (r == SQL_NO_DATA) return true;
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLGetData");
            if (ind == SQL_NULL_DATA) return false;
            const SQLLEN room = static_cast<SQLLEN>(buf.size()) - terminator;
            if (ind != SQL_NO_TOTAL && ind <= room) {
                out.insert(out.end(), buf.begin(), buf.begin() + ind);
                return true;
            }
            out.insert(out.end(), buf.begin(), buf.begin() + room);
        }
    }

    template <typename T>
    bool readFixed(const Handle& stmt, SQLUSMALLINT col, SQLSMALLINT cType, T& out) {
        SQLLEN ind = 0;
        SQLRETURN r = api->getData(stmt.get(), col, cType, &out, sizeof out, &ind);
        if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLGetData");
        return ind != SQL_NULL_DATA;
    }

    /// A decimal or money value from the driver's text of it.
    Value decimalValue(std::string_view text, const ColumnInfo& info) const {
        // money has four decimals on SQL Server, whatever the driver reports as its scale
        const int scale = info.type == adCurrency                 ? 4
                          : target && target->decimalsAsWritten() ? detail::writtenScale(text)
                                                                  : info.numericScale;
        return Value(Decimal{detail::decimalText(text, scale)});
    }

    Value readValue(const Handle& stmt, SQLUSMALLINT col, const ColumnInfo& info) {
        switch (info.type) {
            case adSmallInt:
            case adInteger:
            case adTinyInt:
            case adUnsignedTinyInt:
            case adBigInt: {
                SQLBIGINT v = 0;
                return readFixed(stmt, col, SQL_C_SBIGINT, v) ? Value(static_cast<long long>(v)) : Value();
            }
            case adBoolean: {
                unsigned char v = 0;
                return readFixed(stmt, col, SQL_C_BIT, v) ? Value(v != 0) : Value();
            }
            case adSingle:
            case adDouble: {
                double v = 0;
                return readFixed(stmt, col, SQL_C_DOUBLE, v) ? Value(v) : Value();
            }
            case adCurrency:
            case adNumeric: {
                std::string text;
                if (!readPieces(stmt, col, SQL_C_CHAR, text)) return Value();
                return decimalValue(text, info);
            }
            case adDBTimeStamp: {
                SQL_TIMESTAMP_STRUCT ts{};
                if (!readFixed(stmt, col, SQL_C_TYPE_TIMESTAMP, ts)) return Value();
                return Value(DateTime{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                      static_cast<int>(ts.fraction / 1000000u)});
            }
            case adBinary:
            case adVarBinary:
            case adLongVarBinary: {
                Bytes b;
                return readPieces(stmt, col, SQL_C_BINARY, b.data) ? Value(std::move(b)) : Value();
            }
            default: {
                std::string text;
                return readPieces(stmt, col, SQL_C_CHAR, text) ? Value(std::move(text)) : Value();
            }
        }
    }

    void setAutocommit(bool on) {
        SQLRETURN r = api->setConnectAttr(
            dbc.get(), SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
            SQL_IS_UINTEGER);
        if (!succeeded(r)) fail(dbc, ErrorNumber::Database, "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)");
    }

    void endTransaction(SQLSMALLINT completion) {
        SQLRETURN r = api->endTran(SQL_HANDLE_DBC, dbc.get(), completion);
        if (succeeded(r)) {
            setAutocommit(true);
            return;
        }
        Error e = diagnostics(*api, SQL_HANDLE_DBC, dbc.get(), ErrorNumber::Database, "SQLEndTran");
        // A failed commit leaves the transaction open for the caller to roll back
        // (switching autocommit on now would commit it). After a failed rollback the
        // transaction is over for the caller, so later statements must autocommit again.
        if (completion == SQL_ROLLBACK) {
            api->setConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                                SQL_IS_UINTEGER);
        }
        throw e;
    }

    // The batch engine's statements (batch_port.cpp), already in the server's SQL. A Null goes as
    // varchar, which each variable's cast turns into its type.
    long change(const std::string& sql, const std::vector<Value>& params) override {
        Handle stmt = newStatement(batchTimeout);
        std::vector<ParamBuffer> buffers;
        run(stmt, sql, params, buffers, std::vector<int>(params.size(), adVarChar));
        SQLLEN count = -1;
        if (!succeeded(api->rowCount(stmt.get(), &count))) count = -1;
        for (SQLRETURN r = api->moreResults(stmt.get()); r != SQL_NO_DATA; r = api->moreResults(stmt.get())) {
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLMoreResults");
        }
        return changesSchema(sql) ? -1 : static_cast<long>(count);
    }
    ResultTable rows(const std::string& sql, const std::vector<Value>& params) override {
        Handle stmt = newStatement(batchTimeout);
        std::vector<ParamBuffer> buffers;
        run(stmt, sql, params, buffers, std::vector<int>(params.size(), adVarChar));
        SQLSMALLINT count = 0;
        if (!succeeded(api->numResultCols(stmt.get(), &count)))
            fail(stmt, ErrorNumber::Database, "SQLNumResultCols");
        return count > 0 ? readResult(stmt, count, batchTimeout) : ResultTable{};
    }
    void begin() override {
        if (linkLost) restoreLink();
        setAutocommit(false);
        inTransaction = true;
    }
    void end(bool commit) override {
        if (linkLost) {
            // nothing is left to commit: the server rolled the transaction back when the link broke
            if (commit) throw linkFailure("The transaction was lost when the link to the server broke.");
            inTransaction = false;
            return;
        }
        if (!commit) inTransaction = false;
        endTransaction(commit ? SQL_COMMIT : SQL_ROLLBACK);
        inTransaction = false;
    }
    long timeoutSeconds() const override { return batchTimeout; }

    // Whether the text goes through the batch engine: a batch, or a statement that reads a batch's
    // values, or any statement under SET ROWCOUNT.
    bool batchFor(const std::string& sql) {
        written.reset();
        if (!batchTranslator) return false;
        auto text = detail::withFunctions(*this, session, sql);
        if (detail::runsAsBatch(*batchTranslator->translateStatements(text ? *text : sql), session))
            return true;
        if (text) written.emplace(sql, std::move(*text));
        return false;
    }
    // A statement batchFor sent on with the calls of user functions written in: its text, and that.
    std::optional<std::pair<std::string, std::string>> written;
    dialect::BatchResult runBatch(const std::string& sql, const std::vector<Value>& params, long timeout,
                                  const std::function<void(const Palvo::Connection::InfoMessage&)>& tell) {
        batchTimeout = timeout;
        return detail::runServerBatch(*this, session, *batchTranslator, sql, params, tell);
    }

    /// A query sent, its parameters' buffers kept while its results are read.
    struct Started {
        Handle stmt;
        std::vector<ParamBuffer> buffers;
    };

    Started startQuery(const std::string& sql, const std::vector<Value>& params, long commandTimeout) {
        auto texts = statements(sql, !params.empty());
        // statements ahead of the query (none, unless the translation made several) only run
        for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
            Handle before = newStatement(commandTimeout);
            std::vector<ParamBuffer> none;
            run(before, std::move(texts[i]), {}, none);
        }
        Started q{newStatement(commandTimeout), {}};
        run(q.stmt, std::move(texts.back()), params, q.buffers);
        return q;
    }

    /// One column bound to a block of rows: `width` bytes a cell, one length a cell.
    struct BoundColumn {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLLEN width = 0;
        std::vector<char> data;
        std::vector<SQLLEN> lengths;
    };

    /// The C type and cell width a column is bound with: the C type readValue reads it as.
    static BoundColumn boundFor(const ColumnInfo& info) {
        const auto size = static_cast<SQLLEN>(std::max(info.definedSize, 1L));
        switch (info.type) {
            case adSmallInt:
            case adInteger:
            case adTinyInt:
            case adUnsignedTinyInt:
            case adBigInt:
                return {SQL_C_SBIGINT, sizeof(SQLBIGINT), {}, {}};
            case adBoolean:
                return {SQL_C_BIT, sizeof(unsigned char), {}, {}};
            case adSingle:
            case adDouble:
                return {SQL_C_DOUBLE, sizeof(double), {}, {}};
            case adDBTimeStamp:
                return {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), {}, {}};
            case adBinary:
            case adVarBinary:
            case adLongVarBinary:
                return {SQL_C_BINARY, std::min(size, kBoundWidth), {}, {}};
            default:
                // a character takes up to four bytes of UTF-8, and the text ends in a zero byte
                return {SQL_C_CHAR, size < kBoundWidth / 4 ? size * 4 + 1 : kBoundWidth, {}, {}};
        }
    }

    /// Puts the value of one bound cell into `out`, as readValue reads it. A cell longer
    /// than its room is read again whole, positioned on its row.
    void boundValue(Value& out, const Handle& stmt, const BoundColumn& b, SQLULEN row, SQLUSMALLINT col,
                    const ColumnInfo& info) {
        const SQLLEN length = b.lengths[row];
        if (length == SQL_NULL_DATA) {
            out = Value();
            return;
        }
        const char* cell = b.data.data() + static_cast<std::ptrdiff_t>(row) * b.width;
        switch (b.cType) {
            case SQL_C_SBIGINT: {
                SQLBIGINT v = 0;
                std::memcpy(&v, cell, sizeof v);
                out = Value(static_cast<long long>(v));
                return;
            }
            case SQL_C_BIT:
                out = Value(*cell != 0);
                return;
            case SQL_C_DOUBLE: {
                double v = 0;
                std::memcpy(&v, cell, sizeof v);
                out = Value(v);
                return;
            }
            case SQL_C_TYPE_TIMESTAMP: {
                SQL_TIMESTAMP_STRUCT ts{};
                std::memcpy(&ts, cell, sizeof ts);
                out = Value(DateTime{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                     static_cast<int>(ts.fraction / 1000000u)});
                return;
            }
            default:
                break;
        }
        const SQLLEN room = b.width - (b.cType == SQL_C_CHAR ? 1 : 0);
        if (length == SQL_NO_TOTAL || length > room) {
            if (!succeeded(api->setPos(stmt.get(), static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION,
                                       SQL_LOCK_NO_CHANGE)))
                fail(stmt, ErrorNumber::Database, "SQLSetPos");
            out = readValue(stmt, col, info);
            return;
        }
        const std::string_view text(cell, static_cast<std::size_t>(length));
        if (b.cType == SQL_C_BINARY) {
            Bytes bytes;
            bytes.data.assign(text.begin(), text.end());
            out = Value(std::move(bytes));
        } else if (info.type == adNumeric || info.type == adCurrency) {
            out = decimalValue(text, info);
        } else {
            out.assignText(text);
        }
    }

    /// The cells of the current result set, of the described `columns`, read a block of rows
    /// at a time into `cells` row by row (see TableCells). The statement's bindings are undone
    /// however it ends.
    template <typename Cells>
    void readBlocks(const Handle& stmt, const std::vector<ColumnInfo>& columns, Cells& cells) {
        const std::size_t count = columns.size();
        SQLULEN fetched = 0;
        std::vector<SQLUSMALLINT> status(kBlockRows);
        std::vector<BoundColumn> bound;
        bound.reserve(count);
        struct Unbind {
            const Api* api;
            SQLHSTMT stmt;
            ~Unbind() {
                api->freeStmt(stmt, SQL_UNBIND);
                api->setStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
                api->setStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
                api->setStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
            }
        } unbind{api, stmt.get()};
        if (!succeeded(api->setStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                        reinterpret_cast<SQLPOINTER>(kBlockRows), 0)) ||
            !succeeded(api->setStmtAttr(stmt.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
            !succeeded(api->setStmtAttr(stmt.get(), SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
            fail(stmt, ErrorNumber::Database, "SQLSetStmtAttr");
        for (std::size_t c = 0; c < count; ++c) {
            BoundColumn& b = bound.emplace_back(boundFor(columns[c]));
            b.data.resize(static_cast<std::size_t>(b.width) * kBlockRows);
            b.lengths.resize(kBlockRows);
            if (!succeeded(api->bindCol(stmt.get(), static_cast<SQLUSMALLINT>(c + 1), b.cType, b.data.data(),
                                        b.width, b.lengths.data())))
                fail(stmt, ErrorNumber::Database, "SQLBindCol");
        }
        while (true) {
            const SQLRETURN r = api->fetch(stmt.get());
            if (r == SQL_NO_DATA) break;
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLFetch");
            // a driver may fetch fewer rows than asked; never more than the arrays hold
            const SQLULEN rows = std::min(fetched, kBlockRows);
            for (SQLULEN i = 0; i < rows; ++i) {
                if (status[i] == SQL_ROW_ERROR) fail(stmt, ErrorNumber::Database, "SQLFetch");
                for (std::size_t c = 0; c < count; ++c) {
                    boundValue(cells.slot(), stmt, bound[c], i, static_cast<SQLUSMALLINT>(c + 1), columns[c]);
                    cells.filled();
                }
            }
        }
    }

    /// The columns of the statement's current result set, which has `count` of them.
    std::vector<ColumnInfo> describeResult(const Handle& stmt, SQLSMALLINT count, long commandTimeout) {
        std::vector<ColumnInfo> columns;
        for (SQLSMALLINT c = 1; c <= count; ++c)
            columns.push_back(describe(stmt, static_cast<SQLUSMALLINT>(c)));
        if (target && target->typesFromDeclarations()) useDeclaredTypes(columns, commandTimeout);
        return columns;
    }

    /// Where the cells of a result go: slot() is the value the next cell is read into,
    /// filled() says it holds it. A whole result kept as a table.
    struct TableCells {
        ResultTable& table;
        Value& slot() { return table.cells.emplace_back(); }
        void filled() {}
    };

    /// A row's values, handed to a reader when the row is whole and then read into again,
    /// so that texts of a like length take no new memory row after row.
    struct ReaderCells {
        RowReader& reader;
        std::vector<Value> row;
        std::size_t field = 0;
        Value& slot() { return row[field]; }
        void filled() {
            if (++field < row.size()) return;
            reader.row(row.data());
            field = 0;
        }
    };

    /// The cells of the current result set, of the described `columns`, read into `cells`
    /// row by row.
    template <typename Cells>
    void readCells(const Handle& stmt, const std::vector<ColumnInfo>& columns, Cells& cells) {
        if (blockFetch) return readBlocks(stmt, columns, cells);
        while (true) {
            const SQLRETURN r = api->fetch(stmt.get());
            if (r == SQL_NO_DATA) break;
            if (!succeeded(r)) fail(stmt, ErrorNumber::Database, "SQLFetch");
            for (std::size_t c = 0; c < columns.size(); ++c) {
                cells.slot() = readValue(stmt, static_cast<SQLUSMALLINT>(c + 1), columns[c]);
                cells.filled();
            }
        }
    }

    /// The rows of the statement's current result set, which has `count` columns.
    ResultTable readResult(const Handle& stmt, SQLSMALLINT count, long commandTimeout) {
        ResultTable result;
        result.columns = describeResult(stmt, count, commandTimeout);
        TableCells cells{result};
        readCells(stmt, result.columns, cells);
        return result;
    }

    /// The rows of the statement's current result set handed to `reader` as they are read.
    void readEach(const Handle& stmt, SQLSMALLINT count, long commandTimeout, RowReader& reader) {
        const std::vector<ColumnInfo> columns = describeResult(stmt, count, commandTimeout);
        reader.columns(columns);
        ReaderCells cells{reader, std::vector<Value>(columns.size())};
        readCells(stmt, columns, cells);
    }
};

Connection::Connection() : Connection(detail::systemApi()) {}

Connection::Connection(const detail::Api& api) : impl_(std::make_unique<Impl>(api)) {
    impl_->reopen = [this] {
        const Impl& d = *impl_;
        doOpen(std::string(d.openedWith), std::string(d.openUser), std::string(d.openPassword));
    };
}

Connection::~Connection() {
    // the base class cannot reach our hooks any more once we are gone
    Close();
}

const std::string& Connection::dbmsName() const { return impl_->dbms; }

void Connection::setStatementTranslator(StatementTranslator translator) {
    impl_->translator = std::move(translator);
    impl_->hostTranslator = true;
}

DatabaseCapabilities Connection::capabilities() const {
    return impl_->target ? impl_->target->capabilities() : DatabaseCapabilities{};
}

void Connection::doOpen(const std::string& connectionString, const std::string& user,
                        const std::string& password) {
    Impl& d = *impl_;
    const auto resolved = detail::resolveConnectionString(connectionString, user, password);
    d.openedWith = connectionString;
    d.openUser = user;
    d.openPassword = password;
    if (!d.env) {
        Handle env(d.api, SQL_HANDLE_ENV);
        if (!succeeded(d.api->allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.out()))) {
            throw Error(ErrorNumber::ConnectionFailed,
                        "The ODBC driver manager could not allocate an environment.");
        }
        if (!succeeded(d.api->setEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)),
                                         0))) {
            throw diagnostics(*d.api, SQL_HANDLE_ENV, env.get(), ErrorNumber::ConnectionFailed,
                              "SQLSetEnvAttr");
        }
        d.env = std::move(env);
    }
    Handle dbc(d.api, SQL_HANDLE_DBC);
    if (!succeeded(d.api->allocHandle(SQL_HANDLE_DBC, d.env.get(), dbc.out()))) {
        throw diagnostics(*d.api, SQL_HANDLE_ENV, d.env.get(), ErrorNumber::ConnectionFailed,
                          "SQLAllocHandle");
    }
    d.api->setConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(ConnectionTimeout())),
                          SQL_IS_UINTEGER);
    SQLRETURN r;
    if (resolved.freeTds) {
        // FreeTDS reads an ANSI connection string as Latin-1 whatever ClientCharset says;
        // in UTF-16 a Chinese user, password or database name reaches the server intact
        std::u16string in = detail::utf16FromUtf8(resolved.text);
        std::vector<SQLWCHAR> wide(in.begin(), in.end());
        wide.push_back(0);
        r = d.api->driverConnectW(dbc.get(), nullptr, wide.data(),
                                  static_cast<SQLSMALLINT>(std::min<std::size_t>(in.size(), 32767)), nullptr,
                                  0, nullptr, SQL_DRIVER_NOPROMPT);
    } else {
        std::string in = resolved.text;
        r = d.api->driverConnect(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                 static_cast<SQLSMALLINT>(std::min<std::size_t>(in.size(), 32767)), nullptr,
                                 0, nullptr, SQL_DRIVER_NOPROMPT);
    }
    if (!succeeded(r)) {
        throw diagnostics(*d.api, SQL_HANDLE_DBC, dbc.get(), ErrorNumber::ConnectionFailed,
                          "SQLDriverConnect");
    }
    char name[256] = {};
    SQLSMALLINT len = 0;
    std::string dbms;
    if (succeeded(d.api->getInfo(dbc.get(), SQL_DBMS_NAME, name, sizeof name, &len))) {
        dbms.assign(name, strnlen(name, sizeof name));
    }
    std::string database;
    if (succeeded(d.api->getInfo(dbc.get(), SQL_DATABASE_NAME, name, sizeof name, &len))) {
        database.assign(name, strnlen(name, sizeof name));
    }
    SQLUINTEGER getData = 0;
    const bool blockFetch =
        succeeded(d.api->getInfo(dbc.get(), SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr)) &&
        (getData & SQL_GD_BLOCK) != 0 && (getData & SQL_GD_BOUND) != 0;
    const dialect::Target* target = dialect::targetForDbms(dbms);
    if (!target && !d.hostTranslator) {
        // sent T-SQL it does not read, or another database's text, it would fail or do otherwise
        d.api->disconnect(dbc.get());
        throw Error(ErrorNumber::NotSupported,
                    (dbms.empty() ? std::string("The database (its ODBC driver gives no name)")
                                  : "The database \"" + dbms + "\" (as its ODBC driver names it)") +
                        " cannot be used: the library has no T-SQL target for this database (it has "
                        "Microsoft SQL Server, SQLite and PostgreSQL).");
    }
    d.dbc = std::move(dbc);
    d.dbms = std::move(dbms);
    d.database = std::move(database);
    d.target = target;
    d.blockFetch = blockFetch;
    d.translate = !(target && target->passesThrough());
    if (!d.hostTranslator) {
        d.translator = detail::translatorFor(*target);
        // batches run in the library on PostgreSQL; the SQLite driver's connection refuses them by name
        if (target == &dialect::postgresTarget()) d.batchTranslator = detail::sharedTranslator(*target);
    }
    d.session = {};
    if (!target) return;
    // the language the target speaks; a driver of SQL Server reads the attribute itself
    d.language = dialect::Language::Chinese;
    for (const auto& a : detail::parseConnectionString(connectionString)) {
        if (!a.hasValue || !base::equalsNoCase(a.key, "language") || target->passesThrough()) continue;
        const auto language = dialect::languageNamed(a.value);
        if (!language) {
            doClose();
            throw Error(ErrorNumber::ConnectionFailed,
                        "Language must be 简体中文 or us_english, not '" + a.value + "'.");
        }
        d.language = *language;
    }
    std::vector<std::string> setup = target->sessionSetup();
    for (std::string& text : target->languageSetup(d.language)) setup.push_back(std::move(text));
    for (std::string text : setup) {
        Handle stmt = d.newStatement(ConnectionTimeout());
        if (!succeeded(d.api->execDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                         static_cast<SQLINTEGER>(text.size()))))
            d.fail(stmt, ErrorNumber::ConnectionFailed, "SQLExecDirect");
    }
}

void Connection::doClose() noexcept {
    Impl& d = *impl_;
    if (!d.dbc) return;
    d.api->disconnect(d.dbc.get());
    d.dbc.reset();
    d.dbms.clear();
    d.database.clear();
    d.target = nullptr;
    d.declared.clear();
    d.translate = false;
    d.describeParamSupport = -1;
    d.blockFetch = false;
    d.linkLost = false;
    d.inTransaction = false;
    d.openPassword.clear();
    d.batchTranslator = nullptr;
    d.session = {};
}

long Connection::doExecute(const std::string& sql, const std::vector<Value>& params) {
    return doExecuteWithTypes(sql, params, {});
}

long Connection::doExecuteWithTypes(const std::string& sql, const std::vector<Value>& params,
                                    const std::vector<int>& columnTypes) {
    Impl& d = *impl_;
    if (d.batchFor(sql))
        return d.runBatch(sql, params, CommandTimeout(), [this](const InfoMessage& m) { infoMessage(m); })
            .affected;
    const bool schema = changesSchema(sql);
    if (schema) d.declared.clear();
    // a statement the target translates is one statement: a schema change counts no rows (-1), as on
    // SQL Server, where PostgreSQL's driver gives 0 for CREATE
    const bool counted = !(schema && d.translate && !d.hostTranslator);
    long total = -1;
    for (auto& text : d.statements(sql, !params.empty())) {
        Handle stmt = d.newStatement(CommandTimeout());
        std::vector<ParamBuffer> buffers;
        d.run(stmt, std::move(text), params, buffers, columnTypes);
        SQLLEN count = -1;
        if (counted && succeeded(d.api->rowCount(stmt.get(), &count)) && count >= 0)
            total = (total < 0 ? 0 : total) + count;
        // the later statements of a batch report their failures only when reached
        for (SQLRETURN r = d.api->moreResults(stmt.get()); r != SQL_NO_DATA;
             r = d.api->moreResults(stmt.get())) {
            if (!succeeded(r)) d.fail(stmt, ErrorNumber::Database, "SQLMoreResults");
        }
    }
    return total;
}

ResultTable Connection::doQuery(const std::string& sql) { return doQueryWith(sql, {}); }

ResultTable Connection::doQueryWith(const std::string& sql, const std::vector<Value>& params) {
    Impl& d = *impl_;
    // a batch gives its first result set
    if (d.batchFor(sql))
        return d.runBatch(sql, params, CommandTimeout(), [this](const InfoMessage& m) { infoMessage(m); })
            .first;
    Impl::Started q = d.startQuery(sql, params, CommandTimeout());
    const Handle& stmt = q.stmt;
    ResultTable result;
    while (true) {
        SQLSMALLINT count = 0;
        if (!succeeded(d.api->numResultCols(stmt.get(), &count)))
            d.fail(stmt, ErrorNumber::Database, "SQLNumResultCols");
        if (count > 0) return d.readResult(stmt, count, CommandTimeout());
        // statements before the SELECT of a batch (SET NOCOUNT ON, an INSERT) give no columns
        SQLRETURN r = d.api->moreResults(stmt.get());
        if (r == SQL_NO_DATA) return result;
        if (!succeeded(r)) d.fail(stmt, ErrorNumber::Database, "SQLMoreResults");
    }
}

void Connection::doQueryEach(const std::string& sql, RowReader& reader) { doQueryEachWith(sql, {}, reader); }

void Connection::doQueryEachWith(const std::string& sql, const std::vector<Value>& params,
                                 RowReader& reader) {
    Impl& d = *impl_;
    // a batch runs in the library and gives its first result set whole, as doQueryWith does
    if (d.batchFor(sql))
        return params.empty() ? Palvo::Connection::doQueryEach(sql, reader)
                              : Palvo::Connection::doQueryEachWith(sql, params, reader);
    Impl::Started q = d.startQuery(sql, params, CommandTimeout());
    const Handle& stmt = q.stmt;
    while (true) {
        SQLSMALLINT count = 0;
        if (!succeeded(d.api->numResultCols(stmt.get(), &count)))
            d.fail(stmt, ErrorNumber::Database, "SQLNumResultCols");
        if (count > 0) return d.readEach(stmt, count, CommandTimeout(), reader);
        // statements before the SELECT of a batch give no columns, as in doQueryWith
        const SQLRETURN r = d.api->moreResults(stmt.get());
        if (r == SQL_NO_DATA) return reader.columns({});
        if (!succeeded(r)) d.fail(stmt, ErrorNumber::Database, "SQLMoreResults");
    }
}

std::vector<ResultTable> Connection::doQueryResults(const std::string& sql,
                                                    const std::vector<Value>& params) {
    Impl& d = *impl_;
    if (d.batchFor(sql)) {
        dialect::BatchResult r =
            d.runBatch(sql, params, CommandTimeout(), [this](const InfoMessage& m) { infoMessage(m); });
        std::vector<ResultTable> out;
        out.reserve(1 + r.later.size());
        out.push_back(std::move(r.first));
        std::move(r.later.begin(), r.later.end(), std::back_inserter(out));
        return out;
    }
    Impl::Started q = d.startQuery(sql, params, CommandTimeout());
    const Handle& stmt = q.stmt;
    std::vector<ResultTable> results;
    for (;;) {
        SQLSMALLINT count = 0;
        if (!succeeded(d.api->numResultCols(stmt.get(), &count)))
            d.fail(stmt, ErrorNumber::Database, "SQLNumResultCols");
        // a statement that returns no rows (an INSERT's count) is no result set
        if (count > 0) results.push_back(d.readResult(stmt, count, CommandTimeout()));
        const SQLRETURN r = d.api->moreResults(stmt.get());
        if (r == SQL_NO_DATA) break;
        if (!succeeded(r)) d.fail(stmt, ErrorNumber::Database, "SQLMoreResults");
    }
    if (results.empty()) results.emplace_back();
    return results;
}

long long Connection::doLastInsertId() {
    Impl& d = *impl_;
    if (!d.target) {
        throw Error(ErrorNumber::NotSupported,
                    "The identity of the last inserted row cannot be read from " + d.dbms + ".");
    }
    std::string text = d.target->lastIdentityQuery();
    // sent as written: the target wrote it for its own database
    Handle stmt = d.newStatement(CommandTimeout());
    std::vector<ParamBuffer> none;
    d.run(stmt, std::move(text), {}, none);
    const ColumnInfo info = d.describe(stmt, 1);
    const SQLRETURN r = d.api->fetch(stmt.get());
    if (r == SQL_NO_DATA) return 0;
    if (!succeeded(r)) d.fail(stmt, ErrorNumber::Database, "SQLFetch");
    const Value v = d.readValue(stmt, 1, info);
    return v.isNull() ? 0 : v.toInt64();
}

// The host's transaction is the one its batches count in @@TRANCOUNT (batch_port.cpp): begun inside a
// batch's transaction it nests, as BEGIN TRAN does.
void Connection::doBegin() { detail::beginTran(*impl_, impl_->session, ""); }

void Connection::doCommit() { detail::commitTran(*impl_, impl_->session); }

// Whatever a batch left of the transaction is rolled back; a batch that rolled it back already leaves
// nothing.
void Connection::doRollback() {
    Impl& d = *impl_;
    if (d.session.tranCount > 0) detail::rollbackTran(d, d.session, "");
}

void installConnectionFactory() {
    Palvo::installConnectionFactory([] { return std::make_shared<Connection>(); });
}

}  // namespace Palvo::odbc
