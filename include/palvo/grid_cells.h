// The texts of a grid's cells, kept small: a cell is 8 bytes, a text of up to
// 7 bytes lives in the cell itself, a longer one in byte blocks the cells
// share. A grid of a million rows of short texts and numbers then costs a
// little over 8 bytes a cell instead of a string object each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "palvo/bulk_memory.h"
#include "palvo/export.h"

namespace Palvo {

/// Cell texts in one row-major run of cells. A text read stays valid until
/// the next change to the cells.
class PALVO_API GridCells {
public:
    GridCells() = default;
    GridCells(const GridCells& other);
    GridCells& operator=(const GridCells& other);
    GridCells(GridCells&& other) noexcept = default;
    GridCells& operator=(GridCells&& other) noexcept = default;
    ~GridCells();

    std::size_t size() const { return cells_.size(); }
    std::string_view get(std::size_t i) const {
        const Cell& c = cells_[i];
        // a text in the cell is read here, without a call: a fill measures every cell
        if (c.bytes[0] & 1u)
            return {reinterpret_cast<const char*>(c.bytes + 1), std::size_t{c.bytes[0]} >> 1};
        return referred(c);
    }
    void set(std::size_t i, std::string_view text);

    /// New cells are empty.
    void resize(std::size_t cells);
    void reserve(std::size_t cells) { cells_.reserve(cells); }
    std::size_t capacity() const { return cells_.capacity(); }
    /// Inserts `count` empty cells before cell `pos`.
    void insert(std::size_t pos, std::size_t count);
    /// Removes the cells [from, to).
    void erase(std::size_t from, std::size_t to);
    /// Empties every cell and frees the text blocks; the count stays.
    void clearTexts();
    /// Lays `rows` rows of `oldCols` cells out again as rows of `newCols`
    /// cells: columns cut at the right or added empty.
    void reshape(std::size_t rows, std::size_t oldCols, std::size_t newCols);
    /// Puts the rows of `width` cells that start at cell `base` in the order
    /// `order` gives (entry i names the row, counted from base, that goes to place i).
    void reorderRows(std::size_t base, std::size_t width, const std::vector<std::size_t>& order);

    /// Bytes of the longer texts no cell refers to any more (kept until a compaction).
    std::size_t deadBytes() const { return dead_; }

private:
    // Tag byte first: odd for a text in the cell (length in the upper bits),
    // even for a reference to a text block entry (all zero: empty).
    struct Cell {
        unsigned char bytes[8];
    };
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t used = 0;
    };

    static bool isEmpty(const Cell& c) {
        std::uint64_t word = 0;
        std::memcpy(&word, c.bytes, sizeof word);
        return word == 0;
    }
    // The text of a cell that holds none in itself: empty or in a block.
    std::string_view referred(const Cell& c) const;
    std::string_view stored(std::uint64_t ref) const;
    std::uint64_t store(std::string_view text);
    std::size_t entryBytes(const Cell& c) const;
    void release(const Cell& c);
    void compactIfWasteful();

    BulkArray<Cell> cells_;
    std::vector<Block> blocks_;
    std::size_t dead_ = 0;
    std::size_t live_ = 0;
};

}  // namespace Palvo
