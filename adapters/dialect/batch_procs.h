// EXEC in a batch: dynamic SQL (EXEC (text), sp_executesql). The batch engine
// reads the call here and runs the text it gives as a batch of its own, whose
// result sets, messages and rows affected are the caller's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/dialect/batch.h"
#include "reader.h"

namespace Palvo::dialect {

/// An EXEC statement read: the expressions the engine evaluates before the call, in order.
struct ExecCall {
    enum class Kind {
        Text,        // EXEC (text): values = {the text}
        ExecuteSql,  // EXEC sp_executesql stmt [, definitions [, arguments]]
    };
    Kind kind = Kind::Text;
    std::vector<Span> values;  // the text, then (ExecuteSql) the definitions and each argument
    // per argument (ExecuteSql): its parameter's name in lower case ("" when given by position),
    // and whether it is OUTPUT; then the node of the caller's variable it goes back to
    std::vector<std::string> names;
    std::vector<bool> output;
    std::vector<std::size_t> outputAt;
};

/// Reads EXEC[UTE] at ns[b] up to e; refuses what it does not run by name.
ExecCall readExec(const Nodes& ns, std::size_t b, std::size_t e);

/// SQL Server's bound on calls within calls.
inline constexpr int kMaxCallNesting = 32;

/// Runs `text` as a batch of its own through `port`: its variables begin with
/// `params`, holding `values` (converted to their types); on return `values`
/// hold what the batch left in them. It begins with its caller's SET NOCOUNT and XACT_ABORT; what
/// it sets of them holds until it returns, as SQL Server restores them after dynamic SQL.
/// Implemented by the engine (batch.cpp).
BatchResult runNested(std::string_view text, const std::vector<Declared>& params, std::vector<Value>& values,
                      BatchPort& port, bool noCount, bool xactAbort = false);

/// Runs an EXEC read by readExec, `args` the values of its expressions: the
/// inner batch's results are added to `into`; `outputs` gets, per argument,
/// the value an OUTPUT parameter went back with (Null for the others).
void runExec(const ExecCall& call, const std::vector<Value>& args, BatchPort& port, BatchResult& into,
             bool noCount, std::vector<Value>& outputs, bool xactAbort = false);

}  // namespace Palvo::dialect
