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
        }};
    return table;
}

}  // namespace Palvo::dispatch
