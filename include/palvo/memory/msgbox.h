// A headless message box: records every message and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/msgbox.h"
#include "palvo/window_script.h"

namespace Palvo::memory {

/// One message as it was shown.
struct PALVO_API ShownMessage {
    std::string text;
    int style = 0;
    std::string title;
    bool operator==(const ShownMessage&) const = default;
};

/// Records each message and answers with the next scripted answer; with the
/// script empty it presses the first button (OK, Yes, Abort or Retry).
class PALVO_API ScriptedMessageBox : public MessageBoxPort, public ScriptAnswers {
public:
    int show(const std::string& text, int style, const std::string& title) override;

    /// Queues the answer to a later message. show() throws Palvo::Error 5 when
    /// the queued answer is not one of the buttons of that message.
    void answer(int result) override { script_.push_back(result); }
    void answerYes() { answer(vbYes); }
    void answerNo() { answer(vbNo); }
    std::size_t pendingAnswers() const { return script_.size(); }

    const std::vector<ShownMessage>& messages() const { return shown_; }
    /// The last message; throws Palvo::Error 9 when none was shown.
    const ShownMessage& last() const;
    void clear() { shown_.clear(); }

private:
    std::vector<ShownMessage> shown_;
    std::deque<int> script_;
};

}  // namespace Palvo::memory
