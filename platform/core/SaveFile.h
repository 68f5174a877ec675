#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// A file written beside its target and put in the target's place only when
// complete: the bytes go to a temporary file in the same folder ("." + name
// + a random suffix, with the mode a new file gets), Commit syncs it and
// renames it over the target in one step, then syncs the folder. Until
// then the target is untouched; a save that goes without Commit (a failure,
// a cancel) removes the temporary file and leaves the target as it was.
// Failures raise EFileError: "Cannot create file \"%1\". %2" or
// "Cannot write file \"%1\". %2" (the target's path, the system's text).
class TSaveFile {
public:
    explicit TSaveFile(const QString &targetPath);
    ~TSaveFile();
    TSaveFile(const TSaveFile &) = delete;
    TSaveFile &operator=(const TSaveFile &) = delete;

    const QString &TargetPath() const { return FTargetPath; }
    QString TempPath() const;

    // Writes all of the bytes (unbuffered: callers write in large pieces).
    void Write(const char *data, std::size_t size);
    void Write(const QByteArray &bytes) { Write(bytes.constData(), std::size_t(bytes.size())); }
    // Closes the temporary file for this object, so that another program or
    // library writes it by its name; Commit then syncs it by name.
    void CloseTemp();
    // While this save is under way, an interrupt (SIGINT, SIGTERM, SIGHUP)
    // removes the temporary file before the program ends. One save at a time.
    void RemoveOnInterrupt();

    // Commit in two steps, for a caller with work between them: Sync makes
    // the temporary file durable, Replace puts it in the target's place.
    void Sync();
    void Replace();
    void Commit()
    {
        Sync();
        Replace();
    }

private:
    [[noreturn]] void Fail(bool create, int error);
    void Discard() noexcept;

    QString FTargetPath;
    QByteArray FTargetName; // in the file system's encoding
    QByteArray FTempName;
    int FFd = -1;
    bool FSynced = false;
};
