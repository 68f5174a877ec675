#include "platform/telephony/PhoneApplication.h"

#include "platform/core/PhoneNumberKey.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gio/gdesktopappinfo.h>

namespace {

bool AllDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return false;
    }
    return true;
}

} // namespace

QString TelUri(const QString &number, const TDialingLocation &location)
{
    QString digits;
    if (!CleanDialString(number, &digits) || digits.isEmpty())
        return QString();
    // A tel: link has no pause, wait, flash, tone or pulse selection.
    for (QChar c : QStringLiteral(",W@!PT")) {
        if (digits.contains(c))
            return QString();
    }
    if (digits.startsWith(u'+'))
        return AllDigits(digits.mid(1)) ? QStringLiteral("tel:") + digits : QString();
    if (digits.contains(u'+'))
        return QString();

    const QString country = location.CountryCode;
    if (!AllDigits(country))
        return QString(); // a local number needs its country as context
    if (AllDigits(digits)) {
        // Global when the numbering plan of the location's country knows it.
        const QByteArray global = GlobalPhoneNumber(digits.toLatin1(), PhonePlaceOf(location));
        if (!global.isEmpty())
            return QStringLiteral("tel:+") + QString::fromLatin1(global);
    }
    // "#" starts a fragment in a URI: it is written escaped.
    digits.replace(u'#', QStringLiteral("%23"));
    return QStringLiteral("tel:") + digits + QStringLiteral(";phone-context=+") + country;
}

QString TelHandlerDesktopFile()
{
    // xdg-mime reads the desktop's choice (mimeapps.list, the desktop
    // entries' MimeType) anew on every call.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/tel")});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        return QString();
    }
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (id.isEmpty() || id.contains(u'/'))
        return QString();
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
}

bool HandOverToPhoneApplication(const QString &uri)
{
    const QString entry = TelHandlerDesktopFile();
    if (entry.isEmpty()) {
        qWarning("No application is registered for tel: links");
        return false;
    }
    // GIO loads the entry (refusing one whose program is missing) and
    // starts its Exec line with the link, reporting a start that fails.
    GDesktopAppInfo *app = g_desktop_app_info_new_from_filename(QFile::encodeName(entry).constData());
    if (!app) {
        qWarning("%s cannot be started", qUtf8Printable(entry));
        return false;
    }
    QByteArray link = uri.toUtf8();
    GList *uris = g_list_append(nullptr, link.data());
    GError *failure = nullptr;
    const bool started = g_app_info_launch_uris(G_APP_INFO(app), uris, nullptr, &failure);
    g_list_free(uris);
    g_object_unref(app);
    if (failure) {
        qWarning("%s cannot be started: %s", qUtf8Printable(entry), failure->message);
        g_error_free(failure);
    }
    return started;
}
