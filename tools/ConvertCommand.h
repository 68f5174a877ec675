#pragma once

#include <QStringList>

// velmora-rehber-db convert OLD.mdb [--out fihrist.mdb] [--codepage 1254]
//
// Converts a Jet file of the program's earlier Windows version into the
// program's database. args are the words after "convert". Prints a
// progress line on a terminal and a one-line summary; returns the exit
// status: 0 done, 1 failed (nothing written), 2 wrong usage.
int RunConvertCommand(const QStringList &args);
