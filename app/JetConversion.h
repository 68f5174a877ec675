#pragma once

#include <QString>

// The question the error box asks when the database file is the earlier
// Windows version's Jet file: the error's text, then whether to convert.
QString JetConversionQuestion(const QString &errorText, const QString &path);

// Converts the Jet file at path into the program's database in its place
// by running "velmora-rehber-db convert PATH --out PATH": the new database
// is written beside it and put in its place only when complete, the Jet file
// kept under its name with ".jet" added. Raises EFileError with the tool's
// own message, the file left as it was, when the conversion fails.
//
// The tool runs as a program of its own (next to this one, else on PATH),
// not as a fork of the window: its Jet reader must run in a fresh process,
// which a fork of a process with the window's threads is not. Meanwhile the
// window keeps painting (input is held back until the end) and TProgress
// says that the work goes on; it cannot be stopped halfway.
void ConvertJetDatabase(const QString &path);

// Where the contacts tool is: beside the program (or in the build tree's
// tools/), else on PATH; empty when nowhere.
QString ContactsToolPath();
