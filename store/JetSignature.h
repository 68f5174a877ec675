#pragma once

#include <QByteArray>
#include <QString>

// The database file of the program's earlier Windows version is a Jet
// database (Jet 3 or Jet 4). Its first page names the engine: bytes 4 to 19
// are "Standard Jet DB" and a zero byte.

// True when the first bytes of a file are those of a Jet database.
bool HasJetSignature(const QByteArray &head);

// True when the file at path is a regular file that can be read and begins
// like a Jet database.
bool IsJetFile(const QString &path);

// How the program names the command that converts the Jet file at path
// into a contacts database.
QString JetConvertHint(const QString &path);
