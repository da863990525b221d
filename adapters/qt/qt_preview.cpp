// The paged print preview: the report laid out once into a held job, one page
// drawn at a time.
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"

namespace Palvo::qt {

namespace {

constexpr double kScreenDpi = 96;
constexpr long kPrinterError = 482;
constexpr int kMinZoom = 25, kMaxZoom = 400;
// the papers the report lays out without asking, as the paper box offers them
constexpr struct {
    int code;
    const char* name;
} kPapers[] = {{PaperCode::A4, "A4"}, {PaperCode::B5, "B5"}, {PaperCode::Fanfold10x11, "10×11 英寸"}};

// The dialog's first size: 900 x 1000 where the screen has room, else what it
// has, less room for the window's frame and a panel.
QSize fittedSize(const QWidget* parent) {
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize wanted(900, 1000);
    if (screen == nullptr) return wanted;
    const QSize room = screen->availableGeometry().size() - QSize(40, 80);
    return wanted.boundedTo(room.expandedTo(QSize(320, 240)));
}

}  // namespace

struct PagedPreview::Impl {
    std::function<void()> report;
    QPrinter qprinter{QPrinter::HighResolution};
    std::shared_ptr<Printer> printer;
    // a child of the host's window: gone with it when the host closes first
    QPointer<QDialog> dialog;
    QLabel* page = nullptr;
    QLabel* beyond = nullptr;
    QSpinBox* number = nullptr;
    QLabel* count = nullptr;
    QPushButton* previous = nullptr;
    QPushButton* next = nullptr;
    QPushButton* print = nullptr;
    QComboBox* zoomBox = nullptr;
    QComboBox* paper = nullptr;
    QComboBox* orientation = nullptr;
    bool laidOut = false;
    int current = 1;
    int zoom = 100;

