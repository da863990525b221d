// A file written whole or not at all: made beside its destination under a
// temporary name and renamed over it only once every byte is on the disk.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "palvo/export.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// A new file for `destination`, put in its place by commit(). The temporary
/// file is created in the destination's folder under an unpredictable hidden
/// name, exclusively, so a file or link planted there is never written
/// through; a new file gets mode 0666 less the umask, a replaced one keeps
/// the mode it had. A destination that is a link stays a link: the file it
/// points to is replaced. Until commit() succeeds the destination is not
/// touched; the temporary file goes when the object does, on any failure,
/// and through removeUncommittedFiles() on a signal. Not copyable.
class PALVO_API AtomicFile {
public:
    /// Throws Palvo::Error 75 naming the destination and the reason (a folder,
    /// no such folder, no permission).
    explicit AtomicFile(const std::string& destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// The file that commit() replaces (a link's target).
    const std::string& destination() const { return destination_; }
    const std::string& temporaryPath() const { return temporary_; }
    /// A name that opens the temporary file itself for a library that opens
    /// files by name, whatever is put under its name meanwhile
    /// (/proc/self/fd/N where /proc is there, else temporaryPath()).
    std::string openPath() const;

    /// Appends data (buffered). False once a write failed; the first failure
    /// is what commit() throws.
    bool write(const void* data, std::size_t size) noexcept;
    /// Writes what is buffered, so the temporary file can be read by name.
    /// False once a write failed.
    bool flush() noexcept { return failure_.empty() && fd_ >= 0 && flushBuffer(); }
    /// Marks the file as failed for a reason found by its writer; commit()
    /// then throws it.
    void fail(const std::string& reason);
    /// Writes what is buffered, syncs the file to the disk, gives it its
    /// mode, closes it and renames it over the destination. Throws
    /// Palvo::Error 75 naming the step that failed; the temporary file is then
    /// removed and the destination is as it was.
    void commit();

private:
    bool flushBuffer() noexcept;
    [[noreturn]] void failed(const std::string& step, int error);
    void remove() noexcept;

    std::string destination_;
    std::string temporary_;
    int fd_ = -1;
    int slot_ = -1;
    unsigned mode_ = 0;
    bool keepMode_ = false;
    std::string buffer_;
    std::string failure_;
};

/// Removes the temporary file of every AtomicFile not yet committed or gone.
/// Async-signal-safe: for a host's handler of SIGINT or SIGTERM.
PALVO_API void removeUncommittedFiles() noexcept;

/// The system steps of an AtomicFile, for injecting faults in tests.
enum class FileStep { Create, Write, Sync, Close, Rename };

/// The calling thread's fault injector: `fault(step)` gives the errno the step
/// fails with, 0 to let it run.
class PALVO_API FileFaults {
public:
    virtual ~FileFaults() = default;
    virtual int fault(FileStep step) = 0;
};

/// Installs the calling thread's fault injector (nullptr: none); returns the previous one.
PALVO_API std::shared_ptr<FileFaults> installFileFaults(std::shared_ptr<FileFaults> faults);
using ScopedFileFaults = ScopedPort<FileFaults, installFileFaults>;

}  // namespace Palvo
