#include <algorithm>
#include <vector>

#include "palvo/error.h"
#include "palvo/memory/msgbox.h"

namespace Palvo::memory {

int ScriptedMessageBox::show(const std::string& text, int style, const std::string& title) {
    shown_.push_back(ShownMessage{text, style, title});
    const std::vector<int> buttons = msgBoxButtons(style);
    if (script_.empty()) return buttons.front();
    int answer = script_.front();
    script_.pop_front();
    if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
        throw Error(ErrorNumber::InvalidCall, "The scripted answer " + std::to_string(answer) +
                                                  " is not a button of the message \"" + text + "\"");
    }
    return answer;
}

const ShownMessage& ScriptedMessageBox::last() const {
    if (shown_.empty()) throw Error(ErrorNumber::SubscriptOutOfRange, "No message was shown");
    return shown_.back();
}

}  // namespace Palvo::memory
