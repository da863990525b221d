// The state and rules of list boxes and combo boxes, kept once: the entries
// with their item data and selection marks, the list index, and a combo box's
// edit text with its selection. A view hears of every change through its
// ListListener.
#include <algorithm>
#include <utility>

#include "palvo/controls.h"
#include "palvo/error.h"
#include "palvo/text.h"

namespace Palvo {

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void badCall() { throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument"); }
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }

int charsIn(const std::string& text) { return static_cast<int>(base::charCount(text)); }
}  // namespace

ListListener::~ListListener() = default;

// ---------------------------------------------------------------- the entries

void ListControl::checkItem(int index) const {
    if (index < 0 || index >= ListCount()) badIndex();
}

void ListControl::Clear() {
    if (listener_) listener_->beginReset();
    entries_.clear();
    listIndex_ = -1;
    editText_.clear();
    selStart_ = selLength_ = 0;
    if (listener_) listener_->endReset();
}

void ListControl::AddItem(const std::string& item, int index) {
    if (index > ListCount()) badCall();
    const int at = index < 0 ? ListCount() : index;
    if (listener_) listener_->beginInsertItems(at, 1);
    entries_.insert(entries_.begin() + at, ListEntry{item});
    if (listIndex_ >= at) ++listIndex_;
    if (listener_) listener_->endInsertItems();
}

void ListControl::AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData) {
    if (items.empty()) return;
    const int at = ListCount();
    if (listener_) listener_->beginInsertItems(at, static_cast<int>(items.size()));
    entries_.reserve(entries_.size() + items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        entries_.push_back(ListEntry{std::move(items[i]), i < itemData.size() ? itemData[i] : 0});
    }
    if (listener_) listener_->endInsertItems();
}

void ListControl::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) badCall();
    if (listener_) listener_->beginRemoveItem(index);
    entries_.erase(entries_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
    if (listener_) listener_->endRemoveItem();
}

std::string ListControl::List(int index) const {
    checkItem(index);
    return entry(index).text;
}

void ListControl::List(int index, const std::string& text) {
    checkItem(index);
    entryAt(index).text = text;
    if (listener_) listener_->itemChanged(index);
}

std::int32_t ListControl::ItemData(int index) const {
    checkItem(index);
    return entry(index).data;
}

void ListControl::ItemData(int index, std::int32_t value) {
    checkItem(index);
    entryAt(index).data = value;
    if (listener_) listener_->itemChanged(index);
}

void ListControl::ListIndex(int index) {
    if (index < -1 || index >= ListCount()) badValue();
    listIndex_ = index;
    editText_ = index >= 0 ? entry(index).text : std::string();
    selStart_ = selLength_ = 0;
    if (listener_) listener_->listIndexChanged();
}

std::string ListControl::Text() const {
    if (editable()) return editText_;
    return listIndex_ >= 0 ? entry(listIndex_).text : std::string();
}

void ListControl::startEntries(std::vector<ListEntry> entries, int listIndex) {
    entries_ = std::move(entries);
    listIndex_ = listIndex >= 0 && listIndex < ListCount() ? listIndex : -1;
}

void ListControl::viewListIndex(int index) { listIndex_ = index >= 0 && index < ListCount() ? index : -1; }

// ---------------------------------------------------------------- combo box

void ComboBox::Text(const std::string& text) {
    int found = -1;
    for (int i = 0; i < ListCount() && found < 0; ++i) {
        if (entry(i).text == text) found = i;
    }
    if (!editable() && found < 0) throw Error(383, "'Text' property is read-only");
    // Like a drop-down combo: a text equal to an entry selects it, any other clears the selection.
    viewListIndex(found);
    editText_ = text;
    selStart_ = selLength_ = 0;
    if (listener()) {
        listener()->listIndexChanged();
        listener()->textChanged();
    }
}

int ComboBox::SelStart() const { return editable() ? selStart_ : 0; }
int ComboBox::SelLength() const { return editable() ? selLength_ : 0; }

void ComboBox::SelStart(int start) {
    if (start < 0) badValue();
    if (!editable()) return;
    selStart_ = std::min(start, charsIn(editText_));
    selLength_ = 0;
    if (listener()) listener()->textChanged();
}

void ComboBox::SelLength(int length) {
    if (length < 0) badValue();
    if (!editable()) return;
    selLength_ = std::min(length, charsIn(editText_) - selStart_);
    if (listener()) listener()->textChanged();
}

void ComboBox::Move(std::int32_t left, std::int32_t top, std::int32_t width) {
    left_ = left;
    top_ = top;
    width_ = width;
}

void ComboBox::viewEdit(int listIndex, const std::string& text, int selStart, int selLength) {
    viewListIndex(listIndex);
    editText_ = text;
    const int chars = charsIn(editText_);
    selStart_ = std::clamp(selStart, 0, chars);
    selLength_ = std::clamp(selLength, 0, chars - selStart_);
}

// ---------------------------------------------------------------- list box

bool ListBox::Selected(int index) const {
    checkItem(index);
    return entry(index).selected;
}

void ListBox::Selected(int index, bool selected) {
    checkItem(index);
    entryAt(index).selected = selected;
    if (listener()) listener()->itemChanged(index);
}

void ListBox::viewSelected(int index, bool selected) {
    if (index >= 0 && index < ListCount()) entryAt(index).selected = selected;
}

}  // namespace Palvo
