#include "palvo/grid_cells.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace Palvo {

namespace {

constexpr std::size_t kInline = 7;
constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
// Small grids start with small blocks; a big one ends up in 1 MiB blocks.
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = std::size_t{1} << 20;
// Dead text is reclaimed once it is both this large and more than the live text.
constexpr std::size_t kCompactFrom = std::size_t{1} << 20;

// A cell's reference to a text block entry lies in its bytes 1 to 7, lowest first.
std::uint64_t refIn(const unsigned char* bytes) {
    std::uint64_t ref = 0;
    for (int k = 7; k >= 1; --k) ref = (ref << 8) | bytes[k];
    return ref;
}
void putRef(unsigned char* bytes, std::uint64_t ref) {
    for (int k = 1; k <= 7; ++k) bytes[k] = static_cast<unsigned char>(ref >> (8 * (k - 1)));
}

}  // namespace

GridCells::GridCells(const GridCells& other) {
    cells_.resize(other.cells_.size());
    for (std::size_t i = 0; i < other.cells_.size(); ++i) set(i, other.get(i));
}

GridCells& GridCells::operator=(const GridCells& other) {
    if (this != &other) *this = GridCells(other);
    return *this;
}

GridCells::~GridCells() = default;

std::string_view GridCells::referred(const Cell& c) const {
    const std::uint64_t ref = refIn(c.bytes);
    return ref == 0 ? std::string_view() : stored(ref);
}

std::string_view GridCells::stored(std::uint64_t ref) const {
    const Block& b = blocks_[static_cast<std::size_t>((ref >> 32) - 1)];
    const char* entry = b.data.get() + (ref & 0xFFFFFFFFu);
    std::uint32_t length = 0;
    std::memcpy(&length, entry, kLengthBytes);
    return {entry + kLengthBytes, length};
}

std::size_t GridCells::entryBytes(const Cell& c) const {
    if ((c.bytes[0] & 1u) || isEmpty(c)) return 0;
    return kLengthBytes + referred(c).size();
}

void GridCells::release(const Cell& c) {
    const std::size_t bytes = entryBytes(c);
    dead_ += bytes;
    live_ -= bytes;
}

std::uint64_t GridCells::store(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    const std::size_t need = kLengthBytes + text.size();
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < need) {
        const std::size_t next =
            blocks_.empty() ? kFirstBlock : std::min(2 * blocks_.back().size, kLargestBlock);
        const std::size_t size = std::max(next, need);
        if (size > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
        blocks_.push_back(Block{std::unique_ptr<char[]>(new char[size]), size, 0});
    }
    Block& b = blocks_.back();
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(b.data.get() + b.used, &length, kLengthBytes);
    std::memcpy(b.data.get() + b.used + kLengthBytes, text.data(), text.size());
    const std::uint64_t ref = (static_cast<std::uint64_t>(blocks_.size()) << 32) | b.used;
    b.used += need;
    live_ += need;
    return ref;
}

void GridCells::set(std::size_t i, std::string_view text) {
    Cell& c = cells_[i];
    // a fill writes into empty cells: nothing to let go, nothing to reclaim
    const bool holdsNoEntry = (c.bytes[0] & 1u) || isEmpty(c);
    if (text.size() <= kInline) {
        if (!holdsNoEntry) release(c);
        Cell fresh{};
        fresh.bytes[0] = static_cast<unsigned char>((text.size() << 1) | 1u);
        if (!text.empty())
            std::memcpy(fresh.bytes + 1, text.data(), text.size());  // an empty view may have no data
        c = fresh;
        return;
    }
    if (holdsNoEntry) {
        Cell fresh{};
        putRef(fresh.bytes, store(text));
        c = fresh;
        return;
    }
    // A text no longer than the one it replaces takes its place.
    if (const std::size_t old = entryBytes(c); old >= kLengthBytes + text.size()) {
        const std::uint64_t ref = refIn(c.bytes);
        Block& b = blocks_[static_cast<std::size_t>((ref >> 32) - 1)];
        char* entry = b.data.get() + (ref & 0xFFFFFFFFu);
        const auto length = static_cast<std::uint32_t>(text.size());
        std::memmove(entry + kLengthBytes, text.data(), text.size());
        std::memcpy(entry, &length, kLengthBytes);
        dead_ += old - (kLengthBytes + text.size());
        live_ -= old - (kLengthBytes + text.size());
        return;
    }
    // Stored before the old entry is let go: the text may be a view of it.
    const std::uint64_t ref = store(text);
    release(cells_[i]);
    Cell fresh{};
    putRef(fresh.bytes, ref);
    cells_[i] = fresh;
    compactIfWasteful();
}

void GridCells::resize(std::size_t cells) {
    if (cells >= cells_.size()) {  // growing lets nothing go
        cells_.resize(cells);
        return;
    }
    for (std::size_t i = cells; i < cells_.size(); ++i) release(cells_[i]);
    cells_.resize(cells);
    compactIfWasteful();
}

void GridCells::insert(std::size_t pos, std::size_t count) { cells_.insert(pos, count); }

void GridCells::erase(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) release(cells_[i]);
    cells_.erase(from, to);
    compactIfWasteful();
}

void GridCells::clearTexts() {
    std::fill(cells_.begin(), cells_.end(), Cell{});
    blocks_.clear();
    dead_ = 0;
    live_ = 0;
}

void GridCells::reshape(std::size_t rows, std::size_t oldCols, std::size_t newCols) {
    if (oldCols == newCols) return;
    decltype(cells_) cells;
    cells.resize(rows * newCols);
    const std::size_t keep = std::min(oldCols, newCols);
    for (std::size_t r = 0; r < rows; ++r) {
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r * oldCols), keep,
                    cells.begin() + static_cast<std::ptrdiff_t>(r * newCols));
        for (std::size_t c = keep; c < oldCols; ++c) release(cells_[r * oldCols + c]);
    }
    cells_ = std::move(cells);
    compactIfWasteful();
}

void GridCells::reorderRows(std::size_t base, std::size_t width, const std::vector<std::size_t>& order) {
    std::vector<Cell> moved(order.size() * width);
    for (std::size_t i = 0; i < order.size(); ++i)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(base + order[i] * width), width,
                    moved.begin() + static_cast<std::ptrdiff_t>(i * width));
    std::copy(moved.begin(), moved.end(), cells_.begin() + static_cast<std::ptrdiff_t>(base));
}

void GridCells::compactIfWasteful() {
    if (dead_ < kCompactFrom || dead_ <= live_) return;
    GridCells fresh;
    fresh.cells_.resize(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) fresh.set(i, get(i));
    *this = std::move(fresh);
}

}  // namespace Palvo
