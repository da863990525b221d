// The paged print preview: the report laid out once into a held job, one page
// drawn at a time.
#include <QDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "palvo/msgbox.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"

namespace Palvo::qt {

namespace {

constexpr double kScreenDpi = 96;

}  // namespace

struct PagedPreview::Impl {
    std::function<void()> report;
    QPrinter qprinter{QPrinter::HighResolution};
    std::shared_ptr<Printer> printer;
    QDialog dialog;
    QLabel* page = nullptr;
    QSpinBox* number = nullptr;
    QLabel* count = nullptr;
    QPushButton* previous = nullptr;
    QPushButton* next = nullptr;
    QPushButton* print = nullptr;
    bool laidOut = false;
    int current = 1;

    explicit Impl(QWidget* parent) : dialog(parent) {}

    QImage image(int n, double dpi) const {
        const QSizeF paper = qprinter.pageLayout().fullRect(QPageLayout::Point).size();
        QImage img(std::max(1, qRound(paper.width() * dpi / 72)),
                   std::max(1, qRound(paper.height() * dpi / 72)), QImage::Format_RGB32);
        img.fill(Qt::white);
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
        if (printer->heldPages() > 0) printer->drawHeldPage(img, n, dpi);
        return img;
    }

    void show(int n) {
        const int pages = std::max(1, printer->heldPages());
        current = std::clamp(n, 1, pages);
        page->setPixmap(QPixmap::fromImage(image(current, kScreenDpi)));
        const QSignalBlocker quiet(number);
        number->setRange(1, pages);
        number->setValue(current);
        count->setText(QStringLiteral("/ %1 页").arg(pages));
        previous->setEnabled(current > 1);
        next->setEnabled(current < pages);
        print->setEnabled(printer->heldPages() > 0);
    }
};

PagedPreview::PagedPreview(std::function<void()> report, QWidget* parent)
    : impl_(std::make_unique<Impl>(parent)) {
    Impl& d = *impl_;
    d.report = std::move(report);
    const QPrinterInfo info(d.qprinter);
    if (!info.isNull() && info.defaultPageSize().isValid()) d.qprinter.setPageSize(info.defaultPageSize());
    d.printer = std::make_shared<Printer>(d.qprinter);
    d.printer->holdJobs(true);

    d.dialog.setWindowTitle(QStringLiteral("打印预览"));
    auto* bar = new QHBoxLayout;
    d.previous = new QPushButton(QStringLiteral("上一页"));
    d.number = new QSpinBox;
    d.count = new QLabel;
    d.next = new QPushButton(QStringLiteral("下一页"));
    d.print = new QPushButton(QStringLiteral("打印"));
    auto* close = new QPushButton(QStringLiteral("关闭"));
    for (QWidget* w : std::initializer_list<QWidget*>{d.previous, d.number, d.count, d.next, d.print, close})
        bar->addWidget(w);
    bar->addStretch();
    d.page = new QLabel;
    d.page->setAlignment(Qt::AlignCenter);
    auto* scroll = new QScrollArea;
    scroll->setWidget(d.page);
    scroll->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(&d.dialog);
    layout->addLayout(bar);
    layout->addWidget(scroll);
    d.dialog.resize(900, 1000);

    QObject::connect(d.previous, &QPushButton::clicked, &d.dialog, [this] { showPage(currentPage() - 1); });
    QObject::connect(d.next, &QPushButton::clicked, &d.dialog, [this] { showPage(currentPage() + 1); });
    QObject::connect(d.number, &QSpinBox::valueChanged, &d.dialog, [this](int n) { showPage(n); });
    QObject::connect(close, &QPushButton::clicked, &d.dialog, &QDialog::reject);
    QObject::connect(d.print, &QPushButton::clicked, &d.dialog, [this] {
        QPrinter target(QPrinter::HighResolution);
        target.setPageLayout(impl_->qprinter.pageLayout());
        QPrintDialog choose(&target, &impl_->dialog);
        if (choose.exec() != QDialog::Accepted) return;
        try {
            print(target);
            msgBox("数据已送至打印机！", vbExclamation, session().sMsg);
        } catch (const std::exception& e) {
            msgBox(e.what(), vbCritical, session().sMsg);
        }
    });
}

PagedPreview::~PagedPreview() = default;

QPrinter& PagedPreview::printer() { return impl_->qprinter; }
QDialog& PagedPreview::dialog() { return impl_->dialog; }

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
    d.show(1);
}

int PagedPreview::pageCount() const { return std::max(1, impl_->printer->heldPages()); }
int PagedPreview::currentPage() const { return impl_->current; }
void PagedPreview::showPage(int page) { impl_->show(page); }
QImage PagedPreview::pageImage(int page, double dpi) const { return impl_->image(page, dpi); }
void PagedPreview::print(QPrinter& target) { impl_->printer->printHeld(target); }

int PagedPreview::exec() {
    if (!impl_->laidOut) layOut();
    return impl_->dialog.exec();
}

}  // namespace Palvo::qt
