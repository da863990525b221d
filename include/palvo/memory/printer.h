// A headless recording printer: keeps every operation with its position.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/measure.h"
#include "palvo/printer.h"

namespace Palvo::memory {

/// One operation a printer was asked for, in twips.
struct PALVO_API PrinterOp {
    enum class Kind { Text, Line };
    Kind kind = Kind::Text;
    int page = 1;
    double x = 0;  // the text's top left; a rule's start
    double y = 0;
    double x2 = 0;  // a rule's end
    double y2 = 0;
    std::string text;
    double fontSize = 0;
    bool fontBold = false;
    int drawWidth = 1;  // rules only
};

/// A job that ended with EndDoc.
struct PALVO_API PrintedJob {
    int pages = 0;
    std::vector<PrinterOp> ops;
    /// The texts printed on a page, in printing order.
    std::vector<std::string> texts(int page) const;
    /// The rules drawn on a page, in drawing order.
    std::vector<PrinterOp> lines(int page) const;
};

/// A printer for tests and batch hosts. Texts are measured with a text
/// measurer (bold as regular) and a line is one em high (the font size in
/// points times 20 twips). It starts as one A4 portrait printer with a
/// 9-point font; paper, printable size and printer count are settable.
class PALVO_API RecordingPrinter : public Palvo::Printer {
public:
    /// nullptr measures with headlessMeasurer() (Noto Sans CJK, else the fixed rule).
    explicit RecordingPrinter(std::shared_ptr<TextMeasurer> measurer = nullptr);

    int PrinterCount() const override { return printers_; }
    int PaperSize() const override { return paperSize_; }
    int Orientation() const override { return orientation_; }
    double ScaleWidth() const override { return width_; }
    double ScaleHeight() const override { return height_; }

    void printers(int count) { printers_ = count; }
    /// Sets paper and orientation; the printable area becomes the paper less a
    /// quarter inch on every side (A4, B5, 10 x 11 inch and letter are known;
    /// another code keeps the printable area as it is).
    void paper(int paperSize, int orientation = vbPRORPortrait);
    void printableSize(double width, double height) {
        width_ = width;
        height_ = height;
    }
    /// How far its text reaches past its lines (Printer::textReach), the same
    /// for every text and font; none at first.
    void reach(TextReach r) { reach_ = r; }
    TextReach textReach(std::string_view) const override { return reach_; }

    /// The jobs that ended, in order.
    const std::vector<PrintedJob>& jobs() const { return jobs_; }
    /// The operations of the open job.
    const std::vector<PrinterOp>& pending() const { return pending_; }
    /// How many jobs were abandoned.
    int abandoned() const { return abandoned_; }

protected:
    double measureWidth(std::string_view text) const override;
    double lineHeight() const override { return FontSize() * 20; }
    void beginJob() override { pending_.clear(); }
    void beginPage() override {}
    void drawText(double x, double y, std::string_view text) override;
    void drawLine(double x1, double y1, double x2, double y2) override;
    void endJob() override;
    void abandonJob() override;

private:
    std::shared_ptr<TextMeasurer> measurer_;
    int printers_ = 1;
    int paperSize_ = PaperCode::A4;
    int orientation_ = vbPRORPortrait;
    double width_ = 0;
    double height_ = 0;
    std::vector<PrintedJob> jobs_;
    std::vector<PrinterOp> pending_;
    int abandoned_ = 0;
    TextReach reach_;
};

}  // namespace Palvo::memory
