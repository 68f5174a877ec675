#include "platform/telephony/sip/SipText.h"

namespace {

// The text up to the first separator, or all of it when there is none.
QByteArray Before(const QByteArray &text, char separator)
{
    const qsizetype at = text.indexOf(separator);
    return at < 0 ? text : text.left(at);
}

} // namespace

int SipfragStatus(const QByteArray &body)
{
    // "SIP/2.0" SP 3DIGIT SP reason, the first line of the body.
    const QByteArray line = Before(body, '\n').trimmed();
    if (!line.startsWith("SIP/2.0 ") || line.size() < 11)
        return 0;
    const QByteArray code = line.mid(8, 3);
    if (line.size() > 11 && line.at(11) != ' ')
        return 0;
    for (char c : code) {
        if (c < '0' || c > '9')
            return 0;
    }
    const int status = code.toInt();
    return status >= 100 && status <= 699 ? status : 0;
}

namespace {

constexpr int MaxNumberLength = 30;
constexpr int MaxNameLength = 64;

// The display name without its quotes and escapes, as readable text.
QString DisplayName(const QByteArray &display)
{
    QByteArray text = display.trimmed();
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"')) {
        QByteArray unquoted;
        for (qsizetype i = 1; i + 1 < text.size(); ++i) {
            if (text.at(i) == '\\' && i + 2 < text.size())
                ++i;
            unquoted.append(text.at(i));
        }
        text = unquoted;
    }
    QString name;
    for (QChar c : QString::fromUtf8(text)) {
        if (!c.isNonCharacter() && c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            name.append(c);
    }
    return name.simplified().left(MaxNameLength);
}

// The user part of a sip:, sips: or tel: URI, percent-decoded; its
// parameters dropped.
QByteArray UserPart(const QByteArray &uri, QByteArray *host)
{
    QByteArray rest;
    const QByteArray lower = uri.trimmed().toLower();
    const QByteArray trimmed = uri.trimmed();
    if (lower.startsWith("tel:")) {
        rest = trimmed.mid(4);
    } else if (lower.startsWith("sip:") || lower.startsWith("sips:")) {
        rest = trimmed.mid(trimmed.indexOf(':') + 1);
        const qsizetype at = rest.indexOf('@');
        if (at < 0) {
            *host = Before(rest, ';').toLower();
            return QByteArray();
        }
        *host = rest.mid(at + 1);
        *host = Before(*host, ';').toLower();
        rest = rest.left(at);
    } else {
        return QByteArray();
    }
    return QByteArray::fromPercentEncoding(Before(rest, ';'));
}

// The user as a telephone number: digits with an optional leading "+" and
// visual separators, which are dropped; empty when it is no number.
QString NumberOf(const QByteArray &user)
{
    QString number;
    for (qsizetype i = 0; i < user.size(); ++i) {
        const char c = user.at(i);
        if (c >= '0' && c <= '9')
            number.append(QChar::fromLatin1(c));
        else if (c == '+' && number.isEmpty() && i == user.indexOf('+'))
            number.append(u'+');
        else if (c != '-' && c != '.' && c != '(' && c != ')' && c != ' ')
            return QString();
    }
    const bool hasDigits = number.size() > (number.startsWith(u'+') ? 1 : 0);
    return hasDigits && number.size() <= MaxNumberLength ? number : QString();
}

} // namespace

TCallerId SipCaller(const QByteArray &display, const QByteArray &uri)
{
    TCallerId id;
    QByteArray host;
    const QByteArray user = UserPart(uri, &host);
    id.Name = DisplayName(display);
    const bool anonymous = user.toLower() == "anonymous" || host == "anonymous.invalid" || id.Name.toLower() == u"anonymous";
    if (anonymous) {
        id.Kind = TCallerId::TKind::Withheld;
        id.Name.clear();
        return id;
    }
    id.Number = NumberOf(user);
    id.Kind = id.Number.isEmpty() ? TCallerId::TKind::Unavailable : TCallerId::TKind::Number;
    if (id.Kind == TCallerId::TKind::Unavailable && id.Name.isEmpty())
        id.Name = DisplayName(user).left(MaxNameLength);
    return id;
}
