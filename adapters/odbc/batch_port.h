// T-SQL batches on a server the library translates for (PostgreSQL): the batch engine
// (palvo/dialect/batch.h) steps through them, each statement translated and run on the
// connection, control flow, variables and transactions kept here.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "palvo/data.h"
#include "palvo/dialect/batch.h"
#include "palvo/dialect/translator.h"

namespace Palvo::odbc::detail {

/// What the port asks of its connection: statements already in the server's SQL, and its transaction.
class ServerLink {
public:
    virtual ~ServerLink() = default;
    /// Runs a statement; the rows it changed, -1 when it changes none.
    virtual long change(const std::string& sql, const std::vector<Value>& params) = 0;
    /// Runs a query; its rows.
    virtual ResultTable rows(const std::string& sql, const std::vector<Value>& params) = 0;
    /// Begins the server's transaction (the driver's autocommit off).
    virtual void begin() = 0;
    /// Ends it by COMMIT (true) or ROLLBACK.
    virtual void end(bool commit) = 0;
    /// The command timeout in seconds (0: none).
    virtual long timeoutSeconds() const = 0;
};

/// What batches leave on their connection for the next: @@TRANCOUNT and its savepoints, SET ROWCOUNT,
/// GLOBAL cursors. Between batches @@ERROR, @@ROWCOUNT and the CATCH block's error are reset.
struct BatchSession {
    int tranCount = 0;
    std::string tranName;
    std::vector<std::string> savepoints;
    long lastError = 0;
    long lastRowCount = 0;
    std::optional<dialect::BatchPort::Caught> caught;
    bool uncommittable = false;
    int fetchStatus = -1;
    long cursorRows = 0;
    long long rowLimit = 0;
    bool inBatch = false;
    std::shared_ptr<dialect::CursorSet> cursors;
    std::map<std::string, std::shared_ptr<const dialect::Batch>> batches;  // read once, run again
    std::unordered_set<std::string> callFree;  // texts with no shape of a function call: not read again
};

/// Whether a table or view of that name (without regard to case) is the connection's.
bool tableExists(ServerLink& link, const std::string& name);

/// The T-SQL with each call of a user-defined function written in, as the functions stand on the server
/// now (palvo_modules); none when it calls none. A text with nothing shaped like a call is remembered in
/// the session and not read again.
std::optional<std::string> withFunctions(ServerLink& link, BatchSession& session, const std::string& sql);

/// The host's BeginTrans, CommitTrans and RollbackTrans, counted with the batches' BEGIN TRAN.
void beginTran(ServerLink& link, BatchSession& session, const std::string& name);
void commitTran(ServerLink& link, BatchSession& session);
void rollbackTran(ServerLink& link, BatchSession& session, const std::string& name);

/// Whether a translated text goes through the batch engine rather than straight to the server.
bool runsAsBatch(const dialect::Translation& tr, const BatchSession& session);

/// Runs a T-SQL batch; `tell` hears its PRINTs and row counts. Host parameters (?) are refused.
dialect::BatchResult runServerBatch(ServerLink& link, BatchSession& session, dialect::Translator& translator,
                                    const std::string& sql, const std::vector<Value>& params,
                                    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell);

}  // namespace Palvo::odbc::detail
