// The embedded database's errors as SQL Server reports them: its number, and its
// words in Chinese (the default) or English, each raised by a real statement.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"

namespace {

using Palvo::Error;
namespace ErrorNumber = Palvo::ErrorNumber;
using Palvo::testing::errorOf;
using Palvo::testing::fullErrorOf;

const char* const kSchema[] = {
    "create table 客户 (编号 varchar(4) not null primary key, 名称 nvarchar(10) not null, 类别 int check "
    "(类别 >= 0), constraint UQ_客户 unique (名称))",
    "create table 单据 (单号 int not null, 行号 int not null, 数量 tinyint, 金额 decimal(5,2), 日期 "
    "datetime, 备注 varchar(4), constraint PK_单据 primary key (单号, 行号), constraint CK_数量 check (数量 "
    "> 0))",
    "create unique index IX_备注 on 单据 (备注)",
    "insert into 客户 values ('01', '甲', 1)",
    "insert into 单据 values (1, 1, 1, 1.00, '2004-01-01', 'a')",
    "create table 销售单 (单号 int not null primary key, 客户 varchar(4) not null references 客户(编号))",
    "create table 销售明细 (单号 int not null, 行号 int not null, constraint FK_明细_销售单 foreign key "
    "(单号) "
    "references 销售单 (单号))",
    "insert into 销售单 values (1, '01')",
    "insert into 销售明细 values (1, 1)",
};

struct Case {
    const char* sql;
    long number;
    const char* chinese;
    const char* english;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.sql; }

class ServerError : public ::testing::TestWithParam<Case> {};

// Everything the tables hold, to see that a failed statement changed nothing.
std::string contents(Palvo::sqlite::Connection& c) {
    std::string all;
    for (const char* sql : {"select * from 客户 order by 编号", "select * from 单据 order by 单号, 行号",
                            "select * from 销售单", "select * from 销售明细"}) {
        const auto t = c.Query(sql);
        for (std::size_t i = 0; i < t.cells.size(); ++i)
            all += (t.cells[i].isNull() ? "<null>" : t.cells[i].toText()) + "|";
        all += "\n";
    }
    return all;
}

TEST_P(ServerError, IsSqlServersErrorInEitherLanguage) {
    const Case& k = GetParam();
    for (const bool english : {false, true}) {
        Palvo::sqlite::Connection c;
        c.Open(english ? "Data Source=:memory:;Language=us_english" : ":memory:");
        for (const char* s : kSchema) c.Execute(s);
        EXPECT_EQ(
            fullErrorOf([&] {
                std::string(k.sql).starts_with("select") ? (void)c.Query(k.sql) : (void)c.Execute(k.sql);
            }),
            std::make_tuple(ErrorNumber::Database, k.number, std::string(english ? k.english : k.chinese)));
    }
}

TEST_P(ServerError, ChangesNothing) {
    const Case& k = GetParam();
    Palvo::sqlite::Connection c;
    c.Open(":memory:");
    for (const char* s : kSchema) c.Execute(s);
    const std::string before = contents(c);
    EXPECT_THROW(std::string(k.sql).starts_with("select") ? (void)c.Query(k.sql) : (void)c.Execute(k.sql),
                 Palvo::Error);
    EXPECT_EQ(contents(c), before);
}

const Case kCases[] = {
    {"select 折扣 from 客户", 207, "列名 '折扣' 无效。", "Invalid column name '折扣'."},
    {"select k.折扣 from 客户 k", 207, "列名 '折扣' 无效。", "Invalid column name '折扣'."},
    {"insert into 客户 (编号, 折扣) values ('02', 1)", 207, "列名 '折扣' 无效。",
     "Invalid column name '折扣'."},
    {"select * from 供应商", 208, "对象名 '供应商' 无效。", "Invalid object name '供应商'."},
    // a catalogue view of SQL Server's the embedded database does not have
    {"select * from sys.procedures", 208, "对象名 'sys.procedures' 无效。",
     "Invalid object name 'sys.procedures'."},
    {"select * frm 客户", 102, "'frm' 附近有语法错误。", "Incorrect syntax near 'frm'."},
    {"select 名称 from 客户 where", 156, "关键字 'where' 附近有语法错误。",
     "Incorrect syntax near the keyword 'where'."},
    {"select 名称 from from 客户", 156, "关键字 'from' 附近有语法错误。",
     "Incorrect syntax near the keyword 'from'."},
    {"create table 客户 (a int)", 2714, "数据库中已存在名为 '客户' 的对象。",
     "There is already an object named '客户' in the database."},
    {"insert into 客户 values ('01', '乙', 1)", 2627,
     "违反了 PRIMARY KEY 约束 'PK__客户'。不能在对象 'dbo.客户' 中插入重复键。",
     "Violation of PRIMARY KEY constraint 'PK__客户'. Cannot insert duplicate key in object 'dbo.客户'."},
    {"insert into 客户 values ('02', '甲', 1)", 2627,
     "违反了 UNIQUE KEY 约束 'UQ_客户'。不能在对象 'dbo.客户' 中插入重复键。",
     "Violation of UNIQUE KEY constraint 'UQ_客户'. Cannot insert duplicate key in object 'dbo.客户'."},
    {"insert into 单据 values (1, 1, 2, 2.00, '2004-01-02', 'b')", 2627,
     "违反了 PRIMARY KEY 约束 'PK_单据'。不能在对象 'dbo.单据' 中插入重复键。",
     "Violation of PRIMARY KEY constraint 'PK_单据'. Cannot insert duplicate key in object 'dbo.单据'."},
    {"insert into 单据 values (1, 2, 1, 1.00, '2004-01-01', 'a')", 2601,
     "不能在具有唯一索引 'IX_备注' 的对象 'dbo.单据' 中插入重复键的行。",
     "Cannot insert duplicate key row in object 'dbo.单据' with unique index 'IX_备注'."},
    {"insert into 客户 (编号) values ('03')", 515,
     "不能将值 NULL 插入列 '名称'，表 'main.dbo.客户'；列不允许有 Null 值。INSERT 失败。",
     "Cannot insert the value NULL into column '名称', table 'main.dbo.客户'; column does not allow nulls. "
     "INSERT fails."},
    {"update 客户 set 名称 = null", 515,
     "不能将值 NULL 插入列 '名称'，表 'main.dbo.客户'；列不允许有 Null 值。UPDATE 失败。",
     "Cannot insert the value NULL into column '名称', table 'main.dbo.客户'; column does not allow nulls. "
     "UPDATE fails."},
    {"insert into 单据 values (2, 1, 0, 1.00, '2004-01-01', 'c')", 547,
     "INSERT 语句与 CHECK 约束\"CK_数量\"冲突。该冲突发生于数据库\"main\"，表\"dbo.单据\"。",
     "The INSERT statement conflicted with the CHECK constraint \"CK_数量\". The conflict occurred in "
     "database \"main\", table \"dbo.单据\"."},
    {"update 客户 set 类别 = -1", 547,
     "UPDATE 语句与 CHECK 约束\"类别 >= 0\"冲突。该冲突发生于数据库\"main\"，表\"dbo.客户\"。",
     "The UPDATE statement conflicted with the CHECK constraint \"类别 >= 0\". The conflict occurred in "
     "database \"main\", table \"dbo.客户\"."},
    {"insert into 销售明细 values (9, 1)", 547,
     "INSERT 语句与 FOREIGN KEY 约束\"FK_明细_销售单\"冲突。该冲突发生于数据库\"main\"，表\"dbo.销售单\", "
     "column "
     "'单号'。",
     "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_明细_销售单\". The conflict "
     "occurred "
     "in database \"main\", table \"dbo.销售单\", column '单号'."},
    {"insert into 销售单 values (2, 'NO')", 547,
     "INSERT 语句与 FOREIGN KEY 约束\"FK__销售单__客户\"冲突。该冲突发生于数据库\"main\"，表\"dbo.客户\", "
     "column "
     "'编号'。",
     "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK__销售单__客户\". The conflict "
     "occurred "
     "in database \"main\", table \"dbo.客户\", column '编号'."},
    {"update 销售单 set 客户 = 'NO'", 547,
     "UPDATE 语句与 FOREIGN KEY 约束\"FK__销售单__客户\"冲突。该冲突发生于数据库\"main\"，表\"dbo.客户\", "
     "column "
     "'编号'。",
     "The UPDATE statement conflicted with the FOREIGN KEY constraint \"FK__销售单__客户\". The conflict "
     "occurred "
     "in database \"main\", table \"dbo.客户\", column '编号'."},
    {"delete from 客户 where 编号 = '01'", 547,
     "DELETE 语句与 REFERENCE 约束\"FK__销售单__客户\"冲突。该冲突发生于数据库\"main\"，表\"dbo.销售单\", "
     "column "
     "'客户'。",
     "The DELETE statement conflicted with the REFERENCE constraint \"FK__销售单__客户\". The conflict "
     "occurred "
     "in database \"main\", table \"dbo.销售单\", column '客户'."},
    {"drop table 销售单", 3726, "无法删除对象 '销售单'，因为该对象正由一个 FOREIGN KEY 约束引用。",
     "Could not drop object '销售单' because it is referenced by a FOREIGN KEY constraint."},
    {"drop table if exists 销售单", 3726, "无法删除对象 '销售单'，因为该对象正由一个 FOREIGN KEY 约束引用。",
     "Could not drop object '销售单' because it is referenced by a FOREIGN KEY constraint."},
    // the list's first table is dropped, then put back with it when the second is refused
    {"drop table 销售明细, 客户", 3726, "无法删除对象 '客户'，因为该对象正由一个 FOREIGN KEY 约束引用。",
     "Could not drop object '客户' because it is referenced by a FOREIGN KEY constraint."},
    {"select 名称 from 客户 where 编号 = ?", 8178,
     "参数化查询 'select 名称 from 客户 where 编号 = ?' 需要参数 '@P1'，但未提供该参数。",
     "The parameterized query 'select 名称 from 客户 where 编号 = ?' expects the parameter '@P1', which was "
     "not "
     "supplied."},
    {"update 客户 set 名称 = ? where 编号 = '01'", 8178,
     "参数化查询 'update 客户 set 名称 = ? where 编号 = '01'' 需要参数 '@P1'，但未提供该参数。",
     "The parameterized query 'update 客户 set 名称 = ? where 编号 = '01'' expects the parameter '@P1', "
     "which "
     "was not supplied."},
    {"update 单据 set 备注 = 'abcde'", 8152, "将截断字符串或二进制数据。",
     "String or binary data would be truncated."},
    {"update 单据 set 数量 = 300", 220, "数据类型 tinyint 的算术溢出错误，值 = 300。",
     "Arithmetic overflow error for data type tinyint, value = 300."},
    {"update 单据 set 金额 = 1000", 8115, "将 numeric 转换为数据类型 numeric 时出现算术溢出错误。",
     "Arithmetic overflow error converting numeric to data type numeric."},
    {"select 2147483647 + 1", 8115, "将 expression 转换为数据类型 int 时出现算术溢出错误。",
     "Arithmetic overflow error converting expression to data type int."},
    {"update 单据 set 数量 = 数量 / 0", 8134, "遇到以零作除数错误。", "Divide by zero error encountered."},
    {"select 'it''s' + 1", 245, "在将 varchar 值 'it's' 转换成数据类型 int 时失败。",
     "Conversion failed when converting the varchar value 'it's' to data type int."},
    {"select 'a' - 'b'", 8117, "操作数数据类型 varchar 对于 subtract 运算符无效。",
     "Operand data type varchar is invalid for subtract operator."},
    {"select 'x' / 2.5", 8114, "从数据类型 varchar 转换为 float 时出错。",
     "Error converting data type varchar to float."},
    {"update 单据 set 日期 = 'abc'", 241, "从字符串转换日期和/或时间时，转换失败。",
     "Conversion failed when converting date and/or time from character string."},
    {"select convert(datetime, '9999-12-31 23:59:59.999')", 242,
     "从 varchar 数据类型到 datetime 数据类型的转换产生一个超出范围的值。",
     "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value."},
    {"select 123456789012345678901234567890123456789", 1007,
     "数字 '123456789012345678901234567890123456789' 超出了数值表示形式的范围(最大精度为 38)。",
     "The number '123456789012345678901234567890123456789' is out of the range for numeric representation "
     "(maximum precision 38)."},
    {"alter table 供应商 drop column 名称", 4902, "找不到对象\"供应商\"，因为它不存在或者您没有所需的权限。",
     "Cannot find the object \"供应商\" because it does not exist or you do not have permissions."},
    {"alter table 客户 drop column 折扣", 4924,
     "ALTER TABLE DROP COLUMN 失败，因为表 '客户' 中不存在列 '折扣'。",
     "ALTER TABLE DROP COLUMN failed because column '折扣' does not exist in table '客户'."},
    {"alter table 单据 drop column 备注", 5074,
     "索引 'IX_备注' 依赖于 列 '备注'。由于一个或多个对象访问此列，ALTER TABLE DROP COLUMN 备注 失败。",
     "The index 'IX_备注' is dependent on column '备注'. ALTER TABLE DROP COLUMN 备注 failed because one or "
     "more objects access this column."},
    {"exec sp_rename '供应商', '厂商'", 15248, "参数 @objname 不明确或所声明的 @objtype (OBJECT)有误。",
     "Either the parameter @objname is ambiguous or the claimed @objtype (OBJECT) is wrong."},
    {"exec sp_rename '客户', '单据'", 15335,
     "错误: 新名称 '单据' 已作为 object 名称使用，这将导致不允许的重复。",
     "Error: The new name '单据' is already in use as a object name and would cause a duplicate that is not "
     "permitted."},
};
INSTANTIATE_TEST_SUITE_P(EachError, ServerError, ::testing::ValuesIn(kCases));

std::string freshFile(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "palvo_errors_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    std::string file = dir + "/" + name + ".db";
    for (const char* tail : {"", "-wal", "-shm"}) std::filesystem::remove(file + tail);
    return file;
}

TEST(ServerErrors, ALockHeldBeyondTheWaitIsSqlServersLockTimeout) {
    const std::string file = freshFile("locked");
    Palvo::sqlite::Connection holder, waiter;
    holder.Open(file);
    holder.Execute("create table 单 (k int)");
    holder.BeginTrans();
    holder.Execute("insert into 单 values (1)");
    waiter.CommandTimeout(1);
    waiter.Open(file);
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { waiter.Execute("insert into 单 values (2)"); }, [&] { waiter.BeginTrans(); },
             [&] { waiter.Execute("update 单 set k = 3"); }})
        EXPECT_EQ(fullErrorOf(step),
                  std::make_tuple(ErrorNumber::Database, 1222L, std::string("已超过了锁请求超时时段。")));
    holder.CommitTrans();
    EXPECT_EQ(waiter.Execute("insert into 单 values (2)"), 1) << "usable once the lock is gone";
}

