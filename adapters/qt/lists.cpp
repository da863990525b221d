#include "palvo/qt/lists.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QVariant>
#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "palvo/error.h"
#include "palvo/qt/text.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {

// The adapter whose model a combo or a list view shows, on the widget.
constexpr const char* kShownProperty = "palvoShownList";

std::string tagOf(const QObject* o) { return toStd(o->property(kTagProperty).toString()); }
void setTag(QObject* o, const std::string& tag) { o->setProperty(kTagProperty, toQString(tag)); }

template <class Adapter>
void markShown(QWidget* w, Adapter* adapter) {
    w->setProperty(kShownProperty,
                   adapter ? QVariant::fromValue(reinterpret_cast<quintptr>(adapter)) : QVariant());
}

template <class Adapter>
Adapter* shownOn(const QWidget* w) {
    return reinterpret_cast<Adapter*>(w->property(kShownProperty).value<quintptr>());
}

// Sets a flag for as long as it lives, and puts back what was there.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~Busy() { flag_ = was_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& flag_;
    bool was_;
};

// The Qt face of a core list: every entry is read from the list when the view
// asks. Entries change only through the list's members, so the view never edits them.
class EntryModel final : public QAbstractListModel {
public:
    explicit EntryModel(const ListControl& list) : list_(list) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : list_.ListCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= list_.ListCount()) return {};
        const ListEntry& e = list_.entry(index.row());
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
                return toQString(e.text);
            case Qt::UserRole:
                return static_cast<int>(e.data);
            default:
                return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginRemoveRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endRemoveRows;
    using QAbstractItemModel::endResetModel;

    void rowChanged(int row) { emit dataChanged(index(row), index(row)); }

private:
    const ListControl& list_;
};

// The entries of a model a widget came with: text, item data and (given a selection model) marks.
std::vector<ListEntry> entriesOf(const QAbstractItemModel* model, const QModelIndex& root, int column,
                                 const QItemSelectionModel* selection) {
    std::vector<ListEntry> out;
    if (!model) return out;
    for (int r = 0; r < model->rowCount(root); ++r) {
        const QModelIndex at = model->index(r, column, root);
        out.push_back(ListEntry{toStd(at.data(Qt::DisplayRole).toString()),
                                static_cast<std::int32_t>(at.data(Qt::UserRole).toInt()),
                                selection != nullptr && selection->isSelected(at)});
    }
    return out;
}

// A model of the widget's own holding the entries, for when the adapter goes.
QStandardItemModel* entriesLeftTo(QObject* owner, const std::vector<ListEntry>& entries) {
    auto* model = new QStandardItemModel(owner);
    model->setProperty(kLeftEntriesProperty, QVariant::fromValue(reinterpret_cast<quintptr>(owner)));
    for (const ListEntry& e : entries) {
        auto* item = new QStandardItem(toQString(e.text));
        item->setData(static_cast<int>(e.data), Qt::UserRole);
        model->appendRow(item);
    }
    return model;
}

std::vector<ListEntry> entriesNow(const ListControl& list) {
    std::vector<ListEntry> out;
    out.reserve(static_cast<std::size_t>(list.ListCount()));
    for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.entry(i));
    return out;
}

// The caret and the selection of a line edit, in characters.
std::pair<int, int> selectionOf(const QLineEdit* line) {
    const QString text = line->text();
    if (!line->hasSelectedText()) return {charsBefore(text, line->cursorPosition()), 0};
    return {charsBefore(text, line->selectionStart()), charCount(line->selectedText())};
}

}  // namespace

// Hands the core model's announcements of added, removed and reset entries to
// the Qt model; after each, settle() brings the widget in step. While the
// shape changes, syncing keeps the widget's own signals from reaching back.
struct EntriesShown : ListListener {
    explicit EntriesShown(const ListControl& list) : model(list) {}

    void beginInsertItems(int first, int count) override {
        syncing = true;
        model.beginInsertRows(QModelIndex(), first, first + count - 1);
    }
    void endInsertItems() override {
        model.endInsertRows();
        settle();
    }
    void beginRemoveItem(int index) override {
        syncing = true;
        model.beginRemoveRows(QModelIndex(), index, index);
    }
    void endRemoveItem() override {
        model.endRemoveRows();
        settle();
    }
    void beginReset() override {
        syncing = true;
        model.beginResetModel();
    }
    void endReset() override {
        model.endResetModel();
        settle();
    }
    virtual void settle() = 0;

