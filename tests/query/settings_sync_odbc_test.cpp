// Settings sets following their table on a backend that cannot tell when table
// definitions change (ODBC, here the SQLite ODBC driver), and on the embedded
// database, both on a file another program alters between and during sessions.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/host_tables.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/processes.h"
#ifdef PALVO_TSQL_EXT_PATH
#include "palvo/odbc/connection.h"
#endif

namespace Palvo {
namespace {

using Texts = std::vector<std::string>;

struct Backend {
    const char* name;
    std::function<std::shared_ptr<Connection>(const std::string& file)> open;
};

std::shared_ptr<Connection> openEmbedded(const std::string& file) {
    auto c = std::make_shared<sqlite::Connection>();
    c->Open(file);
    return c;
}

const Backend kBackends[] = {
    {"embedded", openEmbedded},
#ifdef PALVO_TSQL_EXT_PATH
    {"odbc",
     [](const std::string& file) -> std::shared_ptr<Connection> {
         auto c = std::make_shared<odbc::Connection>();
         c->Open("Driver=SQLite3;Database=" + file + ";LoadExt=" PALVO_TSQL_EXT_PATH);
         return c;
     }},
#endif
};

class SettingsOnAFile : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        file_ = testing::freshDatabaseFile(std::string("sync_") + GetParam().name);
        admin_ = openEmbedded(file_);
        data::createHostTables(*admin_);
        admin_->Execute("create table 订单 (编号 int, 名称 nvarchar(20), 金额 money, 备注 nvarchar(50))");
    }
    void TearDown() override { session() = SessionContext{}; }
    // A program started on the database: a new connection counting what the library sends.
    void start() {
        counting_ = std::make_shared<testing::CountingConnection>(GetParam().open(file_));
        clsForm().mInit_Var("01", "一分公司", "001", "财务部", counting_, "", 50, "提示标题", "张三");
    }
    std::string shown(const std::string& user, const std::string& kind = "选择") {
        session().sUser = user;
        return clsDatabase().sGetField("订单", "普通查询", "月报", kind);
    }
    std::string file_;
    std::shared_ptr<Connection> admin_;  // another program altering the table
    std::shared_ptr<testing::CountingConnection> counting_;
};

TEST_P(SettingsOnAFile, ChangesMadeWhileNoProgramRanAreFollowed) {
    start();
    EXPECT_EQ(shown("张三"), "名称,金额,备注");
    EXPECT_EQ(shown("李四"), "名称,金额,备注");
    admin_->Execute("update 查询打印设置 set 排序=1.1 where 字段名='金额' and 用户名='张三'");
    // the program ends; the table changes; the program starts again
    counting_.reset();
    session() = SessionContext{};
    admin_->Execute("alter table 订单 add 电话 varchar(20)");
    admin_->Execute("alter table 订单 drop column 备注");
    start();
    EXPECT_EQ(shown("张三"), "名称,金额,电话");
    EXPECT_EQ(shown("张三", "排序"), "金额 desc");
    EXPECT_EQ(shown("李四"), "名称,金额,电话");
}

// None at all where the database marks its changes.
TEST_P(SettingsOnAFile, AnUnchangedTableCostsOneLookAtItsColumns) {
    start();
    EXPECT_EQ(shown("张三"), "名称,金额,备注");
    counting_->reset();
    EXPECT_EQ(shown("张三"), "名称,金额,备注");
    const bool stamped = counting_->schemaStamp().has_value();
    EXPECT_EQ(counting_->queries.size(), stamped ? 1u : 2u);
    EXPECT_TRUE(counting_->executes.empty());
}

TEST_P(SettingsOnAFile, ChangesMadeWhileAProgramRunsAreFollowed) {
    start();
    EXPECT_EQ(shown("张三"), "名称,金额,备注");
    EXPECT_EQ(shown("李四"), "名称,金额,备注");
    admin_->Execute("alter table 订单 add 地址 nvarchar(40)");
    EXPECT_EQ(shown("张三"), "名称,金额,备注,地址");
    EXPECT_EQ(shown("李四"), "名称,金额,备注,地址");
    EXPECT_EQ(admin_->Query("select count(*) from 查询打印设置 where 字段名='地址'").at(0, 0).toText(), "2");
}

INSTANTIATE_TEST_SUITE_P(Backends, SettingsOnAFile, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<Backend>& p) {
                             return std::string(p.param.name);
                         });

}  // namespace
}  // namespace Palvo
