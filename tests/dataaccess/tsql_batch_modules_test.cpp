// Stored procedures: CREATE, ALTER and DROP PROCEDURE, EXEC with its arguments,
// OUTPUT parameters and return code, sp_helptext and the catalogue. The answers
// run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlModules : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (!conn_) return;
        for (const char* p :
             {"价", "倍", "码", "层", "层外", "深", "文", "集", "临", "看", "开", "错", "错外", "错内"})
            conn_->Execute(std::string("drop procedure if exists ") + p);
    }
    void prices() {
        conn_->Execute(
            "create procedure 价 @a int, @b varchar(10) = 'x', @c decimal(10,2) = 1.25 as select @a as a, @b "
            "as b, @c as c");
    }
};

TEST_P(TsqlModules, ArgumentsBindByPositionByNameOrFromTheDefaults) {
    prices();
    expectAnswers({
        {"exec 价 1", {"1", "x", "1.25"}},
        {"exec 价 @b = 'z', @a = 2", {"2", "z", "1.25"}},
        {"execute dbo.价 3, @c = 2.345", {"3", "x", "2.35"}},
        {"exec 价 '5', 'abcdefghijkl'", {"5", "abcdefghij", "1.25"}},
        {"价 4", {"4", "x", "1.25"}},
    });
}

TEST_P(TsqlModules, OutputParametersGoBackToTheCallersVariables) {
    conn_->Execute(
        "create proc 倍 (@n int, @r decimal(10,2) output) as begin set @r = @n * 1.5 set @n = 0 end");
    expectAnswers({
        {"declare @x int exec 倍 4, @x output select @x", {"6"}},
        // converted from the parameter's type: a decimal(10,2) keeps its scale as text
        {"declare @x varchar(10) exec 倍 @r = @x out, @n = 3 select @x", {"4.50"}},
        {"declare @x int = 9 exec 倍 4, @x select @x", {"9"}},
        {"declare @n int = 5, @x int exec 倍 @n, @x output select @n", {"5"}},
    });
}

TEST_P(TsqlModules, ReturnGivesTheCallersReturnCode) {
    conn_->Execute(
        "create procedure 码 @n int as if @n > 0 return @n * 10; else if @n < 0 return; set @n = 1");
    expectAnswers({
        {"declare @r int exec @r = 码 3 select @r", {"30"}},
        {"declare @r int = 5 exec @r = 码 -1 select @r", {"0"}},
        {"declare @r int = 5 exec @r = 码 0 select @r", {"0"}},
    });
}

TEST_P(TsqlModules, ATempTableMadeInAProcedureIsDroppedWhenItReturns) {
    conn_->Execute("create procedure 临 as begin create table #内 (k int) insert into #内 values (1) end");
    EXPECT_EQ(scalar("exec 临 select object_id('tempdb..#内')"), "<null>");
}

TEST_P(TsqlModules, AProcedureSeesItsCallersTempTables) {
    conn_->Execute("create procedure 看 as select count(*) from #外");
    EXPECT_EQ(scalar("create table #外 (k int) insert into #外 values (1), (2) exec 看"), "2");
}

TEST_P(TsqlModules, ATableVariableIsItsOwnCallsAlone) {
    conn_->Execute(
        "create procedure 层 as declare @t table (k int) insert into @t values (2), (3) select count(*) from "
        "@t");
    conn_->Execute(
        "create procedure 层外 as declare @t table (k int) insert into @t values (1) exec 层 select count(*) "
        "from @t");
    const std::vector<ResultTable> sets = conn_->QueryResults("exec 层外");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].at(0, 0).toText(), "2");
    EXPECT_EQ(sets[1].at(0, 0).toText(), "1");
}

TEST_P(TsqlModules, NestLevelCountsTheCallsWithinCalls) {
    conn_->Execute("create procedure 层 as select @@nestlevel");
    conn_->Execute("create procedure 层外 as exec 层");
    expectAnswers({
        {"select @@nestlevel", {"0"}},
        {"exec 层", {"1"}},
        {"exec 层外", {"2"}},
        {"exec sp_executesql N'exec 层'", {"2"}},
    });
}

TEST_P(TsqlModules, AProcedureThatLeavesItsTransactionOpenFailsWith266) {
    conn_->Execute("create procedure 开 as begin tran");
    EXPECT_EQ(refused("exec 开"), 266);
    EXPECT_EQ(scalar("select @@trancount"), "1");
    conn_->Execute("rollback");
}

TEST_P(TsqlModules, AlterReplacesTheDefinition) {
    prices();
    conn_->Execute("alter procedure 价 @a int as select @a * 2 as a");
    EXPECT_EQ(scalar("exec 价 4"), "8");
    conn_->Execute("create or alter procedure 价 as select 'new' as a");
    EXPECT_EQ(scalar("exec 价"), "new");
}

TEST_P(TsqlModules, DropRemovesEachProcedureItNames) {
    prices();
    conn_->Execute("create procedure 码 as select 1");
    conn_->Execute("drop procedure if exists 价, 无此过程, dbo.码");
    EXPECT_EQ(refused("exec 价 1"), 2812);
    EXPECT_EQ(refused("exec 码"), 2812);
}

