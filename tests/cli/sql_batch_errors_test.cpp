// `palvo sql` with the errors a batch goes on after.
#include <gtest/gtest.h>

#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class SqlBatchErrors : public CliDatabase {
protected:
    SqlBatchErrors() : CliDatabase("palvo_sql_batch_errors") {}
};

TEST_F(SqlBatchErrors, ABatchThatWentOnAfterAnErrorStillFailsWithIt) {
    EXPECT_EQ(
        sql("set nocount on create table t (k int primary key) insert into t values (1) insert into t values "
            "(1) "
            "print 'went on' insert into t values (2)"),
        (Outcome{1, "",
                 "went on\npalvo: 违反了 PRIMARY KEY 约束 'PK__t'。不能在对象 'dbo.t' 中插入重复键。\n"}));
    EXPECT_EQ(sql("select count(*) as n from t").out, "n\n2\n");
}

// a cursor's error ends only its statement, and the clerk reads it in Chinese
TEST_F(SqlBatchErrors, AMissingCursorIsNamedInChinese) {
    const auto r = sql("set nocount on fetch next from 日结 print 'went on'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "went on\npalvo: 名为 '日结' 的游标不存在。\n");
}

}  // namespace
}  // namespace Palvo::cli
