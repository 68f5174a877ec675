#include "store/PgSql.h"

#include "store/ADOQuery.h"
#include "store/TurkishText.h"

#include <string_view>

namespace PgSql {

namespace {

// A number column's digits read backwards, in bytes' order (the column's
// own collation takes no regular expression): its end is where a number
// search begins.
QByteArray DigitsBackwards(const QByteArray &column)
{
    return "pg_catalog.reverse(pg_catalog.regexp_replace(" + column + " COLLATE \"C\", '[^0-9]', '', 'g'))";
}

QByteArray Target(const TWriteTarget &target)
{
    return QuoteIdentifier(target.Schema) + '.' + QuoteIdentifier(target.Table);
}

QByteArray Names(const QStringList &columns)
{
    QByteArray list;
    for (const QString &c : columns)
        list += (list.isEmpty() ? "" : ", ") + QuoteIdentifier(c);
    return list;
}

QByteArray Returning(const QStringList &returning)
{
    return returning.isEmpty() ? QByteArray() : " RETURNING " + Names(returning);
}

// "=" for a value, "IS NULL" for none: both served by an index, unlike
// IS NOT DISTINCT FROM. A null takes no parameter.
QByteArray WhereSame(const QStringList &columns, const std::vector<bool> &nulls, int first)
{
    QByteArray where;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        where += (where.isEmpty() ? " WHERE " : " AND ") + QuoteIdentifier(columns.at(i));
        if (std::size_t(i) < nulls.size() && nulls[std::size_t(i)])
            where += " IS NULL";
        else
            where += " = $" + QByteArray::number(first++);
    }
    return where;
}

// The characters LIKE folds that lower() leaves: the Latin letters with
// marks, dotless ı, and the dot lower() leaves after İ (dropped). Made from
// the same table the file's LIKE uses.
void FoldTranslation(QString *from, QString *to)
{
    for (char32_t cp = 0x80; cp < 0x250; ++cp) {
        const QChar ch{char16_t(cp)};
        const char32_t fold = TurkishFold(cp);
        if (fold == cp || ch.toLower().unicode() != cp || cp == 0x0130)
            continue;
        *from += ch;
        *to += QChar(char16_t(fold));
    }
    *from += QChar(0x0307);
}

QByteArray Literal(const QString &text)
{
    QByteArray s = text.toUtf8();
    s.replace('\'', "''");
    return '\'' + s + '\'';
}

} // namespace

// A write waits for another desktop's row lock as long as a write on the
// file waits for another program (five seconds), unless the server's
// administrator set a lock timeout of their own.
QByteArray SessionSetup()
{
    return "SET DateStyle = 'ISO, YMD'; SET IntervalStyle = 'iso_8601';"
           " SELECT set_config('lock_timeout', '5s', false) WHERE current_setting('lock_timeout') = '0'";
}
QByteArray BeginReadOnly()
{
    return "BEGIN TRANSACTION READ ONLY";
}
QByteArray Begin()
{
    return "BEGIN";
}
QByteArray TransactionId()
{
    return "SELECT pg_catalog.pg_current_xact_id()::text";
}
QByteArray LongWriteLock()
{
    return "SELECT pg_catalog.pg_advisory_xact_lock(5650134125361811457)";
}
QByteArray TransactionStatus()
{
    return "SELECT pg_catalog.pg_xact_status($1::text::pg_catalog.xid8)";
}
QByteArray Commit()
{
    return "COMMIT";
}
QByteArray Rollback()
{
    return "ROLLBACK";
}

QByteArray DeclareCursor(const QByteArray &select)
{
    return "DECLARE velmora_rows NO SCROLL CURSOR FOR " + select;
}
QByteArray FetchCursor(std::size_t count)
{
    return "FETCH FORWARD " + QByteArray::number(qulonglong(count)) + " FROM velmora_rows";
}

// The first key of the read slots' advisory locks, the slot the second;
// and the lock every read through a cursor holds shared, to be counted.
constexpr int kReadSlotLocks = 1447382093;
constexpr int kReadersLock = 1447382094;

