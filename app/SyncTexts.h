#pragma once

#include "sync/SyncSession.h"
#include "sync/SyncTypes.h"

#include <QString>
#include <vector>

// How the window words what a sync reports (the sync library reports it as
// data). Every failure is worded here and nowhere else.
QString SyncErrorText(const TSyncError &error);

// "Eşitleme tamamlandı: N alındı, M gönderildi, K silindi." (a sync the
// user stopped: "Eşitleme durduruldu." and what it did before) and, after
// it, the new conflicts and the cards that could not be taken.
QString SyncSummaryText(const TSyncResult &result);

// The answer of "Bağlantıyı Sına" when the probe found address books.
QString AddressBooksText(const std::vector<TAddressBookInfo> &books);
QString AddressBookText(const TAddressBookInfo &book);

// The question before a certificate is trusted, and before a sync deletes
// many contacts from one side.
QString TrustFingerprintQuestion(const QString &fingerprint);
QString MassDeleteQuestion(int count, TSyncSide side);

// "Şimdi Eşitle" when neither side had anything to send.
QString NothingToSyncText();
