#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// What went wrong, for a caller that words a problem in its own language
// (the window in Turkish); the message stays the program's English text
// for the contacts tool. None: the message is all there is.
enum class TErrorKind {
    None,
    ServerUnreachable, // Detail: the server's or libpq's words
    ServerNoPassword,  // Detail: the server's words
    ServerAuthFailed,
    ServerFull,       // no free connection on the server; Detail
    ServerSilent,     // Count: the seconds waited
    ServerLost,       // the connection went away
    ServerSetting,    // Veri.ini names a server libpq cannot read; Subject: the unknown keyword, if one
    ServerUnprepared, // Detail: what the database lacks
    PermissionDenied, // Detail: the server's or engine's words
    RowLocked,        // another desktop holds the contact; Detail: the server's words
    DatabaseInUse,    // another program holds the database; nothing written
    NotADatabase,     // Subject: the path of a file that is no contacts database
    OldDatabase,      // Subject: the path of a database of the earlier Windows version
    FileMissing,      // Subject: the path
    NotAFile,         // Subject: the path (a folder, a pipe, a device)
    FileRead,         // Subject: the path; Detail: the system's words
    FileCreate,       // Subject: the path; Detail: the system's words
    FileWrite,        // Subject: the path; Detail: the system's words
    OfficeUnavailable // LibreOffice Calc cannot be started; Detail: why
};

// The values that go with a kind.
struct TErrorFacts {
    TErrorKind Kind = TErrorKind::None;
    QString Subject; // a file's path, a server setting
    QString Detail;  // the system's or the server's own words
    int Count = 0;   // seconds, where the kind counts
};

// The one error type of the program. Everything that fails raises an
// Exception (or a class derived from it) carrying its English text and,
// where a user meets it, the facts a window words in its own language.
class Exception : public std::exception {
public:
    explicit Exception(QString message, TErrorFacts facts = {});

    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }
    const TErrorFacts &Facts() const noexcept { return FFacts; }
    TErrorKind Kind() const noexcept { return FFacts.Kind; }

private:
    QString FMessage;
    QByteArray FUtf8;
    TErrorFacts FFacts;
};

// Errors of the record set and the database provider.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be created, written, replaced or read.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// Errors of late-bound automation objects and their servers.
class EOleError : public Exception {
public:
    using Exception::Exception;
};

// The text of any exception as the program's English says it.
QString ExceptionText(const std::exception &e);

// The facts of any exception (kind None for one that is not the program's).
TErrorFacts ExceptionFacts(const std::exception &e);

// The silent error: work the user cancelled. It abandons the action like
// any other error, and the application's guard shows nothing for it.
class EAbort : public Exception {
public:
    EAbort();
};
