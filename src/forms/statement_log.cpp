#include "src/forms/statement_log.h"

#include <vector>

#include "palvo/clsForm.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/field_helpers.h"

namespace Palvo::forms {

namespace {

constexpr const char* failed = "发送语句错误:";

// The file reference "source table,file column,key column,key value".
std::vector<std::string> fileReference(const std::string& text) {
    std::vector<std::string> parts;
    for (auto part : base::split(text, ',')) parts.emplace_back(part);
    if (parts.size() < 4) {
        throw Error(ErrorNumber::SubscriptOutOfRange,
                    "Subscript out of range: the file reference '" + text + "' has fewer than four parts");
    }
    return parts;
}

}  // namespace

std::string keepStatement(const std::string& sFrmName, const std::string& sSql, const std::string& sTableName,
                          const std::string& sFsDw, const std::string& sJsDw, const std::string& sLx) {
    std::string copyFile;
    try {
        std::string receivers;
        if (base::trim(sJsDw).empty()) {
            receivers = database::fieldValue("编辑权限", "发送给其他单位", "窗体名", sFrmName, "单位", sFsDw,
                                             "", "", "", "", "", "");
        } else {
            receivers = "," + sJsDw + ",";
        }
        if (base::trim(receivers).empty()) return "";

        Connection& conn = sessionConnection();
        long long number = 0;
        {
            Recordset rs;
            rs.Open("SELECT top 0 * FROM SendSql", conn, adOpenStatic, adLockOptimistic);
            rs.AddNew();
            rs.Fields("语句") = sSql;
            rs.Fields("操作表") = sTableName;
            rs.Fields("接收单位") = receivers;
            rs.Fields("发送单位") = sFsDw;
            rs.Fields("类型") = sLx;
            rs.Fields("操作员") = session().sUser;
            rs.Update();
            // the number comes from this insert, whatever another writer adds after it; only a file needs it
            if (!sLx.empty()) number = conn.LastInsertId();
            rs.Close();
        }
        if (sLx.empty()) return "";

        const auto a = fileReference(sTableName);
        copyFile = "update SendSql set 文件=" + a[0] + "." + a[1] + "  from SendSql inner join " + a[0] +
                   " on " + a[0] + "." + a[2] + "='" + base::sqlQuote(a[3]) +
                   "' and SendSql.编号 =" + std::to_string(number);
        conn.Execute(copyFile);
        return "";
    } catch (const std::exception&) {
        return failed + copyFile;
    }
}

}  // namespace Palvo::forms

namespace Palvo {

std::string clsForm::sKeepSql(const std::string& sFrmName, const std::string& sSql,
                              const std::string& sTableName, const std::string& sFsDw,
                              const std::string& sJsDw, const std::string& sLx) {
    return forms::keepStatement(sFrmName, sSql, sTableName, sFsDw, sJsDw, sLx);
}

}  // namespace Palvo
