#include "palvo/list_model.h"

#include <algorithm>
#include <utility>

#include "palvo/error.h"
#include "palvo/text.h"

namespace Palvo {

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void badCall() { throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument"); }
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }

int charsIn(const std::string& text) { return static_cast<int>(util::charCount(text)); }
}  // namespace

ListListener::~ListListener() = default;

// ---------------------------------------------------------------- the entries

template <class Port>
void ListModel<Port>::checkItem(int index) const {
    if (index < 0 || index >= ListCount()) badIndex();
}

template <class Port>
void ListModel<Port>::Clear() {
    if (listener_) listener_->beginReset();
    entries_.clear();
    listIndex_ = -1;
    if (listener_) listener_->endReset();
}

template <class Port>
void ListModel<Port>::AddItem(const std::string& item, int index) {
    if (index > ListCount()) badCall();
    const int at = index < 0 ? ListCount() : index;
    if (listener_) listener_->beginInsertItems(at, 1);
    entries_.insert(entries_.begin() + at, ListEntry{item});
    if (listIndex_ >= at) ++listIndex_;
    if (listener_) listener_->endInsertItems();
}

template <class Port>
void ListModel<Port>::AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData) {
    if (items.empty()) return;
    const int at = ListCount();
    if (listener_) listener_->beginInsertItems(at, static_cast<int>(items.size()));
    entries_.reserve(entries_.size() + items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        entries_.push_back(ListEntry{std::move(items[i]), i < itemData.size() ? itemData[i] : 0});
    }
    if (listener_) listener_->endInsertItems();
}

template <class Port>
void ListModel<Port>::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) badCall();
    if (listener_) listener_->beginRemoveItem(index);
    entries_.erase(entries_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
    if (listener_) listener_->endRemoveItem();
}

template <class Port>
std::string ListModel<Port>::List(int index) const {
    checkItem(index);
    return entry(index).text;
}

template <class Port>
std::int32_t ListModel<Port>::ItemData(int index) const {
    checkItem(index);
    return entry(index).data;
}

template <class Port>
void ListModel<Port>::ItemData(int index, std::int32_t value) {
    checkItem(index);
    entryAt(index).data = value;
    if (listener_) listener_->itemChanged(index);
}

template <class Port>
void ListModel<Port>::ListIndex(int index) {
    if (index < -1 || index >= ListCount()) badValue();
    listIndex_ = index;
    if (listener_) listener_->listIndexChanged();
}

template <class Port>
void ListModel<Port>::startEntries(std::vector<ListEntry> entries, int listIndex) {
    entries_ = std::move(entries);
    listIndex_ = listIndex >= 0 && listIndex < ListCount() ? listIndex : -1;
}

template <class Port>
void ListModel<Port>::viewListIndex(int index) {
    listIndex_ = index >= 0 && index < ListCount() ? index : -1;
}

template <class Port>
void ListModel<Port>::viewSelected(int index, bool selected) {
    if (index >= 0 && index < ListCount()) entryAt(index).selected = selected;
}

template class ListModel<ComboBox>;
template class ListModel<ListBox>;

// ---------------------------------------------------------------- combo box

void ComboBoxModel::Clear() {
    text_.clear();
    selStart_ = selLength_ = 0;
    ListModel<ComboBox>::Clear();
    if (listener()) listener()->textChanged();
}

void ComboBoxModel::ListIndex(int index) {
    if (index < -1 || index >= ListCount()) badValue();
    text_ = index >= 0 ? entry(index).text : std::string();
    selStart_ = selLength_ = 0;
    ListModel<ComboBox>::ListIndex(index);
    if (listener()) listener()->textChanged();
}

std::string ComboBoxModel::Text() const {
    if (editable()) return text_;
    return ListIndex() >= 0 ? entry(ListIndex()).text : std::string();
}

void ComboBoxModel::Text(const std::string& text) {
    int found = -1;
    for (int i = 0; i < ListCount() && found < 0; ++i) {
        if (entry(i).text == text) found = i;
    }
    if (!editable() && found < 0) throw Error(383, "'Text' property is read-only");
    // Like a drop-down combo: a text equal to an entry selects it, any other clears the selection.
    text_ = text;
    selStart_ = selLength_ = 0;
    ListModel<ComboBox>::ListIndex(found);
    if (listener()) listener()->textChanged();
}

int ComboBoxModel::SelStart() const { return editable() ? selStart_ : 0; }
int ComboBoxModel::SelLength() const { return editable() ? selLength_ : 0; }

void ComboBoxModel::SelStart(int start) {
    if (start < 0) badValue();
    if (!editable()) return;
    selStart_ = std::min(start, charsIn(text_));
    selLength_ = 0;
    if (listener()) listener()->textChanged();
}

void ComboBoxModel::SelLength(int length) {
    if (length < 0) badValue();
    if (!editable()) return;
    selLength_ = std::min(length, charsIn(text_) - selStart_);
    if (listener()) listener()->textChanged();
}

void ComboBoxModel::viewEdit(int listIndex, const std::string& text, int selStart, int selLength) {
    viewListIndex(listIndex);
    text_ = text;
    const int chars = charsIn(text_);
    selStart_ = std::clamp(selStart, 0, chars);
    selLength_ = std::clamp(selLength, 0, chars - selStart_);
}

// ---------------------------------------------------------------- list box

std::string ListBoxModel::Text() const {
    const int i = ListIndex();
    return i >= 0 ? entry(i).text : std::string();
}

bool ListBoxModel::Selected(int index) const {
    checkItem(index);
    return entry(index).selected;
}

void ListBoxModel::Selected(int index, bool selected) {
    checkItem(index);
    entryAt(index).selected = selected;
    if (listener()) listener()->itemChanged(index);
}

}  // namespace Palvo
