// The combo boxes of a host query form: units, date columns, saved query
// names and the values of one column.
#include "src/query/query_combos.h"

#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/data/host_tables.h"
#include "src/database/db_support.h"
#include "src/database/field_helpers.h"
#include "src/query/settings_sync.h"

namespace Palvo::query {

namespace {
// The table name goes into the statement bare: refuse one that could carry more SQL.
const std::string& checkedTable(const std::string& name) {
    if (!data::isObjectName(name)) {
        throw Error(ErrorNumber::InvalidCall,
                    "Invalid procedure call or argument: '" + name + "' is not a table name");
    }
    return name;
}
}  // namespace

void fillTypeCombo(Form& /*frm*/, ComboBox& cmb, const std::string& tbname, std::string& cxLb) {
    try {
        const auto& s = session();
        if (cxLb.empty()) cxLb = s.sConstStrPtcx;
        syncSettingsSets(sessionConnection(), tbname, s.sUser, cxLb);
        std::string sql = "select distinct 查询名 from 查询打印设置 where 表名='" + base::sqlQuote(tbname) +
                          "' " + " and 用户名='" + base::sqlQuote(s.sUser) + "' and  查询类别='" +
                          base::sqlQuote(cxLb) + "'";
        Recordset rs;
        rs.Open(sql, sessionConnection());
        bool any = false;
        for (; !rs.Eof(); rs.MoveNext()) {
            cmb.AddItem(rs.Fields("查询名").Value().toTextStrict());
            any = true;
        }
        if (any) cmb.ListIndex(0);
        rs.Close();
    } catch (...) {
        // quietly, as far as it came
    }
}

void fillConditionCombo(Form& /*frm*/, ComboBox& cmb, std::string& strTag) {
    try {
        if (strTag.empty()) strTag = cmb.Tag();
        cmb.AddItem("全部");
        if (!strTag.empty()) {
            auto comma = strTag.find(',');
            if (comma == std::string::npos) return;  // a tag without a comma names no column
            std::string table = strTag.substr(0, comma);
            std::string column = strTag.substr(comma + 1);
            Recordset rs;
            rs.Open("select * from  " + checkedTable(table), sessionConnection(), adOpenStatic,
                    adLockReadOnly);
            for (; !rs.Eof(); rs.MoveNext()) cmb.AddItem(rs.Fields(column).Value().toTextStrict());
            rs.Close();
        }
        cmb.ListIndex(0);
    } catch (...) {
        // quietly, as far as it came
    }
}

}  // namespace Palvo::query

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace query;

std::string clsSearch::sInitComboDw(Form& /*frm*/, ComboBox& ComboDW) {
    try {
        const auto& s = session();
        Recordset rs;
        rs.Open("select * from B_单位 order by 单位编号", sessionConnection(), adOpenStatic, adLockReadOnly);
        if (rs.RecordCount() == 0) {
            msgBox("数据库初始数据错误！当前数据库中没有单位信息！", 64, s.sMsg);
            return "";
        }
        if (s.Dwbh != "00") {
            ComboDW.AddItem(s.DwMc);
            ComboDW.ItemData(0, database::toInt32(Value(s.Dwbh)));
        } else {
            ComboDW.AddItem("全部");
            ComboDW.ItemData(0, -1);
            for (int n = 1; !rs.Eof(); rs.MoveNext(), ++n) {
                ComboDW.AddItem(rs.Fields("名称").Value().toTextStrict());
                ComboDW.ItemData(n, database::toInt32(rs.Fields("单位编号").Value()));
            }
        }
        rs.Close();
        ComboDW.Text(
            database::fieldValue("B_单位", "名称", "单位编号", s.Dwbh, "", "", "", "", "", "", "", ""));
    } catch (...) {
        // the combo stays as far as it was filled
    }
    return "";
}

void clsSearch::mInitComboSjCx(Form& /*frm*/, ComboBox& cmb, const std::string& tbname) {
    try {
        Recordset rs;
        rs.Open("select top 0 * from " + checkedTable(tbname), sessionConnection());
        for (long i = 0; i < rs.Fields().Count(); ++i) {
            if (rs.Fields(i).Type() == adDBTimeStamp) cmb.AddItem(rs.Fields(i).Name());
        }
        if (cmb.ListCount() > 0) cmb.ListIndex(0);
        rs.Close();
    } catch (...) {
        // quietly, as far as it came
    }
}

void clsSearch::mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname, std::string& cxLb) {
    query::fillTypeCombo(frm, cmb, tbname, cxLb);
}

void clsSearch::mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname) {
    std::string cxLb;
    query::fillTypeCombo(frm, cmb, tbname, cxLb);
}

void clsSearch::mInitComboTstj(Form& frm, ComboBox& cmb, std::string& strTag) {
    query::fillConditionCombo(frm, cmb, strTag);
}

void clsSearch::mInitComboTstj(Form& frm, ComboBox& cmb) {
    std::string strTag;
    query::fillConditionCombo(frm, cmb, strTag);
}

}  // namespace Palvo
