#pragma once

#include <QStringList>

// velmora-rehber-db export FILE --format vcard|csv [--from fihrist.mdb]
//                                [--vcard-version 3.0|4.0] [--delimiter ,|;|tab]
// args: what follows the command's name. Returns the exit status: 0 done,
// 1 failed, 2 wrong arguments.
int ExportCommand(const QStringList &args);
