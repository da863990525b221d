#include "palvo/qt/printer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPageLayout>
#include <QPageRanges>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include "job_spool.h"
#include "palvo/atomic_file.h"
#include "palvo/error.h"
#include "pdf_text_map.h"
#include "qt_support.h"

namespace Palvo::qt {

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kRuleTwips = 10;       // DrawWidth 1: half a point
constexpr double kPdfMarginPoints = 9;  // an eighth of an inch: B5 landscape holds its 25 rows above the foot
constexpr long kPrinterError = 482;
constexpr std::size_t kMaxCachedWidths = 4096;  // per font: "a", "aaa" and repeated cell values

// The options a print dialog hands to CUPS (Qt's private PPK_CupsOptions): name, value, name, value...
constexpr auto kCupsOptions = static_cast<QPrintEngine::PrintEnginePropertyKey>(0xfe00);

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

// The paper a job is laid out on is the one it goes out on (withoutPaperOptions).
void keepPaper(QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::NativeFormat) return;
    QPrintEngine* engine = printer.printEngine();
    const QStringList options = engine->property(kCupsOptions).toStringList();
    const QStringList kept = withoutPaperOptions(options);
    if (kept.size() != options.size()) engine->setProperty(kCupsOptions, kept);
}

// The pages a job sends, in order, from 1: the range chosen in the print
// dialog, in its page order, each copy the print system does not make itself.
std::vector<int> pagesToSend(const QPrinter& printer, int pages) {
    std::vector<int> chosen;
    const bool ranged = printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty();
    for (int p = 1; p <= pages; ++p) {
        if (!ranged || printer.pageRanges().contains(p)) chosen.push_back(p);
    }
    if (chosen.empty()) {
        throw Error(kPrinterError, "打印失败：所选的页（" + toStd(printer.pageRanges().toString()) +
                                       "）不在报表的 " + std::to_string(pages) + " 页之中");
    }
    if (printer.pageOrder() == QPrinter::LastPageFirst) std::reverse(chosen.begin(), chosen.end());
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    std::vector<int> sent;
    sent.reserve(chosen.size() * static_cast<std::size_t>(copies));
    if (printer.collateCopies()) {
        for (int c = 0; c < copies; ++c) sent.insert(sent.end(), chosen.begin(), chosen.end());
    } else {
        for (int p : chosen) sent.insert(sent.end(), static_cast<std::size_t>(copies), p);
    }
    return sent;
}

// The paper the printer has as its default (the CUPS queue's), where it has one.
void usePrinterPaper(QPrinter& printer) {
    const QPrinterInfo info(printer);
    if (info.isNull()) return;
    const QPageSize paper = info.defaultPageSize();
    if (paper.isValid()) printer.setPageSize(paper);
}

bool previewing(QPrinter& printer) {
    const QPaintEngine* engine = printer.paintEngine();
    return engine != nullptr && engine->type() == QPaintEngine::Picture;
}

}  // namespace

