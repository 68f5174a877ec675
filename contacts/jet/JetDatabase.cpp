#include "contacts/jet/JetDatabase.h"

#include "platform/core/Exception.h"
#include "platform/core/ReadableFile.h"

#include <QFile>
#include <cstring>
#include <iconv.h>
#include <mdbtools.h>

namespace {

// Room for one text value in UTF-8: every text column, and nearly every
// memo, fits.
constexpr std::size_t kTextRoom = 64 * 1024;
// Room for the longest memo libmdb reads (16 MB of text) in UTF-8.
constexpr std::size_t kMemoRoom = 3 * std::size_t(0xFFFFFF) + 16;
// The most one OLE object may hold; Jet's own limit is 1 GB.
constexpr qsizetype kLongestObject = qsizetype(1) << 30;
// libmdb copies one page of an OLE object at a time into the column's buffer.
constexpr std::size_t kObjectChunk = 16 * 1024;
// The offsets of the rows on a data page carry flags in their top bits;
// libmdb's own reader masks them the same way.
constexpr int kRowOffsetMask = 0x1fff;

// Takes a string libmdb allocated.
QByteArray Take(char *text)
{
    const QByteArray bytes(text ? text : "");
    g_free(text);
    return bytes;
}

TCellValue IntegerCell(std::int64_t v)
{
    return {TCellKind::Integer, v, 0, {}};
}
TCellValue FloatCell(double v)
{
    return {TCellKind::Float, 0, v, {}};
}
TCellValue TextCell(const QByteArray &utf8)
{
    return {TCellKind::Text, 0, 0, utf8};
}
TCellValue BlobCell(const QByteArray &bytes)
{
    return {TCellKind::Blob, 0, 0, bytes};
}

TJetKind KindOf(const MdbColumn *col)
{
    switch (col->col_type) {
    case MDB_BOOL: return TJetKind::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: return TJetKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE: return TJetKind::Real;
    case MDB_MONEY:
    case MDB_NUMERIC: return TJetKind::Numeric;
    case MDB_DATETIME: return TJetKind::DateTime;
    case MDB_BINARY:
    case MDB_OLE: return TJetKind::Blob;
    case MDB_TEXT: return TJetKind::Text;
    case MDB_MEMO: return TJetKind::Memo;
    case MDB_REPID: return TJetKind::Guid;
    default: break;
    }
    throw EFileError(QStringLiteral("column '%1' holds values of a type the converter does not know (%2)")
                         .arg(QString::fromUtf8(col->name))
                         .arg(col->col_type));
}

} // namespace

struct TJetDatabase::TImpl {
    QString Path;
    MdbHandle *Mdb = nullptr;
    ~TImpl()
    {
        if (Mdb)
            mdb_close(Mdb);
    }
};

struct TJetTable::TImpl {
    QString Path;
    MdbHandle *Mdb = nullptr;
    MdbTableDef *Table = nullptr;
    std::vector<MdbField> Fields;
    std::vector<std::unique_ptr<char[]>> ObjectBuffers;
    ~TImpl()
    {
        if (Table)
            mdb_free_tabledef(Table);
    }
    [[noreturn]] void Damaged() const;
    TCellValue Value(MdbColumn *col, const MdbField &field);
    QByteArray MemoText(const MdbField &field);
    QByteArray ObjectBytes(MdbColumn *col);
};

QByteArray Jet3Charset(const QString &codePage)
{
    const QString trimmed = codePage.trimmed();
    bool number = false;
    trimmed.toUInt(&number);
    const QByteArray name = number ? "CP" + trimmed.toLatin1() : trimmed.toLatin1();
    const iconv_t cd = name.isEmpty() ? iconv_t(-1) : iconv_open("UTF-8", name.constData());
    if (cd == iconv_t(-1))
        throw EFileError(QStringLiteral("code page '%1' is not known").arg(codePage));
    iconv_close(cd);
    return name;
}

