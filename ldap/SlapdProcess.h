#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Debian's OpenLDAP server, started as a child with a configuration of its
// own: the schemas inetOrgPerson needs and one back-sock database on the
// directory's base, answered through socketPath.
struct TSlapdSettings {
    QString Listen; // ldap://HOST:PORT/ or ldaps://HOST:PORT/
    QByteArray Base;
    QString SocketPath;
    QString CertFile, KeyFile; // for ldaps://
    bool BindOnly = false;     // only a client that bound may search
};

// The slapd.conf text; folder holds slapd's pid and args files.
QByteArray SlapdConfig(const TSlapdSettings &settings, const QString &folder);

class TSlapdChild {
public:
    TSlapdChild() = default;
    ~TSlapdChild() { Stop(); }
    TSlapdChild(const TSlapdChild &) = delete;
    TSlapdChild &operator=(const TSlapdChild &) = delete;

    // Writes the configuration into folder and starts slapd on it, with no
    // signal blocked. Raises EFileError when it cannot be started.
    void Start(const TSlapdSettings &settings, const QString &folder);
    // True once slapd accepts connections at the address it listens on;
    // false when it ended first, or after waitMs.
    bool WaitUntilListening(const QString &listen, int waitMs);
    // False once slapd has ended (it is then reaped).
    bool Running();
    // Ends slapd (SIGTERM) and waits for it.
    void Stop();

private:
    pid_t FPid = -1;
};
