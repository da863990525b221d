// A batch's several result sets, dynamic SQL and stored procedures. The answers
// run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlBatchProcs : public testing::AnswersTest {
protected:
    // Every result set of a batch, each as its rows; a result set's column names come first.
    std::vector<std::vector<Row>> results(const std::string& sql) {
        Recordset rs;
        rs.Open(sql, *conn_, adOpenStatic, adLockReadOnly);
        std::vector<std::vector<Row>> out;
        while (rs.State() == adStateOpen) {
            const ResultTable& t = rs.table();
            std::vector<Row> set;
            Row names;
            for (const auto& c : t.columns) names.push_back(c.name);
            set.push_back(names);
            for (std::size_t r = 0; r < t.rowCount(); ++r) {
                Row one;
                for (std::size_t c = 0; c < t.columns.size(); ++c)
                    one.push_back(t.at(r, c).isNull() ? "<null>" : t.at(r, c).toText());
                set.push_back(one);
            }
            out.push_back(set);
            rs = rs.NextRecordset();
        }
        return out;
    }
};

using Sets = std::vector<std::vector<Row>>;

TEST_P(TsqlBatchProcs, NextRecordsetGivesEachResultSetInOrder) {
    conn_->Execute("create table 货 (k int, 名称 nvarchar(10))");
    EXPECT_EQ(results("insert into 货 values (1, N'笔'), (2, N'纸'); select 名称 from 货 where k = 1; "
                      "update 货 set 名称 = N'墨' where k = 2 select k, 名称 from 货 order by k"),
              (Sets{{{"名称"}, {"笔"}}, {{"k", "名称"}, {"1", "笔"}, {"2", "墨"}}}));
}

TEST_P(TsqlBatchProcs, AQueryThatFindsNoRowIsAnOpenEmptyResultSet) {
    Recordset rs;
    rs.Open("select 1 as a; select 2 as b where 1 = 0; select 3 as c", *conn_, adOpenStatic, adLockReadOnly);
    Recordset empty = rs.NextRecordset();
    ASSERT_EQ(empty.State(), adStateOpen);
    EXPECT_EQ(empty.Fields(0).Name(), "b");
    EXPECT_TRUE(empty.Bof());
    EXPECT_TRUE(empty.Eof());
    EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_P(TsqlBatchProcs, NextRecordsetClosesTheOneItLeavesAndGivesAClosedOneAtTheEnd) {
    Recordset rs;
    rs.Open("select 1 as a; select 2 as b", *conn_, adOpenStatic, adLockReadOnly);
    Recordset next = rs.NextRecordset();
    EXPECT_EQ(rs.State(), adStateClosed);
    EXPECT_EQ(next.CursorType(), adOpenStatic);
    EXPECT_EQ(next.LockType(), adLockReadOnly);
    EXPECT_EQ(next.NextRecordset().State(), adStateClosed);
    Recordset single;
    single.Open("select 1 as a", *conn_);
    EXPECT_EQ(single.NextRecordset().State(), adStateClosed);
}

TEST_P(TsqlBatchProcs, NextRecordsetOfAClosedRecordsetIsRefused) {
    Recordset rs;
    try {
        rs.NextRecordset();
        ADD_FAILURE() << "a closed recordset gave a next one";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::ObjectClosed);
    }
}

TEST_P(TsqlBatchProcs, QueryGivesTheFirstResultSet) {
    EXPECT_EQ(rows("select 'x' as a; select 'y' as b"), (std::vector<Row>{{"x"}}));
}

TEST_P(TsqlBatchProcs, ResultSetsComeFromLoopsAndBranchesAsTheyRun) {
    EXPECT_EQ(results("declare @i int = 0 while @i < 3 begin set @i += 1 if @i <> 2 select @i as n end"),
              (Sets{{{"n"}, {"1"}}, {{"n"}, {"3"}}}));
}

PALVO_ANSWERS_ON_BACKENDS(TsqlBatchProcs);

}  // namespace
}  // namespace Palvo
