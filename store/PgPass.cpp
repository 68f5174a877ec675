#include "store/PgPass.h"

#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <pwd.h>
#include <unistd.h>

namespace {

// The first four fields of a line, unescaped; fewer when the line has
// fewer (a comment, an empty line).
QStringList LeadingFields(const QString &line)
{
    QStringList fields;
    QString field;
    for (qsizetype i = 0; i < line.size() && fields.size() < 4; ++i) {
        const QChar c = line.at(i);
        if (c == u'\\' && i + 1 < line.size())
            field += line.at(++i);
        else if (c == u':')
            fields << std::exchange(field, QString());
        else
            field += c;
    }
    return fields;
}

QString LoginName()
{
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

} // namespace

QString PgPassPath()
{
    const QByteArray file = qgetenv("PGPASSFILE");
    if (!file.isEmpty())
        return QString::fromLocal8Bit(file);
    return QDir::home().filePath(QStringLiteral(".pgpass"));
}

TPgPassKey TPgPassKey::Resolved() const
{
    TPgPassKey k = *this;
    if (k.Host.isEmpty())
        k.Host = QStringLiteral("localhost");
    if (k.Port.isEmpty())
        k.Port = QStringLiteral("5432");
    if (k.User.isEmpty())
        k.User = LoginName();
    if (k.Database.isEmpty())
        k.Database = k.User;
    return k;
}

QString EscapePgPassField(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u':' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

void StorePgPassword(const QString &path, const TPgPassKey &key, const QString &password)
{
    if (password.contains(u'\n') || password.contains(u'\r'))
        throw EFileError(QStringLiteral("A password with a line break cannot be kept in \"%1\"").arg(path));
    const TPgPassKey k = key.Resolved();
    const QStringList wanted = {k.Host, k.Port, k.Database, k.User};
    const QString line = QStringList{EscapePgPassField(k.Host), EscapePgPassField(k.Port), EscapePgPassField(k.Database),
                                     EscapePgPassField(k.User), EscapePgPassField(password)}
                             .join(u':');

    QStringList lines;
    QFile old;
    if (QFileInfo::exists(path)) {
        if (!old.open(TReadableFile(path).Release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            throw EFileError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, old.errorString()),
                             {TErrorKind::FileRead, path, old.errorString(), 0});
        lines = QString::fromUtf8(old.readAll()).split(u'\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
    }
    // The first line for the same server takes the new password; a later
    // one would never be read and goes. libpq reads the first line that
    // matches, so a new line goes first, before any wildcard line.
    QStringList kept;
    bool replaced = false;
    for (const QString &l : lines) {
        if (LeadingFields(l) != wanted)
            kept << l;
        else if (!std::exchange(replaced, true))
            kept << line;
    }
    if (!replaced)
        kept.prepend(line);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write((kept.join(u'\n') + u'\n').toUtf8()) < 0 || !file.commit())
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}
