// The umbrella header compiles on its own and offers all eight classes.
#include <gtest/gtest.h>

#include <type_traits>

#include "palvo/palvo.h"

namespace Palvo {
namespace {

TEST(Umbrella, EveryClassIsCreatableWithoutState) {
    static_assert(std::is_empty_v<clsDatabase> && std::is_empty_v<clsForm> && std::is_empty_v<clsGrid> &&
                  std::is_empty_v<clsPrint> && std::is_empty_v<clsSearch> && std::is_empty_v<clsFunction> &&
                  std::is_empty_v<clsIp> && std::is_empty_v<clsElse>);
    // The late-bound surface names the classes the header offers.
    EXPECT_EQ(callByName("Palvo.clsFunction", "sConvertMoneyX", {std::string("12.5")}).result.toText(),
              "壹拾贰元伍角整");
}

}  // namespace
}  // namespace Palvo
