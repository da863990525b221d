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
    /// lie in a temporary file: a long job costs little memory.
    void holdJobs(bool hold);
    /// The pages of the held job; 0 when no job is held.
    int heldPages() const;
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
    std::unique_ptr<Impl> impl_;
};

/// The Qt page size id (QPageSize::PageSizeId) of a paper code, or -1 when Qt has none.
PALVO_API int pageSizeIdOf(int paperCode);
/// The paper code of a Qt page size id; 256 (a user-defined size) for one without a code.
PALVO_API int paperCodeOf(int pageSizeId);

/// A print preview (QPrintPreviewDialog, titled "打印预览") whose pages `report`
/// prints: each time the dialog lays its pages out, a Printer on the preview's
/// QPrinter is the thread's printer while `report` runs (clsPrint().mPrintRecord(...)).
/// From the dialog the user prints or closes. The caller owns the dialog.
PALVO_API std::unique_ptr<QPrintPreviewDialog> printPreview(std::function<void()> report,
                                                            QWidget* parent = nullptr);

/// A print preview ("打印预览") that lays the report out once, keeps its pages
/// in a temporary file and draws only the page shown: the first page shows as
/// soon as the report has run, however many pages it has, and paging through
/// costs no memory. The pages are laid out on printer() (the default printer's
/// default paper unless the host sets another); the dialog's 打印 button asks
/// for a printer in a print dialog and sends it the pages as they were laid out.
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
    /// The page drawn on white at `dpi`, the whole paper.
    QImage pageImage(int page, double dpi) const;
    /// Sends the pages to `target` (what 打印 does once its print dialog is accepted).
    void print(QPrinter& target);
    int exec();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace Palvo::qt
