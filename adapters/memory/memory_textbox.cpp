#include <algorithm>

#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/text.h"

namespace Palvo::memory {

namespace {
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }
}  // namespace

int TextBox::length() const { return static_cast<int>(util::charCount(text_)); }

void TextBox::Text(const std::string& text) {
    text_ = text;
    selStart_ = 0;
    selLength_ = 0;
}

void TextBox::SelStart(int start) {
    if (start < 0) badValue();
    selStart_ = std::min(start, length());
    selLength_ = 0;
}

void TextBox::SelLength(int length) {
    if (length < 0) badValue();
    selLength_ = std::min(length, this->length() - selStart_);
}

void TextBox::SetFocus() {
    if (!enabled_) throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    focused_ = true;
}

void TextBox::MaxLength(int length) {
    if (length < 0) badValue();
    maxLength_ = length;
}

std::string TextBox::SelText() const {
    return util::midChars(text_, static_cast<std::size_t>(selStart_) + 1,
                          static_cast<std::size_t>(selLength_));
}

}  // namespace Palvo::memory
