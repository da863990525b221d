// The late-bound tables: the methods of the eight classes that take no control
// (a grid travels as the statement that fills it). iGetElementIndexFromArray
// takes an array of texts and mInit_Var the connection object; both are left out.
#include "palvo/clsDatabase.h"
#include "palvo/clsElse.h"
#include "palvo/clsForm.h"
#include "palvo/clsFunction.h"
#include "palvo/clsIp.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "palvo/grid_model.h"
#include "src/dispatch/dispatch.h"
#include "src/grid/grid_fill.h"

namespace Palvo::dispatch {

namespace {

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

Value int32(std::uint32_t bits) { return Value(static_cast<long long>(static_cast<std::int32_t>(bits))); }

const ClassTable kDatabase{
    "clsDatabase",
    {
        bind<&clsDatabase::bConnect_Test>("bConnect_Test", "sServer", "sUser", "sPass", "dbName",
                                          opt("bConnClose", true), opt("iConnectTime", 15),
                                          opt("iCommandTime", 60)),
        bind<&clsDatabase::sServerTime>("sServerTime", opt("Style", "")),
        bind<&clsDatabase::sGetFieldValue>(
            "sGetFieldValue", "tbname", "fieldName", opt("referFieldName1", ""), opt("referValue1", ""),
            opt("referFieldName2", ""), opt("referValue2", ""), opt("referFieldName3", ""),
            opt("referValue3", ""), opt("referFieldName4", ""), opt("referValue4", ""),
            opt("referFieldName5", ""), opt("referValue5", "")),
        bind<&clsDatabase::sSetFieldValue>("sSetFieldValue", "tbname", "fieldName", "fieldValue",
                                           opt("referFieldName1", ""), opt("referValue1", ""),
                                           opt("referFieldName2", ""), opt("referValue2", "")),
        bind<&clsDatabase::sNextId>("sNextId", "tbname", "lenId", opt("IncField", "编号")),
        bind<&clsDatabase::lGetSearchCount>("lGetSearchCount", "sSearchStr"),
        bind<&clsDatabase::sGetSomeInfo>("sGetSomeInfo", ref("sSql"), ref("iReturnIndex"), ref("sDefault")),
        bind<&clsDatabase::sGetField>("sGetField", "sTable", "sCxLb", opt("sCxm", ""), opt("sLx", ""),
                                      opt("sWhere1", ""), opt("sWhere2", ""), opt("sMustSetString", "")),
    }};

const ClassTable kForm{
    "clsForm",
    {
        bind<&clsForm::mInit_Form>(
            "mInit_Form", opt("lF_BackColor", int32(0x8000000F)), opt("lF_ForColor", int32(0x80000012)),
            opt("lF_Width", 5910), opt("lF_Height", 4515), opt("lT_BackColor_Notnull", int32(0x80000018)),
            opt("lT_Appearence", 1), opt("lT_FontSize", 10), opt("bT_FontBold", false),
            opt("lT_ForeColor", int32(0x80000012)), opt("lL_forColor_Select", 0xFF0000),
            opt("lL_FontSize", 9), opt("bL_FontBold", false), opt("lL_ForeColor", int32(0x80000012))),
        bind<&clsForm::sKeepSql>("sKeepSql", "sFrmName", "sSql", "sTableName", "sFsDw", opt("sJsDw", ""),
                                 opt("sLx", "")),
        bind<&clsForm::mSubMsg>("mSubMsg", ref("sErr"), opt("sErrMx", "")),
        bind<&clsForm::sPopWindow>("sPopWindow", "Field", opt("strWhere", ""),
                                   optRef("sFormat", "YYYY-MM-DD"), optRef("sSqlString", ""),
                                   optRef("bMultiSel", false)),
    }};

const ClassTable kFunction{
    "clsFunction",
    {
        bind<&clsFunction::bNumberBetOneAndZero>("bNumberBetOneAndZero", ref("numString")),
        bind<&clsFunction::sUserDate>("sUserDate", ref("sTxt"), optRef("sFormat", "YYYY-MM-DD")),
        bind<&clsFunction::sConvertMoneyX>("sConvertMoneyX", ref("je")),
        bind<&clsFunction::lGetLenthStr>("lGetLenthStr", ref("str")),
        bind<&clsFunction::sSetPwd>("sSetPwd", "sPwd", "bType"),
        bind<&clsFunction::iComputeOneMonthDays>("iComputeOneMonthDays", ref("strYear"), ref("strMonth")),
        bind<&clsFunction::iComputeOneYearDays>("iComputeOneYearDays", ref("strYear"), ref("strMonth")),
        bind<&clsFunction::iComputeDateDelayTime>("iComputeDateDelayTime", ref("strStartDate"),
                                                  ref("strEndDate")),
        bind<&clsFunction::sComputeTendaysHandDateTime>("sComputeTendaysHandDateTime", ref("strYear"),
                                                        ref("strMonth"), ref("strTendays"), "DateTimeFlag"),
        bind<&clsFunction::sComputeYearHandDateTime>("sComputeYearHandDateTime", ref("strYear"),
                                                     ref("strMonth")),
        bind<&clsFunction::sComputeTendaysDateClassNo>("sComputeTendaysDateClassNo", ref("strYear"),
                                                       ref("strMonth"), ref("strTendays"), "DateTimeFlag"),
        bind<&clsFunction::sHandDateTime>("sHandDateTime", ref("strYear"), ref("strMonth"), "StartEndFlag",
                                          "DateTimeFlag"),
        bind<&clsFunction::sComputeHandDateTime>("sComputeHandDateTime", ref("strYear"), ref("strMonth"),
                                                 "DateTimeFlag"),
    }};

const ClassTable kIp{"clsIp",
                     {
                         bind<&clsIp::GetComputerName>("GetComputerName"),
                         bind<&clsIp::GetLocalIPAddress>("GetLocalIPAddress", opt("sppIP", "")),
                         bind<&clsIp::bIsIP>("bIsIP", "sIP"),
                     }};

const ClassTable kElse{"clsElse",
                       {
                           bind<&clsElse::ShowMouse>("ShowMouse"),
                           bind<&clsElse::HideMouse>("HideMouse"),
                           bind<&clsElse::lSreenCoordinate>("lSreenCoordinate"),
                           bind<static_cast<bool (clsElse::*)(std::string&, bool&)>(&clsElse::bExecuteCode)>(
                               "bExecuteCode", ref("stCode"), optRef("fCheckOnly", false)),
                       }};

const ClassTable kSearch{"clsSearch",
                         {
                             bind<&clsSearch::sFindStr>("sFindStr", "sReceive", optRef("sRqBjFs", "d")),
                             bind<&clsSearch::sPrintSet>("sPrintSet", "sReceive", "sCxm", "sCxLb",
                                                         opt("sMc", ""), optRef("sMustSetString", "")),
                             bind<&clsSearch::sPrintSet_Zdy>("sPrintSet_Zdy", "sReceive", "sCxm", "sCxLb",
                                                             opt("sMc", ""), optRef("sRqBjFs", "")),
                         }};

const ClassTable kPrint{
    "clsPrint",
    {
        bind<&clsPrint::sReportGridtoExcel>("sReportGridtoExcel", "sTitle", "Grid", optRef("Topstr", ""),
                                            optRef("BotStr", ""), optRef("iOrient", 1), optRef("bAlig", -1),
                                            optRef("bCanEdit", true)),
        bind<&clsPrint::sPrintComFlxData>(
            "sPrintComFlxData", "dataFlx", "sTitle", optRef("Topstr", ""), optRef("BotStr", ""),
            optRef("iOrient", 2), optRef("bAlig", -1), optRef("bCanEdit", true), optRef("dataBeginRow", -1),
            optRef("titleFlx", ""), optRef("titleCol", -1), optRef("otherMergeStr", "")),
    }};

}  // namespace

std::unique_ptr<FlexGrid> statementGrid(const std::string& statement) {
    auto grid = std::make_unique<StatementGrid>();
    const std::string result = grid::fillTable(statement, *grid, false, 0, "", true, "YYYY-MM-DD");
    if (!result.empty() && result != "0") throw Error(ErrorNumber::InvalidCall, result);
    return grid;
}

const std::vector<const ClassTable*>& classTables() {
    static const std::vector<const ClassTable*> tables{&kDatabase, &kForm,   &kFunction, &kIp,
                                                       &kElse,     &kSearch, &kPrint};
    return tables;
}

}  // namespace Palvo::dispatch
