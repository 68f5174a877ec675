// Any statement text: its parameters as the record set derives them, then
// the record set's Open on a small contacts database, every field read.
// An error or a snapshot; never a crash, and the file stays as it was.
#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzStore.h"

#include "platform/core/Exception.h"
#include "store/ADOConnection.h"
#include "store/ADOQuery.h"
#include "tools/ContactsDatabase.h"

#include <QFile>
#include <algorithm>

namespace {

bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

const QString &DatabasePath()
{
    static const QString path = [] {
        const QString p = FuzzFolder() + QStringLiteral("/fihrist.mdb");
        CreateContactsDatabase(p);
        AddSampleContacts(p, 20);
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QByteArray original = FileBytes(DatabasePath());
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const QStringList names = TParameters::ParameterNames(text);
    for (const QString &name : names) {
        FUZZ_CHECK(!name.isEmpty() && std::all_of(name.begin(), name.end(), IsNameChar), name);
        FUZZ_CHECK(text.contains(u':' + name), name);
    }

    TADOConnection connection;
    UseDatabaseFile(connection, DatabasePath());
    TADOQuery query;
    query.SetConnection(&connection);
    query.SQL.Add(text);
    FUZZ_CHECK(query.Parameters.Count() == names.size(), text);
    for (int i = 0; i < query.Parameters.Count(); ++i)
        query.Parameters.SetValue(i, i % 2 ? QStringLiteral("%a%") : QStringLiteral("ş"));
    try {
        ReadEveryField(query);
    } catch (const Exception &) {
        FUZZ_CHECK(!query.Active(), QStringLiteral("a failed Open left the record set open"));
    }
    query.Close();
    connection.Close();
    FUZZ_CHECK(FileBytes(DatabasePath()) == original, QStringLiteral("the statement changed the file: ") + text);
    return 0;
}
