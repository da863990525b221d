// The host tables `palvo init` makes in an embedded database: the SQL Server
// script's tables, with ntext and image where SQL Server has the (max) types.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_database.h"
#include "support/processes.h"

namespace Palvo::cli {
namespace {

TEST(HostTablesSchema, InitMakesEachColumnAsTheScriptDeclaresIt) {
    const std::string file = testing::freshDatabaseFile("host_tables_schema");
    ASSERT_EQ(palvo({"init", "--db", file}).status, 0);
    struct Table {
        std::string name;
        std::vector<std::string> columns;  // name|type|not null|default|primary key
    };
    const Table tables[] = {
        {"查询打印设置",
         {"表名|nvarchar(128)|1|NULL|0", "字段名|nvarchar(128)|1|NULL|0", "选择标志|INT|1|0|0",
          "排列顺序|INT|1|0|0", "查询类别|nvarchar(50)|1|''|0", "查询名|nvarchar(100)|1|''|0",
          "用户名|nvarchar(50)|1|''|0", "合计|INT|1|0|0", "排序|decimal real(9,1)|1|0|0", "分组|INT|1|0|0",
          "查询条件|ntext|1|''|0", "条件项目|ntext|1|''|0"}},
        {"更新表记录",
         {"主表|nvarchar(128)|1|NULL|0", "主表字段|nvarchar(128)|1|NULL|0", "附表|nvarchar(128)|1|NULL|0",
          "附表字段|nvarchar(128)|1|NULL|0"}},
        {"SendSql",
         {"编号|INTEGER|0|NULL|1", "语句|ntext|1|''|0", "操作表|nvarchar(400)|1|''|0",
          "接收单位|nvarchar(400)|1|''|0", "发送单位|nvarchar(20)|1|''|0", "类型|nvarchar(50)|1|''|0",
          "操作员|nvarchar(50)|1|''|0", "文件|image|0|NULL|0"}},
        {"编辑权限",
         {"窗体名|nvarchar(100)|1|NULL|0", "单位|nvarchar(20)|1|NULL|0",
          "发送给其他单位|nvarchar(400)|1|''|0"}},
        {"B_单位", {"单位编号|varchar(10)|1|NULL|1", "名称|nvarchar(100)|1|NULL|0"}},
    };
    for (const auto& t : tables) {
        EXPECT_EQ(sqliteRows(file, "select name, type, \"notnull\", dflt_value, pk from pragma_table_info('" +
                                       t.name + "') order by cid"),
                  t.columns)
            << t.name;
    }
    EXPECT_EQ(sqliteRows(file,
                         "select name from sqlite_master where type = 'table' and name not like 'sqlite%' "
                         "order by name"),
              (std::vector<std::string>{"B_单位", "SendSql", "更新表记录", "查询打印设置", "编辑权限"}));
    EXPECT_EQ(
        sqliteRows(file,
                   "select name, tbl_name, sql from sqlite_master where type = 'index' and sql is not null"),
        (std::vector<std::string>{"IX_查询打印设置|查询打印设置|CREATE INDEX IX_查询打印设置 on 查询打印设置 "
                                  "(表名, 用户名, 查询类别, 查询名)"}));
}

}  // namespace
}  // namespace Palvo::cli
