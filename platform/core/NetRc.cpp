#include "platform/core/NetRc.h"

#include "platform/core/ReadableFile.h"

#include "platform/core/Exception.h"
#include "platform/core/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

struct TToken {
    QString Value;
    qsizetype Begin = 0, End = 0; // where it stands in the text
};

struct TEntry {
    QString Machine; // empty for "default"
    bool IsDefault = false;
    qsizetype Begin = 0;
    std::optional<QString> Login, Password;
    std::optional<TToken> LoginToken, PasswordToken;
};

bool IsSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

class TTokenizer {
public:
    explicit TTokenizer(const QString &text) : FText(text) {}

    bool AtEnd() const { return FPos >= FText.size(); }

    // The next token, or nothing at the end; comment lines are passed over.
    std::optional<TToken> Next()
    {
        for (;;) {
            while (!AtEnd() && IsSpace(FText.at(FPos)))
                ++FPos;
            if (AtEnd())
                return std::nullopt;
            if (FText.at(FPos) == u'#' && AtLineStart(FPos)) {
                while (!AtEnd() && FText.at(FPos) != u'\n')
                    ++FPos;
                continue;
            }
            break;
        }
        TToken token;
        token.Begin = FPos;
        if (FText.at(FPos) == u'"') {
            ++FPos;
            while (!AtEnd() && FText.at(FPos) != u'"') {
                QChar c = FText.at(FPos++);
                if (c == u'\\' && !AtEnd()) {
                    c = FText.at(FPos++);
                    c = c == u'n' ? QChar(u'\n') : c == u'r' ? QChar(u'\r') : c == u't' ? QChar(u'\t') : c;
                }
                token.Value += c;
            }
            if (!AtEnd())
                ++FPos; // the closing quote
        } else {
            while (!AtEnd() && !IsSpace(FText.at(FPos)))
                token.Value += FText.at(FPos++);
        }
        token.End = FPos;
        return token;
    }

    // A macro's lines run to the first blank line.
    void SkipMacro()
    {
        const qsizetype blank = FText.indexOf(QStringLiteral("\n\n"), FPos);
        FInMacro = blank < 0;
        FPos = blank < 0 ? FText.size() : blank + 2;
    }
    bool EndedInMacro() const { return FInMacro; }

private:
    bool AtLineStart(qsizetype pos) const
    {
        while (pos > 0 && (FText.at(pos - 1) == u' ' || FText.at(pos - 1) == u'\t'))
            --pos;
        return pos == 0 || FText.at(pos - 1) == u'\n';
    }

    const QString &FText;
    qsizetype FPos = 0;
    bool FInMacro = false;
};

struct TParsed {
    std::vector<TEntry> Entries;
    bool EndedInMacro = false;
};

TParsed Parse(const QString &text)
{
    TTokenizer tokens(text);
    std::vector<TToken> ts;
    for (;;) {
        std::optional<TToken> t = tokens.Next();
        if (!t)
            break;
        ts.push_back(*t);
        if (t->Value == QStringLiteral("macdef")) {
            if (std::optional<TToken> name = tokens.Next())
                ts.push_back(*name);
            tokens.SkipMacro();
        }
    }
    TParsed parsed;
    parsed.EndedInMacro = tokens.EndedInMacro();
    for (size_t i = 0; i < ts.size(); ++i) {
        const QString &word = ts[i].Value;
        const bool hasNext = i + 1 < ts.size();
        if (word == QStringLiteral("machine") && hasNext) {
            parsed.Entries.push_back(TEntry{ts[i + 1].Value, false, ts[i].Begin, {}, {}, {}, {}});
            ++i;
        } else if (word == QStringLiteral("default")) {
            parsed.Entries.push_back(TEntry{QString(), true, ts[i].Begin, {}, {}, {}, {}});
        } else if (word == QStringLiteral("macdef") || word == QStringLiteral("account")) {
            ++i;
        } else if ((word == QStringLiteral("login") || word == QStringLiteral("password")) && hasNext && !parsed.Entries.empty()) {
            TEntry &e = parsed.Entries.back();
            ++i;
            if (word == QStringLiteral("login")) {
                e.Login = ts[i].Value;
                e.LoginToken = ts[i];
            } else {
                e.Password = ts[i].Value;
                e.PasswordToken = ts[i];
            }
        }
    }
    return parsed;
}

