// The session's SET options in batches: what they change, and how long they hold.
// The answers run on a real SQL Server too when PALVO_TEST_MSSQL names one.
#include <gtest/gtest.h>

#include <string>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"

namespace Palvo {
namespace {

class TsqlSettings : public testing::AnswersTest {
protected:
    void keyed() {
        conn_->Execute("create table 账 (k int primary key)");
        conn_->Execute("insert into 账 values (1)");
    }
};

// under the caller's XACT_ABORT ON the duplicate ends the inner batch before its second insert
TEST_P(TsqlSettings, DynamicSqlRunsUnderItsCallersXactAbort) {
    keyed();
    const char* const calls[] = {
        "set xact_abort on exec ('insert into 账 values (1) insert into 账 values (2)')",
        "set xact_abort on exec sp_executesql N'insert into 账 values (1) insert into 账 values (2)'",
    };
    for (const char* call : calls) {
        SCOPED_TRACE(call);
        EXPECT_EQ(refused(call), 2627);
        EXPECT_EQ(scalar("select count(*) from 账"), "1");
    }
}

// SQL Server restores a SET option when the dynamic SQL that set it returns
TEST_P(TsqlSettings, XactAbortSetInDynamicSqlEndsWithIt) {
    keyed();
    EXPECT_EQ(refused("exec ('set xact_abort on') insert into 账 values (1) insert into 账 values (2)"), 2627);
    EXPECT_EQ(scalar("select count(*) from 账"), "2");
}

PALVO_ANSWERS_ON_BACKENDS(TsqlSettings);

}  // namespace
}  // namespace Palvo
