// The Qt message box.
#include "palvo/qt/msgbox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCursor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "palvo/error.h"
#include "palvo/qt/translations.h"
#include "qt_support.h"

namespace Palvo::qt {

// ---------------------------------------------------------------- MessageBox

MessageBox::MessageBox(QWidget* parent) : parent_(parent) { useChineseTexts(); }

int MessageBox::show(const std::string& text, int style, const std::string& title) {
    if (!QCoreApplication::instance()) {
        throw Error(ErrorNumber::NotInstalled, "No QApplication to show the message \"" + text + "\"");
    }
    useChineseTexts();
    const BoxLayout layout = boxLayout(style);
    QMessageBox box(parent_);
    box.setIcon(layout.icon);
    box.setText(toQString(text));
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title.empty() ? QCoreApplication::applicationName() : toQString(title));
    QMessageBox::StandardButtons buttons;
    for (auto b : layout.buttons) buttons |= b;
    box.setStandardButtons(buttons);
    // as a Chinese desktop labels them, also where Qt's translations are missing
    for (auto b : layout.buttons) box.button(b)->setText(chineseButtonText(b));
    box.setDefaultButton(layout.defaultButton);
    box.exec();
    if (QAbstractButton* clicked = box.clickedButton()) return resultOf(box.standardButton(clicked));
    // Escape or closing the window: Cancel when there is one, else No, else the last button.
    const auto& b = layout.buttons;
    for (auto escape : {QMessageBox::Cancel, QMessageBox::No}) {
        if (std::find(b.begin(), b.end(), escape) != b.end()) return resultOf(escape);
    }
    return resultOf(b.back());
}

}  // namespace Palvo::qt
