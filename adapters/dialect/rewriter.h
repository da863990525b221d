// What the translator's parts share: the tokens grouped by parentheses into a
// tree, an expression as rendered, and the Rewriter that turns one statement's
// tree into SQLite text (tree.cpp, expressions.cpp, function_calls.cpp,
// statements.cpp, schema.cpp).
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "tokenizer.h"

namespace Palvo::dialect {

// ---- the tree (tree.cpp)

struct Node {
    Token tok;               // for a group, the '(' token
    std::vector<Node> kids;  // the contents of a group
    bool group = false;
    bool closeSpace = false;  // whitespace before the closing ')'

    bool word(std::string_view lw) const { return !group && tok.isWord(lw); }
    bool op(std::string_view o) const { return !group && tok.isOp(o); }
    bool isName() const { return !group && (tok.kind == TokenKind::Word || tok.kind == TokenKind::Name); }
};
using Nodes = std::vector<Node>;
using Span = std::pair<std::size_t, std::size_t>;  // nodes [first, second)

[[noreturn]] void unsupported(const std::string& construct);

std::string trimLead(std::string s);
std::string upper(std::string_view s);
std::string quoteName(std::string_view name);
// A temporary table's name (#t), which is the connection's own; refuses a global one (##t).
std::string_view temporaryName(std::string_view name);
// Where the name at `offset` of the text starts with the `dbo.` before it, which the tree drops
// (`dbo.f`, `[dbo] . f`); `offset` when there is none.
std::size_t withSchema(std::string_view text, std::size_t offset);
// ##t: a table of the main database under that very name (no host's own table begins with ##), shared by
// every connection on the file; the connection that made it drops it when it closes.
bool globalTemporary(std::string_view name);
std::string quoteString(std::string_view value);
std::string renderToken(const Token& t);

// Groups tokens by parentheses; drops a "dbo." owner prefix. Throws NotSupported
// past kMaxNesting levels of parentheses (CASE takes the same bound).
inline constexpr std::size_t kMaxNesting = 100;
Nodes buildTree(std::vector<Token>& toks);

// Words that structure a statement; an expression never starts with one.
bool isClauseKeyword(std::string_view lw);
// A table hint (lower case) that only steers SQL Server's locking or its choice of index.
bool harmlessHint(std::string_view lw);

inline void put(std::string& out, const std::string& text, bool space) {
    if (space) out += ' ';
    out += text;
}
inline void put(std::string& out, const Node& n) { put(out, renderToken(n.tok), n.tok.spaceBefore); }

// A node the translator writes itself: a word, name, number or operator, with a blank
// before it or not (tree.cpp).
Node tokenNode(TokenKind kind, std::string text, bool space = true);
inline Node wordNode(const char* text, bool space = true) { return tokenNode(TokenKind::Word, text, space); }

// Renders tokens without rewriting (names, literals, nested groups).
std::string plain(const Nodes& ns, std::size_t b, std::size_t e);

// The comma-separated parts of [b, e).
std::vector<Span> splitCommas(const Nodes& ns, std::size_t b, std::size_t e);
// Where a select list starting at b ends: at the first FROM, WHERE, GROUP, HAVING, ORDER, UNION,
// EXCEPT, INTERSECT, INTO, OPTION or FOR before e; e when there is none (tree.cpp).
std::size_t selectListEnd(const Nodes& ns, std::size_t b, std::size_t e);

// Where the INTO of SELECT ... INTO T is among a select's nodes [b, e) (select_into.cpp); e when it has none.
std::size_t intoAt(const Nodes& ns, std::size_t b, std::size_t e);

// Where a select's list starts among its nodes [0, e), past DISTINCT and TOP (select_into.cpp).
std::size_t listStart(const Nodes& q, std::size_t e);

// The canonical name of a DATEADD, DATEDIFF, DATEPART or DATENAME part by SQL Server's names and
// abbreviations ("yy" is "year"); "" for none (function_calls.cpp).
std::string datePartName(std::string_view written);

// Where a subquery's FOR XML clause starts; kids.size() when it has none (function_text.cpp).
std::size_t forXmlAt(const Nodes& kids);

// ---- expressions (expressions.cpp)

// The number type SQL Server gives an expression, where the statement tells it:
// literals, CAST/CONVERT, columns of the tables the catalogue knows, int
// functions and arithmetic on them. Parameters, and columns of unknown tables,
// have none (kind 0) and compute as their values come.
struct NumType {
    char kind = 0;      // 'i' int (tinyint, smallint), 'b' bigint, 'd' decimal, 'm' money, 'f' float
    int precision = 0;  // of an int literal: its digits, as SQL Server reads it beside a decimal
    int scale = 0;
    char narrow = 0;  // of 'i': 't' tinyint, 's' smallint, whose arithmetic with their own kind stays theirs
};

struct Expr {
    std::string text;
    bool space = false;
    bool empty = true;
    bool column = false;    // a bare (possibly qualified) column reference
    bool number = false;    // a numeric literal, maybe signed
    bool integer = false;   // of SQL Server's type int (a small whole literal, len(), count(), ...)
    bool string = false;    // a string literal
    bool national = false;  // of a string literal: N'...'
    std::string value;      // the string literal's value
    bool collated = false;  // carries its own collation
    bool datetime = false;  // a datetime or smalldatetime column
    bool unicode = false;  // nchar, nvarchar or ntext as the statement types it (N'', a column, a conversion)
    bool variable = false;  // a batch variable's parameter
    // a whole number held as its digits: a literal beyond bigint, or a column declared decimal(19..38,0)
    bool digitText = false;
    NumType num;
    std::string type;  // SQL Server's type where num tells none ("varchar(4)", "datetime"); "" unknown
};

// ---- result types (function_logic.cpp)

// SQL Server's type of an expression, where the statement tells it ("int", "decimal(3,1)",
// "varchar(4)"); "" when its values decide it.
std::string typeOf(const Expr& x);
bool isNullLiteral(const Expr& x);
// The type of a string literal: varchar of its code-page bytes, nvarchar of its UTF-16 units for N''.
std::string literalType(std::string_view value, bool national);
// A column's declared type as stored ("varchar(-1)", "decimal real(18,2)") as SQL Server names it.
std::string typeOfDeclared(std::string_view declared);
// The type CAST/CONVERT names ("varchar" is varchar(30) there).
std::string convertedType(std::string_view typeText);
// The type SQL Server gives CASE, COALESCE, IIF and CHOOSE: the highest by its data type
// precedence among the values that are not the NULL constant; "" when one of them is unknown.
std::string commonType(const std::vector<Expr>& values);
// `text`, an expression of those values, converted to their common type where one differs from
// it, and typed so: SQL Server converts the value each gives to that type.
void convertToCommon(const std::vector<Expr>& values, Expr& r);

// The type of a T-SQL type name as written in CAST/CONVERT ("decimal(10,2)").
NumType numTypeOf(std::string_view typeText);
// The type of a column as its declared type is stored ("decimal real(18, 2)", "INT").
NumType columnNumType(std::string_view declared);
// Whether a column's declared type as stored keeps its whole numbers as text ("decimal text(38,0)").
bool heldAsDigits(std::string_view declared);
// Whether x may be a whole number beyond bigint: digits held as text, or typed decimal(19..38,0).
bool wideWhole(const Expr& x);
// A whole or decimal operand as SQL Server widens it beside a decimal: int is
// decimal(10,0) (a literal as many digits as written), bigint (19,0), money (19,4).
NumType asDecimal(const NumType& t);
// "decimal(p,s)" or "money" for a decimal or money type, "" for any other.
std::string declaredNumType(const NumType& t);
// The type a query reports for a result of type t: int, bigint, decimal, money, float; "" untyped.
std::string reportedType(const NumType& t);

bool looksLikeDate(std::string_view s);
// "date", "datetime", "smalldatetime" or "time(n)" for an expression rendered as a value of
// that type (CONVERT, EOMONTH, DATEADD, ...), "" for any other (function_dates.cpp).
std::string dateTypeOf(std::string_view text);
// Text that reads as a time of day: hh:mm at its start.
bool looksLikeTime(std::string_view s);

// A decimal of more than 15 digits the statement's own query shows, computed by tsql_arith: marks the call
// to give every digit of the result, as text where a double would change it, when
// the query neither sorts, combines nor compares its result columns (function_numbers.cpp).
void markExactResult(std::string& text, const Nodes& query);

// An operand whose comparison would otherwise fall back to SQLite's byte order:
// neither a column (which brings its own collation) nor a number.
bool wantsTextCollation(const Expr& x);

// Whether the nodes are one expression as seq would render it: operands and
// operators only, no clause word, comma or two operands side by side (a
// function name before its arguments aside).
bool plainExpression(const Nodes& ns);

// ---- types and collations (schema.cpp)

bool knownType(std::string_view lw);

// SQL Server's bound on the length of a character or binary type: 8000, 4000
// for nchar and nvarchar; beyond it the statement fails as SQL Server's does
// (131), naming what the length was given to ("type 'char'", "column 'c'").
void checkTypeLength(std::string_view lw, std::string_view length, const std::string& givenTo);

// Text compares as SQL Server's Chinese_PRC_CI_AS: the embedded database (and
// its loadable extension) registers this collation (adapters/sqlite/collation.h).
constexpr std::string_view kTextCollation = "zh_ci_as";
inline const std::string kCollateText = " collate " + std::string(kTextCollation);

// The SQLite collation for a SQL Server one: case-sensitive and binary ones
// compare bytes (trailing blanks still ignored), the others as Chinese_PRC_CI_AS.
std::string sqliteCollation(std::string_view sqlServerName);

struct ValueCheck {
    std::string column;  // as written
    std::string quoted;
    std::string check;
};

// ---- the rewriter: the SQLite target's rendering

struct ReadStatement;  // reader.h
enum class StatementKind;

class Rewriter {
public:
    explicit Rewriter(Catalogue* catalogue = nullptr, std::string_view parameterTypes = {});
    Translation statement(const ReadStatement& s);