    EntryModel model;
    bool syncing = false;
};

// ---------------------------------------------------------------- ComboBox

// Shows the combo box model in the QComboBox. The model's changes are pushed
// to the widget; the user's changes in the widget are pulled into the model.
// While one direction runs, the other keeps still.
struct ComboBox::Shown final : EntriesShown {
    Shown(ComboBox& c, QComboBox* w) : EntriesShown(c), combo(c), widget(w) {
        Busy busy(syncing);
        markShown(widget.data(), &combo);
        widget->setModel(&model);  // the combo deletes a model of its own
        // Before a host's own connections, so that its handlers read the port up to date.
        QObject::connect(widget, &QComboBox::currentIndexChanged, &context, [this] { pull(); });
        QObject::connect(widget, &QComboBox::editTextChanged, &context, [this] { pull(); });
        if (QLineEdit* line = widget->lineEdit()) {
            QObject::connect(line, &QLineEdit::textEdited, &context, [this] { pull(); });
            QObject::connect(line, &QLineEdit::cursorPositionChanged, &context, [this] { pull(); });
            QObject::connect(line, &QLineEdit::selectionChanged, &context, [this] { pull(); });
        }
        push();
    }

    ~Shown() override {
        if (!showing()) return;
        Busy busy(syncing);
        const int index = combo.ListIndex();
        const QString text = toQString(combo.Text());
        markShown<ComboBox>(widget.data(), nullptr);
        widget->setModel(entriesLeftTo(widget.data(), entriesNow(combo)));
        widget->setCurrentIndex(index);
        if (widget->isEditable()) widget->setEditText(text);
    }

    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    // False once a newer adapter took the combo over (or the combo is gone).
    bool showing() const { return widget && ComboBox::shownIn(widget) == &combo; }

    void itemChanged(int index) override { model.rowChanged(index); }
    void listIndexChanged() override { push(); }
    void textChanged() override { push(); }

    // After a change of entries: Qt picks a current entry of its own (the
    // first one added, a neighbour of one removed); the model's stands.
    void settle() override {
        push();
        syncing = false;
    }

    // The model's list index, edit text and selection into the widget.
    void push() {
        if (!showing()) return;
        Busy busy(syncing);
        const int index = combo.ListIndex();
        if (widget->currentIndex() != index) widget->setCurrentIndex(index);
        QLineEdit* line = widget->lineEdit();
        if (!line) return;
        const QString text = toQString(combo.Text());
        if (line->text() != text) line->setText(text);
        const int from = unitsFor(text, combo.SelStart());
        const int to = unitsFor(text, combo.SelStart() + combo.SelLength());
        if (to == from) {
            line->deselect();
            line->setCursorPosition(from);
        } else {
            line->setSelection(from, to - from);
        }
    }

    // What the user picked or typed, from the widget into the model.
    void pull() {
        if (syncing || !showing()) return;
        const int index = widget->currentIndex();
        if (const QLineEdit* line = widget->lineEdit()) {
            const auto [start, length] = selectionOf(line);
            combo.viewEdit(index, toStd(line->text()), start, length);
        } else {
            const bool inside = index >= 0 && index < combo.ListCount();
            combo.viewEdit(index, inside ? combo.entry(index).text : std::string(), 0, 0);
        }
    }

    ComboBox& combo;
    QPointer<QComboBox> widget;
    QObject context;  // the connections go with it
};

ComboBox::ComboBox(QComboBox* combo) : combo_(combo) {
    std::vector<ListEntry> entries;
    entries.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) {
        entries.push_back(ListEntry{toStd(combo->itemText(i)),
                                    static_cast<std::int32_t>(combo->itemData(i, Qt::UserRole).toInt())});
    }
    const int index = combo->currentIndex();
    startEntries(std::move(entries), index);
    if (const QLineEdit* line = combo->lineEdit()) {
        const auto [start, length] = selectionOf(line);
        viewEdit(index, toStd(line->text()), start, length);
    } else {
        viewEdit(index, toStd(combo->currentText()), 0, 0);
    }
    shown_ = std::make_unique<Shown>(*this, combo);
    listen(shown_.get());
}

