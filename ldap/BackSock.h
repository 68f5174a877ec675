#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class TADOConnection;

// What the directory is: its DN, normalised (NormalDn), and the one DN a
// client may bind as with its password (none: nobody binds).
struct TDirectoryService {
    QByteArray Base;
    QByteArray BindDn;
    QByteArray Password;
};

// One request of slapd's back-sock database ("SEARCH", "BIND", "ADD" ...
// with its "name: value" lines) answered from the contacts of the open
// connection: a search's entries as LDIF, then its RESULT. Every change
// is refused (unwillingToPerform); a simple bind succeeds only as the
// service's bind DN with its password. write gets the reply in parts and
// returns false when it cannot take more.
void AnswerBackSock(TADOConnection &connection, const TDirectoryService &service, const QByteArray &request,
                    const std::function<bool(const QByteArray &)> &write);

// The longest request read; a longer one is answered with an error unread.
constexpr qsizetype kBackSockMaxRequest = 1 << 20;

// Opens a connection on the directory's contacts (each answering thread
// has one of its own).
using TConnectionOpener = std::function<void(TADOConnection &)>;

// How many requests are answered at once.
constexpr int kBackSockThreads = 4;

// Listens on a Unix socket at path (made anew; only this user may connect)
// and answers the requests in kBackSockThreads threads, each on a
// connection open opened, until stopFd becomes readable or idle (called
// about once a second while nothing comes) returns false. listening is
// called once the socket takes connections. A connection that sends
// nothing, or does not take its answer, for longer than a few seconds is
// dropped. Raises EFileError when the socket cannot be made.
void ServeBackSock(const QString &path, const TConnectionOpener &open, const TDirectoryService &service, int stopFd,
                   const std::function<void()> &listening, const std::function<bool()> &idle);
