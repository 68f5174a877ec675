#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// One made-up contact; each value UTF-8, or none for a null field.
struct TSampleContact {
    std::optional<QByteArray> Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres;
};

// Plausible Turkish contacts, always the same sequence (a fixed seed and a
// generator of our own): some fields empty, some null, addresses of two or
// three lines, mobile numbers like "0532 123 45 67".
class TSampleContacts {
public:
    explicit TSampleContacts(std::uint64_t seed = 0x5EED2024C0DEULL);
    TSampleContact Next();

private:
    std::uint64_t Random();
    int Below(int n) { return int(Random() % std::uint64_t(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    QByteArray Digits(int count);
    std::uint64_t FState;
};
