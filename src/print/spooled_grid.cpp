// A grid whose data rows lie in a temporary file: the reports of the `palvo`
// tool lay out a million rows through it with the memory of a few.
#include "palvo/spooled_grid.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/measure.h"
#include "src/base/conversions.h"
#include "src/grid/grid_fill.h"
#include "src/grid/grid_utils.h"

namespace Palvo {

namespace {

constexpr long kCannotWrite = 75;  // "Path/File access error"
constexpr int kRowsPerMark = 64;   // rows between two remembered file offsets
constexpr std::size_t kBufferBytes = std::size_t{1} << 18;
constexpr const char* kNumberHeading = "序号";
constexpr const char* kDateFormat = "YYYY-MM-DD";

[[noreturn]] void fileFailed(const char* what) {
    throw Error(kCannotWrite, std::string("Path/File access error: cannot ") + what +
                                  " the report's rows in the temporary folder: " + std::strerror(errno));
}

// An unnamed file in TMPDIR (else /tmp), gone once closed.
int openTemporary() {
    const char* base = std::getenv("TMPDIR");
    const std::string dir = base && *base ? base : "/tmp";
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string pattern = dir + "/palvo-rows-XXXXXX";  // a file system without O_TMPFILE
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) fileFailed("keep");
    ::unlink(pattern.c_str());
    return fd;
}

void putLength(std::string& out, std::size_t n) {
    while (n >= 0x80) {
        out += static_cast<char>((n & 0x7F) | 0x80);
        n >>= 7;
    }
    out += static_cast<char>(n);
}

}  // namespace

struct SpooledGrid::Impl {
    std::vector<std::string> heading;
    std::vector<std::int32_t> widths;
    std::vector<bool> dates;  // columns whose dates read as YYYY-MM-DD
    int dataRows = 0;
    float fontSize = 9.0f;
    bool sizeTidied = false;
    std::int32_t width = 4800;

    int fd = -1;
    std::string out;  // rows not yet written
    std::uint64_t written = 0;
    std::vector<std::uint64_t> marks;  // file offset of data rows 1, 65, 129, ...

    // reading: a window of the file, and the row last read
    mutable std::vector<char> buffer;
    mutable std::uint64_t bufferAt = 0;
    mutable std::size_t bufferLen = 0;
    mutable std::uint64_t next = 0;  // file offset of row nextRow
    mutable int nextRow = 0;
    mutable int current = 0;  // the row held in cells, 0 for none
    mutable std::vector<std::string> cells;
    mutable std::string shown;  // a running number or a tidied date last read

    ~Impl() {
        if (fd >= 0) ::close(fd);
    }

    void reset(std::vector<std::string> names) {
        if (fd < 0) fd = openTemporary();
        heading = std::move(names);
        const std::size_t n = heading.size();
        widths.assign(n, 960);
        dates.assign(n, false);
        dataRows = 0;
        out.clear();
        written = 0;
        marks.clear();
        current = 0;
        nextRow = 0;
        bufferLen = 0;  // what was read belongs to the rows before
        if (::ftruncate(fd, 0) != 0) fileFailed("keep");
    }

    void flush() {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n =
                ::pwrite(fd, out.data() + done, out.size() - done, static_cast<off_t>(written + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fileFailed("keep");
            done += static_cast<std::size_t>(n);
        }
        written += out.size();
        out.clear();
    }

    // The cells of columns 1.. of the next data row.
    void append(const std::vector<std::string>& texts) {
        if (dataRows % kRowsPerMark == 0) marks.push_back(written + out.size());
        for (const std::string& text : texts) {
            putLength(out, text.size());
            out += text;
        }
        ++dataRows;
        if (out.size() >= kBufferBytes) flush();
    }

    // `n` bytes of the file from `at`, in the buffer.
    const char* bytes(std::uint64_t at, std::size_t n) const {
        if (at < bufferAt || at + n > bufferAt + bufferLen) {
            buffer.resize(std::max(kBufferBytes, n));
            bufferAt = at;
            bufferLen = 0;
            while (bufferLen < buffer.size() && bufferAt + bufferLen < written) {
                const ssize_t got = ::pread(fd, buffer.data() + bufferLen, buffer.size() - bufferLen,
                                            static_cast<off_t>(bufferAt + bufferLen));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) fileFailed("read back");
                bufferLen += static_cast<std::size_t>(got);
            }
            if (at + n > bufferAt + bufferLen) {
                errno = EIO;
                fileFailed("read back");
            }
        }
        return buffer.data() + (at - bufferAt);
    }

