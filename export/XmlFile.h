#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <string_view>

// The export file while it is being written.
//
// The bytes go to a temporary file beside the target ("." + name + a random
// suffix) through one bounded buffer, XmlTextBuffer; every write to the disk
// is checked and a failure raises EFileError. Commit flushes the buffer,
// syncs and closes the file and only then renames it over the target, so
// the target is either the complete new export or the previous one: a failed
// export leaves no torn file and no temporary file behind.
class TXmlFile {
public:
    // The size of XmlTextBuffer. Memory of an export is this buffer and one
    // value, however many records are written.
    static constexpr std::size_t XmlTextBufferSize = 64 * 1024;

    // Creates the temporary file for targetPath and allocates the buffer.
    // Raises "Cannot create file \"%s\". %s" (target path, system's text).
    explicit TXmlFile(const QString &targetPath);
    // Without a Commit: closes and removes the temporary file.
    ~TXmlFile();
    TXmlFile(const TXmlFile &) = delete;
    TXmlFile &operator=(const TXmlFile &) = delete;

    const QString &TargetPath() const { return FTargetPath; }

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
    void Discard() noexcept;
    enum TFailure { CreateFailed, WriteFailed };
    // Removes the temporary file and raises the error's text.
    [[noreturn]] void Fail(TFailure failure, int error);

    QString FTargetPath;
    QByteArray FTargetName;   // target path in the file system's encoding
    QByteArray FTempName;
    int FFd = -1;
    std::unique_ptr<char[]> FBuffer; // XmlTextBuffer
    std::size_t FUsed = 0;
};
