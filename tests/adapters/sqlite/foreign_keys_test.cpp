// Declared foreign keys on the embedded database beyond single statements: files
// whose rows already break a key, and tables made anew by ALTER COLUMN.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/processes.h"

namespace Palvo::testing {
namespace {

constexpr const char* kCustomers =
    "create table 客户 (编号 varchar(4) not null primary key, 名称 nvarchar(10))";
constexpr const char* kOrders =
    "create table 销售单 (单号 int not null, 客户 varchar(4) not null references 客户(编号) on delete "
    "cascade)";

long long number(sqlite::Connection& c, const std::string& sql) { return c.Query(sql).at(0, 0).toInt64(); }

TEST(SqliteForeignKeys, RowsThatAlreadyBreakAKeyNeitherStopTheFileOpeningNorItsReading) {
    const std::string file = freshDatabaseFile("broken_keys");
    {
        sqlite::Connection c;
        c.Open(file);
        c.Execute(kCustomers);
        c.Execute(kOrders);
    }
    {
        // an order for a customer that is not there, written where keys were not enforced
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        // past the value checks' triggers, whose functions only the library registers
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
        EXPECT_EQ(sqlite3_exec(db, "insert into 销售单 values (1, 'NO')", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    sqlite::Connection c;
    ASSERT_EQ(errorDescription([&] { c.Open(file); }), "");
    EXPECT_EQ(number(c, "select count(*) from 销售单 where 客户 = 'NO'"), 1);
    EXPECT_EQ(errorOf([&] { c.Execute("insert into 销售单 values (2, 'NO')"); }).first,
              ErrorNumber::Database);
    EXPECT_EQ(c.Execute("delete from 销售单 where 单号 = 1"), 1);
}

TEST(SqliteForeignKeys, AlterColumnOfAReferencedTableKeepsTheRowsReferringToIt) {
    sqlite::Connection c;
    c.Open(freshDatabaseFile("altered_parent"));
    c.Execute(kCustomers);
    c.Execute(kOrders);
    c.Execute("insert into 客户 values ('01', N'甲')");
    c.Execute("insert into 销售单 values (1, '01')");
    c.Execute("alter table 客户 alter column 名称 nvarchar(20) null");
    EXPECT_EQ(number(c, "select count(*) from 销售单"), 1) << "made anew, the parent took no rows with it";
    EXPECT_EQ(errorOf([&] { c.Execute("insert into 销售单 values (2, 'NO')"); }).first,
              ErrorNumber::Database);
    EXPECT_EQ(c.Execute("delete from 客户"), 1);
    EXPECT_EQ(number(c, "select count(*) from 销售单"), 0) << "on delete cascade still acts";
    // SQLite sets keys aside only outside a transaction
    c.BeginTrans();
    EXPECT_EQ(errorDescription([&] { c.Execute("alter table 客户 alter column 名称 nvarchar(30) null"); }),
              "Not supported by the embedded database: ALTER TABLE ... ALTER COLUMN of a table that foreign "
              "keys name, inside a transaction.");
    c.RollbackTrans();
}

}  // namespace
}  // namespace Palvo::testing
