#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <vector>

// 96 bits worked out from a key: two keys with the same fingerprint are
// taken for the same key (for a million keys the chance that two others
// share one is below one in 10^16).
struct TFingerprint {
    std::uint64_t High = 0;
    std::uint32_t Low = 0;
};

TFingerprint FingerprintOf(QByteArrayView key);

// Keys by their fingerprints, each to a number (> 0), in 16 bytes a key.
// The keys are spread over many small open-addressed tables, so that
// growing one copies only a small part of them: the memory stays close to
// what the keys need, with no moment holding them twice.
class TFingerprintTable {
public:
    // The number put with the key; 0 when it was not put.
    std::uint32_t Find(TFingerprint key) const;
    // Asks the processor for the key's place, ahead of a Find or Put.
    void Prefetch(TFingerprint key) const;
    // Puts the key with the number, replacing the number it had.
    void Put(TFingerprint key, std::uint32_t number);
    std::size_t Count() const;

private:
    struct TSlot {
        std::uint64_t High = 0;
        std::uint32_t Low = 0;
        std::uint32_t Number = 0; // 0: a free slot
    };
    struct TPart {
        std::vector<TSlot> Slots; // none until the first key
        std::size_t Count = 0;
    };
    static constexpr int kPartBits = 8;
    static std::size_t PartOf(TFingerprint key);
    static std::size_t Home(const std::vector<TSlot> &slots, TFingerprint key);
    static std::size_t Place(const std::vector<TSlot> &slots, TFingerprint key);
    static void Grow(TPart &part);
    TPart FParts[1 << kPartBits];
};
