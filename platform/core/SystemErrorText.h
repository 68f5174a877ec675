#pragma once

#include <QString>

// The window's Turkish for the system's words about a failed call (the
// text strerror gives for ENOENT, EACCES, EISDIR, EBUSY, ENODEV, EIO,
// ENOSPC, EROFS, ETIMEDOUT, ECONNREFUSED and the other common ones), so
// that no English reaches a user of the window. An empty string for any
// other text: a library's or a server's own words are not shown there.
QString SystemErrorText(const QString &systemText);