    std::size_t length(std::uint64_t& at) const {
        std::size_t n = 0;
        for (int shift = 0;; shift += 7) {
            const auto b = static_cast<unsigned char>(*bytes(at++, 1));
            n |= static_cast<std::size_t>(b & 0x7F) << shift;
            if (b < 0x80) return n;
        }
    }

    // Data row r (1-based) into cells.
    void load(int r) const {
        if (r == current) return;
        if (r != nextRow) {
            const int mark = (r - 1) / kRowsPerMark;
            next = marks[static_cast<std::size_t>(mark)];
            nextRow = mark * kRowsPerMark + 1;
        }
        cells.resize(heading.size());
        for (; nextRow <= r; ++nextRow) {
            for (std::size_t c = 1; c < heading.size(); ++c) {
                const std::size_t n = length(next);
                cells[c].assign(bytes(next, n), n);
                next += n;
            }
        }
        current = r;
    }
};

SpooledGrid::SpooledGrid() : impl_(std::make_unique<Impl>()) {
    impl_->heading.assign(2, "");
    impl_->widths.assign(2, 960);
    impl_->dates.assign(2, false);
}

SpooledGrid::~SpooledGrid() = default;

int SpooledGrid::Rows() const { return 1 + impl_->dataRows; }
int SpooledGrid::Cols() const { return static_cast<int>(impl_->heading.size()); }

std::string_view SpooledGrid::cellText(int row, int col) const {
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols())
        throw Error(GridError::Subscript, "Subscript out of range");
    if (row == 0) return impl_->heading[static_cast<std::size_t>(col)];
    if (col == 0) return impl_->shown = std::to_string(row);
    impl_->load(row);
    const std::string& text = impl_->cells[static_cast<std::size_t>(col)];
    if (!impl_->dates[static_cast<std::size_t>(col)]) return text;
    return grid::tidiedDate(text, kDateFormat, impl_->shown);
}

std::int32_t SpooledGrid::ColWidth(int col) const {
    if (col < 0 || col >= Cols()) throw Error(GridError::Subscript, "Subscript out of range");
    return impl_->widths[static_cast<std::size_t>(col)];
}

float SpooledGrid::CellFontSize() const { return impl_->fontSize; }
void SpooledGrid::CellFontSize(float points) { impl_->fontSize = points; }
void SpooledGrid::Width(std::int32_t twips) { impl_->width = twips; }
void SpooledGrid::SizeTidiedDates(bool tidied) { impl_->sizeTidied = tidied; }

std::string SpooledGrid::ToolTipText() const {
    return "共有 " + std::to_string(impl_->dataRows) + " 条记录！";
}

namespace {

// The rows of the query into the file, each value as its text.
class SpoolRows : public RowReader {
public:
    explicit SpoolRows(SpooledGrid::Impl& grid) : grid_(grid) {}
    void columns(const std::vector<ColumnInfo>& columns) override {
        std::vector<std::string> names{kNumberHeading};
        for (const ColumnInfo& c : columns) names.push_back(c.name);
        grid_.reset(std::move(names));
        texts_.resize(columns.size());
    }
    void row(const Value* values) override {
        for (std::size_t f = 0; f < texts_.size(); ++f)
            base::withCellText(values[f], [&](std::string_view text) { texts_[f].assign(text); });
        grid_.append(texts_);
    }

private:
    SpooledGrid::Impl& grid_;
    std::vector<std::string> texts_;
};

}  // namespace

std::string fillSpooledGrid(Connection& conn, const std::string& sql, SpooledGrid& grid, bool controlSize) {
    std::shared_ptr<TextMeasurer> measurer;
    if (controlSize) {
        measurer = installedTextMeasurer();
        if (!measurer) return "No text measurer is installed on this thread";
    }
    SpooledGrid::Impl& d = *grid.impl_;
    try {
        SpoolRows rows(d);
        conn.QueryEach(grid::withDefaultOrder(sql), rows);
        d.flush();
        auto tidyDates = [&d] {
            for (std::size_t c = 0; c < d.heading.size(); ++c)
                d.dates[c] = grid::tidiesDates(d.heading[c], kDateFormat, "", "");
        };
        if (d.sizeTidied) tidyDates();
        // sized on the texts as they came, the dates tidied after, as sFillTable does; or as they read
        if (controlSize) d.widths = grid::fittedWidths(grid, *measurer, d.fontSize, d.width, 0, true);
        tidyDates();
        return d.dataRows == 0 ? "0" : "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

}  // namespace Palvo
