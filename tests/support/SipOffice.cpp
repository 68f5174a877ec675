#include "support/SipOffice.h"

#include "platform/telephony/ModemSettings.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

namespace {

// The proxy's configuration: %1 the folder, %2 the port, %3 the outside line's port.
const char *const kConfig = R"(#!KAMAILIO
debug=2
log_stderror=yes
children=2
tcp_children=2
listen=udp:127.0.0.1:%2
listen=tcp:127.0.0.1:%2
mpath="/usr/lib/x86_64-linux-gnu/kamailio/modules/"
loadmodule "tm.so"
loadmodule "sl.so"
loadmodule "pv.so"
loadmodule "maxfwd.so"
loadmodule "textops.so"
loadmodule "siputils.so"
loadmodule "xlog.so"
loadmodule "usrloc.so"
loadmodule "registrar.so"
loadmodule "db_text.so"
loadmodule "auth.so"
loadmodule "auth_db.so"
loadmodule "ctl.so"
loadmodule "kex.so"
modparam("ctl", "binrpc", "unix:%1/ctl")
modparam("usrloc", "db_mode", 0)
modparam("registrar", "max_contacts", 10)
modparam("auth_db", "db_url", "text://%1/db")
modparam("auth_db", "calculate_ha1", 1)
modparam("auth_db", "password_column", "password")
modparam("auth_db", "use_domain", 0)
request_route {
    if (!mf_process_maxfwd_header("10")) { sl_send_reply("483", "Too Many Hops"); exit; }
    if (is_method("REGISTER")) {
        if (!www_authorize("velmora.test", "subscriber")) { www_challenge("velmora.test", "0"); exit; }
        if (!save("location")) sl_reply_error();
        exit;
    }
    if (is_method("OPTIONS") && $rU == $null) { sl_send_reply("200", "OK"); exit; }
    if (is_method("CANCEL")) { if (t_check_trans()) t_relay(); exit; }
    if (has_totag()) { t_relay(); exit; }
    if (is_method("ACK")) { if (t_check_trans()) t_relay(); exit; }
    t_check_trans();
    if ($rU =~ "^1[0-9][0-9][0-9]$") {
        if (!lookup("location")) { sl_send_reply("480", "Temporarily Unavailable"); exit; }
        t_relay();
        exit;
    }
    $du = "sip:127.0.0.1:%3";
    t_relay();
}
)";

// A port for a party of the office: below the range the system hands out
// for outgoing sockets (so that no client socket takes it, or the one above
// it, which baresip binds for TLS, meanwhile), free for UDP and TCP, never
// one given before in this run, with the hundred ports from 1000 above it
// (baresip's media) clear of the others.
quint16 RigPort()
{
    static QList<quint16> given;
    const auto near = [](int a, int b) { return qAbs(a - b) <= 1 || (a >= b + 1000 && a <= b + 1101); };
    for (;;) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 31000));
        if (std::any_of(given.begin(), given.end(), [&](quint16 g) { return near(port, g) || near(g, port); }))
            continue;
        bool free = true;
        for (quint16 p : {port, quint16(port + 1)}) {
            QUdpSocket udp;
            QTcpServer tcp;
            free = free && udp.bind(QHostAddress::LocalHost, p) && tcp.listen(QHostAddress::LocalHost, p);
        }
        if (!free)
            continue;
        given << port;
        return port;
    }
}

bool WriteFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray Run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(2000);
}

} // namespace

