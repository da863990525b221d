// The catalogue views and system functions a host's T-SQL reads, as SQL Server
// names and types them, for tables made with T-SQL.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"
#include "support/answers.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Answer;
using testing::Row;

class TsqlCatalogue : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (IsSkipped()) return;
        conn_->Execute(
            "create table 客户 (编号 int identity(1,1) primary key, 名称 nvarchar(50) not null, 简称 "
            "varchar(20), "
            "备注 nvarchar(max), 金额 decimal(18,2), 折扣 numeric(5,3), 余额 money, 日期 datetime, 标志 bit, "
            "大数 bigint, 比率 float, 代码 char(4))");
        conn_->Execute("create view 客户视图 as select 编号, 名称 from 客户");
        conn_->Execute("create index IX_客户_名称 on 客户 (名称)");
        conn_->Execute("create table 流水 (k int, v nvarchar(10))");
    }
};

TEST_P(TsqlCatalogue, InformationSchemaTablesNamesEachTableWithItsType) {
    expectAnswers({
        {"select TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE from INFORMATION_SCHEMA.TABLES where TABLE_NAME = "
         "'客户'",
         {"dbo", "客户", "BASE TABLE"}},
        {"select table_type from information_schema.tables where table_name = '客户视图'", {"VIEW"}},
        {"select count(*) from [INFORMATION_SCHEMA].[TABLES] where TABLE_NAME in ('客户', '客户视图', "
         "'流水')",
         {"3"}},
    });
}

TEST_P(TsqlCatalogue, InformationSchemaColumnsTypesEachColumnAsSqlServer) {
    const std::string cols =
        "select ORDINAL_POSITION, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
        "IS_NULLABLE from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = '客户' and COLUMN_NAME = ";
    const std::vector<std::pair<const char*, Row>> cases = {
        {"'编号'", {"1", "int", "<null>", "10", "0", "NO"}},
        {"'名称'", {"2", "nvarchar", "50", "<null>", "<null>", "NO"}},
        {"'简称'", {"3", "varchar", "20", "<null>", "<null>", "YES"}},
        {"'备注'", {"4", "nvarchar", "-1", "<null>", "<null>", "YES"}},
        {"'金额'", {"5", "decimal", "<null>", "18", "2", "YES"}},
        {"'折扣'", {"6", "numeric", "<null>", "5", "3", "YES"}},
        {"'余额'", {"7", "money", "<null>", "19", "4", "YES"}},
        {"'日期'", {"8", "datetime", "<null>", "<null>", "<null>", "YES"}},
        {"'标志'", {"9", "bit", "<null>", "<null>", "<null>", "YES"}},
        {"'大数'", {"10", "bigint", "<null>", "19", "0", "YES"}},
        {"'比率'", {"11", "float", "<null>", "53", "<null>", "YES"}},
        {"'代码'", {"12", "char", "4", "<null>", "<null>", "YES"}},
    };
    for (const auto& [column, want] : cases) {
        SCOPED_TRACE(column);
        EXPECT_EQ(row(cols + column), want);
    }
}

TEST_P(TsqlCatalogue, InformationSchemaColumnsCountsOctetsOfCharacterColumns) {
    EXPECT_EQ(
        rows("select COLUMN_NAME, CHARACTER_OCTET_LENGTH from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = "
             "'客户' and COLUMN_NAME in ('名称', '简称', '备注') order by ORDINAL_POSITION"),
        (std::vector<Row>{{"名称", "100"}, {"简称", "20"}, {"备注", "-1"}}));
}

TEST_P(TsqlCatalogue, InformationSchemaViewsNamesViewsOnly) {
    expectAnswers({
        {"select TABLE_SCHEMA, TABLE_NAME, CHECK_OPTION, IS_UPDATABLE from INFORMATION_SCHEMA.VIEWS "
         "where TABLE_NAME = '客户视图'",
         {"dbo", "客户视图", "NONE", "NO"}},
        {"select count(*) from INFORMATION_SCHEMA.VIEWS where TABLE_NAME = '客户'", {"0"}},
    });
}

