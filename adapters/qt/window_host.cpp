// The Qt window host: it shows a library window modally in its frame, and the
// command buttons the frame makes.
#include "palvo/qt/window_host.h"

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
#include "qt_support.h"
#include "window_frame.h"

namespace Palvo::qt {

namespace {
QStyle::StandardPixmap pixmapFor(const std::string& look) {
    if (look == "down") return QStyle::SP_ArrowDown;
    if (look == "up") return QStyle::SP_ArrowUp;
    if (look == "left") return QStyle::SP_ArrowLeft;
    if (look == "right") return QStyle::SP_ArrowRight;
    if (look == "left-all") return QStyle::SP_MediaSeekBackward;
    if (look == "right-all") return QStyle::SP_MediaSeekForward;
    if (look == "info") return QStyle::SP_MessageBoxInformation;
    if (look == "warning") return QStyle::SP_MessageBoxWarning;
    if (look == "question") return QStyle::SP_MessageBoxQuestion;
    if (look == "error") return QStyle::SP_MessageBoxCritical;
    return QStyle::SP_FileIcon;
}
}  // namespace

// ---------------------------------------------------------------- CommandButton

CommandButton::CommandButton(QPushButton* button, std::vector<std::string> pictures,
                             std::vector<std::string> looks)
    : button_(button),
      pictures_(std::move(pictures)),
      looks_(std::move(looks)),
      caption_(toStd(button->text())) {}

std::string CommandButton::Name() const { return toStd(button_->objectName()); }
std::string CommandButton::Caption() const { return caption_; }

void CommandButton::Caption(const std::string& caption) {
    caption_ = caption;
    show();
}

bool CommandButton::Enabled() const { return button_->isEnabled(); }
void CommandButton::Enabled(bool enabled) { button_->setEnabled(enabled); }
bool CommandButton::Visible() const { return !button_->isHidden(); }
void CommandButton::Visible(bool visible) { button_->setHidden(!visible); }
std::string CommandButton::Picture() const { return picture_; }

void CommandButton::Picture(const std::string& picture) {
    if (!picture.empty() && std::find(pictures_.begin(), pictures_.end(), picture) == pictures_.end()) {
        throw Error(ErrorNumber::InvalidCall, "The window has no picture " + picture);
    }
    picture_ = picture;
    show();
}

std::string CommandButton::ToolTipText() const { return toStd(button_->toolTip()); }
void CommandButton::ToolTipText(const std::string& text) { button_->setToolTip(toQString(text)); }

void CommandButton::show() {
    if (picture_.empty()) {
        button_->setIcon(QIcon());
        button_->setText(toQString(caption_));
        return;
    }
    const auto at = std::find(pictures_.begin(), pictures_.end(), picture_) - pictures_.begin();
    const std::string look = static_cast<std::size_t>(at) < looks_.size() ? looks_[at] : std::string();
    button_->setIcon(button_->style()->standardIcon(pixmapFor(look), nullptr, button_));
    button_->setText(QString());
}

// ---------------------------------------------------------------- WindowHost

namespace {
// The hosts that keep a window. Its widgets must go while the application
// stands (after it, a combo or a view calls into a Qt that is gone), but a host
// installed for good lives in a thread-local until after main returned: the
// application's destructor releases the windows first, through a post routine.
std::mutex gKeepersLock;
std::vector<WindowHost*> gKeepers;
constexpr const char* kReleaseMarker = "palvo-window-host-release";

void releaseKeptWindows() {
    std::vector<WindowHost*> keepers;
    {
        const std::lock_guard guard(gKeepersLock);
        keepers.swap(gKeepers);
    }
    for (WindowHost* host : keepers) host->releaseWindow();
}

// Once per application: its destructor runs the post routines once (tests make several applications).
void releaseWithApplication() {
    if (qApp->findChild<QObject*>(kReleaseMarker, Qt::FindDirectChildrenOnly)) return;
    auto* marker = new QObject(qApp);
    marker->setObjectName(kReleaseMarker);
    qAddPostRoutine(releaseKeptWindows);
}
}  // namespace

WindowHost::WindowHost(std::shared_ptr<WindowScript> script, std::shared_ptr<ScriptAnswers> messages)
    : script_(std::move(script)), messages_(std::move(messages)) {
    // Qt's own texts (a host's about box, print and file dialogs) are Chinese from the start
    useChineseTexts();
}

WindowHost::~WindowHost() {
    const std::lock_guard guard(gKeepersLock);
    std::erase(gKeepers, this);
}

void WindowHost::releaseWindow() { last_.reset(); }

Palvo::WindowFrame& WindowHost::last() const {
    if (!last_) throw Error(ErrorNumber::SubscriptOutOfRange, "No window has been shown");
    return *last_;
}

QWidget* WindowHost::lastDialog() const { return last_ ? &last_->dialog() : nullptr; }

void WindowHost::showModal(Window& window) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        throw Error(ErrorNumber::NotInstalled,
                    "The Qt window host needs a QApplication; window not shown: " + window.layout().name);
    }
    if (QThread::currentThread() != qApp->thread()) {
        throw Error(ErrorNumber::NotInstalled,
                    "The Qt window host shows windows on the GUI thread only; window not shown: " +
                        window.layout().name);
    }
    useChineseTexts();
    releaseWithApplication();
    {
        const std::lock_guard guard(gKeepersLock);
        if (std::find(gKeepers.begin(), gKeepers.end(), this) == gKeepers.end()) gKeepers.push_back(this);
    }
    last_.reset();
    auto frame = std::make_unique<WindowFrame>(window, *this);
    window.attach(frame.get());
    struct Keep {
        std::unique_ptr<WindowFrame>& frame;
        std::unique_ptr<WindowFrame>& last;
        ~Keep() { last = std::move(frame); }
    } keep{frame, last_};
    frame->run();
}

}  // namespace Palvo::qt
