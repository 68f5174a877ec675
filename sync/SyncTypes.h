#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// What a sync or a probe reports, as data: the window words it in Turkish,
// the contacts tool in English.

enum class TSyncFailure {
    None,
    Cancelled,
    Unauthorized,     // 401: wrong user or password
    NotCardDav,       // the server answers but offers no CardDAV
    NoAddressBook,    // CardDAV, but no address book found
    Certificate,      // TLS refused; Fingerprint set
    InsecureHttp,     // plain http to a host that is not loopback
    ForeignRedirect,  // redirect to another host; RedirectHost set
    Timeout,          // no byte for the idle time, or a request beyond its total time
    Network,          // ServerText
    BadReply,         // not XML, or not a multistatus
    ReplyTooLarge,    // a reply beyond the reading cap
    HrefOutside,      // an href outside the address book
    OtherAddressBook, // the directory is linked to LinkedBook
    SeveralBooks,     // the address names no book and several were found: Books
    Busy,             // another desktop syncs this database
    MassDelete,       // MassDeleteCount deletions, not allowed
    Database,         // ServerText
    ServerError       // HttpStatus, ServerText
};

// The side a sync would delete contacts from.
enum class TSyncSide {
    Local, // the directory on this computer
    Server // the address book on the server
};

struct TSyncError {
    TSyncFailure Kind = TSyncFailure::None;
    int HttpStatus = 0;
    QString ServerText;
    QString Fingerprint; // SHA-256, hex, lower case
    QString RedirectHost;
    QString LinkedBook;
    int MassDeleteCount = 0;
    QString Url;
    QStringList Books;
};

// A failure about one address, as most are.
inline TSyncError SyncError(TSyncFailure kind, const QString &url, int status = 0, const QString &text = QString())
{
    TSyncError e;
    e.Kind = kind;
    e.HttpStatus = status;
    e.ServerText = text;
    e.Url = url;
    return e;
}

struct TAddressBookInfo {
    QString Url;
    QString Name;
    int CardCount = -1; // -1: not known
    bool Only40 = false;
};

struct TSyncConflict {
    qint64 Id = 0;
    qint64 ContactNo = 0;
    QString ContactName;
    QString Column; // DBASE column
    QString LocalValue;
    QString ServerValue;
    enum class Kind { SameColumn, DeletedHereChangedThere, ChangedHereDeletedThere } What = Kind::SameColumn;
};

struct TCardProblem {
    QString Href;
    QString Column;
    QString Value;
    enum class Kind {
        Unparsable, // left untouched on the server
        NotTaken,   // the value does not fit the column; whole on the server
        Refused     // nothing to store
    } What = Kind::Unparsable;
};

struct TSyncResult {
    int Received = 0, Sent = 0, Deleted = 0;
    std::vector<TSyncConflict> NewConflicts;
    std::vector<TCardProblem> Problems;
    TSyncError Error;
    QString AddressBook; // the address book synced with (found by discovery when the account names none)
    bool Changed() const { return Received || Sent || Deleted || !NewConflicts.empty() || !Problems.empty(); }
};

struct TSyncOptions {
    bool DryRun = false;
    bool AllowMassDelete = false;
    int IdleTimeoutMs = 30000;         // a request ends after this long without a byte
    qint64 MaxReplyBytes = 64ll << 20; // the most one reply may hold
    int TotalTimeoutMs = 90000;        // a request ends after this long, however its bytes trickle in
};
