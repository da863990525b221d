// Small helpers shared by the Qt adapters: colours, twips, text and message box styles.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace Palvo::qt {

// ---- colours: 0xBBGGRR, or 0x80000000 + n for system colour n

/// The palette role that stands for system colour index n; false for an index the library never uses.
bool systemColorRole(int index, QPalette::ColorGroup& group, QPalette::ColorRole& role);
/// A colour in the host's encoding as a QColor, system colours taken from palette.
/// An unknown system colour index gives an invalid QColor.
QColor toQColor(std::int32_t color, const QPalette& palette);
/// A QColor in 0xBBGGRR (alpha dropped).
std::int32_t fromQColor(const QColor& color);

/// On the model a list adapter leaves its widget when it goes, that widget (a quintptr): the
/// widget may show a list again, and a combo's popup view, which shows it too, is no list box.
inline constexpr const char* kLeftEntriesProperty = "palvoLeftEntries";

/// Where a widget keeps the colours the port set, so a system colour reads back as one.
inline constexpr const char* kForeColorProperty = "palvoForeColor";
inline constexpr const char* kBackColorProperty = "palvoBackColor";
/// The colour kept under `name`, or `fallback` when none was set.
std::int32_t colorProperty(const QWidget* w, const char* name, std::int32_t fallback);
/// Sets a palette role to a colour in the host's encoding and keeps the colour under
/// `name`. Throws Palvo::Error 380 for an unknown system colour.
void setColor(QWidget* w, const char* name, QPalette::ColorRole role, std::int32_t color);
/// As setColor, for the active and inactive groups only: the disabled group
/// stays as the parents and the style have it, so a disabled widget looks disabled.
void setEnabledColor(QWidget* w, const char* name, QPalette::ColorRole role, std::int32_t color);

// ---- twips at a widget's logical resolution (1440 twips per inch)

int twipsToPixels(std::int32_t twips, int dpi);
std::int32_t pixelsToTwips(int pixels, int dpi);
/// The logical horizontal resolution of the widget's screen (96 when unknown).
int logicalDpi(const QWidget* widget);

// ---- text

inline QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string toStd(const QString& text) { return text.toStdString(); }
/// Characters (code points) in the first `units` UTF-16 units of text.
int charsBefore(const QString& text, int units);
/// UTF-16 units taken by the first `chars` characters of text (cut at its end).
int unitsFor(const QString& text, int chars);
/// The Name of a control: for a member of a control array (index >= 0) whose
/// object name is "<array>_<index>", the array's name, as the platform names
/// every member of TXT "TXT"; otherwise the object name.
inline std::string controlName(const QString& objectName, int index) {
    const QString suffix = QStringLiteral("_") + QString::number(index);
    if (index >= 0 && objectName.size() > suffix.size() && objectName.endsWith(suffix)) {
        return toStd(objectName.left(objectName.size() - suffix.size()));
    }
    return toStd(objectName);
}
/// Characters (code points) in text.
inline int charCount(const QString& text) { return charsBefore(text, static_cast<int>(text.size())); }

// ---- message box styles

struct BoxLayout {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons;  // in the platform's order
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};
/// Icon, buttons and default button for a style number (16/32/48/64 icons,
/// 0..5 button sets, 256/512 second and third button as default).
BoxLayout boxLayout(int style);
/// The result number (1 OK .. 7 No) of a standard button; 2 (Cancel) for anything else.
int resultOf(QMessageBox::StandardButton button);
/// The caption a Chinese desktop gives a message box button ("确定", "是(&Y)").
QString chineseButtonText(QMessageBox::StandardButton button);

/// The CUPS options a print dialog leaves on a job (name, value, name, value...)
/// without those that choose the paper or its orientation (the driver's
/// PageSize, PageRegion, media, orientation-requested, landscape): with them the
/// driver would put the pages on its default paper, not the one they were laid out on.
QStringList withoutPaperOptions(const QStringList& options);

}  // namespace Palvo::qt
