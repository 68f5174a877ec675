#pragma once

#include <QString>
#include <optional>

// The user's ~/.netrc, as ftp, curl and git read it: entries
// "machine HOST login USER password PASS" (and "account", "macdef NAME"
// with its lines up to a blank one, and one "default" entry for any other
// host); tokens are separated by any white space and may be quoted with
// '"' (backslash escapes inside); a line whose first character is '#' is
// a comment.
QString NetRcPath();

// The password of the first entry for host whose login is user, else of
// the first one for host that names no login, else the same among the
// "default" entries; host compares without regard to case.
std::optional<QString> NetRcPassword(const QString &text, const QString &host, const QString &user);

// The text with password set for host and user: the entry's password
// token is replaced (or added after its login) and everything else stays
// byte for byte; without such an entry, a line
// "machine HOST login USER password PASS" goes before the "default"
// entry, or at the end.
QString NetRcWithPassword(const QString &text, const QString &host, const QString &user, const QString &password);

// Reads the file (empty when it does not exist) and writes it back with
// the password, readable and writable by its owner only. Raises EFileError.
std::optional<QString> ReadNetRcPassword(const QString &path, const QString &host, const QString &user);
void WriteNetRcPassword(const QString &path, const QString &host, const QString &user, const QString &password);