    // ---- batch variables (batch_variables.cpp)
    // The declared types of the variables a statement may read (lower-case name with '@' ->
    // "decimal(10,2)"): each is rendered ?N, typed as a column of that type.
    using VariableTypes = std::unordered_map<std::string, std::string>;
    void variables(const VariableTypes* types) { variableTypes_ = types; }
    // SET ANSI_NULLS OFF: = and <> with a Null literal or a variable holding Null compare as equality with
    // Null
    void ansiNullsOff(bool off) { ansiNullsOff_ = off; }

private:
    // Counts the levels of the rewriting's recursion (groups, signs, nested
    // expressions); past kMaxDepth the statement is refused, not the stack overrun.
    static constexpr int kMaxDepth = 400;
    class Nesting {
    public:
        explicit Nesting(int& depth);
        ~Nesting() { --depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        int& depth_;
    };
    int depth_ = 0;

    struct Call;
    struct Clauses;
    struct UpdateSource;
    struct UpdateTarget;
    struct ColumnDef;

    std::string group(const Node& g);  // tree.cpp: a parenthesised group, rewritten

    // expressions.cpp
    Expr expr(const Nodes& ns, std::size_t& i, std::size_t e, int minPrec);
    Expr unary(const Nodes& ns, std::size_t& i, std::size_t e);
    Expr primary(const Nodes& ns, std::size_t& i, std::size_t e);
    Expr caseExpression(const Nodes& ns, std::size_t& i, std::size_t e);
    std::string simpleCaseOperand(const Nodes& ns, std::size_t& b, std::size_t e);

