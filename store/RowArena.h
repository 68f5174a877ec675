#pragma once

#include "store/CellValue.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The rows of a snapshot, packed: every cell is a small header (its
// storage class and length) followed by its bytes, one row after another
// in one block of memory; text stays UTF-8 until a field reads it. Each
// row has a start offset and an id. Ids grow along the rows: a row's id is
// its position counted with the rows removed before it, so only the ids of
// removed rows are kept.
class TRowArena {
public:
    TRowArena() = default;
    ~TRowArena();
    TRowArena(const TRowArena &) = delete;
    TRowArena &operator=(const TRowArena &) = delete;

    void Clear();
    std::size_t RowCount() const { return FRowStart.Size(); }
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
    // A row kept aside: its bytes are written, but it is no row of the
    // snapshot until ShowAside adds it (rows read before their order is
    // known). No list of them is kept: they are found again by walking the
    // bytes from the first of them, so a large read needs no number per row
    // beyond the one each row of the snapshot has.
    void EndRowAside();
    std::size_t AsideCount() const { return FAsideCount; }
    struct TAsideRow {
        std::uint64_t Start;
    };
    TCellView Cell(TAsideRow row, int column) const { return CellAt(row.Start, column); }
    // Calls visit(TAsideRow) for each row aside, in the order written.
    template <class TVisit> void ForEachAside(TVisit &&visit) const
    {
        std::uint64_t at = FAsideFirst;
        std::size_t between = 0;
        for (std::size_t i = 0; i < FAsideCount; ++i) {
            // Rows written among them (a posted change) are passed over.
            while (between < FBetweenAside.size() && FBetweenAside[between] == at) {
                at = RowEnd(at);
                ++between;
            }
            visit(TAsideRow{at});
            at = RowEnd(at);
        }
    }
    // Adds the rows aside at the end of the snapshot, each at the position
    // among them that position(TAsideRow) gives (asked once per row, in the
    // order written; the positions are 0 .. AsideCount() - 1, each once); no
    // row is aside afterwards.
    template <class TPosition> void ShowAside(TPosition &&position)
    {
        const std::size_t base = FRowStart.Size();
        FRowStart.Resize(base + FAsideCount);
        ForEachAside([&](TAsideRow row) { FRowStart.Set(base + position(row), row.Start); });
        FNextId += FAsideCount;
        EndAside();
    }
    // Takes back `count` rows from `first` on, all of them added by the last
    // ShowAside and not yet seen by anyone: the rows after them take their
    // ids.
    void DropNewRows(std::size_t first, std::size_t count);
    // Moves row `from` back to position `to`; the rows between move on by one.
    void MoveRow(std::size_t from, std::size_t to);

    TCellView Cell(std::size_t row, int column) const { return CellAt(FRowStart.At(row), column); }
    void RemoveRow(std::size_t row);

    std::uint64_t RowId(std::size_t row) const;
    // The row's position, or -1 when no row has that id.
    long long FindRow(std::uint64_t id) const;

    // Gives back what the growing left unused.
    void ShrinkToFit();
    // Memory held, in bytes.
    std::size_t Bytes() const;

private:
    // Offsets into the data: the low 32 bits, and the high byte only once
    // the data has grown past 4 GiB.
    class TStarts {
    public:
        std::size_t Size() const { return FLow.size(); }
        std::uint64_t At(std::size_t i) const { return FLow[i] | (FHigh.empty() ? 0 : std::uint64_t(FHigh[i]) << 32); }
        void Set(std::size_t i, std::uint64_t v);
        void Add(std::uint64_t v);
        void Erase(std::size_t i, std::size_t count = 1);
        void Move(std::size_t from, std::size_t to);
        void Resize(std::size_t n);
        void Clear();
        void ShrinkToFit();
        std::size_t Bytes() const { return FLow.capacity() * sizeof(std::uint32_t) + FHigh.capacity(); }

    private:
        std::vector<std::uint32_t> FLow;
        std::vector<std::uint8_t> FHigh;
    };

    void Reserve(std::size_t extra);
    void PutVarint(std::uint64_t v);
    void PutHeader(TCellKind kind, std::size_t size);
    TCellView CellAt(std::uint64_t start, int column) const;
    std::uint64_t RowEnd(std::uint64_t start) const;
    void EndAside();

    char *FData = nullptr;
    std::size_t FSize = 0;
    std::size_t FCapacity = 0;
    std::size_t FPendingStart = 0;
    bool FRowOpen = false; // begun and not yet ended
    int FColumns = 0;
    std::uint64_t FNextId = 0;
    TStarts FRowStart;
    std::size_t FAsideCount = 0;
    std::uint64_t FAsideFirst = 0;
    std::vector<std::uint64_t> FBetweenAside; // starts of rows ended among the rows aside
    std::vector<std::uint64_t> FRemoved;      // ids of removed rows, ascending
};