TEST_P(TsqlCatalogue, SysObjectViewsTypeEachObjectByItsId) {
    expectAnswers({
        {"select type, type_desc, schema_id from sys.objects where name = '客户'", {"U ", "USER_TABLE", "1"}},
        {"select type, type_desc from sys.objects where name = '客户视图'", {"V ", "VIEW"}},
        {"select count(*) from sys.objects where object_id = object_id('客户视图') and type = 'V'", {"1"}},
        {"select count(*) from SYS.TABLES where object_id = object_id('客户') and type = 'U'", {"1"}},
        {"select count(*) from sys.tables where name = '客户视图'", {"0"}},
    });
}

TEST_P(TsqlCatalogue, SysColumnsDescribeEachColumnAsSqlServer) {
    const std::string cols =
        "select c.column_id, t.name, c.max_length, c.precision, c.scale, cast(c.is_nullable as int), "
        "cast(c.is_identity as int) from sys.columns c join sys.types t on t.user_type_id = c.user_type_id "
        "where c.object_id = object_id('客户') and c.name = ";
    const std::vector<std::pair<const char*, Row>> cases = {
        {"'编号'", {"1", "int", "4", "10", "0", "0", "1"}},
        {"'名称'", {"2", "nvarchar", "100", "0", "0", "0", "0"}},
        {"'简称'", {"3", "varchar", "20", "0", "0", "1", "0"}},
        {"'备注'", {"4", "nvarchar", "-1", "0", "0", "1", "0"}},
        {"'金额'", {"5", "decimal", "9", "18", "2", "1", "0"}},
        {"'折扣'", {"6", "numeric", "5", "5", "3", "1", "0"}},
        {"'余额'", {"7", "money", "8", "19", "4", "1", "0"}},
        {"'日期'", {"8", "datetime", "8", "23", "3", "1", "0"}},
        {"'标志'", {"9", "bit", "1", "1", "0", "1", "0"}},
        {"'比率'", {"11", "float", "8", "53", "0", "1", "0"}},
        {"'代码'", {"12", "char", "4", "0", "0", "1", "0"}},
    };
    for (const auto& [column, want] : cases) {
        SCOPED_TRACE(column);
        EXPECT_EQ(row(cols + column), want);
    }
}

TEST_P(TsqlCatalogue, SysIndexesListEveryIndexOfATable) {
    expectAnswers({
        {"select index_id, type, type_desc, cast(is_primary_key as int) from sys.indexes "
         "where object_id = object_id('流水')",
         {"0", "0", "HEAP", "0"}},
        {"select index_id, type, type_desc, cast(is_unique as int) from sys.indexes "
         "where object_id = object_id('客户') and is_primary_key = 1",
         {"1", "1", "CLUSTERED", "1"}},
        {"select index_id, type, type_desc, cast(is_unique as int) from sys.indexes "
         "where object_id = object_id('客户') and name = 'IX_客户_名称'",
         {"2", "2", "NONCLUSTERED", "0"}},
    });
}

TEST_P(TsqlCatalogue, ObjectIdFindsANameOfTheTypeAsked) {
    const char* const cases[][2] = {
        {"object_id('客户', 'U')", "id"},     {"object_id('客户', 'V')", "null"},
        {"object_id('客户视图', 'V')", "id"}, {"object_id('客户视图', 'U')", "null"},
        {"object_id('客户', 'P')", "null"},   {"object_id('dbo.客户')", "id"},
        {"object_id('[客户]')", "id"},        {"object_id('dbo.[客户]', 'U')", "id"},
        {"object_id('无此表')", "null"},
    };
    for (const auto& [call, want] : cases) {
        SCOPED_TRACE(call);
        EXPECT_EQ(
            scalar(std::string("select case when ") + call + " is null then 'null' when " + call +
                   " = object_id('客户') or " + call + " = object_id('客户视图') then 'id' else 'other' end"),
            want);
    }
}

