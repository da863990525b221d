// The Qt frame of a library window: the dialog it builds around the window's
// controls, the wiring of their events, and the playing of window scripts.
#pragma once

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

// A dialog that leaves Enter and Esc to the window and turns its close box
// into the window's close-box unload.
class Dialog : public QDialog {
public:
    Dialog() = default;
    std::function<void()> onCloseBox;
    std::function<void()> onUserResize;
    QSize asked;  // the size the window set last

protected:
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                e->ignore();
                return;
            default:
                QDialog::keyPressEvent(e);
        }
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (onCloseBox) onCloseBox();
    }
    void resizeEvent(QResizeEvent* e) override {
        QDialog::resizeEvent(e);
        if (e->spontaneous() && e->size() != asked && onUserResize) onUserResize();
    }

public:
    void reject() override {
        if (onCloseBox) onCloseBox();
    }
};

class WindowFrame : public Palvo::WindowFrame, public QObject, private ScriptHands {
public:
    WindowFrame(Window& window, WindowHost& host);
    ~WindowFrame() override;

    std::string Name() const override { return name_; }
    std::int32_t BackColor() const override { return look_->BackColor(); }
    void BackColor(std::int32_t color) override { look_->BackColor(color); }
    std::int32_t ForeColor() const override { return look_->ForeColor(); }
    void ForeColor(std::int32_t color) override { look_->ForeColor(color); }
    std::string Icon() const override { return look_->Icon(); }
    void Icon(const std::string& path) override { look_->Icon(path); }
    std::vector<Control*> Controls() override;

    std::string Caption() const override { return toStd(dialog_->windowTitle()); }
    void Caption(const std::string& caption) override { dialog_->setWindowTitle(toQString(caption)); }
    std::int32_t Height() const override;
    void Height(std::int32_t twips) override;
    std::int32_t Width() const override;
    Control& control(std::string_view name) override;
    void SetFocus(std::string_view name) override;
    std::string ActiveControl() const override { return active_; }
    void Close(UnloadMode mode = UnloadMode::Code) override;
    bool closing() const override { return closing_; }
    void DoEvents() override { QCoreApplication::processEvents(); }

    // ---- for the host
    void run();
    QDialog& dialog() { return *dialog_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        const ControlDef* def;
        QWidget* widget;
        std::unique_ptr<Control> port;
    };

    void build();
    QWidget* makeWidget(const ControlDef& def);
    void wire(Entry& entry);
    void focusCellEditor(QTableView* view, const FlexGrid& grid);
    Entry* entry(std::string_view name);
    Entry* entryOf(QWidget* w);

    // Runs window code; signals of the widgets it changes reach no handler.
    // At the outermost level an error is kept for showModal and closes the window.
    void call(const std::function<void(Window&)>& code);
    // A user's action: the handler runs unless window code is running or the window closes.
    void fire(const std::function<void(Window&)>& handler);
    // An event of the wiring: counted, so a played action knows the widgets reached the window.
    void user(const std::function<void(Window&)>& handler);
    void fail(std::exception_ptr error);
    void settle();
    void syncGridViews();

    void queueAnswers();
    void step();
    // the hands a played script acts with, on the widgets as a user does
    bool focus(const ControlDef& def) override;
    void type(const ControlDef& def, const std::string& text) override;
    void pick(const ControlDef& def, int index) override;
    void click(const ControlDef& def, bool twice) override;
    std::string clickCell(const ControlDef& def, int row, int col) override;
    void press(WindowKey key) override;
    bool takesFocus(const Entry& e) const;

    Window* window_;
    WindowHost& host_;
    const WindowLayout layout_;  // a copy: the closed frame stays readable after the window went
    std::string name_;
    std::unique_ptr<Dialog> dialog_;
    std::unique_ptr<qt::Form> look_;
    std::vector<Entry> entries_;
    int dpi_ = 96;
    std::int32_t heightTwips_ = 0;
    std::int32_t widthTwips_ = 0;
    bool userSized_ = false;

    int depth_ = 0;
    bool activated_ = false;
    bool closing_ = false;
    bool finished_ = false;
    UnloadMode mode_ = UnloadMode::Code;
    std::exception_ptr error_;
    std::string active_;
    int wired_ = 0;
    // the input event handled last, so its propagation to the parents is not handled again
    QEvent::Type seenType_ = QEvent::None;
    quint64 seenTime_ = 0;
    QPointer<QWidget> seenAt_;
    QEventLoop* loop_ = nullptr;
};

}  // namespace Palvo::qt
