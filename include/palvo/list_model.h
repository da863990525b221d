// The state and rules of list boxes and combo boxes, kept once: the entries
// with their item data and selection marks, the list index, and a combo box's
// edit text with its selection. The memory controls are these models; the Qt
// controls show them in a view that listens to their changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"

namespace Palvo {

/// What a view of a list model is told. An entry inserted or removed comes as
/// a begin/end pair, the begin before the model changes and the end after it;
/// other changes are told afterwards. The model calls these only after it has
/// checked the arguments, so a change that raises an error is never announced.
class PALVO_API ListListener {
public:
    virtual ~ListListener();
    /// count entries go in at first (AddItem one, AddItems several).
    virtual void beginInsertItems(int first, int count) = 0;
    virtual void endInsertItems() = 0;
    virtual void beginRemoveItem(int index) = 0;
    virtual void endRemoveItem() = 0;
    /// Every entry goes (Clear).
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    /// The entry's item data or selection mark changed.
    virtual void itemChanged(int index) = 0;
    virtual void listIndexChanged() = 0;
    /// A combo box's edit text or its selection changed.
    virtual void textChanged() = 0;
};

/// One entry of a list.
struct PALVO_API ListEntry {
    std::string text;
    std::int32_t data = 0;
    bool selected = false;
};

/// The entries and the list index of a list box or a combo box with the rules
/// of ListControl; Port is ComboBox or ListBox. Entry texts and item data
/// change only through the port, so a view only shows them; the list index,
/// the marks and a combo's edit text a view may also change for the user.
template <class Port>
class PALVO_API ListModel : public Port {
public:
    void Clear() override;
    /// Appends, or inserts at index (0..ListCount); the list index moves with its entry. Throws 5.
    void AddItem(const std::string& item, int index = -1) override;
    void AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData = {}) override;
    /// Removing the selected entry selects nothing. Throws 5 for a bad index.
    void RemoveItem(int index) override;
    int ListCount() const override { return static_cast<int>(entries_.size()); }
    std::string List(int index) const override;
    std::int32_t ItemData(int index) const override;
    void ItemData(int index, std::int32_t value) override;
    int ListIndex() const override { return listIndex_; }
    void ListIndex(int index) override;
    std::string Tag() const override { return tag_; }
    void Tag(const std::string& tag) override { tag_ = tag; }

    // ---- for views and hosts
    /// The entry known to lie inside the list, without a copy.
    const ListEntry& entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }
    /// Who is told of every change; nullptr for nobody. Not owned.
    void listen(ListListener* listener) { listener_ = listener; }

protected:
    /// Throws 381 unless the entry exists.
    void checkItem(int index) const;
    /// Starts with the entries a view came with; only before anyone listens.
    void startEntries(std::vector<ListEntry> entries, int listIndex);
    /// The user moved the list index in a view: kept, and the view is not told.
    void viewListIndex(int index);
    /// The user marked or unmarked an entry in a view: kept, and the view is not told.
    void viewSelected(int index, bool selected);
    ListListener* listener() const { return listener_; }
    ListEntry& entryAt(int index) { return entries_[static_cast<std::size_t>(index)]; }

private:
    std::vector<ListEntry> entries_;
    int listIndex_ = -1;
    std::string tag_;
    ListListener* listener_ = nullptr;
};

extern template class PALVO_API ListModel<ComboBox>;
extern template class PALVO_API ListModel<ListBox>;

/// A combo box's state. With an edit text (a drop-down combo, the default) the
/// text can be anything and an entry's text selects that entry; without one (a
/// drop-down list) Text is the selected entry's and any other text raises 383.
class PALVO_API ComboBoxModel : public ListModel<ComboBox> {
public:
    /// Also empties the edit text.
    void Clear() override;
    /// Also puts the entry's text (or none) into the edit text, the caret at its start.
    void ListIndex(int index) override;
    using ListModel<ComboBox>::ListIndex;
    std::string Text() const override;
    void Text(const std::string& text) override;
    int SelStart() const override;
    /// A caret beyond the text goes to its end; the selection is dropped.
    void SelStart(int start) override;
    int SelLength() const override;
    /// Cut at the end of the text.
    void SelLength(int length) override;

    /// Whether the combo has an edit text; a view may decide.
    virtual bool editable() const { return true; }

protected:
    /// The user changed the combo in a view: the list index, the edit text and
    /// its selection as the view has them now. Kept, and the view is not told.
    void viewEdit(int listIndex, const std::string& text, int selStart, int selLength);

private:
    std::string text_;
    int selStart_ = 0;
    int selLength_ = 0;
};

/// A list box's state: the selection marks are independent of the list index.
class PALVO_API ListBoxModel : public ListModel<ListBox> {
public:
    /// The entry at the list index; "" when none is selected.
    std::string Text() const override;
    bool Selected(int index) const override;
    void Selected(int index, bool selected) override;
};

}  // namespace Palvo
