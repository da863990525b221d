#include "qt_support.h"

#include <QWidget>
#include <cmath>

#include "palvo/error.h"

namespace Palvo::qt {

bool systemColorRole(int index, QPalette::ColorGroup& group, QPalette::ColorRole& role) {
    group = QPalette::Active;
    switch (index) {
        case 0:
            role = QPalette::Button;
            return true;  // scroll bar
        case 1:
            role = QPalette::Window;
            return true;  // desktop
        case 2:
            role = QPalette::Highlight;
            return true;  // active caption
        case 3:
            role = QPalette::Mid;
            return true;  // inactive caption
        case 4:
            role = QPalette::Window;
            return true;  // menu
        case 5:
            role = QPalette::Base;
            return true;  // window background
        case 6:
            role = QPalette::Shadow;
            return true;  // window frame
        case 7:
            role = QPalette::WindowText;
            return true;  // menu text
        case 8:
            role = QPalette::Text;
            return true;  // window text
        case 9:
            role = QPalette::HighlightedText;
            return true;  // caption text
        case 12:
            role = QPalette::Mid;
            return true;  // application workspace
        case 13:
            role = QPalette::Highlight;
            return true;  // highlight
        case 14:
            role = QPalette::HighlightedText;
            return true;  // highlight text
        case 15:
            role = QPalette::Button;
            return true;  // button face
        case 16:
            role = QPalette::Dark;
            return true;  // button shadow
        case 17:          // grey text
            group = QPalette::Disabled;
            role = QPalette::Text;
            return true;
        case 18:
            role = QPalette::ButtonText;
            return true;  // button text
        case 20:
            role = QPalette::Light;
            return true;  // button highlight
        case 21:
            role = QPalette::Shadow;
            return true;  // 3D dark shadow
        case 22:
            role = QPalette::Midlight;
            return true;  // 3D light
        case 23:
            role = QPalette::ToolTipText;
            return true;  // info text
        case 24:
            role = QPalette::ToolTipBase;
            return true;  // info background
        default:
            return false;
    }
}

QColor toQColor(std::int32_t color, const QPalette& palette) {
    const auto bits = static_cast<std::uint32_t>(color);
    if (bits & 0x80000000u) {
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
        if (!systemColorRole(static_cast<int>(bits & 0x7FFFFFFFu), group, role)) return {};
        return palette.color(group, role);
    }
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

std::int32_t fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(rgb.blue()) << 16) |
                                     (static_cast<std::uint32_t>(rgb.green()) << 8) |
                                     static_cast<std::uint32_t>(rgb.red()));
}

std::int32_t colorProperty(const QWidget* w, const char* name, std::int32_t fallback) {
    const QVariant v = w->property(name);
    return v.isValid() ? static_cast<std::int32_t>(v.toInt()) : fallback;
}

void setColor(QWidget* w, const char* name, QPalette::ColorRole role, std::int32_t color) {
    const QColor c = toQColor(color, w->palette());
    if (!c.isValid()) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value");
    w->setProperty(name, static_cast<int>(color));
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

void setEnabledColor(QWidget* w, const char* name, QPalette::ColorRole role, std::int32_t color) {
    const QColor c = toQColor(color, w->palette());
    if (!c.isValid()) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value");
    w->setProperty(name, static_cast<int>(color));
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    w->setPalette(p);
}

int twipsToPixels(std::int32_t twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

std::int32_t pixelsToTwips(int pixels, int dpi) {
    return static_cast<std::int32_t>(std::lround(static_cast<double>(pixels) * 1440.0 / dpi));
}

int logicalDpi(const QWidget* widget) {
    const int dpi = widget ? widget->logicalDpiX() : 0;
    return dpi > 0 ? dpi : 96;
}

int charsBefore(const QString& text, int units) {
    int chars = 0;
    const int n = std::min(units, static_cast<int>(text.size()));
    for (int i = 0; i < n; ++i) {
        // The low half of a surrogate pair belongs to the character already counted.
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate())) ++chars;
    }
    return chars;
}

int unitsFor(const QString& text, int chars) {
    int i = 0;
    const int n = static_cast<int>(text.size());
    for (int c = 0; c < chars && i < n; ++c) {
        i += (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
    }
    return i;
}

QString chineseButtonText(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok:
            return QString::fromUtf8("确定");
        case QMessageBox::Cancel:
            return QString::fromUtf8("取消");
        case QMessageBox::Yes:
            return QString::fromUtf8("是(&Y)");
        case QMessageBox::No:
            return QString::fromUtf8("否(&N)");
        case QMessageBox::Abort:
            return QString::fromUtf8("中止(&A)");
        case QMessageBox::Retry:
            return QString::fromUtf8("重试(&R)");
        case QMessageBox::Ignore:
            return QString::fromUtf8("忽略(&I)");
        default:
            return {};
    }
}

BoxLayout boxLayout(int style) {
    using SB = QMessageBox::StandardButton;
    BoxLayout layout;
    switch (style & 0x70) {
        case 16:
            layout.icon = QMessageBox::Critical;
            break;
        case 32:
            layout.icon = QMessageBox::Question;
            break;
        case 48:
            layout.icon = QMessageBox::Warning;
            break;
        case 64:
            layout.icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    switch (style & 7) {
        case 1:
            layout.buttons = {SB::Ok, SB::Cancel};
            break;
        case 2:
            layout.buttons = {SB::Abort, SB::Retry, SB::Ignore};
            break;
        case 3:
            layout.buttons = {SB::Yes, SB::No, SB::Cancel};
            break;
        case 4:
            layout.buttons = {SB::Yes, SB::No};
            break;
        case 5:
            layout.buttons = {SB::Retry, SB::Cancel};
            break;
        default:
            layout.buttons = {SB::Ok};
            break;
    }
    const std::size_t which = (style & 0x300) == 512 ? 2 : (style & 0x300) == 256 ? 1 : 0;
    layout.defaultButton = layout.buttons[std::min(which, layout.buttons.size() - 1)];
    return layout;
}

int resultOf(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok:
            return 1;
        case QMessageBox::Abort:
            return 3;
        case QMessageBox::Retry:
            return 4;
        case QMessageBox::Ignore:
            return 5;
        case QMessageBox::Yes:
            return 6;
        case QMessageBox::No:
            return 7;
        default:
            return 2;
    }
}

}  // namespace Palvo::qt