    // function_calls.cpp
    Expr function(const Node& nameNode, const Node& args);
    std::string convertCall(const Call& c);
    std::string castCall(const Nodes& a);
    std::string datePartCall(const std::string& fn, const Call& c);
    std::string datalengthCall(const Call& c);
    std::string typeText(const Nodes& ns, std::size_t b, std::size_t e, const std::string& fn);
    // The calls of each theme; false when `fn` is none of theirs (function_numbers.cpp,
    // function_dates.cpp, function_text.cpp).
    bool numberFunction(const std::string& fn, const Call& c, Expr& r);
    bool dateFunction(const std::string& fn, const Call& c, Expr& r);
    // SQL Server's styles of dates and text: 0 to 14, 20 to 25, 100 to 114, 120, 121, 126, 127.
    static bool dateStyle(const std::string& style);
    // Whether an argument is of the type date (CONVERT, EOMONTH, a date column): as text it is yyyy-mm-dd.
    bool dateArgument(const Nodes& a, Span part, std::string_view rendered) const;
    // Whether an argument is of the type time (CONVERT to time, a time column).
    bool timeArgument(const Nodes& a, Span part, std::string_view rendered) const;
    bool textFunction(const std::string& fn, const Call& c, Expr& r);
    bool systemFunction(const std::string& fn, const Call& c, Expr& r);  // function_system.cpp
    // function_text.cpp: LIKE, STRING_AGG ... WITHIN GROUP and the list of a FOR XML PATH('') subquery
    std::string likeCall(const Expr& left, bool negated, const Nodes& ns, std::size_t& i, std::size_t e);
    Expr stringAggWithin(const Node& args, const Node& order);
    Expr forXmlSubquery(const Nodes& ns, std::size_t& i, std::size_t e);
    struct XmlPath {
        std::string row;                  // each row's element, '' for none
        std::optional<std::string> root;  // the element around all rows
        bool typed = false;
    };
    XmlPath xmlPath(const Nodes& k, std::size_t f) const;
    bool xmlNamesAColumn(const Nodes& k, std::size_t f) const;
    std::string xmlRows(const Nodes& k, std::size_t f, const XmlPath& path, const std::string& as);
    std::string xmlStatement(const Nodes& ns);
    std::string textArgument(const Nodes& a, Span part);
    bool logicFunction(const std::string& fn, const Call& c, Expr& r);  // function_logic.cpp
    Expr typedArg(const Call& c, std::size_t k);

