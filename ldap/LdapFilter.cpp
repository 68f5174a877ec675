#include "ldap/LdapFilter.h"

namespace {

class TFilterReader {
public:
    explicit TFilterReader(QByteArrayView text) : FText(text) {}

    TFilterError Read(TLdapFilter *filter)
    {
        ReadFilter(filter, 0);
        if (FError == TFilterError::None && FPos != FText.size())
            FError = TFilterError::Syntax;
        return FError;
    }

private:
    QByteArrayView FText;
    qsizetype FPos = 0;
    int FItems = 0;
    TFilterError FError = TFilterError::None;

    bool Fail(TFilterError error)
    {
        if (FError == TFilterError::None)
            FError = error;
        return false;
    }
    char Peek() const { return FPos < FText.size() ? FText[FPos] : '\0'; }

    bool ReadFilter(TLdapFilter *filter, int depth)
    {
        if (depth >= kFilterMaxDepth)
            return Fail(TFilterError::TooDeep);
        if (++FItems > kFilterMaxItems)
            return Fail(TFilterError::TooLarge);
        if (Peek() != '(')
            return Fail(TFilterError::Syntax);
        ++FPos;
        const char c = Peek();
        if (c == '&' || c == '|' || c == '!') {
            ++FPos;
            filter->Kind = c == '&' ? TLdapFilter::TKind::And : c == '|' ? TLdapFilter::TKind::Or : TLdapFilter::TKind::Not;
            while (Peek() == '(') {
                filter->Children.emplace_back();
                if (!ReadFilter(&filter->Children.back(), depth + 1))
                    return false;
            }
            if (filter->Kind == TLdapFilter::TKind::Not && filter->Children.size() != 1)
                return Fail(TFilterError::Syntax);
        } else if (!ReadItem(filter)) {
            return false;
        }
        if (Peek() != ')')
            return Fail(TFilterError::Syntax);
        ++FPos;
        return true;
    }

    // attr op value, up to the closing parenthesis.
    bool ReadItem(TLdapFilter *filter)
    {
        const qsizetype start = FPos;
        while (FPos < FText.size() && !QByteArrayView("=~<>:()").contains(FText[FPos]))
            ++FPos;
        filter->Attribute = FText.sliced(start, FPos - start).toByteArray().toLower();
        char op = Peek();
        if (op == '~' || op == '<' || op == '>' || op == ':') {
            // Approximate reads as equality; ordering and extensible items
            // are kept only as far as their end.
            while (FPos < FText.size() && FText[FPos] != '=' && FText[FPos] != ')' && FText[FPos] != '(')
                ++FPos;
            if (Peek() != '=')
                return Fail(TFilterError::Syntax);
        } else if (op != '=') {
            return Fail(TFilterError::Syntax);
        }
        ++FPos;
        const bool supported = (op == '=' || op == '~') && !filter->Attribute.isEmpty() && !filter->Attribute.startsWith('?');
        // The value: pieces between unescaped "*".
        QList<QByteArray> pieces{QByteArray()};
        while (FPos < FText.size() && FText[FPos] != ')') {
            const char c = FText[FPos++];
            if (c == '(')
                return Fail(TFilterError::Syntax);
            if (c == '*') {
                pieces.append(QByteArray());
            } else if (c == '\\') {
                if (FPos + 2 > FText.size())
                    return Fail(TFilterError::Syntax);
                bool ok = false;
                const int byte = FText.sliced(FPos, 2).toByteArray().toInt(&ok, 16);
                if (!ok)
                    return Fail(TFilterError::Syntax);
                pieces.last() += char(byte);
                FPos += 2;
            } else {
                pieces.last() += c;
            }
        }
        if (!supported) {
            filter->Kind = TLdapFilter::TKind::Unsupported;
        } else if (pieces.size() == 1) {
            filter->Kind = TLdapFilter::TKind::Equal;
            filter->Value = pieces.first();
        } else if (pieces.size() == 2 && pieces[0].isEmpty() && pieces[1].isEmpty()) {
            filter->Kind = op == '=' ? TLdapFilter::TKind::Present : TLdapFilter::TKind::Unsupported;
        } else if (op == '~') {
            filter->Kind = TLdapFilter::TKind::Unsupported;
        } else {
            filter->Kind = TLdapFilter::TKind::Substrings;
            filter->Initial = pieces.takeFirst();
            filter->Final = pieces.takeLast();
            for (const QByteArray &piece : pieces)
                if (!piece.isEmpty())
                    filter->Any.append(piece);
        }
        return true;
    }
};

} // namespace

TFilterError ReadLdapFilter(QByteArrayView text, TLdapFilter *filter)
{
    *filter = TLdapFilter();
    return TFilterReader(text).Read(filter);
}
