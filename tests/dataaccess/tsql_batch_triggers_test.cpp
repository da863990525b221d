// AFTER triggers: what their bodies see and what they undo, as SQL Server runs them.
// The answers run on a real SQL Server too when PALVO_TEST_MSSQL names one; what the
// embedded database alone decides (its refusals, two connections on one file) runs there only.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/errors.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlTriggers : public testing::AnswersTest {
protected:
    // an audit of every change of 账: 'i' rows from inserted, 'd' rows from deleted
    void audited() {
        conn_->Execute("create table 账 (k int, v varchar(10))");
        conn_->Execute("create table 日志 (kind char(1), k int, v varchar(10))");
        conn_->Execute(
            "create trigger 记账 on 账 after insert, update, delete as "
            "insert into 日志 select 'i', k, v from inserted; "
            "insert into 日志 (kind, k, v) select 'd', deleted.k, deleted.v from deleted");
    }
};

TEST_P(TsqlTriggers, ThePseudoTablesHoldTheStatementsRows) {
    audited();
    const std::pair<const char*, std::vector<Row>> cases[] = {
        {"insert into 账 values (1, 'a'), (2, 'b')", {{"i", "1", "a"}, {"i", "2", "b"}}},
        {"update 账 set v = 'x' where k = 1", {{"d", "1", "a"}, {"i", "1", "x"}}},
        {"delete from 账 where k = 2", {{"d", "2", "b"}}},
        {"update 账 set v = 'y' where k = 99", {}},
    };
    for (const auto& [change, logged] : cases) {
        SCOPED_TRACE(change);
        conn_->Execute("delete from 日志");
        conn_->Execute(change);
        EXPECT_EQ(rows("select kind, k, v from 日志 order by kind, k"), logged);
    }
}

// once per statement, also for none, @@ROWCOUNT at its start being the statement's rows
TEST_P(TsqlTriggers, ATriggerFiresOncePerStatementSeeingItsRowCount) {
    conn_->Execute("create table 货 (k int)");
    conn_->Execute("create table 次 (n int)");
    conn_->Execute(
        "create trigger 数 on 货 for insert, update, delete as insert into 次 values (@@rowcount)");
    const std::pair<const char*, std::vector<Row>> cases[] = {
        {"insert into 货 values (1), (2), (3)", {{"3"}}},
        {"update 货 set k = k where k > 5", {{"0"}}},
        {"delete from 货 where k < 3", {{"2"}}},
        {"insert into 货 select k from 货 where k > 5", {{"0"}}},
    };
    for (const auto& [change, fired] : cases) {
        SCOPED_TRACE(change);
        conn_->Execute("delete from 次");
        conn_->Execute(change);
        EXPECT_EQ(rows("select n from 次"), fired);
    }
}

