#include "tools/vcard/VCardReader.h"

#include "platform/core/Exception.h"
#include "tools/text/Charset.h"
#include "tools/text/TextInput.h"
#include "tools/vcard/VCardValue.h"

namespace {

// Properties about the person that the contacts table has no column for;
// a card holding one says so.
const char *const kOtherData[] = {"ORG", "TITLE", "ROLE", "NOTE", "BDAY", "ANNIVERSARY", "URL", "NICKNAME", "IMPP", "RELATED"};
// Properties whose values are read.
const char *const kRead[] = {"N", "FN", "TEL", "EMAIL", "ADR", "LABEL", "X-ABLABEL"};

bool OneOf(const QByteArray &name, const char *const *list, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (name == list[i])
            return true;
    return false;
}

// Where the name and parameters end: the first ":" outside double quotes.
qsizetype ValueStart(const QByteArray &line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i;
    }
    return -1;
}

// The property name of a line (upper case, without its group).
QByteArray NameOf(const QByteArray &line)
{
    qsizetype end = 0;
    while (end < line.size() && line.at(end) != ';' && line.at(end) != ':')
        ++end;
    QByteArray name = line.left(end).toUpper();
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 ? name.mid(dot + 1) : name;
}

QByteArray HeadOf(const QByteArray &line)
{
    const qsizetype colon = ValueStart(line);
    return (colon < 0 ? line : line.left(colon)).toUpper();
}

