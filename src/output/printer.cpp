#include "palvo/printer.h"

#include <algorithm>
#include <cmath>

#include "palvo/error.h"

namespace Palvo {

TextSurface::~TextSurface() = default;
Printer::~Printer() = default;
LaidOutPages::~LaidOutPages() = default;

std::vector<std::string> LaidOutPages::headingsBeyondPaper() const { return {}; }

bool Printer::takePages(std::shared_ptr<const LaidOutPages>) { return false; }

Printer::Printer(double fontSize, bool fontBold) : fontSize_(fontSize), fontBold_(fontBold) {}

void Printer::FontSize(double points) {
    if (!(points > 0)) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: FontSize");
    if (points == fontSize_) return;
    fontSize_ = points;
    fontChanged();
}

void Printer::Offset(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y))
        throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: Offset");
    offsetX_ = x;
    offsetY_ = y;
}

Printer::TextReach Printer::textReach(std::string_view) const { return {}; }

void Printer::FontBold(bool bold) {
    if (bold == fontBold_) return;
    fontBold_ = bold;
    fontChanged();
}

namespace {

// Calls f(line, i) for each of a text's own lines: they end at LF, a CR before it dropped.
template <class F>
void forEachLine(std::string_view text, F f) {
    for (std::size_t start = 0, i = 0;; ++i) {
        const auto end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        f(line, i);
        if (end == std::string_view::npos) return;
        start = end + 1;
    }
}

}  // namespace

double Printer::TextWidth(std::string_view text) const {
    if (text.find('\n') == std::string_view::npos) return measureWidth(text);
    double widest = 0;
    forEachLine(text,
                [&](std::string_view line, std::size_t) { widest = std::max(widest, measureWidth(line)); });
    return widest;
}

double Printer::TextHeight(std::string_view text) const {
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    return static_cast<double>(lines) * lineHeight();
}

void Printer::Print(std::string_view text) {
    toPage();
    if (text.find('\n') == std::string_view::npos) {
        if (!text.empty()) drawText(x_ + offsetX_, y_ + offsetY_, text);
    } else {
        // a text's own lines one under another, as TextHeight counts them
        forEachLine(text, [&](std::string_view line, std::size_t i) {
            if (!line.empty())
                drawText(x_ + offsetX_, y_ + offsetY_ + static_cast<double>(i) * lineHeight(), line);
        });
    }
    x_ = 0;
    y_ += TextHeight(text);
}

void Printer::DrawWidth(int width) {
    if (width < 1) throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: DrawWidth");
    drawWidth_ = width;
}

void Printer::Line(double x1, double y1, double x2, double y2) {
    toPage();
    drawLine(x1 + offsetX_, y1 + offsetY_, x2 + offsetX_, y2 + offsetY_);
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
