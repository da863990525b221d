// `palvo call`: one control-free library method, called by name as an
// automation client would, on a session set up from the options.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "palvo/msgbox.h"

namespace Palvo::cli {

/// A message box for a terminal: prints "[TITLE] TEXT" on a stream and
/// answers with the box's default button, as pressing Enter would.
class PrintingMessageBox : public MessageBoxPort {
public:
    explicit PrintingMessageBox(std::ostream& out) : out_(out) {}
    int show(const std::string& text, int style, const std::string& title) override;

private:
    std::ostream& out_;
};

/// `palvo call [--db FILE | --odbc CONNECTION] [--unit CODE] [--user NAME] CLASS.METHOD [ARG...]`
/// (args[0] is "call"). Prints the result, then NAME=VALUE for each by-reference
/// argument the method changed; a raised failure prints "error NUMBER: DESCRIPTION"
/// on err and gives 1; a usage error gives 2.
int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
