#pragma once

#include <QString>

// The office's SIP server as the line service reaches it, kept in the
// [Sip] group of Velmora/Telefon.ini, where an office may also hand it out:
// Server (host[:port]), User (the extension), AuthUser (when the server
// knows the extension under another name) and Transport (udp, tcp, tls).
// The password is never written there: it is kept for the session only.
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

// The password of config's account for this session; empty when none was
// given yet.
QString SipSessionPassword(const TSipConfig &config);
void SetSipSessionPassword(const TSipConfig &config, const QString &password);
