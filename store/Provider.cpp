#include "store/Provider.h"

QString DatabaseInUseText()
{
    return QStringLiteral(
        "the database is in use by another program, which did not let go of it in time; "
        "nothing was written");
}
