#include "ldap/DirectorySearch.h"

#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "store/Field.h"
#include "store/PgSql.h"
#include "store/Provider.h"
#include "store/StatementText.h"

#include <QElapsedTimer>
#include <QPair>
#include <QSet>
#include <algorithm>
#include <optional>

namespace {

const char *const kSelect = "SELECT No, Ad, Soyad, CTelefon, ETelefon, ITelefon, Email, Adres FROM DBASE";
const char *const kNothing = "1 = 0";
// A search asking for fewer entries than this is read in two steps.
constexpr qint64 kFewEntries = 1000;

// The columns each attribute reads.
QStringList ColumnsOf(TDirectoryAttribute attribute)
{
    switch (attribute) {
    case daCn:
    case daDisplayName: return {QStringLiteral("Ad"), QStringLiteral("Soyad")};
    case daGivenName: return {QStringLiteral("Ad")};
    case daSn: return {QStringLiteral("Soyad")};
    case daMobile: return {QStringLiteral("CTelefon")};
    case daHomePhone: return {QStringLiteral("ETelefon")};
    case daTelephoneNumber: return {QStringLiteral("ITelefon"), QStringLiteral("CTelefon"), QStringLiteral("ETelefon")};
    case daMail: return {QStringLiteral("Email")};
    default: return {};
    }
}

// A piece of a LIKE pattern that matches the text and more: the
// database's LIKE has no escape, so "%" and "_" become "_", and a blank
// any run, as blanks run together.
QString LikePiece(const QByteArray &value)
{
    QString piece = QString::fromUtf8(value);
    for (QChar &c : piece)
        if (c == u'%' || c == u'_')
            c = u'_';
    return piece.simplified().replace(u' ', u'%');
}

// The last digits of a number (two fewer than it has, at most seven),
// which it ends in whether written nationally or internationally; empty
// when too few.
QByteArray LastDigits(QByteArrayView number)
{
    const QByteArray digits = NumberDigits(number);
    return digits.right(qMax<qsizetype>(0, qMin<qsizetype>(7, digits.size() - 2)));
}

// The digits a number item narrows by: of its value, or of the end of its
// substrings; empty for any other item.
QByteArray NumberDigitsOf(const TLdapFilter &f)
{
    if (f.Kind == TLdapFilter::TKind::Equal)
        return LastDigits(f.Value);
    return f.Kind == TLdapFilter::TKind::Substrings ? LastDigits(f.Final) : QByteArray();
}

// Any of the columns whose digits end in these, in the engine's own way.
QString AnyHoldsDigits(const QStringList &columns, const QByteArray &digits, bool onServer, QStringList *values)
{
    QStringList terms;
    for (const QString &column : columns) {
        const QByteArray parameter = ":p" + QByteArray::number(values->size());
        terms << QString::fromUtf8(onServer ? PgSql::NumberEnd(column.toUtf8(), parameter) : NumberEndSql(column.toUtf8(), parameter));
        values->append(QString::fromLatin1(onServer ? PgSql::NumberEndPattern(digits) : NumberEndPattern(digits)));
    }
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

// Any of the columns LIKE the pattern.
QString AnyLike(const QStringList &columns, const QString &pattern, QStringList *values)
{
    QStringList terms;
    for (const QString &column : columns) {
        terms << QStringLiteral("%1 LIKE :p%2").arg(column).arg(values->size());
        values->append(pattern);
    }
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

// "Ad Soyad": each word typed lies within the first name or the last name
// (a word holds no blank, so it cannot reach across the one between them),
// and the first word of its start begins one of them. Each word is its own
// term, which the server's indexes serve.
QString NameWordsNarrowing(const TLdapFilter &f, const QStringList &columns, QStringList *values)
{
    constexpr int kMostWords = 4;
    const bool equal = f.Kind == TLdapFilter::TKind::Equal;
    QStringList terms;
    auto add = [&](const QByteArray &piece, bool start) {
        const QStringList words = LikePiece(piece).split(u'%', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < words.size() && terms.size() < kMostWords; ++i)
            terms << AnyLike(columns, (start && i == 0 ? QString() : QStringLiteral("%")) + words.at(i) + u'%', values);
    };
    add(equal ? f.Value : f.Initial, true);
    if (!equal) {
        for (const QByteArray &piece : f.Any)
            add(piece, false);
        add(f.Final, false);
    }
    return terms.isEmpty() ? QString() : u'(' + terms.join(QStringLiteral(" AND ")) + u')';
}

bool IsContactClass(const QByteArray &value)
{
    const QByteArray v = value.toLower();
    return v == "top" || v == "person" || v == "organizationalperson" || v == "inetorgperson";
}

QString ItemNarrowing(const TLdapFilter &f, bool onServer, QStringList *values)
{
    const TDirectoryAttribute attribute = DirectoryAttributeOf(f.Attribute);
    if (f.Kind == TLdapFilter::TKind::Unsupported || attribute == daCount || attribute == daOu)
        return QString::fromLatin1(kNothing);
    if (attribute == daObjectClass)
        return f.Kind == TLdapFilter::TKind::Equal && !IsContactClass(f.Value) ? QString::fromLatin1(kNothing) : QString();
    if (attribute == daUid) {
        if (f.Kind != TLdapFilter::TKind::Equal)
            return QString();
        bool ok = false;
        f.Value.toLongLong(&ok);
        if (!ok)
            return QString::fromLatin1(kNothing);
        values->append(QString::fromLatin1(f.Value));
        return QStringLiteral("No = :p%1").arg(values->size() - 1);
    }
    const QStringList columns = ColumnsOf(attribute);
    if (columns.isEmpty())
        return QString(); // postalAddress: its lines are joined differently
    if (f.Kind == TLdapFilter::TKind::Present) {
        QStringList terms;
        for (const QString &column : columns)
            terms << column + QStringLiteral(" <> ''");
        return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
    }
    if (IsNumberAttribute(attribute)) {
        const QByteArray digits = NumberDigitsOf(f);
        return digits.isEmpty() ? QString() : AnyHoldsDigits(columns, digits, onServer, values);
    }
    if (attribute == daCn || attribute == daDisplayName)
        return NameWordsNarrowing(f, columns, values);
    QString pattern;
    if (f.Kind == TLdapFilter::TKind::Equal) {
        pattern = LikePiece(f.Value);
    } else {
        pattern = LikePiece(f.Initial) + u'%';
        for (const QByteArray &piece : f.Any)
            pattern += LikePiece(piece) + u'%';
        pattern += LikePiece(f.Final);
    }
    return AnyLike(columns, pattern, values);
}

TContactValues ContactOf(TADOQuery &q)
{
    auto text = [&q](int i) { return q.Fields(i)->AsString().toUtf8(); };
    return TContactValues{text(0), text(1), text(2), text(3), text(4), text(5), text(6), text(7)};
}

// The contact's key when dn names one directly below base ("uid=KEY,BASE").
std::optional<QByteArray> ContactKeyOf(const QByteArray &dn, const QByteArray &base)
{
    if (!dn.startsWith("uid=") || !dn.endsWith(',' + base))
        return std::nullopt;
    const QByteArray key = dn.mid(4, dn.size() - 4 - base.size() - 1);
    bool ok = false;
    key.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return key;
}

} // namespace

QString NarrowingOf(const TLdapFilter &filter, bool onServer, QStringList *values)
{
    switch (filter.Kind) {
    case TLdapFilter::TKind::And: {
        QStringList terms;
        for (const TLdapFilter &child : filter.Children)
            if (const QString term = NarrowingOf(child, onServer, values); !term.isEmpty())
                terms << term;
        return terms.isEmpty() ? QString() : u'(' + terms.join(QStringLiteral(" AND ")) + u')';
    }
    case TLdapFilter::TKind::Or: {
        // A desk phone asks for the same number in several attributes: each
        // column is searched for it once.
        QStringList terms;
        const qsizetype before = values->size();
        QList<QPair<QByteArray, QStringList>> numbers;
        for (const TLdapFilter &child : filter.Children) {
            const TDirectoryAttribute attribute = DirectoryAttributeOf(child.Attribute);
            const QByteArray digits = NumberDigitsOf(child);
            if (!IsNumberAttribute(attribute) || digits.isEmpty())
                continue;
            auto same = std::find_if(numbers.begin(), numbers.end(), [&](const auto &n) { return n.first == digits; });
            if (same == numbers.end())
                same = numbers.insert(numbers.end(), {digits, {}});
            for (const QString &column : ColumnsOf(attribute))
                if (!same->second.contains(column))
                    same->second << column;
        }
        for (const auto &[digits, columns] : numbers)
            terms << AnyHoldsDigits(columns, digits, onServer, values);
        for (const TLdapFilter &child : filter.Children) {
            if (IsNumberAttribute(DirectoryAttributeOf(child.Attribute)) && !NumberDigitsOf(child).isEmpty())
                continue;
            const QString term = NarrowingOf(child, onServer, values);
            if (term.isEmpty()) {
                values->resize(before); // one term takes every row: so does the whole
                return QString();
            }
            terms << term;
        }
        return terms.isEmpty() ? QString::fromLatin1(kNothing) : u'(' + terms.join(QStringLiteral(" OR ")) + u')';
    }
    case TLdapFilter::TKind::Not: return QString();
    default: return ItemNarrowing(filter, onServer, values);
    }
}

QByteArray NormalDn(QByteArrayView dn)
{
    QByteArrayList rdns;
    QByteArray current;
    for (qsizetype i = 0; i < dn.size(); ++i) {
        const char c = dn[i];
        if (c == '\\' && i + 1 < dn.size()) {
            current += c;
            current += dn[++i];
        } else if (c == ',') {
            rdns.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    rdns.append(current);
    for (QByteArray &rdn : rdns) {
        const qsizetype eq = rdn.indexOf('=');
        rdn = (eq < 0 ? rdn.trimmed() : rdn.left(eq).trimmed() + '=' + rdn.mid(eq + 1).trimmed()).toLower();
    }
    return rdns.join(',');
}

TSearchOutcome SearchDirectory(TADOConnection &connection, const QByteArray &base, const TDirectorySearch &search,
                               const std::function<bool(const QByteArray &)> &send)
{
    TSearchOutcome outcome;
    const QByteArray dn = NormalDn(search.Base);
    const std::optional<QByteArray> key = ContactKeyOf(dn, base);
    if (dn != base && !key) {
        outcome.Code = lrNoSuchObject;
        outcome.Matched = base;
        return outcome;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    // Every entry looked at counts against the time limit, sent or not.
    auto offer = [&](const TDirectoryEntry &entry) {
        if (search.TimeLimit > 0 && clock.elapsed() > search.TimeLimit * 1000) {
            outcome.Code = lrTimeLimitExceeded;
            return false;
        }
        if (!EntryMatches(entry, search.Filter))
            return true;
        if (search.SizeLimit >= 0 && sent >= search.SizeLimit) {
            outcome.Code = lrSizeLimitExceeded;
            return false;
        }
        ++sent;
        if (!send(EntryLdif(entry, search.Attributes))) {
            outcome.Code = lrOther;
            return false;
        }
        return true;
    };
    const bool wantBase = !key && (search.Scope == ssBase || search.Scope == ssSub);
    if (wantBase && !offer(BaseEntry(base)))
        return outcome;
    const bool wantContacts = key ? (search.Scope == ssBase || search.Scope == ssSub) : search.Scope != ssBase;
    if (!wantContacts)
        return outcome;

    // Below a contact of its own, the one row decides; else the database
    // narrows the contacts first.
    QStringList values;
    QString where;
    if (key) {
        values << QString::fromLatin1(*key);
        where = QStringLiteral(" WHERE No = :p0");
    } else if (const QString narrowing = NarrowingOf(search.Filter, connection.Engine() && connection.Engine()->OnServer(), &values);
               !narrowing.isEmpty())
        where = QStringLiteral(" WHERE ") + narrowing;
    // A phone asks for a few entries: the database is asked for a few more
    // rows than that first (it then plans to stop early), and for the rest
    // only when the program passed over some of them and more may match.
    const bool few = !key && search.SizeLimit >= 0 && search.SizeLimit < kFewEntries;
    const qint64 firstRows = 2 * (search.SizeLimit + 1);
    QSet<QByteArray> seen;
    bool stopped = false;
    auto read = [&](qint64 limit) {
        TADOQuery query;
        query.SetConnection(&connection);
        // In no particular order: the server then serves the search from
        // its indexes rather than walk the table in key order.
        query.SQL.Add(QString::fromLatin1(kSelect) + where + (limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString()));
        for (qsizetype i = 0; i < values.size(); ++i)
            query.Parameters.SetValue(int(i), values.at(i));
        query.Open();
        if (key && query.Eof()) {
            outcome.Code = lrNoSuchObject;
            outcome.Matched = base;
        }
        qint64 rows = 0;
        for (; !query.Eof() && !stopped; query.Next(), ++rows) {
            const TContactValues contact = ContactOf(query);
            if (limit > 0)
                seen.insert(contact.No);
            else if (seen.contains(contact.No))
                continue;
            stopped = !offer(ContactEntry(contact, base));
        }
        return rows;
    };
    if (!few || (read(firstRows) == firstRows && !stopped))
        read(0);
    return outcome;
}
