// Qt 6 Widgets adapters: the text box and the label. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
//
// Lifetime: every control adapter keeps a non-owning pointer to its widget.
// The host owns the widget and must keep it alive as long as the adapter;
// make one adapter per widget. Use them on the GUI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"
#include "palvo/export.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
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
/// The lines of a QPlainTextEdit are those of its own text layout, as it
/// wraps them on screen; a QLineEdit shows one.
class PALVO_API TextBox : public Palvo::TextBox {
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
    int LineCount() const override;
    std::string Line(int index) const override;
    std::vector<std::string> Lines() const override;

private:
    QWidget* widget() const;
    void layOut() const;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
    int index_ = -1;
};

/// A label over a QLabel: ForeColor is the WindowText colour, MousePointer 99
/// shows the pointer loaded by MouseIcon (any image or cursor file Qt reads).
class PALVO_API Label : public Palvo::Label {
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

}  // namespace Palvo::qt
