#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The one error type of the program. Everything that fails raises an
// Exception (or a class derived from it) carrying the text shown to the
// user; the application object's guard shows it in the error box.
class Exception : public std::exception {
public:
    explicit Exception(QString message);

    const QString &Message() const noexcept { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Errors of the record set and the database provider.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be created, written or replaced.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// Errors of late-bound automation objects and their servers.
class EOleError : public Exception {
public:
    using Exception::Exception;
};

// The text of any exception as the user should read it.
QString ExceptionText(const std::exception &e);

// The silent error: work the user cancelled. It abandons the action like
// any other error, and the application's guard shows nothing for it.
class EAbort : public Exception {
public:
    EAbort();
};
