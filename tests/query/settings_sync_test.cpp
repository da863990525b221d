// Settings sets stored before their table gained or lost columns, read again.
#include "src/query/settings_sync.h"

#include <gtest/gtest.h>

#include "forms/counting_connection.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/memory/controls.h"
#include "src/data/host_tables.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

using Texts = std::vector<std::string>;

const char* const kTable =
    "create table 订单 (编号 int, 名称 nvarchar(20), 金额 money, 数量 int, 备注 nvarchar(50), 日期 datetime)";
// 名称 包含 a, AND 备注 = x
const char* const kItems = ",,名称, 包含 ,a,, AND ,备注, = ,x";

class SettingsSync : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        exec({kTable});
        restart();  // counts what the library runs; exec and scalar go past it
    }
    // A set as a user leaves it: sorted by 金额 descending then 名称, 金额 and
    // 数量 totalled, grouped by 名称 and 备注, 日期 hidden, and a condition.
    void configure(const std::string& user = "张三") {
        session().sUser = user;
        db.sGetField("订单", "普通查询", "月报");
        const std::string kept =
            "查询条件='名称 like ''%a%'' AND 备注 = ''x''', 条件项目='" + std::string(kItems);
        Texts updates;
        for (const std::string& set :
             Texts{"排序=1.1, 合计=1 where 字段名='金额'", "排序=2, 分组=1 where 字段名='名称'",
                   "合计=2 where 字段名='数量'", "分组=2 where 字段名='备注'",
                   "选择标志=0 where 字段名='日期'", kept + "' where 1=1"})
            updates.push_back("update 查询打印设置 set " + set + " and 用户名='" + user + "'");
        exec(updates);
    }
    // The four lists of sGetField, in one line each.
    Texts lists(const std::string& user = "张三") {
        session().sUser = user;
        Texts out;
        for (const char* kind : {"选择", "合计", "排序", "分组"})
            out.push_back(kind + std::string(": ") + db.sGetField("订单", "普通查询", "月报", kind));
        return out;
    }
    // Every row's cells joined by "/", rows by ",".
    std::string rows(const std::string& sql) {
        auto t = conn->Query(sql);
        std::string out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            for (std::size_t c = 0; c < t.columns.size(); ++c)
                out += (c ? "/" : r ? "," : "") + t.at(r, c).toText();
        }
        return out;
    }
    std::string condition(const std::string& user = "张三") {
        return scalar("select distinct 查询条件 from 查询打印设置 where 用户名='" + user + "'");
    }
    // A new connection to the same database, as after the program was closed and started again:
    // nothing of what the old one found is known to it.
    void restart() {
        counting = std::make_shared<testing::CountingConnection>(conn);
        session().oConn = counting;
    }
    // The columns recorded for a user's sets, "查询名:字段名" sorted.
    Texts recorded(const std::string& user = "张三") {
        auto t = conn->Query("select 查询名, 字段名 from 查询打印设置表字段 where 用户名='" + user + "'");
        Texts out;
        for (std::size_t r = 0; r < t.rowCount(); ++r)
            out.push_back(t.at(r, 0).toText() + ":" + t.at(r, 1).toText());
        std::sort(out.begin(), out.end());
        return out;
    }
    // The order table made anew, no sets; the record table kept, emptied, or dropped (with a new connection).
    enum class Record { Kept, Emptied, Dropped };
    void fresh(Record record = Record::Kept) {
        exec({"drop table 订单", kTable, "delete from 查询打印设置"});
        if (record != Record::Kept && data::tableExists(*conn, "查询打印设置表字段"))
            exec({record == Record::Dropped ? "drop table 查询打印设置表字段"
                                            : "delete from 查询打印设置表字段"});
        if (record == Record::Dropped) restart();
    }
    static Texts columnsOf(const std::string& query, const Texts& columns) {
        Texts out;
        for (const std::string& c : columns) out.push_back(query + ":" + c);
        std::sort(out.begin(), out.end());
        return out;
    }
    clsDatabase db;
    std::shared_ptr<testing::CountingConnection> counting;
};

