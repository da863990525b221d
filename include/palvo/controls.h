// Control ports: the members of the host's controls that the library uses.
// List and combo boxes are concrete: their state and rules live here, and only
// what depends on a screen is virtual (src/controls/list_model.cpp).
// Getters and setters share the member's name: Text() reads, Text(v) writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/export.h"

namespace Palvo {

/// Anything the host hands over as a control; typeName() is what the
/// platform reports ("ComboBox", "ListBox", "ListView", "MSFlexGrid", ...).
class PALVO_API Control {
public:
    virtual ~Control();
    virtual std::string typeName() const = 0;
    virtual std::string Name() const { return {}; }
};

/// What a view of a list box or a combo box is told. An entry inserted or
/// removed comes as a begin/end pair, the begin before the list changes and the
/// end after it; other changes are told afterwards. The list calls these only
/// after it has checked the arguments, so a change that raises an error is
/// never announced.
class PALVO_API ListListener {
public:
    virtual ~ListListener();
    /// count entries go in at first (AddItem one, AddItems several).
    virtual void beginInsertItems(int first, int count) = 0;
    virtual void endInsertItems() = 0;
    virtual void beginRemoveItem(int index) = 0;
    virtual void endRemoveItem() = 0;
    /// Every entry goes (Clear); a combo box's edit text goes with them.
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    /// The entry's text, item data or selection mark changed.
    virtual void itemChanged(int index) = 0;
    /// The list index changed; a combo box's edit text took the entry's text.
    virtual void listIndexChanged() = 0;
    /// A combo box's edit text or its selection changed (Text, SelStart, SelLength).
    virtual void textChanged() = 0;
};

/// One entry of a list.
struct PALVO_API ListEntry {
    std::string text;
    std::int32_t data = 0;
    bool selected = false;
};

/// A list box or a combo box: entries with 32-bit item data and a selection.
/// The state and its rules live here once; the memory controls are these
/// objects, and a view (the Qt adapters) listens to their changes and shows
/// them. Entry texts and item data change only through these members, so a
/// view only shows them; the list index, the marks and a combo box's edit text
/// a view may also change for the user.
class PALVO_API ListControl : public Control {
public:
    void Clear();
    /// Appends, or inserts at index (0..ListCount); the list index moves with
    /// its entry. Throws 5 for a bad index.
    void AddItem(const std::string& item, int index = -1);
    /// Appends the items in order, as many AddItem calls would, each with its
    /// item data when itemData is given (one value an item; missing values
    /// are 0); a view hears of them once, so long lists fill in one step.
    void AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData = {});
    /// Removing the selected entry selects nothing. Throws 5 for a bad index.
    void RemoveItem(int index);
    int ListCount() const { return static_cast<int>(entries_.size()); }
    /// Entry text. Throws 381 (invalid property array index) out of range.
    std::string List(int index) const;
    /// Replaces the entry's text; its item data, its mark and the list index
    /// stay, and so does a combo box's edit text. Throws 381 out of range.
    void List(int index, const std::string& text);
    std::int32_t ItemData(int index) const;
    void ItemData(int index, std::int32_t value);
    /// -1 when nothing is selected.
    int ListIndex() const { return listIndex_; }
    /// -1 clears the selection; other values outside 0..ListCount-1 throw 380.
    /// A combo box's edit text becomes the entry's text (or none), the caret at its start.
    void ListIndex(int index);
    /// The edit text of a combo box that has one; otherwise the entry at the
    /// list index, "" when none is selected.
    std::string Text() const;
    virtual std::string Tag() const { return tag_; }
    virtual void Tag(const std::string& tag) { tag_ = tag; }
    /// Whether the box has an edit text of its own (a drop-down combo box); a
    /// view may decide.
    virtual bool editable() const { return false; }

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
    ListListener* listener() const { return listener_; }
    ListEntry& entryAt(int index) { return entries_[static_cast<std::size_t>(index)]; }

    // A combo box's edit text with its caret and selection, in characters;
    // ListIndex and Clear set it, a list box never shows it.
    std::string editText_;
    int selStart_ = 0;
    int selLength_ = 0;

private:
    std::vector<ListEntry> entries_;
    int listIndex_ = -1;
    std::string tag_;
    ListListener* listener_ = nullptr;
};