// RAISERROR tells why; ROLLBACK undoes the statement and the transaction, and the batch ends
TEST_P(TsqlTriggers, ARollbackInATriggerEndsTheBatchUndoingItsTransaction) {
    conn_->Execute("create table 库存 (k int, 数量 int)");
    conn_->Execute(
        "create trigger 查数量 on 库存 after insert as "
        "if exists (select * from inserted where 数量 < 0) raiserror('数量不能为负', 16, 1) "
        "if exists (select * from inserted where 数量 <= 0) rollback");
    struct Case {
        const char* batch;
        long error;
        std::vector<Row> kept;  // the keys in 库存 after it
    };
    const Case cases[] = {
        {"insert into 库存 values (1, -1)", 50000, {}},
        {"insert into 库存 values (2, 5) insert into 库存 values (3, -1) insert into 库存 values (4, 5)",
         50000,
         {{"2"}}},
        {"begin tran insert into 库存 values (5, 5) insert into 库存 values (6, -1) commit", 50000, {{"2"}}},
        {"insert into 库存 values (7, 0) insert into 库存 values (8, 5)", 3609, {{"2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch);
        EXPECT_EQ(refused(c.batch), c.error);
        EXPECT_EQ(rows("select k from 库存 order by k"), c.kept);
        EXPECT_EQ(scalar("select @@trancount"), "0");
    }
}

// an error of the body's statements undoes the statement that fired it
TEST_P(TsqlTriggers, AnErrorInATriggerUndoesItsStatement) {
    conn_->Execute("create table 单 (k int)");
    conn_->Execute("create table 明细 (k int primary key)");
    conn_->Execute("create trigger 抄 on 单 after insert as insert into 明细 select k from inserted");
    conn_->Execute("insert into 明细 values (2)");
    EXPECT_EQ(refused("insert into 单 values (1), (2)"), 2627);
    EXPECT_EQ(scalar("select count(*) from 单"), "0");
    EXPECT_EQ(scalar("select count(*) from 明细"), "1");
}

// the trigger's identity is @@IDENTITY's; the statement's own stays SCOPE_IDENTITY()
TEST_P(TsqlTriggers, IdentityOfATriggersInsertIsOnlyAtAtIdentity) {
    conn_->Execute("create table 订单 (id int identity, n int)");
    conn_->Execute("create table 审计 (aid int identity, n int)");
    conn_->Execute("insert into 审计 (n) values (0), (0), (0), (0)");
    conn_->Execute("create trigger 审 on 订单 after insert as insert into 审计 (n) select n from inserted");
    conn_->Execute("create table 退货 (id int identity, n int)");
    conn_->Execute("create table 备注 (n int)");
    conn_->Execute("create trigger 注 on 退货 after insert as insert into 备注 select n from inserted");
    expectAnswers({
        {"insert into 订单 (n) values (7) select @@identity, scope_identity()", {"5", "1"}},
        {"insert into 订单 (n) values (8) select max(aid), max(n) from 审计", {"6", "8"}},
        // a trigger that made no identity leaves the statement's
        {"insert into 退货 (n) values (9) select @@identity, scope_identity()", {"1", "1"}},
    });
}

// a trigger's change fires the next table's trigger; none fires again on its own table
TEST_P(TsqlTriggers, TriggersNestButDoNotFireForTheirOwnTable) {
    conn_->Execute("create table 甲 (k int)");
    conn_->Execute("create table 乙 (k int)");
    conn_->Execute("create table 丙 (k int)");
    conn_->Execute(
        "create trigger 甲到乙 on 甲 after insert, update as insert into 乙 select k + 1 from inserted "
        "update 甲 set k = k * 10 where k in (select k from inserted)");
    conn_->Execute("create trigger 乙到丙 on 乙 after insert as insert into 丙 select k + 1 from inserted");
    conn_->Execute("insert into 甲 values (1)");
    expectAnswers({
        {"select k from 甲", {"10"}},
        {"select k from 乙", {"2"}},
        {"select k from 丙", {"3"}},
    });
}

// 32 levels run; the 33rd fails and undoes the whole
TEST_P(TsqlTriggers, NestingStopsPastThirtyTwoLevels) {
    for (const int levels : {32, 33}) {
        SCOPED_TRACE(levels);
        conn_->Execute("create table 层0 (k int)");
        for (int i = 1; i <= levels; ++i) {
            const std::string t = "层" + std::to_string(i), before = "层" + std::to_string(i - 1);
            conn_->Execute("create table " + t + " (k int)");
            conn_->Execute("create trigger 触" + before + " on " + before + " after insert as insert into " +
                           t + " select k + 1 from inserted");
        }
        const std::string last = "层" + std::to_string(levels);
        EXPECT_EQ(refused("insert into 层0 values (0)"), levels == 32 ? 0 : 217);
        EXPECT_EQ(scalar("select count(*) from " + last), levels == 32 ? "1" : "0");
        for (int i = 0; i <= levels; ++i) conn_->Execute("drop table 层" + std::to_string(i));
    }
}

TEST_P(TsqlTriggers, UpdateOfAColumnTellsWhetherTheStatementSetIt) {
    audited();
    conn_->Execute("drop trigger 记账");
    conn_->Execute("insert into 账 values (1, 'a')");
    conn_->Execute(
        "create trigger 改 on 账 after update as if update(v) insert into 日志 values ('v', 0, '')");
    const std::pair<const char*, const char*> cases[] = {
        {"update 账 set v = 'b'", "1"},
        {"update 账 set k = 2", "0"},
        {"update 账 set k = 3, v = 'c' where k = 99", "1"},
    };
    for (const auto& [change, logged] : cases) {
        SCOPED_TRACE(change);
        conn_->Execute("delete from 日志");
        conn_->Execute(change);
        EXPECT_EQ(scalar("select count(*) from 日志"), logged);
    }
}

TEST_P(TsqlTriggers, AlteringATriggerReplacesItsDefinition) {
    const char* alters[] = {
        "alter trigger 记账 on 账 after delete as insert into 日志 select 'x', k, v from deleted",
        "create or alter trigger 记账 on 账 after delete as insert into 日志 select 'x', k, v from deleted",
    };
    for (const char* alter : alters) {
        SCOPED_TRACE(alter);
        audited();
        conn_->Execute(alter);
        conn_->Execute("insert into 账 values (1, 'a') delete from 账");
        EXPECT_EQ(rows("select kind, k, v from 日志"), (std::vector<Row>{{"x", "1", "a"}}));
        conn_->Execute("drop table 账 drop table 日志");
    }
}

TEST_P(TsqlTriggers, ARenamedTableKeepsItsTriggers) {
    audited();
    conn_->Execute("exec sp_rename '账', '帐'");
    conn_->Execute("insert into 帐 values (1, 'a')");
    EXPECT_EQ(rows("select kind, k, v from 日志"), (std::vector<Row>{{"i", "1", "a"}}));
}

// DROP TRIGGER, and DROP TABLE with the table's triggers
TEST_P(TsqlTriggers, ADroppedTriggerFiresNoMore) {
    const char* drops[] = {"drop trigger 记账", "drop table 账 create table 账 (k int, v varchar(10))"};
    for (const char* drop : drops) {
        SCOPED_TRACE(drop);
        audited();
        conn_->Execute(drop);
        conn_->Execute("insert into 账 values (1, 'a')");
        EXPECT_EQ(scalar("select count(*) from 日志"), "0");
        conn_->Execute("drop table 账 drop table 日志");
    }
}

TEST_P(TsqlTriggers, TheCatalogueKnowsATriggerAsAnObjectOfKindTr) {
    audited();
    expectAnswers({
        {"select xtype from sysobjects where name = '记账'", {"TR"}},
        {"select rtrim(type), type_desc from sys.objects where name = '记账'", {"TR", "SQL_TRIGGER"}},
        {"select count(*) from sys.objects o join sys.tables t on t.object_id = o.parent_object_id "
         "where o.name = '记账' and t.name = '账'",
         {"1"}},
        {"select case when object_id('记账', 'TR') is null then 'no' else 'yes' end", {"yes"}},
        {"select case when object_id('记账', 'U') is null then 'no' else 'yes' end", {"no"}},
        {"select case when object_id('账', 'TR') is null then 'no' else 'yes' end", {"no"}},
    });
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlTriggers);

// ---- what the embedded database decides

TEST(EmbeddedTriggers, TriggerFormsItDoesNotRunAreRefusedByName) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int)");
    const std::vector<testing::ByName> cases = {
        {"create trigger t on 账 instead of insert as select 1", "INSTEAD OF"},
        {"create trigger t on database for create_table as select 1", "DDL and database triggers"},
        {"create trigger t on 账 after update as if columns_updated() > 0 select 1", "COLUMNS_UPDATED()"},
    };
    testing::expectRefusedByName(*c, "", cases, "select count(*) from sys.objects");
}

TEST(EmbeddedTriggers, CreateTriggerAfterAnotherStatementIsError111BeforeAnythingRuns) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int)");
    const auto [number, native, says] = testing::fullErrorOf(
        [&] { c->Execute("insert into 账 values (1) create trigger t on 账 after insert as select 1"); });
    EXPECT_EQ(native, 111);
    EXPECT_EQ(says, "'CREATE TRIGGER' must be the first statement in a query batch.");
    EXPECT_EQ(c->Query("select count(*) from 账").at(0, 0).toText(), "0");
}

