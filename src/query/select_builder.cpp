// sGetField: the column, total, sort and group lists of a settings set.
#include <cmath>

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/session.h"
#include "src/query/settings_store.h"
#include "src/util/conversions.h"

namespace Palvo {

std::string clsDatabase::sGetField(const std::string& sTable, const std::string& sCxLb, const std::string& sCxm,
                                   const std::string& sLx, const std::string& /*sWhere1*/,
                                   const std::string& /*sWhere2*/, const std::string& sMustSetString) {
    const std::string name = util::sqlQuote(sCxm);
    const std::string& user = session().sUser;
    std::string sql;
    if (sCxLb != "录入") {
        sql = "select * from 查询打印设置 where 表名='" + sTable + "' and 用户名='" + user + "' and 查询类别='" + sCxLb +
              "' and 查询名='" + name + "'";
    } else {
        // Data-entry settings are shared by every query name.
        sql = "select * from 查询打印设置 where 表名='" + sTable + "'  and 用户名='" + user + "' and 查询类别='" +
              sCxLb + "' ";
    }
    const std::string kind = sLx.empty() ? "选择" : sLx;
    if (kind == "选择") {
        sql += " and 选择标志=1 order by 排列顺序";
    } else if (kind == "合计") {
        sql += " and 选择标志=1  and 合计>0 order by 合计";
    } else if (kind == "排序") {
        sql += " and 排序>0 order by 排序";
    } else if (kind == "分组") {
        sql += " and 分组>0 order by 分组";
    }

    Connection& conn = sessionConnection();
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sql, conn);
    if (kind == "选择" && rs.RecordCount() < 1) {
        rs.Close();
        conn.Execute(query::seedStatement(sTable, sCxLb, name, user, sMustSetString));
        rs.Open(sql, conn);
    }
    std::string list;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string field = rs.Fields("字段名").Value().toTextStrict();
        if (field.find('(') != std::string::npos && field.find(')') != std::string::npos) field = "[" + field + "]";
        if (kind == "排序") {
            double order = rs.Fields("排序").Value().toDouble();
            field += order > std::nearbyint(order) ? " desc" : " asc";
        }
        list += field + ",";
    }
    rs.Close();
    if (!list.empty()) list.pop_back();
    return list;
}

}  // namespace Palvo
