// Data access: the connection port the adapters implement, and the recordset
// every query of the library is read through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/bulk_memory.h"
#include "palvo/export.h"
#include "palvo/value.h"

namespace Palvo {

enum CursorLocationEnum : long { adUseServer = 2, adUseClient = 3 };
enum CursorTypeEnum : long {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum : long {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4
};
enum ObjectStateEnum : long { adStateClosed = 0, adStateOpen = 1 };

/// Column types as ADO DataTypeEnum numbers.
enum DataTypeEnum : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adBoolean = 11,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205
};

/// Whether a type number is one of the numeric types (2, 3, 4, 5, 6, 11, 17, 20, 131).
PALVO_API bool isNumericType(int adoType);

/// Metadata of one result column, filled as SQL Server reports it.
struct PALVO_API ColumnInfo {
    std::string name;
    int type = adVarChar;
    long definedSize = 0;
    int precision = 255;
    int numericScale = 255;
    std::string baseTable;   // the table the column comes from, "" for expressions
    std::string baseColumn;  // its name there
};

/// Metadata for a declared SQL Server type such as "nvarchar(50)" or
/// "decimal(18,2)". Returns false when the type name is not known.
PALVO_API bool columnInfoForDeclaredType(std::string_view declared, ColumnInfo& info);

/// The cells of a result, row-major, kept in chunks: a large result never
/// needs one huge block and growing it never moves a cell. The first chunks
/// are small, so that a short result stays small; from there a chunk is a
/// bulk block of 2 MiB (palvo/bulk_memory.h), cheap to touch when fresh.
class PALVO_API CellStore {
public:
    static constexpr std::size_t kChunkCells = 2048;
    static constexpr std::size_t kSmallChunks = 8;
    static constexpr std::size_t kBigChunkCells = (std::size_t{2} << 20) / sizeof(Value);

    CellStore() = default;
    CellStore(std::initializer_list<Value> cells) { *this = cells; }
    CellStore& operator=(std::initializer_list<Value> cells) {
        clear();
        for (const auto& v : cells) push_back(v);
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Value& operator[](std::size_t i) { return chunks_[chunkOf(i)][offsetOf(i)]; }
    const Value& operator[](std::size_t i) const { return chunks_[chunkOf(i)][offsetOf(i)]; }

    template <class... Args>
    Value& emplace_back(Args&&... args) {
        if (chunks_.empty() || chunks_.back().size() == chunkCells(chunks_.size() - 1)) {
            chunks_.emplace_back();
            chunks_.back().reserve(chunkCells(chunks_.size() - 1));
        }
        ++size_;
        return chunks_.back().emplace_back(std::forward<Args>(args)...);
    }
    void push_back(Value v) { emplace_back(std::move(v)); }
    /// Makes room in the chunk table for `cells` cells; the chunks come as they fill.
    void reserve(std::size_t cells) { chunks_.reserve(chunkOf(cells) + 1); }
    void clear() {
        chunks_.clear();
        size_ = 0;
    }

private:
    static constexpr std::size_t kSmallCells = kChunkCells * kSmallChunks;

    static std::size_t chunkCells(std::size_t chunk) {
        return chunk < kSmallChunks ? kChunkCells : kBigChunkCells;
    }
    static std::size_t chunkOf(std::size_t i) {
        return i < kSmallCells ? i / kChunkCells : kSmallChunks + (i - kSmallCells) / kBigChunkCells;
    }
    static std::size_t offsetOf(std::size_t i) {
        return i < kSmallCells ? i % kChunkCells : (i - kSmallCells) % kBigChunkCells;
    }

    std::vector<std::vector<Value, BulkAllocator<Value>>> chunks_;
    std::size_t size_ = 0;
};

/// A fully read result: columns and row-major cells.
struct PALVO_API ResultTable {
    std::vector<ColumnInfo> columns;
    CellStore cells;

    std::size_t rowCount() const { return columns.empty() ? 0 : cells.size() / columns.size(); }
    const Value& at(std::size_t row, std::size_t col) const { return cells[row * columns.size() + col]; }
};

/// What a query read row by row is handed: its columns once, then each row's
/// values (as many as the columns) in order. A row's values are valid only
/// during the call. An exception thrown here ends the query and reaches the caller.
class PALVO_API RowReader {
public:
    virtual ~RowReader();
    virtual void columns(const std::vector<ColumnInfo>& columns) = 0;
    virtual void row(const Value* values) = 0;
};

/// What a database understands of the statements the library sends it, as its
/// connection reports it: the core decides by these, never by a backend's name.
/// The defaults are SQL Server's.
struct DatabaseCapabilities {
    /// Table hints (`with (updlock, holdlock)`) are understood.
    bool tableHints = true;
    /// One INSERT ... SELECT takes the database's write lock before it reads
    /// anything, so that two of them never both find a row missing.
    bool insertSelectLocksFirst = false;
};

/// A database connection. Adapters implement the protected hooks; the public
/// operations check the state and raise Palvo::Error the same way everywhere.
class PALVO_API Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual ~Connection();

