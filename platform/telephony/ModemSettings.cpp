#include "platform/telephony/ModemSettings.h"

#include "platform/core/PlatformSettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <memory>

namespace {

constexpr int MaxDialDigits = 30;

std::unique_ptr<QSettings> OpenSettings()
{
    return OpenPlatformSettings(QStringLiteral("Telefon"));
}

bool IsFormatting(QChar c)
{
    return c == u' ' || c == u'(' || c == u')' || c == u'-' || c == u'.' || c == u'/';
}

bool IsDialCharacter(QChar c)
{
    static const QString allowed = QStringLiteral("0123456789*#+,W@!PT");
    return allowed.contains(c);
}

} // namespace

QList<TModemConfig> LoadModems()
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    QList<TModemConfig> modems;
    const int count = settings->beginReadArray(QStringLiteral("Modems"));
    for (int i = 0; i < count; ++i) {
        settings->setArrayIndex(i);
        TModemConfig m;
        m.Port = settings->value(QStringLiteral("Port")).toString();
        m.Speed = settings->value(QStringLiteral("Speed"), m.Speed).toInt();
        m.InitString = settings->value(QStringLiteral("InitString"), m.InitString).toString();
        m.Pulse = settings->value(QStringLiteral("Pulse"), m.Pulse).toBool();
        m.DialTimeout = settings->value(QStringLiteral("DialTimeout"), m.DialTimeout).toInt();
        if (m.DialTimeout < 1)
            m.DialTimeout = 1;
        m.CallerId = settings->value(QStringLiteral("CallerId"), m.CallerId).toBool();
        m.CallerIdCommand = settings->value(QStringLiteral("CallerIdCommand"), m.CallerIdCommand).toString();
        modems.push_back(m);
    }
    settings->endArray();
    return modems;
}

void SaveModems(const QList<TModemConfig> &modems)
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    settings->remove(QStringLiteral("Modems"));
    settings->beginWriteArray(QStringLiteral("Modems"), int(modems.size()));
    for (int i = 0; i < modems.size(); ++i) {
        settings->setArrayIndex(i);
        const TModemConfig &m = modems.at(i);
        settings->setValue(QStringLiteral("Port"), m.Port);
        settings->setValue(QStringLiteral("Speed"), m.Speed);
        settings->setValue(QStringLiteral("InitString"), m.InitString);
        settings->setValue(QStringLiteral("Pulse"), m.Pulse);
        settings->setValue(QStringLiteral("DialTimeout"), m.DialTimeout);
        settings->setValue(QStringLiteral("CallerId"), m.CallerId);
        settings->setValue(QStringLiteral("CallerIdCommand"), m.CallerIdCommand);
    }
    settings->endArray();
    settings->sync();
}

TLineDevice LoadLineDevice()
{
    const QString value = OpenSettings()->value(QStringLiteral("LineDevice")).toString();
    if (value == u"sip")
        return TLineDevice::Sip;
    return value == u"phone-application" ? TLineDevice::PhoneApplication : TLineDevice::Modem;
}

void SaveLineDevice(TLineDevice device)
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    const char *const names[] = {"modem", "phone-application", "sip"};
    settings->setValue(QStringLiteral("LineDevice"), QString::fromLatin1(names[int(device)]));
    settings->sync();
}

TDialingLocation LoadDialingLocation()
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    TDialingLocation l;
    settings->beginGroup(QStringLiteral("Location"));
    l.CountryCode = settings->value(QStringLiteral("CountryCode"), l.CountryCode).toString();
    l.AreaCode = settings->value(QStringLiteral("AreaCode"), l.AreaCode).toString();
    l.OutsideLine = settings->value(QStringLiteral("OutsideLine"), l.OutsideLine).toString();
    l.Pulse = settings->value(QStringLiteral("Pulse"), l.Pulse).toBool();
    settings->endGroup();
    return l;
}

void SaveDialingLocation(const TDialingLocation &location)
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    settings->beginGroup(QStringLiteral("Location"));
    settings->setValue(QStringLiteral("CountryCode"), location.CountryCode);
    settings->setValue(QStringLiteral("AreaCode"), location.AreaCode);
    settings->setValue(QStringLiteral("OutsideLine"), location.OutsideLine);
    settings->setValue(QStringLiteral("Pulse"), location.Pulse);
    settings->endGroup();
    settings->sync();
}

bool CleanDialString(const QString &number, QString *cleaned)
{
    QString result;
    for (QChar c : number) {
        if (IsFormatting(c))
            continue;
        if (!IsDialCharacter(c))
            return false;
        result.append(c);
    }
    if (result.size() > MaxDialDigits)
        return false;
    *cleaned = result;
    return true;
}

QString DialableForm(const QString &number, const TDialingLocation &location)
{
    // Canonical form: "+" country code, optionally "(" area code ")", subscriber.
    static const QRegularExpression canonical(QStringLiteral("^\\s*\\+\\s*(\\d+)\\s*(?:\\(\\s*(\\d+)\\s*\\))?(.*)$"));
    QString local = number;
    const QRegularExpressionMatch m = canonical.match(number);
    if (m.hasMatch()) {
        const QString country = m.captured(1);
        const QString area = m.captured(2);
        const QString subscriber = m.captured(3);
        if (country != location.CountryCode)
            local = QStringLiteral("00") + country + area + subscriber;
        else if (!area.isEmpty() && area != location.AreaCode)
            local = QStringLiteral("0") + area + subscriber;
        else
            local = subscriber;
    }
    QString digits;
    if (!CleanDialString(local, &digits) || digits.isEmpty())
        return QString();
    QString prefix;
    if (location.Pulse)
        prefix += u'P';
    QString outside;
    if (!location.OutsideLine.isEmpty() && CleanDialString(location.OutsideLine, &outside) && !outside.isEmpty())
        prefix += outside + u',';
    return prefix + digits;
}

TPhonePlace PhonePlaceOf(const TDialingLocation &location)
{
    const auto digitsOf = [](const QString &text) {
        QByteArray digits;
        for (const QChar c : text)
            if (c >= u'0' && c <= u'9')
                digits += char(c.unicode());
        return digits;
    };
    TPhonePlace place{digitsOf(location.CountryCode), digitsOf(location.AreaCode)};
    if (place.CountryCode.isEmpty())
        place.CountryCode = "90";
    return place;
}
