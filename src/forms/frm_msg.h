// The message window frmMsg: a short error text and a detail text the user
// can fold out; both texts can be selected and copied but not edited.
#pragma once

#include <string>

#include "palvo/window.h"

namespace Palvo::forms {

class frmMsg : public Window {
public:
    const WindowLayout& layout() const override;
    void Load() override;
    void Activate() override;
    void Click(const std::string& control) override;
    void Change(const std::string& control) override;

    // ---- handed in before the window is shown
    std::string sErr;
    std::string sErrMx;

    /// Command1's Tag: "1" while folded in, "-1" while folded out.
    const std::string& command1Tag() const { return command1Tag_; }

private:
    void fold();
    void showFoldFace(int state);

    bool loading_ = false;
    int gap_ = 100;  // twips between the two texts
    std::string command1Tag_ = "1";
};

/// The calling thread's message window.
frmMsg& frmMsgWindow();

/// Shows sErr with the details sErrMx in the thread's message window and
/// returns when it closes. Throws Palvo::Error 429 when no window host is installed.
void showSubMsg(const std::string& sErr, const std::string& sErrMx);

}  // namespace Palvo::forms
