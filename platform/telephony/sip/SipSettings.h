#pragma once

#include "platform/core/Credentials.h"

#include <QString>

// The office's SIP server as the line service reaches it, kept in the
// [Sip] group of Velmora/Telefon.ini, where an office may also hand it out:
// Server (host[:port]), User (the extension), AuthUser (when the server
// knows the extension under another name) and Transport (udp, tcp, tls).
// The password is never written there: it is kept where the program keeps
// passwords (the keyring, or ~/.netrc with the user's consent).
struct TSipConfig {
    QString Server;
    QString User;
    QString AuthUser;
    QString Transport = QStringLiteral("udp");
    int DialTimeout = 30; // seconds the desk phone has to answer

    bool operator==(const TSipConfig &) const = default;
    // The name the server asks for in its challenge.
    QString AuthName() const { return AuthUser.isEmpty() ? User : AuthUser; }
    // The extension's address, e.g. "sip:1001@santral.example".
    QString Aor() const;
    // The server as a SIP URI with its transport.
    QString ServerUri() const;
    bool IsComplete() const { return !Server.isEmpty() && !User.isEmpty(); }
};

TSipConfig LoadSipConfig();
void SaveSipConfig(const TSipConfig &config);

// The password of config's account: the one given in this session, else
// the keyring's or ~/.netrc's; empty when there is none.
QString SipSessionPassword(const TSipConfig &config);
void SetSipSessionPassword(const TSipConfig &config, const QString &password);
// Where the account's password is kept: its host without the port and the
// name the server asks for.
TCredential SipCredential(const TSipConfig &config);
// Keeps the password for this session and in the keyring (or, when there
// is none and allowNetRc, in ~/.netrc). Where it went; None when nowhere
// beyond the session (no keyring, or the keyring or the file refused it).
TPasswordPlace KeepSipPassword(const TSipConfig &config, const QString &password, bool allowNetRc);
