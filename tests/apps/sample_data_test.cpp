// `palvo init --sample` writes the shared sample; a second run adds nothing.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sstream>

#include "cli.h"
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

}  // namespace
}  // namespace Palvo
