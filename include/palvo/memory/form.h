// A headless entry form: text boxes TXT and labels lbl built from a compact
// description, for tests and batch hosts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/form.h"
#include "palvo/memory/controls.h"

namespace Palvo::memory {

/// One field of an entry form: the label's tag (tag code digit and column
/// name, "2名称"), the text box's tag (lookup source "table,column", or "")
/// and the text the box starts with.
struct PALVO_API FieldDef {
    std::string labelTag;
    std::string textTag;
    std::string text;
};

class Form;

/// A control array kept in memory; members may be removed to describe a
/// broken form.
template <class Port, class Member>
class PALVO_API MemoryArray : public Palvo::ControlArray<Port> {
public:
    int Count() const override { return static_cast<int>(members_.size()); }
    int UBound() const override { return members_.empty() ? -1 : members_.rbegin()->first; }
    Port& operator()(int index) override { return at(index); }
    /// The member at index. Throws Palvo::Error 340 when there is none.
    Member& at(int index) {
        auto it = members_.find(index);
        if (it == members_.end()) {
            throw Error(FormError::NoArrayElement,
                        "Control array element '" + std::to_string(index) + "' doesn't exist");
        }
        return *it->second;
    }
    bool contains(int index) const { return members_.count(index) != 0; }

private:
    friend class Form;
    std::map<int, std::unique_ptr<Member>> members_;
};

/// An entry form. Field i adds lbl(i) and TXT(i); Controls() walks, in this
/// fixed order, lbl(0), TXT(0), lbl(1), TXT(1), ... and then the controls
/// added with add(). Only one text box has the focus at a time.
class PALVO_API Form : public Palvo::Form {
public:
    explicit Form(std::string name = "Form1", const std::vector<FieldDef>& fields = {});
    ~Form() override;

    std::string Name() const override { return name_; }
    std::int32_t BackColor() const override { return backColor_; }
    void BackColor(std::int32_t color) override { backColor_ = color; }
    std::int32_t ForeColor() const override { return foreColor_; }
    void ForeColor(std::int32_t color) override { foreColor_ = color; }
    std::string Icon() const override { return icon_; }
    /// Throws Palvo::Error 53 when the file cannot be read.
    void Icon(const std::string& path) override;
    Palvo::ControlArray<Palvo::TextBox>& TXT() override { return txt_; }
    Palvo::ControlArray<Palvo::Label>& lbl() override { return lbl_; }
    std::vector<Control*> Controls() override;

    // ---- building
    /// Appends a field with the next index; returns its text box.
    TextBox& addField(const FieldDef& field);
    /// Appends any other control to the end of the Controls walk.
    Control& add(std::unique_ptr<Control> control);
    /// Takes lbl(index) or TXT(index) away, leaving a gap (a broken form).
    void removeLabel(int index);
    void removeTextBox(int index);

    // ---- reading back (Palvo::Error 340 for a missing index)
    TextBox& text(int index) { return txt_.at(index); }
    Label& label(int index) { return lbl_.at(index); }
    /// The control that has the focus; nullptr when none has.
    const Control* focused() const { return focused_; }

private:
    class FieldBox;
    friend class FieldBox;

    std::string name_;
    std::int32_t backColor_ = static_cast<std::int32_t>(0x8000000F);  // button face
    std::int32_t foreColor_ = static_cast<std::int32_t>(0x80000012);  // button text
    std::string icon_;
    MemoryArray<Palvo::TextBox, TextBox> txt_;
    MemoryArray<Palvo::Label, Label> lbl_;
    std::vector<std::unique_ptr<Control>> others_;
    TextBox* focused_ = nullptr;
};

}  // namespace Palvo::memory
