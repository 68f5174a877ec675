#include "store/RowArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// A cell's header is a varint of (length << 3) | storage class. Integers
// keep only the low bytes that carry their value (sign-extended back);
// floats keep their 8 bytes.

TRowArena::~TRowArena()
{
    std::free(FData);
}

void TRowArena::Clear()
{
    std::free(FData);
    FData = nullptr;
    FSize = FCapacity = FPendingStart = 0;
    FNextId = 0;
    FRowStart.Clear();
    FAside.Clear();
    std::vector<std::uint64_t>().swap(FRemoved);
}

void TRowArena::TStarts::Set(std::size_t i, std::uint64_t v)
{
    FLow[i] = std::uint32_t(v);
    if (v >> 32 && FHigh.empty())
        FHigh.assign(FLow.size(), 0);
    if (!FHigh.empty())
        FHigh[i] = std::uint8_t(v >> 32);
}

void TRowArena::TStarts::Add(std::uint64_t v)
{
    FLow.push_back(0);
    if (!FHigh.empty())
        FHigh.push_back(0);
    Set(FLow.size() - 1, v);
}

void TRowArena::TStarts::Erase(std::size_t i)
{
    FLow.erase(FLow.begin() + std::ptrdiff_t(i));
    if (!FHigh.empty())
        FHigh.erase(FHigh.begin() + std::ptrdiff_t(i));
}

void TRowArena::TStarts::Reserve(std::size_t n)
{
    FLow.reserve(n);
    if (!FHigh.empty())
        FHigh.reserve(n);
}

void TRowArena::TStarts::Clear()
{
    std::vector<std::uint32_t>().swap(FLow);
    std::vector<std::uint8_t>().swap(FHigh);
}

void TRowArena::TStarts::ShrinkToFit()
{
    FLow.shrink_to_fit();
    FHigh.shrink_to_fit();
}

void TRowArena::Reserve(std::size_t extra)
{
    if (FSize + extra <= FCapacity)
        return;
    std::size_t cap = std::max<std::size_t>(FCapacity + FCapacity / 2, 64 * 1024);
    cap = std::max(cap, FSize + extra);
    auto *p = static_cast<char *>(std::realloc(FData, cap));
    if (!p)
        throw std::bad_alloc();
    FData = p;
    FCapacity = cap;
}

void TRowArena::PutVarint(std::uint64_t v)
{
    Reserve(10);
    while (v >= 0x80) {
        FData[FSize++] = char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    FData[FSize++] = char(v);
}

void TRowArena::BeginRow()
{
    FPendingStart = FSize;
}

void TRowArena::AddNull()
{
    PutVarint(std::uint64_t(TCellKind::Null));
}

void TRowArena::AddInteger(std::int64_t value)
{
    std::size_t n = 8;
    // The fewest bytes from which sign extension gives the value back.
    while (n > 1) {
        const std::int64_t lo = -(std::int64_t(1) << (8 * (n - 1) - 1));
        const std::int64_t hi = (std::int64_t(1) << (8 * (n - 1) - 1)) - 1;
        if (value < lo || value > hi)
            break;
        --n;
    }
    PutVarint((std::uint64_t(n) << 3) | std::uint64_t(TCellKind::Integer));
    Reserve(n);
    const auto u = std::uint64_t(value);
    for (std::size_t i = 0; i < n; ++i)
        FData[FSize++] = char((u >> (8 * i)) & 0xFF);
}

void TRowArena::AddFloat(double value)
{
    PutVarint((std::uint64_t(sizeof value) << 3) | std::uint64_t(TCellKind::Float));
    Reserve(sizeof value);
    std::memcpy(FData + FSize, &value, sizeof value);
    FSize += sizeof value;
}

void TRowArena::AddBytes(TCellKind kind, const char *data, std::size_t size)
{
    PutVarint((std::uint64_t(size) << 3) | std::uint64_t(kind));
    Reserve(size);
    if (size)
        std::memcpy(FData + FSize, data, size);
    FSize += size;
}

void TRowArena::AddCell(const TCellView &cell)
{
    switch (cell.Kind) {
    case TCellKind::Null: AddNull(); break;
    case TCellKind::Integer: AddInteger(cell.Int); break;
    case TCellKind::Float: AddFloat(cell.Float); break;
    case TCellKind::Text:
    case TCellKind::Blob: AddBytes(cell.Kind, cell.Data, cell.Size); break;
    }
}

void TRowArena::EndRow()
{
    FRowStart.Add(FPendingStart);
    ++FNextId;
}

void TRowArena::EndRowReplacing(std::size_t row)
{
    // The old contents stay behind unused until the snapshot is dropped;
    // only posted changes take this way.
    FRowStart.Set(row, FPendingStart);
}

void TRowArena::EndRowAside()
{
    FAside.Add(FPendingStart);
}

void TRowArena::ShowAside(const std::vector<std::uint32_t> &order, std::size_t skip)
{
    // Grown once: a vector that doubles would hold its old and new block.
    FRowStart.Reserve(FRowStart.Size() + (order.size() > skip ? order.size() - skip : 0));
    for (std::size_t i = skip; i < order.size(); ++i) {
        FRowStart.Add(FAside.At(order[i]));
        ++FNextId;
    }
    FAside.Clear();
}

TCellView TRowArena::CellAt(std::uint64_t start, int column) const
{
    const char *p = FData + start;
    TCellView view;
    for (int c = 0;; ++c) {
        std::uint64_t v = 0;
        int shift = 0;
        unsigned char b;
        do {
            b = static_cast<unsigned char>(*p++);
            v |= std::uint64_t(b & 0x7F) << shift;
            shift += 7;
        } while (b & 0x80);
        const std::size_t size = std::size_t(v >> 3);
        if (c == column) {
            view.Kind = TCellKind(v & 7);
            view.Size = size;
            view.Data = p;
            if (view.Kind == TCellKind::Integer) {
                std::uint64_t u = 0;
                for (std::size_t i = 0; i < size; ++i)
                    u |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
                if (size < 8 && (u >> (8 * size - 1)) & 1)
                    u |= ~std::uint64_t(0) << (8 * size);
                view.Int = std::int64_t(u);
            } else if (view.Kind == TCellKind::Float) {
                std::memcpy(&view.Float, p, sizeof view.Float);
            }
            return view;
        }
        p += size;
    }
}

std::uint64_t TRowArena::RowId(std::size_t row) const
{
    std::uint64_t id = row;
    for (std::uint64_t removed : FRemoved) {
        if (removed > id)
            break;
        ++id;
    }
    return id;
}

void TRowArena::RemoveRow(std::size_t row)
{
    const std::uint64_t id = RowId(row);
    FRowStart.Erase(row);
    FRemoved.insert(std::lower_bound(FRemoved.begin(), FRemoved.end(), id), id);
}

long long TRowArena::FindRow(std::uint64_t id) const
{
    if (id >= FNextId)
        return -1;
    const auto it = std::lower_bound(FRemoved.begin(), FRemoved.end(), id);
    if (it != FRemoved.end() && *it == id)
        return -1;
    return (long long)(id - std::uint64_t(it - FRemoved.begin()));
}

void TRowArena::ShrinkToFit()
{
    if (FSize && FSize < FCapacity) {
        if (auto *p = static_cast<char *>(std::realloc(FData, FSize))) {
            FData = p;
            FCapacity = FSize;
        }
    }
    FRowStart.ShrinkToFit();
}

std::size_t TRowArena::Bytes() const
{
    return sizeof *this + FCapacity + FRowStart.Bytes() + FAside.Bytes() + FRemoved.capacity() * sizeof(std::uint64_t);
}
