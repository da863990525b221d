// Rows read one at a time give what reading them whole gives, and a reader
// that stops midway leaves the connection ready for the next statement.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"

namespace Palvo {
namespace {

class Collect : public RowReader {
public:
    explicit Collect(int stopAfter = -1) : stopAfter_(stopAfter) {}
    void columns(const std::vector<ColumnInfo>& c) override { names.assign(c.begin(), c.end()); }
    void row(const Value* values) override {
        if (static_cast<int>(rows.size()) == stopAfter_) throw std::runtime_error("enough");
        rows.emplace_back(values, values + names.size());
    }
    std::vector<ColumnInfo> names;
    std::vector<std::vector<Value>> rows;

private:
    int stopAfter_;
};

class QueryEach : public ::testing::Test {
protected:
    void SetUp() override {
        conn.Open(":memory:");
        conn.Execute(
            "create table t (编号 int, 名称 nvarchar(10), 金额 decimal(10,2), 价 money, 日期 datetime)");
        conn.Execute(
            "insert into t values (1, N'钢管', 1.5, 2, '2003-01-02'), (2, null, -0.25, null, null), "
            "(3, N'x' + char(9) + 'y', 100, 3.125, '1900-01-01 08:30')");
    }
    sqlite::Connection conn;
};

TEST_F(QueryEach, HandsOverWhatQueryReads) {
    const char* statements[] = {
        "select * from t order by 编号",
        // expression columns: typed from their values, so read whole first
        "select 编号 * 2, 名称 + N'!' as 名, case when 编号 > 1 then '2004-01-01 00:00:00.000' end from t",
        "select 金额 * 2 as 双, cast(价 as varchar(20)) as 文 from t",
        "select * from t where 编号 > 9",
    };
    for (const char* sql : statements) {
        const ResultTable whole = conn.Query(sql);
        Collect each;
        conn.QueryEach(sql, each);
        ASSERT_EQ(each.names.size(), whole.columns.size()) << sql;
        for (std::size_t c = 0; c < whole.columns.size(); ++c) {
            EXPECT_EQ(each.names[c].name, whole.columns[c].name) << sql;
            EXPECT_EQ(each.names[c].type, whole.columns[c].type) << sql << " column " << c;
        }
        ASSERT_EQ(each.rows.size(), whole.rowCount()) << sql;
        for (std::size_t r = 0; r < whole.rowCount(); ++r) {
            for (std::size_t c = 0; c < whole.columns.size(); ++c)
                EXPECT_EQ(each.rows[r][c], whole.at(r, c)) << sql << " cell " << r << "," << c;
        }
    }
}

TEST_F(QueryEach, AReaderThatStopsLetsTheStatementGo) {
    Collect stopping(1);
    EXPECT_THROW(conn.QueryEach("select * from t", stopping), std::runtime_error);
    EXPECT_EQ(stopping.rows.size(), 1u);
    // the statement was let go: a table in use could not be dropped
    EXPECT_NO_THROW(conn.Execute("drop table t"));
    conn.Execute("create table t (编号 int)");
    conn.Execute("insert into t values (7)");
    Collect again;
    conn.QueryEach("select 编号 from t", again);
    ASSERT_EQ(again.rows.size(), 1u);
    EXPECT_EQ(again.rows[0][0], Value(7LL));
}

TEST_F(QueryEach, AFailedStatementHandsOverNoRow) {
    Collect none;
    EXPECT_THROW(conn.QueryEach("select nosuch from t", none), Error);
    EXPECT_TRUE(none.rows.empty());
    conn.Close();
    EXPECT_THROW(conn.QueryEach("select 1", none), Error);
}

}  // namespace
}  // namespace Palvo
