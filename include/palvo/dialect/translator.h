// SQL Server (T-SQL) statements translated for a database (target.h): SQLite, SQL Server.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "palvo/export.h"

namespace Palvo::dialect {

/// A change of a table SQLite cannot make by one statement: the connection makes
/// it from the schema it finds (rebuilding the table, its checks and indexes).
struct PALVO_API SchemaChange {
    enum class Kind { None, DropColumn, AlterColumn, RenameTable, RenameColumn, Trigger, DropTrigger };
    Kind kind = Kind::None;
    std::string table;       ///< as the statement names it
    std::string column;      ///< the column dropped, altered or renamed
    std::string newName;     ///< of a rename
    std::string definition;  ///< AlterColumn: the column's SQLite definition, its name first;
                             ///< Trigger, DropTrigger: the T-SQL text
};

/// The declared types of the columns of the tables and views a statement names,
/// which give column references the number types casts give (an int column's
/// arithmetic overflows as int's, a decimal column's is exact). A translator
/// given one keeps translations that depend on it: clear its cache when the
/// schema changes.
class PALVO_API Catalogue {
public:
    /// Column name in ASCII lower case -> declared type as stored ("int", "decimal real(18,2)").
    using Columns = std::unordered_map<std::string, std::string>;
    virtual ~Catalogue() = default;
    /// The columns of the table or view of that name (ASCII lower case); nullptr when there is none.
    virtual const Columns* columns(const std::string& lowerName) = 0;
    /// Their names (ASCII lower case) in the order `*` gives them; nullptr when not known.
    virtual const std::vector<std::string>* columnOrder(const std::string& lowerName) {
        (void)lowerName;
        return nullptr;
    }
    /// The same names as the table declares them (case kept); nullptr when not known.
    virtual const std::vector<std::string>* columnNames(const std::string& lowerName) {
        (void)lowerName;
        return nullptr;
    }
    /// A user-defined function: sys.objects' type (FN, IF) and its CREATE text.
    struct FunctionDefinition {
        std::string type;
        std::string definition;
    };
    /// The function of that name (ASCII lower case); nullptr when there is none. A translation
    /// that calls one holds while the schema does (Translation::usesCatalogue).
    virtual const FunctionDefinition* function(const std::string& lowerName) {
        (void)lowerName;
        return nullptr;
    }
    /// Whether the database has any user-defined function.
    virtual bool hasFunctions() { return false; }
};

/// The types CREATE VIEW records for the view's columns, read back from the
/// view's text as the database keeps it (column name in ASCII lower case -> type,
/// "int", "decimal(38,2)"): SQLite keeps no type for a column that is an expression.
PALVO_API Catalogue::Columns recordedViewTypes(std::string_view createView);

/// The SQLite statements one T-SQL statement becomes: usually one; a CREATE TABLE
/// with datetime columns is followed by the triggers that normalise them, and
/// with number or sized text columns by those that check their values.
struct PALVO_API Translation {
    std::vector<std::string> statements;
    /// For a query: the SQL Server type of each result column the statement
    /// decides ("decimal(14,6)", "money", "int", "bigint", "float"), "" where the
    /// values decide it; empty when the statement cannot tell its columns.
    std::vector<std::string> columnTypes;
    /// The result columns of a query that SQL Server leaves unnamed (an expression
    /// without an alias; SQLite names it after its text): the index of each from
    /// the first column, or -k for the k-th from the last (after a "*").
    std::vector<int> unnamedColumns;
    /// The result columns the query converts to text (CONVERT or CAST to a
    /// character type), in the same numbering: a date in style 121 stays text.
    std::vector<int> textColumns;
    /// ALTER TABLE ... DROP COLUMN / ALTER COLUMN and sp_rename; `statements` is then empty.
    SchemaChange change;
    /// INSERT or UPDATE with OUTPUT: statements[0] returns the rowids of the rows it
    /// changed, and this query, given a JSON array of them as ?1, returns the OUTPUT
    /// rows as the table now holds them (after its triggers), in that order.
    std::string outputQuery;
    /// OUTPUT ... INTO T: outputQuery puts the rows into T (INSERT ... SELECT) instead of
    /// returning them; the statement returns no rows. For DELETE (returningTable set)
    /// outputQuery is "insert into T [(columns)]", to which the connection gives the
    /// rows RETURNING gave as values.
    bool outputInto = false;
    /// The statement the values bound to the parameters go to: the first, or the
    /// INSERT of SELECT ... INTO (after the CREATE TABLE and its triggers).
    std::size_t parameterStatement = 0;
    /// DELETE with OUTPUT: statements[0] returns the rows (RETURNING). A result column
    /// that names a column of this table and that the statement leaves untyped is of
    /// that column's declared type.
    std::string returningTable;
    /// MERGE: the rows affected are those every INSERT, UPDATE and DELETE among the
    /// statements changes, not the first's alone.
    bool countsEvery = false;
    /// The translation asked the catalogue about a table: it holds while the schema does.
    bool usesCatalogue = false;
    /// The batch variables the statement reads ("@n", lower case), in the order of
    /// its parameters ?1, ?2, ...: a batch binds their values there. A statement
    /// reads them when DECLAREs without values come before it in the text.
    std::vector<std::string> variables;
    /// The text is a batch (several statements, control flow, variables): a
    /// connection runs it through the batch engine (palvo/dialect/batch.h);
    /// `statements` is then empty, and `refusal` is what a host that runs the
    /// translated text alone is told (Error NotSupported).
    bool batch = false;
    std::string refusal;
    /// The statements joined with ";\n".
    std::string joined() const;
};

/// TRUNCATE TABLE's second statement, followed by the table's name: it takes the
/// table's identity back to its seed. A database where no table was ever made with
/// an identity has no sqlite_sequence: the connection leaves the statement out there.
inline constexpr const char* kIdentityReset = "delete from main.sqlite_sequence where name = ";
/// The same for a temporary table (#t), whose identity SQLite keeps in the temp schema.
inline constexpr const char* kTempIdentityReset = "delete from temp.sqlite_sequence where name = ";

/// Why INSERT or UPDATE with OUTPUT is refused to a host that runs only the statements.
inline constexpr const char* kOutputElsewhere =
    "Not supported by this SQLite host: OUTPUT inserted (the embedded database's connection reads the rows "
    "back).";

/// Written before a statement, it is translated as under SET ANSI_NULLS OFF: `x = NULL` and `x <> NULL`
/// (a Null literal or a batch variable holding Null) compare as equality with Null.
inline constexpr const char* kAnsiNullsOff = "set ansi_nulls off;\n";

/// The library's table of who made each global temporary table (##t): name, maker (the connection's
/// tsql_global_maker()).
inline constexpr const char* kGlobalMakers = "palvo_modules_temps";

/// The name a target gives a result column SQL Server leaves without one (an expression without an alias),
/// where its database names every column: the connection reports it as "".
inline constexpr const char* kUnnamedColumn = "palvo:unnamed";

class Target;  // target.h

/// Translates T-SQL statements for one database (its target), remembering
/// recent translations. Thread-safe: one translator may serve several connections.
class PALVO_API Translator {
public:
    /// Keeps at most `capacity` translations (0 disables the cache), of
    /// statements of at most 4 MB together; a longer one is never kept.
    /// The target must outlive the translator (the library's own are static).
    explicit Translator(const Target& target, std::size_t capacity = 512);
    ~Translator();
    Translator(const Translator&) = delete;
    Translator& operator=(const Translator&) = delete;

