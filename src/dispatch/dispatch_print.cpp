// Late-bound method table of clsPrint's spreadsheet reports. A grid cannot
// travel as text, so a grid argument is the statement that fills it: the
// call fills a grid of its own with it as sFillTable does (running numbers on).
#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/grid_model.h"
#include "src/dispatch/dispatch.h"
#include "src/grid/grid_fill.h"

namespace Palvo::dispatch {

namespace {

Param optional(const char* name, Type type, Value def) { return {name, type, true, true, std::move(def)}; }

// A grid no window shows: the model with a place and size of nothing.
class StatementGrid : public GridModel {
public:
    std::string Name() const override { return "Grid"; }
    float CellFontSize() const override { return 9; }
    std::int32_t CellLeft() const override { return 0; }
    std::int32_t CellTop() const override { return 0; }
    bool RowIsVisible(int) const override { return false; }
    std::int32_t Width() const override { return 0; }
    std::int32_t Left() const override { return 0; }
    std::int32_t Top() const override { return 0; }
};

// The grid a statement fills; its failure is the call's.
std::unique_ptr<GridModel> filled(const std::string& statement) {
    auto grid = std::make_unique<StatementGrid>();
    const std::string result = grid::sFillTable(statement, *grid, false, 0, "", true, "YYYY-MM-DD");
    if (!result.empty() && result != "0") throw Error(ErrorNumber::InvalidCall, result);
    return grid;
}

}  // namespace

const ClassTable& clsPrintMethods() {
    static const ClassTable table{
        "clsPrint",
        {
            {"sReportGridtoExcel",
             Type::Text,
             {{"sTitle", Type::Text},
              {"Grid", Type::Text},
              optional("Topstr", Type::Text, Value("")),
              optional("BotStr", Type::Text, Value("")),
              optional("iOrient", Type::Int32, Value(1LL)),
              optional("bAlig", Type::Int32, Value(-1LL)),
              optional("bCanEdit", Type::Boolean, Value(true))},
             [](Args& a) {
                 auto grid = filled(text(a[1]));
                 return Value(clsPrint().sReportGridtoExcel(text(a[0]), *grid, text(a[2]), text(a[3]),
                                                            int32(a[4]), int32(a[5]), boolean(a[6])));
             }},
            {"sPrintComFlxData",
             Type::Text,
             {{"dataFlx", Type::Text},
              {"sTitle", Type::Text},
              optional("Topstr", Type::Text, Value("")),
              optional("BotStr", Type::Text, Value("")),
              optional("iOrient", Type::Int32, Value(2LL)),
              optional("bAlig", Type::Int32, Value(-1LL)),
              optional("bCanEdit", Type::Boolean, Value(true)),
              optional("dataBeginRow", Type::Int16, Value(-1LL)),
              optional("titleFlx", Type::Text, Value("")),
              optional("titleCol", Type::Int16, Value(-1LL)),
              optional("otherMergeStr", Type::Text, Value(""))},
             [](Args& a) {
                 auto data = filled(text(a[0]));
                 std::unique_ptr<GridModel> heading;
                 if (!text(a[8]).empty()) heading = filled(text(a[8]));
                 return Value(clsPrint().sPrintComFlxData(
                     *data, text(a[1]), text(a[2]), text(a[3]), int32(a[4]), int32(a[5]), boolean(a[6]),
                     int16(a[7]), heading.get(), int16(a[9]), text(a[10])));
             }},
        }};
    return table;
}

}  // namespace Palvo::dispatch
