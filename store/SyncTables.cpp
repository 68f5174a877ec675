#include "store/SyncTables.h"

#include "store/Provider.h"
#include "store/RowArena.h"

namespace {

TCellValue Text(const QByteArray &bytes)
{
    return bytes.isNull() ? TCellValue() : TCellValue{TCellKind::Text, 0, 0, bytes};
}

TCellValue Text(const QString &text)
{
    return text.isNull() ? TCellValue() : TCellValue::FromText(text);
}

TCellValue Int(std::int64_t value)
{
    return {TCellKind::Integer, value, 0, QByteArray::number(qlonglong(value))};
}

QByteArray Bytes(const TCellView &cell)
{
    if (cell.Kind == TCellKind::Null)
        return QByteArray();
    if (cell.Kind == TCellKind::Integer)
        return QByteArray::number(qlonglong(cell.Int));
    return cell.Size ? QByteArray(cell.Data, qsizetype(cell.Size)) : QByteArray("");
}

std::int64_t Number(const TCellView &cell)
{
    return cell.Kind == TCellKind::Integer ? cell.Int : Bytes(cell).toLongLong();
}

// "?" marks numbered "$1", "$2" ... as both engines read them here.
QByteArray Numbered(const QByteArray &sql)
{
    QByteArray out;
    int n = 0;
    bool quoted = false;
    for (const char c : sql) {
        if (c == '"' || c == '\'')
            quoted = !quoted;
        if (c == '?' && !quoted)
            out += '$' + QByteArray::number(++n);
        else
            out += c;
    }
    return out;
}

} // namespace

TSyncTables::TSyncTables(TProvider &engine, const TWriteTarget &contacts, const QStringList &columns, const QString &key)
    : FEngine(engine), FContacts(contacts), FColumns(columns), FKey(key), FSchema(QuoteIdentifier(contacts.Schema)),
      FSql(engine.SyncSql(contacts, columns, key))
{
}

QByteArray TSyncTables::Table(const char *name) const
{
    return FSchema + '.' + name;
}

void TSyncTables::Create()
{
    FEngine.RunStatement("CREATE TABLE IF NOT EXISTS " + Table("sync_book")
                             + " (id integer PRIMARY KEY CHECK (id = 1), url text NOT NULL, token text)",
                         {}, nullptr);
    FEngine.RunStatement("CREATE TABLE IF NOT EXISTS " + Table("sync_card") + " (card_no " + FSql.Integer
                             + " PRIMARY KEY, href text NOT NULL UNIQUE, etag text, uid text NOT NULL,"
                               " base text NOT NULL, digest text NOT NULL)",
                         {}, nullptr);
    FEngine.RunStatement("CREATE TABLE IF NOT EXISTS " + Table("sync_conflict") + " (id " + FSql.Identity + ", card_no " + FSql.Integer
                             + ", name text, col text, local_value text, server_value text, kind integer NOT NULL)",
                         {}, nullptr);
    if (!FSql.Unlink.isEmpty())
        FEngine.RunStatement(FSql.Unlink, {}, nullptr);
}

bool TSyncTables::TryLock()
{
    if (FSql.TryLock.isEmpty())
        return true;
    TRowArena rows;
    FEngine.RunStatement(FSql.TryLock, {}, &rows);
    return rows.RowCount() == 1 && Number(rows.Cell(0, 0)) == 1;
}

void TSyncTables::Unlock() noexcept
{
    if (FSql.Unlock.isEmpty())
        return;
    try {
        FEngine.RunStatement(FSql.Unlock, {}, nullptr);
    } catch (...) {
        // The lock goes with the session anyway.
    }
}

void TSyncTables::NarrowCache()
{
    if (FSql.CacheSize.isEmpty() || FCacheSize)
        return;
    TRowArena rows;
    FEngine.RunStatement(FSql.CacheSize, {}, &rows);
    if (rows.RowCount() != 1)
        return;
    FCacheSize = Number(rows.Cell(0, 0));
    FEngine.RunStatement(FSql.NarrowCache, {}, nullptr);
}

void TSyncTables::RestoreCache() noexcept
{
    if (!FCacheSize)
        return;
    try {
        FEngine.RunStatement(FSql.SetCacheSize(*FCacheSize), {}, nullptr);
    } catch (...) {
        // Only the cache's size: the connection works on either way.
    }
    FCacheSize.reset();
}

