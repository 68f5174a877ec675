#include "fuzz/FuzzStore.h"

#include "fuzz/FuzzSupport.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"

namespace {

// Every field of every row, as the grid and the exports read them; a
// value a field cannot give (a date that is none) is an error, not a crash.
void ReadEveryField(TADOQuery &query)
{
    for (query.First(); !query.Eof(); query.Next()) {
        for (int i = 0; i < query.FieldCount(); ++i) {
            const TField *field = query.Fields(i);
            try {
                (void)field->AsString();
                if (field->DataType() == ftDate || field->DataType() == ftTime || field->DataType() == ftDateTime)
                    (void)field->AsDateTime();
            } catch (const Exception &) {
            }
        }
    }
}

} // namespace

void ReadThroughRecordSet(const QString &path, const QStringList &statements, const QStringList &parameterValues)
{
    const QByteArray before = FileBytes(path);
    {
        TADOConnection connection;
        connection.SetConnectionString(QStringLiteral("Data Source=") + path);
        TADOQuery query;
        query.SetConnection(&connection);
        for (const QString &sql : statements) {
            query.SQL.Clear();
            query.SQL.Add(sql);
            for (int i = 0; i < query.Parameters.Count(); ++i)
                query.Parameters.SetValue(i, parameterValues.at(i % parameterValues.size()));
            try {
                query.Open();
            } catch (const Exception &) {
                FUZZ_CHECK(!query.Active(), QStringLiteral("a failed Open left the record set open"));
                continue;
            }
            // The rows after the first screen are read as they are needed:
            // a statement that fails further on fails there, as an error.
            try {
                ReadEveryField(query);
            } catch (const Exception &) {
            }
        }
    }
    FUZZ_CHECK(FileBytes(path) == before, QStringLiteral("reading changed the file"));
}
