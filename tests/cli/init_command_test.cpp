// `palvo init` killed midway, on a full disk, over a half-made schema and over
// settings sets holding a column twice.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "support/cli_database.h"
#include "support/processes.h"
#include "support/sqlite_faults.h"

namespace Palvo::cli {
namespace {

using testing::freshDatabaseFile;

// Runs SQLite text on the file past the tool (as an older version, or another program, would).
void raw(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The tables, triggers and indexes of the file.
std::string objects(const std::string& file) {
    return sqliteRows(file, "select count(*) from sqlite_master where type in ('table', 'trigger', 'index')")
        .at(0);
}

Outcome sql(const std::string& db, const std::string& statement) {
    return palvo({"sql", "--db", db, statement});
}

// The rows of a query through the tool (the tables' collation is the tool's), without the header line.
std::string rows(const std::string& db, const std::string& statement) {
    const std::string out = sql(db, statement).out;
    return out.substr(out.find('\n') + 1);
}

constexpr const char* kTooLong = "insert into B_单位 (单位编号, 名称) values ('12345678901234567890', '甲')";

TEST(Init, TheRunAfterAKilledOneMakesTheTablesWhole) {
    struct Case {
        const char* prefix;
        int nth;
    } cases[] = {{"create trigger", 1}, {"create trigger", 5}, {"create index", 1}, {"create table", 4}};
    for (const auto& c : cases) {
        const std::string db = freshDatabaseFile("init_killed");
        const pid_t pid = testing::runChild([&] {
            testing::killBeforeStatement(c.prefix, c.nth);
            return palvo({"init", "--db", db}).status;
        });
        ASSERT_EQ(testing::waitChild(pid), 128 + SIGKILL) << c.prefix << c.nth;
        EXPECT_EQ(objects(db), "0") << c.prefix << c.nth;
        auto r = palvo({"init", "--db", db});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("created B_单位"), std::string::npos);
        r = sql(db, kTooLong);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "palvo: 将截断字符串或二进制数据。\n");
    }
}

TEST(Init, OnAFullDiskItFailsLeavingNothing) {
    const std::string db = freshDatabaseFile("init_full");
    testing::DiskFull full(3);
    const Outcome r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "palvo: The disk holding the database '" + db +
                         "' is full: free space on it to change the database.\n");
    EXPECT_EQ(objects(db), "0");
}

// A table an earlier version left without its checks (and an index never made).
TEST(Init, AHalfMadeSchemaIsCompletedOrRefusedWithoutAChange) {
    const std::string db = freshDatabaseFile("init_half");
    ASSERT_EQ(palvo({"init", "--db", db}).status, 0);
    raw(db,
        "drop trigger \"B_单位__check_insert\"; drop trigger \"B_单位__check_update\"; "
        "drop index IX_查询打印设置");
    ASSERT_EQ(sql(db, kTooLong).status, 0) << "no check any more";
    const std::string before = objects(db);
    auto r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "palvo: The table B_单位 lacks some of its value checks, and its rows do not pass them: "
              "将截断字符串或二进制数据。\n");
    EXPECT_EQ(objects(db), before) << "nothing made, not even the index";
    EXPECT_EQ(rows(db, "select 单位编号 from B_单位"), "12345678901234567890\n");

    ASSERT_EQ(sql(db, "delete from B_单位").status, 0);
    r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "completed IX_查询打印设置\ncompleted B_单位__check_insert\ncompleted B_单位__check_update\n");
    EXPECT_EQ(sql(db, kTooLong).err, "palvo: 将截断字符串或二进制数据。\n");
    EXPECT_EQ(palvo({"init", "--db", db}).out, "") << "whole now";
}

// A file whose settings set 月报 of 张三 holds 名称 three times and 金额 twice.
std::string withRepeatedColumns(const std::string& name) {
    std::string db = freshDatabaseFile(name);
    EXPECT_EQ(palvo({"init", "--db", db}).status, 0);
    const std::string insert =
        "insert into 查询打印设置 (表名, 查询类别, 字段名, 选择标志, 排列顺序, 查询名, 用户名) "
        "values ('销售', '普通查询', ";
    for (const char* row :
         {"'名称', 1, 1, '月报', '张三'", "'金额', 1, 2, '月报', '张三'", "'名称', 0, 7, '月报', '张三'",
          "'金额', 0, 8, '月报', '张三'", "'名称', 0, 9, '月报', '张三'", "'名称', 1, 1, '周报', '张三'",
          "'名称', 1, 1, '月报', '李四'"})
        EXPECT_EQ(sql(db, insert + row + ")").status, 0) << row;
    return db;
}

