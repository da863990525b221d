#include "window_frame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "palvo/error.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/lists.h"
#include "palvo/qt/text.h"
#include "palvo/qt/translations.h"
#include "palvo/qt/window_host.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {
constexpr long kNoSuchControl = 730;  // "Control not found"
// The property that names the window control a widget stands for.
constexpr const char* kControlProperty = "palvoControl";
constexpr const char* kDialogFont = "Noto Sans CJK SC";

bool windowKeyOf(const QKeyEvent& e, WindowKey& key) {
    if ((e.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    switch (e.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = WindowKey::Enter;
            return true;
        case Qt::Key_Escape:
            key = WindowKey::Esc;
            return true;
        case Qt::Key_F4:
            key = WindowKey::F4;
            return true;
        case Qt::Key_F5:
            key = WindowKey::F5;
            return true;
        case Qt::Key_F8:
            key = WindowKey::F8;
            return true;
        case Qt::Key_Up:
            key = WindowKey::Up;
            return true;
        case Qt::Key_Down:
            key = WindowKey::Down;
            return true;
        default:
            return false;
    }
}

Qt::Key qtKeyOf(WindowKey key) {
    switch (key) {
        case WindowKey::Enter:
            return Qt::Key_Return;
        case WindowKey::Esc:
            return Qt::Key_Escape;
        case WindowKey::F4:
            return Qt::Key_F4;
        case WindowKey::F5:
            return Qt::Key_F5;
        case WindowKey::F8:
            return Qt::Key_F8;
        case WindowKey::Up:
            return Qt::Key_Up;
        case WindowKey::Down:
            return Qt::Key_Down;
    }
    return Qt::Key_unknown;
}

// The widget that receives a control's mouse events.
QWidget* mouseTarget(QWidget* w) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) return area->viewport();
    if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit()) return combo->lineEdit();
    return w;
}
}  // namespace

WindowFrame::WindowFrame(Window& window, WindowHost& host)
    : window_(&window), host_(host), layout_(window.layout()), name_(layout_.name) {
    build();
}

WindowFrame::~WindowFrame() {
    if (qApp) qApp->removeEventFilter(this);
    entries_.clear();  // the adapters go before their widgets
    look_.reset();
}

void WindowFrame::build() {
    ++depth_;  // building fires nothing
    dialog_ = std::make_unique<Dialog>();
    dialog_->setObjectName(toQString(layout_.name));
    dialog_->setWindowTitle(toQString(layout_.caption));
    dialog_->setWindowModality(Qt::ApplicationModal);
    QFont font = dialog_->font();
    font.setFamilies({QString::fromLatin1(kDialogFont)});
    dialog_->setFont(font);
    dpi_ = logicalDpi(dialog_.get());
    look_ = std::make_unique<qt::Form>(dialog_.get());

    auto* grid = new QGridLayout(dialog_.get());
    entries_.reserve(layout_.controls.size());
    for (const ControlDef& def : layout_.controls) {
        QWidget* w = makeWidget(def);
        w->setObjectName(toQString(def.name));
        w->setProperty(kControlProperty, toQString(def.name));
        if (!def.toolTip.empty()) w->setToolTip(toQString(def.toolTip));
        if (def.width > 0) w->setMinimumWidth(twipsToPixels(def.width, dpi_));
        if (def.height > 0) w->setMinimumHeight(twipsToPixels(def.height, dpi_));
        // a floating control stays out of the layout, placed by the window over the others
        if (!def.floats) grid->addWidget(w, def.row, def.col, def.rowSpan, def.colSpan);
        if (!def.visible) w->setHidden(true);
        entries_.push_back(Entry{&def, w, nullptr});
    }
    for (Entry& e : entries_) {
        if (e.def->floats) e.widget->raise();
    }
    for (int r : layout_.stretchRows) grid->setRowStretch(r, 1);
    for (int c : layout_.stretchCols) grid->setColumnStretch(c, 1);

    for (Entry& e : entries_) {
        const ControlDef& def = *e.def;
        switch (def.kind) {
            case ControlKind::Label:
                e.port = std::make_unique<Label>(static_cast<QLabel*>(e.widget));
                break;
            case ControlKind::TextBox:
                e.port = std::make_unique<TextBox>(static_cast<QLineEdit*>(e.widget));
                break;
            case ControlKind::TextArea:
                e.port = std::make_unique<TextBox>(static_cast<QPlainTextEdit*>(e.widget));
                break;
            case ControlKind::ComboBox:
            case ControlKind::DropDown: {
                auto combo = std::make_unique<ComboBox>(static_cast<QComboBox*>(e.widget));
                if (!def.caption.empty() && def.kind == ControlKind::ComboBox) combo->Text(def.caption);
                e.port = std::move(combo);
                break;
            }
            case ControlKind::ListBox:
                e.port = std::make_unique<ListBox>(static_cast<QListView*>(e.widget));
                break;
            case ControlKind::MSFlexGrid:
            case ControlKind::MSHFlexGrid:
                e.port = std::make_unique<FlexGrid>(
                    static_cast<QTableView*>(e.widget),
                    def.kind == ControlKind::MSFlexGrid ? GridType::MSFlexGrid : GridType::MSHFlexGrid);
                break;
            case ControlKind::Button:
                e.port = std::make_unique<CommandButton>(static_cast<QPushButton*>(e.widget),
                                                         layout_.pictures, layout_.pictureLooks);
                break;
        }
        wire(e);
    }

    widthTwips_ = layout_.width;
    heightTwips_ = layout_.height;
    dialog_->asked = QSize(twipsToPixels(widthTwips_, dpi_), twipsToPixels(heightTwips_, dpi_));
    dialog_->resize(dialog_->asked);
    dialog_->onCloseBox = [this] { Close(UnloadMode::CloseBox); };
    dialog_->onUserResize = [this] { userSized_ = true; };
    --depth_;
}