// The file's own name, as SQL Server names its database.
TEST(ServerErrors, TheDatabaseIsNamedAfterItsFile) {
    Palvo::sqlite::Connection c;
    c.Open("Data Source=" + freshFile("门店") + ";Language=us_english");
    c.Execute("create table 单 (k int not null)");
    EXPECT_EQ(errorOf([&] { c.Execute("insert into 单 values (null)"); }).second,
              "Cannot insert the value NULL into column 'k', table '门店.dbo.单'; column does not allow "
              "nulls. INSERT fails.");
}

struct Named {
    const char* how;  // the connection string's option, or "" for none
    const char* setLanguage;
    const char* text;  // what "select 1/0" then says
};
void PrintTo(const Named& n, std::ostream* os) { *os << n.how << " / " << n.setLanguage; }

class LanguageChoice : public ::testing::TestWithParam<Named> {};

TEST_P(LanguageChoice, TheConnectionStringOrSetLanguageChoosesTheWords) {
    const Named& n = GetParam();
    Palvo::sqlite::Connection c;
    c.Open(std::string("Data Source=:memory:") + n.how);
    if (*n.setLanguage) {
        EXPECT_EQ(c.Execute(n.setLanguage), -1);
    }
    EXPECT_EQ(errorOf([&] { c.Query("select 1/0"); }).second, n.text);
}