const std::string kRepeatedColumns =
    "settings set 表名='销售' 用户名='张三' 查询类别='普通查询' 查询名='月报' "
    "holds a column more than once: '金额' (2 rows) '名称' (3 rows)\n";

TEST(Init, ASetHoldingAColumnTwiceFailsNamingIt) {
    const std::string db = withRepeatedColumns("init_repeated");
    EXPECT_EQ(
        palvo({"init", "--db", db}),
        (Outcome{1, kRepeatedColumns,
                 "palvo: 2 columns of settings sets are stored more than once; palvo init --repair keeps "
                 "the first row of each\n"}));
    EXPECT_EQ(rows(db, "select count(*) from 查询打印设置"), "7\n");
}

TEST(Init, RepairKeepsTheFirstRowOfARepeatedColumn) {
    const std::string db = withRepeatedColumns("init_repaired");
    const Outcome r = palvo({"init", "--db", db, "--repair"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kRepeatedColumns + "removed 3 repeated rows of 查询打印设置\n");
    EXPECT_EQ(
        rows(db, "select 查询名, 用户名, 字段名, 选择标志, 排列顺序 from 查询打印设置 order by rowid"),
        "月报\t张三\t名称\t1\t1\n月报\t张三\t金额\t1\t2\n周报\t张三\t名称\t1\t1\n月报\t李四\t名称\t1\t1\n");
    const Outcome again = palvo({"init", "--db", db});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "");
}

// A name a user typed prints as one quoted text of one line, as sql prints it:
// it cannot end the line, nor its quotes, and so cannot forge another.
TEST(Init, TextsOfTheFilePrintQuoted) {
    const std::string db = freshDatabaseFile("init_quoted");
    ASSERT_EQ(palvo({"init", "--db", db}).status, 0);
    const std::string user = "张'三\nsettings set 表名='假的' 用户名='x";
    const std::string column = "名\t称\\";
    const auto literal = [](const std::string& text) {
        std::string out = "'";
        for (char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
        return out + "'";
    };
    for (const char* row : {"1, 1", "0, 2"}) {
        ASSERT_EQ(sql(db,
                      "insert into 查询打印设置 (表名, 查询类别, 字段名, 选择标志, 排列顺序, 查询名, 用户名) "
                      "values ('销售', '普通查询', " +
                          literal(column) + ", " + row + ", '月报', " + literal(user) + ")")
                      .status,
                  0);
    }
    const Outcome r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "settings set 表名='销售' 用户名='张''三\\nsettings set 表名=''假的'' 用户名=''x' "
              "查询类别='普通查询' "
              "查询名='月报' holds a column more than once: '名\\t称\\\\' (2 rows)\n");
}

// Rows stored before a foreign key was declared, or past a program that does not
// enforce it, are named; init still does its work and succeeds.
TEST(Init, RowsThatBreakAForeignKeyAreOnlyWarned) {
    const std::string db = freshDatabaseFile("init_foreign");
    raw(db,
        "create table 客户 (编号 text primary key); "
        "create table 销售 (单号 text, 客户编号 text references 客户 (编号)); "
        "create table 明细 (单号 text, 客户编号 text, 行号 int, foreign key (客户编号, 行号) references "
        "客户x (a, b)); "
        "insert into 客户 values ('K1'); "
        "insert into 销售 values ('S1', 'K1'), ('S2', 'K9'), ('S3', null), ('S4', 'K''8\n'); "
        "insert into 明细 values ('S1', 'K1', 7)");
    const Outcome r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("created B_单位"), std::string::npos);
    EXPECT_EQ(
        r.err,
        "palvo: warning: row 2 of 销售 (客户编号='K9') refers to a row of 客户 that does not exist\n"
        "palvo: warning: row 4 of 销售 (客户编号='K''8\\n') refers to a row of 客户 that does not exist\n"
        "palvo: warning: row 1 of 明细 (客户编号='K1', 行号=7) refers to a row of 客户x that does not "
        "exist\n");
    EXPECT_EQ(rows(db, "select count(*) from 销售"), "4\n") << "nothing removed";
}

TEST(Init, BeyondTwentyRowsThatBreakAForeignKeyOnlyTheirNumberIsGiven) {
    const std::string db = freshDatabaseFile("init_foreign_many");
    raw(db,
        "create table 客户 (编号 int primary key); create table 销售 (客户编号 int references 客户); "
        "with n(i) as (select 1 union all select i + 1 from n where i < 25) insert into 销售 select i from "
        "n");
    const Outcome r = palvo({"init", "--db", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(
                  "palvo: warning: row 20 of 销售 (客户编号=20) refers to a row of 客户 that does not exist\n"
                  "palvo: warning: 5 more rows break a foreign key\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("row 21 "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace Palvo::cli
