#include "src/forms/registry.h"

#include <cctype>

#include "palvo/clsForm.h"
#include "palvo/data.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/field_helpers.h"
#include "src/forms/field_props.h"
#include "src/forms/statement_log.h"

namespace Palvo::forms {

namespace {

bool namedTxt(const Control& c) {
    const std::string name = c.Name();
    return name.size() == 3 && std::tolower(static_cast<unsigned char>(name[0])) == 't' &&
           std::tolower(static_cast<unsigned char>(name[1])) == 'x' &&
           std::tolower(static_cast<unsigned char>(name[2])) == 't';
}

// The text boxes of TXT in the order of the Controls walk, with their column names.
struct FormBox {
    TextBox* box;
    int index;
    std::string labelTag;
};

std::vector<FormBox> formBoxes(Form& frm) {
    std::vector<FormBox> out;
    auto& lbl = frm.lbl();
    for (Control* c : frm.Controls()) {
        if (!namedTxt(*c)) continue;
        auto* box = dynamic_cast<TextBox*>(c);
        if (box == nullptr) continue;  // a control array holds one kind of control: TXT holds text boxes
        out.push_back({box, box->Index(), lbl(box->Index()).Tag()});
    }
    return out;
}

// The registry rows of a master table, in the database's order.
ResultTable registryRows(const std::string& sZb) {
    return sessionConnection().Query("select * from 更新表记录 where 主表 ='" + base::sqlQuote(sZb) + "'");
}

std::string cell(const ResultTable& t, std::size_t row, const char* column) {
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (t.columns[c].name == column) return t.at(row, c).toText();
    }
    throw Error(
        ErrorNumber::ItemNotFound,
        std::string(
            "Item cannot be found in the collection corresponding to the requested name or ordinal: ") +
            column);
}

}  // namespace

void registerReference(const std::string& master, const std::string& masterColumn, const std::string& table,
                       const std::string& column) {
    const std::string m = base::sqlQuote(master), mc = base::sqlQuote(masterColumn),
                      t = base::sqlQuote(table), c = base::sqlQuote(column);
    Connection& conn = sessionConnection();
    Recordset rs;
    rs.Open("select top 1 * from 更新表记录 where 主表='" + m + "' and  主表字段='" + mc + "' and 附表='" +
                t + "' and 附表字段='" + c + "'",
            conn);
    if (rs.RecordCount() == 0) {
        conn.Execute("insert into 更新表记录(主表,主表字段,附表,附表字段) values ('" + m + "','" + mc +
                     "','" + t + "','" + c + "')");
    }
    rs.Close();
}

}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

void clsForm::mSetKeepSql(Form& frm, std::string& tbname) {
    const std::vector<std::string_view> tables = base::split(tbname, ',');
    for (const auto& name : tables) {
        // a row without its dependent table would break every later cascade and delete check of the master
        if (base::trim(name).empty()) {
            throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the table list '" +
                                                      tbname + "' holds an empty table name");
        }
    }
    struct Candidate {
        LookupSource source;
        std::string column;
    };
    std::vector<Candidate> candidates;
    for (const FormBox& b : formBoxes(frm)) {
        const std::string code = tagCode(b.labelTag);
        if ((code != "1" && code != "3") || b.box->Tag().empty()) continue;
        candidates.push_back({lookupSource(b.box->Tag()), columnName(b.labelTag)});
    }
    if (tables.size() == 1) {
        for (const auto& cand : candidates)
            registerReference(cand.source.table, cand.source.column, tbname, cand.column);
        return;
    }
    std::vector<std::string> columnLists;
    for (const auto& name : tables) {
        Recordset rs;
        rs.Open("select top 0 * from " + std::string(name), sessionConnection());
        std::string list = ",";
        for (long f = 0; f < rs.Fields().Count(); ++f) list += rs.Fields(f).Name() + ",";
        rs.Close();
        columnLists.push_back(std::move(list));
    }
    for (const auto& cand : candidates) {
        for (std::size_t t = 0; t < tables.size(); ++t) {
            if (columnLists[t].find("," + cand.column + ",") == std::string::npos) continue;
            registerReference(cand.source.table, cand.source.column, std::string(tables[t]), cand.column);
        }
    }
}

std::string clsForm::sExcuteSql(Form& frm, const std::string& sZb, const std::vector<std::string>& sData,
                                const std::vector<std::string>& /*sFieldType*/) {
    const ResultTable rows = registryRows(sZb);
    if (rows.rowCount() == 0) return "";
    std::string result;
    const std::vector<FormBox> boxes = formBoxes(frm);
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        const std::string masterColumn = cell(rows, r, "主表字段");
        for (const FormBox& b : boxes) {
            if (columnName(b.labelTag) != masterColumn) continue;
            const std::string now = base::trim(b.box->Text());
            const std::string& before = element(sData, b.index);
            if (now == before) continue;
            const std::string table = cell(rows, r, "附表");
            const std::string column = cell(rows, r, "附表字段");
            const std::string sql = "update " + table + " set " + column + "='" + base::sqlQuote(now) + "'" +
                                    " where " + column + "='" + base::sqlQuote(before) + "'";
            sessionConnection().Execute(sql);
            result = keepStatement(frm.Name(), sql, sZb, session().Dwbh, "", "");
            break;
        }
    }
    return result;
}

std::string clsForm::sCheckDelSql(Form& frm, std::string& sZb, const std::vector<std::string>& sData,
                                  const std::vector<std::string>& /*sFieldType*/) {
    const ResultTable rows = registryRows(sZb);
    if (rows.rowCount() == 0) return "";
    const std::vector<FormBox> boxes = formBoxes(frm);
    for (std::size_t r = 0; r < rows.rowCount(); ++r) {
        const std::string masterColumn = cell(rows, r, "主表字段");
        for (const FormBox& b : boxes) {
            if (columnName(b.labelTag) != masterColumn) continue;
            const std::string table = cell(rows, r, "附表");
            const std::string column = cell(rows, r, "附表字段");
            if (!database::fieldValue(table, column, column, element(sData, b.index), "", "", "", "", "", "",
                                      "", "")
                     .empty()) {
                return table + " 表中用到了字段 " + masterColumn + " 的值，不能删除！";
            }
            break;
        }
    }
    return "";
}

}  // namespace Palvo
