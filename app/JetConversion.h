#pragma once

#include <QString>

// The question the error box asks when the database file is the earlier
// Windows version's Jet file: the error's text, then whether to convert.
QString JetConversionQuestion(const QString &errorText, const QString &path);

// Converts the Jet file at path into the program's database in its place,
// as "velmora-rehber-db convert" does: the new database is written beside
// it and put in its place only when complete, the Jet file kept under its
// name with ".jet" added. Raises EFileError and leaves the file as it was
// when the conversion fails.
//
// libmdb reads the file in a child process of its own (a damaged file may
// crash it). The child is forked from a thread that exists only for that,
// while this thread goes on serving the window's events (painting; input is
// held back until the end), and it runs nothing but the copy: libmdb,
// SQLite and plain memory, no lock another thread of the window may hold.
// Progress goes through TProgress; the conversion cannot be stopped halfway.
void ConvertJetDatabase(const QString &path);
