#include "src/forms/validation.h"

#include "palvo/clsForm.h"
#include "palvo/data.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/field_helpers.h"
#include "src/forms/field_props.h"
#include "src/forms/statements.h"
#include "src/util/keyfilters.h"

namespace Palvo::forms {

namespace {

constexpr const char* msgTooLong = "此处文本超出数据库中字段长度！";
constexpr const char* msgRequired = "此处不能为空，请填入文本！";
constexpr const char* msgNumber = "请填入数值！";
constexpr const char* msgDate = "日期格式错误,正确格式为 1900-01-01 ！";
constexpr const char* msgTakenModify = "的记录已经存在，不能重复！";
constexpr const char* msgTakenNew = "的记录已经存在，不能重复添加！";

// Whether "select top 1 * from tbname where condition" finds a record.
bool exists(const std::string& tbname, const std::string& condition) {
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open("select top 1 * from " + tbname + " where " + condition, sessionConnection());
    const bool found = rs.RecordCount() != 0;
    rs.Close();
    return found;
}

// The condition on one column that must be unique by itself, for SQL or for the user.
std::string columnCondition(const std::string& column, const std::string& type, const std::string& text,
                            Quoting quoting) {
    if (type == kNumberField) return column + "=" + base::sqlNumber(text);
    return column + "='" + (quoting == Quoting::Sql ? base::sqlQuote(text) : text) + "'";
}

// Stage 1: the checks of one text box; "" when it passes.
std::string checkBox(ControlArray<TextBox>& txt, ControlArray<Label>& lbl, int i, const std::string& t,
                     std::int16_t length, const std::string& NotCheck) {
    TextBox& box = txt(i);
    const std::string labelTag = lbl(i).Tag();
    const std::string c = tagCode(labelTag);
    const std::string s = box.Text();

    if (t != kDateField && base::gbkLength(s) > length) {
        selectAndFocus(box);
        return msgTooLong;
    }
    if (!box.Enabled() || exempt(NotCheck, i)) return "";

    const bool filled = !base::trim(s).empty();
    if (t == kTextField || t == kNumberField || t == kDateField) {
        const int code = tagNumber(labelTag);
        const bool applies = code == 1 || code == 2 || ((code == 3 || code == 4) && filled);
        if (applies && t == kNumberField && !base::isNumeric(s)) {
            selectAndFocus(box);
            return msgNumber;
        }
        if (applies && t == kDateField && !util::isDayBox(box)) {
            selectAndFocus(box);
            return msgDate;
        }
        if (applies && t == kTextField && (!filled || s.front() == '\r')) {
            box.SetFocus();
            return msgRequired;
        }
    }
    if (c == "1" || (c == "3" && filled)) {
        const LookupSource source = lookupSource(box.Tag());
        const std::string found = database::fieldValue(source.table, source.column, source.column,
                                                       base::trim(s), "", "", "", "", "", "", "", "");
        if (found.empty()) {
            selectAndFocus(box);
            return "字段 " + columnName(labelTag) + " 的值在基础表中不存在！";
        }
    }
    return "";
}

// Stage 2, the key of several columns: "" when it is free.
std::string checkKey(Form& frm, const std::string& mode, const std::vector<std::string>& sFieldType,
                     const std::string& sKey, const std::string& tbname,
                     const std::vector<std::string>& sData) {
    const std::string condition = keyCondition(frm, mode, sFieldType, sKey, sData, Quoting::Sql);
    if (condition.empty()) return "";
    if (!exists(tbname, condition)) return "";
    const std::vector<int> keys = indexList(sKey);
    selectAndFocus(frm.TXT()(keys.front()));
    return conditionForUser(keyCondition(frm, mode, sFieldType, sKey, sData, Quoting::AsTyped)) + msgTakenNew;
}

}  // namespace

std::string conditionForUser(const std::string& condition) {
    std::string out;
    out.reserve(condition.size());
    for (std::size_t p = 0; p < condition.size();) {
        if (condition.compare(p, 3, "and") == 0) {
            out += "并且";
            p += 3;
        } else {
            out += condition[p++];
        }
    }
    return out;
}

}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

std::string clsForm::sCheckData(Form& frm, const std::vector<std::string>& sFieldType,
                                const std::vector<std::int16_t>& iFieldlen, const std::string& sKey,
                                const std::string& sIndex, const std::string& tbname,
                                const std::vector<std::string>& sData, bool bKeyEdit,
                                const std::string& NotCheck, bool bNewSave) {
    // The arrays are looked up once: on a real form each lookup walks the form's controls.
    auto& txt = frm.TXT();
    auto& lbl = frm.lbl();
    const int ubound = txt.UBound();
    for (int i = 0; i <= ubound; ++i) {
        std::string message = checkBox(txt, lbl, i, element(sFieldType, i), element(iFieldlen, i), NotCheck);
        if (!message.empty()) return message;
    }

    for (int k : indexList(sIndex)) {
        const std::string text = txt(k).Text();
        if (!bNewSave && base::trim(text) == element(sData, k)) continue;
        const std::string column = columnName(lbl(k).Tag());
        const std::string& type = element(sFieldType, k);
        // an empty number has no value to be taken by another record
        if (type == kNumberField && base::trim(text).empty()) continue;
        if (!exists(tbname, columnCondition(column, type, text, Quoting::Sql))) continue;
        selectAndFocus(txt(k));
        return conditionForUser(columnCondition(column, type, text, Quoting::AsTyped)) +
               (bNewSave ? msgTakenNew : msgTakenModify);
    }
    if (bNewSave) return checkKey(frm, "新增", sFieldType, sKey, tbname, sData);
    if (!bKeyEdit) return "";
    return checkKey(frm, "修改", sFieldType, sKey, tbname, sData);
}

std::int16_t clsForm::iReturnKeyAsc(Form& frm, std::int16_t iIndex, std::int16_t KeyAscii,
                                    const std::vector<std::string>& sFieldType,
                                    const std::vector<std::int16_t>& iFieldlen,
                                    const std::vector<std::int16_t>& iNumScale) {
    const std::string& t = element(sFieldType, iIndex);
    if (t == kTextField)
        return util::filterLengthKey(frm.TXT()(iIndex), element(iFieldlen, iIndex), KeyAscii);
    if (t == kNumberField) {
        const auto scale = element(iNumScale, iIndex);
        const auto lenInt = static_cast<std::int16_t>(element(iFieldlen, iIndex) - scale - 2);
        return util::filterNumberKey(KeyAscii, frm.TXT()(iIndex), lenInt, scale);
    }
    if (t == kDateField) return util::filterDateKey(frm.TXT()(iIndex), KeyAscii);
    return 0;
}

}  // namespace Palvo
