// frmFind: the condition finder. The user picks a column, a comparison and a
// value and adds conditions as rows; confirming returns them as a WHERE clause.
#pragma once

#include <string>
#include <vector>

#include "palvo/window.h"

namespace Palvo::query {

class frmFind : public Window {
public:
    const WindowLayout& layout() const override;
    void Load() override;
    void Activate() override;
    void Unload(UnloadMode mode) override;
    void Click(const std::string& control) override;
    void GotFocus(const std::string& control) override;
    bool KeyPress(const std::string& control, WindowKey key) override;
    void Change(const std::string& control) override;

    // Handed in by sFindStr and cleared when the window unloads.
    std::string sReceive;  // the table
    std::string sRqBjFs;   // the datepart of DATEDIFF for date columns
    // Handed back: "" (cancelled), " where '1'='1' " or " where (" ... ")".
    std::string result;

private:
    void loadColumns();
    void chooseColumn();
    void addRow();
    void deleteRow();
    void confirm();
    void focusValue(bool clear);
    void warn(const std::string& text);
    void filterValues();
    void takeFirstMatch();
    void showValues(std::vector<std::string> values);

    // The chosen column's master values: the statement that lists them all, the
    // list as loaded, and all of them once a pinyin filter needed them.
    std::string masterSql_;
    std::vector<std::string> masterList_;
    std::vector<std::string> masterAll_;
    bool masterAllRead_ = false;
    bool filtered_ = false;
};

/// The calling thread's condition finder.
frmFind& findWindow();

}  // namespace Palvo::query
