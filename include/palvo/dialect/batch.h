// T-SQL batches: several statements, variables and control flow, as hosts send
// them to SQL Server in one call. The engine reads the batch into its statements
// and steps through them; each query or change goes to the database through a
// port, as T-SQL its connection translates as it does a statement of its own.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/export.h"

namespace Palvo::dialect {

class CursorSet;

/// What the batch engine asks of a connection.
class PALVO_API BatchPort {
public:
    virtual ~BatchPort();
    /// The translation of one statement, made as the connection makes its own
    /// (its cache, its catalogue). A variable the statement reads is one of
    /// Translation::variables, rendered as the parameter of that number.
    virtual std::shared_ptr<const Translation> translate(const std::string& tsql) = 0;
    /// The name of the database the statements are translated for (Target::name): what the
    /// engine keeps of a translated procedure is kept apart for each.
    virtual std::string_view targetName() const = 0;
    /// Runs a statement that returns no rows, `values` bound to its variables in
    /// the order of Translation::variables; the rows it changed, -1 when it changes none.
    virtual long execute(const std::string& tsql, const std::shared_ptr<const Translation>& tr,
                         const std::vector<Value>& values) = 0;
    /// Runs a query with its variables bound likewise; every row.
    virtual ResultTable query(const std::string& tsql, const std::shared_ptr<const Translation>& tr,
                              const std::vector<Value>& values) = 0;
    /// Before each round of a WHILE loop: throws when the batch has run past its time.
    virtual void loopRound() {}
    /// The text of a PRINT.
    virtual void print(const std::string& text);
    /// The rows a statement returned or changed, as SQL Server counts them for
    /// its client; not told under SET NOCOUNT ON.
    virtual void rowsCounted(long rows);

    // Transactions: one count (@@TRANCOUNT) that the connection's own BeginTrans,
    // CommitTrans and RollbackTrans share. The defaults refuse them by name.
    virtual int tranCount();
    /// BEGIN TRAN [name]: adds 1; the transaction begins at 0.
    virtual void beginTran(const std::string& name);
    /// COMMIT: takes 1 off and commits at 0; 3902 when there is none.
    virtual void commitTran();
    /// ROLLBACK [name]: everything back to 0 ("" or the outer transaction's name),
    /// or back to the savepoint of that name; 3903 or 6401 when there is none.
    virtual void rollbackTran(const std::string& name);
    /// SAVE TRAN name; 628 outside a transaction.
    virtual void saveTran(const std::string& name);
    /// After each statement: what @@ERROR and @@ROWCOUNT give the next.
    virtual void statementEnded(long error, long rows);
    /// The error a CATCH block handles (ERROR_NUMBER() ... read it; nullptr outside one),
    /// and whether the transaction can no longer commit (XACT_STATE() -1).
    struct Caught {
        long number = 0;
        std::string message;
        int severity = 16;
        int state = 1;
        int line = 1;
        std::string procedure;  // ERROR_PROCEDURE(): where it was raised ("dbo.p"); "" in a batch
    };
    virtual void catching(const Caught* error);
    virtual void doomed(bool uncommittable);
    /// The error as the host would see it: SQL Server's number and the connection's language.
    virtual Error spoken(const Error& e);
    /// SET LANGUAGE name: the connection's messages and date names from now on.
    virtual void setLanguage(const std::string& name);
    /// The connection's language by SQL Server's name ("" when the port keeps none).
    virtual std::string language();
    /// SET LOCK_TIMEOUT: how long a statement waits for another connection's lock (-1: as the connection
    /// does).
    virtual void lockTimeout(long long milliseconds);
    /// WAITFOR DELAY: sleeps, within the batch's time; throws when its time runs out first.
    virtual void wait(long long milliseconds);
    /// SET DATEFIRST: the day the connection's weeks begin on from now on, 1 (Monday) to 7 (Sunday).
    virtual void setDateFirst(int day);
    virtual int dateFirst();
    /// SET DATEFORMAT: the order ("dmy", ...) the connection reads a date's numbers in from now on.
    virtual void setDateFormat(const std::string& order);
    virtual std::string dateFormat();
    /// SET ROWCOUNT: the rows each statement returns at most from now on; 0 for all.
    virtual void setRowCount(long long rows);
    virtual long long rowCount();
    /// SET ANSI_NULLS: whether `= NULL` and `<> NULL` compare as ISO says (on) or as equality with Null
    /// (off); the port translates each statement under it (kAnsiNullsOff).
    virtual void setAnsiNulls(bool on);
    virtual bool ansiNulls();