TSipOffice::TSipOffice()
{
    FPort = RigPort();
    FGatewayPort = RigPort();
    const QString db = FDir.filePath(QStringLiteral("db"));
    QDir().mkpath(db);
    // No empty NOT NULL columns: the hashes are never read (the proxy
    // computes them from the password), but they must hold something.
    WriteFile(db + QStringLiteral("/version"), "table_name(string) table_version(int)\nsubscriber:7\n");
    WriteFile(db + QStringLiteral("/subscriber"),
              "id(int,auto) username(string) domain(string) password(string) ha1(string) ha1b(string)\n"
              "1:" + kDesk.toUtf8()
                  + ":velmora.test:" + kDeskPassword.toUtf8() + ":x:x\n2:" + kOther.toUtf8() + ":velmora.test:" + kOtherPassword.toUtf8()
                  + ":x:x\n");
    const QString config = FDir.filePath(QStringLiteral("kamailio.cfg"));
    WriteFile(config, QString::fromLatin1(kConfig).arg(FDir.path()).arg(FPort).arg(FGatewayPort).toUtf8());
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    FProcess.setStandardOutputFile(FDir.filePath(QStringLiteral("kamailio.log")));
    FProcess.start(QStringLiteral("kamailio"),
                   {QStringLiteral("-f"), config, QStringLiteral("-DD"), QStringLiteral("-E"), QStringLiteral("-Y"), FDir.path(),
                    QStringLiteral("-w"), FDir.path(), QStringLiteral("-m"), QStringLiteral("32"), QStringLiteral("-M"),
                    QStringLiteral("8")});
    if (!FProcess.waitForStarted(10000))
        return;
    for (int i = 0; i < 100 && !FRunning; ++i) {
        int code = -1;
        Run(QStringLiteral("kamcmd"),
            {QStringLiteral("-s"), QStringLiteral("unix:") + FDir.filePath(QStringLiteral("ctl")), QStringLiteral("core.uptime")}, &code);
        FRunning = code == 0 && FProcess.state() == QProcess::Running;
        if (!FRunning)
            QTest::qWait(100);
    }
}

TSipOffice::~TSipOffice()
{
    Stop();
}

void TSipOffice::Stop()
{
    ::Stop(FProcess);
    FRunning = false;
}

TSipConfig TSipOffice::UseAsLine(const QString &extension, int dialTimeout) const
{
    TSipConfig c;
    c.Server = Server();
    c.User = extension;
    c.DialTimeout = dialTimeout;
    SaveLineDevice(TLineDevice::Sip);
    SaveSipConfig(c);
    SetSipSessionPassword(c, extension == kDesk ? kDeskPassword : kOtherPassword);
    return c;
}

int TSipOffice::Contacts(const QString &extension) const
{
    const QByteArray out = Run(QStringLiteral("kamcmd"),
                               {QStringLiteral("-s"), QStringLiteral("unix:") + FDir.filePath(QStringLiteral("ctl")),
                                QStringLiteral("ul.lookup"), QStringLiteral("location"), QStringLiteral("s:") + extension});
    return int(out.count("Address:"));
}

TDeskPhone::TDeskPhone(const TSipOffice &office, const QString &extension, const QString &password, bool autoAnswer)
{
    const quint16 port = RigPort();
    WriteFile(FDir.filePath(QStringLiteral("config")),
              QStringLiteral("poll_method epoll\nsip_listen 127.0.0.1:%1\nsip_trans_def udp\nmodule_path /usr/lib/baresip/modules\n"
                             "module g711.so\nmodule ausine.so\nmodule aufile.so\nmodule_app account.so\nmodule_app menu.so\n"
                             "audio_player aufile,/dev/null\naudio_source ausine,440\naudio_alert aufile,/dev/null\n"
                             "ausrc_srate 48000\nauplay_srate 48000\nausrc_channels 2\nauplay_channels 2\n"
                             "rtp_ports %2-%3\n")
                  .arg(port)
                  .arg(port + 1000)
                  .arg(port + 1100)
                  .toUtf8());
    WriteFile(FDir.filePath(QStringLiteral("accounts")),
              QStringLiteral("<sip:%1@%2;transport=udp>;auth_pass=%3;answermode=%4;regint=600\n")
                  .arg(extension, office.Server(), password, QLatin1String(autoAnswer ? "auto" : "manual"))
                  .toUtf8());
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    FProcess.start(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("baresip"), QStringLiteral("-f"), FDir.path()});
    FRegistered = FProcess.waitForStarted(10000) && WaitFor(" 200 OK (");
}

TDeskPhone::~TDeskPhone()
{
    Stop(FProcess);
}

QByteArray TDeskPhone::Output()
{
    FOutput += FProcess.readAll();
    return FOutput;
}

bool TDeskPhone::WaitFor(const QByteArray &text, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (Output().contains(text))
            return true;
        QTest::qWait(50);
    }
    return Output().contains(text);
}

