#include <QFont>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include "palvo/atomic_file.h"
#include "palvo/error.h"
#include "palvo/qt/printer.h"
#include "pdf_text_map.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kRuleTwips = 10;       // DrawWidth 1: half a point
constexpr double kPdfMarginPoints = 9;  // an eighth of an inch: B5 landscape holds its 25 rows above the foot
constexpr long kPrinterError = 482;
constexpr std::size_t kMaxCachedWidths = 4096;  // per font: "a", "aaa" and repeated cell values

[[noreturn]] void badValue(const char* what) {
    throw Error(ErrorNumber::InvalidPropertyValue, std::string("Invalid property value: ") + what);
}

// What a job kept until EndDoc draws.
struct TextOp {
    double x, y;
    QString text;
};
struct LineOp {
    double x1, y1, x2, y2;
    int width;
};
struct FontOp {
    QFont font;
    double baseline;
};
struct PageOp {};
using Op = std::variant<TextOp, LineOp, FontOp, PageOp>;

// What the PDF engine writes goes to the file, which checks every write (the
// engine itself ignores a failed one).
class FileSink : public QIODevice {
public:
    explicit FileSink(AtomicFile& file) : file_(file) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        return file_.write(data, static_cast<std::size_t>(size)) ? size : -1;
    }

private:
    AtomicFile& file_;
};

}  // namespace

std::vector<std::string> defaultPrintFamilies() { return {"DejaVu Sans", "Noto Sans CJK SC"}; }

int pageSizeIdOf(int paperCode) {
    const QPageSize::PageSizeId id = QPageSize::id(paperCode);
    return id == QPageSize::Custom ? -1 : static_cast<int>(id);
}

int paperCodeOf(int pageSizeId) {
    if (pageSizeId < 0 || pageSizeId > QPageSize::LastPageSize) return 256;
    return QPageSize::windowsId(static_cast<QPageSize::PageSizeId>(pageSizeId));
}

struct Printer::Impl {
    std::unique_ptr<QPrinter> owned;
    QPrinter* printer = nullptr;
    bool system = false;  // the system's default printer: counts the system's printers
    std::string pdfPath;  // a PDF file, written as it is drawn

    QStringList families;
    // One entry per size and boldness used: a report switches between two fonts on every page.
    struct Face {
        QFont font;
        QFontMetricsF metrics;
        double baseline;  // from a line's top, in twips
        std::unordered_map<std::string, double> widths;
    };
    std::map<std::pair<int, bool>, Face> faces;
    Face* face = nullptr;

    QPainter painter;
    // a PDF job: written whole into a temporary file that becomes the file at EndDoc
    std::unique_ptr<AtomicFile> part;
    std::unique_ptr<FileSink> sink;
    std::unique_ptr<QPdfWriter> pdf;
    bool fontDrawn = false;  // the painter (or the kept job) has the current font
    double baseline = 0;     // of the font the painter has
    std::vector<Op> kept;
    DrawnCharacters drawn;  // for the PDF's text maps

    void setFont(double size, bool bold) {
        // pixels are twips here: the painter is scaled to twips
        const int pixels = std::max(1, static_cast<int>(std::lround(size * kTwipsPerPoint)));
        auto it = faces.find({pixels, bold});
        if (it == faces.end()) {
            QFont font;
            font.setFamilies(families);
            font.setPixelSize(pixels);
            font.setBold(bold);
            font.setHintingPreference(QFont::PreferNoHinting);
            QFontMetricsF metrics(font);
            const double box = metrics.ascent() + metrics.descent();
            // a line is one em; the face's ascent and descent share it as they share their own box
            const double drop = box > 0 ? pixels * metrics.ascent() / box : pixels * 0.8;
            it = faces.emplace(std::pair{pixels, bold}, Face{font, metrics, drop, {}}).first;
        }
        face = &it->second;
        fontDrawn = false;
    }

    void beginPainter() {
        if (!painter.begin(pdf ? static_cast<QPaintDevice*>(pdf.get()) : printer)) {
            throw Error(kPrinterError, "Printer error: cannot print on " +
                                           (pdfPath.empty() ? toStd(printer->printerName()) : pdfPath));
        }
        const double scale = printer->resolution() / 1440.0;
        painter.scale(scale, scale);
        painter.setPen(QPen(Qt::black));
        fontDrawn = false;
    }

