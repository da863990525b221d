// The drawing steps of a print job kept until it is sent (or shown a page at a
// time by a preview), in an unnamed temporary file: a job of ten thousand pages
// holds only where each page starts.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace Palvo::qt {

class JobSpool {
public:
    struct Font {
        int pixels = 0;  // twips: the painter is scaled to twips
        bool bold = false;
        double baseline = 0;  // from a line's top
    };
    /// What a page's steps are handed to, in order.
    class Visitor {
    public:
        virtual ~Visitor() = default;
        virtual void font(const Font& f) = 0;
        virtual void text(double x, double y, const QString& text) = 0;
        virtual void line(double x1, double y1, double x2, double y2, int width) = 0;
    };

    JobSpool() = default;
    ~JobSpool();
    JobSpool(const JobSpool&) = delete;
    JobSpool& operator=(const JobSpool&) = delete;

    /// Forgets every step; the file is kept for the next job.
    void clear();
    void font(const Font& f);
    void text(double x, double y, const QString& text);
    void line(double x1, double y1, double x2, double y2, int width);
    /// Ends a page; the next step starts the next one.
    void page();
    /// 1 + the page breaks, as a kept job counts its pages.
    int pages() const { return static_cast<int>(starts_.size()); }
    /// Hands the steps of page `page` (from 1) to `v`, starting with the font
    /// the page started in (none before the job's first). Throws Palvo::Error 75
    /// when the file cannot be written or read.
    void replay(int page, Visitor& v);

private:
    void flush();
    void put(const void* data, std::size_t size);

    int fd_ = -1;
    std::string out_;  // steps not yet written
    std::uint64_t written_ = 0;
    std::vector<std::uint64_t> starts_{0};  // file offset of each page's first step
    std::vector<Font> fonts_{Font{}};       // the font each page starts in (pixels 0: none)
    Font current_{};
    std::string in_;  // a page read back
};

}  // namespace Palvo::qt