// Each change of the table between two reads, and what the reads give then.
TEST_F(SettingsSync, TheListsFollowTheTablesColumns) {
    const std::string kept = "名称 like '%a%' AND 备注 = 'x'";
    const Texts same{"选择: 名称,金额,数量,备注", "合计: 金额,数量", "排序: 金额 desc,名称 asc",
                     "分组: 名称,备注"};
    const struct Case {
        const char* name;
        Texts changes;
        Texts lists;
        std::string condition;
    } cases[] = {
        // clang-format off
        {"unchanged", {}, same, kept},
        {"columns gained come last in table order, shown, neither sorted, totalled nor grouped",
         {"alter table 订单 add 电话 varchar(20)", "alter table 订单 add 地址 nvarchar(40)"},
         {"选择: 名称,金额,数量,备注,电话,地址", "合计: 金额,数量", "排序: 金额 desc,名称 asc", "分组: 名称,备注"}, kept},
        {"a column in the condition dropped takes the condition with it", {"alter table 订单 drop column 备注"},
         {"选择: 名称,金额,数量", "合计: 金额,数量", "排序: 金额 desc,名称 asc", "分组: 名称"}, ""},
        {"the first sort key and total dropped, the condition not naming it", {"alter table 订单 drop column 金额"},
         {"选择: 名称,数量,备注", "合计: 数量", "排序: 名称 asc", "分组: 名称,备注"}, kept},
        {"a hidden column dropped", {"alter table 订单 drop column 日期"}, same, kept},
        {"columns seeding leaves out are not added",
         {"alter table 订单 add 照片 image", "alter table 订单 add 说明 text", "alter table 订单 add 编号1 int"},
         same, kept},
        // clang-format on
    };
    // read again on the same connection, or on a new one, as when the table changed while no
    // program had the sets open
    for (const bool restarted : {false, true}) {
        for (const Case& c : cases) {
            const std::string name = c.name + std::string(restarted ? " (restarted)" : "");
            fresh();
            configure();
            exec(c.changes);
            if (restarted) restart();
            EXPECT_EQ(lists(), c.lists) << name;
            EXPECT_EQ(condition(), c.condition) << name;
            // the items stay, for the custom query dialog to tell what went
            EXPECT_EQ(scalar("select distinct 条件项目 from 查询打印设置"), kItems) << name;
            EXPECT_EQ(
                scalar("select count(*) from 查询打印设置"),
                scalar("select count(*) from syscolumns where object_name(id)='订单' and name<>'编号' and "
                       "type_name(xtype) not in ('image','text') and name<>'编号1'"))
                << name << ": one row per column";
            EXPECT_EQ(scalar("select count(*) from 查询打印设置表字段"),
                      scalar("select count(*) from syscolumns where object_name(id)='订单'"))
                << name << ": the record holds the table's columns as they are now";
        }
    }
}

TEST_F(SettingsSync, AGainedRowFollowsTheLastRow) {
    configure();
    exec({"alter table 订单 add 电话 varchar(20)"});
    db.sGetField("订单", "普通查询", "月报", "合计");
    EXPECT_EQ(
        rows("select 选择标志, 排列顺序, 排序, 合计, 分组, 查询条件 from 查询打印设置 where 字段名='电话'"),
        "1/7/0/0/0/名称 like '%a%' AND 备注 = 'x'");
}

// The host's statement runs again, built from the lists.
TEST_F(SettingsSync, TheListsOfAChangedTableStillMakeAStatement) {
    configure();
    exec({"insert into 订单 (名称, 金额, 数量, 备注) values ('甲', 1, 2, 'x')",
          "alter table 订单 add 电话 varchar(20)", "alter table 订单 drop column 备注"});
    auto t = conn->Query("select " + db.sGetField("订单", "普通查询", "月报") + " from 订单 order by " +
                         db.sGetField("订单", "普通查询", "月报", "排序"));
    ASSERT_EQ(t.columns.size(), 4u);
    EXPECT_EQ(t.columns[3].name, "电话");
    EXPECT_EQ(t.rowCount(), 1u);
}

