// Memory for the large arrays a big result fills (recordset cells, grid
// texts). Touching fresh memory costs one page fault per page, which for a
// table of a million cells outweighs reading it; blocks from 1 MiB on are
// therefore mapped on their own and offered huge pages where the system has
// them (Linux), so that a fresh block faults in a few large pages.
#pragma once

#include <cstddef>

#include "palvo/export.h"

namespace Palvo {

/// Blocks of at least this many bytes are mapped on their own.
inline constexpr std::size_t kBulkBlockBytes = std::size_t{1} << 20;

/// Allocates `bytes` (any alignment up to that of operator new). Throws std::bad_alloc.
PALVO_API void* allocateBulk(std::size_t bytes);
/// Frees a block of allocateBulk given the same size.
PALVO_API void freeBulk(void* block, std::size_t bytes) noexcept;

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

}  // namespace Palvo
