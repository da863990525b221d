#include <algorithm>

#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/text.h"

namespace Palvo::memory {

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void keyTaken() { throw Error(35602, "Key is not unique in collection"); }
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }
}  // namespace

void ListEntries::check(int index) const {
    if (index < 0 || index >= count()) badIndex();
}

void ListEntries::clear() {
    items_.clear();
    listIndex_ = -1;
}

void ListEntries::add(const std::string& item, int index) {
    if (index < 0) {
        items_.push_back(Entry{item});
        return;
    }
    if (index > count()) throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    items_.insert(items_.begin() + index, Entry{item});
    if (listIndex_ >= index) ++listIndex_;
}

void ListEntries::remove(int index) {
    if (index < 0 || index >= count())
        throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    items_.erase(items_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
}

const std::string& ListEntries::item(int index) const {
    check(index);
    return items_[static_cast<std::size_t>(index)].text;
}

std::int32_t ListEntries::data(int index) const {
    check(index);
    return items_[static_cast<std::size_t>(index)].data;
}

void ListEntries::data(int index, std::int32_t value) {
    check(index);
    items_[static_cast<std::size_t>(index)].data = value;
}

void ListEntries::listIndex(int index) {
    if (index < -1 || index >= count())
        throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value");
    listIndex_ = index;
}

bool ListEntries::selected(int index) const {
    check(index);
    return items_[static_cast<std::size_t>(index)].selected;
}

void ListEntries::selected(int index, bool value) {
    check(index);
    items_[static_cast<std::size_t>(index)].selected = value;
}

void ComboBox::Clear() {
    entries_.clear();
    text_.clear();
    selStart_ = selLength_ = 0;
}

void ComboBox::ListIndex(int index) {
    entries_.listIndex(index);
    text_ = index >= 0 ? entries_.item(index) : std::string();
    selStart_ = selLength_ = 0;
}

void ComboBox::SelStart(int start) {
    if (start < 0) badValue();
    selStart_ = std::min(start, static_cast<int>(util::charCount(text_)));
    selLength_ = 0;
}

void ComboBox::SelLength(int length) {
    if (length < 0) badValue();
    selLength_ = std::min(length, static_cast<int>(util::charCount(text_)) - selStart_);
}

void ComboBox::Text(const std::string& text) {
    text_ = text;
    selStart_ = selLength_ = 0;
    // Like a drop-down combo: a text equal to an entry selects it, any other clears the selection.
    for (int i = 0; i < entries_.count(); ++i) {
        if (entries_.item(i) == text) {
            entries_.listIndex(i);
            return;
        }
    }
    entries_.listIndex(-1);
}

std::string ListBox::Text() const {
    int i = entries_.listIndex();
    return i >= 0 ? entries_.item(i) : std::string();
}

std::string ListItem::SubItems(int j) const {
    if (j < 1) badIndex();
    auto it = sub_.find(j);
    return it == sub_.end() ? std::string() : it->second;
}

void ListItem::SubItems(int j, const std::string& text) {
    if (j < 1) badIndex();
    sub_[j] = text;
}

void ListView::ColumnHeadersAdd(int index, const std::string& key, const std::string& text) {
    if (index < 1 || index > ColumnHeadersCount() + 1) badIndex();
    for (const auto& h : headers_) {
        if (!key.empty() && h.key == key) keyTaken();
    }
    headers_.insert(headers_.begin() + (index - 1), Header{key, text});
}

std::string ListView::ColumnHeaderText(int index) const {
    if (index < 1 || index > ColumnHeadersCount()) badIndex();
    return headers_[static_cast<std::size_t>(index - 1)].text;
}

std::string ListView::ColumnHeaderKey(int index) const {
    if (index < 1 || index > ColumnHeadersCount()) badIndex();
    return headers_[static_cast<std::size_t>(index - 1)].key;
}

Palvo::ListItem& ListView::ListItemsAdd(int index, const std::string& key, const std::string& text) {
    if (index < 1 || index > ListItemsCount() + 1) badIndex();
    for (const auto& it : items_) {
        if (!key.empty() && it->Key() == key) keyTaken();
    }
    auto pos = items_.insert(items_.begin() + (index - 1), std::make_unique<ListItem>(key, text));
    return **pos;
}

Palvo::ListItem& ListView::ListItems(int index) {
    if (index < 1 || index > ListItemsCount()) badIndex();
    return *items_[static_cast<std::size_t>(index - 1)];
}

}  // namespace Palvo::memory