QStringList withoutPaperOptions(const QStringList& options) {
    static const QStringList paperOptions = {QStringLiteral("PageSize"),
                                             QStringLiteral("PageRegion"),
                                             QStringLiteral("media"),
                                             QStringLiteral("media-col"),
                                             QStringLiteral("orientation-requested"),
                                             QStringLiteral("landscape")};
    QStringList kept;
    for (qsizetype i = 0; i + 1 < options.size(); i += 2) {
        if (!paperOptions.contains(options[i], Qt::CaseInsensitive)) kept << options[i] << options[i + 1];
    }
    return kept;
}

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
        // how far the families' own ascent and descent reach past the em
        double above = 0;
        double below = 0;
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
    JobSpool kept;           // in a temporary file: a long job holds only its page starts
    bool hold = false;       // an ended job stays kept, for a preview that shows it a page at a time
    bool held = false;       // a job is held
    // a report's laid-out pages, held undrawn; some of them are kept while drawn
    std::shared_ptr<const LaidOutPages> laidOut;
    bool keepingLaidOut = false;
    DrawnCharacters drawn;  // for the PDF's text maps

    // A preview keeps what it is drawn as pictures, and a picture sets a text
    // again with its first family's ascent: a Chinese run after DejaVu Sans
    // would show smaller and lower than on paper. There each family's run is
    // drawn with that family first, where it lands as it prints.
    bool byFamily = false;
    struct RunFont {
        QFont font;
        QFontMetricsF metrics;
    };
    std::map<std::pair<int, bool>, std::vector<RunFont>> runFonts;
    const std::vector<RunFont>* familyFonts = nullptr;

    void useRunFonts(const QFont& font) {
        auto it = runFonts.find({font.pixelSize(), font.bold()});
        if (it == runFonts.end()) {
            std::vector<RunFont> fonts;
            const QStringList all = font.families();
            for (qsizetype i = 0; i < all.size(); ++i) {
                QFont first(font);
                first.setFamilies(all.mid(i) + all.mid(0, i));
                QFont alone(font);
                alone.setFamilies({all[i]});
                alone.setStyleStrategy(QFont::NoFontMerging);  // what this family itself has
                fonts.push_back(RunFont{first, QFontMetricsF(alone)});
            }
            it = runFonts.emplace(std::pair{font.pixelSize(), font.bold()}, std::move(fonts)).first;
        }
        familyFonts = &it->second;
    }

    // The first family that has the character, as the font's fallback picks it; -1 when none has.
    int familyOf(char32_t c) const {
        for (std::size_t i = 0; i < familyFonts->size(); ++i) {
            if ((*familyFonts)[i].metrics.inFontUcs4(c)) return static_cast<int>(i);
        }
        return -1;
    }

    void drawByFamily(const TextOp& t) {
        const QFont whole = painter.font();
        double x = t.x;
        const QList<uint> chars = t.text.toUcs4();
        qsizetype start = 0;
        qsizetype at = 0;  // in UTF-16 units
        qsizetype runAt = 0;
        int family = chars.isEmpty() ? -1 : familyOf(chars[0]);
        for (qsizetype i = 0; i <= chars.size(); ++i) {
            const int next = i < chars.size() ? familyOf(chars[i]) : -2;
            if (i > start && next != family) {
                const QString run = t.text.mid(runAt, at - runAt);
                const QFont& font =
                    family >= 0 ? (*familyFonts)[static_cast<std::size_t>(family)].font : whole;
                painter.setFont(font);
                painter.drawText(QPointF(x, t.y + baseline), run);
                x += family >= 0
                         ? (*familyFonts)[static_cast<std::size_t>(family)].metrics.horizontalAdvance(run)
                         : QFontMetricsF(font).horizontalAdvance(run);
                start = i;
                runAt = at;
            }
            family = next;
            if (i < chars.size()) at += chars[i] > 0xFFFF ? 2 : 1;
        }
        painter.setFont(whole);
    }

    QFont fontOf(int pixels, bool bold) const {
        QFont font;
        font.setFamilies(families);
        font.setPixelSize(pixels);
        font.setBold(bold);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }

    void setFont(double size, bool bold) {
        // pixels are twips here: the painter is scaled to twips
        const int pixels = std::max(1, static_cast<int>(std::lround(size * kTwipsPerPoint)));
        auto it = faces.find({pixels, bold});
        if (it == faces.end()) {
            const QFont font = fontOf(pixels, bold);
            QFontMetricsF metrics(font);
            const double box = metrics.ascent() + metrics.descent();
            // a line is one em; the face's ascent and descent share it as they share their own box
            const double drop = box > 0 ? pixels * metrics.ascent() / box : pixels * 0.8;
            // a PDF reader selects a text as high as the tallest ascent and descent of the
            // families its characters come from
            double ascent = metrics.ascent(), descent = metrics.descent();
            for (const QString& family : families) {
                QFont alone(font);
                alone.setFamilies({family});
                alone.setStyleStrategy(QFont::NoFontMerging);
                const QFontMetricsF own(alone);
                ascent = std::max(ascent, own.ascent());
                descent = std::max(descent, own.descent());
            }
            it = faces
                     .emplace(std::pair{pixels, bold},
                              Face{font, metrics, drop, {}, ascent - drop, descent - (pixels - drop)})
                     .first;
        }
        face = &it->second;
        fontDrawn = false;
    }

    void beginPainter() {
        if (!painter.begin(pdf ? static_cast<QPaintDevice*>(pdf.get()) : printer)) {
            throw Error(kPrinterError, "打印失败：无法在 " +
                                           (pdfPath.empty() ? toStd(printer->printerName()) : pdfPath) +
                                           " 上打印");
        }
        const double scale = printer->resolution() / 1440.0;
        painter.scale(scale, scale);
        painter.setPen(QPen(Qt::black));
        fontDrawn = false;
    }

    void apply(const Op& op) {
        if (const auto* t = std::get_if<TextOp>(&op)) {
            if (byFamily) {
                drawByFamily(*t);
            } else {
                painter.drawText(QPointF(t->x, t->y + baseline), t->text);
            }
        } else if (const auto* l = std::get_if<LineOp>(&op)) {
            QPen pen(Qt::black);
            pen.setWidthF(l->width * kRuleTwips);
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(QPointF(l->x1, l->y1), QPointF(l->x2, l->y2));
        } else if (const auto* f = std::get_if<FontOp>(&op)) {
            painter.setFont(f->font);
            baseline = f->baseline;
            if (byFamily) useRunFonts(f->font);
        } else if (pdf) {
            pdf->newPage();
        } else {
            printer->newPage();
        }
    }

    // The kept job onto the printer: the pages it sends (from 1), each
    // starting in the font its page started in.
    void replay(const std::vector<int>& pages) {
        struct PALVO_LOCAL Steps : JobSpool::Visitor {
            Impl& d;
            explicit Steps(Impl& impl) : d(impl) {}
            void font(const JobSpool::Font& f) override {
                d.apply(FontOp{d.fontOf(f.pixels, f.bold), f.baseline});
            }
            void text(double x, double y, const QString& t) override { d.apply(TextOp{x, y, t}); }
            void line(double x1, double y1, double x2, double y2, int width) override {
                d.apply(LineOp{x1, y1, x2, y2, width});
            }
        } steps(*this);
        bool first = true;
        for (int page : pages) {
            if (!first) apply(PageOp{});
            first = false;
            kept.replay(page, steps);
        }
    }

    int keptPages() const { return kept.pages(); }

    // The kept job drawn on the printer as it is now set: a preview shows every
    // page once; a job sends what the print dialog chose, on the paper it was laid out on.
    void send(const std::string& docName) {
        const bool preview = previewing(*printer);
        std::vector<int> pages;
        if (preview) {
            for (int p = 1; p <= keptPages(); ++p) pages.push_back(p);
        } else {
            pages = pagesToSend(*printer, keptPages());
            keepPaper(*printer);
        }
        if (!docName.empty()) printer->setDocName(toQString(docName));
        byFamily = preview;
        runFonts.clear();  // the families may have changed since the last job
        beginPainter();
        replay(pages);
        byFamily = false;
        if (!painter.end()) throw Error(kPrinterError, "打印失败：打印任务未能送到打印机");
        // a host's printer writing a PDF file (a print dialog's "print to file")
        if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty() &&
            printer->paintEngine()->type() == QPaintEngine::Pdf) {
            mendTextMaps(toStd(printer->outputFileName()), drawn);
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
            if (const auto* t = std::get_if<TextOp>(&op)) {
                kept.text(t->x, t->y, t->text);
            } else if (const auto* l = std::get_if<LineOp>(&op)) {
                kept.line(l->x1, l->y1, l->x2, l->y2, l->width);
            } else if (const auto* f = std::get_if<FontOp>(&op)) {
                kept.font({f->font.pixelSize(), f->font.bold(), f->baseline});
            } else {
                kept.page();
            }
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
    usePrinterPaper(*impl_->printer);
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

bool Printer::previewOnly() const {
    return impl_->pdfPath.empty() && (impl_->hold || previewing(*impl_->printer));
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

Printer::TextReach Printer::textReach(std::string_view text) const {
    const Impl::Face& face = *impl_->face;
    TextReach reach{std::max(0.0, face.above), std::max(0.0, face.below), 0};
    const QString first = toQString(text.substr(0, text.find('\n')));
    if (!first.isEmpty()) reach.inkAbove = -face.metrics.tightBoundingRect(first).top() - face.baseline;
    return reach;
}

void Printer::fontChanged() { impl_->setFont(FontSize(), FontBold()); }

void Printer::beginJob() {
    if (!impl_->keepingLaidOut) impl_->laidOut.reset();
    impl_->kept.clear();
    impl_->held = false;
    impl_->drawn.clear();
    impl_->fontDrawn = false;
    if (impl_->pdfPath.empty()) return;
    impl_->part = std::make_unique<AtomicFile>(impl_->pdfPath);
    impl_->sink = std::make_unique<FileSink>(*impl_->part);
    impl_->pdf = std::make_unique<QPdfWriter>(impl_->sink.get());
    impl_->pdf->setPageLayout(impl_->printer->pageLayout());
    impl_->pdf->setResolution(impl_->printer->resolution());
    if (!DocName().empty()) impl_->pdf->setTitle(toQString(DocName()));
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
        if (d.hold || d.keepingLaidOut) {
            d.held = true;  // shown a page at a time, sent by printHeld
            return;
        }
        d.send(DocName());
        d.kept.clear();
        return;
    }
    if (!d.painter.end()) throw Error(kPrinterError, "打印失败：无法写入 " + d.pdfPath);
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
    d.held = false;
    if (d.painter.isActive()) d.painter.end();
    d.closePdf();
}

void Printer::holdJobs(bool hold) { impl_->hold = hold; }

bool Printer::takePages(std::shared_ptr<const LaidOutPages> pages) {
    Impl& d = *impl_;
    if (!d.hold || !d.pdfPath.empty() || jobOpen() || !pages) return false;
    d.kept.clear();
    d.laidOut = std::move(pages);
    d.held = true;
    return true;
}

void Printer::keepLaidOutPages(int first, int last) {
    Impl& d = *impl_;
    // drawing a page sets the font and rules as the report does; the host's stay
    const double size = FontSize();
    const bool bold = FontBold();
    const int width = DrawWidth();
    const auto restore = [&] {
        d.keepingLaidOut = false;
        d.held = true;  // the laid-out pages stay held, whatever became of the drawing
        FontSize(size);
        FontBold(bold);
        DrawWidth(width);
    };
    d.keepingLaidOut = true;
    try {
        for (int page = first; page <= last; ++page) d.laidOut->drawPage(*this, page);
        EndDoc();
    } catch (...) {
        KillDoc();
        restore();
        throw;
    }
    restore();
}

int Printer::heldPages() const {
    if (!impl_->held) return 0;
    return impl_->laidOut ? impl_->laidOut->pageCount() : impl_->keptPages();
}

std::vector<std::string> Printer::heldHeadingsBeyondPaper() const {
    if (!impl_->held || !impl_->laidOut) return {};
    return impl_->laidOut->headingsBeyondPaper();
}

void Printer::drawHeldPage(QPaintDevice& device, int page, double dpi) {
    Impl& d = *impl_;
    if (!d.held || page < 1 || page > heldPages()) badValue("page");
    if (d.laidOut) {
        keepLaidOutPages(page, page);  // the one page alone
        page = 1;
    }
    if (!d.painter.begin(&device)) throw Error(kPrinterError, "打印失败：无法画出这一页");
    // the twips count from the printable area's top left, inside the paper
    const QRectF area = d.printer->pageLayout().paintRect(QPageLayout::Point);
    d.painter.translate(area.left() * dpi / 72.0, area.top() * dpi / 72.0);
    d.painter.scale(dpi / 1440.0, dpi / 1440.0);
    d.painter.setPen(QPen(Qt::black));
    d.fontDrawn = false;
    d.byFamily = true;
    d.runFonts.clear();
    try {
        d.replay({page});
    } catch (...) {
        d.byFamily = false;
        d.painter.end();
        throw;
    }
    d.byFamily = false;
    d.painter.end();
}

void Printer::printHeld(QPrinter& target) {
    Impl& d = *impl_;
    if (!d.held) badValue("printHeld without a held job");
    if (d.laidOut) keepLaidOutPages(1, heldPages());
    QPrinter* own = d.printer;
    // the pages go out on the paper they were laid out on
    target.setPageLayout(own->pageLayout());
    d.printer = &target;
    try {
        d.send(DocName());
    } catch (...) {
        if (d.painter.isActive()) d.painter.end();
        d.printer = own;
        throw;
    }
    d.printer = own;
}

void PreviewDialogDeleter::operator()(QPrintPreviewDialog* dialog) const {
    if (!gone || !*gone) delete dialog;
}

std::unique_ptr<QPrintDialog> printDialog(QPrinter& target, int pages, QWidget* parent) {
    const bool toFile = target.outputFormat() == QPrinter::PdfFormat && !target.outputFileName().isEmpty();
    const QString file = target.outputFileName();
    const QPageLayout layout = target.pageLayout();
    auto dialog = std::make_unique<QPrintDialog>(&target, parent);
    // Qt's dialog picks the system's default printer (and a paper it has) as it is made; the
    // host's file and paper come back, and the dialog opens on printing to that file
    if (toFile) {
        target.setOutputFormat(QPrinter::PdfFormat);
        target.setOutputFileName(file);
        target.setPageLayout(layout);
    }
    dialog->setMinMax(1, std::max(1, pages));
    return dialog;
}

PreviewDialogPtr printPreview(std::function<void()> report, QWidget* parent) {
    auto gone = std::make_shared<bool>(false);
    PreviewDialogPtr dialog(new QPrintPreviewDialog(parent), PreviewDialogDeleter{gone});
    QObject::connect(dialog.get(), &QObject::destroyed, [gone] { *gone = true; });
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    usePrinterPaper(*dialog->printer());
    QObject::connect(dialog.get(), &QPrintPreviewDialog::paintRequested, dialog.get(),
                     [report = std::move(report)](QPrinter* target) {
                         auto printer = std::make_shared<Printer>(*target);
                         {
                             ScopedPrinter guard(printer);
                             try {
                                 report();
                             } catch (const std::exception& e) {
                                 // nothing may cross the event loop; the preview shows what was drawn
                                 qWarning("print preview: %s", e.what());
                             }
                         }
                         if (printer->jobOpen()) printer->KillDoc();
                         // a report that stopped (its paper refused) drew nothing: the preview
                         // shows a blank page, not the pages of the paper before
                         if (printer->jobsEnded() == 0 && previewing(*target)) QPainter(target).end();
                     });
    return dialog;
}

}  // namespace Palvo::qt