    /// Opens with an adapter-specific connection string. Throws Palvo::Error.
    void Open(const std::string& connectionString, const std::string& user = {},
              const std::string& password = {});
    /// Closes; rolls back an open transaction. Closing a closed connection does nothing.
    void Close();
    long State() const { return open_ ? adStateOpen : adStateClosed; }

    /// Runs a statement; returns the rows it affected (-1 when the database does not say).
    long Execute(const std::string& sql);
    /// Runs a statement with '?' placeholders bound to values.
    long ExecuteWith(const std::string& sql, const std::vector<Value>& params);
    /// The same, knowing the ADO type of the column each parameter goes to (0
    /// when unknown), so that a Null is sent as a type the column accepts.
    long ExecuteWith(const std::string& sql, const std::vector<Value>& params,
                     const std::vector<int>& columnTypes);
    /// Runs a query and reads every row.
    ResultTable Query(const std::string& sql);
    /// Runs a query with '?' placeholders bound to values, in order, as
    /// ExecuteWith binds them; a value never becomes part of the SQL text.
    ResultTable QueryWith(const std::string& sql, const std::vector<Value>& params);
    /// Runs a query or batch and reads every result set it returns, in order
    /// (each statement that returns rows gives one, also with no rows; a
    /// statement that returns none gives none): what Recordset::NextRecordset
    /// walks. At least one: with no columns when nothing returned rows.
    std::vector<ResultTable> QueryResults(const std::string& sql, const std::vector<Value>& params = {});
    /// Runs a query and hands its rows to `reader` one at a time, with the
    /// values Query would give. The embedded database reads them as they come
    /// (memory does not grow with the rows) when every column has a declared
    /// type, an ODBC connection as its driver hands them over; otherwise, and
    /// for a batch the library runs, the rows are read whole first.
    void QueryEach(const std::string& sql, RowReader& reader);
    /// QueryEach with the query's '?' placeholders bound to `params`, in order.
    void QueryEachWith(const std::string& sql, const std::vector<Value>& params, RowReader& reader);
    /// Which rows QueryKeeping keeps: `column` picks one of the result's
    /// columns (nullopt: none), `keep` tests a row's cell there as text (a
    /// Null is never kept), `limit` ends the reading after that many kept rows
    /// (0: no end).
    struct RowFilter {
        std::function<std::optional<std::size_t>(const std::vector<ColumnInfo>&)> column;
        std::function<bool(std::string_view)> keep;
        std::size_t limit = 0;
    };
    /// Runs a query and keeps only the rows the filter keeps, in their order;
    /// nullopt when the filter picks no column. A backend may test a row
    /// before it makes the row's values, so that the others cost no values.
    std::optional<ResultTable> QueryKeeping(const std::string& sql, const RowFilter& filter);
    /// The identity (row number) of the last row an INSERT on this connection
    /// added; 0 when none was added. Throws Palvo::Error (3704 when closed,
    /// 3251 when the backend cannot tell).
    long long LastInsertId();

    /// Starts a transaction; returns its level (always 1: transactions do not nest).
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return inTransaction_; }

    long CursorLocation() const { return cursorLocation_; }
    void CursorLocation(long v) { cursorLocation_ = v; }
    long ConnectionTimeout() const { return connectionTimeout_; }
    void ConnectionTimeout(long seconds);
    long CommandTimeout() const { return commandTimeout_; }
    void CommandTimeout(long seconds);

    /// What a batch tells its host besides its results, as SQL Server's messages
    /// reach an ADO host (its InfoMessage event): the text of a PRINT, or a
    /// statement's count of rows ("(n rows affected)"), which SET NOCOUNT ON stops.
    struct InfoMessage {
        std::string text;  ///< PRINT's text; "" for a count
        long rows = -1;    ///< a count: the rows a statement returned or changed; -1 for PRINT
    };
    using InfoMessageHandler = std::function<void(const InfoMessage&)>;
    /// The handler the connection's batches tell their messages to (none: they are dropped).
    /// The embedded database's batches tell them, and those on PostgreSQL (ODBC); other backends tell none.
    void OnInfoMessage(InfoMessageHandler handler) { infoMessage_ = std::move(handler); }

