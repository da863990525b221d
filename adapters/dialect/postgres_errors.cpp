// PostgreSQL's failures in SQL Server's numbers and words, as a host written for
// SQL Server tests them (2627 for a duplicate key, 1205 for a deadlock victim):
// by the SQLSTATE, with the names PostgreSQL's message gives. The words are the
// Chinese a Chinese-language SQL Server sends, as the embedded database's are.
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

Error sqlServer(const Error& failure, long number, const std::vector<std::string>& args) {
    const std::string english = englishText(number, args);
    const auto words = serverError(english, Language::Chinese, number);
    return Error(ErrorNumber::Database, words ? words->text : english, number, failure.sqlState());
}

// 3701 for a view or an index DROP does not find (englishText gives the table's words)
Error notThere(const Error& failure, const std::string& kind, const std::string& name) {
    const std::string english = "Cannot drop the " + kind + " '" + name +
                                "', because it does not exist or you do not have permission.";
    const auto words = serverError(english, Language::Chinese, 3701);
    return Error(ErrorNumber::Database, words ? words->text : english, 3701, failure.sqlState());
}

}  // namespace

Error postgresFailure(const Error& failure, std::string_view database) {
    const std::string& state = failure.sqlState();
    const std::string_view text = failure.description();
    if (state == "23505") {
        // duplicate key value violates unique constraint "T_pkey" / DETAIL: Key (c)=(v) already exists.
        const std::string constraint = between(text, "unique constraint \"", "\"");
        const std::string keys = unquoted(between(text, "Key (", ")="));
        if (constraint.ends_with("_pkey"))
            return sqlServer(
                failure, 2627,
                {"PRIMARY KEY", constraint, "dbo." + constraint.substr(0, constraint.size() - 5)});
        // a UNIQUE constraint PostgreSQL named T_column_key
        if (const std::string suffix = "_" + keys + "_key";
            !keys.empty() && constraint.ends_with(suffix) && constraint.size() > suffix.size())
            return sqlServer(
                failure, 2627,
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
                failure, 547,
                {"DELETE", "REFERENCE", constraint, std::string(database), "dbo." + child, referencing});
        }
        // the column named is the referencing one (SQL Server names the referenced column)
        const std::string parent = between(text, "is not present in table \"", "\"");
        return sqlServer(
            failure, 547,
            {"INSERT", "FOREIGN KEY", constraint, std::string(database), "dbo." + parent, column});
    }
    // new row for relation "t" violates check constraint "c": PostgreSQL's words do not tell the statement
    if (state == "23514") return Error(ErrorNumber::Database, failure.description(), 547, state);
    if (state == "23502") {
        // null value in column "c" of relation "t" violates not-null constraint
        const std::string column = between(text, "column \"", "\"");
        const std::string table = between(text, "of relation \"", "\"");
        return sqlServer(failure, 515, {column, std::string(database) + ".dbo." + table, "INSERT"});
    }
    if (state == "22P02" || state == "22007" || state == "22008") {
        // invalid input syntax for type integer: "x"
        const std::string type = between(text, "for type ", ":");
        const std::string value = between(text, ": \"", "\"");
        if (type == "integer" || type == "bigint" || type == "smallint")
            return sqlServer(failure, 245, {"varchar", value, type == "integer" ? "int" : type});
        if (type.starts_with("timestamp") || type == "date" || type.starts_with("time"))
            return sqlServer(failure, 241, {});
    }
    if (state == "42P01") {
        // DROP TABLE of a table that is not there: table "x" does not exist
        if (text.find("table \"") != std::string::npos)
            return sqlServer(failure, 3701, {between(text, "table \"", "\"")});
        // DROP VIEW: view "x" does not exist
        if (text.starts_with("view \"") || text.find(" view \"") != std::string::npos) {
            return notThere(failure, "view", between(text, "view \"", "\""));
        }
        return sqlServer(failure, 208, {between(text, "relation \"", "\"")});
    }
    // palvo.string_split's separator of other than one character
    if (state == "22023" && text.find("Procedure expects parameter 'separator'") != std::string_view::npos)
        return sqlServer(failure, 214, {"separator", "nchar(1)/nvarchar(1)"});
    // MERGE command cannot affect row a second time
    if (state == "21000" && text.find("MERGE") != std::string_view::npos) return sqlServer(failure, 8672, {});
    // DROP INDEX of an index its table does not have (palvo.drop_index): index "T.ix" does not exist
    if (state == "42704" && text.find("index \"") != std::string_view::npos) {
        return notThere(failure, "index", between(text, "index \"", "\""));
    }
    // CREATE TABLE or SELECT ... INTO a table of a name taken: relation "t" already exists
    if (state == "42P07") return sqlServer(failure, 2714, {between(text, "relation \"", "\"")});
    if (state == "42703") return sqlServer(failure, 207, {between(text, "column \"", "\"")});
    if (state == "22012") return sqlServer(failure, 8134, {});
    if (state == "22003") {
        // integer out of range, bigint out of range, smallint out of range, numeric field overflow
        const auto says = [&](std::string_view words) { return text.find(words) != std::string_view::npos; };
        const std::string name = says("integer out of range")     ? "int"
                                 : says("bigint out of range")    ? "bigint"
                                 : says("smallint out of range")  ? "smallint"
                                 : says("numeric field overflow") ? "numeric"
                                                                  : "";
        if (!name.empty()) return sqlServer(failure, 8115, {"expression", name});
        return Error(ErrorNumber::Database, failure.description(), 8115, state);
    }
    if (state == "22001") return sqlServer(failure, 8152, {});
    if (state == "40P01") return sqlServer(failure, 1205, {between(text, "Process ", " ") + "", "lock"});
    if (state == "55P03") return sqlServer(failure, 1222, {});
    // the schema's LIKE ... ESCAPE with an escape of other than one character
    if (state == "22025") return sqlServer(failure, 506, {between(text, "escape character \"", "\" was")});
    return failure;
}

}  // namespace Palvo::dialect
