// Any statement text: its parameters as the record set derives them, then
// the record set's Open on a small contacts database. An error or a
// snapshot; never a crash, and the file stays as it was.
#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzStore.h"

#include "store/ADOQuery.h"
#include "contacts/ContactsDatabase.h"

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
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList names = TParameters::ParameterNames(text);
    for (const QString &name : names) {
        FUZZ_CHECK(!name.isEmpty() && std::all_of(name.begin(), name.end(), IsNameChar), name);
        FUZZ_CHECK(text.contains(u':' + name), name);
    }
    ReadThroughRecordSet(DatabasePath(), {text}, {QStringLiteral("ş"), QStringLiteral("%a%")});
    return 0;
}
