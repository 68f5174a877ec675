#include "store/Provider.h"

EDatabaseError DatabaseInUseError()
{
    return EDatabaseError(QStringLiteral("the database is in use by another program, which did not let go of it in time; "
                                         "nothing was written"),
                          {TErrorKind::DatabaseInUse, {}, {}, 0});
}