ComboBox::~ComboBox() {
    listen(nullptr);
    shown_.reset();
}

ComboBox* ComboBox::shownIn(const QComboBox* combo) { return shownOn<ComboBox>(combo); }

std::string ComboBox::Name() const { return toStd(combo_->objectName()); }
std::string ComboBox::Tag() const { return tagOf(combo_); }
void ComboBox::Tag(const std::string& tag) { setTag(combo_, tag); }
bool ComboBox::editable() const { return combo_->isEditable(); }

std::int32_t ComboBox::Left() const { return pixelsToTwips(combo_->x(), logicalDpi(combo_)); }
std::int32_t ComboBox::Top() const { return pixelsToTwips(combo_->y(), logicalDpi(combo_)); }
std::int32_t ComboBox::Width() const { return pixelsToTwips(combo_->width(), logicalDpi(combo_)); }

void ComboBox::Move(std::int32_t left, std::int32_t top, std::int32_t width) {
    const int dpi = logicalDpi(combo_);
    combo_->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(width, dpi),
                        combo_->sizeHint().height());
    combo_->raise();
}

bool ComboBox::Visible() const { return !combo_->isHidden(); }
void ComboBox::Visible(bool visible) { combo_->setHidden(!visible); }

namespace {
// While the list of an editable combo shows, what the user types goes on into
// its edit text, as it does with the list a typed text drops; the keys that
// move in the list, pick (Enter takes the highlighted entry, the first one
// before any move) and close it stay the list's.
constexpr const char* kTypingGoesOn = "palvoTypingGoesOn";

class TypingGoesOn final : public QObject {
public:
    TypingGoesOn(QComboBox* combo, QAbstractItemView* view) : QObject(view), combo_(combo) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !combo_->lineEdit()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Backspace:
            case Qt::Key_Delete:
            case Qt::Key_Left:
            case Qt::Key_Right:
                break;
            default:
                if (key->text().isEmpty() || !key->text().at(0).isPrint()) return false;
        }
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                       static_cast<ushort>(key->count()));
        QCoreApplication::sendEvent(combo_->lineEdit(), &copy);
        return true;
    }

private:
    QComboBox* combo_;
};
}  // namespace

// Off the screen (its window closed) the box keeps what it was last asked.
bool ComboBox::DroppedDown() const {
    if (!combo_->isVisible()) return Palvo::ComboBox::DroppedDown();
    return combo_->view() && combo_->view()->isVisible();
}

void ComboBox::DroppedDown(bool dropped) {
    Palvo::ComboBox::DroppedDown(dropped);
    if (!combo_->isVisible() || dropped == DroppedDown()) return;
    if (!dropped) {
        combo_->hidePopup();
        return;
    }
    combo_->showPopup();
    // after the popup's own filter, so that this one sees the keys first
    QAbstractItemView* view = combo_->view();
    if (combo_->lineEdit() && !view->property(kTypingGoesOn).toBool()) {
        view->setProperty(kTypingGoesOn, true);
        view->installEventFilter(new TypingGoesOn(combo_, view));
    }
}

// ---------------------------------------------------------------- ListBox

// Shows the list box model in the QListView: the current row is the list
// index, the selection model's rows the marks, both ways.
struct ListBox::Shown final : EntriesShown {
    Shown(ListBox& l, QListView* v) : EntriesShown(l), list(l), view(v) {
        Busy busy(syncing);
        markShown(view.data(), &list);
        view->setModel(&model);
        QItemSelectionModel* selection = view->selectionModel();
        QObject::connect(selection, &QItemSelectionModel::currentRowChanged, &context,
                         [this](const QModelIndex& now) {
                             if (syncing || !showing()) return;
                             list.viewListIndex(now.isValid() ? now.row() : -1);
                         });
        QObject::connect(selection, &QItemSelectionModel::selectionChanged, &context,
                         [this](const QItemSelection& on, const QItemSelection& off) {
                             if (syncing || !showing()) return;
                             pullMarks(off);
                             pullMarks(on);
                         });
        pushCurrent();
        pushAllMarks();
    }

