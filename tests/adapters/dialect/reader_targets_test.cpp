// The reader's statements and kinds, and the targets that render them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "reader.h"
#include "support/errors.h"

namespace Palvo::dialect {
namespace {

struct KindCase {
    const char* tsql;
    StatementKind kind;
};

TEST(Reader, TellsEachStatementsKind) {
    const KindCase cases[] = {
        {"select 1", StatementKind::Select},
        {"create table T (a int)", StatementKind::CreateTable},
        {"create unique index IX on T (a)", StatementKind::CreateIndex},
        {"create nonclustered index IX on T (a)", StatementKind::CreateIndex},
        {"drop view V", StatementKind::Drop},
        {"alter table T add b int", StatementKind::AlterTableAdd},
        {"alter table T drop column b", StatementKind::AlterTableColumn},
        {"alter table T alter column b bigint", StatementKind::AlterTableColumn},
        {"exec sp_rename 'T', 'U'", StatementKind::Rename},
        {"sp_rename 'T', 'U'", StatementKind::Rename},
        {"create procedure P as select 1", StatementKind::Other},
        {"alter table T with check", StatementKind::Other},
        // a name alone first in its batch runs the procedure of that name
        {"[select] 1", StatementKind::Execute},
        {"过程 1, 'a'", StatementKind::Execute},
        {"(select 1)", StatementKind::Select},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsql);
        const ReadBatch batch = readBatch(c.tsql);
        ASSERT_EQ(batch.statements.size(), 1u);
        EXPECT_EQ(batch.statements[0].kind, c.kind);
    }
}

TEST(Reader, EndsAStatementAtEachSemicolonOutsideParentheses) {
    const std::string text = "select ';' as a; insert into T select (1);;\n delete T ; ";
    const ReadBatch batch = readBatch(text);
    ASSERT_EQ(batch.statements.size(), 3u);
    const StatementKind kinds[] = {StatementKind::Select, StatementKind::Insert, StatementKind::Delete};
    const char* texts[] = {"select ';' as a", "insert into T select (1)", "delete T "};
    for (std::size_t i = 0; i < 3; ++i) {
        const ReadStatement& s = batch.statements[i];
        EXPECT_EQ(s.kind, kinds[i]);
        EXPECT_EQ(text.substr(s.begin, s.end - s.begin), texts[i]);
        EXPECT_FALSE(s.nodes.back().op(";"));
    }
}

TEST(Reader, ReadsNoStatementWhereThereAreOnlySemicolonsOrComments) {
    EXPECT_TRUE(readBatch(" ; -- nothing\n ;").statements.empty());
}

// The system functions SQLite's target renders answer in TsqlCatalogue and EmbeddedSystemNames
// (dataaccess_test).
struct DbmsCase {
    const char* dbms;
    const Target* target;
};

// (each name as its driver gives it, and one of no target: OdbcConnection's tests and the suites' runs)
TEST(Targets, ChosenByTheDbmsNameTheDriverReports) {
    const DbmsCase cases[] = {
        {"microsoft sql server", &sqlServerTarget()},
        {"Microsoft SQL Server 2019", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dbms);
        EXPECT_EQ(targetForDbms(c.dbms), c.target);
    }
}

// SQL Server reads T-SQL itself: what SQLite's rendering rewrites or refuses reaches it as written.
TEST(Targets, SqlServersTranslatorKeepsTheTextAsWritten) {
    Translator tr(sqlServerTarget());
    const char* texts[] = {
        "select top 1 percent [a] from T with (updlock, holdlock)",
        "declare @n int; set @n = 1; select @n",
        "select N'中' + 'x' -- a comment",
        "select ')' + (",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const auto got = tr.translateStatements(text);
        EXPECT_EQ(got->statements, std::vector<std::string>{text});
    }
}

TEST(Targets, SqlitesTranslatorRendersForSqlite) {
    Translator tr(sqliteTarget());
    EXPECT_EQ(&tr.target(), &sqliteTarget());
    EXPECT_EQ(tr.translate("select top 2 [a] from T;"), "select \"a\" from T limit 2");
}

TEST(Targets, SqliteRefusesAnEmptyStatement) {
    EXPECT_EQ(testing::errorOf([] { sqliteTarget().translate(" ;", nullptr); }),
              std::make_pair(ErrorNumber::InvalidCall, std::string("The statement is empty.")));
}

}  // namespace
}  // namespace Palvo::dialect
