// PostgreSQL's failures in SQL Server's numbers and words, as a host written for
// SQL Server tests them (2627 for a duplicate key, 1205 for a deadlock victim):
// by the SQLSTATE, with the names PostgreSQL's message gives. The words are the
// Chinese a Chinese-language SQL Server sends, as the embedded database's are, or
// the English of a connection whose string says "Language=us_english".
#include <string>
#include <string_view>
#include <vector>

#include "palvo/dialect/server_errors.h"
#include "palvo/error.h"
#include "postgres.h"

namespace Palvo::dialect {

namespace {

// The text between the first `open` after `from` and the `close` after it; "" when there is none.
std::string between(std::string_view text, std::string_view open, std::string_view close,
                    std::size_t from = 0) {
    const std::size_t b = text.find(open, from);
    if (b == std::string_view::npos) return {};
    const std::size_t e = text.find(close, b + open.size());
    if (e == std::string_view::npos) return {};
    return std::string(text.substr(b + open.size(), e - b - open.size()));
}

// A name as PostgreSQL's DETAIL writes it: quoted when it is not plain lower case.
std::string unquoted(std::string name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    return name;
}

// The server's message, without the driver's "ERROR:" before it and its own words after.
std::string_view messageOf(std::string_view text) {
    if (const std::size_t at = text.find("ERROR:"); at != std::string_view::npos) text.remove_prefix(at + 6);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    std::size_t end = text.find(";\n");
    if (end == std::string_view::npos) end = text.find('\n');
    return text.substr(0, end);
}

Error sqlServer(const Error& failure, Language language, long number, const std::vector<std::string>& args) {
    const std::string english = englishText(number, args);
    const auto words = serverError(english, language, number);
    return Error(ErrorNumber::Database, words ? words->text : english, number, failure.sqlState());
}

// 3701 for a view or an index DROP does not find (englishText gives the table's words)
Error notThere(const Error& failure, Language language, const std::string& kind, const std::string& name) {
    const std::string english = "Cannot drop the " + kind + " '" + name +
                                "', because it does not exist or you do not have permission.";
    const auto words = serverError(english, language, 3701);
    return Error(ErrorNumber::Database, words ? words->text : english, 3701, failure.sqlState());
}

}  // namespace

Error postgresFailure(const Error& failure, std::string_view database, Language language) {
    const std::string& state = failure.sqlState();
    const std::string_view text = failure.description();
    if (state == "23505") {
        // duplicate key value violates unique constraint "T_pkey" / DETAIL: Key (c)=(v) already exists.
        const std::string constraint = between(text, "unique constraint \"", "\"");
        const std::string keys = unquoted(between(text, "Key (", ")="));
        if (constraint.ends_with("_pkey"))
            return sqlServer(
                failure, language, 2627,
                {"PRIMARY KEY", constraint, "dbo." + constraint.substr(0, constraint.size() - 5)});
        // a UNIQUE constraint PostgreSQL named T_column_key
        if (const std::string suffix = "_" + keys + "_key";
            !keys.empty() && constraint.ends_with(suffix) && constraint.size() > suffix.size())
            return sqlServer(
                failure, language, 2627,
                {"UNIQUE KEY", constraint, "dbo." + constraint.substr(0, constraint.size() - suffix.size())});
        return Error(ErrorNumber::Database, failure.description(), 2601, state);
    }
    if (state == "23503") {
        // insert or update on table "t" violates foreign key constraint "fk" / DETAIL: Key (c)=(v) is not
        // present in table "p". -- or, deleting: update or delete on table "p" violates ... on table "t"
        const std::string constraint = between(text, "foreign key constraint \"", "\"");
        const std::string column = unquoted(between(text, "Key (", ")="));
        if (text.find("update or delete on table") != std::string_view::npos) {
            // SQL Server names the referencing column, PostgreSQL the referenced one; the
            // name PostgreSQL gives a foreign key (child_column_fkey) tells the first
            const std::string child = between(text, "\" on table \"", "\"");
            std::string referencing = column;
            if (constraint.starts_with(child + "_") && constraint.ends_with("_fkey") &&
                constraint.size() > child.size() + 6)
                referencing = constraint.substr(child.size() + 1, constraint.size() - child.size() - 6);
            return sqlServer(
                failure, language, 547,
                {"DELETE", "REFERENCE", constraint, std::string(database), "dbo." + child, referencing});
        }
        // the column named is the referencing one (SQL Server names the referenced column)
        const std::string parent = between(text, "is not present in table \"", "\"");
        return sqlServer(
            failure, language, 547,
            {"INSERT", "FOREIGN KEY", constraint, std::string(database), "dbo." + parent, column});
    }
    // new row for relation "t" violates check constraint "c": PostgreSQL's words do not tell the statement
    if (state == "23514") return Error(ErrorNumber::Database, failure.description(), 547, state);
    if (state == "23502") {
        // null value in column "c" of relation "t" violates not-null constraint
        const std::string column = between(text, "column \"", "\"");
        const std::string table = between(text, "of relation \"", "\"");
        return sqlServer(failure, language, 515, {column, std::string(database) + ".dbo." + table, "INSERT"});
    }
    if (state == "22P02" || state == "22007" || state == "22008") {
        // invalid input syntax for type integer: "x"
        const std::string type = between(text, "for type ", ":");
        const std::string value = between(text, ": \"", "\"");
        if (type == "integer" || type == "bigint" || type == "smallint")
            return sqlServer(failure, language, 245, {"varchar", value, type == "integer" ? "int" : type});
        if (type.starts_with("timestamp") || type == "date" || type.starts_with("time"))
            return sqlServer(failure, language, 241, {});
    }
    if (state == "42P01") {
        // DROP TABLE of a table that is not there: table "x" does not exist
        if (text.find("table \"") != std::string::npos)
            return sqlServer(failure, language, 3701, {between(text, "table \"", "\"")});
        // DROP VIEW: view "x" does not exist
        if (text.starts_with("view \"") || text.find(" view \"") != std::string::npos) {
            return notThere(failure, language, "view", between(text, "view \"", "\""));
        }
        return sqlServer(failure, language, 208, {between(text, "relation \"", "\"")});
    }
    // MERGE command cannot affect row a second time
    if (state == "21000" && text.find("MERGE") != std::string_view::npos)
        return sqlServer(failure, language, 8672, {});
    // DROP INDEX of an index its table does not have (palvo.drop_index): index "T.ix" does not exist
    if (state == "42704" && text.find("index \"") != std::string_view::npos) {
        return notThere(failure, language, "index", between(text, "index \"", "\""));
    }
    // CREATE TABLE or SELECT ... INTO a table of a name taken: relation "t" already exists
    if (state == "42P07") return sqlServer(failure, language, 2714, {between(text, "relation \"", "\"")});
    if (state == "42703") return sqlServer(failure, language, 207, {between(text, "column \"", "\"")});
    if (state == "22012") return sqlServer(failure, language, 8134, {});
    if (state == "22001") return sqlServer(failure, language, 8152, {});
    if (state == "40P01")
        return sqlServer(failure, language, 1205, {between(text, "Process ", " ") + "", "lock"});
    if (state == "55P03") return sqlServer(failure, language, 1222, {});
    // the schema's LIKE ... ESCAPE with an escape of other than one character
    if (state == "22025")
        return sqlServer(failure, language, 506, {between(text, "escape character \"", "\" was")});
    // a value beyond its type: integer out of range, numeric field overflow
    if (state == "22003") {
        for (const char* type : {"smallint", "bigint", "integer"}) {
            if (text.find(std::string(type) + " out of range") != std::string_view::npos)
                return sqlServer(failure, language, 8115,
                                 {"expression", std::string_view(type) == "integer" ? "int" : type});
        }
        if (text.find("numeric field overflow") != std::string_view::npos)
            return sqlServer(failure, language, 8115, {"numeric", "numeric"});
    }
    // a float function outside its domain: the logarithm of 0, the root of a negative number
    if (state == "2201E" || state == "2201F") return sqlServer(failure, language, 3623, {});
    // the schema's functions fail with SQL Server's English words: PV000, or a class of data errors
    // (22003, a value beyond its type) where the caller may catch them
    if (state == "PV000" || state.starts_with("22")) {
        if (const auto words = serverError(messageOf(text), language))
            return Error(ErrorNumber::Database, words->text, words->number, state);
    }
    // any other value beyond its type is still SQL Server's overflow, in PostgreSQL's words
    if (state == "22003") return Error(ErrorNumber::Database, failure.description(), 8115, state);
    return failure;
}

}  // namespace Palvo::dialect
