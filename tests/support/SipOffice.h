#pragma once

#include "platform/telephony/sip/SipSettings.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// An office telephone system on loopback for the SIP tests, from Debian's
// packages, started by the test and stopped when the objects go.
//
// TSipOffice is Kamailio as registrar and proxy: digest authentication of
// REGISTER against its extensions (db_text), every INVITE to an extension
// forked in parallel to all of the extension's contacts, and every other
// number sent to the outside line at GatewayPort (where a TSipp far end
// waits).
class TSipOffice {
public:
    TSipOffice();
    ~TSipOffice();
    bool Running() const { return FRunning; }
    quint16 Port() const { return FPort; }
    quint16 GatewayPort() const { return FGatewayPort; }
    QString Server() const { return QStringLiteral("127.0.0.1:%1").arg(FPort); }
    // The contacts registered for the extension now.
    int Contacts(const QString &extension) const;
    // Stops the server (as a server that goes down does).
    void Stop();
    // Makes the office the line service's device in the settings of the
    // test's home, as the extension, with the extension's password for the
    // session; returns the account.
    TSipConfig UseAsLine(const QString &extension, int dialTimeout = 30) const;

    // The extensions and their passwords.
    static inline const QString kDesk = QStringLiteral("1001"), kDeskPassword = QStringLiteral("geheim");
    static inline const QString kOther = QStringLiteral("1002"), kOtherPassword = QStringLiteral("ikinci");

private:
    QTemporaryDir FDir;
    QProcess FProcess;
    quint16 FPort = 0;
    quint16 FGatewayPort = 0;
    bool FRunning = false;
};

// baresip as the user's desk phone on the extension: it answers at once
// (autoAnswer) or rings until the caller gives up, and follows a REFER.
class TDeskPhone {
public:
    TDeskPhone(const TSipOffice &office, const QString &extension, const QString &password, bool autoAnswer);
    ~TDeskPhone();
    bool Registered() const { return FRegistered; }
    // What baresip has printed so far.
    QByteArray Output();
    // Waits (bounded) until the output holds text.
    bool WaitFor(const QByteArray &text, int ms = 15000);

private:
    QTemporaryDir FDir;
    QProcess FProcess;
    QByteArray FOutput;
    bool FRegistered = false;
};

// SIPp scenarios. An outside caller: INVITE to the extension (SIPp's -s)
// with the given identity headers (P-Asserted-Identity when the server
// asserts one, then From, without its tag); it hangs up after the first
// ring, or (waitForAnswer) waits for the answer, acknowledges it and hangs up.
QByteArray SippCaller(const QByteArray &identity, bool waitForAnswer);
// A far end at the office's outside line: it answers the one INVITE with
// the given responses (180, 200, 486, ...), then takes the ACK; after a
// 200 it waits for the BYE.
QByteArray SippFarEnd(const QList<int> &responses);

// A SIPp party on loopback playing scenario (SIPp's XML) against the
// office: a far end at the office's GatewayPort, or a caller.
class TSipp {
public:
    // port 0: any free port.
    TSipp(const QByteArray &scenario, quint16 port, const QStringList &arguments);
    ~TSipp();
    bool Started() const { return FStarted; }
    // Waits (bounded) for the scenario's end; its exit code (0: played through).
    int Finish(int ms = 30000);
    QByteArray Messages(); // the message trace

private:
    QTemporaryDir FDir;
    QProcess FProcess;
    bool FStarted = false;
};
