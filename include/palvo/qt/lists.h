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

class QComboBox;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace Palvo::qt {

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

}  // namespace Palvo::qt