// A photo, a logo, a sound, a key or any BASE64 value: passed over unread.
bool Skipped(const QByteArray &line)
{
    const QByteArray name = NameOf(line);
    if (name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY")
        return true;
    const QByteArray head = HeadOf(line);
    return head.contains("BASE64") || head.contains("ENCODING=B");
}

TPhoneKind PhoneKind(const QByteArray &types)
{
    const auto has = [&](const char *t) { return types.contains(t); };
    if (has("CELL") || has("MOBILE") || has("IPHONE"))
        return TPhoneKind::Mobile;
    if (has("FAX") || has("PAGER"))
        return TPhoneKind::Other;
    if (has("HOME"))
        return TPhoneKind::Home;
    if (has("WORK"))
        return TPhoneKind::Work;
    return TPhoneKind::Untyped;
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

TVCardReader::TVCardReader(TTextInput &input) : FInput(input) {}

bool TVCardReader::NextLogicalLine()
{
    if (FAtEnd)
        return false;
    FDiscard = false;
    FBadText = false;
    FLogical.clear();
    const auto badLine = [this] {
        FBadText = true;
        FLineProblems << FInput.Problem();
    };
    const auto tooLong = [this] { FInput.RefuseLongLine("vCard"); };
    // The first physical line (blank lines are passed over).
    for (;;) {
        if (FHaveNext) {
            FHaveNext = false;
            FLogical = FNextPhysical;
        } else {
            if (!FInput.ReadLine()) {
                FAtEnd = true;
                return false;
            }
            if (FInput.State() == TLineState::TooLong) {
                if (!Skipped(FInput.Text()))
                    tooLong();
                FDiscard = true;
            } else if (FInput.State() != TLineState::Ok) {
                badLine();
            }
            FLogical = FInput.Text();
        }
        if (!FLogical.trimmed().isEmpty() || FBadText)
            break;
    }
    FLogicalLine = FInput.LineNumber();
    FDiscard = FDiscard || Skipped(FLogical);
    const bool quotedPrintable = HeadOf(FLogical).contains("QUOTED-PRINTABLE");
    if (FDiscard)
        FLogical = FLogical.left(ValueStart(FLogical) < 0 ? 64 : ValueStart(FLogical));

    // Continuation lines: folded (a leading blank) or after a soft break.
    while (FInput.ReadLine()) {
        const QByteArray &text = FInput.Text();
        const TLineState state = FInput.State();
        const bool softBreak = quotedPrintable && FLogical.endsWith('=');
        const bool folded = state == TLineState::Ok && !text.isEmpty() && (text.at(0) == ' ' || text.at(0) == '\t');
        if (!softBreak && !folded && state == TLineState::Ok) {
            FNextPhysical = text;
            FHaveNext = true;
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
            FLogical += text;
        } else {
            FLogical.append(text.constData() + 1, text.size() - 1);
        }
        if (FLogical.size() > TTextInput::MaxLineBytes)
            tooLong();
    }
    FAtEnd = true;
    return true;
}

void TVCardReader::Take(const QByteArray &line)
{
    const qsizetype colon = ValueStart(line);
    if (colon < 0) {
        FLineProblems << QStringLiteral("line %1 is not a vCard line").arg(FLogicalLine);
        return;
    }
    const QByteArray name = NameOf(line);
    if (OneOf(name, kOtherData, std::size(kOtherData))) {
        if (!line.mid(colon + 1).trimmed().isEmpty() && !FOtherNames.contains(QString::fromLatin1(name)))
            FOtherNames << QString::fromLatin1(name);
        return;
    }
    if (!OneOf(name, kRead, std::size(kRead)))
        return;
    TProperty p;
    p.Name = name;
    p.Value = line.mid(colon + 1);
    qsizetype nameEnd = 0;
    while (nameEnd < colon && line.at(nameEnd) != ';')
        ++nameEnd;
    const qsizetype dot = line.left(nameEnd).lastIndexOf('.');
    if (dot >= 0)
        p.Group = line.left(dot).toUpper();
    // Parameters: "TYPE=cell,voice", "TYPE=\"cell,voice\"", 2.1's bare "CELL".
    const QList<QByteArray> params = line.mid(nameEnd, colon - nameEnd).split(';');
    for (const QByteArray &param : params) {
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        const QByteArray key = eq < 0 ? QByteArray() : param.left(eq).trimmed().toUpper();
        QByteArray value = (eq < 0 ? param : param.mid(eq + 1)).trimmed();
        value.replace('"', "");
        const QByteArray upper = value.toUpper();
        if (key == "ENCODING" || (key.isEmpty() && (upper == "QUOTED-PRINTABLE" || upper == "8BIT" || upper == "7BIT"))) {
            p.QuotedPrintable = p.QuotedPrintable || upper == "QUOTED-PRINTABLE";
        } else if (key == "CHARSET") {
            p.Charset = value;
        } else if (key == "TYPE" || key.isEmpty()) {
            for (const QByteArray &t : upper.split(','))
                p.Types += t.trimmed() + ',';
        }
    }
    FProperties.push_back(std::move(p));
}

void TVCardReader::MakeRecord(TContactRecord &record)
{
    record.Clear();
    record.Position = FCards;
    record.Problems = FLineProblems;
    FLineProblems.clear();

    QByteArray labels[16]; // X-ABLabel of each group, as types
    QList<QByteArray> groups;
    for (const TProperty &p : FProperties)
        if (p.Name == "X-ABLABEL" && !p.Group.isEmpty() && groups.size() < 16) {
            groups << p.Group;
            labels[groups.size() - 1] = UnescapeText(p.Value).toUpper() + ',';
        }

    QByteArray fullName, label;
    bool haveAddress = false;
    for (const TProperty &p : FProperties) {
        QByteArray value = p.Value;
        if (p.QuotedPrintable) {
            value = DecodeQuotedPrintable(value);
            QByteArray utf8;
            const QString charset = !p.Charset.isEmpty() ? QString::fromLatin1(p.Charset)
                : QByteArrayView(value).isValidUtf8()    ? QStringLiteral("UTF-8")
                                                         : QStringLiteral("windows-1254");
            if (!ToUtf8(charset, value, &utf8)) {
                record.Problems << QStringLiteral("%1: the text is not readable as %2").arg(QString::fromLatin1(p.Name), charset);
                continue;
            }
            if (utf8.contains('\0')) {
                record.Problems << QStringLiteral("%1: the text holds a NUL byte").arg(QString::fromLatin1(p.Name));
                continue;
            }
            value = utf8;
        }
        if (p.Name == "N") {
            const QList<QByteArray> parts = SplitComponents(value, ' ');
            if (record.HasName())
                continue;
            record.Values[cfSoyad] = parts.value(0).trimmed();
            record.Values[cfAd] = Joined({parts.value(1), parts.value(2)}, ' ');
        } else if (p.Name == "FN") {
            if (fullName.isEmpty())
                fullName = UnescapeText(value).trimmed();
        } else if (p.Name == "TEL") {
            QByteArray number = UnescapeText(value).trimmed();
            if (number.toLower().startsWith("tel:"))
                number = number.mid(4);
            QByteArray types = p.Types;
            if (const qsizetype g = groups.indexOf(p.Group); !p.Group.isEmpty() && g >= 0)
                types += labels[g];
            record.AddPhone(number, PhoneKind(types));
        } else if (p.Name == "EMAIL") {
            record.AddEmail(UnescapeText(value));
        } else if (p.Name == "ADR") {
            const QByteArray address = Joined(SplitComponents(value, ','), '\n');
            if (!address.isEmpty()) {
                record.AddAddress(address);
                haveAddress = true;
            }
        } else if (p.Name == "LABEL" && label.isEmpty()) {
            label = UnescapeText(value).trimmed();
        }
    }
    if (!record.HasName())
        record.Values[cfAd] = fullName;
    if (!haveAddress)
        record.AddAddress(label);
    record.Finish();
    if (!FOtherNames.isEmpty())
        record.NotTaken << FOtherNames.join(QStringLiteral(", "));
    FProperties.clear();
    FOtherNames.clear();
}

bool TVCardReader::Next(TContactRecord &record)
{
    bool junk = false;
    std::int64_t junkLine = 0;
    for (;;) {
        if (!NextLogicalLine()) {
            if (FInCard) {
                FInCard = false;
                MakeRecord(record);
                record.Problems << QStringLiteral("the file ends before END:VCARD");
                return true;
            }
            if (junk) {
                record.Clear();
                record.Problems << QStringLiteral("line %1: text outside a card").arg(junkLine);
                return true;
            }
            return false;
        }
        const QByteArray name = NameOf(FLogical);
        const qsizetype colon = ValueStart(FLogical);
        const QByteArray value = colon < 0 ? QByteArray() : FLogical.mid(colon + 1).trimmed().toUpper();
        const bool begin = name == "BEGIN" && value == "VCARD";
        if (!FInCard) {
            if (begin) {
                FInCard = true;
                ++FCards;
                FLineProblems.clear();
                if (junk) {
                    record.Clear();
                    record.Problems << QStringLiteral("line %1: text outside a card").arg(junkLine);
                    return true;
                }
            } else if (!junk) {
                junk = true;
                junkLine = FLogicalLine;
            }
            continue;
        }
        if (begin) {
            MakeRecord(record);
            record.Problems << QStringLiteral("the card has no END:VCARD before the next card");
            ++FCards;
            return true;
        }
        if (name == "END" && value == "VCARD") {
            FInCard = false;
            MakeRecord(record);
            return true;
        }
        if (!FBadText && !FDiscard)
            Take(FLogical);
    }
}
