#include "contacts/VCardReader.h"

#include "contacts/Charset.h"
#include "contacts/TextInput.h"
#include "contacts/VCardValue.h"

#include <cctype>
#include <cstring>

namespace {

// Properties about the person that the contacts table has no column for;
// a card holding one says so.
constexpr QByteArrayView kOtherData[] = {"ORG", "TITLE", "ROLE", "NOTE", "BDAY", "ANNIVERSARY", "URL", "NICKNAME", "IMPP", "RELATED"};
// What one card may hold at the most: more is a broken or hostile file.
constexpr std::size_t kMostProperties = 1000;
constexpr qsizetype kMostProblems = 20;
// Cards inside cards, at the most; deeper, a BEGIN ends the card before it.
constexpr std::size_t kMostNested = 8;
// Properties whose values are read.
// ORG and NICKNAME are read for a card that names no one else: they are
// its name then, and listed with the other data otherwise.
constexpr QByteArrayView kRead[] = {"N", "FN", "TEL", "EMAIL", "ADR", "LABEL", "X-ABLABEL", "NICKNAME", "ORG"};
enum TRead { rN, rFN, rTEL, rEMAIL, rADR, rLABEL, rXABLABEL, rNICKNAME, rORG };

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Equal without regard to ASCII letter case.
bool Is(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

template <std::size_t N> int IndexIn(QByteArrayView name, const QByteArrayView (&list)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (Is(name, list[i]))
            return int(i);
    return -1;
}

bool ContainsNoCase(QByteArrayView text, QByteArrayView word)
{
    for (qsizetype i = 0; i + word.size() <= text.size(); ++i)
        if (Is(text.sliced(i, word.size()), word))
            return true;
    return false;
}

} // namespace

TVCardReader::THead TVCardReader::HeadOf(QByteArrayView line)
{
    THead head;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ':' && !quoted) {
            head.Colon = i;
            break;
        }
    }
    qsizetype end = 0;
    while (end < line.size() && line.at(end) != ';' && line.at(end) != ':')
        ++end;
    qsizetype dot = end;
    while (dot > 0 && line.at(dot - 1) != '.')
        --dot;
    head.Group = dot > 0 ? line.first(dot - 1) : QByteArrayView();
    head.Name = line.sliced(dot, end - dot);
    head.Params = line.sliced(end, (head.Colon < 0 ? line.size() : head.Colon) - end);
    head.Value = head.Colon < 0 ? QByteArrayView() : line.sliced(head.Colon + 1);
    return head;
}

namespace {

// A photo, a logo, a sound, a key or any BASE64 value: passed over unread.
bool Skipped(const TVCardReader::THead &head)
{
    return Is(head.Name, "PHOTO") || Is(head.Name, "LOGO") || Is(head.Name, "SOUND") || Is(head.Name, "KEY")
        || ContainsNoCase(head.Params, "BASE64") || ContainsNoCase(head.Params, "ENCODING=B");
}

// The kinds of number a TYPE value or an Apple label names, as bits.
enum : unsigned { tMobile = 1, tOther = 2, tHome = 4, tWork = 8 };

unsigned TypeBits(QByteArrayView text)
{
    unsigned bits = 0;
    if (ContainsNoCase(text, "CELL") || ContainsNoCase(text, "MOBILE") || ContainsNoCase(text, "IPHONE"))
        bits |= tMobile;
    if (ContainsNoCase(text, "FAX") || ContainsNoCase(text, "PAGER"))
        bits |= tOther;
    if (ContainsNoCase(text, "HOME"))
        bits |= tHome;
    if (ContainsNoCase(text, "WORK"))
        bits |= tWork;
    return bits;
}

TPhoneKind PhoneKind(unsigned bits)
{
    return bits & tMobile ? TPhoneKind::Mobile
        : bits & tOther   ? TPhoneKind::Other
        : bits & tHome    ? TPhoneKind::Home
        : bits & tWork    ? TPhoneKind::Work
                          : TPhoneKind::Untyped;
}

// The number a TEL value names: a tel: URI (RFC 3966) without its scheme
// and parameters, an extension kept as a pause and its digits; any other
// value as it is.
QByteArray NumberOfTelUri(const QByteArray &value)
{
    if (value.size() < 4 || qstrnicmp(value.constData(), 4, "tel:", 4) != 0)
        return value;
    const QList<QByteArray> parts = value.mid(4).split(';');
    QByteArray number = QByteArray::fromPercentEncoding(parts.first()).trimmed();
    for (qsizetype i = 1; i < parts.size(); ++i)
        if (parts[i].size() > 4 && qstrnicmp(parts[i].constData(), 4, "ext=", 4) == 0) {
            number += ',';
            for (const char c : QByteArray::fromPercentEncoding(parts[i].mid(4)))
                if (c != '-' && c != '.' && c != '(' && c != ')')
                    number += c;
        }
    return number;
}

// True when value is one of the n values.
bool IsOneOf(const QByteArray &value, const QByteArray *values, int n)
{
    for (int i = 0; i < n; ++i)
        if (!value.isEmpty() && values[i] == value)
            return true;
    return false;
}

QByteArray Joined(const QList<QByteArray> &parts, char separator)
{
    QByteArray out;
    for (const QByteArray &p : parts) {
        const QByteArray t = p.trimmed();
        if (t.isEmpty())
            continue;
        if (!out.isEmpty())
            out += separator;
        out += t;
    }
    return out;
}

} // namespace