QWidget* WindowFrame::makeWidget(const ControlDef& def) {
    const QString caption = toQString(def.caption);
    switch (def.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(caption, dialog_.get());
            label->setTextFormat(Qt::PlainText);
            // a label across columns is a message and wraps; a caption stays on its line
            label->setWordWrap(def.colSpan > 1);
            return label;
        }
        case ControlKind::TextBox: {
            auto* edit = new QLineEdit(caption, dialog_.get());
            edit->setReadOnly(def.readOnly);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::TextArea: {
            auto* edit = new QPlainTextEdit(caption, dialog_.get());
            edit->setReadOnly(def.readOnly);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            return edit;
        }
        case ControlKind::ComboBox:
        case ControlKind::DropDown: {
            auto* combo = new QComboBox(dialog_.get());
            if (def.kind == ControlKind::ComboBox) {
                combo->setEditable(true);
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setCompleter(nullptr);  // the platform's combo completes nothing
            }
            return combo;
        }
        case ControlKind::ListBox: {
            auto* list = new QListView(dialog_.get());
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            list->setSelectionMode(def.multiSelect ? QAbstractItemView::MultiSelection
                                                   : QAbstractItemView::SingleSelection);
            return list;
        }
        case ControlKind::MSFlexGrid:
        case ControlKind::MSHFlexGrid: {
            auto* view = new QTableView(dialog_.get());
            if (def.kind == ControlKind::MSHFlexGrid) view->setProperty("GridType", "MSHFlexGrid");
            return view;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, dialog_.get());
            button->setAutoDefault(false);  // Enter is the window's
            button->setDefault(def.isDefault);
            return button;
        }
    }
    throw Error(ErrorNumber::InvalidCall, "unknown control kind of " + def.name);
}

