// `palvo call`: one control-free library method, called by name as an
// automation client would, on a session set up from the options.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "palvo/memory/msgbox.h"
#include "palvo/window_script.h"

namespace Palvo::cli {

/// Whether the library's message window (clsForm.mSubMsg) opens as a window,
/// which a window script can play, or prints as a message.
enum class MessageWindows { Show, Print };

/// A message box for a terminal: prints "[TITLE] TEXT" on a stream and
/// answers with the next `answer` of the window script when one is due (queued
/// by the window host, or the next line of the script), else with the box's
/// default button, as pressing Enter would. With MessageWindows::Print the
/// message window's text prints the same way, titled as the session's messages.
class PrintingMessageBox : public memory::ScriptedMessageBox {
public:
    explicit PrintingMessageBox(std::ostream& out, std::shared_ptr<WindowScript> script = nullptr,
                                MessageWindows windows = MessageWindows::Show)
        : out_(out), script_(std::move(script)), windows_(windows) {}
    int show(const std::string& text, int style, const std::string& title) override;
    bool takeMessageWindow(const std::string& text, const std::string& details) override;

    /// The messages printed so far, message windows included.
    std::size_t printed() const { return printed_; }

private:
    void print(const std::string& title, const std::string& text);

    std::ostream& out_;
    std::shared_ptr<WindowScript> script_;
    MessageWindows windows_;
    std::size_t printed_ = 0;
};

/// `palvo call [--db DATABASE | --odbc CONNECTION] [--unit CODE] [--user NAME] [--script FILE]
/// CLASS.METHOD [ARG...]` (args[0] is "call"). Prints the result, then NAME=VALUE for each
/// by-reference argument the method changed; a raised failure prints "palvo: DESCRIPTION"
/// on err and gives 1; a usage error gives 2. The windows the method opens play the script on
/// the memory window host; without a script they close at once by their close box.
int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