TJetDatabase::TJetDatabase(const QString &path, const QByteArray &jet3Charset) : d(std::make_unique<TImpl>())
{
    d->Path = path;
    CheckReadableFile(path);
    d->Mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->Mdb)
        throw EFileError(QStringLiteral("'%1' cannot be opened as a Jet database").arg(path));
    MdbHandle *mdb = d->Mdb;
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    if (!jet3 && mdb->f->jet_version != MDB_VER_JET4)
        throw EFileError(QStringLiteral("'%1' is not a Jet 3 or Jet 4 database").arg(path));
    // Text comes out as UTF-8, whatever libmdb's environment variables say.
    mdb_iconv_close(mdb);
    const char *fileCharset = jet3 ? jet3Charset.constData() : "UCS-2LE";
    mdb->iconv_in = iconv_open("UTF-8", fileCharset);
    mdb->iconv_out = iconv_open(fileCharset, "UTF-8");
    if (mdb->iconv_in == iconv_t(-1) || mdb->iconv_out == iconv_t(-1))
        throw EFileError(QStringLiteral("code page '%1' is not known").arg(QString::fromLatin1(jet3Charset)));
    mdb_set_bind_size(mdb, kTextRoom);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        throw EFileError(QStringLiteral("'%1' is damaged: its list of tables cannot be read").arg(path));
}

TJetDatabase::~TJetDatabase() = default;

int TJetDatabase::Version() const
{
    return d->Mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4;
}

QStringList TJetDatabase::UserTables() const
{
    QStringList names;
    for (unsigned i = 0; i < d->Mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(d->Mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

std::unique_ptr<TJetTable> TJetDatabase::OpenTable(const QString &name) const
{
    const QByteArray utf8 = name.toUtf8();
    MdbCatalogEntry *found = nullptr;
    for (unsigned i = 0; i < d->Mdb->num_catalog && !found; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(d->Mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && utf8 == entry->object_name)
            found = entry;
    }
    auto impl = std::make_unique<TJetTable::TImpl>();
    impl->Path = d->Path;
    impl->Mdb = d->Mdb;
    impl->Table = found ? mdb_read_table(found) : nullptr;
    if (!impl->Table || !mdb_read_columns(impl->Table))
        throw EFileError(QStringLiteral("'%1' is damaged: table '%2' cannot be read").arg(d->Path, name));
    return std::make_unique<TJetTable>(name, std::move(impl));
}

TJetTable::TJetTable(const QString &name, std::unique_ptr<TImpl> impl) : FName(name), d(std::move(impl))
{
    MdbTableDef *table = d->Table;
    const bool jet3 = d->Mdb->f->jet_version == MDB_VER_JET3;
    d->Fields.resize(table->num_cols);
    d->ObjectBuffers.resize(table->num_cols);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        TJetColumn column;
        column.Name = QString::fromUtf8(col->name);
        try {
            column.Kind = KindOf(col);
        } catch (const Exception &e) {
            throw EFileError(QStringLiteral("table '%1': %2").arg(name, e.Message()));
        }
        column.Width = jet3 ? col->col_size : col->col_size / 2;
        if (column.Kind == TJetKind::Text && column.Width <= 0)
            column.Kind = TJetKind::Memo;
        column.AutoNumber = col->col_type == MDB_LONGINT && col->is_long_auto;
        if (col->col_type == MDB_OLE) {
            // libmdb hands over an OLE object's header through a bound buffer.
            d->ObjectBuffers[i].reset(new char[kObjectChunk]());
            mdb_bind_column(table, int(i) + 1, d->ObjectBuffers[i].get(), nullptr);
        }
        FColumns.push_back(column);
    }
    mdb_rewind_table(table);
}

TJetTable::~TJetTable() = default;

std::int64_t TJetTable::DeclaredRows() const
{
    return d->Table->num_rows;
}

void TJetTable::TImpl::Damaged() const
{
    throw EFileError(QStringLiteral("'%1' is damaged: a row of table '%2' cannot be read").arg(Path, QString::fromUtf8(Table->name)));
}

bool TJetTable::Next(std::vector<TCellValue> &row)
{
    MdbTableDef *table = d->Table;
    if (!mdb_fetch_row(table))
        return false;
    // The row just read is the one before the table's cursor; crack it
    // again to tell a null from an empty text.
    int start = 0;
    std::size_t size = 0;
    if (table->cur_row == 0 || mdb_find_row(d->Mdb, int(table->cur_row) - 1, &start, &size) != 0
        || mdb_crack_row(table, start & kRowOffsetMask, size, d->Fields.data()) < 0)
        d->Damaged();
    row.assign(table->num_cols, TCellValue());
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const MdbField &field = d->Fields[i];
        if (field.colnum < 0 || unsigned(field.colnum) >= table->num_cols)
            d->Damaged();
        auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, field.colnum));
        row[std::size_t(field.colnum)] = d->Value(col, field);
    }
    return true;
}