QByteArray BeginCursorRead()
{
    return "BEGIN TRANSACTION READ ONLY; SET LOCAL cursor_tuple_fraction = 1;"
           " SELECT pg_catalog.pg_advisory_xact_lock_shared("
        + QByteArray::number(kReadersLock) + ", 0)";
}

QByteArray PickReadSlot(int waited)
{
    const QByteArray locks = QByteArray::number(kReadSlotLocks);
    // The server shows other sessions as they were at the transaction's
    // first look, unless told to look again.
    return QByteArray(waited >= 0 ? "ROLLBACK TO SAVEPOINT velmora_slot; " : "") +
           "SELECT pg_catalog.pg_stat_clear_snapshot(); WITH l AS (SELECT objid::pg_catalog.int4 AS s, pid, granted FROM pg_catalog.pg_locks"
           " WHERE locktype = 'advisory' AND classid = " + locks + " AND objsubid = 2),"
           " h AS (SELECT l.s, l.pid || ' ' || COALESCE(a.query_start::text, '') AS holder"
           " FROM l LEFT JOIN pg_catalog.pg_stat_activity a ON a.pid = l.pid WHERE l.granted)"
           " SELECT g.s, (SELECT holder FROM h WHERE h.s = g.s LIMIT 1), (SELECT holder FROM h WHERE h.s = " +
           QByteArray::number(waited) + " LIMIT 1)"
           " FROM pg_catalog.generate_series(0, GREATEST(2, ((SELECT pg_catalog.count(*) FROM pg_catalog.pg_locks"
           " WHERE locktype = 'advisory' AND classid = " + QByteArray::number(kReadersLock) + " AND objid = 0 AND objsubid = 2 AND granted)"
           " * 3 + 4) / 5) - 1) g(s)"
           " ORDER BY (SELECT pg_catalog.count(*) FROM l WHERE l.s = g.s), pg_catalog.random() LIMIT 1";
}
QByteArray TakeReadSlot(int slot, int seconds)
{
    return "SAVEPOINT velmora_slot; SET LOCAL lock_timeout = '" + QByteArray::number(seconds) + "s';"
           " SELECT pg_catalog.pg_advisory_xact_lock(" + QByteArray::number(kReadSlotLocks) + ", " + QByteArray::number(slot) + ");"
           " RELEASE SAVEPOINT velmora_slot";
}

QByteArray NumberedParameters(const QString &sql, QStringList *names)
{
    QString text;
    qsizetype from = 0;
    for (const TParameterSpan &span : TParameters::ParameterSpans(sql)) {
        qsizetype number = 0;
        while (number < names->size() && names->at(number).compare(span.Name, Qt::CaseInsensitive) != 0)
            ++number;
        if (number == names->size())
            *names << span.Name;
        text += QStringView(sql).mid(from, span.Start - from);
        text += u'$' + QString::number(number + 1);
        from = span.Start + span.Length;
    }
    text += QStringView(sql).mid(from);
    return text.toUtf8();
}

QByteArray TableColumns()
{
    // A column's comment that spells its name (any case) gives the name as
    // the program writes it: "Ad" for ad.
    return "SELECT n.nspname, c.relname, a.attnum, a.attname,"
           " CASE WHEN lower(d.description) = a.attname THEN d.description ELSE a.attname::text END,"
           " coalesce(a.attnum = ANY (i.indkey), false)"
           " FROM pg_catalog.pg_class c"
           " JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace"
           " JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
           " LEFT JOIN pg_catalog.pg_index i ON i.indrelid = c.oid AND i.indisprimary"
           " LEFT JOIN pg_catalog.pg_description d ON d.objoid = c.oid AND d.classoid = 'pg_catalog.pg_class'::regclass"
           " AND d.objsubid = a.attnum"
           " WHERE c.oid = $1 ORDER BY a.attnum";
}