const Named kNames[] = {
    // "" and ";Language=us_english": every ServerError case
    {";language = English", "", "Divide by zero error encountered."},
    {";Language=简体中文", "", "遇到以零作除数错误。"},
    {";Language=Simplified Chinese", "", "遇到以零作除数错误。"},
    {"", "SET LANGUAGE [us_english];", "Divide by zero error encountered."},
    {";Language=us_english", "set language N'简体中文'", "遇到以零作除数错误。"},
    {";Language=us_english", "set language 'Simplified Chinese'", "遇到以零作除数错误。"},
};
INSTANTIATE_TEST_SUITE_P(Names, LanguageChoice, ::testing::ValuesIn(kNames));

TEST(ServerErrors, AnUnknownLanguageIsRefused) {
    Palvo::sqlite::Connection c;
    EXPECT_EQ(errorOf([&] { c.Open("Data Source=:memory:;Language=Deutsch"); }),
              std::make_pair(ErrorNumber::ConnectionFailed,
                             std::string("Language must be 简体中文 or us_english, not 'Deutsch'.")));
    EXPECT_EQ(c.State(), Palvo::adStateClosed);
    c.Open(":memory:");
    EXPECT_EQ(errorOf([&] { c.Execute("set language français"); }),
              std::make_pair(ErrorNumber::Database,
                             std::string("Language must be 简体中文 or us_english, not 'français'.")));
    EXPECT_EQ(errorOf([&] { c.Query("select 1/0"); }).second, "遇到以零作除数错误。") << "still Chinese";
}

TEST(ServerErrors, OtherFailuresKeepTheirOwnWordsInEitherLanguage) {
    // What is not one of SQL Server's errors keeps its words and number in either language.
    for (const bool english : {false, true}) {
        Palvo::sqlite::Connection other;
        other.Open(english ? "Data Source=:memory:;Language=us_english" : ":memory:");
        other.Execute("create table 单 (k int)");
        EXPECT_EQ(
            errorOf([&] { other.Query("select top 5 with ties k from 单"); }),
            std::make_pair(
                ErrorNumber::NotSupported,
                std::string(
                    "Not supported by the embedded database: TOP ... WITH TIES without FROM and ORDER BY.")))
            << (english ? "English" : "Chinese");
        EXPECT_EQ(errorOf([&] {
                      other.ExecuteWith("insert into 单 values (?)", {1, 2});
                  }).first,
                  ErrorNumber::InvalidCall)
            << "a value too many";
        EXPECT_EQ(other.Query("select count(*) from 单").at(0, 0).toInt64(), 0) << "still usable";
    }
}

}  // namespace
