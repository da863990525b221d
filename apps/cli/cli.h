// The palvo command-line tool, as a function the tests can call.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/grid.h"
#include "palvo/spooled_grid.h"

namespace Palvo::cli {

/// The database file the tool uses when it is given none.
inline constexpr const char* kDefaultDb = "palvo.db";

/// Where a command's connection comes from: --db (a file, an SQLite connection
/// string or an ODBC one) or --odbc CONNECTION, which is taken as --db is.
struct ConnectionOptions {
    std::string db;
    std::string odbc;
};

/// Opens the connection the options name: over ODBC for an ODBC connection string
/// (Driver=, DSN=, FileDSN=), else the embedded file, created when missing.
/// Throws Palvo::Error, also for a string that names no ODBC driver (refusedConnection).
std::shared_ptr<Connection> openConnection(const ConnectionOptions& options);

/// Whether `db`, given as --db, is an ODBC connection string.
bool isOdbcConnection(const std::string& db);

/// Why `db`, given as --db, is refused ("" when it is not): a connection string
/// with Provider= or Server= but no Driver= or DSN=, which read as an SQLite one
/// would make a new, empty file named after its Database=. The string is not
/// echoed: it may hold a password.
std::string refusedConnection(const std::string& db);

/// Why a report or a call must not run on the embedded database `db` (a file
/// or an SQLite connection string) with the output `out` ("" when it may): the
/// database must exist, since opening a mistyped name would make an empty one,
/// and `out` must not be that file nor its -wal, -shm or -journal file under
/// any name or link (by the file where it exists, by the name where it does
/// not), which the output would replace. An ODBC database is not checked here.
std::string refusedFiles(const std::string& db, const std::string& out = "");

/// While it lives, SIGINT, SIGTERM and SIGHUP remove the temporary files of
/// unfinished output (removeUncommittedFiles) and then end the process as
/// they would have; the handlers before it come back when it goes.
class SignalCleanup {
public:
    SignalCleanup();
    ~SignalCleanup();
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

/// Prints a failure as every command prints it: one line "palvo: DESCRIPTION".
void printFailure(std::ostream& err, std::string_view description);

/// Runs a command's body and returns its status. A Palvo::Error prints its
/// description, any other exception its what(), through printFailure; either
/// gives status 1. The session's connection is let go afterwards in every case.
int runGuarded(std::ostream& err, const std::function<int()>& body);

/// Opens the database `db` (openConnection) as the session's connection, fills `grid`
/// with the statement's rows as sFillTable fills a grid (running numbers
/// first), reading them one at a time into the grid's file, and lets the
/// connection go; with `fitWidths` the columns are sized to their texts as
/// sFillTable sizes them (ControlSize, with the thread's text measurer).
/// False, with the failure on err (printFailure), when the fill failed.
bool fillReportGrid(const std::string& db, const std::string& statement, SpooledGrid& grid, std::ostream& err,
                    bool fitWidths = false);

/// Whether a statement returns rows: a select, possibly after comments and parentheses, or a
/// with whose common table expressions a select uses (not an insert, update or delete).
bool returnsRows(const std::string& sql);

/// A batch of the script `palvo sql --file` runs: its text and the line it starts on (from 1).
struct ScriptBatch {
    std::string text;
    std::size_t line;
};
/// The batches of a script: a line that holds GO alone (any case, blanks around it)
/// ends one; batches of blank lines are left out. GO never reaches the database.
std::vector<ScriptBatch> splitSqlScript(const std::string& script);
/// A script file read and split; throws std::runtime_error when it cannot be read.
std::vector<ScriptBatch> readSqlScript(const std::string& path);

/// Runs `palvo ARGS...`; returns the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
