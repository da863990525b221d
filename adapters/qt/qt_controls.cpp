#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTreeWidget>
#include <QVariant>
#include <algorithm>

#include "palvo/error.h"
#include "palvo/qt/lists.h"
#include "palvo/qt/text.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {
[[noreturn]] void badIndex() { throw Error(381, "Invalid property array index"); }
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }
[[noreturn]] void badCall() { throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument"); }
[[noreturn]] void keyTaken() { throw Error(35602, "Key is not unique in collection"); }

std::string tagOf(const QObject* o) { return toStd(o->property(kTagProperty).toString()); }
void setTag(QObject* o, const std::string& tag) { o->setProperty(kTagProperty, toQString(tag)); }

// QLineEdit's maxLength when nothing limits the text.
constexpr int kQtNoLimit = 32767;
constexpr const char* kMaxLengthProperty = "palvoMaxLength";
}  // namespace

// ---------------------------------------------------------------- TextBox

TextBox::TextBox(QLineEdit* edit, int index) : line_(edit), index_(index) {}
TextBox::TextBox(QPlainTextEdit* edit, int index) : plain_(edit), index_(index) {}

QWidget* TextBox::widget() const {
    if (line_) return line_;
    return plain_;
}

std::string TextBox::Name() const { return controlName(widget()->objectName(), index_); }

std::string TextBox::Text() const { return toStd(line_ ? line_->text() : plain_->toPlainText()); }

void TextBox::Text(const std::string& text) {
    if (line_) {
        line_->setText(toQString(text));
        line_->setCursorPosition(0);
        return;
    }
    plain_->setPlainText(toQString(text));
    QTextCursor c = plain_->textCursor();
    c.setPosition(0);
    plain_->setTextCursor(c);
}

int TextBox::SelStart() const {
    if (line_) {
        const int units = line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition();
        return charsBefore(line_->text(), units);
    }
    return charsBefore(plain_->toPlainText(), plain_->textCursor().selectionStart());
}

void TextBox::SelStart(int start) {
    if (start < 0) badValue();
    if (line_) {
        line_->deselect();
        line_->setCursorPosition(unitsFor(line_->text(), start));
        return;
    }
    QTextCursor c = plain_->textCursor();
    c.setPosition(unitsFor(plain_->toPlainText(), start));
    plain_->setTextCursor(c);
}

int TextBox::SelLength() const {
    if (line_) return line_->hasSelectedText() ? charCount(line_->selectedText()) : 0;
    const QTextCursor c = plain_->textCursor();
    const QString text = plain_->toPlainText();
    return charsBefore(text, c.selectionEnd()) - charsBefore(text, c.selectionStart());
}

void TextBox::SelLength(int length) {
    if (length < 0) badValue();
    const QString text = line_ ? line_->text() : plain_->toPlainText();
    const int start = SelStart();
    const int from = unitsFor(text, start);
    const int to = unitsFor(text, start + length);
    if (line_) {
        if (to == from) {
            line_->deselect();
            line_->setCursorPosition(from);
        } else {
            line_->setSelection(from, to - from);
        }
        return;
    }
    QTextCursor c = plain_->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    plain_->setTextCursor(c);
}

void TextBox::SetFocus() {
    if (!widget()->isEnabled()) badCall();
    widget()->setFocus(Qt::OtherFocusReason);
}

bool TextBox::Enabled() const { return widget()->isEnabled(); }
void TextBox::Enabled(bool enabled) { widget()->setEnabled(enabled); }

bool TextBox::Visible() const { return !widget()->isHidden(); }
void TextBox::Visible(bool visible) { widget()->setHidden(!visible); }

int TextBox::MaxLength() const {
    if (line_) return line_->maxLength() >= kQtNoLimit ? 0 : line_->maxLength();
    return plain_->property(kMaxLengthProperty).toInt();
}

void TextBox::MaxLength(int length) {
    if (length < 0) badValue();
    if (line_) {
        line_->setMaxLength(length == 0 ? kQtNoLimit : length);
        return;
    }
    plain_->setProperty(kMaxLengthProperty, length);
}

