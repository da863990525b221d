// Late-bound method tables of clsDatabase and clsForm: their methods that take
// no control (mInit_Var takes the connection object and is left out).
#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "src/dispatch/dispatch.h"

namespace Palvo::dispatch {

namespace {

Param text(const char* name) { return {name, Type::Text}; }
Param optionalText(const char* name, const char* def = "") {
    return {name, Type::Text, false, true, Value(def)};
}
Param optionalInt32(const char* name, std::int32_t def) {
    return {name, Type::Int32, false, true, Value(static_cast<long long>(def))};
}
Param optionalBoolean(const char* name, bool def) { return {name, Type::Boolean, false, true, Value(def)}; }

}  // namespace

const ClassTable& clsDatabaseMethods() {
    static const ClassTable table{
        "clsDatabase",
        {
            {"bConnect_Test",
             Type::Boolean,
             {text("sServer"),
              text("sUser"),
              text("sPass"),
              text("dbName"),
              optionalBoolean("bConnClose", true),
              {"iConnectTime", Type::Variant, false, true, Value(15)},
              {"iCommandTime", Type::Variant, false, true, Value(60)}},
             [](Args& a) {
                 return Value(clsDatabase().bConnect_Test(dispatch::text(a[0]), dispatch::text(a[1]),
                                                          dispatch::text(a[2]), dispatch::text(a[3]),
                                                          boolean(a[4]), a[5], a[6]));
             }},
            {"sServerTime",
             Type::Text,
             {optionalText("Style")},
             [](Args& a) { return Value(clsDatabase().sServerTime(dispatch::text(a[0]))); }},
            {"sGetFieldValue",
             Type::Text,
             {text("tbname"), text("fieldName"), optionalText("referFieldName1"), optionalText("referValue1"),
              optionalText("referFieldName2"), optionalText("referValue2"), optionalText("referFieldName3"),
              optionalText("referValue3"), optionalText("referFieldName4"), optionalText("referValue4"),
              optionalText("referFieldName5"), optionalText("referValue5")},
             [](Args& a) {
                 std::string t[12];
                 for (int i = 0; i < 12; ++i) t[i] = dispatch::text(a[static_cast<std::size_t>(i)]);
                 return Value(clsDatabase().sGetFieldValue(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7],
                                                           t[8], t[9], t[10], t[11]));
             }},
            {"sSetFieldValue",
             Type::Text,
             {text("tbname"), text("fieldName"), text("fieldValue"), optionalText("referFieldName1"),
              optionalText("referValue1"), optionalText("referFieldName2"), optionalText("referValue2")},
             [](Args& a) {
                 std::string t[7];
                 for (int i = 0; i < 7; ++i) t[i] = dispatch::text(a[static_cast<std::size_t>(i)]);
                 return Value(clsDatabase().sSetFieldValue(t[0], t[1], t[2], t[3], t[4], t[5], t[6]));
             }},
            {"sNextId",
             Type::Text,
             {text("tbname"), {"lenId", Type::Int16}, optionalText("IncField", "编号")},
             [](Args& a) {
                 return Value(clsDatabase().sNextId(dispatch::text(a[0]), int16(a[1]), dispatch::text(a[2])));
             }},
            {"lGetSearchCount",
             Type::Int32,
             {text("sSearchStr")},
             [](Args& a) { return Value(clsDatabase().lGetSearchCount(dispatch::text(a[0]))); }},
            {"sGetSomeInfo",
             Type::Text,
             {{"sSql", Type::Text, true},
              {"iReturnIndex", Type::Int16, true},
              {"sDefault", Type::Text, true}},
             [](Args& a) {
                 std::int16_t index = int16(a[1]);
                 return Value(clsDatabase().sGetSomeInfo(dispatch::text(a[0]), index, dispatch::text(a[2])));
             }},
            {"sGetField",
             Type::Text,
             {text("sTable"), text("sCxLb"), optionalText("sCxm"), optionalText("sLx"),
              optionalText("sWhere1"), optionalText("sWhere2"), optionalText("sMustSetString")},
             [](Args& a) {
                 std::string t[7];
                 for (int i = 0; i < 7; ++i) t[i] = dispatch::text(a[static_cast<std::size_t>(i)]);
                 return Value(clsDatabase().sGetField(t[0], t[1], t[2], t[3], t[4], t[5], t[6]));
             }},
        }};
    return table;
}

const ClassTable& clsFormMethods() {
    static const ClassTable table{
        "clsForm",
        {
            {"mInit_Form",
             Type::None,
             {optionalInt32("lF_BackColor", static_cast<std::int32_t>(0x8000000F)),
              optionalInt32("lF_ForColor", static_cast<std::int32_t>(0x80000012)),
              optionalInt32("lF_Width", 5910), optionalInt32("lF_Height", 4515),
              optionalInt32("lT_BackColor_Notnull", static_cast<std::int32_t>(0x80000018)),
              optionalInt32("lT_Appearence", 1), optionalInt32("lT_FontSize", 10),
              optionalBoolean("bT_FontBold", false),
              optionalInt32("lT_ForeColor", static_cast<std::int32_t>(0x80000012)),
              optionalInt32("lL_forColor_Select", 0xFF0000), optionalInt32("lL_FontSize", 9),
              optionalBoolean("bL_FontBold", false),
              optionalInt32("lL_ForeColor", static_cast<std::int32_t>(0x80000012))},
             [](Args& a) {
                 clsForm().mInit_Form(int32(a[0]), int32(a[1]), int32(a[2]), int32(a[3]), int32(a[4]),
                                      int32(a[5]), int32(a[6]), boolean(a[7]), int32(a[8]), int32(a[9]),
                                      int32(a[10]), boolean(a[11]), int32(a[12]));
                 return Value();
             }},
            {"sKeepSql",
             Type::Text,
             {text("sFrmName"), text("sSql"), text("sTableName"), text("sFsDw"), optionalText("sJsDw"),
              optionalText("sLx")},
             [](Args& a) {
                 std::string t[6];
                 for (int i = 0; i < 6; ++i) t[i] = dispatch::text(a[static_cast<std::size_t>(i)]);
                 return Value(clsForm().sKeepSql(t[0], t[1], t[2], t[3], t[4], t[5]));
             }},
            {"mSubMsg",
             Type::None,
             {{"sErr", Type::Text, true}, optionalText("sErrMx")},
             [](Args& a) {
                 clsForm().mSubMsg(dispatch::text(a[0]), dispatch::text(a[1]));
                 return Value();
             }},
            {"sPopWindow",
             Type::Text,
             {text("Field"),
              optionalText("strWhere"),
              {"sFormat", Type::Text, true, true, Value("YYYY-MM-DD")},
              {"sSqlString", Type::Text, true, true, Value("")},
              {"bMultiSel", Type::Boolean, true, true, Value(false)}},
             [](Args& a) {
                 return Value(clsForm().sPopWindow(dispatch::text(a[0]), dispatch::text(a[1]),
                                                   dispatch::text(a[2]), dispatch::text(a[3]),
                                                   boolean(a[4])));
             }},
        }};
    return table;
}

}  // namespace Palvo::dispatch