QByteArray Insert(const TWriteTarget &target, const QStringList &columns, const QStringList &returning)
{
    QByteArray sql = "INSERT INTO " + Target(target);
    if (columns.isEmpty()) {
        sql += " DEFAULT VALUES";
    } else {
        QByteArray marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks += (i ? ", $" : "$") + QByteArray::number(i + 1);
        sql += " (" + Names(columns) + ") VALUES (" + marks + ')';
    }
    return sql + Returning(returning);
}

QByteArray Update(const TWriteTarget &target, const QStringList &set, const QStringList &where, const std::vector<bool> &nulls,
                  const QStringList &returning)
{
    QByteArray assignments;
    int n = 1;
    for (const QString &c : set)
        assignments += (assignments.isEmpty() ? "" : ", ") + QuoteIdentifier(c) + " = $" + QByteArray::number(n++);
    return "UPDATE " + Target(target) + " SET " + assignments + WhereSame(where, nulls, n) + Returning(returning);
}

QByteArray Delete(const TWriteTarget &target, const QStringList &where, const std::vector<bool> &nulls)
{
    return "DELETE FROM " + Target(target) + WhereSame(where, nulls, 1);
}

// The server's keys come from an identity and are not reused: a link held
// by key needs nothing to unlink it. The lock's key is arbitrary but fixed.
TSyncSql SyncTables(const TWriteTarget &contacts, const QStringList &columns, const QString &key)
{
    TSyncSql sql;
    sql.Integer = "bigint";
    sql.Identity = "bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
    sql.TryLock = "SELECT pg_catalog.pg_try_advisory_lock(7305412298)";
    sql.Unlock = "SELECT pg_catalog.pg_advisory_unlock(7305412298)";
    sql.InsertContact = Insert(contacts, columns, {key});
    sql.UpdateContact = Update(contacts, columns, {key}, {false}, {});
    sql.DeleteContact = Delete(contacts, {key}, {false});
    return sql;
}

QList<QByteArray> CreateContactsSchema(const QList<QPair<QString, int>> &columns)
{
    QList<QByteArray> sql = {
        "CREATE SCHEMA velmora",
        // Turkish alphabetical order without regard to case; texts that
        // differ only in case are ordered by their bytes (a deterministic
        // collation), so equality stays exact.
        "CREATE COLLATION velmora.tr_ci (provider = icu, locale = 'tr-TR-u-ks-level2')",
        "CREATE COLLATION velmora.lower_root (provider = icu, locale = 'und')",
        TurkishFoldFunction(),
        TurkishLikeFunction(),
        "CREATE FUNCTION velmora.turkish_not_like(text, text) RETURNS boolean LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE"
        " RETURN NOT velmora.turkish_like($1, $2)",
        "CREATE OPERATOR velmora.~~ (LEFTARG = text, RIGHTARG = text, FUNCTION = velmora.turkish_like,"
        " NEGATOR = OPERATOR(velmora.!~~))",
        "CREATE OPERATOR velmora.!~~ (LEFTARG = text, RIGHTARG = text, FUNCTION = velmora.turkish_not_like,"
        " NEGATOR = OPERATOR(velmora.~~))",
        "GRANT USAGE ON SCHEMA velmora TO PUBLIC",
        "DO $$BEGIN EXECUTE format('ALTER DATABASE %I SET search_path = velmora, pg_catalog, \"$user\", public',"
        " current_database()); END$$",
        "SET LOCAL search_path = velmora, pg_catalog, public",
    };
    QByteArray table = "CREATE TABLE public.dbase (\n    no integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    QByteArray comments;
    for (const auto &[name, width] : columns) {
        const QByteArray lower = QuoteIdentifier(name.toLower());
        table += ",\n    " + lower + " varchar(" + QByteArray::number(width) + ") COLLATE velmora.tr_ci";
        sql << "COMMENT ON COLUMN public.dbase." + lower + " IS " + Literal(name);
    }
    // A tenth of each page left free: a changed contact's new version stays
    // on its page, beside its neighbours in the list's order.
    sql.insert(sql.size() - columns.size(), table + "\n) WITH (fillfactor = 90)");
    sql << "COMMENT ON COLUMN public.dbase.no IS 'No'";
    sql << SearchIndexes();
    sql << CreateCallLog();
    return sql;
}