    explicit Impl(QWidget* parent) : dialog(new QDialog(parent)) {}
    ~Impl() { delete dialog.data(); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    QImage image(int n, double dpi) const {
        const QSizeF whole = qprinter.pageLayout().fullRect(QPageLayout::Point).size();
        QImage img(std::max(1, qRound(whole.width() * dpi / 72)),
                   std::max(1, qRound(whole.height() * dpi / 72)), QImage::Format_RGB32);
        img.fill(Qt::white);
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        if (printer->heldPages() > 0) printer->drawHeldPage(img, n, dpi);
        return img;
    }

    void show(int n) {
        const int pages = std::max(1, printer->heldPages());
        current = std::clamp(n, 1, pages);
        if (!dialog) return;
        try {
            page->setPixmap(QPixmap::fromImage(image(current, kScreenDpi * zoom / 100)));
        } catch (const std::exception& e) {
            // a page is drawn from the grid when shown: a grid that fails says so as the report would
            page->setPixmap(QPixmap());
            msgBox(e.what(), vbCritical, session().sMsg);
        }
        const QSignalBlocker quiet(number);
        number->setRange(1, pages);
        number->setValue(current);
        count->setText(QStringLiteral("/ %1 页").arg(pages));
        previous->setEnabled(current > 1);
        next->setEnabled(current < pages);
        print->setEnabled(printer->heldPages() > 0);
    }

    // The paper and orientation boxes as the printer has them; a paper the
    // report does not know (the default printer's Letter) is offered too.
    void showPaper() {
        if (!dialog) return;
        const QSignalBlocker quietPaper(paper);
        const QSignalBlocker quietOrientation(orientation);
        paper->clear();
        const int code = printer->PaperSize();
        if (std::none_of(std::begin(kPapers), std::end(kPapers),
                         [code](const auto& known) { return known.code == code; }))
            paper->addItem(qprinter.pageLayout().pageSize().name(), code);
        for (const auto& known : kPapers) paper->addItem(QString::fromUtf8(known.name), known.code);
        paper->setCurrentIndex(paper->findData(code));
        orientation->setCurrentIndex(orientation->findData(printer->Orientation()));
    }

    // The columns the paper is too narrow for, named above the page.
    void showBeyond() {
        if (!dialog) return;
        const std::vector<std::string> headings = printer->heldHeadingsBeyondPaper();
        beyond->setVisible(!headings.empty());
        if (headings.empty()) {
            beyond->clear();
            return;
        }
        QString names;
        for (const std::string& h : headings) {
            if (!names.isEmpty()) names += QStringLiteral("、");
            names += QString::fromStdString(h);
        }
        beyond->setText(QStringLiteral("纸张宽度不够，%1 列打印不出来：%2。请改用横向或较大的纸张。")
                            .arg(headings.size())
                            .arg(names));
    }

    // The widgets of the dialog: the bar above, the warning, the page.
    void build(PagedPreview& preview);
};

void PagedPreview::Impl::build(PagedPreview& preview) {
    QDialog& d = *dialog;
    d.setWindowTitle(QStringLiteral("打印预览"));
    auto* bar = new QHBoxLayout;
    previous = new QPushButton(QStringLiteral("上一页"));
    number = new QSpinBox;
    number->setObjectName(QStringLiteral("pageNumber"));
    number->setKeyboardTracking(false);  // a page number goes when typed whole (Enter)
    count = new QLabel;
    next = new QPushButton(QStringLiteral("下一页"));
    zoomBox = new QComboBox;
    zoomBox->setObjectName(QStringLiteral("zoom"));
    for (int z : {50, 75, 100, 125, 150, 200}) zoomBox->addItem(QStringLiteral("%1%").arg(z), z);
    zoomBox->setCurrentIndex(zoomBox->findData(100));
    paper = new QComboBox;
    paper->setObjectName(QStringLiteral("paper"));
    orientation = new QComboBox;
    orientation->setObjectName(QStringLiteral("orientation"));
    orientation->addItem(QStringLiteral("纵向"), vbPRORPortrait);
    orientation->addItem(QStringLiteral("横向"), vbPRORLandscape);
    print = new QPushButton(QStringLiteral("打印"));
    auto* close = new QPushButton(QStringLiteral("关闭"));
    // no button takes Enter: in the page box it shows the page typed
    for (QPushButton* b : {previous, next, print, close}) b->setAutoDefault(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             previous, number, count, next, new QLabel(QStringLiteral("缩放")), zoomBox,
             new QLabel(QStringLiteral("纸张")), paper, orientation, print, close})
        bar->addWidget(w);
    bar->addStretch();
    beyond = new QLabel;
    beyond->setObjectName(QStringLiteral("columnsBeyondPaper"));
    beyond->setStyleSheet(QStringLiteral("color: #b00000"));
    beyond->setWordWrap(true);
    beyond->hide();
    page = new QLabel;
    page->setObjectName(QStringLiteral("page"));
    page->setAlignment(Qt::AlignCenter);
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(&d);
    layout->addLayout(bar);
    layout->addWidget(beyond);
    layout->addWidget(scroll);
    d.resize(fittedSize(d.parentWidget()));

