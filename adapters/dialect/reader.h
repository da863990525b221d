// The reader: T-SQL text read into statements, each its parentheses tree and
// its kind. Every target renders from this; a batch engine steps through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "palvo/error.h"
#include "rewriter.h"

namespace Palvo::dialect {

enum class StatementKind {
    Select,
    With,  // WITH ... before a query, INSERT, UPDATE or DELETE
    Insert,
    Update,
    Delete,
    Truncate,
    CreateTable,
    CreateView,
    CreateIndex,
    Drop,              // DROP TABLE | VIEW | INDEX | PROC[EDURE]
    AlterTableAdd,     // ALTER TABLE T ADD ...
    AlterTableColumn,  // ALTER TABLE T DROP ... | ALTER COLUMN ...
    Rename,            // [EXEC[UTE]] sp_rename
    Execute,           // EXEC[UTE] of any other procedure
    // the batch language
    Declare,
    Set,
    If,
    While,
    Begin,  // BEGIN ... END, BEGIN TRAN
    Return,
    Other,  // anything else; targets refuse it by its first words
};

struct ReadStatement {
    StatementKind kind = StatementKind::Other;
    std::size_t begin = 0;  // where it starts in the batch's text
    std::size_t end = 0;    // where its ';' is, else the text's end
    Nodes nodes;            // without the ';'
};

/// A batch read: its statements in order, empty ones (";;") left out.
struct ReadBatch {
    std::string_view text;
    std::vector<ReadStatement> statements;
};

/// Reads T-SQL; throws NotSupported for what cannot be tokenized or grouped
/// (an unterminated string, unbalanced or too deeply nested parentheses).
/// Statements end at ';' or where the next one starts (see readStatementTree);
/// an IF, WHILE or BEGIN ... END block is one statement here.
ReadBatch readBatch(std::string_view tsql);

/// A statement as the batch's control flow reads it: the nodes [first, last)
/// of the batch's top level, without a ';'.
struct BatchStatement {
    enum class Form {
        Plain,  // one statement: a query, DECLARE, SET, PRINT, BREAK, ...
        Block,  // BEGIN ... END: parts are its statements
        If,     // IF condition parts[0] [ELSE parts[1]]
        While,  // WHILE condition parts[0]
        Try,    // BEGIN TRY parts[0] END TRY BEGIN CATCH parts[1] END CATCH: both Blocks
    };
    Form form = Form::Plain;
    StatementKind kind = StatementKind::Other;
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t conditionEnd = 0;  // If, While: the condition is [first + 1, conditionEnd)
    std::vector<BatchStatement> parts;
};

/// A batch read into its statements as SQL Server takes them: separated by ';'
/// or by nothing (`select 1 select 2` is two, `insert ... select ...` and
/// `select ... union select ...` one).
struct StatementTree {
    std::string_view text;
    Nodes nodes;  // the top level of the batch
    std::vector<BatchStatement> statements;
    /// Where node `k` starts in the text; the text's end past the last node.
    std::size_t offsetOf(std::size_t k) const { return k < nodes.size() ? nodes[k].tok.offset : text.size(); }
};

/// Reads a batch; throws as readBatch does, and SQL Server's syntax errors (102,
/// 156) for an END, ELSE or block that does not fit.
StatementTree readStatementTree(std::string_view tsql);

/// SQL Server's 102, "Incorrect syntax near '...'.", at the node.
[[noreturn]] void syntaxNear(const Node& n);

/// The kind of one statement's nodes (without its ';').
StatementKind statementKind(const Nodes& ns);

/// At ns[k], CREATE [OR ALTER] or ALTER of a view, procedure, function or trigger: which
/// ("view", "procedure", "proc", "function", "trigger"); nullptr for any other statement.
const char* moduleWord(const Nodes& ns, std::size_t k);
/// CREATE [OR ALTER], ALTER or DROP of a procedure at ns[b] (batch_modules.cpp).
bool procedureStatement(const Nodes& ns, std::size_t b);

/// One variable a DECLARE makes: its name in lower case with its '@', its type
/// as SQL Server gives it ("varchar(1)" for a varchar without a length), and
/// the nodes of its value, [valueFirst, valueLast), empty when it has none.
struct Declared {
    std::string name;
    std::string written;  // the name as written
    std::string type;
    std::size_t valueFirst = 0;
    std::size_t valueLast = 0;
};

/// The variables of the DECLARE at ns[b] (up to e). Refuses a table variable (which
/// stands alone: tableVariableDeclaration) and cursors by name, text types and
/// unknown ones as SQL Server does (2739, 2715), and a declaration it cannot read
/// as a syntax error (102).
std::vector<Declared> readDeclarations(const Nodes& ns, std::size_t b, std::size_t e);

/// Table variables (batch_temp.cpp): each is the temporary table tableVariableTable(key)
/// (T-SQL, "[#@t]") while its batch runs. Lower-case name with '@' -> the name as written.
using TableVariables = std::unordered_map<std::string, std::string>;
struct TableVariable {
    std::string written;
    std::string key;
    const Node* columns = nullptr;  // the group of its column definitions
};
std::string tableVariableTable(const std::string& key);
/// Whether the DECLARE at ns[b] (up to e) declares a table variable; `out` then tells it.
bool tableVariableDeclaration(const Nodes& ns, std::size_t b, std::size_t e, TableVariable& out);
/// The text [from, to) of the nodes [b, e), each table variable where it names a table
/// (after FROM, JOIN, INTO, UPDATE, ...) written as its table.
std::string withTableVariables(std::string_view text, const Nodes& ns, std::size_t b, std::size_t e,
                               std::size_t from, std::size_t to, const TableVariables& tables);
/// The error with each table variable's table named as the variable (`#@t` is `@t`).
Error namingTableVariables(const Error& e);
/// Throws SQL Server's error for the variable at ns[k] where it is not declared as its
/// place asks: 1087 for a table, 137 for a value (`scalar`: declared as a value).
void checkVariableUse(const Nodes& ns, std::size_t k, bool scalar, const TableVariables& tables);

/// CREATE [OR ALTER], ALTER or DROP TRIGGER text (isTriggerStatement): a change of the
/// schema the connection makes (batch_triggers.cpp).
Translation triggerChange(std::string_view text);

/// Whether the nodes read a variable (an @name; @@ names are functions).
bool readsVariables(const Nodes& ns);

/// A DECLARE of variables without values: their types go into `types` (lower-case name -> type).
/// False for any other statement, and for one the batch engine reports as wrong.
bool declaresOnly(const ReadStatement& s, std::unordered_map<std::string, std::string>& types);
/// Whether every variable the nodes read is one of `types`.
bool declaredVariables(const Nodes& ns, const std::unordered_map<std::string, std::string>& types);
/// Whether the nodes hold a parameter mark (?).
bool hasParameter(const Nodes& ns);
/// What a batch engine runs rather than a target alone: DECLARE, SET, IF, WHILE, blocks, PRINT,
/// transactions, procedures, cursors, and any statement that reads a variable.
bool batchLanguage(const ReadStatement& s);

}  // namespace Palvo::dialect
