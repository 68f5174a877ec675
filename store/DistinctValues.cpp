#include "store/DistinctValues.h"

#include <cstring>
#include <functional>
#include <string_view>

namespace {

std::size_t HashOf(const TCellView &cell)
{
    return std::hash<std::string_view>{}(std::string_view(cell.Data ? cell.Data : "", cell.Size)) * 31 + std::size_t(cell.Kind);
}

} // namespace

bool SameCell(const TCellView &a, const TCellView &b)
{
    if (a.Kind != b.Kind || a.Size != b.Size)
        return false;
    if (a.Kind == TCellKind::Null)
        return true;
    return std::memcmp(a.Data, b.Data, a.Size) == 0;
}

TDistinctValues::TDistinctValues(const TRowArena &rows, int column) : FRows(rows), FColumn(column), FSlots(1024, 0) {}

std::uint32_t TDistinctValues::Find(TRowArena::TAsideRow row)
{
    const TCellView cell = FRows.Cell(row, FColumn);
    const std::size_t mask = FSlots.size() - 1;
    for (std::size_t i = HashOf(cell) & mask;; i = (i + 1) & mask) {
        if (!FSlots[i]) {
            FValues.push_back({row.Start, 0});
            FSlots[i] = std::uint32_t(FValues.size());
            const auto value = std::uint32_t(FValues.size() - 1);
            if (FValues.size() * 2 > FSlots.size())
                Grow();
            return value;
        }
        const std::uint32_t value = FSlots[i] - 1;
        if (SameCell(Cell(value), cell))
            return value;
    }
}

void TDistinctValues::Grow()
{
    std::vector<std::uint32_t>(FSlots.size() * 2, 0).swap(FSlots);
    const std::size_t mask = FSlots.size() - 1;
    for (std::uint32_t value = 0; value < FValues.size(); ++value) {
        std::size_t i = HashOf(Cell(value)) & mask;
        while (FSlots[i])
            i = (i + 1) & mask;
        FSlots[i] = value + 1;
    }
}
