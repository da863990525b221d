// The reader: T-SQL text read into statements, each its parentheses tree and
// its kind. Every target renders from this; a batch engine steps through it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

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
    Drop,              // DROP TABLE | VIEW | INDEX
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
ReadBatch readBatch(std::string_view tsql);

/// The kind of one statement's nodes (without its ';').
StatementKind statementKind(const Nodes& ns);

}  // namespace Palvo::dialect
