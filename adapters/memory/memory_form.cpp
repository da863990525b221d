#include <algorithm>
#include <fstream>
#include <set>

#include "memory_files.h"
#include "palvo/error.h"
#include "palvo/memory/form.h"

namespace Palvo::memory {

void detail::requireReadable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in) throw Error(FormError::FileNotFound, "File not found: " + path);
}

using detail::requireReadable;

void Label::MouseIcon(const std::string& path) {
    requireReadable(path);
    mouseIcon_ = path;
}

// A text box of the form's TXT array: taking the focus takes it from the box that had it.
class Form::FieldBox : public TextBox {
public:
    FieldBox(Form& form, int index, const std::string& text) : TextBox("TXT", text), form_(form) {
        Index(index);
    }
    void SetFocus() override {
        TextBox::SetFocus();
        if (form_.focused_ && form_.focused_ != this) form_.focused_->blur();
        form_.focused_ = this;
    }

private:
    Form& form_;
};

Form::Form(std::string name, const std::vector<FieldDef>& fields) : name_(std::move(name)) {
    for (const auto& f : fields) addField(f);
}

Form::~Form() = default;

void Form::Icon(const std::string& path) {
    requireReadable(path);
    icon_ = path;
}

TextBox& Form::addField(const FieldDef& field) {
    const int index = std::max(txt_.UBound(), lbl_.UBound()) + 1;
    auto label = std::make_unique<Label>("lbl", index);
    label->Tag(field.labelTag);
    auto box = std::make_unique<FieldBox>(*this, index, field.text);
    box->Tag(field.textTag);
    TextBox& result = *box;
    lbl_.members_[index] = std::move(label);
    txt_.members_[index] = std::move(box);
    return result;
}

Control& Form::add(std::unique_ptr<Control> control) {
    others_.push_back(std::move(control));
    return *others_.back();
}

void Form::removeLabel(int index) { lbl_.members_.erase(index); }

void Form::removeTextBox(int index) {
    auto it = txt_.members_.find(index);
    if (it == txt_.members_.end()) return;
    if (focused_ == it->second.get()) focused_ = nullptr;
    txt_.members_.erase(it);
}

std::vector<Control*> Form::Controls() {
    std::set<int> indexes;
    for (const auto& [i, _] : lbl_.members_) indexes.insert(i);
    for (const auto& [i, _] : txt_.members_) indexes.insert(i);
    std::vector<Control*> out;
    out.reserve(lbl_.members_.size() + txt_.members_.size() + others_.size());
    for (int i : indexes) {
        if (auto it = lbl_.members_.find(i); it != lbl_.members_.end()) out.push_back(it->second.get());
        if (auto it = txt_.members_.find(i); it != txt_.members_.end()) out.push_back(it->second.get());
    }
    for (const auto& c : others_) out.push_back(c.get());
    return out;
}

}  // namespace Palvo::memory