void WindowFrame::wire(Entry& e) {
    const std::string name = e.def->name;
    const auto clickIt = [this, name] { user([name](Window& w) { w.Click(name); }); };
    const auto changeIt = [this, name] { user([name](Window& w) { w.Change(name); }); };
    QObject* ctx = dialog_.get();
    if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
        QObject::connect(button, &QAbstractButton::clicked, ctx, clickIt);
    } else if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) {
        QObject::connect(edit, &QLineEdit::textEdited, ctx, changeIt);
    } else if (auto* area = qobject_cast<QPlainTextEdit*>(e.widget)) {
        QObject::connect(area, &QPlainTextEdit::textChanged, ctx, changeIt);
    } else if (auto* combo = qobject_cast<QComboBox*>(e.widget)) {
        QObject::connect(combo, &QComboBox::activated, ctx, clickIt);
        if (combo->lineEdit()) QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, ctx, changeIt);
    } else if (auto* list = qobject_cast<QListView*>(e.widget)) {
        // the list box's adapter follows the selection model first, so the window reads the pick
        if (e.def->multiSelect) {
            QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, ctx, clickIt);
        } else {
            QObject::connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, ctx, clickIt);
        }
    } else if (auto* view = qobject_cast<QTableView*>(e.widget)) {
        auto* grid = static_cast<FlexGrid*>(e.port.get());
        // the user moves the grid's current cell; the window reads it through the port
        QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, ctx,
                         [this, grid, name](const QModelIndex& now) {
                             if (depth_ > 0 || !now.isValid()) return;
                             ++depth_;
                             try {
                                 grid->Row(now.row());
                                 grid->Col(now.column());
                             } catch (const Error&) {
                             }
                             --depth_;
                             user([name](Window& w) { w.RowColChange(name); });
                         });
        QObject::connect(view, &QAbstractItemView::clicked, ctx, [this, name, view, grid] {
            user([name](Window& w) { w.Click(name); });
            focusCellEditor(view, *grid);
        });
    }
}

// A click on a cell the window answers by laying an editor over it: the
// keyboard goes to the editor, so the user types into the cell at once.
// Moving the cell by keys leaves the focus on the grid, which the keys move.
void WindowFrame::focusCellEditor(QTableView* view, const FlexGrid& grid) {
    if (!window_ || closing_ || dialog_->focusWidget() != view) return;
    const std::string name = cellEditor(*window_, *this, grid);
    Entry* e = entry(name);
    if (!e || !e->widget->isEnabled() || !e->widget->isVisible()) return;
    e->widget->setFocus(Qt::MouseFocusReason);
    // without an active window Qt moves no focus: move it as SetFocus does
    if (active_ != name) {
        active_ = name;
        fire([name](Window& w) { w.GotFocus(name); });
    }
}

WindowFrame::Entry* WindowFrame::entry(std::string_view name) {
    for (Entry& e : entries_) {
        if (e.def->name == name) return &e;
    }
    return nullptr;
}

WindowFrame::Entry* WindowFrame::entryOf(QWidget* w) {
    for (; w && w != dialog_.get(); w = w->parentWidget()) {
        const QVariant name = w->property(kControlProperty);
        if (name.isValid()) return entry(toStd(name.toString()));
        if (w->isWindow()) return nullptr;
    }
    return nullptr;
}

std::vector<Control*> WindowFrame::Controls() {
    std::vector<Control*> all;
    all.reserve(entries_.size());
    for (Entry& e : entries_) all.push_back(e.port.get());
    return all;
}

std::int32_t WindowFrame::Height() const {
    return userSized_ ? pixelsToTwips(dialog_->height(), dpi_) : heightTwips_;
}

void WindowFrame::Height(std::int32_t twips) {
    if (userSized_) widthTwips_ = pixelsToTwips(dialog_->width(), dpi_);
    userSized_ = false;
    heightTwips_ = twips;
    dialog_->asked = QSize(twipsToPixels(widthTwips_, dpi_), twipsToPixels(twips, dpi_));
    dialog_->resize(dialog_->asked);
}

std::int32_t WindowFrame::Width() const {
    return userSized_ ? pixelsToTwips(dialog_->width(), dpi_) : widthTwips_;
}

Control& WindowFrame::control(std::string_view name) {
    if (Entry* e = entry(name)) return *e->port;
    throw Error(kNoSuchControl, "Control '" + std::string(name) + "' not found on " + name_);
}