    ~Shown() override {
        if (!showing()) return;
        Busy busy(syncing);
        markShown<ListBox>(view.data(), nullptr);
        view->setModel(entriesLeftTo(view.data(), entriesNow(list)));
        pushAllMarks();
        if (list.ListIndex() >= 0) {
            view->selectionModel()->setCurrentIndex(view->model()->index(list.ListIndex(), 0),
                                                    QItemSelectionModel::NoUpdate);
        }
    }

    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    bool showing() const { return view && ListBox::shownIn(view) == &list; }

    void itemChanged(int index) override {
        model.rowChanged(index);
        if (!showing()) return;
        Busy busy(syncing);
        const bool mark = list.entry(index).selected;
        QItemSelectionModel* selection = view->selectionModel();
        const QModelIndex at = view->model()->index(index, 0);
        if (selection->isSelected(at) != mark)
            selection->select(at, mark ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    }
    void listIndexChanged() override { pushCurrent(); }
    void textChanged() override {}

    // The selection model moves the marks and the current row with the rows;
    // a removed current row leaves a neighbour current, which the model's -1 undoes.
    void settle() override {
        pushCurrent();
        syncing = false;
    }

    void pushCurrent() {
        if (!showing()) return;
        Busy busy(syncing);
        QItemSelectionModel* selection = view->selectionModel();
        const int want = list.ListIndex();
        const QModelIndex now = selection->currentIndex();
        const QModelIndex at = want >= 0 ? view->model()->index(want, 0) : QModelIndex();
        // a single-selection list box highlights its list index, as the platform's does
        if (view->selectionMode() == QAbstractItemView::SingleSelection) {
            const bool highlighted =
                want >= 0 ? selection->selectedIndexes() == QModelIndexList{at} : !selection->hasSelection();
            if (!highlighted) {
                if (want >= 0) {
                    selection->select(at, QItemSelectionModel::ClearAndSelect);
                } else {
                    selection->clearSelection();
                }
            }
            for (int i = 0; i < list.ListCount(); ++i) list.viewSelected(i, i == want);
        }
        if ((now.isValid() ? now.row() : -1) == want) return;
        selection->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    }

    void pushAllMarks() {
        if (!view) return;
        Busy busy(syncing);
        QItemSelection marked;
        for (int i = 0; i < list.ListCount(); ++i) {
            if (!list.entry(i).selected) continue;
            const QModelIndex at = view->model()->index(i, 0);
            marked.select(at, at);
        }
        view->selectionModel()->select(marked, QItemSelectionModel::ClearAndSelect);
    }

    void pullMarks(const QItemSelection& rows) {
        const QItemSelectionModel* selection = view->selectionModel();
        for (const QModelIndex& at : rows.indexes()) list.viewSelected(at.row(), selection->isSelected(at));
    }

    ListBox& list;
    QPointer<QListView> view;
    QObject context;  // the connections go with it
};

ListBox::ListBox(QListView* view) : view_(view) {
    if (qobject_cast<QListWidget*>(view)) {
        throw std::invalid_argument("a QListWidget keeps its own items; give the list box a QListView");
    }
    const QAbstractItemModel* model = view->model();
    startEntries(entriesOf(model, view->rootIndex(), view->modelColumn(), view->selectionModel()), -1);
    if (model) {
        const QModelIndex current = view->selectionModel()->currentIndex();
        viewListIndex(current.isValid() ? current.row() : -1);
    }
    shown_ = std::make_unique<Shown>(*this, view);
    listen(shown_.get());
}

ListBox::~ListBox() {
    listen(nullptr);
    shown_.reset();
}

ListBox* ListBox::shownIn(const QListView* view) { return shownOn<ListBox>(view); }

std::string ListBox::Name() const { return toStd(view_->objectName()); }
std::string ListBox::Tag() const { return tagOf(view_); }
void ListBox::Tag(const std::string& tag) { setTag(view_, tag); }

// ---------------------------------------------------------------- ListView

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void keyTaken() { throw Error(35602, "Key is not unique in collection"); }
}  // namespace

std::string ListItem::Text() const { return toStd(item_->text(0)); }
std::string ListItem::Key() const { return toStd(item_->data(0, Qt::UserRole).toString()); }

std::string ListItem::SubItems(int j) const {
    if (j < 1) badIndex();
    return toStd(item_->text(j));
}

