// Late-bound method table of clsSearch: the methods that take no control.
#include "palvo/clsSearch.h"
#include "src/dispatch/dispatch.h"

namespace Palvo::dispatch {

const ClassTable& clsSearchMethods() {
    static const ClassTable table{
        "clsSearch",
        {
            {"sFindStr",
             Type::Text,
             {{"sReceive", Type::Text}, {"sRqBjFs", Type::Text, true, true, Value("d")}},
             [](Args& a) { return Value(clsSearch().sFindStr(text(a[0]), text(a[1]))); }},
            {"sPrintSet",
             Type::Variant,
             {{"sReceive", Type::Text},
              {"sCxm", Type::Text},
              {"sCxLb", Type::Text},
              {"sMc", Type::Text, false, true, Value("")},
              {"sMustSetString", Type::Text, true, true, Value("")}},
             [](Args& a) {
                 return clsSearch().sPrintSet(text(a[0]), text(a[1]), text(a[2]), text(a[3]), text(a[4]));
             }},
            {"sPrintSet_Zdy",
             Type::Variant,
             {{"sReceive", Type::Text},
              {"sCxm", Type::Text},
              {"sCxLb", Type::Text},
              {"sMc", Type::Text, false, true, Value("")},
              {"sRqBjFs", Type::Text, true, true, Value("")}},
             [](Args& a) {
                 return clsSearch().sPrintSet_Zdy(text(a[0]), text(a[1]), text(a[2]), text(a[3]), text(a[4]));
             }},
        }};
    return table;
}

}  // namespace Palvo::dispatch
