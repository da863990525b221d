// The Qt text box (line or multi-line) and label.
#include "palvo/qt/text.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QVariant>
#include <algorithm>
#include <map>

#include "palvo/error.h"
#include "palvo/form.h"
#include "palvo/qt/lists.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }
[[noreturn]] void badCall() { throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument"); }

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

namespace {
constexpr const char* kPointerProperty = "palvoMousePointer";
constexpr const char* kMouseIconProperty = "palvoMouseIcon";
constexpr int kCustomPointer = 99;

[[noreturn]] void fileNotFound(const std::string& path) {
    throw Error(FormError::FileNotFound, "File not found: " + path);
}

void setFontFlag(QWidget* w, bool underline, bool value) {
    QFont f = w->font();
    if (underline) {
        f.setUnderline(value);
    } else {
        f.setBold(value);
    }
    w->setFont(f);
}
}  // namespace

// ---------------------------------------------------------------- Label

Label::Label(QLabel* label, int index) : label_(label), index_(index) {}

std::string Label::Name() const { return controlName(label_->objectName(), index_); }
std::string Label::Caption() const { return toStd(label_->text()); }
void Label::Caption(const std::string& caption) { label_->setText(toQString(caption)); }
bool Label::Visible() const { return !label_->isHidden(); }
void Label::Visible(bool visible) { label_->setHidden(!visible); }
std::string Label::ToolTipText() const { return toStd(label_->toolTip()); }
void Label::ToolTipText(const std::string& text) { label_->setToolTip(toQString(text)); }
std::string Label::Tag() const { return toStd(label_->property(kTagProperty).toString()); }
void Label::Tag(const std::string& tag) { label_->setProperty(kTagProperty, toQString(tag)); }
bool Label::Enabled() const { return label_->isEnabled(); }
void Label::Enabled(bool enabled) { label_->setEnabled(enabled); }

std::int32_t Label::ForeColor() const {
    return colorProperty(label_, kForeColorProperty, static_cast<std::int32_t>(0x80000012));
}
void Label::ForeColor(std::int32_t color) {
    setColor(label_, kForeColorProperty, QPalette::WindowText, color);
}

bool Label::FontUnderline() const { return label_->font().underline(); }
void Label::FontUnderline(bool underline) { setFontFlag(label_, true, underline); }

int Label::MousePointer() const { return label_->property(kPointerProperty).toInt(); }

void Label::MousePointer(int pointer) {
    label_->setProperty(kPointerProperty, pointer);
    applyPointer();
}

std::string Label::MouseIcon() const { return toStd(label_->property(kMouseIconProperty).toString()); }

void Label::MouseIcon(const std::string& path) {
    const QPixmap pixmap(toQString(path));
    if (pixmap.isNull()) fileNotFound(path);
    label_->setProperty(kMouseIconProperty, toQString(path));
    applyPointer();
}

void Label::applyPointer() {
    const QString icon = label_->property(kMouseIconProperty).toString();
    if (MousePointer() == kCustomPointer && !icon.isEmpty()) {
        label_->setCursor(QCursor(QPixmap(icon)));
    } else {
        label_->unsetCursor();
    }
}

bool Label::AutoSize() const { return label_->sizePolicy().horizontalPolicy() == QSizePolicy::Fixed; }

void Label::AutoSize(bool autoSize) {
    if (autoSize) {
        label_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        label_->adjustSize();
    } else {
        label_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
}

float Label::FontSize() const { return static_cast<float>(label_->font().pointSizeF()); }

void Label::FontSize(float points) {
    QFont f = label_->font();
    // Qt has no font below one point; the platform takes its smallest size too.
    f.setPointSizeF(std::max(points, 1.0f));
    label_->setFont(f);
    if (AutoSize()) label_->adjustSize();
}

bool Label::FontBold() const { return label_->font().bold(); }
void Label::FontBold(bool bold) { setFontFlag(label_, false, bold); }

}  // namespace Palvo::qt
