#include "palvo/error.h"
#include "palvo/memory/controls.h"

namespace Palvo::memory {

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void keyTaken() { throw Error(35602, "Key is not unique in collection"); }
}  // namespace

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