// Both functions are plain expressions, not STRICT, so that the planner
// inlines them into the statement and matches the search indexes.
QByteArray TurkishFoldFunction()
{
    // Text of ASCII alone needs no translation, which is the costly part:
    // translate() looks each character up in its whole list. Turkish text
    // mostly has no marked letter but its own, so a short list takes those
    // first, and the long one only what is left after it.
    QString from, to, turkishFrom, turkishTo;
    FoldTranslation(&from, &to);
    for (const char16_t c : std::u16string_view(u"çğıöşüâîû")) {
        turkishFrom += QChar(c);
        turkishTo += QChar(char16_t(TurkishFold(c)));
    }
    turkishFrom += QChar(0x0307);
    const QByteArray turkish =
        "pg_catalog.translate(pg_catalog.lower($1 COLLATE velmora.lower_root), " + Literal(turkishFrom) + ", " + Literal(turkishTo) + ")";
    return "CREATE OR REPLACE FUNCTION velmora.turkish_fold(text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE"
           " RETURN CASE WHEN pg_catalog.octet_length($1) = pg_catalog.char_length($1)"
           " THEN pg_catalog.lower($1 COLLATE velmora.lower_root)"
           " WHEN pg_catalog.octet_length("
        + turkish + ") = pg_catalog.char_length(" + turkish + ") THEN " + turkish + " ELSE pg_catalog.translate(" + turkish + ", "
        + Literal(from) + ", " + Literal(to) + ") END";
}

QByteArray TurkishLikeFunction()
{
    // The pattern's backslash is a plain character, as on the file: LIKE
    // here has no escape character.
    return "CREATE OR REPLACE FUNCTION velmora.turkish_like(text, text) RETURNS boolean LANGUAGE sql IMMUTABLE"
           " PARALLEL SAFE RETURN (velmora.turkish_fold($1) COLLATE \"C\") OPERATOR(pg_catalog.~~)"
           " pg_catalog.like_escape(velmora.turkish_fold($2), '')";
}

QList<QByteArray> SearchIndexes()
{
    // The searched columns folded as LIKE folds them: a B-tree for patterns
    // with a fixed start, trigrams for "%...%". The planner inlines LIKE
    // into the same expression, compared in the same collation ("C", which
    // is bytes, as LIKE on folded text needs), so both serve it.
    QList<QByteArray> sql = {"CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA velmora",
                             // The list's order (first name, in the Turkish collation of
                             // the column, then the key for equal names): an Open reads it
                             // through this index instead of sorting the table.
                             "CREATE INDEX IF NOT EXISTS dbase_list_order ON public.dbase (ad, no)"};
    for (const char *column : {"ad", "soyad", "ctelefon", "etelefon"}) {
        const QByteArray c(column);
        const QByteArray folded = "((velmora.turkish_fold(" + c + ") COLLATE \"C\")";
        sql << "CREATE INDEX IF NOT EXISTS dbase_" + c + "_start ON public.dbase " + folded + " pg_catalog.text_pattern_ops)";
        sql << "CREATE INDEX IF NOT EXISTS dbase_" + c + "_trigram ON public.dbase USING gin " + folded + " gin_trgm_ops)";
    }
    // The directory's number search by the end of a number (NumberEnd).
    for (const char *column : {"ctelefon", "etelefon", "itelefon"})
        sql << "CREATE INDEX IF NOT EXISTS dbase_" + QByteArray(column) + "_digits_end ON public.dbase ((" + DigitsBackwards(column)
                + ") pg_catalog.text_pattern_ops)";
    return sql;
}

QList<QByteArray> UpgradeContactsSchema()
{
    QList<QByteArray> sql = {"SET LOCAL search_path = velmora, pg_catalog, public", TurkishFoldFunction(), TurkishLikeFunction()};
    return sql << SearchIndexes() << "ALTER TABLE public.dbase SET (fillfactor = 90)" << ListOrderRewrite();
}