    /// A short name of the backend ("sqlite", "odbc"), for messages.
    virtual std::string backendName() const = 0;
    /// What the database behind the connection understands. Default: SQL Server's.
    virtual DatabaseCapabilities capabilities() const { return {}; }

    /// A mark of the database's table definitions: it changes whenever any
    /// connection adds, drops or changes a table or a column. Marks of two
    /// openings never match. nullopt when the backend cannot tell it cheaply.
    struct SchemaStamp {
        std::uint64_t opening;
        std::int64_t version;
        bool operator==(const SchemaStamp&) const = default;
    };
    std::optional<SchemaStamp> schemaStamp();
    /// This opening's number, unique in the process (0 before the first Open):
    /// what a cache of one opening's findings is kept under.
    std::uint64_t openingNumber() const { return opening_; }

protected:
    virtual void doOpen(const std::string& connectionString, const std::string& user,
                        const std::string& password) = 0;
    virtual void doClose() noexcept = 0;
    virtual long doExecute(const std::string& sql, const std::vector<Value>& params) = 0;
    /// Default: the column types are not needed (doExecute).
    virtual long doExecuteWithTypes(const std::string& sql, const std::vector<Value>& params,
                                    const std::vector<int>& columnTypes);
    virtual ResultTable doQuery(const std::string& sql) = 0;
    /// Default: doQuery without values; with values, raises 3251 (not supported).
    virtual ResultTable doQueryWith(const std::string& sql, const std::vector<Value>& params);
    /// Default: doQueryWith, one result set.
    virtual std::vector<ResultTable> doQueryResults(const std::string& sql, const std::vector<Value>& params);
    /// Default: doQuery, then its rows one by one.
    virtual void doQueryEach(const std::string& sql, RowReader& reader);
    /// Default: doQueryEach without values; with values, doQueryWith, then its rows one by one.
    virtual void doQueryEachWith(const std::string& sql, const std::vector<Value>& params, RowReader& reader);
    /// Default: every row read with doQuery, then filtered.
    virtual std::optional<ResultTable> doQueryKeeping(const std::string& sql, const RowFilter& filter);
    /// Default: raises 3251 (not supported).
    virtual long long doLastInsertId();
    virtual void doBegin() = 0;
    virtual void doCommit() = 0;
    virtual void doRollback() = 0;
    virtual void applyTimeouts() {}
    /// Default: nullopt (schemaStamp cannot tell).
    virtual std::optional<std::int64_t> doSchemaVersion() { return std::nullopt; }
    /// Hands a batch's message to the host's handler.
    void infoMessage(const InfoMessage& m) const {
        if (infoMessage_) infoMessage_(m);
    }

private:
    void requireOpen() const;

    bool open_ = false;
    std::uint64_t opening_ = 0;
    bool inTransaction_ = false;
    long cursorLocation_ = adUseServer;
    long connectionTimeout_ = 15;
    long commandTimeout_ = 30;
    InfoMessageHandler infoMessage_;
};

/// Rolls back unless committed.
class PALVO_API Transaction {
public:
    explicit Transaction(Connection& conn);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void commit();

private:
    Connection& conn_;
    bool done_ = false;
};

class Recordset;

/// One column of a recordset, seen at its current row.
class PALVO_API Field {
public:
    const std::string& Name() const;
    int Type() const;
    long DefinedSize() const;
    int Precision() const;
    int NumericScale() const;
    /// The value at the current row (or of the row being added).
    /// Throws 3021 when there is no current row.
    const Palvo::Value& Value() const;
    /// Assigns the value of the row being added (after AddNew).
    void Value(Palvo::Value v);
    Field& operator=(Palvo::Value v) {
        Value(std::move(v));
        return *this;
    }

private:
    friend class Recordset;
    friend class Fields;
    Field(Recordset* rs, std::size_t col) : rs_(rs), col_(col) {}
    Recordset* rs_;
    std::size_t col_;
};

/// The columns of a recordset.
class PALVO_API Fields {
public:
    long Count() const;
    /// By position from 0. Throws 3265 when out of range.
    Field operator()(long index) const;
    /// By name, compared without regard to case. Throws 3265 when not found.
    Field operator()(std::string_view name) const;
    Field operator[](long index) const { return (*this)(index); }

private:
    friend class Recordset;
    explicit Fields(Recordset* rs) : rs_(rs) {}
    Recordset* rs_;
};

/// A client-side recordset: Open reads every row, so RecordCount is exact
/// for every cursor type. Closes itself when destroyed.
class PALVO_API Recordset {
public:
    Recordset() = default;
    Recordset(Recordset&&) noexcept = default;
    Recordset& operator=(Recordset&&) noexcept = default;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset() = default;

