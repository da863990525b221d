#include "palvo/memory/measure.h"
#include "palvo/memory/printer.h"

namespace Palvo::memory {

namespace {

constexpr double kMargin = 360;  // a quarter inch, what a printer commonly cannot reach

struct PaperTwips {
    int code;
    double width;
    double height;
};

constexpr PaperTwips kPapers[] = {
    {PaperCode::Letter, 12240, 15840},
    {PaperCode::A4, 11906, 16838},
    {PaperCode::B5, 10318, 14570},
    {PaperCode::Fanfold10x11, 14400, 15840},
};

}  // namespace

std::vector<std::string> PrintedJob::texts(int page) const {
    std::vector<std::string> r;
    for (const auto& op : ops) {
        if (op.page == page && op.kind == PrinterOp::Kind::Text) r.push_back(op.text);
    }
    return r;
}

std::vector<PrinterOp> PrintedJob::lines(int page) const {
    std::vector<PrinterOp> r;
    for (const auto& op : ops) {
        if (op.page == page && op.kind == PrinterOp::Kind::Line) r.push_back(op);
    }
    return r;
}

RecordingPrinter::RecordingPrinter(std::shared_ptr<TextMeasurer> measurer)
    : measurer_(measurer ? std::move(measurer) : headlessMeasurer()) {
    paper(PaperCode::A4);
}

void RecordingPrinter::paper(int paperSize, int orientation) {
    paperSize_ = paperSize;
    orientation_ = orientation;
    for (const auto& p : kPapers) {
        if (p.code != paperSize) continue;
        const bool portrait = orientation == vbPRORPortrait;
        width_ = (portrait ? p.width : p.height) - 2 * kMargin;
        height_ = (portrait ? p.height : p.width) - 2 * kMargin;
    }
}

double RecordingPrinter::measureWidth(std::string_view text) const {
    return measurer_->TextWidth(text, FontSize());
}

void RecordingPrinter::drawText(double x, double y, std::string_view text) {
    PrinterOp op;
    op.page = page();
    op.x = x;
    op.y = y;
    op.text = std::string(text);
    op.fontSize = FontSize();
    op.fontBold = FontBold();
    pending_.push_back(std::move(op));
}

void RecordingPrinter::drawLine(double x1, double y1, double x2, double y2) {
    PrinterOp op;
    op.kind = PrinterOp::Kind::Line;
    op.page = page();
    op.x = x1;
    op.y = y1;
    op.x2 = x2;
    op.y2 = y2;
    op.fontSize = FontSize();
    op.fontBold = FontBold();
    op.drawWidth = DrawWidth();
    pending_.push_back(std::move(op));
}

void RecordingPrinter::endJob() {
    jobs_.push_back(PrintedJob{page(), std::move(pending_)});
    pending_.clear();
}

void RecordingPrinter::abandonJob() {
    pending_.clear();
    ++abandoned_;
}

}  // namespace Palvo::memory
