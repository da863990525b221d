#include "palvo/printer.h"

#include <algorithm>

#include "palvo/error.h"

namespace Palvo {

TextSurface::~TextSurface() = default;
Printer::~Printer() = default;

Printer::Printer(double fontSize, bool fontBold) : fontSize_(fontSize), fontBold_(fontBold) {}

void Printer::FontSize(double points) {
    if (!(points > 0)) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: FontSize");
    if (points == fontSize_) return;
    fontSize_ = points;
    fontChanged();
}

void Printer::FontBold(bool bold) {
    if (bold == fontBold_) return;
    fontBold_ = bold;
    fontChanged();
}

double Printer::TextWidth(std::string_view text) const { return measureWidth(text); }

double Printer::TextHeight(std::string_view text) const {
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    return static_cast<double>(lines) * lineHeight();
}

void Printer::Print(std::string_view text) {
    toPage();
    if (!text.empty()) drawText(x_, y_, text);
    x_ = 0;
    y_ += TextHeight(text);
}

void Printer::DrawWidth(int width) {
    if (width < 1) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: DrawWidth");
    drawWidth_ = width;
}

void Printer::Line(double x1, double y1, double x2, double y2) {
    toPage();
    drawLine(x1, y1, x2, y2);
    x_ = x2;
    y_ = y2;
}

void Printer::NewPage() {
    toPage();
    ++pendingBreaks_;
    x_ = 0;
    y_ = 0;
}

void Printer::EndDoc() {
    if (!jobOpen_) return;
    // breaks before the last one give blank pages; the last one gives none
    for (; pendingBreaks_ > 1; --pendingBreaks_) {
        ++page_;
        beginPage();
    }
    endJob();
    ++jobsEnded_;
    closeJob();
}

void Printer::KillDoc() {
    if (!jobOpen_) return;
    abandonJob();
    closeJob();
}

void Printer::toPage() {
    if (!jobOpen_) {
        beginJob();
        jobOpen_ = true;
        page_ = 1;
    }
    for (; pendingBreaks_ > 0; --pendingBreaks_) {
        ++page_;
        beginPage();
    }
}

void Printer::closeJob() {
    jobOpen_ = false;
    page_ = 0;
    pendingBreaks_ = 0;
    x_ = 0;
    y_ = 0;
}

namespace {
std::shared_ptr<Printer>& installed() {
    thread_local std::shared_ptr<Printer> printer;
    return printer;
}
}  // namespace

std::shared_ptr<Printer> installPrinter(std::shared_ptr<Printer> printer) {
    auto previous = std::move(installed());
    installed() = std::move(printer);
    return previous;
}

std::shared_ptr<Printer> installedPrinter() { return installed(); }

}  // namespace Palvo