void ListItem::SubItems(int j, const std::string& text) {
    if (j < 1) badIndex();
    item_->setText(j, toQString(text));
}

namespace {
// The number of headers the port added; the tree keeps at least one column for the item texts.
constexpr const char* kHeaderCountProperty = "palvoHeaderCount";
constexpr const char* kViewProperty = "View";
}  // namespace

ListView::ListView(QTreeWidget* tree) : tree_(tree) {
    tree_->setRootIsDecorated(false);
    tree_->setItemsExpandable(false);
    tree_->setUniformRowHeights(true);
    if (!tree_->property(kViewProperty).isValid()) tree_->setProperty(kViewProperty, 3);
}

ListView::~ListView() = default;

std::string ListView::Name() const { return toStd(tree_->objectName()); }

int ListView::View() const { return tree_->property(kViewProperty).toInt(); }

void ListView::View(int view) {
    // A QTreeWidget only has the report layout: other views are kept but shown as a report.
    tree_->setProperty(kViewProperty, view);
    tree_->header()->setVisible(true);
}

int ListView::ColumnHeadersCount() const { return tree_->property(kHeaderCountProperty).toInt(); }

void ListView::ColumnHeadersClear() {
    QTreeWidgetItem* header = tree_->headerItem();
    for (int c = 0; c < tree_->columnCount(); ++c) {
        header->setText(c, QString());
        header->setData(c, Qt::UserRole, QVariant());
    }
    tree_->setProperty(kHeaderCountProperty, 0);
}

void ListView::ColumnHeadersAdd(int index, const std::string& key, const std::string& text) {
    const int count = ColumnHeadersCount();
    if (index < 1 || index > count + 1) badIndex();
    QTreeWidgetItem* header = tree_->headerItem();
    const QString k = toQString(key);
    for (int c = 0; c < count; ++c) {
        if (!k.isEmpty() && header->data(c, Qt::UserRole).toString() == k) keyTaken();
    }
    if (tree_->columnCount() < count + 1) tree_->setColumnCount(count + 1);
    // Headers after the new one move right; the items' sub-items stay where they are.
    for (int c = count; c >= index; --c) {
        header->setText(c, header->text(c - 1));
        header->setData(c, Qt::UserRole, header->data(c - 1, Qt::UserRole));
    }
    header->setText(index - 1, toQString(text));
    header->setData(index - 1, Qt::UserRole, k);
    tree_->setProperty(kHeaderCountProperty, count + 1);
}

std::string ListView::ColumnHeaderText(int index) const {
    if (index < 1 || index > ColumnHeadersCount()) badIndex();
    return toStd(tree_->headerItem()->text(index - 1));
}

std::string ListView::ColumnHeaderKey(int index) const {
    if (index < 1 || index > ColumnHeadersCount()) badIndex();
    return toStd(tree_->headerItem()->data(index - 1, Qt::UserRole).toString());
}

void ListView::ListItemsClear() {
    items_.clear();
    tree_->clear();
    // With no items left, columns past the headers can go.
    tree_->setColumnCount(std::max(ColumnHeadersCount(), 1));
}

Palvo::ListItem& ListView::wrap(QTreeWidgetItem* item) {
    auto& slot = items_[item];
    if (!slot) slot = std::make_unique<ListItem>(item);
    return *slot;
}

Palvo::ListItem& ListView::ListItemsAdd(int index, const std::string& key, const std::string& text) {
    const int count = tree_->topLevelItemCount();
    if (index < 1 || index > count + 1) badIndex();
    const QString k = toQString(key);
    if (!k.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            if (tree_->topLevelItem(i)->data(0, Qt::UserRole).toString() == k) keyTaken();
        }
    }
    auto* item = new QTreeWidgetItem();
    item->setText(0, toQString(text));
    item->setData(0, Qt::UserRole, k);
    tree_->insertTopLevelItem(index - 1, item);
    return wrap(item);
}

int ListView::ListItemsCount() const { return tree_->topLevelItemCount(); }

Palvo::ListItem& ListView::ListItems(int index) {
    if (index < 1 || index > ListItemsCount()) badIndex();
    return wrap(tree_->topLevelItem(index - 1));
}

}  // namespace Palvo::qt
