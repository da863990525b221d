// Cursors in a batch: DECLARE ... CURSOR, OPEN, FETCH, CLOSE and DEALLOCATE, read
// here and run over the rows the cursor's query gave at OPEN (batch_cursors.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "palvo/dialect/batch.h"
#include "rewriter.h"

namespace Palvo::dialect {

/// A cursor statement read.
struct CursorStatement {
    enum class Kind { Declare, Open, Fetch, Close, Deallocate };
    enum class Move { Next, Prior, First, Last, Absolute, Relative };
    Kind kind = Kind::Open;
    std::string name;  // lower case
    std::string written;
    bool global = false;   // Declare: GLOBAL, or neither LOCAL nor GLOBAL; the others: GLOBAL before the name
    bool scroll = false;   // Declare: any FETCH; else NEXT alone
    bool counted = false;  // Declare: @@CURSOR_ROWS tells its rows (STATIC, KEYSET); else -1
    Span query;            // Declare: its SELECT, without FOR READ ONLY or FOR UPDATE
    Move move = Move::Next;
    Span amount;                       // Fetch ABSOLUTE, RELATIVE: its number
    bool into = false;                 // Fetch: INTO variables, else the row as a result set
    std::vector<std::size_t> targets;  // Fetch: the nodes of the INTO variables
};

/// DECLARE name CURSOR ... at ns[b] (up to e); false for a DECLARE of variables. Refuses by
/// name what it does not run (DYNAMIC).
bool readCursorDeclaration(const Nodes& ns, std::size_t b, std::size_t e, CursorStatement& out);
/// OPEN, FETCH, CLOSE or DEALLOCATE at ns[b] (up to e); false for any other statement.
bool readCursorStatement(const Nodes& ns, std::size_t b, std::size_t e, CursorStatement& out);
/// Refuses UPDATE or DELETE ... WHERE CURRENT OF by name.
void refuseCurrentOf(const Nodes& ns, std::size_t b, std::size_t e);

/// A cursor declared, and while it is open the rows its query gave then.
struct Cursor {
    std::string written;
    bool scroll = false;
    bool counted = false;
    std::string sql;  // its query, after the DECLAREs of the variables it reads
    // the values those variables had when it was declared, by name: its query reads them at OPEN
    std::vector<std::pair<std::string, Value>> values;
    bool open = false;
    ResultTable rows;
    std::size_t position = 0;  // the row fetched last, from 1; 0 before the first, rows + 1 after the last
};

/// Cursors by their names in lower case: a batch's LOCAL ones, or the connection's GLOBAL ones.
class CursorSet {
public:
    std::unordered_map<std::string, std::shared_ptr<Cursor>> cursors;
    const Cursor* lastOpened = nullptr;  // what @@CURSOR_ROWS tells of
};

/// The cursor `name` (lower case) as a statement finds it: LOCAL first, unless it says GLOBAL;
/// SQL Server's 16916 when there is none.
std::shared_ptr<Cursor> findCursor(CursorSet& locals, CursorSet* globals, const CursorStatement& st);
/// DECLARE: 16915 when its scope already has one of that name.
void declareCursor(CursorSet& scope, const CursorStatement& st, std::string sql,
                   std::vector<std::pair<std::string, Value>> values);
/// OPEN: runs its query (16905 when it is open).
void openCursor(Cursor& c, CursorSet& globals, BatchPort& port);
/// FETCH: the row it moves to, from 0; -1 when it moves off the rows (16917 when it is not
/// open, 16911 for a move a forward-only cursor does not make). Sets @@FETCH_STATUS.
long fetchCursor(Cursor& c, CursorStatement::Move move, long long amount, BatchPort& port);
/// CLOSE (16917 when it is not open); DEALLOCATE closes it and forgets it.
void closeCursor(Cursor& c, CursorSet& globals, BatchPort& port);
void deallocateCursor(CursorSet& locals, CursorSet* globals, const CursorStatement& st, BatchPort& port);

/// Whether `v` is already what assignment to a variable of `type` would make of it (then FETCH
/// INTO need not convert it).
bool fitsAsIs(const Value& v, const std::string& type);

}  // namespace Palvo::dialect