// As on the memory host: the controls whose ports have Enabled and Visible
// follow them, lists, combo boxes and grids always take the focus.
bool WindowFrame::takesFocus(const Entry& e) const {
    switch (e.def->kind) {
        case ControlKind::Label:
            return false;
        case ControlKind::TextBox:
        case ControlKind::TextArea:
        case ControlKind::Button:
            return e.widget->isEnabled() && !e.widget->isHidden();
        default:
            return true;
    }
}

void WindowFrame::SetFocus(std::string_view name) {
    Entry* e = entry(name);
    if (!e) control(name);  // throws 730
    if (!takesFocus(*e)) {
        throw Error(ErrorNumber::InvalidCall,
                    "Invalid procedure call: " + std::string(name) + " cannot take the focus");
    }
    if (active_ == name) return;  // focus that does not move is no focus event
    active_ = std::string(name);  // so Qt's own focus signal is not taken for a move
    e->widget->setFocus(Qt::OtherFocusReason);
    const std::string n = active_;
    call([n](Window& w) { w.GotFocus(n); });
}

void WindowFrame::Close(UnloadMode mode) {
    if (closing_) return;
    closing_ = true;
    mode_ = mode;
    if (depth_ == 0) settle();
}

void WindowFrame::call(const std::function<void(Window&)>& code) {
    if (!window_) return;
    if (depth_ > 0) {
        // window code calling back into the window: its errors are its caller's
        ++depth_;
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{depth_};
        code(*window_);
        return;
    }
    ++depth_;
    try {
        code(*window_);
    } catch (...) {
        --depth_;
        fail(std::current_exception());
        settle();
        return;
    }
    --depth_;
    settle();
}

void WindowFrame::fire(const std::function<void(Window&)>& handler) {
    if (!window_ || depth_ > 0 || closing_) return;
    call(handler);
}

void WindowFrame::user(const std::function<void(Window&)>& handler) {
    if (!window_ || depth_ > 0 || closing_) return;
    ++wired_;
    call(handler);
}

void WindowFrame::fail(std::exception_ptr error) {
    if (!error_) error_ = std::move(error);
    if (!closing_) {
        closing_ = true;
        mode_ = UnloadMode::CloseBox;
    }
}

void WindowFrame::settle() {
    syncGridViews();
    if (!closing_ || finished_) return;
    finished_ = true;
    if (host_.beforeClose_ && dialog_->isVisible()) {
        ++depth_;
        try {
            host_.beforeClose_(*dialog_);
        } catch (...) {
            if (!error_) error_ = std::current_exception();
        }
        --depth_;
    }
    dialog_->done(0);
    if (loop_) loop_->quit();
}

void WindowFrame::syncGridViews() {
    ++depth_;
    for (Entry& e : entries_) {
        auto* view = qobject_cast<QTableView*>(e.widget);
        if (!view) continue;
        auto* grid = static_cast<FlexGrid*>(e.port.get());
        const int r = grid->Row();
        const int c = grid->Col();
        if (r < grid->FixedRows() || r >= grid->Rows() || c < grid->FixedCols() || c >= grid->Cols())
            continue;
        const QModelIndex at = view->model()->index(r, c);
        if (view->currentIndex() == at) continue;
        QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect;
        if (grid->SelectionMode() == 1) how |= QItemSelectionModel::Rows;
        view->selectionModel()->setCurrentIndex(at, how);
    }
    --depth_;
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || !window_ || finished_) return false;
    if (w != dialog_.get() && !dialog_->isAncestorOf(w)) return false;
    // an event a child left unhandled goes on to its parents (as a copy, for the mouse): handle it once
    const quint64 time = static_cast<QInputEvent*>(event)->timestamp();
    if (type == seenType_ && time == seenTime_ && seenAt_ && w != seenAt_ && w->isAncestorOf(seenAt_)) {
        return false;
    }
    const bool synthetic = !event->spontaneous();
    if (type == QEvent::KeyPress) {
        WindowKey k;
        if (!windowKeyOf(*static_cast<QKeyEvent*>(event), k)) return false;
        seenType_ = type;
        seenTime_ = time;
        seenAt_ = w;
        if (depth_ > 0 || closing_) return true;
        bool used = false;
        call([&used, k](Window& win) { used = win.pressKey(k); });
        // a played key is the window's alone, as in the headless host
        return used || synthetic;
    }
    Entry* e = entryOf(w);
    if (!e) return false;
    if (type == QEvent::MouseButtonRelease && e->def->kind != ControlKind::Label) return false;
    seenType_ = type;
    seenTime_ = time;
    seenAt_ = w;
    const std::string name = e->def->name;
    if (type == QEvent::MouseButtonDblClick) {
        user([name](Window& win) { win.DblClick(name); });
    } else {
        user([name](Window& win) { win.Click(name); });
    }
    return synthetic;
}

