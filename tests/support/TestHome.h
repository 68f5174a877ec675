#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test its own HOME, XDG config folder and working directory in a
// temporary folder, removed when the object goes. Construct it before the
// code under test reads any of them.
class TTestHome {
public:
    TTestHome();
    ~TTestHome();
    QString Path() const { return FDir.path(); }
    QString FilePath(const QString &name) const { return FDir.filePath(name); }

private:
    QTemporaryDir FDir;
    QString FOldCwd;
    QByteArray FOldHome;
    QByteArray FOldConfig;
};
