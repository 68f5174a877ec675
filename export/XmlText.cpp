#include "export/XmlText.h"

#include "export/XmlFile.h"

#include <array>

namespace {

// What to do with a character below U+0100.
enum TCharClass : unsigned char { Byte, Drop, Reference, Entity };

constexpr std::array<TCharClass, 256> MakeCharClasses()
{
    std::array<TCharClass, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        if (c < 0x20)
            classes[c] = (c == 0x09 || c == 0x0A || c == 0x0D) ? Byte : Drop; // a memo keeps its line breaks
        else if (c == '&' || c == '<' || c == '>' || c == '"')
            classes[c] = Entity;
        else if (c >= 0x80 && c <= 0x9F)
            classes[c] = Reference;
        else if (c == 0xD0 || c == 0xDD || c == 0xDE || c == 0xF0 || c == 0xFD || c == 0xFE)
            classes[c] = Reference; // Ð Ý Þ ð ý þ: their bytes are Ğ İ Ş ğ ı ş here
        else
            classes[c] = Byte;
    }
    return classes;
}

constexpr std::array<TCharClass, 256> CharClasses = MakeCharClasses();

// "&#" + up to 7 digits + ";"
constexpr std::size_t LongestReference = 10;

void PutReference(TXmlFile &file, char32_t code)
{
    char digits[8];
    int n = 0;
    do {
        digits[n++] = char('0' + code % 10);
        code /= 10;
    } while (code != 0);
    file.PutUnchecked('&');
    file.PutUnchecked('#');
    while (n > 0)
        file.PutUnchecked(digits[--n]);
    file.PutUnchecked(';');
}

void PutEntity(TXmlFile &file, char16_t c)
{
    switch (c) {
    case u'&': file.Write("&amp;"); break;
    case u'<': file.Write("&lt;"); break;
    case u'>': file.Write("&gt;"); break;
    default: file.Write("&quot;"); break;
    }
}

bool IsNameStart(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' || (c >= 0xC0 && c <= 0xD6)
        || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF);
}

bool IsNameChar(char16_t c)
{
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == 0xB7;
}

} // namespace

int Latin5Byte(char16_t c)
{
    if (c < 0x100)
        return (c == 0xD0 || c == 0xDD || c == 0xDE || c == 0xF0 || c == 0xFD || c == 0xFE) ? -1 : int(c);
    switch (c) {
    case 0x011E: return 0xD0; // Ğ
    case 0x0130: return 0xDD; // İ
    case 0x015E: return 0xDE; // Ş
    case 0x011F: return 0xF0; // ğ
    case 0x0131: return 0xFD; // ı
    case 0x015F: return 0xFE; // ş
    default: return -1;
    }
}

void WriteXmlAttributeValue(TXmlFile &file, QStringView value)
{
    const char16_t *p = value.utf16();
    const char16_t *const end = p + value.size();
    while (p < end) {
        file.Reserve(LongestReference);
        const char16_t c = *p++;
        if (c < 0x100) {
            switch (CharClasses[c]) {
            case Byte: file.PutUnchecked(char(c)); break;
            case Drop: break;
            case Reference: PutReference(file, c); break;
            case Entity: PutEntity(file, c); break;
            }
            continue;
        }
        const int byte = Latin5Byte(c);
        if (byte >= 0) {
            file.PutUnchecked(char(byte));
        } else if (QChar::isHighSurrogate(c)) {
            if (p < end && QChar::isLowSurrogate(*p))
                PutReference(file, QChar::surrogateToUcs4(c, *p++));
            // a lone high surrogate is no character: left out
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            // not characters of XML: left out
        } else {
            PutReference(file, c);
        }
    }
}

bool IsXmlAttributeName(QStringView name)
{
    if (name.isEmpty() || !IsNameStart(name.front().unicode()))
        return false;
    for (const QChar ch : name) {
        const char16_t c = ch.unicode();
        if (!IsNameChar(c) || Latin5Byte(c) < 0)
            return false;
    }
    return true;
}

void WriteXmlName(TXmlFile &file, QStringView name)
{
    for (const QChar ch : name)
        file.Put(char(Latin5Byte(ch.unicode())));
}