// ---------------------------------------------------------------- showing and playing

void WindowFrame::queueAnswers() {
    if (host_.script_) queueScriptAnswers(*host_.script_, host_.messages_.get());
}

void WindowFrame::run() {
    try {
        queueAnswers();
    } catch (...) {
        fail(std::current_exception());
    }
    if (!closing_) call([](Window& w) { w.Load(); });
    if (!closing_) {
        dialog_->show();
        dialog_->activateWindow();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // focus moves before the window is activated are Qt's own, not the user's
    QObject::connect(qApp, &QApplication::focusChanged, dialog_.get(), [this](QWidget*, QWidget* now) {
        if (!activated_ || depth_ > 0 || closing_ || !now) return;
        Entry* e = entryOf(now);
        if (!e || e->def->name == active_) return;
        active_ = e->def->name;
        const std::string n = active_;
        user([n](Window& w) { w.GotFocus(n); });
    });
    qApp->installEventFilter(this);
    activated_ = true;
    if (!closing_) call([](Window& w) { w.Activate(); });
    if (!closing_ && active_.empty()) {
        // no control was given the focus: none has it, so the user's first click on one is a focus event
        if (QWidget* first = dialog_->focusWidget()) first->clearFocus();
    }
    if (!closing_) {
        if (host_.script_) QTimer::singleShot(0, dialog_.get(), [this] { step(); });
        QEventLoop loop;
        loop_ = &loop;
        loop.exec(QEventLoop::DialogExec);
        loop_ = nullptr;
    }
    qApp->removeEventFilter(this);
    dialog_->hide();
    std::exception_ptr error = error_;
    Window& window = *window_;
    ++depth_;
    try {
        window.Unload(mode_);
    } catch (...) {
        if (!error) error = std::current_exception();
    }
    --depth_;
    window.attach(nullptr);
    window_ = nullptr;
    if (error) std::rethrow_exception(error);
}

void WindowFrame::step() {
    if (closing_) return;
    if (depth_ > 0) {
        // a handler waits in a nested event loop (a message box): play on when it returns
        QTimer::singleShot(10, dialog_.get(), [this] { step(); });
        return;
    }
    try {
        queueAnswers();
        WindowScript& script = *host_.script_;
        if (script.empty()) {
            Close(UnloadMode::CloseBox);
            return;
        }
        playAction(*window_, *this, *this, script.take());
    } catch (...) {
        fail(std::current_exception());
        settle();
        return;
    }
    if (!closing_) QTimer::singleShot(0, dialog_.get(), [this] { step(); });
}

// What a user's mouse does first: the control takes the focus.
bool WindowFrame::focus(const ControlDef& def) {
    Entry& e = *entry(def.name);
    if (!takesFocus(e)) return false;
    e.widget->setFocus(Qt::MouseFocusReason);
    // without an active window Qt moves no focus: move it as SetFocus does
    if (active_ != def.name && !closing_) {
        const std::string n = def.name;
        active_ = n;
        fire([n](Window& w) { w.GotFocus(n); });
    }
    return true;
}

namespace {
// Types the text over the whole content, as one edit.
void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
}
}  // namespace

