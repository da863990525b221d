// Qt 6 adapters: the printer (system printers through CUPS, PDF files) and the
// print preview. Only a Qt host includes the headers under palvo/qt/ (target
// Palvo::qt); the core never does. Qt classes are only forward-declared here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/printer.h"

class QDialog;
class QImage;
class QPaintDevice;
class QPrintDialog;
class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace Palvo::qt {

/// The families printed text is set in, in order: a Latin face first (Noto
/// Sans CJK alone loses the text of digits that follow letters in a PDF), Noto
/// Sans CJK SC for the Chinese characters the first one lacks.
PALVO_API std::vector<std::string> defaultPrintFamilies();

/// The printer port on a QPrinter (docs/print.md). Units are twips from the
/// top left of the printable area; a line of text is one em high (the font
/// size); a rule of DrawWidth n is n x 10 twips thick. A job to a PDF file is
/// written as it is drawn into a temporary file beside it (an AtomicFile, each
/// write checked), which becomes the file at EndDoc; any other job is kept until EndDoc and only then drawn
/// on the QPrinter, so an abandoned job (KillDoc) leaves nothing behind. Use on the GUI thread only.
class PALVO_API Printer : public Palvo::Printer {
public:
    /// The system's default printer (CUPS). PrinterCount is the number of
    /// system printers: 0 when none is installed.
    Printer();
    /// A printer the host set up: a preview's, or one chosen in a print
    /// dialog. Not owned; it must outlive the adapter. It counts as one printer.
    explicit Printer(QPrinter& target);
    /// A PDF file at `path`, A4 portrait with a margin of an eighth of an inch. It counts
    /// as one printer, with or without system printers. An older file of that
    /// name is replaced only when a job ends whole; EndDoc throws Palvo::Error
    /// 75, naming what failed, when the file cannot be written.
    static std::shared_ptr<Printer> pdf(const std::string& path);
    ~Printer() override;
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    int PrinterCount() const override;
    int PaperSize() const override;
    int Orientation() const override;
    double ScaleWidth() const override;
    double ScaleHeight() const override;
    /// On a print preview's QPrinter while it lays its pages out.
    bool previewOnly() const override;
    /// The fonts' ascent and descent past the em, the ink from the glyphs' outlines.
    TextReach textReach(std::string_view text) const override;
    /// While jobs are held (holdJobs), keeps a report's laid-out pages as the
    /// held job, drawing none of them until one is shown or printed.
    bool takePages(std::shared_ptr<const LaidOutPages> pages) override;

    /// Sets the paper by its code (9 A4, 13 B5, 45 10 x 11 inch, 1 letter, ...).
    /// Throws Palvo::Error 380 for a code Qt knows no page size for, or while a job is open.
    void PaperSize(int code);
    /// Throws Palvo::Error 380 for a code other than 1 and 2, or while a job is open.
    void Orientation(int orientation);
    /// The font families, in order of preference (defaultPrintFamilies()).
    void fontFamilies(const std::vector<std::string>& families);

    QPrinter& qprinter();

