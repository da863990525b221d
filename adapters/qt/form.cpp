#include "palvo/qt/form.h"

#include <QComboBox>
#include <QCursor>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <algorithm>
#include <map>

#include "palvo/error.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/lists.h"
#include "palvo/qt/text.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {
constexpr const char* kIconProperty = "palvoIcon";

[[noreturn]] void fileNotFound(const std::string& path) {
    throw Error(FormError::FileNotFound, "File not found: " + path);
}
}  // namespace

// ---------------------------------------------------------------- Form

namespace {

/// Any other widget: its name and Qt class name, nothing else.
class OtherControl : public Control {
public:
    explicit OtherControl(QWidget* w) : w_(w) {}
    std::string typeName() const override { return w_->metaObject()->className(); }
    std::string Name() const override { return toStd(w_->objectName()); }

private:
    QWidget* w_;
};

template <class Port>
class WidgetArray : public ControlArray<Port> {
public:
    int Count() const override { return static_cast<int>(members.size()); }
    int UBound() const override { return members.empty() ? -1 : members.rbegin()->first; }
    Port& operator()(int index) override {
        auto it = members.find(index);
        if (it == members.end()) {
            throw Error(FormError::NoArrayElement,
                        "Control array element '" + std::to_string(index) + "' doesn't exist");
        }
        return *it->second;
    }
    std::map<int, Port*> members;
};

// "TXT_3" -> 3 for the given prefix; -1 for any other name.
int arrayIndex(const QString& name, const QString& prefix) {
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    if (!name.startsWith(prefix)) return -1;
    const QString rest = name.mid(prefix.size());
    if (!digits.match(rest).hasMatch()) return -1;
    bool ok = false;
    const int i = rest.toInt(&ok);
    return ok ? i : -1;
}

}  // namespace

struct Form::Private {
    std::map<const QWidget*, std::unique_ptr<Control>> adapters;
    WidgetArray<Palvo::TextBox> txt;
    WidgetArray<Palvo::Label> lbl;
};

Form::Form(QWidget* form) : form_(form), d_(std::make_unique<Private>()) {}
Form::~Form() = default;

std::string Form::Name() const { return toStd(form_->objectName()); }

std::int32_t Form::BackColor() const {
    return colorProperty(form_, kBackColorProperty, static_cast<std::int32_t>(0x8000000F));
}
void Form::BackColor(std::int32_t color) {
    setColor(form_, kBackColorProperty, QPalette::Window, color);
    form_->setAutoFillBackground(true);
}
std::int32_t Form::ForeColor() const {
    return colorProperty(form_, kForeColorProperty, static_cast<std::int32_t>(0x80000012));
}
void Form::ForeColor(std::int32_t color) { setColor(form_, kForeColorProperty, QPalette::WindowText, color); }

std::string Form::Icon() const { return toStd(form_->property(kIconProperty).toString()); }

void Form::Icon(const std::string& path) {
    const QPixmap pixmap(toQString(path));
    if (pixmap.isNull()) fileNotFound(path);
    form_->setWindowIcon(QIcon(pixmap));
    form_->setProperty(kIconProperty, toQString(path));
}

namespace {

// A view that shows a grid, or may: one that shows no model of the host's. A
// QTableWidget keeps its own model, so it shows no grid.
bool isGridView(const QTableView* table) {
    if (qobject_cast<const QTableWidget*>(table)) return false;
    return FlexGrid::shownIn(table) != nullptr || table->model() == nullptr;
}

// A list view that shows a list box, or may: a plain QListView that shows no
// model of the host's (a QListWidget keeps its own items; a combo's popup shows the
// combo's), or only the entries a list box left it.
bool isListView(const QListView* list) {
    if (qobject_cast<const QListWidget*>(list)) return false;
    if (ListBox::shownIn(list) != nullptr || list->model() == nullptr) return true;
    return list->model()->property(kLeftEntriesProperty).value<quintptr>() ==
           reinterpret_cast<quintptr>(list);
}

}  // namespace

Control* Form::adapterFor(QWidget* w) {
    if (auto* table = qobject_cast<QTableView*>(w); table && isGridView(table)) return gridFor(table);
    // The list the widget shows: the host's when it made one, else the form's own (a new
    // one when none shows, or the form's own was taken over by an adapter that is gone since).
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (ComboBox* shown = ComboBox::shownIn(combo)) return shown;
        return (d_->adapters[w] = std::make_unique<ComboBox>(combo)).get();
    }
    if (auto* list = qobject_cast<QListView*>(w); list && isListView(list)) {
        if (ListBox* shown = ListBox::shownIn(list)) return shown;
        return (d_->adapters[w] = std::make_unique<ListBox>(list)).get();
    }
    auto& slot = d_->adapters[w];
    if (slot) return slot.get();
    const QString name = w->objectName();
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        // A QComboBox's own line edit is part of the combo, not a control of the form.
        if (qobject_cast<QComboBox*>(w->parentWidget())) return nullptr;
        slot = std::make_unique<TextBox>(line, arrayIndex(name, QStringLiteral("TXT_")));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        slot = std::make_unique<TextBox>(plain, arrayIndex(name, QStringLiteral("TXT_")));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        slot = std::make_unique<Label>(label, arrayIndex(name, QStringLiteral("lbl_")));
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
        slot = std::make_unique<ListView>(tree);
    } else if (w->parentWidget() == form_) {
        slot = std::make_unique<OtherControl>(w);
    } else {
        // Parts of composite widgets (viewports, scroll bars, headers) are no controls of the form.
        return nullptr;
    }
    return slot.get();
}

// The grid the view shows: the host's when it made one, else the form's own.
Control* Form::gridFor(QTableView* table) {
    if (FlexGrid* shown = FlexGrid::shownIn(table)) return shown;
    // None yet, or the form's own was taken over by an adapter that is gone since: a new one.
    auto& slot = d_->adapters[table];
    const bool h = table->property("GridType").toString() == QStringLiteral("MSHFlexGrid");
    slot = std::make_unique<FlexGrid>(table, h ? GridType::MSHFlexGrid : GridType::MSFlexGrid);
    return slot.get();
}

std::vector<Control*> Form::Controls() {
    std::vector<Control*> out;
    // Guarded: a grid made during the walk replaces its view's headers, which are in the list.
    std::vector<QPointer<QWidget>> widgets;
    for (QWidget* w : form_->findChildren<QWidget*>()) widgets.emplace_back(w);
    for (const QPointer<QWidget>& w : widgets) {
        if (!w) continue;
        if (Control* c = adapterFor(w)) out.push_back(c);
    }
    return out;
}

Palvo::ControlArray<Palvo::TextBox>& Form::TXT() {
    d_->txt.members.clear();
    for (QWidget* w : form_->findChildren<QWidget*>()) {
        const int i = arrayIndex(w->objectName(), QStringLiteral("TXT_"));
        if (i < 0 || !(qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w))) continue;
        d_->txt.members[i] = static_cast<Palvo::TextBox*>(adapterFor(w));
    }
    return d_->txt;
}

Palvo::ControlArray<Palvo::Label>& Form::lbl() {
    d_->lbl.members.clear();
    for (QLabel* l : form_->findChildren<QLabel*>()) {
        const int i = arrayIndex(l->objectName(), QStringLiteral("lbl_"));
        if (i < 0) continue;
        d_->lbl.members[i] = static_cast<Palvo::Label*>(adapterFor(l));
    }
    return d_->lbl;
}

}  // namespace Palvo::qt
