#pragma once

#include <QString>

// A user's file opened for reading. Only a regular file is ever opened: a
// folder cannot be read as one, and a named pipe, a device or a socket
// would block the reading or never end it (a pipe without a writer blocks
// its open forever). The check and the open are one step, so the file
// cannot be swapped between them.
//
// Raises EFileError with its kind: FileMissing (nothing at path), NotAFile
// (a folder, a pipe, a device, a socket), FileRead (this user may not read
// it, or the system refuses it).
class TReadableFile {
public:
    explicit TReadableFile(const QString &path);
    ~TReadableFile();
    TReadableFile(const TReadableFile &) = delete;
    TReadableFile &operator=(const TReadableFile &) = delete;

    // The open descriptor (blocking reads), owned by this object until
    // Release hands it to the caller.
    int Handle() const { return FFd; }
    int Release();
    qint64 Size() const { return FSize; }

private:
    int FFd = -1;
    qint64 FSize = 0;
};

// For a library that opens the file by its name itself (the database
// engines): raises as TReadableFile does, else the file may be opened.
void CheckReadableFile(const QString &path);
