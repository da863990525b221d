#include "src/forms/frm_msg.h"

#include "palvo/clsForm.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/forms/field_props.h"

namespace Palvo::forms {

namespace {
constexpr const char* kNoError = "未知错误！";
constexpr const char* kNoDetails = "没有错误明细！";
constexpr const char* kFoldOutTip = "显示错误明细";
constexpr const char* kFoldInTip = "隐藏错误明细";

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmMsg";
    w.width = 6300;
    w.height = 4400;  // folded out; Load takes Text2's row away
    w.pictures = {"Image1", "Image2"};
    w.pictureLooks = {"down", "up"};  // fold out, fold in
    w.controls = {
        ControlDef("Text1", ControlKind::TextArea).at(0, 0).span(2, 1).sized(4800, 1400),
        // closes the window on Enter and Esc as well: there is nothing to confirm or cancel
        ControlDef("Command2", ControlKind::Button, "确定")
            .at(0, 1)
            .sized(1200, 420)
            .defaultButton()
            .cancelButton(),
        ControlDef("Command1", ControlKind::Button, "明细").at(1, 1).sized(1200, 420).tip(kFoldOutTip),
        ControlDef("Text2", ControlKind::TextArea).at(2, 0).span(1, 2).sized(6100, 2200).hidden(),
    };
    w.stretchRows = {0};
    w.stretchCols = {0};
    return w;
}

std::int32_t text2Height(const WindowLayout& layout) { return layout.find("Text2")->height; }
}  // namespace

const WindowLayout& frmMsg::layout() const {
    static const WindowLayout layout = makeLayout();
    return layout;
}

void frmMsg::Load() {
    loading_ = true;
    WindowFrame& f = frame();
    showFoldFace(1);
    f.Caption(session().sMsg);
    gap_ = 100;
    f.Height(f.Height() - (text2Height(layout()) + gap_));
    if (base::trim(sErr).empty()) sErr = kNoError;
    if (base::trim(sErrMx).empty()) sErrMx = kNoDetails;
    text("Text1").Text(sErr);
    text("Text1").Tag(sErr);
    text("Text2").Text(sErrMx);
    text("Text2").Tag(sErrMx);
    applyColors(f);
    loading_ = false;
}

void frmMsg::Activate() { frame().SetFocus("Command2"); }

void frmMsg::Click(const std::string& control) {
    if (control == "Command1") {
        fold();
    } else if (control == "Command2") {
        frame().Close();
    }
}

void frmMsg::Change(const std::string& control) {
    if (loading_ || (control != "Text1" && control != "Text2")) return;
    for (const char* name : {"Text1", "Text2"}) {
        TextBox& box = text(name);
        if (base::trim(box.Text()) != base::trim(box.Tag())) box.Text(box.Tag());
    }
}

void frmMsg::fold() {
    const int f = command1Tag_ == "-1" ? -1 : 1;
    WindowFrame& w = frame();
    w.Height(w.Height() + f * (gap_ + text2Height(layout())));
    showFoldFace(-f);
}

void frmMsg::showFoldFace(int state) {
    command1Tag_ = std::to_string(state);
    CommandButton& b = button("Command1");
    b.Picture(state == 1 ? "Image1" : "Image2");
    b.ToolTipText(state == 1 ? kFoldOutTip : kFoldInTip);
    text("Text2").Visible(state == -1);
}

frmMsg& frmMsgWindow() {
    thread_local frmMsg window;
    return window;
}

void showSubMsg(const std::string& sErr, const std::string& sErrMx) {
    if (const auto box = installedMessageBox(); box && box->takeMessageWindow(sErr, sErrMx)) return;
    frmMsg& w = frmMsgWindow();
    w.sErr = sErr;
    w.sErrMx = sErrMx;
    showModal(w);
}

}  // namespace Palvo::forms

namespace Palvo {

void clsForm::mSubMsg(const std::string& sErr, const std::string& sErrMx) { forms::showSubMsg(sErr, sErrMx); }

}  // namespace Palvo