    const Target& target() const { return target_; }

    /// The target's text of one T-SQL statement (several statements joined by ";\n").
    /// Throws Palvo::Error NotSupported naming a construct that has no faithful translation,
    /// and for a batch.
    std::string translate(std::string_view tsql);
    /// Like translate(), with the statements kept apart; shared with the cache.
    std::shared_ptr<const Translation> translateStatements(std::string_view tsql);
    /// With the column types of `catalogue` (may be null): see Catalogue. `parameterTypes`:
    /// the SQL Server types of the values bound to the statement's `?`, in order, each
    /// followed by ';' ("decimal(3,2);bigint;;"), empty where unknown; a translation is
    /// kept for its text and these types together.
    std::shared_ptr<const Translation> translateStatements(std::string_view tsql, Catalogue* catalogue,
                                                           std::string_view parameterTypes = {});

    std::size_t cachedCount() const;
    void clearCache();

private:
    const Target& target_;
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

/// Translates for SQLite (sqliteTarget()) without any cache, with the column
/// types of `catalogue` when one is given; refuses a batch (Translation::refusal).
PALVO_API Translation translateUncached(std::string_view tsql, Catalogue* catalogue = nullptr,
                                        std::string_view parameterTypes = {});

/// Whether T-SQL text is one SELECT ... INTO T: a change that makes T and fills it,
/// returning no rows. Throws as the reader does for text it cannot read.
PALVO_API bool selectsInto(std::string_view tsql);

/// Whether T-SQL text is one INSERT, UPDATE or DELETE with OUTPUT ... INTO T: a change whose
/// rows go into T, returning none. Throws as the reader does for text it cannot read.
PALVO_API bool outputsInto(std::string_view tsql);

/// Whether SQLite reads this number text as exactly the number written: whole
/// numbers within bigint, others when a double carries every digit (up to 15
/// significant digits always do).
PALVO_API bool readsExactly(std::string_view number);
/// "" when readsExactly(number); otherwise what is refused and why ("the number
/// 12345678901234567890 (a whole number beyond bigint, ...)").
PALVO_API std::string numberRefusal(std::string_view number);

}  // namespace Palvo::dialect
