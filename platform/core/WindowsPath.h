#pragma once

#include <QString>

// The program names its export files at the root of drive C:
// ("C:\VelmoraTelReh.xml"). On this system the root of drive C: is the
// user's home folder: "C:\VelmoraTelReh.xml" becomes $HOME/VelmoraTelReh.xml.
// Backslashes after the drive become folder separators; a name without a
// drive is returned with its backslashes turned into slashes.
QString LocalPathFor(const QString &windowsPath);
