// clsSearch: each method forwards to the query module.
#include "palvo/clsSearch.h"

#include "src/query/frm_find.h"
#include "src/query/frm_sz.h"
#include "src/query/frm_zdy_sz.h"
#include "src/query/query_combos.h"

namespace Palvo {

std::string clsSearch::sInitComboDw(Form& frm, ComboBox& ComboDW) {
    return query::sInitComboDw(frm, ComboDW);
}

void clsSearch::mInitComboSjCx(Form& frm, ComboBox& cmb, const std::string& tbname) {
    query::mInitComboSjCx(frm, cmb, tbname);
}

void clsSearch::mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname, std::string& cxLb) {
    query::mInitComboType(frm, cmb, tbname, cxLb);
}

void clsSearch::mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname) {
    std::string cxLb;
    query::mInitComboType(frm, cmb, tbname, cxLb);
}

void clsSearch::mInitComboTstj(Form& frm, ComboBox& cmb, std::string& strTag) {
    query::mInitComboTstj(frm, cmb, strTag);
}

void clsSearch::mInitComboTstj(Form& frm, ComboBox& cmb) {
    std::string strTag;
    query::mInitComboTstj(frm, cmb, strTag);
}

std::string clsSearch::sFindStr(const std::string& sReceive, const std::string& sRqBjFs) {
    return query::sFindStr(sReceive, sRqBjFs);
}

Value clsSearch::sPrintSet(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                           const std::string& sMc, const std::string& sMustSetString) {
    query::sPrintSet(sReceive, sCxm, sCxLb, sMc, sMustSetString);
    return Value();
}

Value clsSearch::sPrintSet_Zdy(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                               const std::string& sMc, const std::string& sRqBjFs) {
    query::sPrintSet_Zdy(sReceive, sCxm, sCxLb, sMc, sRqBjFs);
    return Value();
}

}  // namespace Palvo
