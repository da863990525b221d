// Late-bound method table of clsFunction: its methods that take no control.
// iGetElementIndexFromArray takes an array of texts and is left out.
#include "palvo/clsFunction.h"
#include "src/dispatch/dispatch.h"

namespace Palvo::dispatch {

namespace {

Param byRefText(const char* name) { return {name, Type::Text, true}; }
Param int16Param(const char* name) { return {name, Type::Int16}; }

}  // namespace

const ClassTable& clsFunctionMethods() {
    static const ClassTable table{
        "clsFunction",
        {
            {"bNumberBetOneAndZero",
             Type::Boolean,
             {byRefText("numString")},
             [](Args& a) { return Value(clsFunction().bNumberBetOneAndZero(text(a[0]))); }},
            {"sUserDate",
             Type::Text,
             {byRefText("sTxt"), {"sFormat", Type::Text, true, true, Value("YYYY-MM-DD")}},
             [](Args& a) {
                 std::string sTxt = text(a[0]);
                 std::string r = clsFunction().sUserDate(sTxt, text(a[1]));
                 a[0] = Value(sTxt);
                 return Value(r);
             }},
            {"sConvertMoneyX",
             Type::Text,
             {{"je", Type::Double, true}},
             [](Args& a) { return Value(clsFunction().sConvertMoneyX(a[0].toDouble())); }},
            {"lGetLenthStr",
             Type::Int32,
             {byRefText("str")},
             [](Args& a) { return Value(clsFunction().lGetLenthStr(text(a[0]))); }},
            {"sSetPwd",
             Type::Text,
             {{"sPwd", Type::Text}, {"bType", Type::Boolean}},
             [](Args& a) { return Value(clsFunction().sSetPwd(text(a[0]), boolean(a[1]))); }},
            {"iComputeOneMonthDays",
             Type::Int16,
             {byRefText("strYear"), byRefText("strMonth")},
             [](Args& a) { return Value(clsFunction().iComputeOneMonthDays(text(a[0]), text(a[1]))); }},
            {"iComputeOneYearDays",
             Type::Int16,
             {byRefText("strYear"), byRefText("strMonth")},
             [](Args& a) { return Value(clsFunction().iComputeOneYearDays(text(a[0]), text(a[1]))); }},
            {"iComputeDateDelayTime",
             Type::Int16,
             {byRefText("strStartDate"), byRefText("strEndDate")},
             [](Args& a) { return Value(clsFunction().iComputeDateDelayTime(text(a[0]), text(a[1]))); }},
            {"sComputeTendaysHandDateTime",
             Type::Text,
             {byRefText("strYear"), byRefText("strMonth"), byRefText("strTendays"),
              int16Param("DateTimeFlag")},
             [](Args& a) {
                 return Value(clsFunction().sComputeTendaysHandDateTime(text(a[0]), text(a[1]), text(a[2]),
                                                                        int16(a[3])));
             }},
            {"sComputeYearHandDateTime",
             Type::Text,
             {byRefText("strYear"), byRefText("strMonth")},
             [](Args& a) { return Value(clsFunction().sComputeYearHandDateTime(text(a[0]), text(a[1]))); }},
            {"sComputeTendaysDateClassNo",
             Type::Text,
             {byRefText("strYear"), byRefText("strMonth"), byRefText("strTendays"),
              int16Param("DateTimeFlag")},
             [](Args& a) {
                 return Value(clsFunction().sComputeTendaysDateClassNo(text(a[0]), text(a[1]), text(a[2]),
                                                                       int16(a[3])));
             }},
            {"sHandDateTime",
             Type::Text,
             {byRefText("strYear"), byRefText("strMonth"), int16Param("StartEndFlag"),
              int16Param("DateTimeFlag")},
             [](Args& a) {
                 return Value(clsFunction().sHandDateTime(text(a[0]), text(a[1]), int16(a[2]), int16(a[3])));
             }},
            {"sComputeHandDateTime",
             Type::Text,
             {byRefText("strYear"), byRefText("strMonth"), int16Param("DateTimeFlag")},
             [](Args& a) {
                 return Value(clsFunction().sComputeHandDateTime(text(a[0]), text(a[1]), int16(a[2])));
             }},
        }};
    return table;
}

}  // namespace Palvo::dispatch