    // Cursors (batch_cursors.cpp). The connection's own: its GLOBAL cursors, which live as long as it
    // does (nullptr: it keeps none, and cursors are refused by name), @@FETCH_STATUS and @@CURSOR_ROWS.
    virtual std::shared_ptr<CursorSet>* globalCursors();
    virtual void setFetchStatus(int status);
    virtual int fetchStatus();
    virtual void setCursorRows(long rows);

    // Stored procedures, functions and triggers: their definitions, kept in the database.
    struct Module {
        std::string name;        // as created
        std::string type;        // sys.objects' code: P, FN, IF, TR
        std::string parent;      // a trigger's table; "" otherwise
        std::string definition;  // the CREATE text
    };
    /// The module of that name (without regard to case); none when there is none. The defaults refuse
    /// modules by name.
    virtual std::optional<Module> module(const std::string& name);
    /// Stores the module, in place of the one of its name when there is one.
    virtual void storeModule(const Module& m);
    virtual void dropModule(const std::string& name);
    /// Whether a table or view of that name exists.
    virtual bool tableExists(const std::string& name);
    /// The connection's temporary tables (#t), as stored.
    virtual std::vector<std::string> temporaryTables();
    /// After a statement's error: whether the connection ended the batch with it (a trigger that
    /// ended the transaction, or failed); asking clears it.
    virtual bool batchEnded() { return false; }
};

/// What a batch gave its caller.
struct PALVO_API BatchResult {
    /// The first result set; no columns when no statement returned one.
    ResultTable first;
    bool hasResult = false;
    /// The result sets after the first, in order.
    std::vector<ResultTable> later;
    /// The rows the batch's INSERT, UPDATE and DELETE statements changed, together; -1 when none ran.
    long affected = -1;
};

/// A WHILE loop stops the batch after this many rounds when the connection has
/// no timeout (CommandTimeout 0) to stop it.
inline constexpr long long kMaxLoopRounds = 10'000'000;

/// A T-SQL batch read and checked: its statements, variables and control flow.
class PALVO_API Batch {
public:
    /// Reads the batch. Throws Palvo::Error before anything runs: NotSupported
    /// naming a construct the engine does not run (GOTO, cursors, WAITFOR
    /// TIME, ...), and SQL Server's errors for
    /// a batch it would not run (an undeclared variable 137, one declared twice
    /// 134, BREAK outside a loop 135, syntax 102 and 156, ...).
    explicit Batch(std::string_view tsql);
    ~Batch();
    Batch(Batch&&) noexcept;
    Batch& operator=(Batch&&) noexcept;

