#pragma once

#include "ldap/DirectoryEntry.h"
#include "ldap/LdapFilter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class TADOConnection;

// LDAP result codes the directory answers with.
enum TLdapResult : int {
    lrSuccess = 0,
    lrOperationsError = 1,
    lrProtocolError = 2,
    lrTimeLimitExceeded = 3,
    lrSizeLimitExceeded = 4,
    lrAdminLimitExceeded = 11,
    lrNoSuchObject = 32,
    lrUnavailable = 52,
    lrInvalidDnSyntax = 34,
    lrInvalidCredentials = 49,
    lrUnwillingToPerform = 53,
    lrOther = 80
};

enum TSearchScope : int { ssBase = 0, ssOne = 1, ssSub = 2, ssChildren = 3 };

struct TDirectorySearch {
    QByteArray Base; // as the client wrote it
    int Scope = ssSub;
    qint64 SizeLimit = -1; // entries at most; negative: no limit
    qint64 TimeLimit = -1; // seconds at most; 0 or negative: no limit
    TLdapFilter Filter;
    TAttributeSelection Attributes;
};

struct TSearchOutcome {
    int Code = lrSuccess;
    QByteArray Matched; // the part of the base that exists, for noSuchObject
    QByteArray Info;
};

// The WHERE clause that narrows the contacts to those the filter may match,
// with its parameters (":p0", ":p1" ... bound in order to values); empty
// when it cannot narrow them. The database compares names with its
// Turkish LIKE and numbers by the digits they end in, each engine in its
// own way (onServer: PostgreSQL's); EntryMatches decides among the rows it
// returns.
QString NarrowingOf(const TLdapFilter &filter, bool onServer, QStringList *values);

// A DN written the one way: RDNs without blanks around "," and "=",
// attribute names and ASCII letters in lower case.
QByteArray NormalDn(QByteArrayView dn);

// Answers a search of the directory at base (normalised) from the contacts
// of the open connection: send gets each entry's LDIF, and returns false
// when it can take no more (the search then ends).
TSearchOutcome SearchDirectory(TADOConnection &connection, const QByteArray &base, const TDirectorySearch &search,
                               const std::function<bool(const QByteArray &)> &send);
