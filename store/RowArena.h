#pragma once

#include "store/CellValue.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The rows of a snapshot, packed: every cell is a small header (its
// storage class and length) followed by its bytes, one row after another
// in one block of memory; text stays UTF-8 until a field reads it. Each
// row has a start offset and an id; ids grow along the rows, so a row is
// found by its id with a binary search.
class TRowArena {
public:
    TRowArena() = default;
    ~TRowArena();
    TRowArena(const TRowArena &) = delete;
    TRowArena &operator=(const TRowArena &) = delete;

    void Clear();
    std::size_t RowCount() const { return FRowStart.size(); }
    int ColumnCount() const { return FColumns; }
    void SetColumnCount(int columns) { FColumns = columns; }

    // Writing a row: cells in column order, then EndRow (a new row at the
    // end) or EndRowReplacing (the new contents of an existing row).
    void BeginRow();
    void AddNull();
    void AddInteger(std::int64_t value);
    void AddFloat(double value);
    void AddBytes(TCellKind kind, const char *data, std::size_t size);
    void AddCell(const TCellView &cell);
    void EndRow();
    void EndRowReplacing(std::size_t row);

    TCellView Cell(std::size_t row, int column) const;
    void RemoveRow(std::size_t row);

    std::uint64_t RowId(std::size_t row) const { return FRowId[row]; }
    // The row's position, or -1 when no row has that id.
    long long FindRow(std::uint64_t id) const;

    // Gives back what the growing left unused.
    void ShrinkToFit();
    // Memory held, in bytes.
    std::size_t Bytes() const;

private:
    void Reserve(std::size_t extra);
    void PutVarint(std::uint64_t v);

    char *FData = nullptr;
    std::size_t FSize = 0;
    std::size_t FCapacity = 0;
    std::size_t FPendingStart = 0;
    int FColumns = 0;
    std::uint64_t FNextId = 0;
    std::vector<std::uint64_t> FRowStart;
    std::vector<std::uint64_t> FRowId;
};
