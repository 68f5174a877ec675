#include "ldap/DirectoryEntry.h"

#include "platform/core/PhoneNumberKey.h"
#include "store/TurkishText.h"

#include <QStringList>

namespace {

struct TAttributeName {
    const char *Lower;
    TDirectoryAttribute Attribute;
};

// Each attribute's names in lower case: the schema's, then its other names.
constexpr TAttributeName kNames[] = {
    {"objectclass", daObjectClass},
    {"ou", daOu},
    {"organizationalunitname", daOu},
    {"uid", daUid},
    {"userid", daUid},
    {"cn", daCn},
    {"commonname", daCn},
    {"givenname", daGivenName},
    {"gn", daGivenName},
    {"sn", daSn},
    {"surname", daSn},
    {"displayname", daDisplayName},
    {"mobile", daMobile},
    {"mobiletelephonenumber", daMobile},
    {"homephone", daHomePhone},
    {"hometelephonenumber", daHomePhone},
    {"telephonenumber", daTelephoneNumber},
    {"mail", daMail},
    {"rfc822mailbox", daMail},
    {"postaladdress", daPostalAddress},
};

// The schema's spelling, by attribute.
constexpr const char *kSpelling[daCount] = {
    "objectClass", "ou", "uid", "cn", "givenName", "sn", "displayName", "mobile", "homePhone", "telephoneNumber", "mail", "postalAddress"};

// Text as a keypad spells it, blanks run together.
QByteArray Folded(QByteArrayView text)
{
    return TurkishFoldText(text).simplified();
}

bool SubstringsMatch(const QByteArray &value, const QByteArray &initial, const QList<QByteArray> &any, const QByteArray &final)
{
    if (!value.startsWith(initial))
        return false;
    qsizetype at = initial.size();
    for (const QByteArray &piece : any) {
        const qsizetype found = value.indexOf(piece, at);
        if (found < 0)
            return false;
        at = found + piece.size();
    }
    return value.size() - at >= final.size() && value.endsWith(final);
}

bool NumberMatches(const QByteArray &stored, const TLdapFilter &f)
{
    const QByteArray digits = NumberDigits(stored);
    const QByteArray key = PhoneNumberKey(QByteArrayView(stored));
    if (f.Kind == TLdapFilter::TKind::Equal) {
        const QByteArray wanted = NumberDigits(f.Value);
        return !wanted.isEmpty() && (wanted == digits || PhoneNumberKey(QByteArrayView(f.Value)) == key);
    }
    QList<QByteArray> any;
    for (const QByteArray &piece : f.Any)
        if (const QByteArray d = NumberDigits(piece); !d.isEmpty())
            any.append(d);
    const QByteArray initial = NumberDigits(f.Initial), final = NumberDigits(f.Final);
    return SubstringsMatch(digits, initial, any, final) || SubstringsMatch(key, initial, any, final);
}

bool TextMatches(const QByteArray &stored, const TLdapFilter &f)
{
    const QByteArray value = Folded(stored);
    if (f.Kind == TLdapFilter::TKind::Equal)
        return value == Folded(f.Value);
    QList<QByteArray> any;
    for (const QByteArray &piece : f.Any)
        any.append(Folded(piece));
    return SubstringsMatch(value, Folded(f.Initial), any, Folded(f.Final));
}

bool ItemMatches(const TDirectoryEntry &entry, const TLdapFilter &f)
{
    const TDirectoryAttribute attribute = DirectoryAttributeOf(f.Attribute);
    if (attribute == daCount)
        return false;
    const QList<QByteArray> &values = entry.Values[attribute];
    if (f.Kind == TLdapFilter::TKind::Present)
        return !values.isEmpty();
    for (const QByteArray &v : values)
        if (IsNumberAttribute(attribute) ? NumberMatches(v, f) : TextMatches(v, f))
            return true;
    return false;
}

// A value LDIF may hold as it is: printable ASCII, not beginning with a
// blank, ":" or "<", not ending with a blank.
bool SafeForLdif(const QByteArray &value)
{
    if (value.isEmpty())
        return true;
    if (value.front() == ' ' || value.front() == ':' || value.front() == '<' || value.back() == ' ')
        return false;
    for (const char c : value)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

QByteArray LdifLine(const char *name, const QByteArray &value)
{
    if (SafeForLdif(value))
        return QByteArray(name) + ": " + value + '\n';
    return QByteArray(name) + ":: " + value.toBase64() + '\n';
}

// postalAddress: lines separated by "$", with "\" and "$" escaped.
QByteArray PostalAddress(const QByteArray &address)
{
    QByteArrayList lines;
    for (QByteArray line : address.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        line.replace("\\", "\\5C").replace("$", "\\24");
        lines.append(line);
    }
    return lines.join('$');
}

void Add(TDirectoryEntry &entry, TDirectoryAttribute attribute, const QByteArray &value)
{
    if (!value.trimmed().isEmpty())
        entry.Values[attribute].append(value);
}

// A filter's value for an entry: an item the directory cannot evaluate (an
// ordering or extensible match) is undefined, and so is "not" of it; "and"
// and "or" take it as their rules say, so that no such item lets an entry
// through.
enum class TTruth { False, True, Undefined };

TTruth Evaluate(const TDirectoryEntry &entry, const TLdapFilter &filter)
{
    switch (filter.Kind) {
    case TLdapFilter::TKind::And:
    case TLdapFilter::TKind::Or: {
        const TTruth decisive = filter.Kind == TLdapFilter::TKind::And ? TTruth::False : TTruth::True;
        TTruth result = filter.Kind == TLdapFilter::TKind::And ? TTruth::True : TTruth::False;
        for (const TLdapFilter &child : filter.Children) {
            const TTruth t = Evaluate(entry, child);
            if (t == decisive)
                return t;
            if (t == TTruth::Undefined)
                result = TTruth::Undefined;
        }
        return result;
    }
    case TLdapFilter::TKind::Not: {
        const TTruth t = Evaluate(entry, filter.Children.front());
        return t == TTruth::Undefined ? t : (t == TTruth::True ? TTruth::False : TTruth::True);
    }
    case TLdapFilter::TKind::Unsupported: return TTruth::Undefined;
    default: return ItemMatches(entry, filter) ? TTruth::True : TTruth::False;
    }
}

} // namespace

bool IsNumberAttribute(TDirectoryAttribute attribute)
{
    return attribute == daMobile || attribute == daHomePhone || attribute == daTelephoneNumber;
}

QByteArray NumberDigits(QByteArrayView number)
{
    QByteArray digits;
    for (const char c : number)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits;
}

TDirectoryAttribute DirectoryAttributeOf(QByteArrayView name)
{
    for (const TAttributeName &n : kNames)
        if (name.compare(QByteArrayView(n.Lower), Qt::CaseInsensitive) == 0)
            return n.Attribute;
    return daCount;
}

TAttributeSelection AttributeSelection(QByteArrayView attrs)
{
    TAttributeSelection selection;
    if (attrs.trimmed() == "all")
        return selection.set();
    for (const QByteArray &name : attrs.toByteArray().simplified().split(' ')) {
        if (name == "*")
            selection.set();
        else if (const TDirectoryAttribute a = DirectoryAttributeOf(name); a != daCount)
            selection.set(a);
    }
    return selection;
}

TDirectoryEntry ContactEntry(const TContactValues &c, const QByteArray &base)
{
    TDirectoryEntry e;
    e.Dn = "uid=" + c.No + ',' + base;
    e.Values[daObjectClass] = {"top", "person", "organizationalPerson", "inetOrgPerson"};
    e.Values[daUid] = {c.No};
    const QByteArray name = (c.Ad.trimmed() + ' ' + c.Soyad.trimmed()).trimmed();
    Add(e, daCn, name);
    Add(e, daDisplayName, name);
    Add(e, daGivenName, c.Ad);
    Add(e, daSn, c.Soyad);
    Add(e, daMobile, c.CTelefon);
    Add(e, daHomePhone, c.ETelefon);
    for (const QByteArray *number : {&c.ITelefon, &c.CTelefon, &c.ETelefon}) {
        if (!number->trimmed().isEmpty()) {
            Add(e, daTelephoneNumber, *number);
            break;
        }
    }
    Add(e, daMail, c.Email);
    Add(e, daPostalAddress, PostalAddress(c.Adres));
    return e;
}

TDirectoryEntry BaseEntry(const QByteArray &base)
{
    TDirectoryEntry e;
    e.Dn = base;
    e.Values[daObjectClass] = {"top", "organizationalUnit"};
    const QByteArray rdn = base.left(base.indexOf(','));
    Add(e, daOu, rdn.mid(rdn.indexOf('=') + 1).trimmed());
    return e;
}

bool EntryMatches(const TDirectoryEntry &entry, const TLdapFilter &filter)
{
    return Evaluate(entry, filter) == TTruth::True;
}

QByteArray EntryLdif(const TDirectoryEntry &entry, const TAttributeSelection &selection)
{
    QByteArray ldif = LdifLine("dn", entry.Dn);
    for (int a = 0; a < daCount; ++a)
        if (selection.test(std::size_t(a)))
            for (const QByteArray &value : entry.Values[a])
                ldif += LdifLine(kSpelling[a], value);
    return ldif + '\n';
}
