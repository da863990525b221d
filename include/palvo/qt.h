// Qt 6 Widgets adapters: the control, message box, measuring and cursor ports
// over widgets a Qt host owns. Only a Qt host includes this header; the core
// never does. Qt classes are only forward-declared here.
//
// Lifetime: every control adapter keeps a non-owning pointer to its widget.
// The host owns the widget and must keep it alive as long as the adapter;
// make one adapter per widget (a grid adapter holds the grid's cells and
// state itself). Use them on the GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "palvo/controls.h"
#include "palvo/cursor.h"
#include "palvo/form.h"
#include "palvo/grid_model.h"
#include "palvo/measure.h"
#include "palvo/msgbox.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace Palvo::qt {

/// The dynamic property that carries a control's Tag (a QString), so that a
/// form designed in Qt Designer can set it.
inline constexpr const char* kTagProperty = "Tag";

/// A text box over a QLineEdit or a QPlainTextEdit. Positions count Unicode
/// characters (a character outside the BMP is one, not two UTF-16 units).
/// On a QLineEdit MaxLength is Qt's maxLength (0 stands for Qt's 32767), which
/// also cuts a longer text set by code; on a QPlainTextEdit it is only kept.
/// Colours go to the palette (Base and Text); Appearance 0 drops the frame.
class TextBox : public Palvo::TextBox {
public:
    /// index is the place in a form's TXT array, -1 for none.
    explicit TextBox(QLineEdit* edit, int index = -1);
    explicit TextBox(QPlainTextEdit* edit, int index = -1);
    std::string Name() const override;
    std::string Text() const override;
    void Text(const std::string& text) override;
    int SelStart() const override;
    void SelStart(int start) override;
    int SelLength() const override;
    void SelLength(int length) override;
    void SetFocus() override;
    bool Enabled() const override;
    void Enabled(bool enabled) override;
    int MaxLength() const override;
    void MaxLength(int length) override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;
    std::int32_t BackColor() const override;
    void BackColor(std::int32_t color) override;
    std::int32_t ForeColor() const override;
    void ForeColor(std::int32_t color) override;
    int Appearance() const override;
    void Appearance(int appearance) override;
    float FontSize() const override;
    void FontSize(float points) override;
    bool FontBold() const override;
    void FontBold(bool bold) override;
    int Index() const override { return index_; }
    /// Whether the host shows the box (QWidget::isHidden, so an unshown window counts).
    bool Visible() const override;
    void Visible(bool visible) override;

private:
    QWidget* widget() const;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
    int index_ = -1;
};

/// A label over a QLabel: ForeColor is the WindowText colour, MousePointer 99
/// shows the pointer loaded by MouseIcon (any image or cursor file Qt reads).
class Label : public Palvo::Label {
public:
    /// index is the place in a form's lbl array, -1 for none.
    explicit Label(QLabel* label, int index = -1);
    std::string Name() const override;
    int Index() const override { return index_; }
    std::string Caption() const override;
    void Caption(const std::string& caption) override;
    bool Visible() const override;
    void Visible(bool visible) override;
    std::string ToolTipText() const override;
    void ToolTipText(const std::string& text) override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;
    bool Enabled() const override;
    void Enabled(bool enabled) override;
    std::int32_t ForeColor() const override;
    void ForeColor(std::int32_t color) override;
    bool FontUnderline() const override;
    void FontUnderline(bool underline) override;
    int MousePointer() const override;
    void MousePointer(int pointer) override;
    std::string MouseIcon() const override;
    /// Throws Palvo::Error 53 when Qt cannot read the file as an image.
    void MouseIcon(const std::string& path) override;
    bool AutoSize() const override;
    void AutoSize(bool autoSize) override;
    float FontSize() const override;
    void FontSize(float points) override;
    bool FontBold() const override;
    void FontBold(bool bold) override;

private:
    void applyPointer();
    QLabel* label_;
    int index_;
};