void TSyncTables::Begin()
{
    FEngine.BeginWrite();
}

void TSyncTables::Commit()
{
    FEngine.CommitWrite();
}

void TSyncTables::Rollback() noexcept
{
    FEngine.RollbackWrite();
}

void TSyncTables::Book(QString *url, QByteArray *token)
{
    TRowArena rows;
    FEngine.RunStatement("SELECT url, token FROM " + Table("sync_book"), {}, &rows);
    *url = rows.RowCount() ? QString::fromUtf8(Bytes(rows.Cell(0, 0))) : QString();
    *token = rows.RowCount() ? Bytes(rows.Cell(0, 1)) : QByteArray();
}

void TSyncTables::SetBook(const QString &url, const QByteArray &token)
{
    FEngine.RunStatement(Numbered("INSERT INTO " + Table("sync_book")
                                  + " (id, url, token) VALUES (1, ?, ?) ON CONFLICT (id) DO UPDATE SET url = excluded.url,"
                                    " token = excluded.token"),
                         {Text(url), Text(token)}, nullptr);
}

void TSyncTables::ForgetBook()
{
    FEngine.RunStatement("DELETE FROM " + Table("sync_book"), {}, nullptr);
    FEngine.RunStatement("DELETE FROM " + Table("sync_card"), {}, nullptr);
}

std::vector<TSyncCardRow> TSyncTables::Cards()
{
    TRowArena rows;
    FEngine.RunStatement("SELECT card_no, href, etag, uid, base, digest FROM " + Table("sync_card"), {}, &rows);
    std::vector<TSyncCardRow> cards(rows.RowCount());
    for (std::size_t r = 0; r < rows.RowCount(); ++r) {
        TSyncCardRow &c = cards[r];
        c.No = Number(rows.Cell(r, 0));
        c.Href = QString::fromUtf8(Bytes(rows.Cell(r, 1)));
        c.ETag = Bytes(rows.Cell(r, 2));
        c.Uid = Bytes(rows.Cell(r, 3));
        c.Base = Bytes(rows.Cell(r, 4));
        c.Digest = Bytes(rows.Cell(r, 5));
    }
    return cards;
}

void TSyncTables::PutCard(const TSyncCardRow &c)
{
    // A card's href belongs to one contact: a row that held it before goes.
    FEngine.RunStatement(Numbered("DELETE FROM " + Table("sync_card") + " WHERE href = ? AND card_no <> ?"), {Text(c.Href), Int(c.No)},
                         nullptr);
    FEngine.RunStatement(Numbered("INSERT INTO " + Table("sync_card")
                                  + " (card_no, href, etag, uid, base, digest) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (card_no) DO UPDATE"
                                    " SET href = excluded.href, etag = excluded.etag, uid = excluded.uid, base = excluded.base,"
                                    " digest = excluded.digest"),
                         {Int(c.No), Text(c.Href), Text(c.ETag), Text(c.Uid), Text(c.Base), Text(c.Digest)}, nullptr);
}

void TSyncTables::RemoveCard(std::int64_t no)
{
    FEngine.RunStatement(Numbered("DELETE FROM " + Table("sync_card") + " WHERE card_no = ?"), {Int(no)}, nullptr);
}

QByteArray TSyncTables::SelectContacts() const
{
    QByteArray sql = "SELECT " + QuoteIdentifier(FKey);
    for (const QString &c : FColumns)
        sql += ", " + QuoteIdentifier(c);
    return sql + " FROM " + QuoteIdentifier(FContacts.Schema) + '.' + QuoteIdentifier(FContacts.Table);
}

std::vector<TSyncContact> TSyncTables::ReadContacts(const QByteArray &sql, const std::vector<TCellValue> &values)
{
    TRowArena rows;
    FEngine.RunStatement(sql, values, &rows);
    std::vector<TSyncContact> contacts(rows.RowCount());
    for (std::size_t r = 0; r < rows.RowCount(); ++r) {
        contacts[r].No = Number(rows.Cell(r, 0));
        for (int c = 0; c < kContactColumnCount && c < int(FColumns.size()); ++c)
            contacts[r].Values[c] = Bytes(rows.Cell(r, c + 1));
    }
    return contacts;
}