TEST_P(TsqlModules, SpHelptextGivesTheDefinitionLineByLine) {
    conn_->Execute("create procedure 文\nas\nselect 1 as a");
    EXPECT_EQ(rows("exec sp_helptext '文'"),
              (std::vector<Row>{{"create procedure 文\n"}, {"as\n"}, {"select 1 as a"}}));
    conn_->Execute("ALTER PROCEDURE 文 AS select 2 as a");
    EXPECT_EQ(rows("exec sp_helptext N'dbo.文'"),
              (std::vector<Row>{{"CREATE PROCEDURE 文 AS select 2 as a"}}));
}

// a row holds 255 characters, a line's end among them
TEST_P(TsqlModules, SpHelptextCutsALongLineIntoRowsOf255Characters) {
    const std::string x = "select '" + std::string(300, 'x') + "' as a";  // 314 characters
    std::string wide = "select N'";
    for (int k = 0; k < 244; ++k) wide += "价";
    conn_->Execute("create procedure 长 as\n" + x + "\n" + wide + "'\r\nselect 1");  // 256 with its end
    EXPECT_EQ(rows("exec sp_helptext '长'"), (std::vector<Row>{{"create procedure 长 as\n"},
                                                               {x.substr(0, 255)},
                                                               {x.substr(255) + "\n"},
                                                               {wide + "'\r"},
                                                               {"\n"},
                                                               {"select 1"}}));
}

TEST_P(TsqlModules, ErrorProcedureNamesTheProcedureWhereTheErrorWasRaised) {
    conn_->Execute("create procedure 错 as begin declare @x int set @x = 1 / 0 end");
    conn_->Execute(
        "create procedure 错外 as begin try exec 错 end try begin catch select error_procedure() end catch");
    conn_->Execute(
        "create procedure 错内 as begin try declare @x int set @x = 1 / 0 end try begin catch select "
        "error_procedure() end catch");
    expectAnswers({
        {"begin try exec 错 end try begin catch select error_procedure() end catch", {"dbo.错"}},
        {"exec 错外", {"dbo.错"}},
        {"exec 错内", {"dbo.错内"}},
        {"declare @x int begin try set @x = 1 / 0 end try begin catch select error_procedure() end catch",
         {"<null>"}},
    });
}

TEST_P(TsqlModules, TheCatalogueShowsAProcedureByItsTypeCode) {
    prices();
    expectAnswers({
        {"select count(*) from sysobjects where name = N'价' and xtype = 'P'", {"1"}},
        {"select type_desc from sys.objects where name = N'价'", {"SQL_STORED_PROCEDURE"}},
        {"select case when object_id(N'价') = object_id(N'dbo.价', 'P') then 1 else 0 end", {"1"}},
        {"select object_id(N'价', 'U')", {"<null>"}},
        {"select object_name(object_id(N'价'))", {"价"}},
    });
}

TEST_P(TsqlModules, WhatSqlServerRefusesFailsWithItsNumber) {
    prices();
    conn_->Execute("create procedure 深 @n int as begin set @n += 1 exec 深 @n end");
    expectRefusals({
        {"exec 无此过程", 2812},
        {"exec 价", 201},
        {"exec 价 1, 'a', 2, 3", 8144},
        {"exec 价 @z = 1", 8145},
        {"exec 价 @a = 1, 'y'", 119},
        {"declare @x varchar(10) exec 价 1, @x output", 8162},
        {"create procedure 价 as select 1", 2714},
        {"alter procedure 无此过程 as select 1", 208},
        {"drop procedure 无此过程", 3701},
        {"select 1 as a create procedure 某 as select 2", 111},
        {"declare @n int = 1 return @n", 178},
        {"exec sp_helptext '无此过程'", 15009},
        {"exec 深 0", 217},
    });
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlModules);

// ---- what the embedded database decides

using testing::openEmbeddedFile;

TEST(EmbeddedModules, AProcedureIsStoredInTheFileForEveryConnection) {
    const testing::ScratchDir dir("palvo_modules");
    const std::string file = (dir.path / "m.db").string();
    auto one = openEmbeddedFile(file);
    auto two = openEmbeddedFile(file);
    one->Execute("create procedure 价 @a int as select @a + 1");
    EXPECT_EQ(two->Query("exec 价 1").at(0, 0).toText(), "2");
    one->Close();
    two->Close();
    EXPECT_EQ(openEmbeddedFile(file)->Query("exec 价 2").at(0, 0).toText(), "3");
}

TEST(EmbeddedModules, TheDefinitionIsStoredAsTheHostWroteIt) {
    auto c = testing::openEmbedded();
    const std::string text = "CREATE PROC [价]\n  @a int = 1 -- 数量\nAS select @a\n";
    c->Execute(text);
    const ResultTable t = c->Query("select name, type, parent, definition from palvo_modules");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.at(0, 0).toText(), "价");
    EXPECT_EQ(t.at(0, 1).toText(), "P");
    EXPECT_TRUE(t.at(0, 2).isNull());
    EXPECT_EQ(t.at(0, 3).toText(), text);
}

TEST(EmbeddedModules, WhatItDoesNotRunIsRefusedByName) {
    auto c = testing::openEmbedded();
    c->Execute("create procedure 价 as select 1");
    const std::vector<testing::ByName> cases = {
        {"create procedure 某 with recompile as select 1", "CREATE PROCEDURE ... WITH RECOMPILE"},
        {"declare @p nvarchar(20) = N'价' exec @p", "EXEC of a procedure named by a variable"},
        {"exec 价 default", "DEFAULT as an argument of EXEC"},
    };
    testing::expectRefusedByName(*c, "", cases, "select count(*) from sys.objects");
}

}  // namespace
}  // namespace Palvo