void WindowFrame::type(const ControlDef& def, const std::string& typed) {
    Entry& e = *entry(def.name);
    const QString text = toQString(typed);
    const std::string name = def.name;
    const int before = wired_;
    if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) {
        typeInto(edit, text);
        if (edit->text() != text) {  // a read-only box takes no typing; the script sets it all the same
            ++depth_;
            edit->setText(text);
            --depth_;
        }
    } else if (auto* area = qobject_cast<QPlainTextEdit*>(e.widget)) {
        QTextCursor c = area->textCursor();
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.insertText(text);
        c.endEditBlock();
    } else {
        auto* combo = qobject_cast<QComboBox*>(e.widget);
        combo->setCurrentIndex(-1);
        typeInto(combo->lineEdit(), text);
    }
    // typing what is there already is still an edit to the window
    if (wired_ == before) fire([name](Window& w) { w.Change(name); });
}

void WindowFrame::pick(const ControlDef& def, int index) {
    Entry& e = *entry(def.name);
    const std::string name = def.name;
    if (dynamic_cast<ListControl*>(e.port.get())) {
        const int before = wired_;
        if (auto* combo = qobject_cast<QComboBox*>(e.widget)) {
            combo->setCurrentIndex(index);
            emit combo->activated(index);
        } else if (auto* box = qobject_cast<QListView*>(e.widget)) {
            // a click on an entry of a single-selection list highlights it alone
            box->selectionModel()->setCurrentIndex(box->model()->index(index, 0),
                                                   box->selectionMode() == QAbstractItemView::SingleSelection
                                                       ? QItemSelectionModel::ClearAndSelect
                                                       : QItemSelectionModel::NoUpdate);
        }
        if (wired_ == before) fire([name](Window& w) { w.Click(name); });
        return;
    }
    auto* grid = dynamic_cast<FlexGrid*>(e.port.get());
    auto* view = static_cast<QTableView*>(e.widget);
    const int col = std::max(grid->Col(), grid->FixedCols());
    if (col < grid->Cols()) view->setCurrentIndex(view->model()->index(index, col));
    if (grid->Row() != index) {
        ++depth_;
        grid->Row(index);
        --depth_;
    }
}

void WindowFrame::click(const ControlDef& def, bool twice) {
    Entry& e = *entry(def.name);
    const std::string name = def.name;
    const ControlKind kind = def.kind;
    const int before = wired_;
    if (auto* button = qobject_cast<QPushButton*>(e.widget); button && !twice) {
        button->click();
    } else if (twice ? kind != ControlKind::Button : kind == ControlKind::Label) {
        // the mouse on the control; a button's double click is two clicks to Qt, played below
        QWidget* at = mouseTarget(e.widget);
        const QPointF centre(at->width() / 2.0, at->height() / 2.0);
        QMouseEvent mouse(twice ? QEvent::MouseButtonDblClick : QEvent::MouseButtonRelease, centre,
                          at->mapToGlobal(centre), Qt::LeftButton, twice ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(at, &mouse);
    }
    if (wired_ != before) return;
    if (twice) {
        fire([name](Window& w) { w.DblClick(name); });
    } else {
        fire([name](Window& w) { w.Click(name); });
    }
}

// The mouse on the cell.
std::string WindowFrame::clickCell(const ControlDef& def, int row, int col) {
    Entry& e = *entry(def.name);
    auto* grid = dynamic_cast<FlexGrid*>(e.port.get());
    auto* view = static_cast<QTableView*>(e.widget);
    const QModelIndex at = view->model()->index(row, col);
    view->scrollTo(at);
    const QRect cell = view->visualRect(at);
    if (cell.isEmpty()) return "the cell is not shown";
    const int before = wired_;
    QWidget* port = view->viewport();
    const QPointF centre = QRectF(cell).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, port->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, port->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(port, &release);
    if (closing_) return {};
    if (grid->Row() != row || grid->Col() != col) return "the click did not reach the cell";
    if (wired_ == before) {
        const std::string name = def.name;
        fire([name](Window& w) { w.Click(name); });
    }
    return {};
}

void WindowFrame::press(WindowKey k) {
    QWidget* at = nullptr;
    if (Entry* e = entry(active_)) at = e->widget->focusProxy() ? e->widget->focusProxy() : e->widget;
    if (!at) at = dialog_.get();
    QKeyEvent press(QEvent::KeyPress, qtKeyOf(k), Qt::NoModifier);
    QApplication::sendEvent(at, &press);
}

}  // namespace Palvo::qt
