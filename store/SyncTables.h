#pragma once

#include "store/CellValue.h"
#include "store/ContactsTable.h"
#include "store/StatementText.h"
#include "store/WriteTransaction.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TProvider;

// The sync state beside DBASE, in the same database (file or server), and
// the SQL both engines share (what differs comes from the provider's
// TSyncSql):
//   sync_book      the address book the directory is linked to, its sync token;
//   sync_card      per linked contact: its key, the card's href, ETag (null
//                  while a new card's PUT has no known outcome), UID, the
//                  card text as last synced (the base) and a digest of the
//                  row as last synced;
//   sync_conflict  what a sync could not settle by itself.
// The tables are made on the first sync (CREATE TABLE IF NOT EXISTS); on a
// file, with a trigger that unlinks a deleted contact (SyncTablesSql).

struct TSyncCardRow {
    std::int64_t No = 0;
    QString Href;    // the path on the server, decoded
    QByteArray ETag; // null: not known
    QByteArray Uid;
    QByteArray Base;
    QByteArray Digest;
};

struct TSyncConflictRow {
    std::int64_t Id = 0;
    std::int64_t No = 0;
    QString Name;
    QString Column;
    QString LocalValue;
    QString ServerValue;
    int Kind = 0;
};

// A contact row: its key and the seven text columns, UTF-8 (null for NULL).
struct TSyncContact {
    std::int64_t No = 0;
    QByteArray Values[kContactColumnCount];
};

class TSyncTables {
public:
    // contacts, columns, key: DBASE as the database has it (see TContactsShape).
    TSyncTables(TProvider &engine, const TWriteTarget &contacts, const QStringList &columns, const QString &key);

    void Create();

    // The server's one-sync-at-a-time lock (a session advisory lock); always
    // true on a file. Unlock gives it back.
    bool TryLock();
    void Unlock() noexcept;

    // On a file, a small page cache for the sync's while (it appends and
    // reads each row once), and the connection's own size again after.
    void NarrowCache();
    void RestoreCache() noexcept;

    // One transaction around a group of writes.
    void Begin();
    void Commit();
    void Rollback() noexcept;
    // The same for as long as a scope lasts: rolled back unless committed.
    TWriteTransaction Transaction() { return TWriteTransaction(FEngine); }

    // The linked address book: empty url when none.
    void Book(QString *url, QByteArray *token);
    void SetBook(const QString &url, const QByteArray &token);
    // Unlinks the directory: the book and every card's state go.
    void ForgetBook();

    std::vector<TSyncCardRow> Cards();
    void PutCard(const TSyncCardRow &card);
    void RemoveCard(std::int64_t no);

    // Every contact in the order of their keys, read a page at a time: a
    // row is held no longer than `each` keeps it.
    void Contacts(const std::function<void(TSyncContact &)> &each);
    // The contacts with these keys that are still there, in no set order.
    std::vector<TSyncContact> Contacts(const std::vector<std::int64_t> &keys);
    bool Contact(std::int64_t no, TSyncContact *row);
    std::int64_t InsertContact(const QByteArray *values);
    void UpdateContact(std::int64_t no, const QByteArray *values);
    void DeleteContact(std::int64_t no);

    std::vector<TSyncConflictRow> Conflicts();
    void AddConflict(const TSyncConflictRow &conflict);
    void RemoveConflict(std::int64_t id);

private:
    QByteArray Table(const char *name) const;
    QByteArray SelectContacts() const;
    std::vector<TSyncContact> ReadContacts(const QByteArray &sql, const std::vector<TCellValue> &values);
    TProvider &FEngine;
    TWriteTarget FContacts;
    QStringList FColumns;
    QString FKey;
    QByteArray FSchema;
    TSyncSql FSql;
    std::optional<qint64> FCacheSize; // the connection's own, while narrowed
};
