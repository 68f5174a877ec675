#include "fuzz/FuzzStore.h"

#include "store/ADOConnection.h"
#include "store/ADOQuery.h"

void UseDatabaseFile(TADOConnection &connection, const QString &path)
{
    connection.SetConnectionString(QStringLiteral("Data Source=") + path);
}

int ReadEveryField(TADOQuery &query)
{
    query.Open();
    int rows = 0;
    for (query.First(); !query.Eof(); query.Next(), ++rows) {
        for (int i = 0; i < query.FieldCount(); ++i) {
            const TField *field = query.Fields(i);
            (void)field->AsString();
            if (field->DataType() == ftDate || field->DataType() == ftTime || field->DataType() == ftDateTime)
                (void)field->AsDateTime();
        }
    }
    return rows;
}
