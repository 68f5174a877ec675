#include "app/TelLink.h"

#include "platform/telephony/ModemSettings.h"

#include <QUrl>

bool IsTelLink(const QString &argument)
{
    return argument.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive);
}

QString TelLinkNumber(const QString &link, const TDialingLocation &location)
{
    if (!IsTelLink(link))
        return QString();
    QString number = QUrl::fromPercentEncoding(link.mid(4).toUtf8());
    number.truncate(number.indexOf(u';') < 0 ? number.size() : number.indexOf(u';'));
    // Visual separators of RFC 3966, and the blanks some programs leave.
    static const QString separators = QStringLiteral("-.() \t");
    QString plain;
    for (const QChar c : number)
        if (!separators.contains(c))
            plain += c;
    QString dialled = plain;
    if (plain.startsWith(u'+')) {
        const QString digits = plain.mid(1);
        for (const QChar c : digits)
            if (!c.isDigit() || c.unicode() > 127)
                return QString();
        QString country, area;
        CleanDialString(location.CountryCode, &country);
        CleanDialString(location.AreaCode, &area);
        if (country.isEmpty() || !digits.startsWith(country)) {
            dialled = QStringLiteral("00") + digits;
        } else {
            const QString national = digits.mid(country.size());
            dialled = !area.isEmpty() && national.startsWith(area) && national.size() > area.size() ? national.mid(area.size())
                                                                                                    : QStringLiteral("0") + national;
        }
    }
    QString cleaned;
    if (!CleanDialString(dialled, &cleaned) || cleaned.isEmpty())
        return QString();
    return cleaned;
}
