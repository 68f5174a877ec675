#include "store/TurkishText.h"

#include <QChar>
#include <QString>
#include <sqlite3.h>

#include <cstring>
#include <memory>

namespace {

// Decodes one code point at s[i] and moves i past it. A byte that does not
// start a valid sequence stands for itself, mapped where no character is.
inline char32_t Decode(const unsigned char *s, std::size_t n, std::size_t &i)
{
    const unsigned c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    auto cont = [&](std::size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c < 0xE0 && cont(1)) {
        const char32_t cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
        i += 2;
        return cp;
    }
    if (c >= 0xE0 && c < 0xF0 && cont(1) && cont(2)) {
        const char32_t cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
        if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
            i += 3;
            return cp;
        }
    }
    if (c >= 0xF0 && c < 0xF5 && cont(1) && cont(2) && cont(3)) {
        const char32_t cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            i += 4;
            return cp;
        }
    }
    ++i;
    return 0xDC00 + c; // a lone surrogate never decodes from valid text
}

constexpr char32_t kLatinEnd = 0x250;

// Tables for the code points below kLatinEnd: the folded base letter for
// LIKE and the sort weight. Above it: lower case for both.
struct TTables {
    char32_t Fold[kLatinEnd];
    std::uint32_t Weight[kLatinEnd];

    TTables()
    {
        for (char32_t cp = 0; cp < kLatinEnd; ++cp) {
            char32_t base = cp;
            if (cp >= 0x80) {
                const QString d = QChar(char16_t(cp)).decomposition();
                if (!d.isEmpty() && d.at(0).unicode() < 0x80 && QChar(d.at(0)).isLetter())
                    base = d.at(0).unicode();
            }
            if (base < 0x80)
                base = char32_t((base >= 'A' && base <= 'Z') ? base + 32 : base);
            else
                base = QChar(char16_t(base)).toLower().unicode();
            Fold[cp] = base;
            Weight[cp] = base < 0x80 ? std::uint32_t(base) << 8 : (std::uint32_t(base) + 0x100) << 8;
        }
        // The Turkish letters: ç ğ ı ö ş ü directly after their base letter
        // (ı after h, before i); I is the capital of ı.
        const auto after = [](char32_t letter) { return (std::uint32_t(letter) << 8) | 0x80; };
        const struct { char32_t Lower, Upper, Base; std::uint32_t W; } turkish[] = {
            {0x00E7, 0x00C7, 'c', after('c')}, // ç Ç
            {0x011F, 0x011E, 'g', after('g')}, // ğ Ğ
            {0x00F6, 0x00D6, 'o', after('o')}, // ö Ö
            {0x015F, 0x015E, 's', after('s')}, // ş Ş
            {0x00FC, 0x00DC, 'u', after('u')}, // ü Ü
        };
        for (const auto &t : turkish) {
            Fold[t.Lower] = Fold[t.Upper] = t.Base;
            Weight[t.Lower] = Weight[t.Upper] = t.W;
        }
        Fold[0x0131] = 'i'; // ı
        Fold[0x0130] = 'i'; // İ
        Weight[0x0131] = after('h');
        Weight['I'] = after('h');
        Weight[0x0130] = std::uint32_t('i') << 8;
    }
};

const TTables &Tables()
{
    static const TTables tables;
    return tables;
}

inline std::uint32_t WeightOf(const TTables &t, char32_t cp)
{
    if (cp < kLatinEnd)
        return t.Weight[cp];
    char32_t lower = cp;
    if (cp <= 0xFFFF)
        lower = QChar(char16_t(cp)).toLower().unicode();
    return (std::uint32_t(lower) + 0x100) << 8;
}

inline char32_t FoldOf(const TTables &t, char32_t cp)
{
    if (cp < kLatinEnd)
        return t.Fold[cp];
    if (cp <= 0xFFFF)
        return QChar(char16_t(cp)).toLower().unicode();
    return cp;
}

constexpr char32_t kAnyRun = 0xFFFFFFFF;
constexpr char32_t kOneChar = 0xFFFFFFFE;

} // namespace

char32_t TurkishFold(char32_t cp)
{
    return FoldOf(Tables(), cp);
}

