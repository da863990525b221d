#include "src/forms/statements.h"

#include <cctype>

#include "palvo/clsForm.h"
#include "src/base/conversions.h"
#include "src/forms/field_props.h"
#include "src/grid/grid_utils.h"

namespace Palvo::forms {

namespace {

std::string quoted(const std::string& v, Quoting q) { return q == Quoting::Sql ? base::sqlQuote(v) : v; }

// A type code no column has: its value would be lost without a word.
Error unknownType(const std::string& type, const std::string& column) {
    return Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the field type code '" +
                                               type + "' of column " + column + " is none of 1, 2, 3 and 4");
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Whether a key value differs from the loaded one. Dates compare by day; a text
// that is not a date on either side compares as text instead of failing.
bool keyChanged(const std::string& type, const std::string& text, const std::string& loaded) {
    if (type == kNumberField) return text != loaded;
    if (type == kDateField) {
        const auto a = base::parseDate(base::trim(text));
        const auto b = base::parseDate(base::trim(loaded));
        if (a && b) return base::daySerial(*a) != base::daySerial(*b);
        return base::trim(text) != base::trim(loaded);
    }
    if (type == kImageField) return false;
    return base::trim(loaded) != base::trim(text);
}

// The date of an INSERT value list: YYYY-MM-DD, or the text itself when it is no date.
std::string insertDate(const std::string& text) {
    const auto d = base::parseDate(text);
    return d ? base::formatDate(*d, "YYYY-MM-DD") : text;
}

}  // namespace

std::string keyCondition(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                         const std::string& sKey, const std::vector<std::string>& sData, Quoting quoting) {
    const std::vector<int> keys = indexList(sKey);
    auto& txt = frm.TXT();
    auto& lbl = frm.lbl();
    bool changed = false;
    if (X == "修改") {
        for (int k : keys) {
            if (keyChanged(element(sFieldType, k), txt(k).Text(), element(sData, k))) changed = true;
        }
    }
    std::string condition;
    for (int k : keys) {
        const std::string c = columnName(lbl(k).Tag());
        const std::string text = txt(k).Text();
        if (text.empty()) return "";
        std::string v;
        if (X == "新增" || X == "修改") {
            v = text;
        } else if (X == "修改保存") {
            v = element(sData, k);
        } else {
            continue;
        }
        if (element(sFieldType, k) == kNumberField) {
            // the number read from the text, also for the user: nothing after it was searched for
            condition += c + "=" + base::sqlNumber(v) + " " + " and ";
        } else {
            condition += c + "='" + quoted(v, quoting) + "' " + " and ";
        }
    }
    if (condition.size() < 4) {
        throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the key list '" + sKey +
                                                  "' gives no key condition in mode '" + X + "'");
    }
    condition.resize(condition.size() - 4);
    if (X == "修改" && !changed) return "1<>1";
    return condition;
}

std::string keyCondition(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                         const std::string& sKey, const std::vector<std::string>& sData) {
    return keyCondition(frm, X, sFieldType, sKey, sData, Quoting::Sql);
}

std::string insertText(Form& frm, const std::vector<std::string>& sFieldType,
                       const std::string& Field_or_Value) {
    auto& txt = frm.TXT();
    auto& lbl = frm.lbl();
    std::string fields;
    std::string values;
    const int count = txt.Count();
    for (int i = 0; i < count; ++i) {
        const std::string tag = lbl(i).Tag();
        if (tagCode(tag) == "0") continue;
        const std::string& type = element(sFieldType, i);
        const std::string text = base::trim(txt(i).Text());
        // an image gives no value and stays out of both lists; an empty number is 0, as an update writes it
        if (type == kTextField) {
            values += ",'" + base::sqlQuote(text) + "'";
        } else if (type == kNumberField) {
            values += "," + base::sqlNumber(text);
        } else if (type == kDateField) {
            values += ",'" + base::sqlQuote(insertDate(text)) + "'";
        } else if (type == kImageField) {
            continue;
        } else {
            throw unknownType(type, columnName(tag));
        }
        fields += ',';
        fields += columnName(tag);
    }
    const std::string which = upper(Field_or_Value);
    if (which == "FIELD") return fields.empty() ? fields : fields.substr(1);
    if (which == "VALUE") return values.empty() ? values : values.substr(1);
    return "";
}

}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