void TSyncTables::Contacts(const std::function<void(TSyncContact &)> &each)
{
    constexpr int kPage = 100;
    const QByteArray key = QuoteIdentifier(FKey);
    const QByteArray first = SelectContacts() + " ORDER BY " + key + " LIMIT " + QByteArray::number(kPage);
    const QByteArray next = SelectContacts() + " WHERE " + key + " > $1 ORDER BY " + key + " LIMIT " + QByteArray::number(kPage);
    std::vector<TSyncContact> page = ReadContacts(first, {});
    while (!page.empty()) {
        const std::int64_t last = page.back().No;
        const bool whole = page.size() == std::size_t(kPage);
        for (TSyncContact &row : page)
            each(row);
        page = whole ? ReadContacts(next, {Int(last)}) : std::vector<TSyncContact>();
    }
}

std::vector<TSyncContact> TSyncTables::Contacts(const std::vector<std::int64_t> &keys)
{
    if (keys.empty())
        return {};
    QByteArray sql = SelectContacts() + " WHERE " + QuoteIdentifier(FKey) + " IN (";
    std::vector<TCellValue> values;
    values.reserve(keys.size());
    for (const std::int64_t no : keys) {
        sql += values.empty() ? "?" : ", ?";
        values.push_back(Int(no));
    }
    return ReadContacts(Numbered(sql + ')'), values);
}

bool TSyncTables::Contact(std::int64_t no, TSyncContact *row)
{
    std::vector<TSyncContact> rows = Contacts(std::vector<std::int64_t>{no});
    if (rows.size() != 1)
        return false;
    *row = std::move(rows.front());
    return true;
}

std::int64_t TSyncTables::InsertContact(const QByteArray *values)
{
    std::vector<TCellValue> cells;
    for (int c = 0; c < int(FColumns.size()); ++c)
        cells.push_back(Text(values[c]));
    TRowArena rows;
    FEngine.RunStatement(FSql.InsertContact, cells, &rows);
    return rows.RowCount() == 1 ? Number(rows.Cell(0, 0)) : 0;
}

void TSyncTables::UpdateContact(std::int64_t no, const QByteArray *values)
{
    std::vector<TCellValue> cells;
    for (int c = 0; c < int(FColumns.size()); ++c)
        cells.push_back(Text(values[c]));
    cells.push_back(Int(no));
    FEngine.RunStatement(FSql.UpdateContact, cells, nullptr);
}

void TSyncTables::DeleteContact(std::int64_t no)
{
    FEngine.RunStatement(FSql.DeleteContact, {Int(no)}, nullptr);
}

std::vector<TSyncConflictRow> TSyncTables::Conflicts()
{
    TRowArena rows;
    FEngine.RunStatement("SELECT id, card_no, name, col, local_value, server_value, kind FROM " + Table("sync_conflict") + " ORDER BY id",
                         {}, &rows);
    std::vector<TSyncConflictRow> list(rows.RowCount());
    for (std::size_t r = 0; r < rows.RowCount(); ++r) {
        TSyncConflictRow &c = list[r];
        c.Id = Number(rows.Cell(r, 0));
        c.No = Number(rows.Cell(r, 1));
        c.Name = QString::fromUtf8(Bytes(rows.Cell(r, 2)));
        c.Column = QString::fromUtf8(Bytes(rows.Cell(r, 3)));
        c.LocalValue = QString::fromUtf8(Bytes(rows.Cell(r, 4)));
        c.ServerValue = QString::fromUtf8(Bytes(rows.Cell(r, 5)));
        c.Kind = int(Number(rows.Cell(r, 6)));
    }
    return list;
}

void TSyncTables::AddConflict(const TSyncConflictRow &c)
{
    FEngine.RunStatement(Numbered("INSERT INTO " + Table("sync_conflict")
                                  + " (card_no, name, col, local_value, server_value, kind) VALUES (?, ?, ?, ?, ?, ?)"),
                         {Int(c.No), Text(c.Name), Text(c.Column), Text(c.LocalValue), Text(c.ServerValue), Int(c.Kind)}, nullptr);
}

void TSyncTables::RemoveConflict(std::int64_t id)
{
    FEngine.RunStatement(Numbered("DELETE FROM " + Table("sync_conflict") + " WHERE id = ?"), {Int(id)}, nullptr);
}