TEST_F(SettingsSync, TwoUsersKeepTheirOwnSets) {
    for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "restarted" : "same connection");
        fresh();
        configure("张三");
        session().sUser = "李四";
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量,备注,日期");
        exec({"update 查询打印设置 set 排序=1 where 字段名='备注' and 用户名='李四'",
              "update 查询打印设置 set 选择标志=0 where 字段名='名称' and 用户名='李四'"});
        exec({"alter table 订单 add 电话 varchar(20)", "alter table 订单 drop column 金额"});
        if (restarted) restart();
        EXPECT_EQ(lists("张三"),
                  (Texts{"选择: 名称,数量,备注,电话", "合计: 数量", "排序: 名称 asc", "分组: 名称,备注"}));
        EXPECT_EQ(lists("李四"), (Texts{"选择: 数量,备注,日期,电话", "合计: ", "排序: 备注 asc", "分组: "}));
        EXPECT_EQ(condition("张三"), "名称 like '%a%' AND 备注 = 'x'");
        EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 字段名='电话'"), "2");
        const Texts now{"编号", "名称", "数量", "备注", "日期", "电话"};
        EXPECT_EQ(recorded("张三"), columnsOf("月报", now));
        EXPECT_EQ(recorded("李四"), columnsOf("月报", now));
    }
}

// Category 录入 is read across query names: a column joins it once, in the set of its last row.
TEST_F(SettingsSync, EntrySetsAreOneSetAcrossQueryNames) {
    exec(
        {"insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) values "
         "('订单','名称',1,1,'录入','一','张三'), ('订单','已删',1,2,'录入','一','张三'), "
         "('订单','金额',1,3,'录入','二','张三')"});
    EXPECT_EQ(db.sGetField("订单", "录入", "三"), "名称,金额");
    exec({"alter table 订单 add 电话 varchar(20)"});
    EXPECT_EQ(db.sGetField("订单", "录入", "一"), "名称,金额,电话");
    EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 查询名='二'"), "2");
}

// Sets a host or an older version wrote, with some of the columns on purpose:
// a column the table had before the set was first read is not added, one it
// gains later is, whether the program ran on meanwhile or was started again; a
// row of a column long gone goes, with its sort key.
TEST_F(SettingsSync, SetsWrittenWithSomeColumnsKeepToThem) {
    const struct Case {
        const char* name;
        bool restartBeforeFirstRead, restartAfterChange;
    } cases[] = {
        {"one connection", false, false},
        {"started again after the change", false, true},
        {"started again before each read", true, true},
    };
    for (const Case& c : cases) {
        fresh(Record::Emptied);
        exec(
            {"insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,排序) values "
             "('订单','名称',1,2,'普通查询','月报','张三',1), "
             "('订单','旧列',1,9,'普通查询','月报','张三',2.1), "
             "('订单','金额',0,12,'普通查询','月报','张三',0)"});
        if (c.restartBeforeFirstRead) restart();
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称") << c.name;
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报", "排序"), "名称 asc") << c.name;
        EXPECT_EQ(recorded(), columnsOf("月报", {"编号", "名称", "金额", "数量", "备注", "日期"})) << c.name;
        exec({"alter table 订单 add 电话 varchar(20)"});
        if (c.restartAfterChange) restart();
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,电话") << c.name;
        EXPECT_EQ(rows("select 字段名, 排列顺序 from 查询打印设置 order by 排列顺序"),
                  "名称/2,金额/12,电话/13")
            << c.name;
    }
}

// Without the record table (a database older versions used, or one whose table was dropped), a read
// makes it; the sets it finds then have no record and gain nothing that time, and a column added after
// that is added.
TEST_F(SettingsSync, AReadMakesAMissingRecordTable) {
    const struct Missing {
        const char* name;
        bool dropMidway;
    } missing[] = {{"a database without it", false}, {"dropped while the program runs", true}};
    for (const Missing& c : missing) {
        fresh(Record::Dropped);
        // the set as an older version seeded it, without a record
        exec(
            {"insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) select "
             "'订单',name,1,colid,'普通查询','月报','张三' from syscolumns where object_name(id)='订单' "
             "and name<>'编号'"});
        if (c.dropMidway) {
            EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量,备注,日期") << c.name;
            exec({"drop table 查询打印设置表字段"});
        }
        exec({"alter table 订单 add 电话 varchar(20)"});
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量,备注,日期") << c.name;
        EXPECT_TRUE(data::tableExists(*conn, "查询打印设置表字段")) << c.name;
        EXPECT_EQ(recorded(), columnsOf("月报", {"编号", "名称", "金额", "数量", "备注", "日期", "电话"}))
            << c.name;
        exec({"alter table 订单 add 地址 nvarchar(40)"});
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量,备注,日期,地址") << c.name;
    }
}

