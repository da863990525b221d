// The printer port: the platform's printer object, in twips (1440 to the inch)
// measured from the top left of the printable area.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/export.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// Paper size codes of the platform's printers (the others exist too).
namespace PaperCode {
inline constexpr int Letter = 1;
inline constexpr int A4 = 9;
inline constexpr int B5 = 13;            // JIS B5, 182 x 257 mm
inline constexpr int Fanfold10x11 = 45;  // 10 x 11 inch continuous paper
}  // namespace PaperCode

/// Orientation codes.
inline constexpr int vbPRORPortrait = 1;
inline constexpr int vbPRORLandscape = 2;

/// What a line of text is printed on: a font, a print position and Print.
/// The printer is one; a host may offer any other surface with these members.
class PALVO_API TextSurface {
public:
    virtual ~TextSurface();
    virtual double FontSize() const = 0;
    virtual void FontSize(double points) = 0;
    virtual bool FontBold() const = 0;
    virtual void FontBold(bool bold) = 0;
    virtual double CurrentX() const = 0;
    virtual void CurrentX(double x) = 0;
    virtual double CurrentY() const = 0;
    virtual void CurrentY(double y) = 0;
    /// The printed width of a text in the current font; of a text of several
    /// lines, its widest line.
    virtual double TextWidth(std::string_view text) const = 0;
    /// The height of a text in the current font: one line per line of the text.
    virtual double TextHeight(std::string_view text) const = 0;
    /// Prints text with its top left at (CurrentX, CurrentY), its own lines (ending
    /// at LF) one under another, then moves to the start of the next line:
    /// CurrentX = 0, CurrentY += TextHeight(text).
    virtual void Print(std::string_view text) = 0;
};

class Printer;

/// A report laid out but not drawn: its pages are drawn when they are wanted
/// (a paged preview draws the page shown).
class PALVO_API LaidOutPages {
public:
    virtual ~LaidOutPages();
    virtual int pageCount() const = 0;
    /// Draws page `page` (from 1) on `p` as the report prints it, then breaks
    /// the page. Throws Palvo::Error 380 for a page the report does not have.
    virtual void drawPage(Printer& p, int page) const = 0;
    /// The headings of the columns that print past the paper's printable
    /// width (a report is not scaled: they come out cut off or not at all).
    virtual std::vector<std::string> headingsBeyondPaper() const;
};

/// A printer. The position, font, rule thickness and the pages of a job are
/// kept here, so every printer moves alike; an adapter measures and draws
/// through the hooks below. A job opens with the first text or rule drawn
/// (or the first NewPage) and ends with EndDoc, or is abandoned with KillDoc.
class PALVO_API Printer : public TextSurface {
public:
    ~Printer() override;

    // ---- the printer and its paper
    /// How many printers the host can print to; 0 when none is installed.
    virtual int PrinterCount() const = 0;
    /// The paper size code (PaperCode).
    virtual int PaperSize() const = 0;
    /// vbPRORPortrait or vbPRORLandscape.
    virtual int Orientation() const = 0;
    /// The printable width and height in the current orientation.
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    /// The name the next jobs carry in the print queue (a report's title).
    const std::string& DocName() const { return docName_; }
    void DocName(std::string name) { docName_ = std::move(name); }
    /// Whether jobs are only shown on screen (a print preview): nothing is sent.
    virtual bool previewOnly() const { return false; }
    /// Offered a report's laid-out pages in place of drawing them all and
    /// EndDoc: true when this printer keeps them to draw later (a paged
    /// preview's), false (the default) when the report is to draw them now.
    virtual bool takePages(std::shared_ptr<const LaidOutPages> pages);
    /// Everything printed moves by (x, y) twips, right and down: this printer's
    /// offset, which lines a report up with pre-printed forms. (0, 0) at first.
    void Offset(double x, double y);
    double OffsetX() const { return offsetX_; }
    double OffsetY() const { return offsetY_; }

