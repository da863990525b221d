// Memory for the large arrays a big result fills (recordset cells, grid
// texts). Touching fresh memory costs one page fault per page, which for a
// table of a million cells outweighs reading it; blocks from 1 MiB on are
// therefore mapped on their own and offered huge pages where the system has
// them (Linux), so that a fresh block faults in a few large pages.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "palvo/export.h"

namespace Palvo {

/// Blocks of at least this many bytes are mapped on their own.
inline constexpr std::size_t kBulkBlockBytes = std::size_t{1} << 20;

/// Allocates `bytes` (any alignment up to that of operator new). Throws std::bad_alloc.
PALVO_API void* allocateBulk(std::size_t bytes);
/// Frees a block of allocateBulk given the same size.
PALVO_API void freeBulk(void* block, std::size_t bytes) noexcept;
/// Moves a block of allocateBulk of `oldBytes` into one of `newBytes` (more),
/// keeping its first `keep` bytes (the rest are unspecified). A mapped block is moved by remapping its pages,
/// without copying them or touching the new ones. Throws std::bad_alloc, leaving the block as it was.
PALVO_API void* growBulk(void* block, std::size_t oldBytes, std::size_t newBytes, std::size_t keep);

/// A standard allocator over allocateBulk, for containers that grow large.
template <class T>
struct PALVO_API BulkAllocator {
    using value_type = T;

    BulkAllocator() = default;
    template <class U>
    BulkAllocator(const BulkAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(allocateBulk(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeBulk(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const BulkAllocator<U>&) const noexcept {
        return true;
    }
};

/// A growing array of plain values over growBulk: growing never copies a
/// mapped array, and a new element is all zero bytes.
template <class T>
class BulkArray {
    static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");

public:
    BulkArray() = default;
    BulkArray(const BulkArray& other) { *this = other; }
    BulkArray& operator=(const BulkArray& other) {
        if (this == &other) return *this;
        size_ = 0;
        reserve(other.size_);
        if (other.size_ > 0) std::memcpy(data_, other.data_, other.size_ * sizeof(T));
        size_ = other.size_;
        return *this;
    }
    BulkArray(BulkArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    BulkArray& operator=(BulkArray&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    ~BulkArray() { freeBulk(data_, capacity_ * sizeof(T)); }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

    void reserve(std::size_t n) {
        if (n <= capacity_) return;
        data_ = static_cast<T*>(growBulk(data_, capacity_ * sizeof(T), n * sizeof(T), size_ * sizeof(T)));
        capacity_ = n;
    }
    void resize(std::size_t n) {
        if (n > capacity_) reserve(std::max(n, 2 * capacity_));
        if (n > size_) std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
    }
    /// Inserts `count` zero elements before element `pos`.
    void insert(std::size_t pos, std::size_t count) {
        if (count == 0) return;
        const std::size_t tail = size_ - pos;
        resize(size_ + count);
        std::memmove(static_cast<void*>(data_ + pos + count), data_ + pos, tail * sizeof(T));
        std::memset(static_cast<void*>(data_ + pos), 0, count * sizeof(T));
    }
    /// Removes the elements [from, to).
    void erase(std::size_t from, std::size_t to) {
        if (from == to) return;
        std::memmove(static_cast<void*>(data_ + from), data_ + to, (size_ - to) * sizeof(T));
        size_ -= to - from;
    }

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace Palvo
