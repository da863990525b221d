// EXEC in a batch: dynamic SQL (EXEC (text), sp_executesql). The batch engine
// reads the call here and runs the text it gives as a batch of its own, whose
// result sets, messages and rows affected are the caller's.
#pragma once

#include <cstddef>
#include <memory>
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
        Procedure,   // EXEC [@rc =] name arguments (batch_modules.cpp): `procedure` its name
        HelpText,    // EXEC sp_helptext name: values = {the name}
    };
    Kind kind = Kind::Text;
    std::vector<Span> values;  // the text, then (ExecuteSql) the definitions and each argument
    // per argument (ExecuteSql): its parameter's name in lower case ("" when given by position),
    // and whether it is OUTPUT; then the node of the caller's variable it goes back to
    std::vector<std::string> names;
    std::vector<bool> output;
    std::vector<std::size_t> outputAt;
    std::string procedure;                 // Procedure: the name as written, without its schema
    std::vector<std::string> targetTypes;  // per entry of outputAt: the caller's variable's type, "" for none
    // Procedure: the return code goes to a variable (EXEC @rc = ...): an entry of its own after the
    // arguments' in names, output and outputAt
    bool returns = false;
};

/// OUT or OUTPUT after an EXEC's argument or a parameter.
bool isOutput(const Node& n);
/// A variable alone at [b, e): what a name, or an OUTPUT argument, is written as.
bool lone(const Nodes& ns, std::size_t b, std::size_t e);

/// One argument of an EXEC, `[@name =] value [OUTPUT]`: the value's nodes [first, last).
struct ExecArgument {
    std::string name;  // lower case with its '@'; "" when given by position
    std::size_t first = 0;
    std::size_t last = 0;
    bool output = false;
};
/// Reads the argument `item` (number `position` from 0, e the statement's end). `named`: whether one before
/// it was given by name; SQL Server's 119 when this one then is not.
ExecArgument readExecArgument(const Nodes& ns, Span item, std::size_t e, std::size_t position, bool& named);

/// Reads EXEC[UTE] at ns[b] up to e; refuses what it does not run by name.
ExecCall readExec(const Nodes& ns, std::size_t b, std::size_t e);

/// SQL Server's bound on calls within calls.
inline constexpr int kMaxCallNesting = 32;

/// One more level of calls within calls while it lives; SQL Server's 217 beyond kMaxCallNesting.
struct CallLevel {
    CallLevel();
    ~CallLevel();
    CallLevel(const CallLevel&) = delete;
    CallLevel& operator=(const CallLevel&) = delete;
};
/// The levels of calls within calls on this thread (@@NESTLEVEL).
int callNesting();

/// A procedure's body run: RETURN may give a value, which lands in `returned`.
struct ProcedureRun {
    long returned = 0;
    Value value;  // a function's: what RETURN gave, of its declared type
};

/// A batch read for runCompiled, its variables beginning with the parameters.
struct CompiledNested;
/// Reads `text` as a batch of its own whose variables begin with `params`; throws SQL
/// Server's errors for one it would not compile (137, 134, 102, ...). `procedure`: RETURN
/// may give a value.
std::shared_ptr<const CompiledNested> compileNested(std::string_view text,
                                                    const std::vector<Declared>& params, bool procedure,
                                                    const std::string& returns = "int");
/// Runs it through `port`, its parameters holding `values` (converted to their types); on
/// return `values` hold what it left in them. It begins with its caller's SET NOCOUNT and
/// XACT_ABORT; the SET options it changes hold until it returns, as SQL Server restores them after
/// dynamic SQL and procedures. Implemented by the engine (batch.cpp).
BatchResult runCompiled(const CompiledNested& batch, std::vector<Value>& values, BatchPort& port,
                        bool noCount, bool xactAbort, ProcedureRun* procedure);
/// Reads and runs `text` so.
BatchResult runNested(std::string_view text, const std::vector<Declared>& params, std::vector<Value>& values,
                      BatchPort& port, bool noCount, bool xactAbort = false);

/// Adds a nested batch's result sets and rows affected to its caller's.
void addResults(BatchResult&& from, BatchResult& into);

/// Runs an EXEC read by readExec, `args` the values of its expressions: the
/// inner batch's results are added to `into`; `outputs` gets, per argument,
/// the value an OUTPUT parameter went back with (Null for the others).
void runExec(const ExecCall& call, const std::vector<Value>& args, BatchPort& port, BatchResult& into,
             bool noCount, std::vector<Value>& outputs, bool xactAbort = false);

}  // namespace Palvo::dialect
