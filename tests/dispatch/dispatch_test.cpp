#include "src/dispatch/dispatch.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "palvo/executor.h"
#include "palvo/memory/cursor.h"
#include "palvo/session.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using Args = std::vector<std::optional<std::string>>;

using testing::errorNumber;

TEST(CallByName, FindsTheMethodWithoutRegardToCase) {
    EXPECT_EQ(callByName("clsIp", "bIsIP", {"192.168.0.1"}).result, Value(true));
    EXPECT_EQ(callByName("CLSIP", "bisip", {"192.168.0.1"}).result, Value(true));
    EXPECT_EQ(callByName("Palvo.clsIp", "bIsIP", {"0.1.2.3"}).result, Value(false));
}

TEST(CallByName, UnknownNamesOrWrongArgumentCountsRaiseThePlatformsErrors) {
    struct Case {
        const char* cls;
        const char* method;
        Args args;
        long number;
    };
    const std::vector<Case> cases = {
        {"clsNothing", "bIsIP", {"1.1.1.1"}, 438}, {"Palvo.", "bIsIP", {}, 438},
        {"clsForm", "mInit_Var", {}, 438},  // takes a connection object: not callable with text
        {"clsIp", "bIsIP", {std::nullopt}, 449},   {"clsIp", "GetComputerName", {"x"}, 450},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorNumber([&] { callByName(c.cls, c.method, c.args); }), c.number)
            << c.cls << "." << c.method;
    }
}

TEST(Convert, TextArgumentsBecomeTheParameterTypesOrFail) {
    using dispatch::Type;
    const std::tuple<const char*, Type, Value> cases[] = {
        {" 12 ", Type::Int16, Value(12)},
        {"2.5", Type::Int16, Value(2)},
        {"3.5", Type::Int16, Value(4)},  // half to even
        {"-32768", Type::Int16, Value(-32768)},
        {"32767", Type::Int16, Value(32767)},
        {"1e3", Type::Int16, Value(1000)},
        {"2147483647", Type::Int32, Value(2147483647)},
        {"-2147483648", Type::Int32, Value(-2147483648LL)},
        {"0.1", Type::Single, Value(static_cast<double>(0.1f))},
        {"0.1", Type::Double, Value(0.1)},
        {"-7.25e2", Type::Double, Value(-725.0)},
        {"True", Type::Boolean, Value(true)},
        {"false", Type::Boolean, Value(false)},
        {"0", Type::Boolean, Value(false)},
        {"2", Type::Boolean, Value(true)},
        {"  abc ", Type::Text, Value("  abc ")},
        {"", Type::Text, Value("")},
        {"15", Type::Variant, Value("15")},
    };
    for (const auto& [text, type, expected] : cases)
        EXPECT_EQ(dispatch::convert(text, type, "p"), expected) << text;
    // bad text is a type mismatch (13), too large a number an overflow (6)
    const std::tuple<const char*, Type, long> bad[] = {
        {"abc", Type::Int16, 13},    {"", Type::Int32, 13},          {"True", Type::Int16, 13},
        {"12abc", Type::Int32, 13},  {"x", Type::Double, 13},        {"", Type::Single, 13},
        {"yes", Type::Boolean, 13},  {"", Type::Boolean, 13},        {"32768", Type::Int16, 6},
        {"-32769", Type::Int16, 6},  {"2147483648", Type::Int32, 6}, {"1e39", Type::Single, 6},
        {"1e400", Type::Double, 13},
    };
    for (const auto& [text, type, number] : bad)
        EXPECT_EQ(errorNumber([t = text, k = type] { dispatch::convert(t, k, "lenId"); }), number) << text;
}

// A method that changes some of its by-reference arguments.
const dispatch::Method kSwap{"mSwap",
                             dispatch::Type::Int32,
                             {{"a", dispatch::Type::Text, true},
                              {"b", dispatch::Type::Text, true},
                              {"n", dispatch::Type::Int16, true, true, Value(7)},
                              {"k", dispatch::Type::Int16, false, true, Value(1)}},
                             [](dispatch::Args& a) {
                                 std::swap(a[0], a[1]);
                                 a[2] = Value(a[2].toInt64() + 1);
                                 a[3] = Value(99);  // by value: never reported
                                 return Value(a[3].toInt64());
                             }};

TEST(Call, ReportsTheByReferenceArgumentsTheMethodChanged) {
    auto r = dispatch::call(kSwap, {"x", "y", "3", "5"});
    EXPECT_TRUE(r.hasResult);
    EXPECT_EQ(r.result, Value(99));
    ASSERT_EQ(r.changed.size(), 3u);
    EXPECT_EQ(r.changed[0].name, "a");
    EXPECT_EQ(r.changed[0].value, Value("y"));
    EXPECT_EQ(r.changed[1].name, "b");
    EXPECT_EQ(r.changed[2].name, "n");
    EXPECT_EQ(r.changed[2].value, Value(4));

    // Unchanged values are not reported; an omitted argument has no variable to return into.
    r = dispatch::call(kSwap, {"same", "same"});
    EXPECT_TRUE(r.changed.empty());
    r = dispatch::call(kSwap, {"x", "y", std::nullopt, "2"});
    ASSERT_EQ(r.changed.size(), 2u);
    EXPECT_EQ(r.changed[1].name, "b");
}

// Leaving every optional argument out is checked against the class defaults in dispatch_defaults_test.
TEST(CallByName, OmittedArgumentsBetweenGivenOnesTakeTheirDefaults) {
    session() = SessionContext{};
    callByName("clsForm", "mInit_Form",
               {"255", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, "12", "True"});
    EXPECT_EQ(session().lF_BackColor, 255);
    EXPECT_EQ(session().lF_ForColor, static_cast<std::int32_t>(0x80000012));
    EXPECT_EQ(session().lT_FontSize, 12);
    EXPECT_TRUE(session().bT_FontBold);
    EXPECT_EQ(errorNumber([] { callByName("clsForm", "mInit_Form", {"blue"}); }), 13);
    session() = SessionContext{};
}

class RecordingExecutor : public LineExecutor {
public:
    bool executeLine(const std::string& code, bool checkOnly, std::string&) override {
        calls.push_back((checkOnly ? "check:" : "run:") + code);
        return code.find("fail") == std::string::npos;
    }
    std::vector<std::string> calls;
};

TEST(CallByName, CodeRunsThroughTheInstalledLineExecutor) {
    auto executor = std::make_shared<RecordingExecutor>();
    installLineExecutor(executor);
    EXPECT_EQ(callByName("clsElse", "bExecuteCode", {"x = 1"}).result, Value(true));
    EXPECT_EQ(callByName("clsElse", "bExecuteCode", {"fail()", "True"}).result, Value(false));
    EXPECT_EQ(executor->calls, (std::vector<std::string>{"run:x = 1", "check:fail()"}));
    EXPECT_EQ(errorNumber([] { callByName("clsElse", "bExecuteCode", {"x", "perhaps"}); }), 13);
    installLineExecutor(nullptr);
}

TEST(CallByName, ThePointerMovesThroughTheInstalledCursorPort) {
    auto cursor = std::make_shared<memory::Cursor>(-3, POINTAPI{5, -7});
    installCursorPort(cursor);
    EXPECT_FALSE(callByName("clsElse", "ShowMouse", {}).hasResult);
    EXPECT_EQ(cursor->displayCount(), 2);
    EXPECT_EQ(callByName("clsElse", "lSreenCoordinate", {}).result, Value("X=5,Y=-7"));
    installCursorPort(nullptr);
}

}  // namespace
}  // namespace Palvo