    // query_forms.cpp: window functions, OFFSET ... FETCH, TOP's count, table hints
    // whether the statement has table hints, which stripTableHints takes out of a copy
    bool queryForms(const Nodes& ns);
    void stripTableHints(Nodes& ns) const;
    // `select name = expression`: T-SQL's alias, which SQLite would read as a comparison; written
    // `expression as name` (false when the statement has none)
    static bool writesAliasFirst(const Nodes& ns);
    bool aliasFirst_ = false;  // queryForms met a name and = where a select list's item may begin
    static void writeAliasesAfter(Nodes& ns);
    bool windowCall(const Nodes& ns, std::size_t& i, std::size_t e, Expr& r);
    std::string windowKeys(const Nodes& ns, std::size_t b, std::size_t e, bool order);
    std::string pagingClause(const Nodes& ns, std::size_t& i, std::size_t b, std::size_t e, bool top);
    std::string queryMember(const Node& g);
    std::string topCount(const Node* count, bool percent);
    void tiesAlias(const Nodes& ns, std::size_t k, std::size_t e, const std::string& text, Clauses& c) const;
    std::string percentLimit(const std::string& query, const std::string& percent) const;
    std::string tiesLimit(const std::string& from, const std::string& orderBy,
                          const std::string& count) const;
    std::string parameterText(const Token& t) const;
    NumType parameterType(const Token& t) const;
    // A batch variable's parameter, typed in `r` as its declared type; false for one not declared.
    bool variableExpr(const Token& t, Expr& r);
    const VariableTypes* variableTypes_ = nullptr;
    bool ansiNullsOff_ = false;
    // x = y or x <> y under SET ANSI_NULLS OFF where either is a Null literal or a variable; "" otherwise
    std::string nullsOffComparison(const Expr& lhs, const Node& op, const Expr& rhs,
                                   std::pair<bool, bool> nulls) const;
    std::vector<std::string> variablesUsed_;  // ?1, ?2, ...
    std::vector<std::size_t> parameterAt_;    // the statement's parameters, by offset
    std::vector<NumType> parameterTypes_;     // the types of the values bound to them, in order
    bool numberParameters_ = false;           // a TOP's count is one: each is rendered ?N

    // statements.cpp
    std::string seq(const Nodes& ns, std::size_t b, std::size_t e);
    void selectHead(const Nodes& ns, std::size_t& i, std::size_t e, Clauses& c);
    bool clauseWord(const Nodes& ns, std::size_t& i, std::size_t b, std::size_t e, Clauses& c);
    void clauseTerm(const Nodes& ns, std::size_t& i, std::size_t e, Clauses& c);
    std::string withStatement(const Nodes& ns);
    std::string insertStatement(const Nodes& ns);
    std::string deleteStatement(const Nodes& ns);
    std::string rowidSelect(const Nodes& ns, const Node* top, const Node* qualifier, std::size_t b,
                            std::size_t e);
    std::string updateStatement(const Nodes& ns);
    bool wholeBeyondBigint(const Nodes& ns, std::size_t b, std::size_t e);
    std::string updateAssignments(const Nodes& ns, std::size_t b, std::size_t e,
                                  const Catalogue::Columns* target);
    // A decimal or money value [b, e) stored into a column of that declared type: converted to
    // text as SQL Server converts it when the column is a character one; "" otherwise.
    std::string storedText(const Nodes& ns, std::size_t b, std::size_t e, const std::string* declared);
    static bool characterType(const std::string& declared);
    // VALUES (...), ... from ns[i] on, into the columns named, where one of them takes storedText.
    std::string insertValues(const Nodes& ns, std::size_t i, const std::string& table,
                             const std::vector<std::string>& columns);
    std::vector<UpdateSource> updateSources(const Nodes& ns, std::size_t k, std::size_t fe);
    // the updated table's FROM entry when an outer join keeps its unmatched rows, else sources.size()
    std::size_t takeOutUpdatedTable(const Nodes& ns, std::vector<UpdateSource>& sources,
                                    UpdateTarget& target);
    std::string outerJoinUpdate(const Nodes& ns, const std::vector<UpdateSource>& sources, std::size_t hit,
                                const std::string& assigns, std::size_t fromAt, std::size_t whereAt,
                                const std::string& where);
    std::string remainingSources(const Nodes& ns, const std::vector<UpdateSource>& sources);
    // the last UPDATE's table as rendered and its name in lower case; the last DELETE's table's name
    std::string updatedTable_, updatedName_, deletedTable_;

