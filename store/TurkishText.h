#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

struct sqlite3;

// Turkish text comparison for the engine, on the program's own connection.
//
// Order: ICU's Turkish collation without regard to letter case (the same
// rules as the server's tr-TR-u-ks-level2): the Turkish alphabet
// (a b c ç d e f g ğ h ı i j k l m n o ö p q r s ş t u ü v w x y z, with
// I the capital of ı and İ that of i), accented letters after their base
// letter, punctuation before digits before letters. Texts equal in that
// order are ordered by their bytes, as the server does, so the order is
// total: two texts compare equal only when they are the same text.
int TurkishCompare(const char *a, std::size_t na, const char *b, std::size_t nb);

// LIKE: "%" any run of characters, "_" exactly one, letter case and the
// Turkish marks ignored (ç/c, ğ/g, ı/i, ö/o, ş/s, ü/u). escape is 0 when
// the pattern has no escape character.
class TTurkishPattern {
public:
    TTurkishPattern(const char *pattern, std::size_t n, char32_t escape);
    bool Matches(const char *text, std::size_t n) const;
    char32_t Escape() const { return FEscape; }

private:
    char32_t FEscape;
    bool FNeverMatches = false;
    std::size_t FCount = 0;
    char32_t *FTokens = nullptr;
    char32_t FInline[32];

public:
    ~TTurkishPattern();
    TTurkishPattern(const TTurkishPattern &) = delete;
    TTurkishPattern &operator=(const TTurkishPattern &) = delete;
};

// The letter LIKE compares a character as: lower case, Turkish marks and
// the accents of Latin letters taken off ("Ş" and "ş" give "s", "I" and "ı"
// give "i", "É" gives "e").
char32_t TurkishFold(char32_t cp);
// A whole UTF-8 text folded that way, as a telephone's keypad spells it:
// "KILIÇ", "kılıç" and "kilic" all give "kilic", "İsmail Işık" gives
// "ismail isik". A byte that starts no valid sequence is kept as it is.
QByteArray TurkishFoldText(QByteArrayView utf8);

// Installs LIKE (the forms with and without ESCAPE) on the connection.
void RegisterTurkishLike(sqlite3 *db);
// Makes NOCASE on the connection the Turkish order above. Only for files
// whose indexes do not depend on NOCASE: another program's NOCASE must
// still find the same order in them.
void RegisterTurkishNoCase(sqlite3 *db);