TEST(EmbeddedTriggers, TheModuleTableIsHiddenFromTheCatalogue) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int)");
    c->Execute("create trigger 记 on 账 after insert as select 1");
    for (const char* q : {"select count(*) from sys.tables where name like 'palvo%'",
                          "select count(*) from sys.objects where name like 'palvo%'",
                          "select count(*) from sysobjects where name like 'palvo%'",
                          "select count(*) from information_schema.tables where table_name like 'palvo%'",
                          "select count(*) from information_schema.columns where table_name like 'palvo%'",
                          "select count(object_id('palvo_modules'))"}) {
        SCOPED_TRACE(q);
        EXPECT_EQ(c->Query(q).at(0, 0).toText(), "0");
    }
}

// a trigger text this version cannot run (written by hand, or by another program) stops its table only
TEST(EmbeddedTriggers, ATriggerThatCannotRunRefusesOnlyItsTablesChanges) {
    auto c = testing::openEmbedded();
    c->Execute("create table 账 (k int) create table 别 (k int)");
    c->Execute("create trigger 记 on 别 after insert as select 1");
    c->Execute(
        "insert into palvo_modules values ('替', 'TR', '账', 'create trigger 替 on 账 instead of insert as "
        "select 1')");
    c->Execute("create table 丙 (k int)");  // the schema changed: the triggers are read again
    testing::expectRefusedByName(*c, "insert into 账 values (1)", "INSTEAD OF");
    EXPECT_EQ(c->Execute("insert into 别 values (1)"), 1);
    EXPECT_EQ(c->Query("select count(*) from 账").at(0, 0).toText(), "0");
}

