// The link socket under attack, against the running app itself (a normal
// launch on the default simulated world, in a private home):
// - BM_HostileConnectionsMemory: how much the app's resident memory grows
//   while 300 hostile connections are kept up for 4 s (closed ones are opened
//   again at once; past the app's 16 they wait in the socket's queue, or are
//   refused once it is full). A quarter each: announce a 1 MiB link and send all of it
//   but its last byte; the same with a 64 KiB link; send 64 KiB links as fast
//   as the socket takes them; send nothing. Budget: under 20 MB at the peak.
// - BM_ValidLinkDuringAFlood: how long a valid link waits while 4 other
//   connections send 10,000 links a second between them (failing switches,
//   links not understood, steps). Each probe is a new connection that sends
//   the link and waits for the copy's confirmation, which comes once the link
//   was handled. Budget: 100 ms.
// Both start the app once per run; the figures are counters.
#include "app/LinkMessage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int hostileConnections = 300;
constexpr double memoryBudgetMB = 20;
constexpr int floodConnections = 4;
constexpr int floodLinksPerSecond = 10000;
constexpr double latencyBudgetMs = 100;

// The app, launched normally in its own home.
class RunningApp {
public:
    bool start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), home_.path() + QStringLiteral("/state"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(environment);
        process_.setReadChannel(QProcess::StandardError);
        process_.start(QStringLiteral(TESSAROOM_APP), {QStringLiteral("--run-for"), QStringLiteral("600")});
        QByteArray seen;
        while (!seen.contains("launched") && process_.waitForReadyRead(30000))
            seen += process_.readAllStandardError();
        // Let the launch's delayed steps (fit checks, first polls) run.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return seen.contains("launched") && process_.state() == QProcess::Running;
    }
    ~RunningApp()
    {
        process_.kill();
        process_.waitForFinished(30000);
    }

    QByteArray socketPath() const { return QFile::encodeName(home_.path() + QStringLiteral("/tessaroom/links")); }

    // A field of /proc/<pid>/status in kB ("VmRSS", "VmHWM").
    double statusKB(const QByteArray& field) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(field + ':'))
                return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble();
        }
        return -1;
    }
    // Starts the peak (VmHWM) afresh at the present size.
    void resetPeak() const
    {
        QFile clear(QStringLiteral("/proc/%1/clear_refs").arg(process_.processId()));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }

private:
    QTemporaryDir home_;
    QProcess process_;
};

