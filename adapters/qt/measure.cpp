// The text measurer on Qt fonts.
#include "palvo/qt/measure.h"

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
#include "qt_support.h"

namespace Palvo::qt {

// ---------------------------------------------------------------- FontMeasurer

namespace {
QFont fontOf(const std::string& family, double size) {
    QFont font(toQString(family));
    font.setPointSizeF(size > 0 ? size : 1.0);
    // Unhinted outlines: widths scale with the size instead of snapping to pixels.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
}  // namespace

namespace {

// Digits and the marks of numbers, dates and times.
constexpr std::string_view kPlainMarks = "0123456789.,-+:/ ";

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

}  // namespace

struct FontMeasurer::Cache {
    static constexpr std::size_t kMaxTexts = 65536;
    std::mutex lock;
    double size = 0;
    std::optional<QFontMetricsF> metrics;
    double twipsPerUnit = 0;
    // The advance of each plain mark, kept when no pair of them is kerned in this font, so a
    // text of plain marks alone (a number, a date) is the sum of its marks without shaping.
    std::optional<std::array<double, 128>> plainAdvance;
    std::unordered_map<std::string, double, TextHash, std::equal_to<>> widths;

    void load(const std::string& family, double fontSize) {
        metrics.emplace(fontOf(family, fontSize));
        const double dpi = metrics->fontDpi() > 0 ? metrics->fontDpi() : 96.0;
        twipsPerUnit = 1440.0 / dpi;
        size = fontSize;
        widths.clear();
        std::array<double, 128> advance{};
        for (char c : kPlainMarks)
            advance[static_cast<unsigned char>(c)] = metrics->horizontalAdvance(QString(QChar(c)));
        plainAdvance = advance;
        for (char x : kPlainMarks) {
            for (char y : kPlainMarks) {
                const QChar pairChars[] = {QChar(x), QChar(y)};
                const double pair = metrics->horizontalAdvance(QString(pairChars, 2));
                if (std::abs(pair - advance[static_cast<unsigned char>(x)] -
                             advance[static_cast<unsigned char>(y)]) > 1e-9) {
                    plainAdvance.reset();
                    return;
                }
            }
        }
    }

    std::optional<double> plainWidth(std::string_view text) const {
        if (!plainAdvance) return std::nullopt;
        double w = 0;
        for (char c : text) {
            if (kPlainMarks.find(c) == std::string_view::npos) return std::nullopt;
            w += (*plainAdvance)[static_cast<unsigned char>(c)];
        }
        return w;
    }
};

FontMeasurer::FontMeasurer(std::string family)
    : family_(std::move(family)), cache_(std::make_unique<Cache>()) {}

FontMeasurer::~FontMeasurer() = default;

double FontMeasurer::TextWidth(std::string_view text, double fontSize) const {
    if (text.empty() || fontSize <= 0) return 0;
    const std::lock_guard guard(cache_->lock);
    Cache& c = *cache_;
    if (!c.metrics || c.size != fontSize) c.load(family_, fontSize);
    if (auto plain = c.plainWidth(text)) return *plain * c.twipsPerUnit;
    if (auto it = c.widths.find(text); it != c.widths.end()) return it->second;
    const double w = c.metrics->horizontalAdvance(toQString(text)) * c.twipsPerUnit;
    if (c.widths.size() >= Cache::kMaxTexts) c.widths.clear();
    c.widths.emplace(std::string(text), w);
    return w;
}

std::string FontMeasurer::resolvedFamily() const { return toStd(QFontInfo(fontOf(family_, 9)).family()); }

}  // namespace Palvo::qt
