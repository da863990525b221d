// Qt 6 Widgets adapters: the combo box, the list box and the list view. Only a
// Qt host includes the headers under palvo/qt/ (target Palvo::qt); the core
// never does. Qt classes are only forward-declared here.
//
// Lifetime: every control adapter keeps a non-owning pointer to its widget.
// The host owns the widget and must keep it alive as long as the adapter;
// make one adapter per widget. Use them on the GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "palvo/controls.h"
#include "palvo/export.h"

class QComboBox;
class QListView;
class QTreeWidget;
class QTreeWidgetItem;

namespace Palvo::qt {

/// A combo box shown in a QComboBox (docs/qt.md). The state is the core combo
/// box; the adapter gives the combo a list model that reads it (item
/// data in Qt::UserRole). The entries the combo holds when the adapter is made
/// (from Qt Designer, say), its current entry and its edit text are taken
/// over. On an editable QComboBox Text can be anything (an entry's text
/// selects it); on a non-editable one a text that is no entry raises 383, as a
/// drop-down list does. The user's picks, typing and caret moves reach the
/// model before any signal a host connected after making the adapter. One
/// adapter shows in a combo at a time: a newer one takes it over. When the
/// adapter goes, the combo keeps the entries in a model of its own.
class PALVO_API ComboBox : public Palvo::ComboBox {
public:
    explicit ComboBox(QComboBox* combo);
    ~ComboBox() override;
    ComboBox(const ComboBox&) = delete;
    ComboBox& operator=(const ComboBox&) = delete;

    /// The adapter whose model the combo shows; nullptr for none.
    static ComboBox* shownIn(const QComboBox* combo);

    std::string Name() const override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;
    /// An editable QComboBox has an edit text.
    bool editable() const override;
    /// The combo's geometry in its parent widget; Move raises it above its siblings.
    std::int32_t Left() const override;
    std::int32_t Top() const override;
    std::int32_t Width() const override;
    void Move(std::int32_t left, std::int32_t top, std::int32_t width) override;
    bool Visible() const override;
    void Visible(bool visible) override;
    /// The combo's own list (showPopup), the keyboard left to its edit text;
    /// while the combo is not shown, the flag of the box.
    bool DroppedDown() const override;
    void DroppedDown(bool dropped) override;

private:
    struct Shown;
    QComboBox* combo_;
    std::unique_ptr<Shown> shown_;
};

/// A list box shown in a QListView (docs/qt.md): the state is the core list
/// box model, ListIndex the view's current row (set without touching the
/// marks), Selected the rows its selection model has selected, both ways; use
/// a multi-selection mode to keep several marks. Rows of a model the view
/// shows when the adapter is made are taken over (text, Qt::UserRole data,
/// selection). A QListWidget cannot take another model and is refused
/// (std::invalid_argument). One adapter shows in a view at a time: a newer
/// one takes it over. When the adapter goes, the view keeps the entries in a
/// model of its own.
class PALVO_API ListBox : public Palvo::ListBox {
public:
    explicit ListBox(QListView* view);
    ~ListBox() override;
    ListBox(const ListBox&) = delete;
    ListBox& operator=(const ListBox&) = delete;

    /// The adapter whose model the view shows; nullptr for none.
    static ListBox* shownIn(const QListView* view);

    std::string Name() const override;
    std::string Tag() const override;
    void Tag(const std::string& tag) override;

private:
    struct Shown;
    QListView* view_;
    std::unique_ptr<Shown> shown_;
};

/// One top-level row of a QTreeWidget: column 0 is the text, column j sub-item j.
class PALVO_API ListItem : public Palvo::ListItem {
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
class PALVO_API ListView : public Palvo::ListView {
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

}  // namespace Palvo::qt