/// An entry form over a QWidget. TXT(i) is the QLineEdit or QPlainTextEdit
/// named "TXT_i" and lbl(i) the QLabel named "lbl_i" among the widget's
/// descendants (docs/qt.md). Controls() walks every descendant widget that
/// stands for a control, in the order QObject::findChildren gives (creation
/// order, depth first), which stays fixed while the form is unchanged; a
/// QTableView that shows no model of the host's (and is no QTableWidget) is a
/// flex grid, an MSHFlexGrid when it has the dynamic property GridType
/// "MSHFlexGrid". The adapters it hands out live as long as the Form adapter.
class Form : public Palvo::Form {
public:
    explicit Form(QWidget* form);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    std::string Name() const override;
    std::int32_t BackColor() const override;
    void BackColor(std::int32_t color) override;
    std::int32_t ForeColor() const override;
    void ForeColor(std::int32_t color) override;
    std::string Icon() const override;
    /// Throws Palvo::Error 53 when Qt cannot read the file as an image.
    void Icon(const std::string& path) override;
    Palvo::ControlArray<Palvo::TextBox>& TXT() override;
    Palvo::ControlArray<Palvo::Label>& lbl() override;
    std::vector<Control*> Controls() override;

private:
    struct Private;
    Control* adapterFor(QWidget* widget);
    Control* gridFor(QTableView* table);
    QWidget* form_;
    std::unique_ptr<Private> d_;
};

/// A combo box over a QComboBox: item data in Qt::UserRole. On an editable
/// QComboBox Text can be anything (an entry's text selects it); on a
/// non-editable one a text that is no entry raises 383, as a drop-down list does.
class ComboBox : public Palvo::ComboBox {
public:
    explicit ComboBox(QComboBox* combo);
    std::string Name() const override;
    void Clear() override;
    void AddItem(const std::string& item, int index = -1) override;
    void RemoveItem(int index) override;
    int ListCount() const override;
    std::string List(int index) const override;
    std::int32_t ItemData(int index) const override;
    void ItemData(int index, std::int32_t value) override;
    int ListIndex() const override;
    void ListIndex(int index) override;
    std::string Text() const override;
    void Text(const std::string& text) override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;
    int SelStart() const override;
    void SelStart(int start) override;
    int SelLength() const override;
    void SelLength(int length) override;

private:
    void check(int index) const;
    QComboBox* combo_;
};

/// A list box over a QListWidget: ListIndex is the current row, Selected the
/// selection marks (independent of each other; use a multi-selection mode to
/// keep several marks).
class ListBox : public Palvo::ListBox {
public:
    explicit ListBox(QListWidget* list);
    std::string Name() const override;
    void Clear() override;
    void AddItem(const std::string& item, int index = -1) override;
    void RemoveItem(int index) override;
    int ListCount() const override;
    std::string List(int index) const override;
    std::int32_t ItemData(int index) const override;
    void ItemData(int index, std::int32_t value) override;
    int ListIndex() const override;
    void ListIndex(int index) override;
    std::string Text() const override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;
    bool Selected(int index) const override;
    void Selected(int index, bool selected) override;

private:
    void check(int index) const;
    QListWidget* list_;
};

/// One top-level row of a QTreeWidget: column 0 is the text, column j sub-item j.
class ListItem : public Palvo::ListItem {
public:
    explicit ListItem(QTreeWidgetItem* item) : item_(item) {}
    std::string Text() const override;
    std::string Key() const override;
    std::string SubItems(int j) const override;
    void SubItems(int j, const std::string& text) override;

private:
    QTreeWidgetItem* item_;
};

/// A list view in report mode over a QTreeWidget: header keys and item keys
/// are kept in Qt::UserRole of column 0 / of each header section.
class ListView : public Palvo::ListView {
public:
    explicit ListView(QTreeWidget* tree);
    ~ListView() override;
    std::string Name() const override;
    int View() const override;
    void View(int view) override;
    void ColumnHeadersClear() override;
    void ColumnHeadersAdd(int index, const std::string& key, const std::string& text) override;
    int ColumnHeadersCount() const override;
    std::string ColumnHeaderText(int index) const override;
    std::string ColumnHeaderKey(int index) const override;
    void ListItemsClear() override;
    Palvo::ListItem& ListItemsAdd(int index, const std::string& key, const std::string& text) override;
    int ListItemsCount() const override;
    Palvo::ListItem& ListItems(int index) override;

private:
    Palvo::ListItem& wrap(QTreeWidgetItem* item);
    QTreeWidget* tree_;
    std::unordered_map<const QTreeWidgetItem*, std::unique_ptr<ListItem>> items_;
};

using Palvo::GridType;

