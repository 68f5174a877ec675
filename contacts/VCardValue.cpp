#include "contacts/VCardValue.h"

namespace {

char Unescaped(char c)
{
    return c == 'n' || c == 'N' ? '\n' : c;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QList<QByteArray> SplitComponents(const QByteArray &value, char listSeparator)
{
    QList<QByteArray> parts;
    QByteArray current;
    const char *p = value.constData();
    const char *const end = p + value.size();
    while (p < end) {
        const char *run = p;
        while (p < end && *p != '\\' && *p != ';' && *p != ',')
            ++p;
        current.append(run, p - run);
        if (p == end)
            break;
        if (*p == '\\' && p + 1 < end) {
            current += Unescaped(p[1]);
            p += 2;
            continue;
        }
        if (*p == ';') {
            parts << current;
            current.clear();
        } else if (*p == ',') {
            current += listSeparator;
        } else {
            current += *p; // a "\\" at the very end
        }
        ++p;
    }
    parts << current;
    return parts;
}

QByteArray UnescapeText(const QByteArray &value)
{
    if (!value.contains('\\'))
        return value;
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        if (c == '\\' && i + 1 < value.size())
            out += Unescaped(value.at(++i));
        else
            out += c;
    }
    return out;
}

QByteArray DecodeQuotedPrintable(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        if (c == '=' && i + 2 < value.size() && HexDigit(value.at(i + 1)) >= 0 && HexDigit(value.at(i + 2)) >= 0) {
            out += char(HexDigit(value.at(i + 1)) * 16 + HexDigit(value.at(i + 2)));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

void AppendEscaped(QByteArray &out, const QByteArray &text)
{
    const char *p = text.constData();
    const char *const end = p + text.size();
    while (p < end) {
        const char *run = p;
        while (p < end && *p != '\\' && *p != ',' && *p != ';' && *p != '\n' && *p != '\r')
            ++p;
        out.append(run, p - run);
        if (p == end)
            break;
        switch (*p) {
        case '\n': out += "\\n"; break;
        case '\r':
            out += "\\n";
            if (p + 1 < end && p[1] == '\n')
                ++p;
            break;
        default: out += '\\'; out += *p;
        }
        ++p;
    }
}

static void AppendFolded(QByteArray &out, const QByteArray &line)
{
    const char *p = line.constData();
    qsizetype left = line.size();
    qsizetype room = 75;
    while (left > room) {
        qsizetype cut = room;
        while (cut > 0 && (static_cast<unsigned char>(p[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 sequence
        out.append(p, cut);
        out += "\r\n ";
        p += cut;
        left -= cut;
        room = 74;
    }
    out.append(p, left);
    out += "\r\n";
}

void AppendContentLine(QByteArray &out, qsizetype start)
{
    if (out.size() - start <= 75) {
        out += "\r\n";
        return;
    }
    const QByteArray line = out.mid(start);
    out.truncate(start);
    AppendFolded(out, line);
}
