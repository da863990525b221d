#include "palvo/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "palvo/error.h"

namespace Palvo {

namespace {

constexpr long kFileAccess = 75;  // "Path/File access error"
constexpr std::size_t kBufferSize = std::size_t{64} << 10;
constexpr int kNameTries = 100;

std::string reason(int error) { return std::error_code(error, std::generic_category()).message(); }

std::shared_ptr<FileFaults>& faultsPort() {
    thread_local std::shared_ptr<FileFaults> faults;
    return faults;
}

int injected(FileStep step) {
    const auto& faults = faultsPort();
    return faults ? faults->fault(step) : 0;
}

// The temporary files a signal handler removes: fixed slots, so that the
// handler touches nothing but lock-free atomics and unlink(2).
constexpr int kSlots = 32;
constexpr std::size_t kSlotPath = 4096;
struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 holds a file to remove
    char path[kSlotPath];
};
Slot slots[kSlots];

int claimSlot(const std::string& path) {
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(path, ec).string();
    if (ec || absolute.size() >= kSlotPath) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(slots[i].path, absolute.c_str(), absolute.size() + 1);
            slots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int& slot) {
    if (slot >= 0) slots[slot].state.store(0);
    slot = -1;
}

std::string randomSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string s(12, ' ');
    for (char& ch : s) ch = kChars[pick(device)];
    return s;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& destination) : destination_(destination) {
    namespace fs = std::filesystem;
    const std::string cannot = "Path/File access error: cannot write " + destination + ": ";
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const fs::path target = fs::weakly_canonical(destination, ec);
        if (ec) throw Error(kFileAccess, cannot + ec.message());
        destination_ = target.string();
    }
    if (::stat(destination_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw Error(kFileAccess, cannot + "it is a folder");
        if (!S_ISREG(st.st_mode)) throw Error(kFileAccess, cannot + "it is not a regular file");
        keepMode_ = true;
        mode_ = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        throw Error(kFileAccess, cannot + reason(errno));
    }
    const fs::path target(destination_);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() + "/" : "";
    // a hidden name no one can guess; a long name is cut so that the suffix fits
    const std::string base = "." + target.filename().string().substr(0, 200) + ".";
    // no signal between creating the file and noting it for removeUncommittedFiles
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    for (int tries = 0; fd_ < 0; ++tries) {
        temporary_ = folder + base + randomSuffix();
        int error = injected(FileStep::Create);
        if (error == 0) {
            // O_EXCL: never through a file or link that is already there; 0666 less the umask
            fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd_ < 0) error = errno;
        }
        if (fd_ < 0 && (error != EEXIST || tries >= kNameTries)) {
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
            temporary_.clear();
            throw Error(kFileAccess, cannot + "creating it failed: " + reason(error));
        }
    }
    slot_ = claimSlot(temporary_);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

AtomicFile::~AtomicFile() { remove(); }

std::string AtomicFile::openPath() const {
    std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    struct stat a {
    }, b{};
    if (fd_ >= 0 && ::stat(proc.c_str(), &a) == 0 && ::fstat(fd_, &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino) {
        return proc;
    }
    return temporary_;
}

bool AtomicFile::write(const void* data, std::size_t size) noexcept {
    if (!failure_.empty() || fd_ < 0) return false;
    try {
        if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
        buffer_.append(static_cast<const char*>(data), size);
    } catch (const std::exception&) {
        failure_ = "Path/File access error: cannot write " + destination_ + ": out of memory";
        return false;
    }
    return buffer_.size() < kBufferSize || flushBuffer();
}

bool AtomicFile::flushBuffer() noexcept {
    std::size_t done = 0;
    int error = buffer_.empty() ? 0 : injected(FileStep::Write);
    while (error == 0 && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            error = errno;
        }
    }
    buffer_.clear();
    if (error == 0) return true;
    failure_ = "Path/File access error: cannot write " + destination_ + ": writing failed: " + reason(error);
    return false;
}

void AtomicFile::fail(const std::string& reason) {
    if (failure_.empty()) failure_ = "Path/File access error: cannot write " + destination_ + ": " + reason;
}

void AtomicFile::commit() {
    if (fd_ < 0) throw Error(kFileAccess, "Path/File access error: " + destination_ + " is already written");
    if (failure_.empty()) flushBuffer();
    if (!failure_.empty()) {
        remove();
        throw Error(kFileAccess, failure_);
    }
    int error = injected(FileStep::Sync);
    if (error == 0 && ::fsync(fd_) != 0) error = errno;
    if (error != 0) failed("syncing it", error);
    if (keepMode_ && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) failed("keeping its mode", errno);
    error = injected(FileStep::Close);
    // a descriptor is gone after close(2) whatever it returns
    if (error == 0) {
        if (::close(fd_) != 0) error = errno;
        fd_ = -1;
    }
    if (error != 0) failed("closing it", error);
    error = injected(FileStep::Rename);
    if (error == 0 && std::rename(temporary_.c_str(), destination_.c_str()) != 0) error = errno;
    if (error != 0) failed("putting it in place", error);
    temporary_.clear();
    releaseSlot(slot_);
    // the rename itself reaches the disk with the folder; the file is in place either way
    const std::filesystem::path parent = std::filesystem::path(destination_).parent_path();
    const int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void AtomicFile::failed(const std::string& step, int error) {
    const std::string what =
        "Path/File access error: cannot write " + destination_ + ": " + step + " failed: " + reason(error);
    remove();
    throw Error(kFileAccess, what);
}

void AtomicFile::remove() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    releaseSlot(slot_);
    buffer_.clear();
}

void removeUncommittedFiles() noexcept {
    for (Slot& s : slots) {
        if (s.state.load() == 2) ::unlink(s.path);
    }
}

std::shared_ptr<FileFaults> installFileFaults(std::shared_ptr<FileFaults> faults) {
    std::swap(faultsPort(), faults);
    return faults;
}

}  // namespace Palvo
