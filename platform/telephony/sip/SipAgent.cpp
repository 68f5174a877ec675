#include "platform/telephony/sip/SipAgent.h"

#include "platform/telephony/sip/SipStack.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QUdpSocket>
#include <QUuid>

su_root_t *SipRoot()
{
    static su_root_t *root = []() {
        su_init();
        // Alert-Info, P-Asserted-Identity and the other extra headers.
        sip_update_default_mclass(sip_extend_mclass(nullptr));
        su_root_t *r = su_glib_root_create(nullptr);
        g_source_attach(su_glib_root_gsource(r), nullptr);
        return r;
    }();
    return root;
}

QString SipServerHost(const QString &server)
{
    const qsizetype colon = server.lastIndexOf(u':');
    if (colon > 0 && !server.contains(u']') && server.indexOf(u':') == colon)
        return server.left(colon);
    return server;
}

QString SipLocalAddress(const QString &server)
{
    // A server named by its host name is left to the stack, which resolves
    // it without holding up the window; the stack then listens everywhere.
    const QHostAddress remote(SipServerHost(server));
    if (remote.isNull())
        return QStringLiteral("*");
    // Connecting a datagram socket sends nothing; it only picks the route.
    QUdpSocket probe;
    probe.connectToHost(remote, 5060);
    const QString local = probe.localAddress().toString();
    return local.isEmpty() ? QStringLiteral("0.0.0.0") : local;
}

namespace {

void Dispatch(nua_event_t event, int status, char const *phrase, nua_t *, nua_magic_t *magic, nua_handle_t *nh, nua_hmagic_t *hmagic,
              sip_t const *sip, tagi_t *)
{
    static_cast<TSipAgent *>(magic)->OnEvent(event, status, phrase, nh, hmagic, sip);
}

// What an answer to REGISTER other than a challenge or 200 says.
TSipFailure FailureOf(int status, const char *phrase, bool tls)
{
    const QByteArray text(phrase ? phrase : "");
    if (tls && text.toLower().contains("certificate"))
        return TSipFailure::Certificate;
    // The stack's own codes (9xx), a timeout, or a transport it could not
    // reach: the server gave no answer.
    if (status >= 900 || status == 408 || status == 503)
        return TSipFailure::NoAnswer;
    return TSipFailure::Refused;
}

} // namespace

TSipAgent::TSipAgent(const TSipConfig &config, const QString &password, QObject *parent)
    : QObject(parent), FConfig(config), FPassword(password)
{
    FRetry.setSingleShot(true);
    connect(&FRetry, &QTimer::timeout, this, &TSipAgent::Register);
    FAnswerGuard.setSingleShot(true);
    FAnswerGuard.setInterval(AnswerTimeoutMs + 1000);
    connect(&FAnswerGuard, &QTimer::timeout, this, [this]() {
        if (FRegistration) {
            nua_handle_destroy(FRegistration);
            FRegistration = nullptr;
        }
        Fail(TSipFailure::NoAnswer);
    });
}

