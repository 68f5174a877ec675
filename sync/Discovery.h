#pragma once

#include "sync/SyncTypes.h"

#include <QUrl>
#include <functional>

class TDavClient;

// Finds the address books from what a user typed (RFC 6764, RFC 6352): a
// server (its /.well-known/carddav first), a principal (its
// addressbook-home-set), a home set, or an address book itself. With
// counts, each book's cards are counted too. done gets the books, or an
// error (NoAddressBook when CardDAV answers but has none).
void DiscoverAddressBooks(TDavClient &client, const QUrl &start, bool counts,
                          std::function<void(std::vector<TAddressBookInfo> &, TSyncError &)> done);

// The error an unexpected HTTP status gives (401, 404, 5xx ...).
TSyncError StatusError(int status, const QUrl &url, const QByteArray &body);
