// Which names in a statement the catalogue is asked about as user functions: a server connection
// answers each question with a round trip, so a table's hints must not become one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/dialect/batch.h"

namespace {

using Palvo::dialect::Catalogue;

class Asked final : public Catalogue {
public:
    const Columns* columns(const std::string& lowerName) override {
        names.push_back("table " + lowerName);
        return nullptr;
    }
    const FunctionDefinition* function(const std::string& lowerName) override {
        names.push_back(lowerName);
        return nullptr;
    }
    bool hasFunctions() override { return true; }
    std::vector<std::string> names;
};

TEST(FunctionCalls, OnlyNamesShapedLikeACallAreAsked) {
    const struct {
        const char* sql;
        std::vector<std::string> asked;
    } cases[] = {
        {"select * from 客户 (nolock) where 编号 = 1", {}},
        {"select * from 客户 a (nolock) join 订单 b (updlock, holdlock) on a.编号 = b.客户", {}},
        {"update 客户 set 名称 = 'x' from 客户 (ROWLOCK) where 编号 = 1", {}},
        {"select * from dbo.客户 (nolock)", {}},
        {"insert into 客户 (编号) values (1)", {}},
        {"select * from 客户 (default)", {"客户"}},
        {"select * from f(1, 2)", {"f"}},
        {"select * from t cross apply f(nolock)", {"f"}},
        {"select * from 客户 (nolock, 金额)", {"客户"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        Asked catalogue;
        EXPECT_FALSE(Palvo::dialect::expandFunctions(c.sql, catalogue));
        EXPECT_EQ(catalogue.names, c.asked);
    }
}

}  // namespace
