// `palvo init --sample` writes the shared sample; a second run adds nothing. The demo's
// database refuses a connection string it cannot open.
#include "sample_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <sstream>

#include "cli.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"

namespace Palvo {
namespace {

// The sample written twice.
class SampleData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(cli::run({"init", "--db", db, "--sample"}, out, err), 0) << err.str();
        first = out.str();
        ASSERT_EQ(cli::run({"init", "--db", db, "--sample"}, out, err), 0) << err.str();
    }
    QTemporaryDir dir;
    const std::string db = dir.filePath("sample.db").toStdString();
    std::ostringstream out, err;
    std::string first;
};

TEST_F(SampleData, PalvoInitSampleSaysWhatItCreated) {
    EXPECT_NE(first.find("created 查询打印设置"), std::string::npos) << first;
    EXPECT_NE(first.find("sample data in " + db), std::string::npos);
}

TEST_F(SampleData, PalvoInitSampleWritesItOnce) {
    sqlite::Connection conn;
    conn.Open(db);
    auto count = [&](const std::string& sql) { return conn.Query(sql).at(0, 0).toInt64(); };
    EXPECT_EQ(count("select count(*) from 客户"), 60) << "the second run wrote nothing";
    EXPECT_EQ(count("select count(*) from 销售"), 300);
    EXPECT_EQ(count("select count(*) from 销售查询"), 300) << "every sale joins its customer and goods";
    EXPECT_EQ(count("select count(*) from 商品"), 12);
    EXPECT_EQ(count("select count(*) from B_单位"), 4);
    EXPECT_EQ(count("select count(*) from 客户 where 单位编号 not in (select 单位编号 from B_单位)"), 0);
    EXPECT_EQ(count("select count(distinct 名称) from 客户"), 60) << "名称 is checked as unique by the form";
    EXPECT_EQ(
        count("select count(distinct 查询名) from 查询打印设置 where 用户名='张伟' and 表名='销售查询'"), 2);
    EXPECT_EQ(count("select count(*) from 更新表记录"), 1);
    EXPECT_EQ(count("select count(*) from 查询打印设置"), 17);
}

TEST_F(SampleData, TheCliReadsTheSample) {
    std::ostringstream call;
    ASSERT_EQ(cli::run({"call", "--db", db, "--user", "张伟", "clsDatabase.sGetField", "销售查询", "普通查询",
                        "客户销售", "排序"},
                       call, err),
              0)
        << err.str();
    EXPECT_EQ(call.str(), "客户名称 asc,日期 desc\n");
}

// The demo's database: a string that names no ODBC driver would make a file after its Database=.
TEST(SampleDatabase, AConnectionStringWithoutAnOdbcDriverIsRefused) {
    QTemporaryDir dir;
    const std::string shop = dir.filePath("shop").toStdString();
    for (const std::string& connection : {"Server=localhost;Database=" + shop + ";Uid=u;Pwd=s3cr3t",
                                          "Provider=SQLOLEDB;Database=" + shop + ";Password=s3cr3t"}) {
        SCOPED_TRACE(connection);
        try {
            sample::openSampleDatabase(connection);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.description().find("s3cr3t"), std::string::npos) << e.description();
        }
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

}  // namespace
}  // namespace Palvo
