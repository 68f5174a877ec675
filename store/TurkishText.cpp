#include "store/TurkishText.h"

#include <QChar>
#include <QString>
#include <sqlite3.h>
#include <unicode/ucol.h>

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

// The folded base letter for LIKE of the code points below kLatinEnd.
// Above it: lower case.
struct TTables {
    char32_t Fold[kLatinEnd];

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
        }
        // The Turkish letters: ç ğ ı ö ş ü fold to their base letter.
        const struct {
            char32_t Lower, Upper, Base;
        } turkish[] = {
            {0x00E7, 0x00C7, 'c'}, {0x011F, 0x011E, 'g'}, {0x00F6, 0x00D6, 'o'}, {0x015F, 0x015E, 's'}, {0x00FC, 0x00DC, 'u'},
        };
        for (const auto &t : turkish)
            Fold[t.Lower] = Fold[t.Upper] = t.Base;
        Fold[0x0131] = 'i'; // ı
        Fold[0x0130] = 'i'; // İ
    }
};

const TTables &Tables()
{
    static const TTables tables;
    return tables;
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

QByteArray TurkishFoldText(QByteArrayView utf8)
{
    const TTables &t = Tables();
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto n = std::size_t(utf8.size());
    QByteArray out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < n;) {
        const std::size_t at = i;
        const char32_t cp = Decode(s, n, i);
        if (cp >= 0xDC80 && cp <= 0xDCFF && i == at + 1 && s[at] >= 0x80) {
            out += char(s[at]); // not UTF-8: the byte itself
            continue;
        }
        const char32_t folded = FoldOf(t, cp);
        if (folded < 0x80) {
            out += char(folded);
        } else if (folded < 0x800) {
            out += char(0xC0 | (folded >> 6));
            out += char(0x80 | (folded & 0x3F));
        } else if (folded < 0x10000) {
            out += char(0xE0 | (folded >> 12));
            out += char(0x80 | ((folded >> 6) & 0x3F));
            out += char(0x80 | (folded & 0x3F));
        } else {
            out += char(0xF0 | (folded >> 18));
            out += char(0x80 | ((folded >> 12) & 0x3F));
            out += char(0x80 | ((folded >> 6) & 0x3F));
            out += char(0x80 | (folded & 0x3F));
        }
    }
    return out;
}

namespace {

// ICU's Turkish collation at secondary strength: letters in the Turkish
// alphabet, case ignored, accents counted after the letters.
class TTurkishCollator {
public:
    TTurkishCollator()
    {
        UErrorCode status = U_ZERO_ERROR;
        FCollator = ucol_open("tr", &status);
        if (U_SUCCESS(status))
            ucol_setStrength(FCollator, UCOL_SECONDARY);
        for (int ch = 0; ch < 0x80; ++ch) {
            const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
            if (letter || (ch >= '0' && ch <= '9') || ch == ' ')
                FAsciiWeight[ch] = std::uint8_t(letter ? (ch | 0x20) * 2 : ch * 2);
        }
        FAsciiWeight[int('I')] = std::uint8_t('h' * 2 + 1); // I is the capital of ı, between h and i
    }
    ~TTurkishCollator() { ucol_close(FCollator); }
    TTurkishCollator(const TTurkishCollator &) = delete;
    TTurkishCollator &operator=(const TTurkishCollator &) = delete;

    int Compare(const char *a, std::size_t na, const char *b, std::size_t nb) const
    {
        // Letters, digits and spaces of ASCII have one primary weight each in
        // the collation and no accents: up to the first other character the
        // first differing weight decides, without asking ICU.
        const auto *sa = reinterpret_cast<const unsigned char *>(a);
        const auto *sb = reinterpret_cast<const unsigned char *>(b);
        const std::size_t n = na < nb ? na : nb;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t wa = sa[i] < 0x80 ? FAsciiWeight[sa[i]] : 0;
            const std::uint8_t wb = sb[i] < 0x80 ? FAsciiWeight[sb[i]] : 0;
            if (!wa || !wb)
                break;
            if (wa != wb)
                return wa < wb ? -1 : 1;
        }
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r = ucol_strcollUTF8(FCollator, a, std::int32_t(na), b, std::int32_t(nb), &status);
        if (U_SUCCESS(status) && r != UCOL_EQUAL)
            return r == UCOL_LESS ? -1 : 1;
        // Equal without regard to case: the bytes decide.
        const int c = std::memcmp(a, b, n);
        if (c)
            return c < 0 ? -1 : 1;
        return na < nb ? -1 : (na > nb ? 1 : 0);
    }

private:
    UCollator *FCollator = nullptr;
    std::uint8_t FAsciiWeight[0x80] = {};
};

const TTurkishCollator &Collator()
{
    static const TTurkishCollator collator;
    return collator;
}

} // namespace

int TurkishCompare(const char *a, std::size_t na, const char *b, std::size_t nb)
{
    return Collator().Compare(a, na, b, nb);
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