TCellValue TJetTable::TImpl::Value(MdbColumn *col, const MdbField &field)
{
    if (col->col_type == MDB_BOOL) // a yes/no value is its null bit
        return IntegerCell(field.is_null ? 0 : 1);
    if (field.is_null)
        return TCellValue();
    void *page = Mdb->pg_buf;
    const int at = field.start;
    const auto need = [&](int bytes) {
        if (field.siz < bytes)
            Damaged();
    };
    switch (col->col_type) {
    case MDB_BYTE: need(1); return IntegerCell(mdb_get_byte(page, at));
    case MDB_INT: need(2); return IntegerCell(std::int16_t(mdb_get_int16(page, at)));
    case MDB_LONGINT: need(4); return IntegerCell(std::int32_t(mdb_get_int32(page, at)));
    case MDB_FLOAT: need(4); return FloatCell(mdb_get_single(page, at));
    case MDB_DOUBLE:
    case MDB_DATETIME: need(8); return FloatCell(mdb_get_double(page, at));
    case MDB_MONEY: need(8); return TextCell(Take(mdb_money_to_string(Mdb, at)));
    case MDB_NUMERIC: need(17); return TextCell(Take(mdb_numeric_to_string(Mdb, at, col->col_scale, col->col_prec)));
    case MDB_REPID: need(16); return TextCell(Take(mdb_uuid_to_string(page, at)));
    case MDB_TEXT: return TextCell(Take(mdb_col_to_string(Mdb, page, at, MDB_TEXT, field.siz)));
    case MDB_MEMO: return TextCell(MemoText(field));
    case MDB_BINARY: return BlobCell(QByteArray(static_cast<const char *>(page) + at, field.siz));
    case MDB_OLE: need(MDB_MEMO_OVERHEAD); return BlobCell(ObjectBytes(col));
    default: Damaged();
    }
}

QByteArray TJetTable::TImpl::MemoText(const MdbField &field)
{
    QByteArray text = Take(mdb_col_to_string(Mdb, Mdb->pg_buf, field.start, MDB_MEMO, field.siz));
    if (std::size_t(text.size()) + 4 < kTextRoom)
        return text;
    // It may have been cut at the end of the buffer: read it again with
    // room for the longest memo.
    mdb_set_bind_size(Mdb, kMemoRoom);
    text = Take(mdb_col_to_string(Mdb, Mdb->pg_buf, field.start, MDB_MEMO, field.siz));
    mdb_set_bind_size(Mdb, kTextRoom);
    return text;
}

QByteArray TJetTable::TImpl::ObjectBytes(MdbColumn *col)
{
    char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, col->bind_ptr, sizeof header);
    const char *chunk = static_cast<const char *>(col->bind_ptr);
    QByteArray bytes;
    std::size_t n = mdb_ole_read(Mdb, col, header, kObjectChunk);
    while (n > 0) {
        if (n > kObjectChunk || bytes.size() + qsizetype(n) > kLongestObject)
            Damaged();
        bytes.append(chunk, qsizetype(n));
        n = mdb_ole_read_next(Mdb, col, header);
    }
    return bytes;
}
