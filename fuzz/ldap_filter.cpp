// The LDAP filter reader, on any bytes as slapd could hand them on. Input:
// the filter's text.
//
// The reader must end on any text, however deep or wide, without going
// deeper than its bound. For a filter it reads, the database's narrowing
// (run by the engine with the program's Turkish LIKE) must keep every
// contact the filter matches: the narrowing may take more, never fewer.
#include "fuzz/FuzzSupport.h"

#include "ldap/DirectoryEntry.h"
#include "ldap/DirectorySearch.h"
#include "ldap/LdapFilter.h"
#include "store/ContactsTable.h"
#include "store/TurkishText.h"

#include <QSet>
#include <sqlite3.h>

namespace {

const TContactValues kContacts[] = {
    {"1", "Zeynep", "Kılıç", "0532 111 22 33", "", "0212 555 66 77", "zeynep@ornek.com.tr", "Moda Cad. 5\nKadıköy"},
    {"2", "İsmail", "Işık", "", "(0216) 444-55-66", "", "", ""},
    {"3", "Ayşe", "Çelik", "+90 542 999 88 77", "", "", "AYSE@ORNEK.COM", ""},
    {"4", "", "Öztürk", "", "", "212 333 44 55", "", "İstiklal Cad. $ 1"},
    {"5", "Ahmet  Can", "", "0090 533 222 33 44", "0533-222-33-44", "", "", ""},
    {"6", "Ğ%_x", "ü\\", "1", "22", "333", "a_b%c", ""},
};

struct TEngine {
    sqlite3 *Db = nullptr;

    TEngine()
    {
        sqlite3_open(":memory:", &Db);
        RegisterTurkishLike(Db);
        FUZZ_CHECK(sqlite3_exec(Db, ContactsTableSql().constData(), nullptr, nullptr, nullptr) == SQLITE_OK,
                   QString::fromUtf8(sqlite3_errmsg(Db)));
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(Db, "INSERT INTO DBASE VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &insert, nullptr);
        for (const TContactValues &c : kContacts) {
            const QByteArray *values[] = {&c.No, &c.Ad, &c.Soyad, &c.CTelefon, &c.ETelefon, &c.ITelefon, &c.Email, &c.Adres};
            for (int i = 0; i < 8; ++i)
                sqlite3_bind_text(insert, i + 1, values[i]->constData(), int(values[i]->size()), SQLITE_STATIC);
            FUZZ_CHECK(sqlite3_step(insert) == SQLITE_DONE, QString::fromUtf8(sqlite3_errmsg(Db)));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TEngine engine;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    TLdapFilter filter;
    if (ReadLdapFilter(text, &filter) != TFilterError::None)
        return 0;
    QStringList values;
    const QString where = NarrowingOf(filter, false, &values);
    QSet<QByteArray> narrowed;
    if (!where.isEmpty()) {
        sqlite3_stmt *select = nullptr;
        const QByteArray sql = "SELECT No FROM DBASE WHERE " + where.toUtf8();
        FUZZ_CHECK(sqlite3_prepare_v2(engine.Db, sql.constData(), int(sql.size()), &select, nullptr) == SQLITE_OK,
                   QString::fromUtf8(sqlite3_errmsg(engine.Db)) + QStringLiteral(": ") + where);
        FUZZ_CHECK(sqlite3_bind_parameter_count(select) == values.size(), where);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QByteArray value = values.at(i).toUtf8();
            const int at = sqlite3_bind_parameter_index(select, (":p" + QByteArray::number(i)).constData());
            FUZZ_CHECK(at > 0, where);
            sqlite3_bind_text(select, at, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        while (sqlite3_step(select) == SQLITE_ROW)
            narrowed.insert(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(select, 0))));
        sqlite3_finalize(select);
    }
    for (const TContactValues &c : kContacts) {
        if (EntryMatches(ContactEntry(c, "ou=rehber,dc=velmora"), filter))
            FUZZ_CHECK(where.isEmpty() || narrowed.contains(c.No),
                       QStringLiteral("contact %1 matches %2 but the narrowing %3 leaves it out")
                           .arg(QString::fromLatin1(c.No), QString::fromUtf8(text), where));
    }
    return 0;
}