QList<QByteArray> ListOrderRewrite()
{
    // An Open reads the table through the list's index: with the rows on
    // the pages in that order it reads page after page, instead of one page
    // for each row (about 40 % of the server's time for a whole Open). A
    // database an earlier version made may still lack the index.
    return {
        "DO $$BEGIN IF pg_catalog.to_regclass('public.dbase_list_order') IS NOT NULL THEN"
        " CLUSTER public.dbase USING dbase_list_order; END IF; END$$",
        "ANALYZE public.dbase"};
}

QByteArray ContactsSchemaCheck()
{
    // One row: what the program needs of a database, each true when present.
    return "SELECT to_regnamespace('velmora') IS NOT NULL,"
           " to_regcollation('velmora.tr_ci') IS NOT NULL,"
           " to_regoperator('velmora.~~(text,text)') IS NOT NULL,"
           " to_regclass('public.dbase') IS NOT NULL,"
           " EXISTS (SELECT FROM pg_catalog.pg_index i JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid"
           "  AND a.attnum = i.indkey[0] WHERE i.indrelid = to_regclass('public.dbase') AND i.indisprimary"
           "  AND i.indnatts = 1 AND a.attname = 'no' AND a.attidentity <> ''),"
           " NOT EXISTS (SELECT FROM pg_catalog.pg_attribute a WHERE a.attrelid = to_regclass('public.dbase')"
           "  AND a.attnum > 0 AND NOT a.attisdropped AND a.atttypid IN ('text'::regtype, 'varchar'::regtype)"
           "  AND a.attcollation IS DISTINCT FROM to_regcollation('velmora.tr_ci'))";
}

QByteArray CreateCallLog()
{
    return "CREATE TABLE IF NOT EXISTS public.gelenarama (no integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
           " zaman varchar(19), numara varchar(40), ad varchar(101), durum varchar(20))";
}

QByteArray CallLogOutcomeMissing()
{
    return "SELECT NOT EXISTS (SELECT FROM pg_catalog.pg_attribute WHERE attrelid = 'public.gelenarama'::regclass"
           " AND attname = 'durum' AND NOT attisdropped)"
           " AND pg_catalog.pg_has_role((SELECT relowner FROM pg_catalog.pg_class WHERE oid = 'public.gelenarama'::regclass), 'USAGE')";
}

QByteArray AddCallLogOutcome()
{
    return "ALTER TABLE public.gelenarama ADD COLUMN IF NOT EXISTS durum varchar(20)";
}

QByteArray CallLogAccess()
{
    return "SELECT CASE WHEN pg_catalog.to_regclass('public.gelenarama') IS NOT NULL"
           " THEN CASE WHEN NOT pg_catalog.has_table_privilege('public.gelenarama', 'SELECT') THEN 'm'"
           " WHEN pg_catalog.has_table_privilege('public.gelenarama', 'INSERT') THEN 'w' ELSE 'r' END"
           " WHEN pg_catalog.has_schema_privilege('public', 'CREATE')"
           " AND pg_catalog.has_table_privilege('public.dbase', 'INSERT') THEN 'c' ELSE 'm' END";
}

QByteArray ResetContactsIdentity()
{
    return "SELECT pg_catalog.setval(pg_catalog.pg_get_serial_sequence('public.dbase', 'no'),"
           " coalesce((SELECT max(no) FROM public.dbase), 0) + 1, false)";
}

QByteArray CopyIn(const TWriteTarget &target, const QStringList &columns)
{
    return "COPY " + Target(target) + " (" + Names(columns) + ") FROM STDIN";
}

QByteArray NumberEnd(const QByteArray &column, const QByteArray &parameter)
{
    return DigitsBackwards(column) + " OPERATOR(pg_catalog.~~) " + parameter;
}

QByteArray NumberEndPattern(QByteArrayView digits)
{
    QByteArray pattern;
    for (qsizetype i = digits.size(); i-- > 0;)
        pattern += digits[i];
    return pattern + '%';
}

} // namespace PgSql
