#include "contacts/DuplicateCheck.h"

#include "platform/core/PhoneNumberKey.h"

#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "store/RowArena.h"
#include "store/TurkishText.h"
#include "contacts/ContactRecord.h"

#include <QCryptographicHash>

namespace {

// The seven values as a digest: a database's worth of them stays small.
QByteArray RecordKey(const QByteArray *values)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int c = 0; c < cfCount; ++c) {
        hash.addData(values[c]);
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return hash.result();
}

QByteArray PersonKey(const QByteArray &name, char kind, const QByteArray &key)
{
    return name + '\x1f' + kind + key;
}

} // namespace

QByteArray TDuplicateCheck::PhoneKey(const QByteArray &number)
{
    return PhoneNumberKey(QByteArrayView(number));
}

QByteArray TDuplicateCheck::EmailKey(const QByteArray &email)
{
    return email.trimmed().toLower();
}

QByteArray TDuplicateCheck::NameKey(const QByteArray &given, const QByteArray &family)
{
    QString folded;
    bool space = false;
    for (const char32_t c : QString::fromUtf8(given + ' ' + family).toUcs4()) {
        if (QChar::isSpace(c)) {
            space = !folded.isEmpty();
            continue;
        }
        if (space)
            folded += u' ';
        space = false;
        const char32_t f = TurkishFold(c);
        folded += QString::fromUcs4(&f, 1);
    }
    return folded.toUtf8();
}

void TDuplicateCheck::Take(const QByteArray *values, std::int64_t where)
{
    const QByteArray name = NameKey(values[cfAd], values[cfSoyad]);
    for (int c = cfCTelefon; c <= cfITelefon; ++c)
        if (const QByteArray k = PhoneKey(values[c]); !k.isEmpty())
            FPersons.insert(PersonKey(name, '#', k), where);
    if (const QByteArray k = EmailKey(values[cfEmail]); !k.isEmpty())
        FPersons.insert(PersonKey(name, '@', k), where);
    FRecords.insert(RecordKey(values), where);
}

void TDuplicateCheck::AddExisting(TProvider &engine)
{
    TRowArena keys;
    std::vector<TResultColumn> columns;
    TResultTable table;
    engine.Select(QString::fromLatin1(ContactKeysSql()), {}, {}, keys, columns, table);
    for (std::size_t row = 0; row < keys.RowCount(); ++row) {
        QByteArray values[cfCount];
        for (int c = 0; c < cfCount; ++c) {
            const TCellView cell = keys.Cell(row, c + 1);
            if (cell.Kind == TCellKind::Text)
                values[c] = QByteArray(cell.Data, qsizetype(cell.Size));
        }
        Take(values, keys.Cell(row, 0).Int);
    }
}

// Where the record's repeat was taken in (0: nowhere); column: cfCount for
// every value, else the number or e-mail column both share.
std::int64_t TDuplicateCheck::Lookup(const QByteArray *values, int *column) const
{
    if (const auto it = FRecords.constFind(RecordKey(values)); it != FRecords.constEnd()) {
        *column = cfCount;
        return it.value();
    }
    const QByteArray name = NameKey(values[cfAd], values[cfSoyad]);
    for (int c = cfCTelefon; c <= cfITelefon; ++c) {
        const QByteArray k = PhoneKey(values[c]);
        if (const auto it = FPersons.constFind(PersonKey(name, '#', k)); !k.isEmpty() && it != FPersons.constEnd()) {
            *column = c;
            return it.value();
        }
    }
    const QByteArray k = EmailKey(values[cfEmail]);
    if (const auto it = FPersons.constFind(PersonKey(name, '@', k)); !k.isEmpty() && it != FPersons.constEnd()) {
        *column = cfEmail;
        return it.value();
    }
    return 0;
}

std::optional<TImportProblem> TDuplicateCheck::Find(const QByteArray *values) const
{
    int column = 0;
    const std::int64_t at = Lookup(values, &column);
    if (at == 0)
        return std::nullopt;
    if (column == cfCount)
        return TImportProblem{.Kind = TImportProblemKind::SameRecord, .Of = at};
    return TImportProblem{.Kind = column == cfEmail ? TImportProblemKind::SameNameAndEmail : TImportProblemKind::SameNameAndNumber,
                          .Field = column,
                          .Text = QString::fromUtf8(values[column]),
                          .Of = at};
}

std::int64_t TDuplicateCheck::FindContact(const QByteArray *values) const
{
    int column = 0;
    const std::int64_t at = Lookup(values, &column);
    return at > 0 ? at : 0;
}

void TDuplicateCheck::AddContact(const QByteArray *values, std::int64_t no)
{
    Take(values, no);
}

void TDuplicateCheck::Add(const QByteArray *values, std::int64_t position)
{
    Take(values, -position);
}
