// Cursors in a batch: DECLARE ... CURSOR, OPEN, FETCH, CLOSE, DEALLOCATE, as old
// host code loops over rows. The answers run on a real SQL Server too when
// PALVO_TEST_MSSQL names one; what the embedded database alone decides runs there only.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlCursors : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (!conn_) return;
        conn_->Execute("create table 账 (k int, v varchar(10))");
        conn_->Execute("insert into 账 values (1, 'a'), (2, 'b'), (3, 'c')");
    }
    // a batch that opens `declaration` over 账 by k, moves it by `moves`, and answers its last
    // row's k and @@FETCH_STATUS
    Row moved(const std::string& declaration, const std::string& moves) {
        return row("declare @k int = 0 declare c cursor " + declaration +
                   " for select k from 账 order by k open c " + moves +
                   " select @k, @@fetch_status close c deallocate c");
    }
};

TEST_P(TsqlCursors, LoopsReadEveryRowInOrder) {
    const char* const loops[] = {
        "declare c cursor for select v from 账 order by k",
        "declare c cursor local fast_forward for select v from 账 order by k",
        "declare c cursor local forward_only static read_only for select v from 账 order by k",
        "declare c cursor keyset for select v from 账 order by k for read only",
        "declare c insensitive cursor for select v from 账 order by k",
        "declare c cursor for select v from 账 order by k for update of v",
    };
    for (const char* declaration : loops) {
        SCOPED_TRACE(declaration);
        EXPECT_EQ(scalar(std::string("declare @v varchar(10), @s varchar(20) = '' ") + declaration +
                         " open c fetch next from c into @v while @@fetch_status = 0 begin set @s += @v "
                         "fetch next from c into @v end close c deallocate c select @s"),
                  "abc");
    }
}

TEST_P(TsqlCursors, LoopConditionsOnTheFetchStatusAnswerAsQueries) {
    const char* const conditions[] = {"@@fetch_status = 0", "(@@fetch_status = 0)", "@@fetch_status <> -1",
                                      "@@fetch_status + 0 = 0"};
    for (const char* condition : conditions) {
        SCOPED_TRACE(condition);
        EXPECT_EQ(scalar(std::string("declare @v varchar(10), @s varchar(20) = '' declare c cursor local for "
                                     "select v from 账 order by k open c fetch c into @v while ") +
                         condition + " begin set @s += @v fetch c into @v end deallocate c select @s"),
                  "abc");
    }
}

TEST_P(TsqlCursors, ScrollFetchesMoveAsTheyAreTold) {
    // the moves, and the k they leave: each fetch finds its row
    const std::pair<const char*, const char*> cases[] = {
        {"fetch last from c into @k", "3"},
        {"fetch last from c into @k fetch prior from c into @k", "2"},
        {"fetch last from c into @k fetch first from c into @k", "1"},
        {"fetch absolute 2 from c into @k", "2"},
        {"fetch absolute -1 from c into @k", "3"},
        {"fetch first from c into @k fetch relative 2 from c into @k", "3"},
        {"fetch last from c into @k fetch relative -2 from c into @k", "1"},
        {"fetch absolute 2 from c into @k fetch relative 0 from c into @k", "2"},
        {"declare @n int = 3 fetch absolute @n from c into @k", "3"},
    };
    for (const auto& [moves, k] : cases) {
        SCOPED_TRACE(moves);
        EXPECT_EQ(moved("scroll", moves), (Row{k, "0"}));
    }
}

TEST_P(TsqlCursors, AFetchOffTheRowsTellsMinusOneLeavingTheVariables) {
    const char* const moves[] = {
        "fetch absolute 1 from c into @k fetch prior from c into @k",
        "fetch absolute 1 from c into @k fetch absolute 9 from c into @k",
        "fetch absolute 1 from c into @k fetch absolute 0 from c into @k",
        "fetch absolute 1 from c into @k fetch relative -5 from c into @k",
        "fetch absolute 1 from c into @k fetch absolute -4 from c into @k",
    };
    for (const char* m : moves) {
        SCOPED_TRACE(m);
        EXPECT_EQ(moved("scroll", m), (Row{"1", "-1"}));
    }
    EXPECT_EQ(
        moved("static", "fetch last from c into @k fetch next from c into @k fetch prior from c into @k"),
        (Row{"3", "0"}));
}

TEST_P(TsqlCursors, FetchWithoutIntoReturnsTheRow) {
    EXPECT_EQ(rows("declare c cursor local for select k, v from 账 order by k open c fetch next from c "
                   "fetch next from c"),
              (std::vector<Row>{{"1", "a"}}));
    EXPECT_EQ(names("declare c cursor local for select k, v as 名称 from 账 open c fetch next from c"),
              (Row{"k", "名称"}));
    EXPECT_EQ(row("declare c cursor local for select k from 账 where k > 5 open c fetch next from c"),
              (Row{"<no row>"}));
}

