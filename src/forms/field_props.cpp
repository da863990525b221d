#include "src/forms/field_props.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>

#include "palvo/clsForm.h"
#include "palvo/data.h"
#include "palvo/session.h"
#include "src/base/conversions.h"

namespace Palvo::forms {

namespace {

constexpr std::int32_t colorMenu = static_cast<std::int32_t>(0x80000004);
constexpr std::int32_t colorWhite = 0xFFFFFF;
constexpr std::int32_t colorGridEmpty = 0xE0E0E0;
constexpr int pointerCustom = 99;

// The steps of the label and grid styling each stand alone: a failing one leaves the others done.
void ignoringErrors(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

std::string executableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace

// ---- conventions ----------------------------------------------------------

std::string tagCode(std::string_view labelTag) { return base::leftChars(labelTag, 1); }

std::string columnName(std::string_view labelTag) { return base::midChars(labelTag, 2); }

int tagNumber(std::string_view labelTag) {
    const std::string c = tagCode(labelTag);
    if (c.size() != 1 || c[0] < '0' || c[0] > '9') {
        throw Error(ErrorNumber::TypeMismatch, "Type mismatch: the label tag '" + std::string(labelTag) +
                                                   "' does not start with a tag code digit");
    }
    return c[0] - '0';
}

LookupSource lookupSource(std::string_view textTag) {
    const auto comma = textTag.find(',');
    if (comma == std::string_view::npos) {
        throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the text box tag '" +
                                                  std::string(textTag) +
                                                  "' names no lookup source (table,column)");
    }
    return {std::string(textTag.substr(0, comma)), std::string(textTag.substr(comma + 1))};
}

std::vector<int> indexList(std::string_view list) {
    std::vector<int> out;
    std::size_t start = 0;
    for (auto comma = list.find(','); comma != std::string_view::npos; comma = list.find(',', start)) {
        out.push_back(base::toInt16(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return out;
}

// The pattern "*" i ",*" holds no wildcard but the stars: a plain search is the same test.
bool exempt(std::string_view notCheck, int i) {
    if (notCheck.empty()) return false;
    std::string digits = std::to_string(i);
    digits += ',';
    return notCheck.find(digits) != std::string_view::npos;
}

std::string fieldTypeCode(int adoType) {
    if (isNumericType(adoType)) return std::string(kNumberField);
    switch (adoType) {
        case adDBTimeStamp:
            return std::string(kDateField);
        case adLongVarBinary:
            return std::string(kImageField);
        default:
            return std::string(kTextField);
    }
}

void selectAndFocus(TextBox& box) {
    box.SelStart(0);
    box.SelLength(static_cast<int>(base::charCount(box.Text())));
    if (box.Enabled()) box.SetFocus();
}

// ---- files beside the library --------------------------------------------

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) != 0 && info.dli_fname != nullptr) {
        const std::filesystem::path file(info.dli_fname);
        // linked into a shared object: its folder; linked statically, dladdr names
        // the program as it was started, so ask the kernel for its real path
        const std::string name = file.filename().string();
        if (file.is_absolute() && (name.ends_with(".so") || name.find(".so.") != std::string::npos)) {
            return file.parent_path().string();
        }
    }
    return executableFolder();
}

std::string cursorFile() { return libraryFolder() + "/Main_icon/cursor1.cur"; }

// ---- the look ---------------------------------------------------------------

void applyColors(Form& f) {
    const SessionContext& s = session();
    f.BackColor(s.lF_BackColor);
    f.ForeColor(s.lF_ForColor);
    if (!s.sIconPath.empty()) f.Icon(s.sIconPath);
    const auto controls = f.Controls();
    for (Control* c : controls) {
        if (c->typeName() != "TextBox") continue;
        auto& box = dynamic_cast<TextBox&>(*c);
        box.Appearance(s.lT_Appearence);
        box.FontSize(static_cast<float>(s.lT_FontSize));
        box.FontBold(s.bT_FontBold);
        box.ForeColor(s.lT_ForeColor);
    }
    for (Control* c : controls) {
        if (c->typeName() != "Label") continue;
        auto& label = dynamic_cast<Label&>(*c);
        label.AutoSize(true);
        label.FontSize(static_cast<float>(s.lL_FontSize));
        label.FontBold(s.bL_FontBold);
        label.ForeColor(s.lL_ForeColor);
    }
}

void lockBox(TextBox& TXT) {
    TXT.Enabled(false);
    TXT.BackColor(colorMenu);
}

void setEditable(TextBox& TXT, bool can_edit) {
    if (can_edit) {
        TXT.Enabled(true);
        TXT.BackColor(colorWhite);
        return;
    }
    TXT.Text("");
    TXT.Enabled(true);
    TXT.BackColor(session().lT_BackColor_Notnull);
}

void makeSelectable(Label& lbl) {
    ignoringErrors([&] { lbl.ForeColor(session().lL_forColor_Select); });
    ignoringErrors([&] { lbl.FontUnderline(true); });
    ignoringErrors([&] { lbl.MousePointer(pointerCustom); });
    // without the cursor file the label keeps pointer 99 and no icon: the default pointer
    ignoringErrors([&] { lbl.MouseIcon(cursorFile()); });
}

void formatGrid(FlexGrid& flx) {
    ignoringErrors([&] { flx.BackColorBkg(colorGridEmpty); });
    ignoringErrors([&] { flx.SelectionMode(0); });
    ignoringErrors([&] { flx.AllowUserResizing(3); });
    ignoringErrors([&] { flx.HighLight(1); });
    ignoringErrors([&] { flx.ScrollBars(3); });
    ignoringErrors([&] { flx.FocusRect(0); });
    ignoringErrors([&] { flx.WordWrap(true); });
    ignoringErrors([&] { flx.RowSizingMode(0); });
}

// ---- preparing an entry form ------------------------------------------------

}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

void clsForm::mSetColor(Form& f) { forms::applyColors(f); }

void clsForm::mCannot_edit(TextBox& TXT) { forms::lockBox(TXT); }

void clsForm::mTxt_Editable(TextBox& TXT, bool can_edit) { forms::setEditable(TXT, can_edit); }

void clsForm::mCanSelect(Label& lbl) { forms::makeSelectable(lbl); }

void clsForm::mFormatGrid(FlexGrid& flx) { forms::formatGrid(flx); }

std::string clsForm::sInitForm(Form& frm) {
    try {
        applyColors(frm);
        auto& txt = frm.TXT();
        auto& lbl = frm.lbl();
        const int count = txt.Count();
        for (int i = 0; i < count; ++i) {
            const std::string c = tagCode(lbl(i).Tag());
            if (c == "1" || c == "3") {
                makeSelectable(lbl(i));
                lbl(i).Enabled(false);
            }
            if (c == "0") lockBox(txt(i));
            if (c == "1" || c == "2") txt(i).BackColor(session().lT_BackColor_Notnull);
            txt(i).Enabled(false);
        }
        return "";
    } catch (const std::exception& e) {
        return std::string("InitForm:") + e.what();
    }
}

std::string clsForm::sInitFieldProp(Form& frm, const std::string& tbname,
                                    std::vector<std::string>& sFieldType,
                                    std::vector<std::int16_t>& iFieldlen,
                                    std::vector<std::int16_t>& iNumScale) {
    try {
        Recordset rs;
        rs.CursorLocation(adUseClient);
        rs.Open("select top 0 * from " + tbname, sessionConnection());
        auto& txt = frm.TXT();
        auto& lbl = frm.lbl();
        const int ubound = txt.UBound();
        const auto size = static_cast<std::size_t>(ubound + 1);
        sFieldType.assign(size, std::string());
        iFieldlen.assign(size, 0);
        iNumScale.assign(size, 0);
        for (int i = 0; i <= ubound; ++i) {
            const Field field = rs.Fields(columnName(lbl(i).Tag()));
            const auto k = static_cast<std::size_t>(i);
            const std::string code = fieldTypeCode(field.Type());
            sFieldType[k] = code;
            if (code == kNumberField) {
                iFieldlen[k] = static_cast<std::int16_t>(std::min(field.Precision(), 15));
                // 255 is "no scale" (integers, floats)
                const int scale = field.NumericScale();
                iNumScale[k] = static_cast<std::int16_t>(scale < 0 || scale >= 255 ? 0 : scale);
            } else if (code != kImageField) {
                // text and ntext sizes do not fit the 16-bit length: they get the largest it holds
                iFieldlen[k] = static_cast<std::int16_t>(std::clamp<long>(field.DefinedSize(), 0, SHRT_MAX));
            }
        }
        rs.Close();
        return "";
    } catch (const std::exception& e) {
        return std::string("InitFieldProp:") + e.what();
    }
}

}  // namespace Palvo