    /// Translates every statement through the port (so that any refusal comes
    /// before anything runs), then runs them in order. An error goes to the
    /// CATCH block around it; outside one it ends its statement or the batch
    /// as SQL Server's rules say (batch_errors.h). What ran stays done; when the
    /// batch has ended, its first error not caught is thrown.
    BatchResult run(BatchPort& port) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Whether T-SQL text is a batch rather than one statement: several
/// statements, or a statement of the batch language (DECLARE, SET, IF, WHILE,
/// BEGIN ... END, PRINT, ...). Throws as the reader does for text it cannot read.
PALVO_API bool isBatch(std::string_view tsql);
/// The statements of T-SQL text as the batch engine reads them (an IF ... ELSE or
/// BEGIN ... END counts one); 0 for blanks and comments.
PALVO_API std::size_t statementCount(std::string_view tsql);
/// Runs the user-defined scalar function `name`, whose body is statements, through the port with
/// `args` (converted to its parameters' types); what its RETURN gives, of its declared type. A call
/// is one more level of calls within calls (217 beyond 32).
PALVO_API Value runFunction(BatchPort& port, const std::string& name, std::vector<Value> args);
/// Whether CREATE FUNCTION text makes a scalar function whose body is statements (one that runFunction
/// runs per call) rather than one RETURN of an expression. Throws as CREATE FUNCTION does for text it
/// would not make.
PALVO_API bool functionRunsStatements(std::string_view definition);
/// For PostgreSQL: CREATE FUNCTION of the PL/pgSQL function a T-SQL scalar function whose body is
/// statements is on the server, which a call (palvo_udf) renders; the functions its body calls as the
/// catalogue has them. Refuses by name a body it cannot write.
PALVO_API std::string postgresFunction(std::string_view definition, Catalogue& catalogue);
/// The quoted, schema-qualified name of that PL/pgSQL function for the T-SQL function `name`.
PALVO_API std::string postgresFunctionName(std::string_view name);
/// The statement with each call of a user-defined function the catalogue has written in its place (a
/// scalar function's RETURN expression, an inline table-valued function's query as a derived table);
/// none when it calls none. Throws SQL Server's 4121, 208, 313, 8144 and 217 for a call that fails.
PALVO_API std::optional<std::string> expandFunctions(std::string_view tsql, Catalogue& catalogue);
/// The levels of procedure calls and dynamic SQL within one another running on this thread
/// (@@NESTLEVEL): 0 in a host's batch.
PALVO_API int nestLevel();

/// CREATE [OR ALTER] TRIGGER or ALTER TRIGGER, read.
struct PALVO_API TriggerDefinition {
    std::string name;   ///< without its schema
    std::string table;  ///< the table it is on, as written, without its schema
    bool onInsert = false;
    bool onUpdate = false;
    bool onDelete = false;
    bool create = true;    ///< CREATE; false for ALTER
    bool orAlter = false;  ///< CREATE OR ALTER
    std::string body;      ///< the text after AS: the rest of the batch
};
/// Whether T-SQL text is CREATE [OR ALTER], ALTER or DROP TRIGGER.
PALVO_API bool isTriggerStatement(std::string_view tsql);
/// Reads CREATE [OR ALTER] TRIGGER [dbo.]name ON T AFTER|FOR INSERT[, UPDATE][, DELETE] AS ...
/// Throws NotSupported naming INSTEAD OF, DDL and database triggers and what a body may not
/// hold here (COLUMNS_UPDATED(), OUTPUT); SQL Server's 102 for text it cannot read.
PALVO_API TriggerDefinition readTrigger(std::string_view tsql);
/// DROP TRIGGER [IF EXISTS] name [, ...], read.
struct PALVO_API DroppedTriggers {
    bool ifExists = false;
    std::vector<std::string> names;
};
PALVO_API DroppedTriggers readDropTrigger(std::string_view tsql);
/// The columns an UPDATE sets (ASCII lower case), or every column (an INSERT).
struct PALVO_API UpdatedColumns {
    bool all = false;
    std::vector<std::string> columns;
};
/// The columns the SET list of a T-SQL UPDATE names, lower case.
PALVO_API std::vector<std::string> updatedColumns(std::string_view tsqlUpdate);
/// A trigger's body as its firing runs it: the pseudo tables `inserted` and `deleted`
/// (where they are named as tables, or qualify a column) become the given names, and
/// UPDATE(column) is true or false by `updated`.
PALVO_API std::string triggerBody(std::string_view body, std::string_view inserted, std::string_view deleted,
                                  const UpdatedColumns& updated);

}  // namespace Palvo::dialect