int TurkishCompare(const char *a, std::size_t na, const char *b, std::size_t nb)
{
    const TTables &t = Tables();
    const auto *sa = reinterpret_cast<const unsigned char *>(a);
    const auto *sb = reinterpret_cast<const unsigned char *>(b);
    std::size_t i = 0, j = 0;
    while (i < na && j < nb) {
        const unsigned ca = sa[i], cb = sb[j];
        std::uint32_t wa, wb;
        if ((ca | cb) < 0x80) {
            if (ca == cb) {
                ++i;
                ++j;
                continue;
            }
            wa = t.Weight[ca];
            wb = t.Weight[cb];
            ++i;
            ++j;
        } else {
            wa = WeightOf(t, Decode(sa, na, i));
            wb = WeightOf(t, Decode(sb, nb, j));
        }
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    // Equal without regard to case and marks: the bytes decide.
    const int c = std::memcmp(a, b, na < nb ? na : nb);
    if (c)
        return c < 0 ? -1 : 1;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

TTurkishPattern::TTurkishPattern(const char *pattern, std::size_t n, char32_t escape) : FEscape(escape)
{
    const TTables &t = Tables();
    FTokens = n <= std::size(FInline) ? FInline : new char32_t[n];
    const auto *s = reinterpret_cast<const unsigned char *>(pattern);
    std::size_t i = 0;
    while (i < n) {
        char32_t cp = Decode(s, n, i);
        if (escape && cp == escape) {
            if (i >= n) {
                FNeverMatches = true; // an escape with nothing after it
                break;
            }
            FTokens[FCount++] = FoldOf(t, Decode(s, n, i));
            continue;
        }
        if (cp == '%') {
            if (FCount && FTokens[FCount - 1] == kAnyRun)
                continue;
            FTokens[FCount++] = kAnyRun;
        } else if (cp == '_') {
            FTokens[FCount++] = kOneChar;
        } else {
            FTokens[FCount++] = FoldOf(t, cp);
        }
    }
}

TTurkishPattern::~TTurkishPattern()
{
    if (FTokens != FInline)
        delete[] FTokens;
}

bool TTurkishPattern::Matches(const char *text, std::size_t n) const
{
    if (FNeverMatches)
        return false;
    const TTables &t = Tables();
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    std::size_t p = 0, i = 0;
    std::size_t starP = std::size_t(-1), starI = 0;
    while (i < n) {
        if (p < FCount && FTokens[p] == kAnyRun) {
            starP = ++p;
            starI = i;
            continue;
        }
        if (p < FCount) {
            std::size_t next = i;
            const char32_t cp = s[i] < 0x80 ? t.Fold[s[next++]] : FoldOf(t, Decode(s, n, next));
            if (FTokens[p] == kOneChar || FTokens[p] == cp) {
                ++p;
                i = next;
                continue;
            }
        }
        if (starP == std::size_t(-1))
            return false;
        // Let the last "%" take one more character and try again.
        Decode(s, n, starI);
        i = starI;
        p = starP;
    }
    while (p < FCount && FTokens[p] == kAnyRun)
        ++p;
    return p == FCount;
}

namespace {

void DeletePattern(void *p)
{
    delete static_cast<TTurkishPattern *>(p);
}

void LikeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    // like(pattern, text [, escape]) is "text LIKE pattern [ESCAPE escape]".
    for (int k = 0; k < argc; ++k)
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
    char32_t escape = 0;
    if (argc == 3) {
        const auto *e = sqlite3_value_text(argv[2]);
        const auto n = std::size_t(sqlite3_value_bytes(argv[2]));
        std::size_t i = 0;
        if (n)
            escape = Decode(e, n, i);
        if (n == 0 || i != n)
            return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
    }
    auto *cached = static_cast<TTurkishPattern *>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<TTurkishPattern> fresh;
    if (!cached || cached->Escape() != escape) {
        const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        const auto np = std::size_t(sqlite3_value_bytes(argv[0]));
        fresh = std::make_unique<TTurkishPattern>(p ? p : "", np, escape);
        cached = fresh.get();
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const auto nt = std::size_t(sqlite3_value_bytes(argv[1]));
    sqlite3_result_int(ctx, cached->Matches(text ? text : "", nt) ? 1 : 0);
    if (fresh)
        sqlite3_set_auxdata(ctx, 0, fresh.release(), DeletePattern);
}

int NoCaseCompare(void *, int na, const void *a, int nb, const void *b)
{
    return TurkishCompare(static_cast<const char *>(a), std::size_t(na), static_cast<const char *>(b), std::size_t(nb));
}

} // namespace

void RegisterTurkishLike(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr, nullptr);
}

void RegisterTurkishNoCase(sqlite3 *db)
{
    sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, NoCaseCompare, nullptr);
}
