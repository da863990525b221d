// mSetCxm and the seeding of the settings table.
#include "src/query/settings_store.h"

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/field_helpers.h"

namespace Palvo::query {

std::string seedStatement(const std::string& T, const std::string& C, const std::string& N,
                          const std::string& U, const std::string& sMustSetString) {
    const std::string t = base::sqlQuote(T);
    std::string sql = "Insert Into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名) ";
    sql += " select '" + t + "',name,1,colid,'" + base::sqlQuote(C) + "','" + base::sqlQuote(N) + "','" +
           base::sqlQuote(U) + "'  from ";
    sql += "  syscolumns where object_name(id)='" + t + "'   ";
    sql += "   and (type_name(xtype) not in('binary','image','ntext','sql_variant','text','varbinary')) ";
    if (sMustSetString.empty()) sql += "   and (name not in ('编号','编号1','编号2'))  ";
    return sql;
}

namespace {
std::string absent(const std::string& where, bool lockHints) {
    return "not exists (select * from 查询打印设置" +
           std::string(lockHints ? " with (updlock, holdlock)" : "") + where + ")";
}
}  // namespace

long seedOnce(Connection& conn, const std::string& where,
              const std::function<std::string(const std::string&)>& seed) {
    const DatabaseCapabilities can = conn.capabilities();
    // One INSERT ... SELECT that takes the write lock before it reads anything needs
    // no hints. SQL Server reads under a shared lock it lets go at once: the hints
    // keep the set's key range locked until the rows are in.
    if (!can.tableHints || can.insertSelectLocksFirst) return conn.Execute(seed(absent(where, false)));
    try {
        return conn.Execute(seed(absent(where, true)));
    } catch (const Error& e) {
        // a host's connection that does not report its capabilities, over a database without hints
        if (e.number() != ErrorNumber::NotSupported) throw;
        return conn.Execute(seed(absent(where, false)));
    }
}

}  // namespace Palvo::query

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace query;

void clsDatabase::mSetCxm(ComboBox& cmb, const std::string& sTab, const std::string& sCxm,
                          const std::string& sCxLb) {
    std::string found = database::fieldValue("查询打印设置", "表名", "表名", sTab, "查询类别", sCxLb,
                                             "查询名", sCxm, "用户名", session().sUser, "", "");
    if (found.empty()) return;
    if (cmb.ListCount() == 0) {
        cmb.AddItem(sCxm);
        return;
    }
    const std::string wanted = base::trim(sCxm);
    for (int i = 0; i < cmb.ListCount(); ++i) {
        if (base::trim(cmb.List(i)) == wanted) return;
    }
    cmb.AddItem(sCxm);
}

}  // namespace Palvo