/// A combo box. With an edit text (a drop-down combo, the default) the text
/// can be anything and an entry's text selects that entry; without one (a
/// drop-down list, as a view may decide) Text is the selected entry's and any
/// other text raises 383. Only its place and visibility depend on a screen.
class PALVO_API ComboBox : public ListControl {
public:
    std::string typeName() const override { return "ComboBox"; }
    bool editable() const override { return true; }
    using ListControl::Text;
    /// Selects the entry with that text, or none (then a combo box without an
    /// edit text throws 383 and changes nothing).
    void Text(const std::string& text);
    /// The caret and the selection after it in the edit text, in characters as
    /// a text box counts them. A combo box without an edit text has neither
    /// (0). Throws 380 when negative.
    int SelStart() const;
    /// A caret beyond the text goes to its end; the selection is dropped.
    void SelStart(int start);
    int SelLength() const;
    /// Cut at the end of the text.
    void SelLength(int length);

    // ---- the place, for a box its window lays over other controls (an editor over a grid cell)
    /// Twips from the top left of its container; kept here for a box without a screen.
    virtual std::int32_t Left() const { return left_; }
    virtual std::int32_t Top() const { return top_; }
    virtual std::int32_t Width() const { return width_; }
    /// Moves the box and gives it the width; its height stays. A box moved
    /// over other controls is drawn above them.
    virtual void Move(std::int32_t left, std::int32_t top, std::int32_t width);
    virtual bool Visible() const { return visible_; }
    virtual void Visible(bool visible) { visible_ = visible; }
    /// Whether the list shows under the box, as while the user picks; a box
    /// without a screen keeps the flag. Dropping it leaves the edit text, its
    /// caret and the keyboard to the box.
    virtual bool DroppedDown() const { return dropped_; }
    virtual void DroppedDown(bool dropped) { dropped_ = dropped; }

protected:
    /// The user changed the combo in a view: the list index, the edit text and
    /// its selection as the view has them now. Kept, and the view is not told.
    void viewEdit(int listIndex, const std::string& text, int selStart, int selLength);

private:
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 1215;  // the platform's first width
    bool visible_ = true;
    bool dropped_ = false;
};

/// A list box: entries can be marked as selected, independently of the list index.
class PALVO_API ListBox : public ListControl {
public:
    std::string typeName() const override { return "ListBox"; }
    /// Throw 381 out of range.
    bool Selected(int index) const;
    void Selected(int index, bool selected);

protected:
    /// The user marked or unmarked an entry in a view: kept, and the view is not told.
    void viewSelected(int index, bool selected);
};

/// One row of a list view.
class PALVO_API ListItem {
public:
    virtual ~ListItem();
    virtual std::string Text() const = 0;
    virtual std::string Key() const = 0;
    /// Sub-item j (from 1) of the row; "" when never set.
    virtual std::string SubItems(int j) const = 0;
    virtual void SubItems(int j, const std::string& text) = 0;
};

/// A list view in report mode: column headers and list items with keys.
class PALVO_API ListView : public Control {
public:
    std::string typeName() const override { return "ListView"; }
    virtual int View() const = 0;
    virtual void View(int view) = 0;  // 3 = report
    virtual void ColumnHeadersClear() = 0;
    /// Adds a header at the 1-based index. Throws 35602 when the key is taken.
    virtual void ColumnHeadersAdd(int index, const std::string& key, const std::string& text) = 0;
    virtual int ColumnHeadersCount() const = 0;
    virtual std::string ColumnHeaderText(int index) const = 0;  // 1-based
    virtual std::string ColumnHeaderKey(int index) const = 0;   // 1-based
    virtual void ListItemsClear() = 0;
    /// Adds an item at the 1-based index. Throws 35602 when the key is taken.
    virtual ListItem& ListItemsAdd(int index, const std::string& key, const std::string& text) = 0;
    virtual int ListItemsCount() const = 0;
    virtual ListItem& ListItems(int index) = 0;  // 1-based
};

}  // namespace Palvo

