#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// WebDAV, CardDAV and sync-collection XML: the request bodies and the
// multistatus replies, read with namespaces matched by URI, never by prefix.

struct TDavResponse {
    QString Href;              // as the server wrote it (percent-encoded)
    int Status = 0;            // the response's own status (404: gone), 0 when it has none
    bool PropsOk = false;      // a propstat with status 200 was read
    QByteArray ETag;           // as received; empty when it is not an entity-tag
    QByteArray AddressData;    // the card
    bool CardTooLarge = false; // the card was beyond what a card may hold: AddressData is empty
    bool AddressBook = false;  // resourcetype holds addressbook
    QString DisplayName;
    QString Principal; // current-user-principal's href
    QString HomeSet;   // addressbook-home-set's href
    bool SyncCollection = false;
    bool Only40 = false;  // supported-address-data names 4.0 and not 3.0
    QByteArray SyncToken; // the collection's DAV:sync-token property
};

struct TMultistatus {
    std::vector<TDavResponse> Responses;
    QByteArray SyncToken;
};

// Reads a multistatus as it arrives, piece by piece: each response goes to
// the callback as soon as its element closes, so a long reply is never held
// whole. The callback returns false when the rest is not wanted. Elements
// nested deeper than any DAV reply needs, or a text longer than a card may
// be, end the reading; a card that long is left out and marked.
class TMultistatusReader {
public:
    explicit TMultistatusReader(std::function<bool(TDavResponse &)> each);
    ~TMultistatusReader();
    // False once the reply cannot be read on (or the callback stopped it).
    bool Feed(const QByteArray &bytes);
    // False when the reply ended before its multistatus did.
    bool End();
    // What was wrong; empty when the callback stopped the reading.
    const QString &Problem() const;
    // The listing's own sync-token (sync-collection).
    const QByteArray &SyncToken() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};

// Reads a 207 reply. False when it is not XML or its root is not DAV:
// multistatus; *problem says what was wrong.
bool ReadMultistatus(const QByteArray &xml, TMultistatus &out, QString *problem);

// True when an error body names DAV:valid-sync-token.
bool NamesInvalidSyncToken(const QByteArray &xml);

namespace DavBody {
// PROPFIND of what discovery and the book's check need.
QByteArray DiscoveryProps();
// PROPFIND Depth 0 of the book's sync-token (which costs some servers a
// walk over every card, so it is asked for only where needed).
QByteArray SyncToken();
// PROPFIND Depth 1 of every card's ETag.
QByteArray ETags();
// REPORT sync-collection from token (empty: everything), with each card's
// data when cards is set.
QByteArray SyncCollection(const QByteArray &token, bool cards = false);
// REPORT addressbook-multiget of the hrefs (paths, percent-encoded).
QByteArray Multiget(const std::vector<QByteArray> &hrefs);
} // namespace DavBody