int connectTo(const QByteArray& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// Writes what the socket takes now; -1 once the other end has closed.
qint64 writeSome(int fd, const char* data, qint64 size)
{
    const ssize_t written = ::send(fd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written >= 0)
        return written;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

bool closedByPeer(int fd)
{
    char byte = 0;
    const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// --- memory under 300 hostile connections ---------------------------------------------------------

struct Hostile {
    int fd = -1;
    qint64 offset = 0; // into its bytes to send
};

void BM_HostileConnectionsMemory(benchmark::State& state)
{
    for (auto _ : state) {
        RunningApp app;
        if (!app.start()) {
            state.SkipWithError("the app did not launch");
            return;
        }
        const double before = app.statusKB("VmRSS");
        app.resetPeak();

        const QByteArray bigLink = LinkMessage::frame(QByteArray(64 * 1024, 'x'));
        QByteArray unfinished = bigLink;
        unfinished.chop(1);
        QByteArray unfinishedHuge = LinkMessage::frame(QByteArray(1024 * 1024, 'x'));
        unfinishedHuge.chop(1);
        std::vector<Hostile> hostile(hostileConnections);
        qint64 opened = 0;
        const auto end = Clock::now() + std::chrono::seconds(4);
        while (Clock::now() < end) {
            for (size_t i = 0; i < hostile.size(); ++i) {
                Hostile& h = hostile[i];
                if (h.fd >= 0 && closedByPeer(h.fd)) {
                    ::close(h.fd);
                    h.fd = -1;
                }
                if (h.fd < 0) {
                    h.fd = connectTo(app.socketPath());
                    h.offset = 0;
                    opened += h.fd >= 0;
                    continue;
                }
                qint64 written = 0;
                switch (i % 4) {
                case 0: // a huge link that never ends
                    if (h.offset < unfinishedHuge.size())
                        written = writeSome(h.fd, unfinishedHuge.constData() + h.offset, unfinishedHuge.size() - h.offset);
                    break;
                case 1: // a link that never ends
                    if (h.offset < unfinished.size())
                        written = writeSome(h.fd, unfinished.constData() + h.offset, unfinished.size() - h.offset);
                    break;
                case 2: // big links without pause
                    written = writeSome(h.fd, bigLink.constData() + h.offset % bigLink.size(),
                                        bigLink.size() - h.offset % bigLink.size());
                    break;
                default: // silence
                    break;
                }
                if (written > 0)
                    h.offset += written;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double peak = app.statusKB("VmHWM");
        const double held = app.statusKB("VmRSS");
        for (const Hostile& h : hostile) {
            if (h.fd >= 0)
                ::close(h.fd);
        }
        const double peakGrowthMB = (peak - before) / 1024;
        state.counters["rss_before_MB"] = before / 1024;
        state.counters["rss_growth_peak_MB"] = peakGrowthMB;
        state.counters["rss_growth_held_MB"] = (held - before) / 1024;
        state.counters["connections_opened"] = double(opened);
        if (peakGrowthMB >= memoryBudgetMB)
            state.SkipWithError("the hostile connections raised the app's memory by 20 MB or more");
    }
}
BENCHMARK(BM_HostileConnectionsMemory)->Unit(benchmark::kSecond)->Iterations(1);

// --- a valid link during a flood --------------------------------------------------------------------

// Sends its share of the flood, paced every millisecond, until told to stop;
// what the socket does not take at once is dropped, as a flooder would.
void flood(const QByteArray& path, int linksPerSecond, const std::atomic<bool>& stop, std::atomic<qint64>& taken)
{
    QByteArray links;
    const QList<QByteArray> shapes{"tessaroom://switch/99", "tessaroom://nowhere/%1", "tessaroom://next"};
    for (int i = 0; i < 300; ++i)
        links += LinkMessage::frame(QByteArray(shapes[i % 3]).replace("%1", QByteArray::number(i)));
    const qint64 frameBytes = links.size() / 300;
    int fd = connectTo(path);
    double due = 0;
    qint64 offset = 0;
    auto tick = Clock::now();
    while (!stop) {
        tick += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(tick);
        if (fd < 0 || closedByPeer(fd)) {
            if (fd >= 0)
                ::close(fd);
            fd = connectTo(path);
            offset = 0;
            continue;
        }
        due += linksPerSecond / 1000.0;
        const qint64 count = qint64(due);
        due -= double(count);
        qint64 bytes = count * frameBytes;
        while (bytes > 0) {
            const qint64 chunk = std::min(bytes, qint64(links.size()) - offset);
            const qint64 written = writeSome(fd, links.constData() + offset, chunk);
            if (written <= 0)
                break;
            taken += written / frameBytes;
            offset = (offset + written) % links.size();
            bytes -= written;
        }
    }
    if (fd >= 0)
        ::close(fd);
}

// Sends the link on a new connection; the milliseconds until the copy
// confirmed it, or none.
std::optional<double> probe(const QByteArray& path)
{
    const int fd = connectTo(path);
    if (fd < 0)
        return std::nullopt;
    const QByteArray request = LinkMessage::frame("tessaroom://switch/1");
    const auto sent = Clock::now();
    if (writeSome(fd, request.constData(), request.size()) != request.size()) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray answer;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, int(deadline.remainingTime())) <= 0)
            break;
        char chunk[512];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        answer.append(chunk, got);
        if (answer.size() >= 4 && answer.size() - 4 >= qFromBigEndian<quint32>(answer.constData())) {
            ::close(fd);
            return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        }
    }
    ::close(fd);
    return std::nullopt;
}

void BM_ValidLinkDuringAFlood(benchmark::State& state)
{
    for (auto _ : state) {
        RunningApp app;
        if (!app.start()) {
            state.SkipWithError("the app did not launch");
            return;
        }
        std::atomic<bool> stop = false;
        std::atomic<qint64> taken = 0;
        std::vector<std::thread> flooders;
        for (int i = 0; i < floodConnections; ++i)
            flooders.emplace_back(flood, app.socketPath(), floodLinksPerSecond / floodConnections, std::cref(stop),
                                  std::ref(taken));
        // The flood gets going before the first probe.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const qint64 takenBefore = taken;
        const auto start = Clock::now();
        std::vector<double> latencies;
        int lost = 0;
        for (int i = 0; i < 40; ++i) {
            if (const auto latency = probe(app.socketPath()))
                latencies.push_back(*latency);
            else
                ++lost;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const qint64 takenDuring = taken - takenBefore;
        stop = true;
        for (std::thread& flooder : flooders)
            flooder.join();
        if (latencies.empty()) {
            state.SkipWithError("no probe was answered");
            return;
        }
        std::sort(latencies.begin(), latencies.end());
        state.counters["probes"] = double(latencies.size());
        state.counters["probes_lost"] = lost;
        state.counters["latency_median_ms"] = latencies[latencies.size() / 2];
        state.counters["latency_max_ms"] = latencies.back();
        state.counters["flood_links_taken_per_s"] = double(takenDuring) / seconds;
        if (lost > 0 || latencies.back() > latencyBudgetMs)
            state.SkipWithError("a valid link waited more than 100 ms during the flood");
    }
}
BENCHMARK(BM_ValidLinkDuringAFlood)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
