// Control ports: the members of the host's controls that the library uses.
// Getters and setters share the member's name: Text() reads, Text(v) writes.
#pragma once

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

/// A list box or a combo box: entries with 32-bit item data and a selection.
class PALVO_API ListControl : public Control {
public:
    virtual void Clear() = 0;
    /// Appends, or inserts at index (0..ListCount). Throws 5 for a bad index.
    virtual void AddItem(const std::string& item, int index = -1) = 0;
    /// Appends the items in order, as many AddItem calls would, each with its
    /// item data when itemData is given (one value an item; missing values
    /// are 0); a view hears of them once, so long lists fill in one step.
    virtual void AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData = {});
    virtual void RemoveItem(int index) = 0;
    virtual int ListCount() const = 0;
    /// Entry text. Throws 381 (invalid property array index) out of range.
    virtual std::string List(int index) const = 0;
    virtual std::int32_t ItemData(int index) const = 0;
    virtual void ItemData(int index, std::int32_t value) = 0;
    /// -1 when nothing is selected.
    virtual int ListIndex() const = 0;
    /// -1 clears the selection; other values outside 0..ListCount-1 throw 380.
    virtual void ListIndex(int index) = 0;
    virtual std::string Text() const = 0;
    virtual std::string Tag() const = 0;
    virtual void Tag(const std::string& tag) = 0;
};

/// A combo box: the edit text can be set freely.
class PALVO_API ComboBox : public ListControl {
public:
    std::string typeName() const override { return "ComboBox"; }
    virtual void Text(const std::string& text) = 0;
    using ListControl::Text;
    /// The caret and the selection after it in the edit text, in characters as
    /// a text box counts them. A combo box without an edit text has neither
    /// (0). Throws 380 when negative.
    virtual int SelStart() const = 0;
    virtual void SelStart(int start) = 0;
    virtual int SelLength() const = 0;
    virtual void SelLength(int length) = 0;

    // ---- the place, for a box its window lays over other controls (an editor over a grid cell)
    /// Twips from the top left of its container.
    virtual std::int32_t Left() const = 0;
    virtual std::int32_t Top() const = 0;
    virtual std::int32_t Width() const = 0;
    /// Moves the box and gives it the width; its height stays. A box moved
    /// over other controls is drawn above them.
    virtual void Move(std::int32_t left, std::int32_t top, std::int32_t width) = 0;
    virtual bool Visible() const = 0;
    virtual void Visible(bool visible) = 0;
};

/// A list box: entries can be marked as selected.
class PALVO_API ListBox : public ListControl {
public:
    std::string typeName() const override { return "ListBox"; }
    virtual bool Selected(int index) const = 0;
    virtual void Selected(int index, bool selected) = 0;
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
