// The office telephone's two waits the user sees, against a datagram's trip
// through the same event loop as the anchor, in the same run:
//
//   build/bench/bench/sip_calls/bench_sip_calls
//
// BM_InviteToGelenArama: from the server's INVITE leaving its socket to
// "Gelen Arama" shown with the caller. BM_ClickToDeskPhoneInvite: from the
// dial request (lineMakeCall) to the INVITE for the desk phone arriving at
// the server. The server is a small registrar of the benchmark's own on
// loopback, so that only the program's part is timed. Each should stay
// under 100 ms.
#include "app/IncomingCallForm.h"
#include "bench/support/BenchSupport.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/ModemSettings.h"
#include "platform/telephony/sip/SipSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <chrono>

namespace {

// The header of a request's line that starts with name ("Via:"), or empty.
QByteArray Header(const QByteArray &message, const QByteArray &name)
{
    for (const QByteArray &line : message.split('\n')) {
        if (line.startsWith(name))
            return line.trimmed();
    }
    return QByteArray();
}

// A registrar that takes every REGISTER, notes where the program's contact
// is, and sends it INVITEs; INVITEs from the program are noted and refused.
class TBenchServer : public QObject {
public:
    TBenchServer()
    {
        FSocket.bind(QHostAddress::LocalHost, 0);
        connect(&FSocket, &QUdpSocket::readyRead, this, &TBenchServer::Read);
    }
    quint16 Port() const { return FSocket.localPort(); }
    bool Registered() const { return FContactPort != 0; }
    int InvitesReceived = 0;
    int CallsEnded = 0; // INVITEs of the server's own that ended (487)

    void Invite(int n)
    {
        const QByteArray id = QByteArray::number(n);
        FInvite = "INVITE sip:1001@127.0.0.1:" + QByteArray::number(FContactPort)
            + " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:" + QByteArray::number(Port()) + ";branch=z9hG4bK-bench-" + id
            + "\r\nMax-Forwards: 70\r\nFrom: \"Bench\" <sip:05321112233@127.0.0.1>;tag=b" + id
            + "\r\nTo: <sip:1001@127.0.0.1>\r\nCall-ID: bench-" + id + "@127.0.0.1\r\nCSeq: 1 INVITE\r\nContact: <sip:bench@127.0.0.1:"
            + QByteArray::number(Port()) + ">\r\nContent-Length: 0\r\n\r\n";
        Send(FInvite);
    }
    // Ends the INVITE sent last: CANCEL, and the ACK for its 487.
    void Cancel()
    {
        QByteArray cancel = FInvite;
        cancel.replace("INVITE sip:", "CANCEL sip:").replace("CSeq: 1 INVITE", "CSeq: 1 CANCEL");
        Send(cancel);
    }

private:
    void Send(const QByteArray &message) { FSocket.writeDatagram(message, QHostAddress::LocalHost, FContactPort); }
    void Read()
    {
        while (FSocket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = FSocket.receiveDatagram();
            const QByteArray m = datagram.data();
            if (m.startsWith("REGISTER")) {
                FContactPort = quint16(datagram.senderPort());
                Answer(m, datagram, "200 OK", Header(m, "Contact:") + ";expires=600\r\n");
            } else if (m.startsWith("INVITE")) {
                ++InvitesReceived;
                Answer(m, datagram, "486 Busy Here", QByteArray());
            } else if (m.startsWith("SIP/2.0 487")) {
                ++CallsEnded;
                QByteArray ack = FInvite;
                ack.replace("INVITE sip:", "ACK sip:").replace("CSeq: 1 INVITE", "CSeq: 1 ACK");
                ack.replace(Header(ack, "To:"), Header(m, "To:"));
                Send(ack);
            } else if (!m.startsWith("SIP/2.0") && !m.startsWith("ACK")) {
                Answer(m, datagram, "200 OK", QByteArray());
            }
        }
    }
    void Answer(const QByteArray &request, const QNetworkDatagram &from, const QByteArray &status, const QByteArray &extra)
    {
        QByteArray reply = "SIP/2.0 " + status + "\r\n";
        for (const QByteArray &name :
             {QByteArrayLiteral("Via:"), QByteArrayLiteral("From:"), QByteArrayLiteral("Call-ID:"), QByteArrayLiteral("CSeq:")})
            reply += Header(request, name) + "\r\n";
        const QByteArray to = Header(request, "To:");
        reply += to + (to.contains(";tag=") ? "" : ";tag=srv") + "\r\n" + extra + "Content-Length: 0\r\n\r\n";
        FSocket.writeDatagram(reply, from.senderAddress(), quint16(from.senderPort()));
    }

