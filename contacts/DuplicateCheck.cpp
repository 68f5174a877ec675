#include "contacts/DuplicateCheck.h"

#include "platform/core/Exception.h"
#include "platform/core/PhoneNumberKey.h"

#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "store/RowArena.h"
#include "store/TurkishText.h"
#include "contacts/ContactRecord.h"

#include <QChar>
#include <QVarLengthArray>
#include <limits>

namespace {

// A character of UTF-8 text read as QString::fromUtf8 reads it: false for
// a byte sequence it would replace, and for a byte-order mark.
bool NextCharacter(const unsigned char *&p, const unsigned char *end, char32_t &c)
{
    c = *p;
    int more = 0;
    if (c < 0x80)
        more = 0;
    else if (c >= 0xC2 && c < 0xE0)
        more = 1, c &= 0x1F;
    else if (c >= 0xE0 && c < 0xF0)
        more = 2, c &= 0x0F;
    else if (c >= 0xF0 && c < 0xF5)
        more = 3, c &= 0x07;
    else
        return false;
    if (end - p <= more)
        return false;
    for (int i = 1; i <= more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if ((more == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (more == 3 && (c < 0x10000 || c > 0x10FFFF)) || c == 0xFEFF)
        return false;
    p += more + 1;
    return true;
}

// Keys are put together in a QByteArray to be returned, or on the stack
// to be fingerprinted.
using TKeyText = QVarLengthArray<char, 512>;

template <typename TOut> void AppendUtf8(TOut &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
        return;
    }
    char bytes[4];
    int n = 0;
    if (c < 0x800) {
        bytes[n++] = char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        bytes[n++] = char(0xE0 | (c >> 12));
        bytes[n++] = char(0x80 | ((c >> 6) & 0x3F));
    } else {
        bytes[n++] = char(0xF0 | (c >> 18));
        bytes[n++] = char(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = char(0x80 | ((c >> 6) & 0x3F));
    }
    bytes[n++] = char(0x80 | (c & 0x3F));
    out.append(bytes, n);
}

// One character of a name onto out (which holds the name from start):
// folded, a run of blanks as one blank between words.
template <typename TOut> void PutFolded(TOut &out, qsizetype start, char32_t c, bool &space)
{
    if (QChar::isSpace(c)) {
        space = out.size() > start;
        return;
    }
    if (space)
        out.append(' ');
    space = false;
    AppendUtf8(out, TurkishFold(c));
}

// The characters of a name onto out; false when the text is not plain
// UTF-8 (out is then left part-written).
template <typename TOut> bool FoldName(TOut &out, qsizetype start, QByteArrayView text, bool &space)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        char32_t c = 0;
        if (!NextCharacter(p, end, c))
            return false;
        PutFolded(out, start, c, space);
    }
    return true;
}

// The one name key: the given name and family name as one text, letter
// case, the Turkish marks and runs of blanks aside.
template <typename TOut> void AppendNameKey(TOut &out, const QByteArray &given, const QByteArray &family)
{
    const qsizetype start = out.size();
    bool space = false;
    if (FoldName(out, start, given, space) && FoldName(out, start, " ", space) && FoldName(out, start, family, space))
        return;
    // Bytes that are not UTF-8 are read as Qt reads them.
    out.resize(start);
    space = false;
    for (const char32_t c : QString::fromUtf8(given + ' ' + family).toUcs4())
        PutFolded(out, start, c, space);
}

// The one e-mail key: blanks around it and letter case (ASCII) aside.
template <typename TOut> void AppendEmailKey(TOut &out, const QByteArray &email)
{
    const QByteArrayView trimmed = QByteArrayView(email).trimmed();
    const qsizetype start = out.size();
    out.resize(start + trimmed.size());
    char *to = out.data() + start;
    for (const char c : trimmed)
        *to++ = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

} // namespace

QByteArray TDuplicateCheck::PhoneKey(const QByteArray &number)
{
    return PhoneNumberKey(QByteArrayView(number));
}

QByteArray TDuplicateCheck::EmailKey(const QByteArray &email)
{
    QByteArray key;
    AppendEmailKey(key, email);
    return key;
}

QByteArray TDuplicateCheck::NameKey(const QByteArray &given, const QByteArray &family)
{
    QByteArray key;
    AppendNameKey(key, given, family);
    return key;
}

// The person keys are the name key, a separator, "#" and a number's key
// or "@" and the e-mail's key; the record key is the seven values, each
// ended by a separator.
void TDuplicateCheck::KeysOf(const QByteArray *values, TKeys &keys) const
{
    TKeyText key;
    for (int c = 0; c < cfCount; ++c) {
        key.append(values[c].constData(), values[c].size());
        key.append('\x1f');
    }
    keys.Record = FingerprintOf(QByteArrayView(key.data(), key.size()));

    key.resize(0);
    AppendNameKey(key, values[cfAd], values[cfSoyad]);
    key.append('\x1f');
    const qsizetype name = key.size();
    keys.PersonCount = 0;
    const auto person = [&](int column) {
        if (key.size() == name + 1)
            return; // no digit, no e-mail
        keys.Persons[keys.PersonCount] = FingerprintOf(QByteArrayView(key.data(), key.size()));
        keys.Columns[keys.PersonCount++] = column;
    };
    for (int c = cfCTelefon; c <= cfITelefon; ++c) {
        key.resize(name);
        key.append('#');
        const QByteArray number = PhoneNumberKey(QByteArrayView(values[c]), FPlace);
        key.append(number.constData(), number.size());
        person(c);
    }
    key.resize(name);
    key.append('@');
    AppendEmailKey(key, values[cfEmail]);
    person(cfEmail);
}

void TDuplicateCheck::Take(const TKeys &keys, std::int64_t where)
{
    if (FWhere.size() >= std::numeric_limits<std::uint32_t>::max())
        throw Exception(QStringLiteral("too many contacts to compare"));
    FWhere.push_back(where);
    const auto number = std::uint32_t(FWhere.size());
    for (int i = 0; i < keys.PersonCount; ++i)
        FPersons.Put(keys.Persons[i], number);
    FRecords.Put(keys.Record, number);
}

void TDuplicateCheck::AddExisting(TProvider &engine)
{
    TRowArena rows;
    std::vector<TResultColumn> columns;
    TResultTable table;
    engine.Select(QString::fromLatin1(ContactKeysSql()), {}, {}, rows, columns, table);
    TKeys keys;
    for (std::size_t row = 0; row < rows.RowCount(); ++row) {
        QByteArray values[cfCount];
        for (int c = 0; c < cfCount; ++c) {
            const TCellView cell = rows.Cell(row, c + 1);
            if (cell.Kind == TCellKind::Text)
                values[c] = QByteArray(cell.Data, qsizetype(cell.Size));
        }
        KeysOf(values, keys);
        Take(keys, rows.Cell(row, 0).Int);
    }
}

std::int64_t TDuplicateCheck::Lookup(const TKeys &keys, int *column) const
{
    if (const std::uint32_t n = FRecords.Find(keys.Record)) {
        *column = cfCount;
        return FWhere[n - 1];
    }
    for (int i = 0; i < keys.PersonCount; ++i)
        if (const std::uint32_t n = FPersons.Find(keys.Persons[i])) {
            *column = keys.Columns[i];
            return FWhere[n - 1];
        }
    return 0;
}

std::optional<TImportProblem> TDuplicateCheck::Problem(const QByteArray *values, std::int64_t at, int column)
{
    if (at == 0)
        return std::nullopt;
    if (column == cfCount)
        return TImportProblem{.Kind = TImportProblemKind::SameRecord, .Of = at};
    return TImportProblem{.Kind = column == cfEmail ? TImportProblemKind::SameNameAndEmail : TImportProblemKind::SameNameAndNumber,
                          .Field = column,
                          .Text = QString::fromUtf8(values[column]),
                          .Of = at};
}

std::optional<TImportProblem> TDuplicateCheck::FindOrAdd(const QByteArray *values, std::int64_t position)
{
    TKeys keys;
    KeysOf(values, keys);
    // The places are far apart in memory: asked for together, they arrive together.
    FRecords.Prefetch(keys.Record);
    for (int i = 0; i < keys.PersonCount; ++i)
        FPersons.Prefetch(keys.Persons[i]);
    int column = 0;
    const std::int64_t at = Lookup(keys, &column);
    if (at == 0)
        Take(keys, -position);
    return Problem(values, at, column);
}

std::int64_t TDuplicateCheck::FindContact(const QByteArray *values) const
{
    TKeys keys;
    KeysOf(values, keys);
    int column = 0;
    const std::int64_t at = Lookup(keys, &column);
    return at > 0 ? at : 0;
}

void TDuplicateCheck::AddContact(const QByteArray *values, std::int64_t no)
{
    TKeys keys;
    KeysOf(values, keys);
    Take(keys, no);
}
