// User-defined functions: CREATE, ALTER and DROP FUNCTION kept with the procedures,
// and their calls, which the translator writes into the calling statement: a scalar
// function's RETURN expression, an inline table-valued function's query as a derived
// table, each with its parameters as the typed values of the arguments; a scalar body
// of statements as a call of the connection's tsql_udf, which runs it (runFunction), or on
// PostgreSQL of the server's PL/pgSQL function made of it (postgresFunction, postgres.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch_modules.h"
#include "palvo/dialect/batch.h"
#include "palvo/dialect/translator.h"
#include "reader.h"

namespace Palvo::dialect {

/// A function's definition read.
struct UserFunction {
    struct Parameter {
        Declared declared;
        std::string defaultValue;  // the T-SQL of its default; "" when it has none
    };
    std::string name;  // as written, without its schema
    std::string type;  // sys.objects' code: FN (scalar) or IF (inline table-valued)
    std::vector<Parameter> parameters;
    std::string returns;      // FN: the declared type
    std::string body;         // FN: the expression RETURN gives, or its BEGIN ... END; IF: the query
    bool statements = false;  // FN: the body is statements, run by the batch engine per call
};

/// Reads CREATE [OR ALTER] | ALTER FUNCTION text; throws SQL Server's errors for one it would not
/// make (443 and 444 for side effects, 137 for an undeclared variable) and refuses by name what is
/// not run here (a body of statements, multi-statement table-valued functions, WITH options).
UserFunction readFunction(std::string_view text);

/// CREATE [OR ALTER], ALTER or DROP FUNCTION at ns[b].
bool functionStatement(const Nodes& ns, std::size_t b);

/// The declarations of its parameters, for compileNested.
std::vector<Declared> parametersOf(const UserFunction& f);

}  // namespace Palvo::dialect