    void apply(const Op& op) {
        if (const auto* t = std::get_if<TextOp>(&op)) {
            painter.drawText(QPointF(t->x, t->y + baseline), t->text);
        } else if (const auto* l = std::get_if<LineOp>(&op)) {
            QPen pen(Qt::black);
            pen.setWidthF(l->width * kRuleTwips);
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(QPointF(l->x1, l->y1), QPointF(l->x2, l->y2));
        } else if (const auto* f = std::get_if<FontOp>(&op)) {
            painter.setFont(f->font);
            baseline = f->baseline;
        } else if (pdf) {
            pdf->newPage();
        } else {
            printer->newPage();
        }
    }

    // The temporary file goes unless it was committed.
    void closePdf() {
        pdf.reset();
        sink.reset();
        part.reset();
    }

    // Straight onto the PDF file, or kept until EndDoc.
    void draw(Op op) {
        if (!fontDrawn && !std::holds_alternative<PageOp>(op)) {
            fontDrawn = true;
            draw(FontOp{face->font, face->baseline});
        }
        if (pdfPath.empty()) {
            kept.push_back(std::move(op));
        } else {
            apply(op);
        }
    }
};

Printer::Printer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    for (const auto& f : defaultPrintFamilies()) impl_->families << toQString(f);
    impl_->setFont(FontSize(), FontBold());
}

Printer::Printer() : Printer(std::make_unique<Impl>()) {
    impl_->owned = std::make_unique<QPrinter>(QPrinter::HighResolution);
    impl_->printer = impl_->owned.get();
    impl_->system = true;
}

Printer::Printer(QPrinter& target) : Printer(std::make_unique<Impl>()) { impl_->printer = &target; }

std::shared_ptr<Printer> Printer::pdf(const std::string& path) {
    auto impl = std::make_unique<Impl>();
    impl->owned = std::make_unique<QPrinter>(QPrinter::HighResolution);
    impl->printer = impl->owned.get();
    impl->printer->setOutputFormat(QPrinter::PdfFormat);
    impl->printer->setPageSize(QPageSize(QPageSize::A4));
    impl->printer->setPageOrientation(QPageLayout::Portrait);
    impl->printer->setPageMargins(
        QMarginsF(kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints, kPdfMarginPoints),
        QPageLayout::Point);
    impl->pdfPath = path;
    return std::shared_ptr<Printer>(new Printer(std::move(impl)));
}

Printer::~Printer() {
    if (jobOpen()) abandonJob();
}

int Printer::PrinterCount() const {
    if (!impl_->system) return 1;
    return static_cast<int>(QPrinterInfo::availablePrinterNames().size());
}

int Printer::PaperSize() const {
    return paperCodeOf(static_cast<int>(impl_->printer->pageLayout().pageSize().id()));
}

int Printer::Orientation() const {
    return impl_->printer->pageLayout().orientation() == QPageLayout::Landscape ? vbPRORLandscape
                                                                                : vbPRORPortrait;
}

double Printer::ScaleWidth() const {
    return impl_->printer->pageLayout().paintRect(QPageLayout::Point).width() * kTwipsPerPoint;
}

double Printer::ScaleHeight() const {
    return impl_->printer->pageLayout().paintRect(QPageLayout::Point).height() * kTwipsPerPoint;
}

void Printer::PaperSize(int code) {
    const int id = pageSizeIdOf(code);
    if (id < 0 || jobOpen()) badValue("PaperSize");
    const QMarginsF margins = impl_->printer->pageLayout().margins(QPageLayout::Point);
    impl_->printer->setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(id)));
    if (!impl_->pdfPath.empty()) impl_->printer->setPageMargins(margins, QPageLayout::Point);
}

void Printer::Orientation(int orientation) {
    if ((orientation != vbPRORPortrait && orientation != vbPRORLandscape) || jobOpen())
        badValue("Orientation");
    impl_->printer->setPageOrientation(orientation == vbPRORPortrait ? QPageLayout::Portrait
                                                                     : QPageLayout::Landscape);
}