// A record is written a hundred columns to a statement: a wide table's is whole.
TEST_F(SettingsSync, AWideTablesRecordHoldsEveryColumn) {
    std::string create = "create table 宽表 (列0 int", all = "列0";
    for (int i = 1; i < 250; ++i) {
        create += ", 列" + std::to_string(i) + " int";
        all += ",列" + std::to_string(i);
    }
    exec({create + ")"});
    EXPECT_EQ(db.sGetField("宽表", "普通查询", "月报"), all);
    exec({"alter table 宽表 add 电话 varchar(20)"});
    EXPECT_EQ(db.sGetField("宽表", "普通查询", "月报"), all + ",电话");
    EXPECT_EQ(scalar("select count(distinct 字段名) from 查询打印设置表字段 where 表名='宽表'"), "251");
    EXPECT_EQ(scalar("select count(*) from 查询打印设置表字段 where 表名='宽表'"), "251");
}

// A name the catalogue does not know (a dropped table, a misspelling) changes nothing.
TEST_F(SettingsSync, ASetOfATableThatIsGoneLosesNothing) {
    configure();
    exec({"drop table 订单"});
    EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量,备注");
    EXPECT_EQ(scalar("select count(*) from 查询打印设置"), "5");
}

TEST_F(SettingsSync, TheTableIsComparedOncePerChange) {
    configure();
    counting->reset();
    db.sGetField("订单", "普通查询", "月报");
    db.sGetField("订单", "普通查询", "月报", "排序");
    memory::ComboBox cmb;
    Form frm;
    std::string category = "普通查询";
    clsSearch().mInitComboType(frm, cmb, "订单", category);
    EXPECT_EQ(counting->queries.size(), 3u) << "no catalogue read while the table is unchanged";
    EXPECT_TRUE(counting->executes.empty());

    exec({"alter table 订单 add 电话 varchar(20)"});
    counting->reset();
    EXPECT_EQ(db.sGetField("订单", "普通查询", "月报", "合计"), "金额,数量");
    ASSERT_EQ(counting->queries.size(), 4u);
    EXPECT_EQ(counting->queries[0].rfind("select name, type_name(xtype) from syscolumns", 0), 0u);
    EXPECT_EQ(counting->queries[2].rfind("select 查询名, 字段名 from 查询打印设置表字段", 0), 0u);
    EXPECT_EQ(counting->executes.size(), 3u) << "the row added, the record replaced";
    counting->reset();
    db.sGetField("订单", "普通查询", "月报");
    EXPECT_EQ(counting->queries.size(), 1u);
    EXPECT_TRUE(counting->executes.empty());

    // another table changed: the columns of this one are read, and found as they were
    exec({"create table 其他 (甲 int)"});
    counting->reset();
    db.sGetField("订单", "普通查询", "月报");
    ASSERT_EQ(counting->queries.size(), 2u);
    EXPECT_EQ(counting->queries[0].rfind("select name, type_name(xtype) from syscolumns", 0), 0u);
    EXPECT_TRUE(counting->executes.empty());
}

