#pragma once

#include "store/CellValue.h"
#include "store/RowArena.h"

#include <cstdint>
#include <vector>

// Two cells of the same storage class and the same bytes.
bool SameCell(const TCellView &a, const TCellView &b);

// The distinct values of one column among the rows aside of a snapshot,
// numbered in the order met. Each value keeps only the first row aside that
// holds it (its cell is read there again) and one number for the caller
// (say how many rows hold it, later its place in an order): a column whose
// values are all different costs a few bytes per row, not a copy of them.
class TDistinctValues {
public:
    TDistinctValues(const TRowArena &rows, int column);

    // The value of the row's cell, added when it is new.
    std::uint32_t Find(TRowArena::TAsideRow row);
    std::size_t Count() const { return FValues.size(); }
    TCellView Cell(std::uint32_t value) const { return FRows.Cell(TRowArena::TAsideRow{FValues[value].Row}, FColumn); }
    std::uint64_t &Number(std::uint32_t value) { return FValues[value].Number; }

private:
    struct TValue {
        std::uint64_t Row;
        std::uint64_t Number;
    };
    void Grow();

    const TRowArena &FRows;
    int FColumn;
    std::vector<TValue> FValues;
    std::vector<std::uint32_t> FSlots; // value + 1 by hash, 0 when free; at most half taken
};
