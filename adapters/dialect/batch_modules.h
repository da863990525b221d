// Stored procedures in a batch: CREATE, ALTER and DROP PROCEDURE, kept in the
// database through the port, and EXEC of one, whose body runs as a batch of its
// own with its parameters as its first variables.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch_procs.h"
#include "palvo/dialect/batch.h"
#include "reader.h"

namespace Palvo::dialect {

/// A procedure's definition read.
struct Procedure {
    struct Parameter {
        Declared declared;
        std::string defaultValue;  // the T-SQL of its default; "" when it has none
        bool output = false;
    };
    std::string name;  // as written, without its schema
    std::vector<Parameter> parameters;
    std::string body;  // the text after AS
};

/// Reads CREATE [OR ALTER] | ALTER PROC[EDURE] text, from its first word to its end;
/// throws SQL Server's errors for one it would not compile, and refuses WITH options by name.
Procedure readProcedure(std::string_view text);

/// CREATE, ALTER, DROP PROCEDURE (or FUNCTION) read when the batch is: what runs when it is reached.
struct ModuleChange {
    enum class Kind { Create, Alter, CreateOrAlter, Drop };
    Kind kind = Kind::Create;
    bool ifExists = false;
    std::vector<std::string> names;  // Create, Alter: the one; Drop: each, as written
    std::string definition;          // as stored: CREATE ..., the text to the batch's end
    std::string type = "P";          // sys.objects' code: P, or FN / IF (a function; Drop: FN for any)
};

/// Reads the statement [b, e) of the batch `text` (`first`: it is the batch's first statement).
ModuleChange readModuleChange(const StatementTree& tree, std::size_t b, std::size_t e, bool first);
void runModuleChange(const ModuleChange& change, BatchPort& port);

/// Reads EXEC [@rc =] name arguments (or the name alone) at ns[b] up to e.
ExecCall readProcedureCall(const Nodes& ns, std::size_t b, std::size_t e);
/// ERROR_PROCEDURE() of an error being caught: the procedure it came up from ("dbo.p"), or else the one
/// running; "" in a host's batch. Asking forgets where the last error came up from.
std::string errorProcedure();
/// Forgets it without asking: a host's batch begins.
void forgetErrorProcedure();
/// An error comes up from the module `name` (a function's body): where it was raised, unless a module
/// inside it was.
void raisedInModule(const std::string& name);

/// Runs a call read by readProcedureCall, as runExec runs its calls.
void runProcedure(const ExecCall& call, const std::vector<Value>& args, BatchPort& port, BatchResult& into,
                  bool noCount, std::vector<Value>& outputs, bool xactAbort);

/// At ns[k], [db.][schema.]name: k moves to its last part.
void skipQualifiers(const Nodes& ns, std::size_t& k, std::size_t e);

}  // namespace Palvo::dialect