void Printer::fontFamilies(const std::vector<std::string>& families) {
    impl_->families.clear();
    for (const auto& f : families) impl_->families << toQString(f);
    impl_->faces.clear();
    impl_->setFont(FontSize(), FontBold());
}

QPrinter& Printer::qprinter() { return *impl_->printer; }

double Printer::measureWidth(std::string_view text) const {
    if (text.empty()) return 0;
    auto& widths = impl_->face->widths;
    const std::string key(text);
    if (auto it = widths.find(key); it != widths.end()) return it->second;
    const double w = impl_->face->metrics.horizontalAdvance(toQString(text));
    if (widths.size() >= kMaxCachedWidths) widths.clear();
    widths.emplace(key, w);
    return w;
}

double Printer::lineHeight() const { return FontSize() * kTwipsPerPoint; }

void Printer::fontChanged() { impl_->setFont(FontSize(), FontBold()); }

void Printer::beginJob() {
    impl_->kept.clear();
    impl_->drawn.clear();
    impl_->fontDrawn = false;
    if (impl_->pdfPath.empty()) return;
    impl_->part = std::make_unique<AtomicFile>(impl_->pdfPath);
    impl_->sink = std::make_unique<FileSink>(*impl_->part);
    impl_->pdf = std::make_unique<QPdfWriter>(impl_->sink.get());
    impl_->pdf->setPageLayout(impl_->printer->pageLayout());
    impl_->pdf->setResolution(impl_->printer->resolution());
    try {
        impl_->beginPainter();
    } catch (...) {
        impl_->closePdf();
        throw;
    }
}

void Printer::beginPage() { impl_->draw(PageOp{}); }

void Printer::drawText(double x, double y, std::string_view text) {
    QString s = toQString(text);
    impl_->drawn.add(s);
    impl_->draw(TextOp{x, y, std::move(s)});
}

void Printer::drawLine(double x1, double y1, double x2, double y2) {
    impl_->draw(LineOp{x1, y1, x2, y2, DrawWidth()});
}

void Printer::endJob() {
    Impl& d = *impl_;
    if (d.pdfPath.empty()) {
        d.beginPainter();
        for (const Op& op : d.kept) d.apply(op);
        d.kept.clear();
        if (!d.painter.end()) throw Error(kPrinterError, "Printer error: the job did not reach the printer");
        // a host's printer writing a PDF file (a print dialog's "print to file")
        if (d.printer->outputFormat() == QPrinter::PdfFormat && !d.printer->outputFileName().isEmpty() &&
            d.printer->paintEngine()->type() == QPaintEngine::Pdf) {
            mendTextMaps(toStd(d.printer->outputFileName()), d.drawn);
        }
        return;
    }
    if (!d.painter.end()) throw Error(kPrinterError, "Printer error: cannot write " + d.pdfPath);
    std::unique_ptr<AtomicFile> part = std::move(d.part);
    d.closePdf();
    // the text maps are mended in the temporary file, before it takes the name
    if (part->flush()) {
        const std::string update = textMapUpdate(part->openPath(), d.drawn, d.pdfPath);
        part->write(update.data(), update.size());
    }
    part->commit();
}

void Printer::abandonJob() {
    Impl& d = *impl_;
    d.kept.clear();
    if (d.painter.isActive()) d.painter.end();
    d.closePdf();
}

std::unique_ptr<QPrintPreviewDialog> printPreview(std::function<void()> report, QWidget* parent) {
    auto dialog = std::make_unique<QPrintPreviewDialog>(parent);
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(dialog.get(), &QPrintPreviewDialog::paintRequested, dialog.get(),
                     [report = std::move(report)](QPrinter* target) {
                         ScopedPrinter guard(std::make_shared<Printer>(*target));
                         try {
                             report();
                         } catch (const std::exception& e) {
                             // nothing may cross the event loop; the preview shows what was drawn
                             qWarning("print preview: %s", e.what());
                         }
                     });
    return dialog;
}

}  // namespace Palvo::qt