std::string clsForm::sGetKeyWord(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                                 bool /*bKeyEdit*/, const std::string& sKey,
                                 const std::vector<std::string>& sData) {
    return forms::keyCondition(frm, X, sFieldType, sKey, sData);
}

std::string clsForm::sGetKeyfromFlxRow(Form& frm, FlexGrid& Grid, const std::vector<std::string>& sftype,
                                       const std::string& sKey) {
    auto& lbl = frm.lbl();
    std::string condition;
    for (int k : indexList(sKey)) {
        const std::string c = base::trim(columnName(lbl(k).Tag()));
        // the row taken whole: a grid may hold more rows than 16 bits count
        const std::string v = grid::columnValue(Grid, Grid.Row(), c);
        const std::string& type = element(sftype, k);
        if (type == kTextField) {
            condition += c + "='" + base::sqlQuote(v) + "' and ";
        } else if (type == kNumberField) {
            condition += c + "=" + base::sqlNumber(v) + " and ";
        } else if (type == kDateField) {
            condition += "datediff(d," + c + ",'" + base::sqlQuote(v) + "')=0 and ";
        } else if (type != kImageField) {
            // a key column left out would widen the condition to other rows
            throw unknownType(type, c);
        }
    }
    if (!condition.empty()) condition.resize(condition.size() - 5);
    return condition;
}

void clsForm::mAddNew(Form& frm) {
    int ubound = -1;
    try {
        ubound = frm.TXT().UBound();
    } catch (const std::exception&) {
        return;
    }
    auto& txt = frm.TXT();
    ControlArray<Label>* lbl = nullptr;
    try {
        lbl = &frm.lbl();
    } catch (const std::exception&) {
    }
    int f = 0;
    for (int i = 0; i <= ubound; ++i) {
        bool readOnly = false;
        try {
            if (lbl) readOnly = tagCode((*lbl)(i).Tag()) == "0";
        } catch (const std::exception&) {
        }
        if (readOnly) f = i + 1;
        try {
            txt(i).Enabled(!readOnly);
        } catch (const std::exception&) {
        }
        try {
            if (lbl) (*lbl)(i).Enabled(!readOnly);
        } catch (const std::exception&) {
        }
        try {
            txt(i).Text("");
        } catch (const std::exception&) {
        }
    }
    try {
        txt(f).SetFocus();
    } catch (const std::exception&) {
    }
}

std::string clsForm::sGetAddNewStr(Form& frm, const std::vector<std::string>& sFieldType,
                                   const std::string& Field_or_Value) {
    return forms::insertText(frm, sFieldType, Field_or_Value);
}

std::string clsForm::sGetUpdateStr(Form& frm, const std::vector<std::string>& sData,
                                   const std::vector<std::string>& sFieldType) {
    auto& txt = frm.TXT();
    auto& lbl = frm.lbl();
    std::string set;
    const int count = txt.Count();
    for (int i = 0; i < count; ++i) {
        const std::string text = base::trim(txt(i).Text());
        if (text == element(sData, i)) continue;
        const std::string tag = lbl(i).Tag();
        if (tagCode(tag) == "0") continue;
        const std::string& type = element(sFieldType, i);
        if (type == kTextField || type == kDateField) {
            set += ',';
            set += columnName(tag) + "='" + base::sqlQuote(text) + "'";
        } else if (type == kNumberField) {
            set += ',';
            set += columnName(tag) + "=" + base::sqlNumber(text);
        } else if (type != kImageField) {
            throw unknownType(type, columnName(tag));
        }
    }
    return set;
}

}  // namespace Palvo