namespace Palvo {

/// A text box. Positions and lengths count characters, not bytes.
class PALVO_API TextBox : public Control {
public:
    std::string typeName() const override { return "TextBox"; }
    virtual std::string Text() const = 0;
    /// Replacing the text puts the caret at the start with nothing selected.
    virtual void Text(const std::string& text) = 0;
    /// Characters before the caret; a value beyond the text puts the caret at its end. Throws 380 when
    /// negative.
    virtual int SelStart() const = 0;
    virtual void SelStart(int start) = 0;
    /// Characters selected after the caret, cut at the end of the text. Throws 380 when negative.
    virtual int SelLength() const = 0;
    virtual void SelLength(int length) = 0;
    /// Throws 5 (invalid procedure call) when the box is disabled, as the platform does.
    virtual void SetFocus() = 0;
    virtual bool Enabled() const = 0;
    virtual void Enabled(bool enabled) = 0;
    /// Most characters the user may type; 0 means no limit.
    virtual int MaxLength() const = 0;
    virtual void MaxLength(int length) = 0;
    virtual std::string Tag() const = 0;
    virtual void Tag(const std::string& tag) = 0;

    // ---- the look and the place in a control array, for the entry forms
    /// Colours are 0xBBGGRR, or 0x80000000 + n for system colour n.
    virtual std::int32_t BackColor() const = 0;
    virtual void BackColor(std::int32_t color) = 0;
    virtual std::int32_t ForeColor() const = 0;
    virtual void ForeColor(std::int32_t color) = 0;
    /// 0 flat, 1 three-dimensional.
    virtual int Appearance() const = 0;
    virtual void Appearance(int appearance) = 0;
    /// Points.
    virtual float FontSize() const = 0;
    virtual void FontSize(float points) = 0;
    virtual bool FontBold() const = 0;
    virtual void FontBold(bool bold) = 0;
    /// The index in the form's control array (TXT); -1 when the box is not in an array.
    virtual int Index() const { return -1; }
    virtual bool Visible() const = 0;
    virtual void Visible(bool visible) = 0;

    // ---- the lines as the box shows them, for printing a multi-line box
    /// How many lines the box shows its text in, wrapped as on screen; an
    /// empty box shows one, a single-line box always one.
    virtual int LineCount() const = 0;
    /// Line index (from 0) as the box shows it, without its line break (blanks
    /// the box wrapped after stay on it); "" outside 0 .. LineCount() - 1.
    virtual std::string Line(int index) const = 0;
    /// Every line as Line gives them, LineCount of them, in one pass.
    virtual std::vector<std::string> Lines() const;
};

}  // namespace Palvo

namespace Palvo {

/// A label: the caption of an entry-form text box, and a link to a lookup
/// when it opens the picker.
class PALVO_API Label : public Control {
public:
    std::string typeName() const override { return "Label"; }
    virtual std::string Caption() const = 0;
    virtual void Caption(const std::string& caption) = 0;
    virtual bool Visible() const = 0;
    virtual void Visible(bool visible) = 0;
    virtual std::string ToolTipText() const = 0;
    virtual void ToolTipText(const std::string& text) = 0;
    virtual std::string Tag() const = 0;
    virtual void Tag(const std::string& tag) = 0;
    virtual bool Enabled() const = 0;
    virtual void Enabled(bool enabled) = 0;
    virtual std::int32_t ForeColor() const = 0;
    virtual void ForeColor(std::int32_t color) = 0;
    virtual bool FontUnderline() const = 0;
    virtual void FontUnderline(bool underline) = 0;
    /// 0 the default pointer, 99 the custom pointer of MouseIcon; with no
    /// MouseIcon loaded, 99 shows the default pointer.
    virtual int MousePointer() const = 0;
    virtual void MousePointer(int pointer) = 0;
    /// The cursor file loaded as the custom pointer; "" when none is.
    virtual std::string MouseIcon() const = 0;
    /// Loads a cursor file. Throws Palvo::Error 53 (file not found) when it
    /// cannot be read; the pointer loaded before stays.
    virtual void MouseIcon(const std::string& path) = 0;
    virtual bool AutoSize() const = 0;
    virtual void AutoSize(bool autoSize) = 0;
    virtual float FontSize() const = 0;
    virtual void FontSize(float points) = 0;
    virtual bool FontBold() const = 0;
    virtual void FontBold(bool bold) = 0;
    /// The index in the form's control array (lbl); -1 when the label is not in an array.
    virtual int Index() const { return -1; }
};

}  // namespace Palvo