TEST_P(TsqlCatalogue, ColLengthIsTheColumnsBytes) {
    expectAnswers({
        {"select col_length('客户', '名称')", {"100"}},
        {"select col_length('客户', '备注')", {"-1"}},
        {"select col_length('dbo.客户', '大数')", {"8"}},
        {"select col_length('客户', '无此列')", {"<null>"}},
        {"select col_length('无此表', '名称')", {"<null>"}},
    });
}

TEST_P(TsqlCatalogue, NewidIsAnUpperCaseUniqueidentifierNewEachCall) {
    const auto ids = rows("select newid() union all select newid()");
    ASSERT_EQ(ids.size(), 2u);
    const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(ids[0][0], guid)) << ids[0][0];
    EXPECT_TRUE(std::regex_match(ids[1][0], guid)) << ids[1][0];
    EXPECT_NE(ids[0][0], ids[1][0]);
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlCatalogue);

// What the embedded database answers for the names SQL Server takes from its server and login.

std::string embeddedScalar(const std::string& path, const std::string& sql) {
    sqlite::Connection c;
    c.Open(path);
    return c.Query(sql).at(0, 0).toText();
}

TEST(EmbeddedSystemNames, DbNameIsTheFilesBaseName) {
    const testing::ScratchDir dir("db_name");
    EXPECT_EQ(embeddedScalar((dir.path / "账套2024.db").string(), "select db_name()"), "账套2024");
    EXPECT_EQ(embeddedScalar((dir.path / "plain").string(), "select db_name()"), "plain");
    EXPECT_EQ(embeddedScalar(":memory:", "select db_name()"), "main");
}

TEST(EmbeddedSystemNames, HostNameIsThisMachines) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(embeddedScalar(":memory:", "select host_name()"), host);
}

TEST(EmbeddedSystemNames, SuserSnameIsTheUsersOwn) {
    const passwd* user = getpwuid(geteuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(embeddedScalar(":memory:", "select suser_sname()"), user->pw_name);
}

TEST(EmbeddedSystemNames, VersionSaysItIsTheEmbeddedDatabase) {
    const std::string version = embeddedScalar(":memory:", "select @@version");
    EXPECT_TRUE(version.starts_with("Palvo embedded database (SQLite 3.")) << version;
}

// ---- DROP

TEST_P(TsqlCatalogue, DropIndexTakesBothOfSqlServersForms) {
    const auto indexes = [&] {
        return scalar("select count(*) from sys.indexes where name = 'IX_客户_名称'");
    };
    conn_->Execute("drop index 客户.IX_客户_名称");
    EXPECT_EQ(indexes(), "0");
    conn_->Execute("create index IX_客户_名称 on 客户 (名称)");
    conn_->Execute("drop index IX_客户_名称 on 客户");
    EXPECT_EQ(indexes(), "0");
}

TEST_P(TsqlCatalogue, DropTableTakesAList) {
    conn_->Execute("drop table 流水, 客户");
    EXPECT_EQ(scalar("select count(*) from INFORMATION_SCHEMA.TABLES where TABLE_NAME in ('客户', '流水')"),
              "0");
}

TEST_P(TsqlCatalogue, DropOfAnObjectThatIsNotThereIs3701) {
    // each message names the object
    expectRefusals({
        {"drop table 没有", 3701, "'没有'"},
        {"drop view 没有", 3701, "'没有'"},
        {"drop index 客户.没有", 3701, "'客户.没有'"},
        {"drop index 没有 on 客户", 3701, "'客户.没有'"},
        {"drop index IX_客户_名称 on 流水", 3701, "'流水.IX_客户_名称'"},  // an index of another table
        {"drop table if exists 没有", 0, ""},
        {"drop view if exists 没有", 0, ""},
        {"drop index if exists 没有 on 客户", 0, ""},
    });
    EXPECT_EQ(scalar("select count(*) from sys.indexes where name = 'IX_客户_名称'"), "1");
}

}  // namespace
}  // namespace Palvo