    /// With `hold`, a job that is not a PDF file's is kept when it ends instead
    /// of being drawn on the QPrinter (previewOnly() is then true), for a
    /// preview that shows it a page at a time (PagedPreview). The kept steps
    /// lie in a temporary file: a long job costs little memory. A report that
    /// hands over its laid-out pages (takePages) is held without being drawn.
    void holdJobs(bool hold);
    /// The pages of the held job; 0 when no job is held.
    int heldPages() const;
    /// The headings of the held report's columns that print past its paper's
    /// printable width; empty for a job that was drawn, not handed over.
    std::vector<std::string> heldHeadingsBeyondPaper() const;
    /// Draws page `page` (from 1) of the held job on `device`, which stands for
    /// the whole paper at `dpi`, as the preview shows it. Throws Palvo::Error
    /// 380 for a page the job does not have.
    void drawHeldPage(QPaintDevice& device, int page, double dpi);
    /// Sends the held job to `target` as an ended job goes to a host's
    /// QPrinter: the pages, copies and order its print dialog chose, on the
    /// paper the job was laid out on. The job stays held.
    void printHeld(QPrinter& target);

protected:
    double measureWidth(std::string_view text) const override;
    double lineHeight() const override;
    void fontChanged() override;
    void beginJob() override;
    void beginPage() override;
    void drawText(double x, double y, std::string_view text) override;
    void drawLine(double x1, double y1, double x2, double y2) override;
    void endJob() override;
    void abandonJob() override;

private:
    struct Impl;
    explicit Printer(std::unique_ptr<Impl> impl);
    // Draws pages first..last of the laid-out report into the kept job.
    void keepLaidOutPages(int first, int last);
    std::unique_ptr<Impl> impl_;
};

/// The Qt page size id (QPageSize::PageSizeId) of a paper code, or -1 when Qt has none.
PALVO_API int pageSizeIdOf(int paperCode);
/// The paper code of a Qt page size id; 256 (a user-defined size) for one without a code.
PALVO_API int paperCodeOf(int pageSizeId);

/// Deletes a preview dialog unless it is gone already: a dialog given a parent
/// is deleted with it, and the pointer then only waits to be dropped.
struct PALVO_API PreviewDialogDeleter {
    std::shared_ptr<bool> gone;
    void operator()(QPrintPreviewDialog* dialog) const;
};
using PreviewDialogPtr = std::unique_ptr<QPrintPreviewDialog, PreviewDialogDeleter>;

/// A print preview (QPrintPreviewDialog, titled "打印预览") whose pages `report`
/// prints: each time the dialog lays its pages out, a Printer on the preview's
/// QPrinter is the thread's printer while `report` runs (clsPrint().mPrintRecord(...)).
/// From the dialog the user prints or closes. The caller owns the dialog; a
/// dialog with a parent is deleted with the parent when that goes first (use
/// the pointer only while the parent lives), and either may go first.
PALVO_API PreviewDialogPtr printPreview(std::function<void()> report, QWidget* parent = nullptr);

/// A print dialog for `target` whose page range stays among the report's
/// `pages` (from 1). A target writing a PDF file (QPrinter::setOutputFileName)
/// opens on "print to file" with that file and keeps it when accepted as it
/// is: Qt's dialog would otherwise switch to the system's default printer.
PALVO_API std::unique_ptr<QPrintDialog> printDialog(QPrinter& target, int pages, QWidget* parent = nullptr);

/// A print preview ("打印预览") that lays the report out once and draws only the
/// page shown: mPrintRecord hands over its laid-out pages (Printer::takePages)
/// and a page is drawn from the grid when shown, so the first page shows at
/// once however many pages there are, and paging through costs no memory. The
/// grid must stay as it is while the preview is open. A report that draws its
/// job instead is kept in a temporary file and shown a page at a time. The
/// pages are laid out on printer() (the default printer's default paper unless
/// the host sets another); the dialog offers the paper (A4, B5, 10 x 11 inch)
/// and orientation, lays the report out again when either changes, and names
/// the columns that do not fit across the paper. Its 打印 button asks for a
/// printer in a print dialog (printDialog) and sends it the pages.
///
/// The dialog is a child of `parent`: the preview deletes it when it goes
/// first; when the parent goes first the dialog goes with it, and the preview
/// then shows nothing (exec() returns QDialog::Rejected, dialog() throws
/// Palvo::Error 424). Either may go first.
class PALVO_API PagedPreview {
public:
    explicit PagedPreview(std::function<void()> report, QWidget* parent = nullptr);
    ~PagedPreview();
    PagedPreview(const PagedPreview&) = delete;
    PagedPreview& operator=(const PagedPreview&) = delete;

    QPrinter& printer();
    QDialog& dialog();
    /// Runs the report on printer() and shows its first page; exec() does so
    /// when it has not run. A report that printed nothing shows one blank page.
    void layOut();
    int pageCount() const;
    int currentPage() const;
    /// Shows a page (from 1); a number outside the pages shows the nearest.
    void showPage(int page);
    /// The zoom of the page shown, in percent of its size on paper (100 at first).
    int zoom() const;
    /// Sets the zoom (clamped to 25..400 percent).
    void zoom(int percent);
    /// The headings of the columns that print past the paper's width; the
    /// dialog names them (empty when every column fits).
    std::vector<std::string> columnsBeyondPaper() const;
    /// The page drawn on white at `dpi`, the whole paper.
    QImage pageImage(int page, double dpi) const;
    /// Sends the pages to `target` (what 打印 does once its print dialog is
    /// accepted). An orientation chosen there other than the preview's lays the
    /// report out again in that orientation first; the paper stays the preview's.
    void print(QPrinter& target);
    int exec();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace Palvo::qt
