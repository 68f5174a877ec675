#include "contacts/VCardPatch.h"

#include "contacts/TextInput.h"
#include "contacts/VCardReader.h"
#include "contacts/VCardValue.h"
#include "contacts/VCardWriter.h"

#include <QList>
#include <vector>

namespace {

bool Is(QByteArrayView a, const char *b)
{
    return a.compare(QByteArrayView(b), Qt::CaseInsensitive) == 0;
}

// A content line of a card: its bytes as they stand (folded, with the line
// break) and unfolded for reading.
struct TLine {
    QByteArray Raw;
    QByteArray Text;
    bool Dropped = false;
};

std::vector<TLine> Lines(const QByteArray &card)
{
    std::vector<TLine> lines;
    qsizetype at = 0;
    while (at < card.size()) {
        qsizetype end = card.indexOf('\n', at);
        end = end < 0 ? card.size() : end + 1;
        const QByteArray piece = card.mid(at, end - at);
        QByteArray text = piece;
        while (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        if (!lines.empty() && (piece.startsWith(' ') || piece.startsWith('\t'))) {
            lines.back().Raw += piece;
            lines.back().Text += text.mid(1);
        } else {
            lines.push_back({piece, text});
        }
        at = end;
    }
    return lines;
}

// The parameters of a line kept when its value is written anew: all but
// the encoding and charset of the old value.
QByteArray KeptParams(QByteArrayView params)
{
    QByteArray kept;
    for (const QByteArray &p : params.toByteArray().split(';')) {
        if (p.isEmpty())
            continue;
        const QByteArray key = p.left(p.indexOf('=')).trimmed();
        if (Is(key, "ENCODING") || Is(key, "CHARSET") || Is(p, "QUOTED-PRINTABLE"))
            continue;
        kept += ';' + p;
    }
    return kept;
}

QByteArray Folded(const QByteArray &unfolded)
{
    QByteArray out = unfolded;
    AppendContentLine(out, 0);
    return out;
}

// The line rewritten with a new value (already escaped).
void Rewrite(TLine &line, const QByteArray &value)
{
    const TVCardReader::THead head = TVCardReader::HeadOf(line.Text);
    QByteArray text = head.Group.isEmpty() ? QByteArray() : head.Group.toByteArray() + '.';
    text += head.Name.toByteArray() + KeptParams(head.Params) + ':' + value;
    line.Text = text;
    line.Raw = Folded(text);
}

QByteArray Escaped(const QByteArray &text)
{
    QByteArray out;
    AppendEscaped(out, text);
    return out;
}

QByteArray PlainValue(const TVCardReader::THead &head)
{
    QByteArray v = UnescapeText(head.Value.toByteArray()).trimmed();
    if (v.size() >= 4 && Is(QByteArrayView(v).first(4), "tel:"))
        v = v.mid(4);
    return v;
}

} // namespace

bool ReadCard(const QByteArray &card, TContactRecord &record)
{
    record.Clear();
    // A card is UTF-8 (RFC 6352); one that is not, or whose lines or mapped
    // values cannot all be read, is not read at all: taken as it reads, it
    // would blank the values it could not read.
    if (!card.trimmed().toUpper().startsWith("BEGIN:VCARD") || !QByteArrayView(card).isValidUtf8())
        return false;
    TTextInput input(card);
    input.SetRaw(true);
    TVCardReader reader(input);
    return reader.Next(record) && record.Problems.empty() && !record.Unreadable;
}

QByteArray CardUid(const QByteArray &card)
{
    for (const TLine &line : Lines(card)) {
        const TVCardReader::THead head = TVCardReader::HeadOf(line.Text);
        if (Is(head.Name, "UID"))
            return UnescapeText(head.Value.toByteArray()).trimmed();
    }
    return QByteArray();
}

bool CardIsVersion4(const QByteArray &card)
{
    for (const TLine &line : Lines(card)) {
        const TVCardReader::THead head = TVCardReader::HeadOf(line.Text);
        if (Is(head.Name, "VERSION"))
            return head.Value.trimmed().startsWith("4");
    }
    return false;
}

QByteArray NewCard(const QByteArray *values, const QByteArray &uid, bool version4)
{
    QByteArray card;
    TVCardWriter(version4).Append(card, values);
    // UID after VERSION, the second line.
    const qsizetype second = card.indexOf('\n', card.indexOf('\n') + 1) + 1;
    card.insert(second, Folded("UID:" + Escaped(uid)));
    return card;
}

QByteArray PatchCard(const QByteArray &card, const QByteArray *was, const QByteArray *now)
{
    std::vector<TLine> lines = Lines(card);
    const bool version4 = CardIsVersion4(card);
    std::vector<QByteArray> added;
    const auto find = [&](const char *name, const QByteArray &value) -> TLine * {
        for (TLine &line : lines) {
            const TVCardReader::THead head = TVCardReader::HeadOf(line.Text);
            if (!line.Dropped && Is(head.Name, name) && (value.isNull() || PlainValue(head) == value))
                return &line;
        }
        return nullptr;
    };

    if (was[cfAd] != now[cfAd] || was[cfSoyad] != now[cfSoyad]) {
        TLine *n = find("N", QByteArray());
        const QByteArray given = Escaped(now[cfAd]);
        if (n) {
            QList<QByteArray> parts = TVCardReader::HeadOf(n->Text).Value.toByteArray().split(';');
            // Components split where ";" is not escaped.
            QList<QByteArray> components;
            for (const QByteArray &p : parts) {
                if (!components.isEmpty() && components.last().endsWith('\\') && !components.last().endsWith("\\\\"))
                    components.last() += ';' + p;
                else
                    components << p;
            }
            while (components.size() < 5)
                components << QByteArray();
            components[0] = Escaped(now[cfSoyad]);
            components[1] = given;
            components[2] = QByteArray(); // the middle names are part of Ad
            Rewrite(*n, components.join(';'));
        } else {
            added.push_back("N:" + Escaped(now[cfSoyad]) + ';' + given + ";;;");
        }
        QByteArray full = now[cfAd];
        if (!full.isEmpty() && !now[cfSoyad].isEmpty())
            full += ' ';
        full += now[cfSoyad];
        if (TLine *fn = find("FN", QByteArray()))
            Rewrite(*fn, Escaped(full));
        else
            added.push_back("FN:" + Escaped(full));
    }

    static const char *const phoneTypes3[] = {"TEL;TYPE=CELL:", "TEL;TYPE=HOME:", "TEL;TYPE=WORK:"};
    static const char *const phoneTypes4[] = {"TEL;TYPE=cell:", "TEL;TYPE=home:", "TEL;TYPE=work:"};
    struct TColumnProperty {
        int Column;
        const char *Name;
        const char *New3;
        const char *New4;
    };
    const TColumnProperty properties[] = {
        {cfCTelefon, "TEL", phoneTypes3[0], phoneTypes4[0]}, {cfETelefon, "TEL", phoneTypes3[1], phoneTypes4[1]},
        {cfITelefon, "TEL", phoneTypes3[2], phoneTypes4[2]}, {cfEmail, "EMAIL", "EMAIL;TYPE=INTERNET:", "EMAIL:"},
        {cfAdres, "ADR", "ADR;TYPE=HOME:", "ADR:"},
    };
    for (const TColumnProperty &p : properties) {
        const int c = p.Column;
        if (was[c] == now[c])
            continue;
        const bool address = c == cfAdres;
        TLine *line = was[c].isEmpty() ? nullptr : find(p.Name, address ? QByteArray() : was[c]);
        const QByteArray value = address ? ";;" + Escaped(now[c]) + ";;;;" : Escaped(now[c]);
        if (line && now[c].isEmpty())
            line->Dropped = true;
        else if (line)
            Rewrite(*line, value);
        else if (!now[c].isEmpty())
            added.push_back((version4 ? p.New4 : p.New3) + value);
    }

    QByteArray out;
    qsizetype endAt = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Dropped)
            continue;
        if (Is(TVCardReader::HeadOf(lines[i].Text).Name, "END"))
            endAt = out.size();
        out += lines[i].Raw;
    }
    if (!added.empty()) {
        if (endAt < 0)
            endAt = out.size();
        // The last line before END may lack a line break.
        if (endAt > 0 && !out.left(endAt).endsWith('\n')) {
            out.insert(endAt, "\r\n");
            endAt += 2;
        }
        QByteArray more;
        for (const QByteArray &a : added)
            more += Folded(a);
        out.insert(endAt, more);
    }
    return out;
}