    /// How far printed text reaches past its lines in the current font, in
    /// twips: `above` a line's top and `below` its bottom as a reader selects
    /// the text (the fonts' own ascent and descent), and `inkAbove` how far the
    /// ink of a given text rises above its first line's top.
    struct TextReach {
        double above = 0;
        double below = 0;
        double inkAbove = 0;
    };
    /// The reach of `text` in the current font; none by default (the text keeps within its lines).
    virtual TextReach textReach(std::string_view text) const;

    // ---- the text members
    double FontSize() const final { return fontSize_; }
    /// Throws Palvo::Error 380 for a size that is not above 0.
    void FontSize(double points) final;
    bool FontBold() const final { return fontBold_; }
    void FontBold(bool bold) final;
    double CurrentX() const final { return x_; }
    void CurrentX(double x) final { x_ = x; }
    double CurrentY() const final { return y_; }
    void CurrentY(double y) final { y_ = y; }
    double TextWidth(std::string_view text) const final;
    double TextHeight(std::string_view text) const final;
    void Print(std::string_view text) final;

    // ---- rules and pages
    /// The thickness of rules, 1 and up (DrawWidth 1 is the thinnest rule).
    int DrawWidth() const { return drawWidth_; }
    /// Throws Palvo::Error 380 below 1.
    void DrawWidth(int width);
    /// Draws a rule from (x1, y1) to (x2, y2) and moves the position to its end.
    void Line(double x1, double y1, double x2, double y2);
    /// Ends the page; the next one starts with the next text or rule drawn, so
    /// a page break right before EndDoc adds no blank page. The position goes to (0, 0).
    void NewPage();
    /// Ends the job: its pages go to the printer. Nothing happens without a job.
    void EndDoc();
    /// Abandons the job: nothing of it reaches the printer. Nothing happens without a job.
    void KillDoc();

    /// Whether a job is open.
    bool jobOpen() const { return jobOpen_; }
    /// The page being drawn, from 1; 0 without a job.
    int page() const { return page_; }
    /// How many jobs ended with EndDoc.
    int jobsEnded() const { return jobsEnded_; }

protected:
    /// Starts from the host's printer font (size in points).
    explicit Printer(double fontSize = 9, bool fontBold = false);

    /// The width of a text on one line in the current font (FontSize, FontBold).
    virtual double measureWidth(std::string_view text) const = 0;
    /// The height of one line in the current font.
    virtual double lineHeight() const = 0;
    /// Called when the font changed.
    virtual void fontChanged() {}
    /// Opens a job: its first page begins.
    virtual void beginJob() = 0;
    /// The page ended; the next one begins.
    virtual void beginPage() = 0;
    /// Draws a text with its top left at (x, y) in the current font.
    virtual void drawText(double x, double y, std::string_view text) = 0;
    /// Draws a rule in the current DrawWidth.
    virtual void drawLine(double x1, double y1, double x2, double y2) = 0;
    /// The job is complete: send it.
    virtual void endJob() = 0;
    /// Drop the job: nothing of it may reach the printer.
    virtual void abandonJob() = 0;

private:
    void toPage();
    void closeJob();

    double fontSize_;
    bool fontBold_;
    std::string docName_;
    double x_ = 0;
    double y_ = 0;
    int drawWidth_ = 1;
    double offsetX_ = 0;
    double offsetY_ = 0;
    bool jobOpen_ = false;
    int page_ = 0;
    int pendingBreaks_ = 0;
    int jobsEnded_ = 0;
};

/// Installs the calling thread's printer, the one reports print on (nullptr
/// removes it), and returns the one it replaces.
PALVO_API std::shared_ptr<Printer> installPrinter(std::shared_ptr<Printer> printer);
/// The calling thread's printer, or nullptr.
PALVO_API std::shared_ptr<Printer> installedPrinter();

/// Installs a printer for the life of the guard and restores the previous one.
using ScopedPrinter = ScopedPort<Printer, installPrinter>;

}  // namespace Palvo
