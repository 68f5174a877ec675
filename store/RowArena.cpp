#include "store/RowArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// A cell's header is one byte for the common cells: below 0x80 it is the
// length of a text (most text of a directory is shorter than 128 bytes);
// from 0x80 to 0xEF its low seven bits are (length << 3) | storage class for
// the short cells of the other classes (NULL, numbers, blobs of up to 13
// bytes); 0xFF is followed by a varint of (length << 3) | storage class for
// the rest. Integers keep only the low bytes that carry their value
// (sign-extended back); floats keep their 8 bytes.
namespace {

constexpr unsigned kShortOther = 0x80;
constexpr unsigned kLongCell = 0xFF;
constexpr std::size_t kShortTextMax = 0x7F;
constexpr std::uint64_t kShortOtherMax = 0xEF - kShortOther;

// Reads the header at p: the cell's class and length; returns where its
// bytes begin.
const char *ReadHeader(const char *p, TCellKind *kind, std::size_t *size)
{
    const auto b = static_cast<unsigned char>(*p++);
    if (b < kShortOther) {
        *kind = TCellKind::Text;
        *size = b;
        return p;
    }
    std::uint64_t v = b - kShortOther;
    if (b == kLongCell) {
        v = 0;
        int shift = 0;
        unsigned char c;
        do {
            c = static_cast<unsigned char>(*p++);
            v |= std::uint64_t(c & 0x7F) << shift;
            shift += 7;
        } while (c & 0x80);
    }
    *kind = TCellKind(v & 7);
    *size = std::size_t(v >> 3);
    return p;
}

} // namespace

TRowArena::~TRowArena()
{
    std::free(FData);
}

void TRowArena::Clear()
{
    std::free(FData);
    FData = nullptr;
    FSize = FCapacity = FPendingStart = 0;
    FRowOpen = false;
    FNextId = 0;
    FRowStart.Clear();
    EndAside();
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

void TRowArena::TStarts::Erase(std::size_t i, std::size_t count)
{
    const auto at = std::ptrdiff_t(i), end = std::ptrdiff_t(i + count);
    FLow.erase(FLow.begin() + at, FLow.begin() + end);
    if (!FHigh.empty())
        FHigh.erase(FHigh.begin() + at, FHigh.begin() + end);
}

void TRowArena::TStarts::Move(std::size_t from, std::size_t to)
{
    const auto f = std::ptrdiff_t(from), t = std::ptrdiff_t(to);
    std::rotate(FLow.begin() + t, FLow.begin() + f, FLow.begin() + f + 1);
    if (!FHigh.empty())
        std::rotate(FHigh.begin() + t, FHigh.begin() + f, FHigh.begin() + f + 1);
}

void TRowArena::TStarts::Resize(std::size_t n)
{
    // Grown once to the size asked: a vector that doubles would hold its
    // old and new block at once.
    FLow.reserve(n);
    FLow.resize(n);
    if (!FHigh.empty()) {
        FHigh.reserve(n);
        FHigh.resize(n);
    }
}

void TRowArena::TStarts::Clear()
{
    std::vector<std::uint32_t>().swap(FLow);
    std::vector<std::uint8_t>().swap(FHigh);
}

void TRowArena::TStarts::ShrinkToFit()
{
    // A copy is made to shrink: only worth it for more than a little.
    if (FLow.capacity() - FLow.size() > FLow.size() / 16) {
        FLow.shrink_to_fit();
        FHigh.shrink_to_fit();
    }
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

void TRowArena::PutHeader(TCellKind kind, std::size_t size)
{
    Reserve(1);
    const std::uint64_t v = (std::uint64_t(size) << 3) | std::uint64_t(kind);
    if (kind == TCellKind::Text && size <= kShortTextMax) {
        FData[FSize++] = char(size);
    } else if (v <= kShortOtherMax && kind != TCellKind::Text) {
        FData[FSize++] = char(kShortOther + v);
    } else {
        FData[FSize++] = char(kLongCell);
        PutVarint(v);
    }
}

void TRowArena::BeginRow()
{
    // A row begun and never ended leaves nothing behind.
    if (FRowOpen)
        FSize = FPendingStart;
    FPendingStart = FSize;
    FRowOpen = true;
}

void TRowArena::AddNull()
{
    PutHeader(TCellKind::Null, 0);
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
    PutHeader(TCellKind::Integer, n);
    Reserve(n);
    const auto u = std::uint64_t(value);
    for (std::size_t i = 0; i < n; ++i)
        FData[FSize++] = char((u >> (8 * i)) & 0xFF);
}

void TRowArena::AddFloat(double value)
{
    PutHeader(TCellKind::Float, sizeof value);
    Reserve(sizeof value);
    std::memcpy(FData + FSize, &value, sizeof value);
    FSize += sizeof value;
}

void TRowArena::AddBytes(TCellKind kind, const char *data, std::size_t size)
{
    PutHeader(kind, size);
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
    FRowOpen = false;
    if (FAsideCount)
        FBetweenAside.push_back(FPendingStart);
    FRowStart.Add(FPendingStart);
    ++FNextId;
}

void TRowArena::EndRowReplacing(std::size_t row)
{
    // The old contents stay behind unused until the snapshot is dropped;
    // only posted changes take this way.
    FRowOpen = false;
    if (FAsideCount)
        FBetweenAside.push_back(FPendingStart);
    FRowStart.Set(row, FPendingStart);
}

void TRowArena::EndRowAside()
{
    FRowOpen = false;
    if (!FAsideCount++)
        FAsideFirst = FPendingStart;
}

void TRowArena::EndAside()
{
    FAsideCount = 0;
    FAsideFirst = 0;
    std::vector<std::uint64_t>().swap(FBetweenAside);
}

void TRowArena::DropNewRows(std::size_t first, std::size_t count)
{
    FRowStart.Erase(first, count);
    FNextId -= count;
}

void TRowArena::MoveRow(std::size_t from, std::size_t to)
{
    FRowStart.Move(from, to);
}

TCellView TRowArena::CellAt(std::uint64_t start, int column) const
{
    const char *p = FData + start;
    TCellView view;
    for (int c = 0;; ++c) {
        TCellKind kind;
        std::size_t size;
        p = ReadHeader(p, &kind, &size);
        if (c == column) {
            view.Kind = kind;
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

std::uint64_t TRowArena::RowEnd(std::uint64_t start) const
{
    const char *p = FData + start;
    for (int c = 0; c < FColumns; ++c) {
        TCellKind kind;
        std::size_t size;
        p = ReadHeader(p, &kind, &size);
        p += size;
    }
    return std::uint64_t(p - FData);
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
    return sizeof *this + FCapacity + FRowStart.Bytes() + FBetweenAside.capacity() * sizeof(std::uint64_t)
        + FRemoved.capacity() * sizeof(std::uint64_t);
}
