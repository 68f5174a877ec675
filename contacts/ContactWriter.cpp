#include "contacts/ContactWriter.h"

#include "platform/core/Exception.h"
#include "store/ContactsTable.h"
#include "store/Provider.h"
#include "store/RowArena.h"

#include <algorithm>

TContactsShape ReadContactsShape(TProvider &engine)
{
    TRowArena rows;
    std::vector<TResultColumn> result;
    TResultTable table;
    engine.Select(QString::fromLatin1(ContactsShapeSql()), {}, {}, rows, result, table);
    int count = 0;
    const TContactColumn *columns = ContactColumns(&count);
    TContactsShape shape;
    shape.Target = table.Target;
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(columns[i].Name);
        const auto found = std::find_if(result.begin(), result.end(),
                                        [&](const TResultColumn &c) { return c.Name.compare(name, Qt::CaseInsensitive) == 0; });
        if (found == result.end())
            throw EDatabaseError(QStringLiteral("the table DBASE has no column %1").arg(name));
        shape.Columns << (found->Origin.isEmpty() ? found->Name : found->Origin);
        shape.Widths.push_back(found->Size);
    }
    if (!table.Updatable)
        throw EDatabaseError(QStringLiteral("the table DBASE cannot be written"));
    if (table.KeyColumns.size() == 1) {
        const TResultColumn &key = result[std::size_t(table.KeyColumns.front())];
        shape.Key = key.Origin.isEmpty() ? key.Name : key.Origin;
    }
    return shape;
}

TContactWriter::TContactWriter(TProvider &engine, const TContactsShape &shape) : FEngine(engine), FShape(shape)
{
    FEngine.BeginWrite();
    FOpen = true;
}

TContactWriter::~TContactWriter()
{
    FInsert.reset();
    if (FOpen)
        FEngine.RollbackWrite();
}

void TContactWriter::Add(const QByteArray *values)
{
    // Begun with the first row: until then the transaction may read.
    if (!FInsert)
        FInsert = FEngine.BulkInsert(FShape.Target, FShape.Columns);
    FInsert->Add(values);
}

void TContactWriter::FinishRows()
{
    if (!FInsert)
        return;
    FInsert->Finish();
    FInsert.reset();
}

void TContactWriter::Commit()
{
    FinishRows();
    FEngine.CommitWrite();
    FOpen = false;
}