// The changes, the record's with them, are one transaction, and so are seeding a
// set and its record: a failure of any statement leaves the sets, the record and
// the record table as they were, the read reports it, and the next read does it all.
TEST_F(SettingsSync, AFailureMidwayChangesNothing) {
    enum Start { Configured, OldSet, NoSet };
    const struct Case {
        const char* failing;
        Start start;
        const char* listAfter;
    } cases[] = {
        {"delete from 查询打印设置 ", Configured, "名称,金额,数量,电话"},
        {"Insert Into 查询打印设置", Configured, "名称,金额,数量,电话"},
        {"update 查询打印设置 set 查询条件", Configured, "名称,金额,数量,电话"},
        {"delete from 查询打印设置表字段", Configured, "名称,金额,数量,电话"},
        {"insert into 查询打印设置表字段", Configured, "名称,金额,数量,电话"},
        // a set an older version seeded: the record table made, then its index or the record fails
        {"create index IX_查询打印设置表字段", OldSet, "名称"},
        {"insert into 查询打印设置表字段", OldSet, "名称"},
        // no set yet: seeded, then the record table or the record fails
        {"create index IX_查询打印设置表字段", NoSet, "名称,金额,数量,备注,日期"},
        {"insert into 查询打印设置表字段", NoSet, "名称,金额,数量,备注,日期"},
    };
    const std::string everything =
        "select 字段名, 查询条件, 选择标志, 排列顺序, 排序, 合计, 分组 from 查询打印设置 order by 排列顺序";
    for (const Case& c : cases) {
        const std::string name = c.failing + std::string(c.start == Configured ? ""
                                                         : c.start == OldSet   ? " (old set)"
                                                                               : " (no set)");
        fresh(Record::Dropped);
        if (c.start == Configured) {
            configure();
            exec({"alter table 订单 add 电话 varchar(20)", "alter table 订单 drop column 备注"});
        } else if (c.start == OldSet) {
            exec(
                {"insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) values "
                 "('订单','名称',1,1,'普通查询','月报','张三'), "
                 "('订单','旧列',1,2,'普通查询','月报','张三')"});
        }
        const std::string before = rows(everything);
        const bool recordTable = data::tableExists(*conn, "查询打印设置表字段");
        const Texts recordBefore = recordTable ? recorded() : Texts{};
        counting->afterExecute = [&](const std::string& sql) {
            if (sql.rfind(c.failing, 0) == 0) throw Error(ErrorNumber::Database, "磁盘已满");
        };
        EXPECT_THROW(db.sGetField("订单", "普通查询", "月报"), Error) << name;
        EXPECT_EQ(rows(everything), before) << name;
        ASSERT_EQ(data::tableExists(*conn, "查询打印设置表字段"), recordTable) << name;
        if (recordTable) {
            EXPECT_EQ(recorded(), recordBefore) << name;
        }
        EXPECT_FALSE(counting->InTransaction()) << name;
        counting->afterExecute = nullptr;
        EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), c.listAfter) << name << ": tried again";
        EXPECT_EQ(recorded(), columnsOf("月报", c.start == Configured
                                                    ? Texts{"编号", "名称", "金额", "数量", "日期", "电话"}
                                                    : Texts{"编号", "名称", "金额", "数量", "备注", "日期"}))
            << name;
    }
}

// Inside the host's transaction the changes are part of it: rolled back with
// it, and made again by the next read.
TEST_F(SettingsSync, InAHostTransactionTheChangesAreTheHosts) {
    configure();
    exec({"alter table 订单 drop column 备注"});
    counting->BeginTrans();
    EXPECT_EQ(db.sGetField("订单", "普通查询", "月报"), "名称,金额,数量");
    EXPECT_TRUE(counting->InTransaction());
    counting->RollbackTrans();
    EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 字段名='备注'"), "1");
    EXPECT_EQ(db.sGetField("订单", "普通查询", "月报", "分组"), "名称");
    EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 字段名='备注'"), "0");
}

TEST(ConditionItems, RowsNamingALostColumnGo) {
    const struct Case {
        const char* name;
        std::string items;
        Texts columns;
        std::string kept;
        Texts dropped;
    } cases[] = {
        {"none lost", kItems, {"名称", "备注"}, kItems, {}},
        {"the first row: the next joins nothing", kItems, {"备注"}, ",,备注, = ,x", {"名称"}},
        {"a later row", kItems, {"名称"}, ",,名称, 包含 ,a", {"备注"}},
        {"every row", kItems, {"金额"}, "", {"名称", "备注"}},
        {"names compare without case and trailing blanks",
         ",, Name , = ,1,, OR ,NAME, = ,2",
         {"name  "},
         ",, Name , = ,1,, OR ,NAME, = ,2",
         {}},
        {"a comma kept in a value",
         ",,名称, = ,北京\x1f朝阳,, AND ,备注, = ,x",
         {"名称"},
         ",,名称, = ,北京\x1f朝阳",
         {"备注"}},
        {"brackets only stay", "(,,,,,, AND ,备注, = ,x,),,,,", {"名称"}, "(,,,,,),,,,", {"备注"}},
        {"no items", "", {"名称"}, "", {}},
    };
    for (const Case& c : cases) {
        Texts dropped;
        EXPECT_EQ(query::itemsWithoutColumns(c.items, c.columns, dropped), c.kept) << c.name;
        EXPECT_EQ(dropped, c.dropped) << c.name;
    }
    EXPECT_EQ(query::droppedConditionNotice({"备注"}),
              "表中已没有字段“备注”，含有该字段的查询条件已删除，请检查查询条件后重新保存！");
    EXPECT_EQ(query::droppedConditionNotice({"备注", "电话"}),
              "表中已没有字段“备注”、“电话”，含有这些字段的查询条件已删除，请检查查询条件后重新保存！");
}

}  // namespace
}  // namespace Palvo
