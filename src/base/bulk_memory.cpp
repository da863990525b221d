#include "palvo/bulk_memory.h"

#include <cstdint>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer the blocks come from the ordinary heap, where its
// checks and the leak checker's scan can see them.
#if defined(__SANITIZE_ADDRESS__)
#define PALVO_BULK_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PALVO_BULK_FROM_HEAP 1
#endif
#endif

namespace Palvo {

#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(PALVO_BULK_FROM_HEAP)

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Whole huge pages: a tail of small pages would fault page by page again.
std::size_t mappedBytes(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* allocateBulk(std::size_t bytes) {
    if (bytes < kBulkBlockBytes) return ::operator new(bytes);
    // Mapped one huge page longer than asked, so that the block can start on a huge page boundary.
    const std::size_t size = mappedBytes(bytes);
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const auto aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const auto end = start + size + kHugePage;
    if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    // Only advice: where huge pages are off the block simply has small ones.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeBulk(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes < kBulkBlockBytes) {
        ::operator delete(block);
        return;
    }
    munmap(block, mappedBytes(bytes));
}

void* growBulk(void* block, std::size_t oldBytes, std::size_t newBytes, std::size_t keep) {
    if (block != nullptr && oldBytes >= kBulkBlockBytes) {
        if (mappedBytes(newBytes) == mappedBytes(oldBytes)) return block;  // the mapping has room
        // The pages move to a fresh huge-page-aligned place of the new size,
        // so the huge pages move whole; what is beyond them is faulted in fresh.
        void* target = allocateBulk(newBytes);
        void* moved = mremap(block, mappedBytes(oldBytes), mappedBytes(newBytes),
                             MREMAP_MAYMOVE | MREMAP_FIXED, target);
        if (moved != MAP_FAILED) return moved;
        std::memcpy(target, block, keep);
        freeBulk(block, oldBytes);
        return target;
    }
    void* fresh = allocateBulk(newBytes);
    if (keep > 0) std::memcpy(fresh, block, keep);
    freeBulk(block, oldBytes);
    return fresh;
}

#else

void* allocateBulk(std::size_t bytes) { return ::operator new(bytes); }

void freeBulk(void* block, std::size_t) noexcept { ::operator delete(block); }

void* growBulk(void* block, std::size_t oldBytes, std::size_t newBytes, std::size_t keep) {
    void* fresh = ::operator new(newBytes);
    if (keep > 0) std::memcpy(fresh, block, keep);
    freeBulk(block, oldBytes);
    return fresh;
}

#endif

}  // namespace Palvo