/// A flex grid shown in a QTableView (docs/qt.md). The grid is the core grid
/// model; the adapter gives the view a table model that reads it, and freezes
/// the fixed rows and columns: the view's headers draw them, so they stay in
/// place while the data scrolls. Grid row r and column c are model row r and
/// column c; the fixed ones are hidden in the data area. Cell changes reach
/// the view from the event loop, gathered into one announcement; shape
/// changes are announced as they happen. Sizes are twips at the widget's
/// logical resolution (1440 per inch). The grid starts 2 x 2 with one fixed
/// row and column, or from the view's dynamic properties Rows, Cols,
/// FixedRows and FixedCols. The adapter replaces the view's model, headers
/// and item delegate; the view shows the grid while the adapter lives. One
/// grid shows in a view at a time: a newer adapter on the same view takes it
/// over (a Form hands out the one shown). A QTableWidget cannot take another
/// model and is refused (std::invalid_argument).
class FlexGrid : public GridModel {
public:
    explicit FlexGrid(QTableView* table, GridType type = GridType::MSFlexGrid);
    ~FlexGrid() override;
    FlexGrid(const FlexGrid&) = delete;
    FlexGrid& operator=(const FlexGrid&) = delete;

    /// The adapter whose grid the view shows; nullptr for none.
    static FlexGrid* shownIn(const QTableView* table);

    std::string Name() const override;

    using GridModel::ColWidth;
    /// The twips set last, unless the user (or the host) resized the column since.
    std::int32_t ColWidth(int col) const override;

    float CellFontSize() const override;
    std::int32_t CellLeft() const override;
    std::int32_t CellTop() const override;
    using GridModel::TopRow;
    /// Also scrolls the row to the top of the data area.
    void TopRow(int row) override;
    /// Fixed rows always are; a data row when any part of it lies inside the viewport.
    bool RowIsVisible(int row) const override;

    std::int32_t Width() const override;
    std::int32_t Left() const override;
    std::int32_t Top() const override;
    using GridModel::HighLight;
    void HighLight(int mode) override;
    std::string ToolTipText() const override;
    void ToolTipText(const std::string& text) override;
    using GridModel::BackColorBkg;
    void BackColorBkg(std::int32_t color) override;
    using GridModel::SelectionMode;
    void SelectionMode(int mode) override;
    using GridModel::AllowUserResizing;
    void AllowUserResizing(int mode) override;
    using GridModel::ScrollBars;
    void ScrollBars(int mode) override;
    bool WordWrap() const override;
    void WordWrap(bool wrap) override;

private:
    struct Shown;
    int toPixels(std::int32_t twips) const;
    std::int32_t toTwips(int pixels) const;

    QTableView* table_;
    std::unique_ptr<Shown> shown_;
};

/// Message boxes as modal QMessageBox dialogs: icon, buttons and default
/// button from the style, the title (the application name when empty).
class MessageBox : public MessageBoxPort {
public:
    /// parent may be nullptr; it is not owned.
    explicit MessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    int show(const std::string& text, int style, const std::string& title) override;

private:
    QWidget* parent_;
};

/// Text widths through QFontMetricsF in one font family (by default Noto
/// Sans CJK SC from fonts-noto-cjk; fontconfig substitutes when it is missing).
/// The metrics of the last size asked for, and the widths of the texts seen
/// at it, are kept (up to 65536 texts), so a grid of repeated values is shaped
/// once per distinct text. Safe to share between threads.
class FontMeasurer : public TextMeasurer {
public:
    explicit FontMeasurer(std::string family = "Noto Sans CJK SC");
    ~FontMeasurer() override;
    FontMeasurer(const FontMeasurer&) = delete;
    FontMeasurer& operator=(const FontMeasurer&) = delete;
    double TextWidth(std::string_view text, double fontSize) const override;
    /// The family the font database actually resolved the requested one to.
    std::string resolvedFamily() const;

private:
    struct Cache;
    std::string family_;
    std::unique_ptr<Cache> cache_;
};

/// The pointer through Qt: a display count like the platform's (hidden below
/// 0, shown as a blank override cursor) and QCursor::pos relative to the
/// primary screen's top-left corner. Needs a QGuiApplication.
class Cursor : public CursorPort {
public:
    Cursor() = default;
    ~Cursor() override;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    int ShowCursor(bool show) override;
    bool GetCursorPos(POINTAPI& pt) override;
    int displayCount() const { return count_; }

private:
    int count_ = 0;
};

}  // namespace Palvo::qt
