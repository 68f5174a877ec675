// The Turkish LIKE and NOCASE order of the program's connection, on any
// bytes. Input: one byte choosing the escape character, then the pattern
// and the value (split as SplitInput does).
//
// LIKE, run by the engine, must agree with the matcher below, written
// plainly from the rules in store/TurkishText.h. The order must be a total
// order: antisymmetric, and equal only for the same bytes.
#include "fuzz/FuzzSupport.h"

#include "store/TurkishText.h"

#include <QChar>
#include <QString>
#include <sqlite3.h>

#include <vector>

namespace {

// Code points of UTF-8 text; a byte that starts no valid sequence stands
// for itself, apart from every character.
std::vector<char32_t> CodePoints(const QByteArray &bytes)
{
    std::vector<char32_t> out;
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned c = s[i];
        int length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        char32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < length; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        const bool valid = length == 1 || length == 2 || (length == 3 && cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF))
            || (length == 4 && cp >= 0x10000 && cp <= 0x10FFFF);
        out.push_back(valid ? cp : 0x110000 + c);
        i += valid ? length : 1;
    }
    return out;
}

// Letter case and marks ignored: a Latin letter with marks counts as its
// base letter, ı and İ as i.
char32_t Folded(char32_t cp)
{
    if (cp == 0x0131 || cp == 0x0130)
        return U'i';
    if (cp > 0xFFFF)
        return cp;
    QChar ch{char16_t(cp)};
    if (cp >= 0x80 && cp < 0x250) {
        const QString d = ch.decomposition();
        if (!d.isEmpty() && d.at(0).unicode() < 0x80 && d.at(0).isLetter())
            ch = d.at(0);
    }
    return ch.toLower().unicode();
}

constexpr char32_t AnyRun = 0xFFFFFFFF;
constexpr char32_t OneChar = 0xFFFFFFFE;

bool ReferenceLike(const QByteArray &pattern, const QByteArray &value, char32_t escape)
{
    std::vector<char32_t> tokens;
    const std::vector<char32_t> p = CodePoints(pattern);
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (escape && p[i] == escape) {
            if (++i == p.size())
                return false; // an escape with nothing after it matches nothing
            tokens.push_back(Folded(p[i]));
        } else {
            tokens.push_back(p[i] == U'%' ? AnyRun : p[i] == U'_' ? OneChar : Folded(p[i]));
        }
    }
    std::vector<char32_t> text = CodePoints(value);
    for (char32_t &c : text)
        c = Folded(c);
    // match[j]: the tokens so far match the first j characters.
    std::vector<char> match(text.size() + 1, 0);
    match[0] = 1;
    for (const char32_t t : tokens) {
        std::vector<char> next(text.size() + 1, 0);
        for (std::size_t j = 0; j <= text.size(); ++j) {
            if (t == AnyRun)
                next[j] = match[j] || (j > 0 && next[j - 1]);
            else if (j > 0)
                next[j] = match[j - 1] && (t == OneChar || t == text[j - 1]);
        }
        match.swap(next);
    }
    return match[text.size()];
}

struct TEngine {
    sqlite3 *Db = nullptr;
    sqlite3_stmt *Like = nullptr;
    sqlite3_stmt *LikeEscape = nullptr;
    sqlite3_stmt *Order = nullptr;

    TEngine()
    {
        sqlite3_open(":memory:", &Db);
        RegisterTurkishLike(Db);
        RegisterTurkishNoCase(Db);
        sqlite3_prepare_v2(Db, "SELECT ?2 LIKE ?1", -1, &Like, nullptr);
        sqlite3_prepare_v2(Db, "SELECT ?2 LIKE ?1 ESCAPE ?3", -1, &LikeEscape, nullptr);
        sqlite3_prepare_v2(Db, "SELECT ?1 < ?2 COLLATE NOCASE, ?1 = ?2 COLLATE NOCASE", -1, &Order, nullptr);
        FUZZ_CHECK(Like && LikeEscape && Order, QString::fromUtf8(sqlite3_errmsg(Db)));
    }
};

void BindText(sqlite3_stmt *stmt, int pos, const QByteArray &text)
{
    sqlite3_bind_text(stmt, pos, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

int StepInt(sqlite3_stmt *stmt, int column)
{
    FUZZ_CHECK(sqlite3_step(stmt) == SQLITE_ROW, QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt))));
    return sqlite3_column_int(stmt, column);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TEngine engine;
    if (size == 0)
        return 0;
    static const char32_t escapes[] = {0, U'\\', U'!', U'%', U'_', U'a', U'ş', U'İ'};
    const char32_t escape = escapes[data[0] % std::size(escapes)];
    const TTwoParts parts = SplitInput(data + 1, size - 1);
    const QByteArray &pattern = parts.First;
    const QByteArray &value = parts.Second;

    sqlite3_stmt *like = escape ? engine.LikeEscape : engine.Like;
    sqlite3_reset(like);
    BindText(like, 1, pattern);
    BindText(like, 2, value);
    if (escape)
        BindText(like, 3, QString::fromUcs4(&escape, 1).toUtf8());
    const bool engineMatch = StepInt(like, 0) != 0;
    const bool referenceMatch = ReferenceLike(pattern, value, escape);
    FUZZ_CHECK(engineMatch == referenceMatch,
               QStringLiteral("LIKE %1 for pattern %2 value %3")
                   .arg(engineMatch ? QStringLiteral("matches") : QStringLiteral("does not match"), QString::fromLatin1(pattern.toHex()),
                        QString::fromLatin1(value.toHex())));

    const int ab = TurkishCompare(pattern.constData(), std::size_t(pattern.size()), value.constData(), std::size_t(value.size()));
    const int ba = TurkishCompare(value.constData(), std::size_t(value.size()), pattern.constData(), std::size_t(pattern.size()));
    FUZZ_CHECK(ab == -ba, QStringLiteral("order not antisymmetric"));
    FUZZ_CHECK((ab == 0) == (pattern == value), QStringLiteral("order equal for different texts"));
    sqlite3_reset(engine.Order);
    BindText(engine.Order, 1, pattern);
    BindText(engine.Order, 2, value);
    FUZZ_CHECK(StepInt(engine.Order, 0) == (ab < 0) && sqlite3_column_int(engine.Order, 1) == (ab == 0),
               QStringLiteral("the engine's NOCASE differs from the order"));
    return 0;
}
