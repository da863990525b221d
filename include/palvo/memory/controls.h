// Headless controls: plain objects that tests and batch hosts fill and read.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/list_model.h"
#include "palvo/measure.h"

namespace Palvo::memory {

/// A combo box with an edit text: the core combo box model with a name.
class PALVO_API ComboBox : public ComboBoxModel {
public:
    explicit ComboBox(std::string name = "Combo1") : name_(std::move(name)) {}
    std::string Name() const override { return name_; }
    std::int32_t Left() const override { return left_; }
    std::int32_t Top() const override { return top_; }
    std::int32_t Width() const override { return width_; }
    void Move(std::int32_t left, std::int32_t top, std::int32_t width) override {
        left_ = left, top_ = top, width_ = width;
    }
    bool Visible() const override { return visible_; }
    void Visible(bool visible) override { visible_ = visible; }

private:
    std::string name_;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 1215;  // the platform's first width
    bool visible_ = true;
};

/// A list box: the core list box model with a name.
class PALVO_API ListBox : public ListBoxModel {
public:
    explicit ListBox(std::string name = "List1") : name_(std::move(name)) {}
    std::string Name() const override { return name_; }

private:
    std::string name_;
};

class PALVO_API ListItem : public Palvo::ListItem {
public:
    ListItem(std::string key, std::string text) : key_(std::move(key)), text_(std::move(text)) {}
    std::string Text() const override { return text_; }
    std::string Key() const override { return key_; }
    std::string SubItems(int j) const override;
    void SubItems(int j, const std::string& text) override;

private:
    std::string key_;
    std::string text_;
    std::map<int, std::string> sub_;
};

class PALVO_API ListView : public Palvo::ListView {
public:
    explicit ListView(std::string name = "ListView1") : name_(std::move(name)) {}
    std::string Name() const override { return name_; }
    int View() const override { return view_; }
    void View(int view) override { view_ = view; }
    void ColumnHeadersClear() override { headers_.clear(); }
    void ColumnHeadersAdd(int index, const std::string& key, const std::string& text) override;
    int ColumnHeadersCount() const override { return static_cast<int>(headers_.size()); }
    std::string ColumnHeaderText(int index) const override;
    std::string ColumnHeaderKey(int index) const override;
    void ListItemsClear() override { items_.clear(); }
    Palvo::ListItem& ListItemsAdd(int index, const std::string& key, const std::string& text) override;
    int ListItemsCount() const override { return static_cast<int>(items_.size()); }
    Palvo::ListItem& ListItems(int index) override;

private:
    struct Header {
        std::string key;
        std::string text;
    };
    std::string name_;
    int view_ = 0;
    std::vector<Header> headers_;
    std::vector<std::unique_ptr<ListItem>> items_;
};

}  // namespace Palvo::memory

namespace Palvo::memory {

/// A text box; focused() tells whether SetFocus reached it. A multi-line box
/// shows its text's lines (broken at CR LF, LF or CR) wrapped at its Width as
/// an edit control wraps them: after blanks, which stay at the end of the
/// line, and around Chinese characters, keeping closing punctuation with the
/// character before it; a word wider than the box is cut where it fills a line.
class PALVO_API TextBox : public Palvo::TextBox {
public:
    explicit TextBox(std::string name = "Text1", std::string text = {})
        : name_(std::move(name)), text_(std::move(text)) {}
    std::string Name() const override { return name_; }
    std::string Text() const override { return text_; }
    void Text(const std::string& text) override;
    int SelStart() const override { return selStart_; }
    void SelStart(int start) override;
    int SelLength() const override { return selLength_; }
    void SelLength(int length) override;
    void SetFocus() override;
    bool Enabled() const override { return enabled_; }
    void Enabled(bool enabled) override { enabled_ = enabled; }
    int MaxLength() const override { return maxLength_; }
    void MaxLength(int length) override;
    std::string Tag() const override { return tag_; }
    void Tag(const std::string& tag) override { tag_ = tag; }
    std::int32_t BackColor() const override { return backColor_; }
    void BackColor(std::int32_t color) override { backColor_ = color; }
    std::int32_t ForeColor() const override { return foreColor_; }
    void ForeColor(std::int32_t color) override { foreColor_ = color; }
    int Appearance() const override { return appearance_; }
    void Appearance(int appearance) override { appearance_ = appearance; }
    float FontSize() const override { return fontSize_; }
    void FontSize(float points) override { fontSize_ = points; }
    bool FontBold() const override { return fontBold_; }
    void FontBold(bool bold) override { fontBold_ = bold; }
    int Index() const override { return index_; }
    /// Places the box in a control array (set by the form that holds it).
    void Index(int index) { index_ = index; }

