// decimal(19..38,0) columns made before whole numbers beyond bigint were kept as
// text: they keep their integers, read and written as before, and go on refusing
// what they cannot hold, also once a schema change has made their checks anew.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/processes.h"

namespace Palvo::testing {
namespace {

// The table and check triggers as the translator used to write them.
constexpr const char* kOldTable =
    "create table \"证件\" (\"编号\" int, \"号码\" decimal(38,0));"
    "insert into \"证件\" values (1, 9223372036854775807), (2, 110101199001011234);"
    "create trigger \"证件__check_insert\" after insert on \"证件\" for each row when new.\"号码\" is not "
    "tsql_check_decimal(new.\"号码\", 38, 0) begin update \"证件\" set \"号码\" = "
    "tsql_check_decimal(new.\"号码\", 38, 0) where rowid = new.rowid; end;"
    "create trigger \"证件__check_update\" after update of \"号码\" on \"证件\" for each row when "
    "new.\"号码\" is not tsql_check_decimal(new.\"号码\", 38, 0) begin update \"证件\" set \"号码\" = "
    "tsql_check_decimal(new.\"号码\", 38, 0) where rowid = new.rowid; end;";

// The storage classes of the column, read past the adapter.
std::string storedTypes(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select group_concat(typeof(\"号码\"), ' ') from \"证件\"", -1, &st, nullptr);
    std::string types = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0)
                            ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0))
                            : "";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return types;
}

class OldWholeNumberColumn : public ::testing::Test {
protected:
    void SetUp() override {
        file = freshDatabaseFile("old_decimal38");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, kOldTable, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        conn.Open(file);
    }
    std::string file;
    sqlite::Connection conn;
};

TEST_F(OldWholeNumberColumn, ReadsItsIntegersAsDecimals) {
    const auto t = conn.Query("select 号码 from 证件 where 号码 >= 5 order by 号码");
    ASSERT_EQ(t.rowCount(), 2u);
    ASSERT_NE(t.at(0, 0).decimal(), nullptr);
    EXPECT_EQ(t.at(0, 0).decimal()->text, "110101199001011234");
    EXPECT_EQ(t.at(1, 0).decimal()->text, "9223372036854775807");
    EXPECT_EQ(conn.Query("select count(*) from 证件 where 号码 = 110101199001011234").at(0, 0).toText(), "1");
}

TEST_F(OldWholeNumberColumn, StoresANewNumberAsAnInteger) {
    conn.Execute("insert into 证件 values (3, 5)");
    EXPECT_EQ(conn.Query("select 号码 from 证件 where 编号 = 3").at(0, 0).decimal()->text, "5");
    EXPECT_EQ(storedTypes(file), "integer integer integer");
}

TEST_F(OldWholeNumberColumn, StillRefusesANumberBeyondBigintAfterItsChecksAreMadeAnew) {
    // renaming a column makes the table's check triggers anew from its declared types
    conn.Execute("exec sp_rename '证件.编号', '序号', 'COLUMN'");
    EXPECT_EQ(errorDescription([&] { conn.Execute("insert into 证件 values (3, 99999999999999999999)"); }),
              "The embedded database cannot keep a whole number beyond bigint exactly.");
    conn.Execute("insert into 证件 values (4, 7)");
    EXPECT_EQ(storedTypes(file), "integer integer integer");
}

}  // namespace
}  // namespace Palvo::testing
