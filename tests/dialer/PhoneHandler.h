#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A phone application of the tests' own, for tel: links. While the object
// lives, the process's XDG data folders (and system config folders) are
// empty temporary ones, so that no application of the machine answers; the
// user config folder stays the test home's. Register puts a desktop entry
// with MimeType=x-scheme-handler/tel; there and makes it the default with
// xdg-mime; its command appends each link it is given to a log.
class TPhoneHandler {
public:
    TPhoneHandler();
    ~TPhoneHandler();

    // startable false: the entry's program does not exist.
    void Register(bool startable = true);
    void Unregister();
    // The links received so far, one a line.
    QByteArray Received() const;

private:
    QTemporaryDir FDir;
    QByteArray FOldDataHome, FOldDataDirs, FOldConfigDirs;
};
