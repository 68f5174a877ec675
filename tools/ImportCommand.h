#pragma once

#include <QStringList>

// velmora-rehber-db import FILE [--into fihrist.mdb] [--encoding NAME]
//                                [--dry-run] [--skip-bad] [--allow-duplicates]
// args: what follows the command's name. Returns the exit status: 0 done,
// 1 failed (nothing written), 2 wrong arguments.
int ImportCommand(const QStringList &args);