    bool Visible() const override { return visible_; }
    void Visible(bool visible) override { visible_ = visible; }
    int LineCount() const override;
    std::string Line(int index) const override;
    std::vector<std::string> Lines() const override;

    /// Whether the box wraps its text on several lines; a single-line box
    /// shows its whole text as one line (the platform's default).
    bool MultiLine() const { return multiLine_; }
    void MultiLine(bool multiLine) { multiLine_ = multiLine; }
    /// The width of the box's text area in twips, where its lines wrap.
    /// Throws 380 when negative.
    std::int32_t Width() const { return width_; }
    void Width(std::int32_t twips);
    /// Measures the text for wrapping, in FontSize (bold as regular); nullptr
    /// measures with headlessMeasurer(), as the recording printer does.
    void Measurer(std::shared_ptr<TextMeasurer> measurer) { measurer_ = std::move(measurer); }

    bool focused() const { return focused_; }
    void blur() { focused_ = false; }
    /// The selected text.
    std::string SelText() const;

private:
    int length() const;
    std::string name_;
    std::string text_;
    int selStart_ = 0;
    int selLength_ = 0;
    bool enabled_ = true;
    bool focused_ = false;
    int maxLength_ = 0;
    std::string tag_;
    // the platform's defaults: window background and window text, three-dimensional
    std::int32_t backColor_ = static_cast<std::int32_t>(0x80000005);
    std::int32_t foreColor_ = static_cast<std::int32_t>(0x80000008);
    int appearance_ = 1;
    float fontSize_ = 9.0f;
    bool fontBold_ = false;
    int index_ = -1;
    bool visible_ = true;
    bool multiLine_ = false;
    std::int32_t width_ = 1215;  // the platform's first width
    std::shared_ptr<TextMeasurer> measurer_;
    mutable std::shared_ptr<TextMeasurer> headless_;
};

}  // namespace Palvo::memory

namespace Palvo::memory {

/// A label. MouseIcon loads a file only when it can be read.
class PALVO_API Label : public Palvo::Label {
public:
    explicit Label(std::string name = "Label1", int index = -1) : name_(std::move(name)), index_(index) {}
    std::string Name() const override { return name_; }
    int Index() const override { return index_; }
    std::string Caption() const override { return caption_; }
    void Caption(const std::string& caption) override { caption_ = caption; }
    bool Visible() const override { return visible_; }
    void Visible(bool visible) override { visible_ = visible; }
    std::string ToolTipText() const override { return toolTip_; }
    void ToolTipText(const std::string& text) override { toolTip_ = text; }
    std::string Tag() const override { return tag_; }
    void Tag(const std::string& tag) override { tag_ = tag; }
    bool Enabled() const override { return enabled_; }
    void Enabled(bool enabled) override { enabled_ = enabled; }
    std::int32_t ForeColor() const override { return foreColor_; }
    void ForeColor(std::int32_t color) override { foreColor_ = color; }
    bool FontUnderline() const override { return underline_; }
    void FontUnderline(bool underline) override { underline_ = underline; }
    int MousePointer() const override { return pointer_; }
    void MousePointer(int pointer) override { pointer_ = pointer; }
    std::string MouseIcon() const override { return mouseIcon_; }
    void MouseIcon(const std::string& path) override;
    bool AutoSize() const override { return autoSize_; }
    void AutoSize(bool autoSize) override { autoSize_ = autoSize; }
    float FontSize() const override { return fontSize_; }
    void FontSize(float points) override { fontSize_ = points; }
    bool FontBold() const override { return fontBold_; }
    void FontBold(bool bold) override { fontBold_ = bold; }

private:
    std::string name_;
    int index_;
    std::string caption_;
    bool visible_ = true;
    std::string toolTip_;
    std::string tag_;
    bool enabled_ = true;
    std::int32_t foreColor_ = static_cast<std::int32_t>(0x80000012);  // button text
    bool underline_ = false;
    int pointer_ = 0;
    std::string mouseIcon_;
    bool autoSize_ = false;
    float fontSize_ = 9.0f;
    bool fontBold_ = false;
};

}  // namespace Palvo::memory