namespace {

// A 2.1 phone's value continued on the next line: an odd number of
// backslashes at the end, and a next line that is not a property of its own.
bool EndsInBackslash(QByteArrayView line)
{
    qsizetype n = 0;
    while (n < line.size() && line.at(line.size() - 1 - n) == '\\')
        ++n;
    return n % 2 == 1;
}

bool IsPropertyLine(QByteArrayView line)
{
    const TVCardReader::THead head = TVCardReader::HeadOf(line);
    if (head.Colon < 0 || head.Name.isEmpty())
        return false;
    for (const char c : head.Name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            return false;
    return true;
}

} // namespace

TVCardReader::TVCardReader(TTextInput &input) : FInput(input)
{
    input.SetRaw(true);
}

bool TVCardReader::NextLogicalLine()
{
    if (FAtEnd)
        return false;
    FDiscard = false;
    FBadText = false;
    const auto badLine = [this] {
        FBadText = true;
        if (qsizetype(FCard.LineProblems.size()) < kMostProblems)
            FCard.LineProblems.push_back(FInput.Problem());
    };
    const auto tooLong = [this] { FInput.RefuseLongLine("vCard"); };
    // The first physical line (blank lines are passed over).
    for (;;) {
        if (!FInput.ReadLine()) {
            FAtEnd = true;
            return false;
        }
        if (FInput.State() == TLineState::TooLong) {
            if (!Skipped(HeadOf(FInput.Text())))
                tooLong();
            FDiscard = true;
            break;
        }
        if (FInput.State() != TLineState::Ok) {
            badLine();
            break;
        }
        if (!QByteArrayView(FInput.Text()).trimmed().isEmpty())
            break;
    }
    FLogicalLine = FInput.LineNumber();
    const QByteArray &first = FInput.Text();
    FHead = HeadOf(first);
    FDiscard = FDiscard || Skipped(FHead);
    const bool quotedPrintable = ContainsNoCase(FHead.Params, "QUOTED-PRINTABLE");
    const int next = FInput.PeekNextByte();
    if (next != ' ' && next != '\t' && next != TTextInput::NotKnown && !(quotedPrintable && first.endsWith('='))
        && !(FHead.Colon >= 0 && EndsInBackslash(first)))
        return true; // a line of its own, read where it stands

    // Folded (continuation lines begin with a blank) or with soft breaks.
    FLogical.resize(0);
    FLogical.append(first.constData(), FDiscard ? FHead.Name.data() + FHead.Name.size() - first.constData() : first.size());
    while (FInput.ReadLine()) {
        const QByteArray &text = FInput.Text();
        const TLineState state = FInput.State();
        const bool softBreak = quotedPrintable && FLogical.endsWith('=');
        const bool folded = state == TLineState::Ok && !text.isEmpty() && (text.at(0) == ' ' || text.at(0) == '\t');
        const bool continued =
            !softBreak && !folded && !FDiscard && EndsInBackslash(FLogical) && !text.trimmed().isEmpty() && !IsPropertyLine(text);
        if (!softBreak && !folded && !continued && state == TLineState::Ok) {
            FInput.Unread();
            FHead = HeadOf(FLogical);
            return true;
        }
        if (state == TLineState::TooLong) {
            if (!FDiscard)
                tooLong();
            continue;
        }
        if (state != TLineState::Ok) {
            badLine();
            continue;
        }
        if (FDiscard)
            continue;
        if (softBreak) {
            FLogical.chop(1);
            FLogical.append(text.constData(), text.size());
        } else if (continued) {
            FLogical.append('n'); // the backslash and the line break: an escaped line break
            FLogical.append(text.constData(), text.size());
        } else {
            FLogical.append(text.constData() + 1, text.size() - 1);
        }
        if (FLogical.size() > TTextInput::MaxLineBytes)
            tooLong();
    }
    FAtEnd = true;
    FHead = HeadOf(FLogical);
    return true;
}

void TVCardReader::Take()
{
    const THead &head = FHead;
    if (head.Colon < 0) {
        if (qsizetype(FCard.LineProblems.size()) < kMostProblems)
            FCard.LineProblems.push_back({.Kind = TImportProblemKind::NotVCardLine, .Line = FLogicalLine});
        return;
    }
    const int kind = IndexIn(head.Name, kRead);
    if (IndexIn(head.Name, kOtherData) >= 0) {
        const QString name = QString::fromLatin1(head.Name.toByteArray().toUpper());
        if (!head.Value.trimmed().isEmpty() && !FCard.OtherNames.contains(name))
            FCard.OtherNames << name;
        if (kind < 0)
            return;
    }
    if (kind < 0)
        return;
    if (FCard.Properties.size() >= kMostProperties) {
        if (!FCard.TooMany)
            FCard.LineProblems.push_back({.Kind = TImportProblemKind::TooManyProperties, .Limit = qsizetype(kMostProperties)});
        FCard.TooMany = true;
        return;
    }
    TProperty p;
    p.Line = FLogicalLine;
    p.Kind = kind;
    p.Value = head.Value.toByteArray();
    if (!head.Group.isEmpty())
        p.Group = head.Group.toByteArray().toUpper();
    // Parameters: "TYPE=cell,voice", "TYPE=\"cell,voice\"", 2.1's bare "CELL".
    QByteArrayView rest = head.Params;
    while (!rest.isEmpty()) {
        qsizetype end = rest.indexOf(';', 1);
        if (end < 0)
            end = rest.size();
        const QByteArrayView param = rest.first(end).sliced(rest.startsWith(';') ? 1 : 0);
        rest = rest.sliced(end);
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        const QByteArrayView key = eq < 0 ? QByteArrayView() : param.first(eq).trimmed();
        QByteArrayView value = (eq < 0 ? param : param.sliced(eq + 1)).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.sliced(1, value.size() - 2);
        if (Is(key, "ENCODING") || (key.isEmpty() && (Is(value, "QUOTED-PRINTABLE") || Is(value, "8BIT") || Is(value, "7BIT")))) {
            p.QuotedPrintable = p.QuotedPrintable || Is(value, "QUOTED-PRINTABLE");
        } else if (Is(key, "CHARSET")) {
            p.Charset = value.toByteArray();
        } else if (Is(key, "TYPE") || key.isEmpty()) {
            p.Types |= TypeBits(value);
        }
    }
    FCard.Properties.push_back(std::move(p));
}

void TVCardReader::MakeRecord(TContactRecord &record)
{
    record.Clear();
    record.Position = FCard.Number;
    record.Unreadable = !FCard.LineProblems.empty();
    for (const TImportProblem &line : FCard.LineProblems)
        record.NotTake(line);

    unsigned labels[16]; // the kind an X-ABLabel gives the numbers of its group
    QList<QByteArray> groups;
    for (const TProperty &p : FCard.Properties)
        if (p.Kind == rXABLABEL && !p.Group.isEmpty() && groups.size() < 16) {
            groups << p.Group;
            labels[groups.size() - 1] = TypeBits(p.Value);
        }

    QByteArray fullName, label, nickname, organisation;
    bool haveAddress = false;
    for (const TProperty &p : FCard.Properties) {
        QByteArray value = p.Value;
        if (TImportProblem problem; !Decode(p, value, &problem)) {
            problem.Name = QLatin1String(kRead[p.Kind].data(), kRead[p.Kind].size());
            problem.Line = p.Line;
            record.NotTake(problem);
            record.Unreadable = true;
            continue;
        }
        if (p.Kind == rN) {
            const QList<QByteArray> parts = SplitComponents(value, ' ');
            if (record.HasName())
                continue;
            record.Values[cfSoyad] = parts.value(0).trimmed();
            record.Values[cfAd] = Joined({parts.value(1), parts.value(2)}, ' ');
        } else if (p.Kind == rFN) {
            if (fullName.isEmpty())
                fullName = UnescapeText(value).trimmed();
        } else if (p.Kind == rTEL) {
            const QByteArray number = NumberOfTelUri(UnescapeText(value).trimmed());
            unsigned types = p.Types;
            if (const qsizetype g = groups.indexOf(p.Group); !p.Group.isEmpty() && g >= 0)
                types |= labels[g];
            record.AddPhone(number, PhoneKind(types));
        } else if (p.Kind == rEMAIL) {
            record.AddEmail(UnescapeText(value));
        } else if (p.Kind == rADR) {
            const QByteArray address = Joined(SplitComponents(value, ','), '\n');
            if (!address.isEmpty()) {
                record.AddAddress(address);
                haveAddress = true;
            }
        } else if (p.Kind == rLABEL && label.isEmpty()) {
            label = UnescapeText(value).trimmed();
        } else if (p.Kind == rNICKNAME && nickname.isEmpty()) {
            nickname = SplitComponents(value, '\x01').value(0).split('\x01').value(0).trimmed(); // a list
        } else if (p.Kind == rORG && organisation.isEmpty()) {
            organisation = SplitComponents(value, ' ').value(0).trimmed();
        }
    }
    if (!haveAddress)
        record.AddAddress(label);
    record.Finish();
    // A full name that is only the card's e-mail or number (what a card
    // without a name shows) is not a name.
    if (!record.HasName() && !IsOneOf(fullName, record.Values + cfCTelefon, cfAdres - cfCTelefon))
        record.Values[cfAd] = fullName;
    // A card with no other name goes by its nickname or its company's.
    for (const auto &[other, word] : {std::pair{&nickname, "NICKNAME"}, std::pair{&organisation, "ORG"}})
        if (!record.HasName() && !other->isEmpty()) {
            record.Values[cfAd] = *other;
            FCard.OtherNames.removeOne(QLatin1String(word));
        }
    if (!FCard.OtherNames.isEmpty())
        record.NotTake({.Kind = TImportProblemKind::OtherData, .Name = FCard.OtherNames.join(QStringLiteral(", "))});
    FCard = TCard();
}

bool TVCardReader::Decode(const TProperty &p, QByteArray &value, TImportProblem *problem) const
{
    if (p.QuotedPrintable)
        value = DecodeQuotedPrintable(value);
    // In a UTF-16 file the text is converted already, but for bytes a
    // quoted-printable value spells out. A value that names no charset is
    // in the file's encoding; one found from a sample may have taken
    // UTF-8 split by a fold for another encoding, so UTF-8 is UTF-8.
    const QString charset = FInput.Converted() && !p.QuotedPrintable ? QStringLiteral("UTF-8")
        : !p.Charset.isEmpty()                                       ? QString::fromLatin1(p.Charset)
        : FInput.Converted() || (!FInput.EncodingNamed() && QByteArrayView(value).isValidUtf8())
        ? QStringLiteral("UTF-8")
        : FInput.Encoding(); // empty: not recognised
    return TextToUtf8(charset, value, problem);
}

// A card has ended: the reading goes back to the card it was inside, if any.
void TVCardReader::LeaveCard()
{
    if (FOuter.empty()) {
        FInCard = false;
    } else {
        FCard = std::move(FOuter.back());
        FOuter.pop_back();
    }
}

bool TVCardReader::Next(TContactRecord &record)
{
    bool junk = false;
    std::int64_t junkLine = 0;
    for (;;) {
        if (!NextLogicalLine()) {
            if (FInCard) {
                // Cut short: refused like a CSV record whose quote is never closed.
                MakeRecord(record);
                record.Problems.push_back({.Kind = TImportProblemKind::CardNotEnded});
                LeaveCard();
                return true;
            }
            if (junk) {
                record.Clear();
                record.Problems.push_back({.Kind = TImportProblemKind::TextOutsideCard, .Line = junkLine});
                return true;
            }
            return false;
        }
        const bool begin = Is(FHead.Name, "BEGIN") && Is(FHead.Value.trimmed(), "VCARD");
        if (!FInCard) {
            if (begin) {
                FInCard = true;
                FCard = TCard();
                FCard.Number = ++FCards;
                if (junk) {
                    record.Clear();
                    record.Problems.push_back({.Kind = TImportProblemKind::TextOutsideCard, .Line = junkLine});
                    return true;
                }
            } else if (!junk) {
                junk = true;
                junkLine = FLogicalLine;
            }
            continue;
        }
        if (begin) {
            // A card inside the card (AGENT): read on its own, then the rest of the outer one.
            if (FOuter.size() < kMostNested) {
                FOuter.push_back(std::move(FCard));
                FCard = TCard();
                FCard.Number = ++FCards;
                continue;
            }
            MakeRecord(record);
            record.NotTake({.Kind = TImportProblemKind::CardNotClosed});
            FCard.Number = ++FCards;
            return true;
        }
        if (Is(FHead.Name, "END") && Is(FHead.Value.trimmed(), "VCARD")) {
            MakeRecord(record);
            LeaveCard();
            return true;
        }
        if (!FBadText && !FDiscard)
            Take();
    }
}
