// Another user seeds the same settings set between a caller's look at it and its
// own seeding: every caller keeps one row per column and answers the set.
#include <gtest/gtest.h>

#include <functional>

#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "src/query/settings_store.h"
#include "support/settings_dialogs.h"

namespace Palvo::testing {
namespace {

// Runs `race` once, right after the nth read of the settings table.
class RacingConnection : public CountingConnection {
public:
    using CountingConnection::CountingConnection;
    int raceAfter = 0;
    std::function<void()> race;

protected:
    ResultTable doQuery(const std::string& sql) override {
        ResultTable t = CountingConnection::doQuery(sql);
        if (sql.find("查询打印设置") != std::string::npos && --raceAfter == 0) race();
        return t;
    }
};

class FirstUseRace : public SettingsDialogTest {
protected:
    void SetUp() override { setUpTables(""); }
};

TEST_P(FirstUseRace, ASetSeededByAnotherUserMeanwhileIsNeitherSeededAgainNorAnsweredEmpty) {
    struct Case {
        const char* caller;
        const char* category;
        int raceAfter;  // which read of the settings table the other user follows
    } cases[] = {
        {"sGetField", "普通查询", 1},  // after the read of the shown columns
        {"sGetField", "普通查询", 2},  // after the read of the whole set
        {"sGetField", "录入", 2},     {"sPrintSet", "普通查询", 1}, {"sPrintSet_Zdy", "自定义查询", 1},
    };
    for (const auto& c : cases) {
        exec({"delete from 查询打印设置"});
        auto racing = std::make_shared<RacingConnection>(conn);
        racing->raceAfter = c.raceAfter;
        // the other user's seeding, committed through a statement of its own
        bool raced = false;
        racing->race = [&] {
            conn->Execute(query::seedStatement("客户", c.category, "月报", "张三", ""));
            raced = true;
        };
        session().oConn = racing;
        const std::string caller = c.caller;
        if (caller == "sGetField") {
            EXPECT_EQ(clsDatabase().sGetField("客户", c.category, "月报"), "名称,金额,数量,日期")
                << caller << c.raceAfter;
        } else {
            host.emplace(GetParam(), "");
            if (caller == "sPrintSet")
                clsSearch().sPrintSet("客户", "月报", c.category, "", "");
            else
                clsSearch().sPrintSet_Zdy("客户", "月报", c.category);
            EXPECT_EQ(items("List2"), (Items{"名称", "金额", "数量", "日期"})) << caller;
        }
        EXPECT_EQ(scalar("select count(*) from 查询打印设置"), "4") << caller << c.raceAfter;
        EXPECT_TRUE(raced) << caller << c.raceAfter;
        session().oConn = conn;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, FirstUseRace, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