// the library's own writes (a form's save: one statement with its values) fire it too
TEST(EmbeddedTriggers, AStatementWithParametersFiresTheTrigger) {
    auto c = testing::openEmbedded();
    c->Execute("create table 客户 (k int, 名称 varchar(20))");
    c->Execute("create table 改动 (名称 varchar(20))");
    c->Execute("create trigger 记 on 客户 after insert as insert into 改动 select 名称 from inserted");
    c->ExecuteWith("insert into 客户 (k, 名称) values (?, ?)", {Value(1), Value(std::string("张三"))});
    EXPECT_EQ(c->Query("select 名称 from 改动").at(0, 0).toText(), "张三");
}

// the trigger is in the file: a connection opened before it was made fires it
TEST(EmbeddedTriggers, AnotherConnectionsTriggerFires) {
    const testing::ScratchDir dir("palvo_triggers");
    auto one = testing::openEmbeddedFile((dir.path / "two.db").string());
    auto two = testing::openEmbeddedFile((dir.path / "two.db").string());
    one->Execute("create table 账 (k int) create table 日志 (k int)");
    two->Execute("insert into 账 values (1)");
    one->Execute("create trigger 记 on 账 after insert as insert into 日志 select k from inserted");
    two->Execute("insert into 账 values (2)");
    EXPECT_EQ(two->Query("select count(*), max(k) from 日志").at(0, 1).toText(), "2");
    EXPECT_EQ(two->Query("select count(*) from 日志").at(0, 0).toText(), "1");
}

}  // namespace
}  // namespace Palvo
