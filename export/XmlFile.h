#pragma once

#include "platform/core/SaveFile.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <string_view>

// The export file while it is being written.
//
// The bytes go through one bounded buffer, XmlTextBuffer, to a TSaveFile
// (written beside the target, put in its place by Commit); every write to
// the disk is checked and a failure raises EFileError. The target is either
// the complete new export or the previous one: a failed export leaves no
// torn file and no temporary file behind.
class TXmlFile {
public:
    // The size of XmlTextBuffer. Memory of an export is this buffer and one
    // value, however many records are written.
    static constexpr std::size_t XmlTextBufferSize = 64 * 1024;

    // Creates the temporary file for targetPath and allocates the buffer.
    // Raises "Cannot create file \"%s\". %s" (target path, system's text).
    explicit TXmlFile(const QString &targetPath);
    // Without a Commit: the temporary file is removed.
    ~TXmlFile();
    TXmlFile(const TXmlFile &) = delete;
    TXmlFile &operator=(const TXmlFile &) = delete;

    const QString &TargetPath() const { return FFile.TargetPath(); }

    void Write(std::string_view bytes);
    void Put(char c)
    {
        if (FUsed == XmlTextBufferSize)
            Flush();
        FBuffer[FUsed++] = c;
    }
    // Room for at least n more bytes without a flush in between (n is at
    // most the buffer size); Put and PutUnchecked then fill it.
    void Reserve(std::size_t n)
    {
        if (XmlTextBufferSize - FUsed < n)
            Flush();
    }
    void PutUnchecked(char c) { FBuffer[FUsed++] = c; }

    // Writes out what the buffer holds, syncs, closes, releases the buffer
    // and puts the file in the target's place.
    void Commit();

private:
    void Flush();

    TSaveFile FFile;
    std::unique_ptr<char[]> FBuffer; // XmlTextBuffer
    std::size_t FUsed = 0;
};