    /// Runs the query on the connection. Throws Palvo::Error (3705 when already open,
    /// 3704 when the connection is closed, the database's error when the statement fails).
    void Open(const std::string& source, const std::shared_ptr<Connection>& conn,
              long cursorType = adOpenUnspecified, long lockType = adLockUnspecified);
    void Open(const std::string& source, Connection& conn, long cursorType = adOpenUnspecified,
              long lockType = adLockUnspecified);
    /// Open with the query's '?' placeholders bound to `params`, in order (Connection::QueryWith).
    void OpenWith(const std::string& source, Connection& conn, const std::vector<Palvo::Value>& params,
                  long cursorType = adOpenUnspecified, long lockType = adLockUnspecified);
    void Close();
    long State() const { return open_ ? adStateOpen : adStateClosed; }
    /// The next result set of the batch the recordset was opened on, as ADO's
    /// NextRecordset: this recordset is closed and the next one returned open
    /// (with no rows when its query returned none), with this one's cursor and
    /// lock types. When there are no more, a closed recordset (ADO's Nothing).
    /// Only statements that return rows give result sets here (as SQL Server's
    /// under SET NOCOUNT ON); the counts of the others reach OnInfoMessage.
    /// Throws 3704 when this recordset is closed.
    Recordset NextRecordset();

    long CursorLocation() const { return cursorLocation_; }
    void CursorLocation(long v) { cursorLocation_ = v; }
    long CursorType() const { return cursorType_; }
    long LockType() const { return lockType_; }

    long RecordCount() const;
    bool Eof() const;  // ADO's EOF; the name EOF is taken by the C library's macro
    bool Bof() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void MovePrevious();
    long AbsolutePosition() const;  // 1-based; 0 when there is no current row

    Palvo::Fields Fields() { return Palvo::Fields(this); }
    Field Fields(long index) { return Palvo::Fields(this)(index); }
    Field Fields(std::string_view name) { return Palvo::Fields(this)(name); }

    /// Starts a new row (all Null); assign fields, then Update.
    /// Throws 3251 on a read-only recordset.
    void AddNew();
    /// Writes the new row to the table its columns come from.
    void Update();
    /// Drops the row being added.
    void CancelUpdate();

    /// The rows read, for fast bulk readers.
    const ResultTable& table() const;

private:
    friend class Field;
    friend class Fields;
    void requireOpen() const;
    const ColumnInfo& column(std::size_t col) const;
    std::size_t indexOf(std::string_view name) const;
    [[noreturn]] static void closedRecordset();
    [[noreturn]] static void noSuchField(long index);

    static constexpr std::size_t kBeforeFirst = static_cast<std::size_t>(-1);

    Connection* conn_ = nullptr;
    std::shared_ptr<Connection> keep_;
    ResultTable data_;
    std::vector<ResultTable> later_;  // the result sets NextRecordset gives, in order
    std::vector<Palvo::Value> pending_;
    std::vector<bool> assigned_;
    std::size_t pos_ = 0;
    bool open_ = false;
    bool adding_ = false;
    long cursorLocation_ = adUseServer;
    long cursorType_ = adOpenUnspecified;
    long lockType_ = adLockUnspecified;
};

// A caller walking a result's columns asks for each one several times: these
// stay inline so that asking costs a check and a load.
inline void Recordset::requireOpen() const {
    if (!open_) closedRecordset();
}
inline const ColumnInfo& Recordset::column(std::size_t col) const {
    requireOpen();
    return data_.columns[col];
}
inline const std::string& Field::Name() const { return rs_->column(col_).name; }
inline int Field::Type() const { return rs_->column(col_).type; }
inline Field Fields::operator()(long index) const {
    rs_->requireOpen();
    if (index < 0 || static_cast<std::size_t>(index) >= rs_->data_.columns.size())
        Recordset::noSuchField(index);
    return Field(rs_, static_cast<std::size_t>(index));
}

}  // namespace Palvo

#include <functional>

namespace Palvo {

/// Makes a new, unopened connection, as "new Connection" does on the host
/// platform. The ODBC adapter installs one (Palvo::odbc::installConnectionFactory).
using ConnectionFactory = std::function<std::shared_ptr<Connection>()>;
PALVO_API void installConnectionFactory(ConnectionFactory factory);
/// The process's connection factory; empty when none is installed.
PALVO_API ConnectionFactory installedConnectionFactory();
/// Throws Palvo::Error 429 when no factory is installed.
PALVO_API std::shared_ptr<Connection> newConnection();

}  // namespace Palvo
