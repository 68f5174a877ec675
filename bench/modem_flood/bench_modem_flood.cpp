// A modem that floods its line: megabytes of noise without a line end on a
// pseudo-terminal, read by the modem link inside the event loop, against a
// plain read() loop draining the same bytes from the same kind of port, in
// the same run:
//
//   build/bench/bench/modem_flood/bench_modem_flood
//
// Prints the time of each, the ratio link / read(), and what the link kept
// of the unfinished line (bounded whatever the flood's size).
#include "bench/support/BenchSupport.h"
#include "platform/telephony/ModemLink.h"

#include <QCoreApplication>
#include <atomic>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A pseudo-terminal whose master side sends bytes of noise from a thread.
class TNoisyPort {
public:
    TNoisyPort()
    {
        char name[256] = {};
        if (openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        tcgetattr(FSlave, &raw);
        cfmakeraw(&raw);
        tcsetattr(FSlave, TCSANOW, &raw);
        FName = QString::fromLocal8Bit(name);
    }
    ~TNoisyPort()
    {
        Wait();
        ::close(FMaster);
        ::close(FSlave);
    }
    QString Name() const { return FName; }
    int Slave() const { return FSlave; }
    void Send(qint64 bytes)
    {
        Wait();
        FWriter = std::thread([this, bytes]() {
            static const QByteArray noise(4096, 'x');
            for (qint64 left = bytes; left > 0;) {
                const ssize_t n = ::write(FMaster, noise.constData(), size_t(qMin<qint64>(noise.size(), left)));
                if (n > 0)
                    left -= n;
            }
        });
    }
    void Wait()
    {
        if (FWriter.joinable())
            FWriter.join();
    }

private:
    int FMaster = -1;
    int FSlave = -1;
    QString FName;
    std::thread FWriter;
};

void BM_ModemLinkFlood(benchmark::State &state)
{
    const qint64 bytes = state.range(0);
    TNoisyPort port;
    TModemConfig config;
    config.Port = port.Name();
    TModemLink link;
    if (!link.Open(config)) {
        state.SkipWithError("port does not open");
        return;
    }
    qsizetype kept = 0;
    for (auto _ : state) {
        const qint64 before = link.DroppedBytes() + link.UnfinishedBytes();
        port.Send(bytes);
        while (link.DroppedBytes() + link.UnfinishedBytes() - before < bytes)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        kept = qMax(kept, link.UnfinishedBytes());
    }
    port.Wait();
    state.counters["kept_bytes"] = double(kept);
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_PlainRead(benchmark::State &state)
{
    const qint64 bytes = state.range(0);
    TNoisyPort port;
    char buffer[65536];
    for (auto _ : state) {
        port.Send(bytes);
        for (qint64 got = 0; got < bytes;) {
            const ssize_t n = ::read(port.Slave(), buffer, sizeof buffer);
            if (n > 0)
                got += n;
        }
    }
    port.Wait();
    state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_ModemLinkFlood)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("link reading 1 MiB of noise / read()", "BM_ModemLinkFlood/1048576/", "BM_PlainRead/1048576/", 3.0);
    reporter.PrintRatio("link reading 16 MiB of noise / read()", "BM_ModemLinkFlood/16777216/", "BM_PlainRead/16777216/", 3.0);
    benchmark::Shutdown();
    return 0;
}