    Translation mergeStatement(const Nodes& ns);  // merge.cpp

    // output.cpp: INSERT, UPDATE and DELETE with OUTPUT; false when the statement has none
    bool outputClause(const Nodes& ns, StatementKind kind, Translation& tr);
    std::string outputList(const Nodes& list, const std::string& lowerTable, const std::string& alias,
                           Translation& tr);

    // grouping.cpp: grouping sets, PIVOT and UNPIVOT, APPLY. groupingForms renders
    // the select [b, e) rewritten into a query SQLite runs (true), or leaves it (false).
    bool groupingForms(const Nodes& ns, std::size_t b, std::size_t e, std::string& out);
    Nodes groupingSetsQuery(const Nodes& q, std::size_t groupAt);
    void pivots(Nodes& q);
    std::vector<std::string> factorColumns(const Nodes& q, std::size_t b, std::size_t e, const char* form,
                                           bool ordered);
    Node pivotTable(const Nodes& q, std::size_t b, std::size_t at, bool star);
    Node unpivotTable(const Nodes& q, std::size_t b, std::size_t at);
    void applies(Nodes& q);
    void splitTables(Nodes& q);
    Nodes applyJoin(const Nodes& sub, const std::vector<std::string>& outer, const Node& alias,
                    bool outerApply, const std::string& form);
    struct SubqueryParts {
        std::size_t list, from, fromEnd, order;  // where its select list, FROM, its end and ORDER BY start
    };
    Nodes pickedJoin(const Nodes& sub, const SubqueryParts& at, const std::string& ties, const Node& alias,
                     bool outerApply, const std::string& form);
    const Nodes* rewritten_ = nullptr;  // the select groupingForms is rendering

    // schema.cpp
    Translation createTable(const Nodes& ns);
    std::string constraintDef(const Nodes& d, std::size_t b, std::size_t e, bool identitySeen);
    std::string columnDef(const Nodes& d, std::size_t b, std::size_t e,
                          std::vector<std::pair<std::string, std::string>>& dateColumns);
    std::string computedColumnDef(const Nodes& d, std::size_t b, std::size_t e);
    std::size_t columnType(const Nodes& d, std::size_t k, std::size_t e, ColumnDef& c);
    void columnOptions(const Nodes& d, std::size_t k, std::size_t e, ColumnDef& c);
    Translation alterTableAdd(const Nodes& ns);
    Translation alterTableColumn(const Nodes& ns);
    Translation rename(const Nodes& ns, std::size_t at);
    std::string createView(const Nodes& ns);
    std::string createIndex(const Nodes& ns);
    Translation dropStatement(const Nodes& ns);

    // The tables a query, UPDATE or DELETE reads, innermost last: an unqualified
    // column is of the one innermost table that has it, a qualified one of the
    // table of that alias or name. A derived table, a common table expression
    // or a table the catalogue lacks has no columns known (null).
    struct Source {
        std::string name;  // alias, else the table's name; lower case
        const Catalogue::Columns* columns = nullptr;
        const std::vector<std::string>* order = nullptr;  // the columns' names as "*" gives them
        const std::vector<std::string>* names = nullptr;  // the same as declared, when known
    };
    using Scope = std::vector<Source>;
    class ScopeGuard {
    public:
        ScopeGuard(Rewriter& rw, Scope scope);
        ~ScopeGuard() { rw_.scopes_.pop_back(); }
        ScopeGuard(const ScopeGuard&) = delete;
        ScopeGuard& operator=(const ScopeGuard&) = delete;