    PagedPreview* self = &preview;
    QObject::connect(previous, &QPushButton::clicked, &d,
                     [self] { self->showPage(self->currentPage() - 1); });
    QObject::connect(next, &QPushButton::clicked, &d, [self] { self->showPage(self->currentPage() + 1); });
    for (const auto& [key, step] : {std::pair{Qt::Key_PageUp, -1}, {Qt::Key_PageDown, 1}}) {
        auto* turn = new QShortcut(QKeySequence(key), &d);
        QObject::connect(turn, &QShortcut::activated, &d,
                         [self, step = step] { self->showPage(self->currentPage() + step); });
    }
    QObject::connect(number, &QSpinBox::valueChanged, &d, [self](int n) { self->showPage(n); });
    QObject::connect(zoomBox, &QComboBox::currentIndexChanged, &d,
                     [self, this](int i) { self->zoom(zoomBox->itemData(i).toInt()); });
    QObject::connect(paper, &QComboBox::currentIndexChanged, &d, [self, this](int i) {
        printer->PaperSize(paper->itemData(i).toInt());
        self->layOut();
    });
    QObject::connect(orientation, &QComboBox::currentIndexChanged, &d, [self, this](int i) {
        printer->Orientation(orientation->itemData(i).toInt());
        self->layOut();
    });
    QObject::connect(close, &QPushButton::clicked, &d, &QDialog::reject);
    QObject::connect(print, &QPushButton::clicked, &d, [self, this] {
        QPrinter target(QPrinter::HighResolution);
        target.setPageLayout(qprinter.pageLayout());
        auto choose = printDialog(target, self->pageCount(), dialog);
        if (choose->exec() != QDialog::Accepted) return;
        try {
            self->print(target);
            msgBox("数据已送至打印机！", vbExclamation, session().sMsg);
        } catch (const std::exception& e) {
            msgBox(e.what(), vbCritical, session().sMsg);
        }
    });
}

PagedPreview::PagedPreview(std::function<void()> report, QWidget* parent)
    : impl_(std::make_unique<Impl>(parent)) {
    Impl& d = *impl_;
    d.report = std::move(report);
    const QPrinterInfo info(d.qprinter);
    if (!info.isNull() && info.defaultPageSize().isValid()) d.qprinter.setPageSize(info.defaultPageSize());
    d.printer = std::make_shared<Printer>(d.qprinter);
    d.printer->holdJobs(true);
    d.build(*this);
}

PagedPreview::~PagedPreview() = default;

QPrinter& PagedPreview::printer() { return impl_->qprinter; }

QDialog& PagedPreview::dialog() {
    if (!impl_->dialog) throw Error(ErrorNumber::ObjectRequired, "打印预览已随它的窗口关闭");
    return *impl_->dialog;
}

void PagedPreview::layOut() {
    Impl& d = *impl_;
    {
        ScopedPrinter guard(d.printer);
        try {
            d.report();
        } catch (const std::exception& e) {
            // nothing may cross the event loop; the preview shows what was laid out
            qWarning("print preview: %s", e.what());
        }
    }
    if (d.printer->jobOpen()) d.printer->KillDoc();
    d.laidOut = true;
    d.showPaper();
    d.showBeyond();
    d.show(1);
}

int PagedPreview::pageCount() const { return std::max(1, impl_->printer->heldPages()); }
int PagedPreview::currentPage() const { return impl_->current; }
void PagedPreview::showPage(int page) { impl_->show(page); }
int PagedPreview::zoom() const { return impl_->zoom; }

void PagedPreview::zoom(int percent) {
    Impl& d = *impl_;
    d.zoom = std::clamp(percent, kMinZoom, kMaxZoom);
    if (d.dialog) {
        const QSignalBlocker quiet(d.zoomBox);
        d.zoomBox->setCurrentIndex(d.zoomBox->findData(d.zoom));
    }
    if (d.laidOut) d.show(d.current);
}

std::vector<std::string> PagedPreview::columnsBeyondPaper() const {
    return impl_->printer->heldHeadingsBeyondPaper();
}

QImage PagedPreview::pageImage(int page, double dpi) const { return impl_->image(page, dpi); }

void PagedPreview::print(QPrinter& target) {
    Impl& d = *impl_;
    const QPageLayout::Orientation chosen = target.pageLayout().orientation();
    if (chosen != d.qprinter.pageLayout().orientation()) {
        d.printer->Orientation(chosen == QPageLayout::Landscape ? vbPRORLandscape : vbPRORPortrait);
        layOut();
    }
    // a report that stopped has said why; nothing is sent
    if (d.printer->heldPages() == 0) throw Error(kPrinterError, "打印失败：报表没有可打印的页");
    d.printer->printHeld(target);
}

int PagedPreview::exec() {
    if (!impl_->dialog) return QDialog::Rejected;
    if (!impl_->laidOut) layOut();
    return impl_->dialog ? impl_->dialog->exec() : QDialog::Rejected;
}

}  // namespace Palvo::qt
