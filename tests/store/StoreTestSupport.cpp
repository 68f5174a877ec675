#include "StoreTestSupport.h"

#include "platform/core/Exception.h"
#include "support/ContactsDb.h"

#include <QFile>
#include <QtTest>

void OtherProgramExec(const QString &path, const QString &sql)
{
    ExecSql(path, sql);
}

QStringList OtherProgramRows(const QString &path, const QString &sql)
{
    QStringList rows;
    for (const QVariantList &row : QueryRows(path, sql)) {
        QStringList values;
        for (const QVariant &v : row)
            values << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
        rows << values.join(u'|');
    }
    return rows;
}

void MakeContacts(const QString &path, const QStringList &names)
{
    std::vector<TContactRow> rows;
    for (const QString &name : names)
        rows.push_back({name});
    MakeContactsDatabase(path, rows);
}

QStringList ColumnValues(TADOQuery &q, const QString &field)
{
    QStringList values;
    const int index = q.FieldByName(field)->Index();
    for (int row = 0; row < q.DisplayRowCount(); ++row)
        values << q.DisplayText(row, index);
    return values;
}

TStoreSession::TStoreSession(const QString &sql)
{
    Query.SetConnection(&Connection);
    Query.SQL.Clear();
    Query.SQL.Add(sql);
    Source.SetDataSet(&Query);
    Source.AddLink(&Link);
}

TStoreSession::~TStoreSession()
{
    Source.RemoveLink(&Link);
}

const QStringList &SortedTurkishNames()
{
    static const QStringList names = {"_alt",   "(parantez)", "#1",    "10 Numara", "2. Kat",  "9 Numara", "A",     "a",      "Adem",
                                      "Âdem",   "Ahmet",      "ahmet", "Ali Can",   "Ali-Can", "AliCan",   "Cem",   "cigdem", "çam",
                                      "Çiğdem", "Elif",       "Émile", "émile",     "Gül",     "Ğ",        "Ilgın", "ısık",   "Işık",
                                      "ipek",   "İpek",       "Ñandú", "Nur",       "O Neil",  "O'Neil",   "omer",  "Ödül",   "Ömer",
                                      "sule",   "Şahin",      "Şule",  "uzun",      "Üzüm",    "Zoe",      "Zoë"};
    return names;
}
