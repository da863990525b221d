// sGetField: the column, total, sort and group lists of a settings set.
#include "src/query/select_builder.h"

#include <cmath>

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/data/host_tables.h"
#include "src/query/settings_store.h"
#include "src/query/settings_sync.h"

namespace Palvo::query {}  // namespace Palvo::query

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace query;

std::string clsDatabase::sGetField(const std::string& sTable, const std::string& sCxLb,
                                   const std::string& sCxm, const std::string& sLx,
                                   const std::string& /*sWhere1*/, const std::string& /*sWhere2*/,
                                   const std::string& sMustSetString) {
    const std::string table = base::sqlQuote(sTable), category = base::sqlQuote(sCxLb),
                      name = base::sqlQuote(sCxm);
    const std::string& user = session().sUser;
    const std::string quotedUser = base::sqlQuote(user);
    std::string sql;
    if (sCxLb != "录入") {
        sql = "select * from 查询打印设置 where 表名='" + table + "' and 用户名='" + quotedUser +
              "' and 查询类别='" + category + "' and 查询名='" + name + "'";
    } else {
        // Data-entry settings are shared by every query name.
        sql = "select * from 查询打印设置 where 表名='" + table + "'  and 用户名='" + quotedUser +
              "' and 查询类别='" + category + "' ";
    }
    // Every row of the set, shown or hidden.
    const std::string wholeSet = sql;
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
    // a set stored before the table changed names the columns it has now
    syncSettingsSets(conn, sTable, user, sCxLb);
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sql, conn);
    if (kind == "选择" && rs.RecordCount() < 1) {
        rs.Close();
        // A set whose columns are all hidden is still the user's set: seeding
        // it again would add a second row for every column.
        Recordset any;
        any.CursorLocation(adUseClient);
        any.Open(wholeSet, conn);
        const bool exists = any.RecordCount() > 0;
        any.Close();
        if (!exists) {
            // another user may seed it between that read and this statement
            seedSet(conn, sTable, user, sCxLb, sCxm, wholeSet.substr(wholeSet.find(" where ")),
                    [&](const std::string& guard) {
                        return seedStatement(sTable, sCxLb, sCxm, user, sMustSetString) + " and " + guard;
                    });
        }
        // read again even when the set was there: it may have been seeded since the first read
        rs.Open(sql, conn);
    }
    std::string list;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string field = data::sqlColumnName(rs.Fields("字段名").Value().toTextStrict());
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