TSipAgent::~TSipAgent()
{
    if (!FNua)
        return;
    // The contact goes from the server, then the stack ends; both waited
    // for a bounded time.
    const auto waitFor = [](const bool &done, int ms) {
        QDeadlineTimer deadline(ms);
        QTimer tick; // wakes the wait to look at the deadline
        tick.start(50);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    if (FRegistration && FState == TState::Registered) {
        nua_unregister(FRegistration, TAG_END());
        waitFor(FUnregistered, 2000);
    }
    if (FRegistration)
        nua_handle_destroy(FRegistration);
    FRegistration = nullptr;
    nua_shutdown(FNua);
    waitFor(FShutDown, 10000);
    nua_destroy(FNua);
}

void TSipAgent::Start()
{
    if (!FConfig.IsComplete()) {
        Fail(TSipFailure::BadSettings);
        return;
    }
    if (FPassword.isEmpty()) {
        Fail(TSipFailure::NoPassword);
        return;
    }
    const QString local = SipLocalAddress(FConfig.Server);
    if (local.isEmpty()) {
        Fail(TSipFailure::NoAnswer);
        return;
    }
    const QString bind = FConfig.Transport == u"tls" ? QStringLiteral("sips:%1:*").arg(local)
                                                     : QStringLiteral("sip:%1:*;transport=%2").arg(local, FConfig.Transport);
    const QByteArray bindUrl = bind.toUtf8();
    FNua = nua_create(SipRoot(), Dispatch, this, NUTAG_URL(bindUrl.constData()), NTATAG_SIP_T1X64(AnswerTimeoutMs), NUTAG_MEDIA_ENABLE(0),
                      NUTAG_AUTOALERT(0), NUTAG_AUTOANSWER(0), NUTAG_ENABLEMESSAGE(0),
                      NUTAG_OUTBOUND("no-outbound no-validate no-natify no-options-keepalive"),
                      SIPTAG_USER_AGENT_STR("Velmora Telefon Rehberi"), TAG_END());
    if (!FNua) {
        Fail(TSipFailure::BadSettings);
        return;
    }
    Register();
}

bool TSipAgent::IsOwnCallId(const QByteArray &callId) const
{
    return FOwnCallIds.contains(callId);
}

nua_handle_s *TSipAgent::NewHandle(TSipHandleOwner *owner, const QString &target)
{
    const QByteArray to = target.toUtf8(), from = FConfig.Aor().toUtf8();
    const QByteArray callId = QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@velmora";
    FOwnCallIds.insert(callId);
    return nua_handle(FNua, owner, SIPTAG_TO_STR(to.constData()), SIPTAG_FROM_STR(from.constData()), SIPTAG_CALL_ID_STR(callId.constData()),
                      TAG_END());
}

bool TSipAgent::Authenticate(nua_handle_s *handle, const sip_s *challenge, int *tries)
{
    if (++*tries > 1 || !challenge)
        return false;
    const msg_auth_t *auth = challenge->sip_www_authenticate ? challenge->sip_www_authenticate : challenge->sip_proxy_authenticate;
    if (!auth || !auth->au_scheme)
        return false;
    const char *realm = msg_params_find(auth->au_params, "realm=");
    const QByteArray credentials = QByteArray(auth->au_scheme) + ':' + QByteArray(realm ? realm : "\"\"") + ':'
        + FConfig.AuthName().toUtf8() + ':' + FPassword.toUtf8();
    nua_authenticate(handle, NUTAG_AUTH(credentials.constData()), TAG_END());
    return true;
}

void TSipAgent::Register()
{
    if (FRegistration)
        nua_handle_destroy(FRegistration);
    FAuthTries = 0;
    FState = TState::Registering;
    const QByteArray aor = FConfig.Aor().toUtf8(), registrar = FConfig.ServerUri().toUtf8(), user = FConfig.User.toUtf8();
    FRegistration = nua_handle(FNua, nullptr, SIPTAG_TO_STR(aor.constData()), SIPTAG_FROM_STR(aor.constData()), TAG_END());
    nua_register(FRegistration, NUTAG_REGISTRAR(registrar.constData()), NUTAG_M_USERNAME(user.constData()),
                 SIPTAG_EXPIRES_STR(QByteArray::number(ExpirySeconds).constData()), TAG_END());
    FAnswerGuard.start();
}

void TSipAgent::OnEvent(int event, int status, const char *phrase, nua_handle_s *nh, void *hmagic, const sip_s *sip)
{
    if (event == nua_r_shutdown) {
        FShutDown = status >= 200;
        return;
    }
    if (nh && nh == FRegistration) {
        if (event == nua_r_register)
            OnRegisterAnswer(status, phrase, sip);
        else if (event == nua_r_unregister && status >= 200)
            FUnregistered = true; // ends the wait of the destructor
        return;
    }
    if (hmagic) {
        static_cast<TSipHandleOwner *>(hmagic)->OnSipEvent(event, status, phrase, nh, sip);
        return;
    }
    if (event == nua_i_invite && nh) {
        // The program's own call to the extension comes back to it as one
        // more device: it declines its part at once, with a code that gives
        // way to the desk phone's answer (busy, not registered).
        if (sip && sip->sip_call_id && IsOwnCallId(QByteArray(sip->sip_call_id->i_id))) {
            nua_respond(nh, SIP_488_NOT_ACCEPTABLE, TAG_END());
            return;
        }
        if (OnIncoming)
            OnIncoming(nh, sip);
        // Rings (never answers) even when no line watches.
        if (!nua_handle_magic(nh))
            nua_respond(nh, SIP_180_RINGING, TAG_END());
        return;
    }
    if (event == nua_i_terminated && nh)
        nua_handle_destroy(nh); // an offered call nobody watched, or the program's own
}

void TSipAgent::OnRegisterAnswer(int status, const char *phrase, const sip_s *sip)
{
    if (status < 200)
        return;
    FAnswerGuard.stop();
    if (status == 401 || status == 407) {
        if (Authenticate(FRegistration, sip, &FAuthTries)) {
            FAnswerGuard.start();
            return;
        }
        Fail(TSipFailure::WrongPassword);
        return;
    }
    if (status >= 300) {
        Fail(FailureOf(status, phrase, FConfig.Transport == u"tls"));
        return;
    }
    const bool was = FState == TState::Registered;
    FState = TState::Registered;
    FFailure = TSipFailure::None;
    FFailures = 0;
    FAuthTries = 0;
    if (!was)
        Q_EMIT Registered();
}

void TSipAgent::Fail(TSipFailure failure)
{
    FState = TState::Failed;
    const bool first = FFailures == 0;
    FFailure = failure;
    ++FFailures;
    if (FNua && failure != TSipFailure::BadSettings && failure != TSipFailure::NoPassword) {
        const int wait = int(qMin<qint64>(qint64(RetryBaseMs) << qMin(FFailures - 1, 20), RetryMaxMs));
        FRetry.start(wait);
    }
    if (first)
        Q_EMIT Failed(failure);
}

TSipFailure TrySipRegistration(const TSipConfig &config, const QString &password)
{
    TSipAgent agent(config, password);
    QEventLoop loop;
    QObject::connect(&agent, &TSipAgent::Registered, &loop, &QEventLoop::quit);
    QObject::connect(&agent, &TSipAgent::Failed, &loop, &QEventLoop::quit);
    QTimer::singleShot(TSipAgent::AnswerTimeoutMs + 3000, &loop, &QEventLoop::quit);
    agent.Start();
    if (agent.State() == TSipAgent::TState::Registering)
        loop.exec();
    if (agent.State() == TSipAgent::TState::Registered)
        return TSipFailure::None;
    return agent.State() == TSipAgent::TState::Failed ? agent.Failure() : TSipFailure::NoAnswer;
}
