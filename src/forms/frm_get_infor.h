// The lookup picker frmGetInfor behind clsForm::sPopWindow: a grid of the
// records of a master table (or of the host's query), a filter on one of its
// columns, and single choice or marking of several rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "palvo/data.h"
#include "palvo/window.h"

namespace Palvo::forms {

/// The statement that lists the picker's records under condition w: the master
/// table's distinct rows (at most selectTop of them unless it is 0), or the
/// host's query with w joined in upper case (before its ORDER BY, on the
/// expression behind an alias).
std::string pickerStatement(const std::string& table, const std::string& sSqlString, const std::string& w,
                            std::int32_t selectTop);

/// The filter of the text typed into the picker: column LIKE '%text%' with the
/// text's quotes doubled, and " and " strWhere when there is one.
std::string typedFilter(const std::string& column, const std::string& typed, const std::string& strWhere);

class frmGetInfor : public Window {
public:
    const WindowLayout& layout() const override;

    void Load() override;
    void Activate() override;
    void Unload(UnloadMode mode) override;
    void Click(const std::string& control) override;
    void DblClick(const std::string& control) override;
    bool KeyDown(WindowKey key) override;
    bool KeyPress(const std::string& control, WindowKey key) override;

    // ---- handed in before the window is shown
    std::string Field;  // master table, a comma, return column
    std::string strWhere;
    std::string sFormat = "YYYY-MM-DD";
    std::string sSqlString;
    bool bMultiSel = false;  // reset when the window unloads

    // ---- handed back
    /// The chosen value, or the marked values each followed by a comma; "" on cancel.
    std::string result;

private:
    void fill(const std::string& w);
    void showFilled(const std::string& sql, const std::string& outcome);
    bool fillByPinyin(const std::string& column, const std::string& typed);
    void query();
    bool hasData() const;
    void choose();
    void move(int by);
    void mark();
    void showSelection();
    void setSelection(const std::string& list);

    std::string table_;
    std::string returnColumn_;
    int returnIndex_ = 0;
    bool moved_ = false;
    std::int32_t normalColor_ = 0;
};

/// The calling thread's picker, made on first use and reused.
frmGetInfor& getInforWindow();

}  // namespace Palvo::forms
