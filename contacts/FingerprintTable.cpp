#include "contacts/FingerprintTable.h"

#include <QHashFunctions>

namespace {

// Two independent hashes of the key make its fingerprint.
constexpr std::size_t kHighSeed = 0x9E3779B97F4A7C15ULL;
constexpr std::size_t kLowSeed = 0xC2B2AE3D27D4EB4FULL;

} // namespace

TFingerprint FingerprintOf(QByteArrayView key)
{
    return {.High = std::uint64_t(qHashBits(key.data(), std::size_t(key.size()), kHighSeed)),
            .Low = std::uint32_t(qHashBits(key.data(), std::size_t(key.size()), kLowSeed))};
}

// Of the high hash, the top bits choose the part and the others, scaled
// to the part's size, the first slot to look at in it.
std::size_t TFingerprintTable::PartOf(TFingerprint key)
{
    return std::size_t(key.High >> (64 - kPartBits));
}

std::size_t TFingerprintTable::Home(const std::vector<TSlot> &slots, TFingerprint key)
{
    return std::size_t((unsigned __int128)(key.High << kPartBits) * slots.size() >> 64);
}

// The key's slot, or the free slot where it goes.
std::size_t TFingerprintTable::Place(const std::vector<TSlot> &slots, TFingerprint key)
{
    for (std::size_t i = Home(slots, key);; i = i + 1 == slots.size() ? 0 : i + 1) {
        const TSlot &slot = slots[i];
        if (slot.Number == 0 || (slot.High == key.High && slot.Low == key.Low))
            return i;
    }
}

std::uint32_t TFingerprintTable::Find(TFingerprint key) const
{
    const TPart &part = FParts[PartOf(key)];
    if (part.Slots.empty())
        return 0;
    return part.Slots[Place(part.Slots, key)].Number;
}

void TFingerprintTable::Prefetch(TFingerprint key) const
{
    const TPart &part = FParts[PartOf(key)];
    if (!part.Slots.empty())
        __builtin_prefetch(&part.Slots[Home(part.Slots, key)]);
}

void TFingerprintTable::Grow(TPart &part)
{
    // By half again: the slots stay between two thirds and four fifths
    // taken once a part has grown.
    std::vector<TSlot> slots(part.Slots.empty() ? 16 : part.Slots.size() + part.Slots.size() / 2);
    for (const TSlot &slot : part.Slots)
        if (slot.Number != 0)
            slots[Place(slots, {slot.High, slot.Low})] = slot;
    part.Slots = std::move(slots);
}

void TFingerprintTable::Put(TFingerprint key, std::uint32_t number)
{
    TPart &part = FParts[PartOf(key)];
    // At most four slots in five taken, so that a search ends soon.
    if ((part.Count + 1) * 5 > part.Slots.size() * 4)
        Grow(part);
    TSlot &slot = part.Slots[Place(part.Slots, key)];
    if (slot.Number == 0)
        ++part.Count;
    slot = {key.High, key.Low, number};
}

std::size_t TFingerprintTable::Count() const
{
    std::size_t n = 0;
    for (const TPart &part : FParts)
        n += part.Count;
    return n;
}