std::string TextBox::Tag() const { return tagOf(widget()); }
void TextBox::Tag(const std::string& tag) { setTag(widget(), tag); }

namespace {
// The colours as the port set them (a system colour stays a system colour); the platform's defaults
// otherwise.
constexpr std::int32_t kWindowBackground = static_cast<std::int32_t>(0x80000005);
constexpr std::int32_t kWindowText = static_cast<std::int32_t>(0x80000008);
}  // namespace

std::int32_t TextBox::BackColor() const {
    return colorProperty(widget(), kBackColorProperty, kWindowBackground);
}
// A disabled box shows the style's disabled colours whatever was set, so it never looks editable.
void TextBox::BackColor(std::int32_t color) {
    setEnabledColor(widget(), kBackColorProperty, QPalette::Base, color);
}
std::int32_t TextBox::ForeColor() const { return colorProperty(widget(), kForeColorProperty, kWindowText); }
void TextBox::ForeColor(std::int32_t color) {
    setEnabledColor(widget(), kForeColorProperty, QPalette::Text, color);
}

int TextBox::Appearance() const {
    if (line_) return line_->hasFrame() ? 1 : 0;
    return plain_->frameShape() == QFrame::NoFrame ? 0 : 1;
}

void TextBox::Appearance(int appearance) {
    if (line_) {
        line_->setFrame(appearance != 0);
        return;
    }
    plain_->setFrameShape(appearance != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
}

float TextBox::FontSize() const { return static_cast<float>(widget()->font().pointSizeF()); }

void TextBox::FontSize(float points) {
    QFont f = widget()->font();
    // Qt has no font below one point; the platform takes its smallest size too.
    f.setPointSizeF(std::max(points, 1.0f));
    widget()->setFont(f);
}

bool TextBox::FontBold() const { return widget()->font().bold(); }

void TextBox::FontBold(bool bold) {
    QFont f = widget()->font();
    f.setBold(bold);
    widget()->setFont(f);
}

// The document is laid out for the box's size when the box is shown; a box
// sized while hidden gets the resize it has pending first, as showing it would.
void TextBox::layOut() const {
    QWidget* boxes[] = {plain_, plain_->viewport()};
    for (QWidget* w : boxes) {
        if (!w->testAttribute(Qt::WA_PendingResizeEvent)) continue;
        QResizeEvent resized(w->size(), QSize());
        QCoreApplication::sendEvent(w, &resized);
        w->setAttribute(Qt::WA_PendingResizeEvent, false);
    }
}

namespace {
// Calls f(text of the line) for every line the layout shows, until f returns false.
template <typename F>
void forEachShownLine(QPlainTextEdit* edit, F f) {
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(edit->document()->documentLayout());
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        if (layout) layout->ensureBlockLayout(block);
        const QTextLayout* lines = block.layout();
        const QString text = block.text();
        if (!lines || lines->lineCount() == 0) {
            if (!f(text)) return;
            continue;
        }
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            QString shown = text.mid(line.textStart(), line.textLength());
            shown.remove(QChar::LineSeparator);
            if (!f(shown)) return;
        }
    }
}
}  // namespace

int TextBox::LineCount() const {
    if (line_) return 1;
    layOut();
    int count = 0;
    forEachShownLine(plain_, [&](const QString&) { return ++count, true; });
    return count;
}

std::string TextBox::Line(int index) const {
    if (line_) return index == 0 ? Text() : std::string();
    if (index < 0) return {};
    layOut();
    QString found;
    int at = 0;
    forEachShownLine(plain_, [&](const QString& shown) {
        if (at++ < index) return true;
        found = shown;
        return false;
    });
    return toStd(found);
}

std::vector<std::string> TextBox::Lines() const {
    if (line_) return {Text()};
    layOut();
    std::vector<std::string> out;
    forEachShownLine(plain_, [&](const QString& shown) { return out.push_back(toStd(shown)), true; });
    return out;
}

// ---------------------------------------------------------------- ListView

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