TSipp::TSipp(const QByteArray &scenario, quint16 port, const QStringList &arguments)
{
    const QString file = FDir.filePath(QStringLiteral("scenario.xml"));
    WriteFile(file, scenario);
    FProcess.setWorkingDirectory(FDir.path());
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    FProcess.start(QStringLiteral("sipp"),
                   QStringList{QStringLiteral("-sf"), file, QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                               QString::number(port ? port : RigPort()), QStringLiteral("-m"), QStringLiteral("1"),
                               QStringLiteral("-nostdin"), QStringLiteral("-trace_msg"), QStringLiteral("-message_file"),
                               FDir.filePath(QStringLiteral("messages.log"))}
                       + arguments);
    FStarted = FProcess.waitForStarted(10000);
}

TSipp::~TSipp()
{
    Stop(FProcess);
}

int TSipp::Finish(int ms)
{
    for (int waited = 0; waited < ms && FProcess.state() != QProcess::NotRunning; waited += 50)
        QTest::qWait(50);
    if (FProcess.state() != QProcess::NotRunning)
        return -1;
    return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
}

QByteArray TSipp::Messages()
{
    QFile file(FDir.filePath(QStringLiteral("messages.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SippCaller(const QByteArray &identity, bool waitForAnswer)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><scenario name=\"caller\">"
                     "<send retrans=\"500\"><![CDATA[\nINVITE sip:[service]@[remote_ip]:[remote_port] SIP/2.0\n"
                     "Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
                     + identity
                     + ";tag=[pid]caller[call_number]\nTo: <sip:[service]@[remote_ip]:[remote_port]>\nCall-ID: [call_id]\n"
                       "CSeq: 1 INVITE\nContact: <sip:caller@[local_ip]:[local_port]>\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>"
                       "<recv response=\"100\" optional=\"true\" />";
    if (waitForAnswer) {
        return xml
            + "<recv response=\"180\" optional=\"true\" /><recv response=\"180\" optional=\"true\" />"
              "<recv response=\"200\" rrs=\"true\" />"
              "<send><![CDATA[\nACK [next_url] SIP/2.0\nVia: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
              "[last_From:]\n[last_To:]\nCall-ID: [call_id]\nCSeq: 1 ACK\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>"
              "<pause milliseconds=\"300\" />"
              "<send retrans=\"500\"><![CDATA[\nBYE [next_url] SIP/2.0\nVia: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
              "[last_From:]\n[last_To:]\nCall-ID: [call_id]\nCSeq: 2 BYE\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>"
              "<recv response=\"200\" /></scenario>";
    }
    return xml
        + "<recv response=\"180\" /><pause milliseconds=\"500\" />"
          "<send><![CDATA[\nCANCEL sip:[service]@[remote_ip]:[remote_port] SIP/2.0\n[last_Via:]\n[last_From:]\n"
          "To: <sip:[service]@[remote_ip]:[remote_port]>\nCall-ID: [call_id]\nCSeq: 1 CANCEL\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>"
          "<recv response=\"200\" optional=\"true\" /><recv response=\"487\" />"
          "<send><![CDATA[\nACK sip:[service]@[remote_ip]:[remote_port] SIP/2.0\n[last_Via:]\n[last_From:]\n[last_To:]\n"
          "Call-ID: [call_id]\nCSeq: 1 ACK\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send></scenario>";
}

QByteArray SippFarEnd(const QList<int> &responses)
{
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><scenario name=\"far end\">"
        "<recv request=\"INVITE\" />";
    for (int status : responses) {
        xml += "<send><![CDATA[\nSIP/2.0 " + QByteArray::number(status)
            + " X\n[last_Via:]\n[last_From:]\n[last_To:];tag=[pid]far\n[last_Call-ID:]\n[last_CSeq:]\n"
              "Contact: <sip:far@[local_ip]:[local_port]>\nContent-Length: 0\n\n]]></send>";
    }
    xml += "<recv request=\"ACK\" />";
    if (responses.contains(200))
        xml +=
            "<recv request=\"BYE\" /><send><![CDATA[\nSIP/2.0 200 OK\n[last_Via:]\n[last_From:]\n[last_To:]\n[last_Call-ID:]\n"
            "[last_CSeq:]\nContent-Length: 0\n\n]]></send>";
    return xml + "</scenario>";
}