TEST_P(TsqlCursors, FetchIntoConvertsAsAssignmentDoes) {
    EXPECT_EQ(
        row("declare @s varchar(3), @i int, @n decimal(10,2), @t varchar(10) declare c cursor local for "
            "select 'abcdef', 2.7, 1.255, k from 账 where k = 2 open c fetch c into @s, @i, @n, @t "
            "select @s, @i, @n, @t + '|'"),
        (Row{"abc", "2", "1.26", "2|"}));
}

TEST_P(TsqlCursors, ItsQueryReadsTheVariablesAsTheyWereWhenDeclared) {
    EXPECT_EQ(
        scalar("declare @x int = 2, @v varchar(10) declare c cursor local for select v from 账 where k = "
               "@x set @x = 3 open c fetch c into @v select @v"),
        "b");
}

TEST_P(TsqlCursors, AStaticCursorKeepsTheRowsOfItsOpen) {
    EXPECT_EQ(scalar("declare @v varchar(10) declare c cursor local static for select v from 账 order by k "
                     "open c update 账 set v = 'z' delete from 账 where k = 1 fetch c into @v select @v"),
              "a");
}

TEST_P(TsqlCursors, CursorRowsTellsTheLastOpenedCursor) {
    EXPECT_EQ(row("select @@cursor_rows"), (Row{"0"}));
    EXPECT_EQ(row("declare c cursor local static for select k from 账 open c select @@cursor_rows"),
              (Row{"3"}));
    EXPECT_EQ(row("declare c cursor local for select k from 账 open c select @@cursor_rows"), (Row{"-1"}));
    EXPECT_EQ(row("declare c cursor local static for select k from 账 open c close c select @@cursor_rows"),
              (Row{"0"}));
    // a local cursor is deallocated with its batch
    conn_->Execute("declare c cursor local static for select k from 账 open c");
    EXPECT_EQ(row("select @@cursor_rows"), (Row{"0"}));
}

TEST_P(TsqlCursors, MisusedCursorsFailWithSqlServersErrors) {
    expectRefusals({
        {"declare c cursor local for select 1 declare c cursor local for select 2", 16915},
        {"fetch next from nowhere", 16916},
        {"declare c cursor local for select 1 fetch next from c", 16917},
        {"declare c cursor local for select 1 close c", 16917},
        {"declare c cursor local for select 1 open c open c", 16905},
        {"declare @a int declare c cursor local for select 1, 2 open c fetch c into @a", 16924},
        {"declare c cursor local for select 1 open c fetch prior from c", 16911},
        {"declare c cursor local fast_forward for select 1 open c fetch last from c", 16911},
        {"declare c cursor local for select 1 deallocate c open c", 16916},
    });
}

TEST_P(TsqlCursors, ACursorErrorEndsOnlyItsStatement) {
    EXPECT_EQ(refused("fetch next from nowhere insert into 账 values (4, 'd')"), 16916);
    EXPECT_EQ(scalar("select count(*) from 账"), "4");
}

TEST_P(TsqlCursors, AGlobalCursorLivesWithTheConnection) {
    conn_->Execute("declare g cursor global for select k from 账 order by k open g");
    EXPECT_EQ(rows("fetch next from g"), (std::vector<Row>{{"1"}}));
    EXPECT_EQ(rows("fetch next from global g"), (std::vector<Row>{{"2"}}));
    conn_->Execute("close g deallocate g");
    EXPECT_EQ(refused("fetch next from g"), 16916);
}

// SQL Server's databases make a cursor global unless it says LOCAL
TEST_P(TsqlCursors, ACursorIsGlobalUnlessDeclaredLocal) {
    conn_->Execute("declare d cursor for select k from 账");
    EXPECT_EQ(refused("declare d cursor for select k from 账"), 16915);
    conn_->Execute("deallocate d");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlCursors);

// ---- what the embedded database decides

using EmbeddedCursors = testing::EmbeddedAccounts;

TEST_F(EmbeddedCursors, RefusesByNameWhatItDoesNotRunBeforeAnythingRuns) {
    const std::vector<testing::ByName> cases = {
        {"declare c cursor dynamic for select k from 账", "DYNAMIC cursors"},
        {"declare c cursor local for select k from 账 open c fetch c update 账 set v = 'x' where current of "
         "c",
         "WHERE CURRENT OF"},
        {"delete from 账 where current of c", "WHERE CURRENT OF"},
        {"declare @c cursor", "cursor variables"},
        {"open @c", "cursor variables"},
        {"declare c cursor fast_forward scroll for select k from 账", "FAST_FORWARD"},
        {"declare c cursor local for select k from 账 select cursor_status('local', 'c')", "CURSOR_STATUS"},
    };
    testing::expectRefusedByName(*conn_, "insert into 账 values (1, 'a') ", cases, "select count(*) from 账");
}

TEST_F(EmbeddedCursors, ClosingTheConnectionEndsItsGlobalCursors) {
    conn_->Execute("declare g cursor for select k from 账 open g");
    conn_->Close();
    conn_->Open(":memory:");
    EXPECT_NO_THROW(conn_->Execute("declare g cursor for select 1 open g close g deallocate g"));
}

}  // namespace
}  // namespace Palvo
