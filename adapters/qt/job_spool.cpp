#include "job_spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "palvo/error.h"

namespace Palvo::qt {

namespace {

constexpr long kCannotWrite = 75;  // "Path/File access error"
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
enum Step : char { kFont = 'F', kText = 'T', kLine = 'L' };

[[noreturn]] void failed(const char* what) {
    throw Error(kCannotWrite,
                std::string("打印失败：无法在临时文件夹中") + what + "打印任务：" + std::strerror(errno));
}

template <class T>
T take(const char*& p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

}  // namespace

JobSpool::~JobSpool() {
    if (fd_ >= 0) ::close(fd_);
}

void JobSpool::clear() {
    out_.clear();
    written_ = 0;
    starts_.assign(1, 0);
    fonts_.assign(1, Font{});
    current_ = Font{};
}

void JobSpool::put(const void* data, std::size_t size) {
    out_.append(static_cast<const char*>(data), size);
    if (out_.size() >= kFlushBytes) flush();
}

void JobSpool::flush() {
    if (out_.empty()) return;
    if (fd_ < 0) {
        const char* base = std::getenv("TMPDIR");
        const std::string dir = base && *base ? base : "/tmp";
        fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string pattern = dir + "/palvo-job-XXXXXX";  // a file system without O_TMPFILE
            fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (fd_ < 0) failed("保存");
            ::unlink(pattern.c_str());
        }
    }
    std::size_t done = 0;
    while (done < out_.size()) {
        const ssize_t n =
            ::pwrite(fd_, out_.data() + done, out_.size() - done, static_cast<off_t>(written_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failed("保存");
        done += static_cast<std::size_t>(n);
    }
    written_ += out_.size();
    out_.clear();
}

void JobSpool::font(const Font& f) {
    const char tag = kFont;
    put(&tag, 1);
    put(&f.pixels, sizeof f.pixels);
    put(&f.bold, sizeof f.bold);
    put(&f.baseline, sizeof f.baseline);
    current_ = f;
}

void JobSpool::text(double x, double y, const QString& text) {
    const char tag = kText;
    const auto units = static_cast<std::uint32_t>(text.size());
    put(&tag, 1);
    put(&x, sizeof x);
    put(&y, sizeof y);
    put(&units, sizeof units);
    put(text.utf16(), units * sizeof(char16_t));
}

void JobSpool::line(double x1, double y1, double x2, double y2, int width) {
    const char tag = kLine;
    put(&tag, 1);
    for (double v : {x1, y1, x2, y2}) put(&v, sizeof v);
    put(&width, sizeof width);
}

void JobSpool::page() {
    starts_.push_back(written_ + out_.size());
    fonts_.push_back(current_);
}

void JobSpool::replay(int page, Visitor& v) {
    flush();
    const auto p = static_cast<std::size_t>(page - 1);
    const std::uint64_t begin = starts_[p];
    const std::uint64_t end = p + 1 < starts_.size() ? starts_[p + 1] : written_;
    in_.resize(static_cast<std::size_t>(end - begin));
    for (std::size_t got = 0; got < in_.size();) {
        const ssize_t n = ::pread(fd_, in_.data() + got, in_.size() - got, static_cast<off_t>(begin + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failed("读回");
        got += static_cast<std::size_t>(n);
    }
    if (fonts_[p].pixels > 0) v.font(fonts_[p]);
    const char* at = in_.data();
    const char* stop = at + in_.size();
    while (at < stop) {
        const char tag = *at++;
        if (tag == kFont) {
            Font f;
            f.pixels = take<int>(at);
            f.bold = take<bool>(at);
            f.baseline = take<double>(at);
            v.font(f);
        } else if (tag == kText) {
            const double x = take<double>(at);
            const double y = take<double>(at);
            const auto units = take<std::uint32_t>(at);
            QString s(static_cast<qsizetype>(units), Qt::Uninitialized);
            std::memcpy(s.data(), at, units * sizeof(char16_t));
            at += units * sizeof(char16_t);
            v.text(x, y, s);
        } else {
            const double x1 = take<double>(at);
            const double y1 = take<double>(at);
            const double x2 = take<double>(at);
            const double y2 = take<double>(at);
            v.line(x1, y1, x2, y2, take<int>(at));
        }
    }
}

}  // namespace Palvo::qt
