// A small picker for a lookup column: the rows of the master table in a grid;
// double click or 确定 returns the master column of the chosen row.
#pragma once

#include <string>

class QWidget;

namespace Palvo::demo {

class LookupDialog {
public:
    /// source is "master table,master column" (a text box's lookup source).
    /// Returns the chosen value, or "" when the user cancels.
    static std::string pick(QWidget* parent, const std::string& source, const std::string& title);
};

}  // namespace Palvo::demo
