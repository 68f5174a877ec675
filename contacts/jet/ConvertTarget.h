#pragma once

#include "platform/core/SaveFile.h"

#include <QString>
#include <optional>

// Where a converted database goes, and how it gets there.
//
// The new database is written to a temporary file beside the target and
// put in the target's place only by Commit, in one rename. The Jet file
// itself is only ever read. A target that exists already is replaced only
// when it is a Jet file (the file being converted, typically): it is kept
// under its name with ".jet" added. Any other existing file is refused, as
// is a ".jet" name that is taken.
class TConvertTarget {
public:
    // Checks source and target and creates the empty temporary file.
    // Raises EFileError with the reason when the conversion must not start.
    TConvertTarget(const QString &sourcePath, const QString &targetPath);
    // Without a Commit: the temporary file is removed.
    ~TConvertTarget();
    TConvertTarget(const TConvertTarget &) = delete;
    TConvertTarget &operator=(const TConvertTarget &) = delete;

    QString TempPath() const;
    // The name the existing Jet target will be kept under; empty when the
    // target does not exist yet.
    const QString &KeptJetPath() const { return FKeptJetPath; }

    // Syncs the finished database and puts it in the target's place,
    // keeping an existing Jet target as KeptJetPath() first.
    void Commit();

private:
    // Gives the Jet target its ".jet" name; true when that took its
    // original name away (no hard links).
    bool KeepJetTarget();
    QString FTargetPath;
    QString FKeptJetPath;
    std::optional<TSaveFile> FFile;
};
