// Transactions, RAISERROR, THROW and SQL Server's rules for what an error ends,
// as the batch engine reads and runs them (batch_errors.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "reader.h"
#include "rewriter.h"

namespace Palvo::dialect {

/// BEGIN TRAN [name], COMMIT [TRAN [name]], ROLLBACK [TRAN [name]], SAVE TRAN name.
struct TranStatement {
    enum class Kind { Begin, Commit, Rollback, Save };
    Kind kind = Kind::Begin;
    std::string name;  // as written, without brackets or quotes; "" when none
};

/// The transaction statement at ns[b, e); false when the nodes are none. Refuses
/// by name what the engine does not run (DISTRIBUTED, WITH MARK, a name in a variable).
bool readTran(const Nodes& ns, std::size_t b, std::size_t e, TranStatement& out);

/// A SET option the engine runs, at ns[b] (SET) up to e.
struct Setting {
    enum class Kind {
        XactAbort,    // `on`
        Language,     // `name`: as written
        LockTimeout,  // `value`: milliseconds, -1 to wait as long as the connection waits
        DateFirst,    // `value`: the day weeks begin on, 1 (Monday) to 7 (Sunday)
        DateFormat,   // `name`: mdy, dmy, ymd, ydm, myd or dym; or the value of the variable at `from`
        RowCount,     // `value`: the rows a statement gives or changes at most, 0 all; or the variable's
        AnsiNulls,    // `on`
        Kept,         // a value the embedded database keeps anyway: nothing to do
    };
    Kind kind = Kind::Kept;
    bool on = false;
    std::string name;
    long long value = 0;
    std::size_t from = 0;  // the variable that gives the value when it runs; 0 for none
};
/// False for a SET the engine does not know here; refuses by name a value it cannot keep
/// (SET DATEFIRST 9, ...).
bool readSetting(const Nodes& ns, std::size_t b, std::size_t e, Setting& out);

/// SET DATEFORMAT's order as written (any case, a quoted text too): "dmy" ...; refuses by name one that is
/// none of SQL Server's six.
std::string dateOrderNamed(const std::string& written);

/// SET ROWCOUNT's value from a variable: a whole number from 0; refuses by name one that is none.
long long rowCountOf(const Value& v);
/// Under SET ROWCOUNT n a query keeps its first n rows (0: all).
void keepRows(ResultTable& t, long long limit);
/// Whether the change at ns[b, e) changes one row at most: INSERT ... VALUES of one row.
bool changesOneRow(const Nodes& ns, std::size_t b, std::size_t e);
/// Where SET ROWCOUNT's TOP (n) goes into the UPDATE, DELETE or INSERT ... SELECT at ns[b, e): after the
/// node it returns; e when it takes none (a TOP of its own, a UNION, several rows of VALUES, MERGE, ...).
std::size_t rowCountTopAfter(const Nodes& ns, std::size_t b, std::size_t e);
/// A change (or OPEN) where SET ROWCOUNT would stop it after its rows: refused by name.
[[noreturn]] void refuseUnderRowCount();

/// WAITFOR DELAY's time ('hh:mm[:ss[.fff]]') in milliseconds; SQL Server's 148 for
/// text it cannot read.
long long waitMilliseconds(const std::string& text);

/// RAISERROR (msg, severity, state [, arg ...]) [WITH option ...]: the spans of its
/// message, severity, state and arguments.
struct RaiseStatement {
    std::vector<Span> values;  // message, severity, state, then the arguments
};
RaiseStatement readRaise(const Nodes& ns, std::size_t b, std::size_t e);

/// THROW number, message, state; `values` empty for a bare THROW.
struct ThrowStatement {
    std::vector<Span> values;
};
ThrowStatement readThrow(const Nodes& ns, std::size_t b, std::size_t e);

/// RAISERROR's message: `format` with its printf-style format codes filled from
/// `args` (the first of which may be taken by a width or precision '*'). Throws
/// SQL Server's 2786 for an argument of the wrong kind.
std::string raiseMessage(const std::string& format, const std::vector<Value>& args);

/// What an error ends outside TRY, SET XACT_ABORT OFF.
enum class ErrorEnds {
    Statement,           // the batch goes on
    Batch,               // the batch ends; an open transaction stays open
    BatchAndTransaction  // the batch ends and an open transaction is rolled back
};
ErrorEnds errorEnds(long number);

/// SQL Server's severity of its error `number`.
int severityOf(long number);

}  // namespace Palvo::dialect