bool SameHost(const TEntry &e, const QString &host)
{
    return !e.IsDefault && e.Machine.compare(host, Qt::CaseInsensitive) == 0;
}

// A token as the file wants it: quoted when it holds white space, a quote,
// a backslash, starts a comment, or is empty.
QString Quoted(const QString &value)
{
    bool plain = !value.isEmpty() && !value.startsWith(u'#');
    for (const QChar c : value)
        plain = plain && !IsSpace(c) && c != u'"' && c != u'\\';
    if (plain)
        return value;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            quoted += u'\\';
        quoted += c == u'\n' ? QStringLiteral("\\n") : c == u'\r' ? QStringLiteral("\\r") : c == u'\t' ? QStringLiteral("\\t") : QString(c);
    }
    return quoted + u'"';
}

} // namespace

QString NetRcPath()
{
    return QDir::home().filePath(QStringLiteral(".netrc"));
}

std::optional<QString> NetRcPassword(const QString &text, const QString &host, const QString &user)
{
    // The host's entries before "default"; among them, one for this login
    // before one that names none.
    const TParsed parsed = Parse(text);
    for (const bool anyHost : {false, true})
        for (const bool anyLogin : {false, true})
            for (const TEntry &e : parsed.Entries)
                if ((anyHost ? e.IsDefault : SameHost(e, host)) && e.Password && (anyLogin ? !e.Login : e.Login == user))
                    return e.Password;
    return std::nullopt;
}

QString NetRcWithPassword(const QString &text, const QString &host, const QString &user, const QString &password)
{
    const TParsed parsed = Parse(text);
    for (const TEntry &e : parsed.Entries) {
        if (!SameHost(e, host) || e.Login != user)
            continue;
        QString result = text;
        if (e.PasswordToken)
            return result.replace(e.PasswordToken->Begin, e.PasswordToken->End - e.PasswordToken->Begin, Quoted(password));
        return result.insert(e.LoginToken->End, QStringLiteral(" password ") + Quoted(password));
    }
    const QString line = QStringLiteral("machine %1 login %2 password %3\n").arg(Quoted(host), Quoted(user), Quoted(password));
    for (const TEntry &e : parsed.Entries)
        if (e.IsDefault)
            return QString(text).insert(e.Begin, line);
    QString result = text;
    if (!result.isEmpty() && !result.endsWith(u'\n'))
        result += u'\n';
    if (parsed.EndedInMacro)
        result += u'\n'; // ends the macro's lines
    return result + line;
}

namespace {

// The file's text; only a regular file is opened (a pipe named ~/.netrc
// would block the open for ever).
QString NetRcText(const QString &path)
{
    TReadableFile readable(path);
    QFile file;
    if (!file.open(readable.Handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw EFileError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()),
                         {TErrorKind::FileRead, path, file.errorString(), 0});
    return QString::fromUtf8(file.readAll());
}

} // namespace

std::optional<QString> ReadNetRcPassword(const QString &path, const QString &host, const QString &user)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    try {
        return NetRcPassword(NetRcText(path), host, user);
    } catch (const EFileError &) {
        return std::nullopt; // an unreadable file holds no password for us
    }
}

void WriteNetRcPassword(const QString &path, const QString &host, const QString &user, const QString &password)
{
    const QString text = QFileInfo::exists(path) ? NetRcText(path) : QString();
    TSaveFile file(path);
    // Owner only before the first byte goes in.
    if (::chmod(QFile::encodeName(file.TempPath()).constData(), S_IRUSR | S_IWUSR) != 0)
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))),
                         {TErrorKind::FileCreate, path, QString::fromLocal8Bit(std::strerror(errno)), 0});
    file.Write(NetRcWithPassword(text, host, user, password).toUtf8());
    file.Commit();
}