    private:
        Rewriter& rw_;
    };
    Source source(const std::string& lowerTable, std::string alias);
    Scope fromScope(const Nodes& ns, std::size_t i, std::size_t e);
    // The declared type of the column a reference reads, as stored; nullptr when unknown.
    const std::string* declaredType(std::string_view qualifier, std::string_view column) const;
    NumType referenceType(std::string_view qualifier, std::string_view column) const;
    const std::string* referenceDeclared(std::string_view qualifier, std::string_view column) const;
    // The types of the columns a derived table or common table expression gives, by
    // name ("" where the statement does not tell); null when they cannot be told.
    const Catalogue::Columns* queryColumns(const Nodes& q);
    NumType columnArgType(const Nodes& a, Span part) const;
    // The SQL Server types of the columns "*" (qualifier "") or "t.*" gives, appended to
    // `types` as the driver reports them; false when the statement cannot tell them all.
    bool starTypes(std::string_view qualifier, std::vector<std::string>& types) const;
    // The types of the columns of the select [b, e) (a UNION's members combined), by
    // name in order; false where "*" or an unnamed column leaves them untold.
    bool selectListTypes(const Nodes& q, std::size_t b, std::size_t e,
                         std::vector<std::pair<std::string, std::string>>& columns);
    bool memberItems(const Nodes& q, std::size_t b, std::size_t e,
                     std::vector<std::pair<std::string, Expr>>& items);

    Catalogue* catalogue_ = nullptr;
    bool usedCatalogue_ = false;
    bool catalogueMissed_ = false;  // a table the statement names is not there (yet)

    // select_into.cpp: SELECT ... INTO T, the INTO at ns[into]
    Translation selectInto(const Nodes& ns, std::size_t into);
    // The select list's * and t.* written out as the columns they give; false when they cannot be told.
    bool expandStars(Nodes& q);
    std::vector<Scope> scopes_;
    std::vector<std::string> commonTables_;  // names WITH gives, lower case
    std::unordered_map<std::string, const Catalogue::Columns*> commonColumns_;  // of those WITH types
    std::deque<Catalogue::Columns> derived_;  // the columns queryColumns told, kept for the statement
    std::unordered_map<const Nodes*, const Catalogue::Columns*> derivedOf_;

    std::vector<ValueCheck> checks_;  // of the last createTable
    Catalogue::Columns ownColumns_;   // of the table being created, as stored: what its computed columns read
    bool recordColumns_ = false;      // the next seq is the query's own: it records its columns' types
    bool columnsKnown_ = false;
    std::vector<std::string> columnTypes_;
    const Nodes* topNodes_ = nullptr;           // the query whose select list is the statement's result
    std::vector<Expr>* caseResults_ = nullptr;  // the next seq is a CASE's body: the THEN and ELSE values
    Expr* subqueryValue_ = nullptr;             // the next seq is a scalar subquery: its one value, typed
    // the next seq is INSERT's select: the declared types of the columns its items go into (null: none)
    const std::vector<const std::string*>* insertTargets_ = nullptr;
    Translation result_;  // its unnamedColumns and textColumns
};

// One function call being rendered: its arguments split at commas, each rendered
// when asked for, so that faults are reported in the order the call reads.
struct Rewriter::Call {
    Rewriter& rw;
    const std::string& name;  // as written
    const Nodes& a;           // the argument nodes
    std::vector<Span> parts;

    std::string arg(std::size_t k) const { return trimLead(rw.seq(a, parts[k].first, parts[k].second)); }
    void requireArgs(std::size_t lo, std::size_t hi) const {
        if (parts.size() < lo || parts.size() > hi) {
            throw Error(ErrorNumber::Database, "The " + name + " function requires " + std::to_string(lo) +
                                                   (lo == hi ? "" : " to " + std::to_string(hi)) +
                                                   " arguments.");
        }
    }
    // target(the arguments from `first` on)
    std::string forward(const std::string& target, std::size_t first = 0) const {
        std::string s = target + "(";
        for (std::size_t k = first; k < parts.size(); ++k) s += (k > first ? ", " : "") + arg(k);
        return s + ")";
    }
};

}  // namespace Palvo::dialect
