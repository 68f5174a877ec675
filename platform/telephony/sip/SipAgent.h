#pragma once

#include "platform/telephony/sip/SipSettings.h"

#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>

struct nua_s;
struct nua_handle_s;
struct sip_s;

// Why the server did not take the registration.
enum class TSipFailure { None, NoPassword, WrongPassword, NoAnswer, Refused, Certificate, BadSettings };
Q_DECLARE_METATYPE(TSipFailure)

// What a call or an offered call of the agent is told: one event of the
// SIP stack for its handle (the stack's event number, status and message).
class TSipHandleOwner {
public:
    virtual ~TSipHandleOwner() = default;
    virtual void OnSipEvent(int event, int status, const char *phrase, nua_handle_s *handle, const sip_s *sip) = 0;
};

// The program as one more device of the user's extension: a SIP user agent
// (sofia-sip, run by Qt's GLib main loop on this thread) that registers its
// own contact with the office's server and keeps it registered. The stack
// refreshes the registration before it expires; a registration that fails
// is tried again after a wait that doubles each time (RetryBaseMs up to
// RetryMaxMs), and Failed is emitted once for a run of failures, not at
// each try. A server that gives no answer fails after AnswerTimeoutMs.
// The contact is removed from the server when the agent goes.
//
// Offered calls (an INVITE on a handle nobody owns) go to OnIncoming; other
// handles' events go to their owner.
class TSipAgent : public QObject {
    Q_OBJECT
public:
    enum class TState { Idle, Registering, Registered, Failed };
    static inline int RetryBaseMs = 5000;
    static constexpr int RetryMaxMs = 10 * 60 * 1000;
    static constexpr int AnswerTimeoutMs = 8000;
    static constexpr int ExpirySeconds = 600;

    TSipAgent(const TSipConfig &config, const QString &password, QObject *parent = nullptr);
    ~TSipAgent() override;
    TSipAgent(const TSipAgent &) = delete;
    TSipAgent &operator=(const TSipAgent &) = delete;

    // Registers from the event loop.
    void Start();
    TState State() const { return FState; }
    TSipFailure Failure() const { return FFailure; }
    // Failed registrations since the last that succeeded.
    int Failures() const { return FFailures; }
    // The wait before the next try after a failure; 0 when none is planned.
    int NextRetryMs() const { return FRetry.isActive() ? FRetry.interval() : 0; }
    const TSipConfig &Config() const { return FConfig; }
    // The Call-IDs of the agent's own calls, never shown as offered calls.
    bool IsOwnCallId(const QByteArray &callId) const;

    nua_s *Stack() const { return FNua; }
    // A handle for a new call to target, whose events go to owner; its
    // Call-ID is one of the agent's own.
    nua_handle_s *NewHandle(TSipHandleOwner *owner, const QString &target);
    // Answers the server's challenge on handle with the account's password;
    // false when it was answered once already (the password is wrong).
    bool Authenticate(nua_handle_s *handle, const sip_s *challenge, int *tries);
    // Offered calls: the handle is the agent's until the callback takes it
    // (nua_handle_bind) or returns.
    std::function<void(nua_handle_s *handle, const sip_s *sip)> OnIncoming;

    // One event of the stack (its callback calls this).
    void OnEvent(int event, int status, const char *phrase, nua_handle_s *nh, void *hmagic, const sip_s *sip);

Q_SIGNALS:
    void Registered();
    void Failed(TSipFailure failure);

private:
    void OnRegisterAnswer(int status, const char *phrase, const sip_s *sip);
    void Register();
    void Fail(TSipFailure failure);

    TSipConfig FConfig;
    QString FPassword;
    nua_s *FNua = nullptr;
    nua_handle_s *FRegistration = nullptr;
    int FAuthTries = 0;
    TState FState = TState::Idle;
    TSipFailure FFailure = TSipFailure::None;
    int FFailures = 0;
    bool FUnregistered = false;
    bool FShutDown = false;
    QSet<QByteArray> FOwnCallIds;
    QTimer FRetry;
    QTimer FAnswerGuard;
};

// Registers config's account once, waiting in place (at most
// AnswerTimeoutMs and a little), and says why it failed; None when the
// server took it. The contact is removed again afterwards.
TSipFailure TrySipRegistration(const TSipConfig &config, const QString &password);
