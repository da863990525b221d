// Qt 6 Widgets adapters: the text measurer. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "palvo/export.h"
#include "palvo/measure.h"

namespace Palvo::qt {

/// Text widths through QFontMetricsF in one font family (by default Noto
/// Sans CJK SC from fonts-noto-cjk; fontconfig substitutes when it is missing).
/// The metrics of the last size asked for, and the widths of the texts seen
/// at it, are kept (up to 65536 texts), so a grid of repeated values is shaped
/// once per distinct text. Safe to share between threads.
class PALVO_API FontMeasurer : public TextMeasurer {
public:
    explicit FontMeasurer(std::string family = "Noto Sans CJK SC");
    ~FontMeasurer() override;
    FontMeasurer(const FontMeasurer&) = delete;
    FontMeasurer& operator=(const FontMeasurer&) = delete;
    double TextWidth(std::string_view text, double fontSize) const override;
    /// The family the font database actually resolved the requested one to.
    std::string resolvedFamily() const;

private:
    struct Cache;
    std::string family_;
    std::unique_ptr<Cache> cache_;
};

}  // namespace Palvo::qt
