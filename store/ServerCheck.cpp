#include "store/ServerCheck.h"

#include "store/CellValue.h"
#include "store/FieldTypes.h"
#include "store/PgProvider.h"
#include "store/RowArena.h"

namespace {

// The table as the program's statements name it ("DBASE", unquoted), found
// through the connection's search path like they find it.
const char *const AccessStatement =
    "SELECT (t.oid IS NOT NULL)::int,"
    " COALESCE(has_table_privilege(t.oid, 'SELECT'), false)::int,"
    " COALESCE(has_table_privilege(t.oid, 'INSERT') AND has_table_privilege(t.oid, 'UPDATE')"
    "          AND has_table_privilege(t.oid, 'DELETE'), false)::int"
    " FROM (SELECT to_regclass('dbase')::oid AS oid) t";

} // namespace

TServerAccess CheckServer(const QString &conninfo)
{
    TPgProvider server(conninfo, TPgProvider::TExpect::Nothing);
    TRowArena rows;
    std::vector<TResultColumn> columns;
    TResultTable table;
    server.Select(QString::fromLatin1(AccessStatement), {}, {}, rows, columns, table);
    const auto flag = [&](int column) { return rows.RowCount() == 1 && CellText(rows.Cell(0, column), ftString) == u"1"; };
    if (!flag(0))
        return TServerAccess::TableMissing;
    server.CheckContactsSchema(); // a table the program would refuse is named as such
    if (!flag(1))
        return TServerAccess::NoRead;
    return flag(2) ? TServerAccess::ReadWrite : TServerAccess::ReadOnly;
}