    QUdpSocket FSocket;
    quint16 FContactPort = 0;
    QByteArray FInvite;
};

TBenchServer *Server = nullptr;
HLINE Line = 0;
TIncomingCallForm *Form = nullptr;
HCALL Shown = 0; // the offered call the form shows
HCALL Placed = 0;
bool PlacedIdle = false;

void Callback(DWORD device, DWORD message, DWORD, DWORD p1, DWORD, DWORD)
{
    if (message == LINE_CALLINFO && (p1 & LINECALLINFOSTATE_CALLERID)) {
        alignas(LINECALLINFO) unsigned char buffer[1024] = {};
        auto *info = reinterpret_cast<LINECALLINFO *>(buffer);
        info->dwTotalSize = sizeof buffer;
        if (lineGetCallInfo(device, info) != 0)
            return;
        TIncomingCall call;
        call.Call = device;
        call.Caller = TIncomingCall::icNumber;
        call.Number = QString::fromUtf8(reinterpret_cast<const char *>(buffer + info->dwCallerIDOffset));
        call.Time = QDateTime::currentDateTime();
        Form->ShowCall(call, TCallerMatch());
        Shown = device;
    } else if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE) {
        if (device == Placed)
            PlacedIdle = true;
        else
            lineDeallocateCall(device);
    }
}

template <typename Done> bool WaitFor(Done done)
{
    QElapsedTimer bound;
    bound.start();
    while (!done() && bound.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void BM_InviteToGelenArama(benchmark::State &state)
{
    int n = 0;
    for (auto _ : state) {
        Shown = 0;
        Form->hide();
        const auto start = std::chrono::steady_clock::now();
        Server->Invite(++n);
        if (!WaitFor([]() { return Shown != 0 && Form->isVisible(); })) {
            state.SkipWithError("no Gelen Arama");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        const int ended = Server->CallsEnded;
        Server->Cancel();
        WaitFor([ended]() { return Server->CallsEnded > ended; });
    }
}

void BM_ClickToDeskPhoneInvite(benchmark::State &state)
{
    for (auto _ : state) {
        const int before = Server->InvitesReceived;
        PlacedIdle = false;
        const auto start = std::chrono::steady_clock::now();
        if (lineMakeCall(Line, &Placed, "0212 555 12 12", 0, nullptr) <= 0
            || !WaitFor([before]() { return Server->InvitesReceived > before; })) {
            state.SkipWithError("no INVITE");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        lineDrop(Placed, nullptr, 0); // as the dial box does when closed
        WaitFor([]() { return PlacedIdle; });
        lineDeallocateCall(Placed);
    }
}

// The anchor: one datagram from a socket to another through the same loop.
void BM_DatagramThroughTheLoop(benchmark::State &state)
{
    QUdpSocket from, to;
    to.bind(QHostAddress::LocalHost, 0);
    bool got = false;
    QObject::connect(&to, &QUdpSocket::readyRead, [&]() {
        while (to.hasPendingDatagrams())
            to.receiveDatagram();
        got = true;
    });
    for (auto _ : state) {
        got = false;
        const auto start = std::chrono::steady_clock::now();
        from.writeDatagram("x", QHostAddress::LocalHost, to.localPort());
        WaitFor([&got]() { return got; });
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

BENCHMARK(BM_InviteToGelenArama)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ClickToDeskPhoneInvite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_DatagramThroughTheLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    TBenchServer server;
    Server = &server;
    TSipConfig config;
    config.Server = QStringLiteral("127.0.0.1:%1").arg(server.Port());
    config.User = QStringLiteral("1001");
    SaveLineDevice(TLineDevice::Sip);
    SaveSipConfig(config);
    SetSipSessionPassword(config, QStringLiteral("bench"));
    QWidget owner;
    TIncomingCallForm form(&owner);
    Form = &form;
    HLINEAPP lineApp = 0;
    DWORD devices = 0;
    lineInitialize(&lineApp, nullptr, Callback, "bench", &devices);
    lineOpen(lineApp, 0, &Line, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
    if (!WaitFor([]() { return Server->Registered(); })) {
        fprintf(stderr, "the program did not register\n");
        return 1;
    }

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("server's INVITE to Gelen Arama / datagram through the loop", "BM_InviteToGelenArama", "BM_DatagramThroughTheLoop",
                        200.0);
    reporter.PrintRatio("dial request to the desk phone's INVITE / datagram through the loop", "BM_ClickToDeskPhoneInvite",
                        "BM_DatagramThroughTheLoop", 200.0);
    for (const char *name : {"BM_InviteToGelenArama", "BM_ClickToDeskPhoneInvite"})
        printf("%s: %.2f ms (under 100 ms wanted)\n", name, reporter.Time(name));
    lineShutdown(lineApp);
    benchmark::Shutdown();
    return 0;
}
