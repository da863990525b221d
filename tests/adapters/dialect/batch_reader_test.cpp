// The reader's statement tree: where SQL Server's statements end without ';' (how IF, WHILE and
// BEGIN ... END nest is TsqlBatch's), what does not fit as SQL Server's syntax errors, and the
// variables a batch declares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/dialect/target.h"
#include "palvo/error.h"
#include "reader.h"
#include "support/errors.h"

namespace Palvo::dialect {
namespace {

std::string textOf(const StatementTree& tree, const BatchStatement& s) {
    return std::string(
        tree.text.substr(tree.offsetOf(s.first), tree.offsetOf(s.last) - tree.offsetOf(s.first)));
}

struct SplitCase {
    const char* tsql;
    std::vector<std::string> statements;
};

TEST(StatementTree, EndsStatementsWhereTheNextBegins) {
    const SplitCase cases[] = {
        {"select 1 select 2", {"select 1 ", "select 2"}},
        {"insert into T values (1) select 2", {"insert into T values (1) ", "select 2"}},
        {"insert T default values select 2", {"insert T default values ", "select 2"}},
        {"with c as (select 1 as a) insert into T select a from c select 1",
         {"with c as (select 1 as a) insert into T select a from c ", "select 1"}},
        {"alter table T add constraint F foreign key (a) references U (a) on delete set null delete from T",
         {"alter table T add constraint F foreign key (a) references U (a) on delete set null ",
          "delete from T"}},
        {"declare @a int = 1, @b varchar(10) select @a",
         {"declare @a int = 1, @b varchar(10) ", "select @a"}},
        {"set nocount on;select 1;", {"set nocount on", "select 1"}},
        {"create view V as select 1 as a select 2", {"create view V as select 1 as a select 2"}},
        {"begin tran update T set a = 1 commit", {"begin tran ", "update T set a = 1 ", "commit"}},
        {"print 'x' return", {"print 'x' ", "return"}},
        {"if exists (select 1) drop table T", {"if exists (select 1) drop table T"}},
        // MERGE's WHEN clauses hold UPDATE, DELETE and INSERT: it ends at its ';'
        {"merge T using S on T.k = S.k when matched then delete when not matched then insert (k) values "
         "(S.k); "
         "select 1",
         {"merge T using S on T.k = S.k when matched then delete when not matched then insert (k) values "
          "(S.k)",
          "select 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        const StatementTree tree = readStatementTree(c.tsql);
        std::vector<std::string> got;
        for (const auto& s : tree.statements) got.push_back(textOf(tree, s));
        EXPECT_EQ(got, c.statements);
    }
}

struct SyntaxCase {
    const char* tsql;
    long number;
    const char* message;
};

TEST(StatementTree, RefusesWhatDoesNotFitAsSqlServersSyntaxErrors) {
    const SyntaxCase cases[] = {
        {"select 1 end", 156, "Incorrect syntax near the keyword 'END'."},
        {"else select 1", 156, "Incorrect syntax near the keyword 'ELSE'."},
        {"if 1 = 1", 102, "Incorrect syntax near '1'."},
        {"while @i < 3;", 102, "Incorrect syntax near ';'."},
        {"begin select 1", 102, "Incorrect syntax near '1'."},
        {"if select 1", 156, "Incorrect syntax near the keyword 'SELECT'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        EXPECT_EQ(testing::fullErrorOf([&] { readStatementTree(c.tsql); }),
                  std::make_tuple(ErrorNumber::Database, c.number, std::string(c.message)));
    }
}

struct VariableCase {
    const char* tsql;
    const char* sqlite;
    std::vector<std::string> variables;
    std::vector<std::string> columnTypes;
};

// The batch engine sends each statement after DECLAREs of the variables it reads.
TEST(BatchVariables, AreParametersTypedAsDeclared) {
    const VariableCase cases[] = {
        {"declare @n decimal(10,2); select @n * 2",
         "select tsql_arith(?1, 2, 'd12,2*')",
         {"@n"},
         {"decimal(12,2)"}},
        {"declare @S varchar(3), @i int; select top (@i) a from t where b = @s",
         "select a from t where b = ?2 limit tsql_rows(?1, 'TOP')",
         {"@i", "@s"},
         {""}},
        {"declare @a int declare @b int; update t set a = @b where c = @b",
         "update t set a = ?1 where c = ?1",
         {"@b"},
         {}},
        {"declare @c varchar; select cast(@c as varchar(5))",
         "select tsql_convert('varchar(5)', ?1, null)",
         {"@c"},
         {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        const Translation tr = sqliteTarget().translate(c.tsql, nullptr);
        EXPECT_FALSE(tr.batch);
        EXPECT_EQ(tr.joined(), c.sqlite);
        EXPECT_EQ(tr.variables, c.variables);
        EXPECT_EQ(tr.columnTypes, c.columnTypes);
    }
}

TEST(BatchVariables, AVariableWithoutItsDeclarationMakesABatch) {
    const char* const texts[] = {
        "select @x", "declare @a int; select @b",     "declare @a int = 1; select @a", "set nocount on",
        "print 'x'", "declare @n int; declare @m int"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(sqliteTarget().translate(text, nullptr).batch);
    }
}

TEST(BatchVariables, TranslatingABatchAloneIsRefusedByWhatItHolds) {
    EXPECT_EQ(
        testing::errorOf([] { translateUncached("select @x"); }),
        std::make_pair(ErrorNumber::NotSupported,
                       std::string("Not supported by the embedded database: variable @x (T-SQL batches).")));
    Translator tr(sqliteTarget());
    EXPECT_EQ(testing::errorOf([&] { tr.translate("select 1 select 2"); }).second,
              "Not supported by the embedded database: several statements in one batch.");
}

struct DeclareCase {
    const char* tsql;
    std::vector<std::string> names;
    std::vector<std::string> types;
};

TEST(BatchVariables, DeclarationsGiveSqlServersTypes) {
    const DeclareCase cases[] = {
        {"declare @a int = 1, @b varchar(10)", {"@a", "@b"}, {"int", "varchar(10)"}},
        {"declare @s nvarchar, @d dec(10, 2), @m varchar(max)",
         {"@s", "@d", "@m"},
         {"nvarchar(1)", "decimal(10,2)", "varchar(max)"}},
        {"DECLARE @X as Integer", {"@x"}, {"int"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        const StatementTree tree = readStatementTree(c.tsql);
        std::vector<std::string> names, types;
        for (const Declared& d : readDeclarations(tree.nodes, 0, tree.nodes.size())) {
            names.push_back(d.name);
            types.push_back(d.type);
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(types, c.types);
    }
}

TEST(BatchVariables, DeclarationsRefusedAsSqlServerOrByName) {
    const std::pair<const char*, const char*> cases[] = {
        {"declare @a int, @t table (a int)",
         "Not supported by the embedded database: a table variable declared beside other variables (DECLARE "
         "@t TABLE)."},
        {"declare c cursor for select 1",
         "Not supported by the embedded database: cursors (DECLARE ... CURSOR)."},
        {"declare @t text", "The text, ntext, and image data types are invalid for local variables."},
        {"declare @a int, @t fancy", "Column, parameter, or variable #2: Cannot find data type fancy."},
        {"declare @a int,", "Incorrect syntax near ','."},
    };
    for (const auto& [tsql, message] : cases) {
        SCOPED_TRACE(tsql);
        const StatementTree tree = readStatementTree(tsql);
        EXPECT_EQ(testing::errorOf([&] { readDeclarations(tree.nodes, 0, tree.nodes.size()); }).second,
                  message);
    }
}

}  // namespace
}  // namespace Palvo::dialect
