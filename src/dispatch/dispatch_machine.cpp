// Late-bound method tables of clsIp and clsElse.
#include "palvo/clsElse.h"
#include "palvo/clsIp.h"
#include "src/dispatch/dispatch.h"

namespace Palvo::dispatch {

const ClassTable& clsIpMethods() {
    static const ClassTable table{
        "clsIp",
        {
            {"GetComputerName", Type::Text, {}, [](Args&) { return Value(clsIp().GetComputerName()); }},
            {"GetLocalIPAddress",
             Type::Variant,
             {{"sppIP", Type::Text, false, true, Value("")}},
             [](Args& a) { return clsIp().GetLocalIPAddress(text(a[0])); }},
            {"bIsIP",
             Type::Boolean,
             {{"sIP", Type::Text}},
             [](Args& a) { return Value(clsIp().bIsIP(text(a[0]))); }},
        }};
    return table;
}

const ClassTable& clsElseMethods() {
    static const ClassTable table{
        "clsElse",
        {
            {"ShowMouse",
             Type::None,
             {},
             [](Args&) {
                 clsElse().ShowMouse();
                 return Value();
             }},
            {"HideMouse",
             Type::None,
             {},
             [](Args&) {
                 clsElse().HideMouse();
                 return Value();
             }},
            // The record comes back as its text, "X=12,Y=34".
            {"lSreenCoordinate",
             Type::Variant,
             {},
             [](Args&) {
                 POINTAPI pt = clsElse().lSreenCoordinate();
                 return Value("X=" + std::to_string(pt.X) + ",Y=" + std::to_string(pt.Y));
             }},
            {"bExecuteCode",
             Type::Boolean,
             {{"stCode", Type::Text, true}, {"fCheckOnly", Type::Boolean, true, true, Value(false)}},
             [](Args& a) {
                 std::string stCode = text(a[0]);
                 bool fCheckOnly = boolean(a[1]);
                 bool ok = clsElse().bExecuteCode(stCode, fCheckOnly);
                 a[0] = Value(stCode);
                 a[1] = Value(fCheckOnly);
                 return Value(ok);
             }},
        }};
    return table;
}

}  // namespace Palvo::dispatch
