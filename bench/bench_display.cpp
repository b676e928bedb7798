// The display panel's figures: framebuffer update to repaint at one to one (1024 x 768 and
// 1920 x 1080) and fitted (1920 x 1080 scaled into 1280 x 720), the viewer's processor time while
// the guest is idle, at one to one and fitted, and memory per open panel beyond the framebuffer.
//
// The update and memory figures use a small VNC server of this benchmark's own that sends whole
// frames in raw encoding, the costliest update there is; the idle figure uses a real QEMU whose
// guest halts, when one is installed.

#include "launch/ui/DisplayPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;
const QSize FullHd(1920, 1080);

using Clock = std::chrono::steady_clock;

bool readExactly(int fd, void* into, size_t size)
{
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got <= 0)
            return false;
        bytes += got;
        size -= size_t(got);
    }
    return true;
}

bool writeAll(int fd, const void* from, size_t size)
{
    const auto* bytes = static_cast<const char*>(from);
    while (size > 0) {
        const ssize_t put = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (put <= 0)
            return false;
        bytes += put;
        size -= size_t(put);
    }
    return true;
}

// A VNC server for the benchmark: one screen, sent whole in raw encoding when the viewer first
// asks and then once for every frame the benchmark releases.
class FrameServer
{
public:
    explicit FrameServer(const QString& path, QSize size = QSize(Width, Height)) : m_size(size)
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 16);
        m_acceptor = std::thread([this] { accept(); });
    }
    ~FrameServer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        {
            const std::lock_guard lock(m_lock);
            m_stop = true;
            for (int client : m_clients)
                ::shutdown(client, SHUT_RDWR);
        }
        m_wake.notify_all();
        m_acceptor.join();
        for (std::thread& each : m_threads)
            each.join();
        ::close(m_listener);
    }

    // Lets every viewer have the next frame; the time it starts to go out is frameSent().
    void releaseFrame()
    {
        const std::lock_guard lock(m_lock);
        ++m_released;
        m_wake.notify_all();
    }
    Clock::time_point frameSent() const
    {
        const std::lock_guard lock(m_lock);
        return m_sent;
    }

private:
    void accept()
    {
        while (!m_stop) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            const std::lock_guard lock(m_lock);
            m_clients.push_back(client);
            m_threads.emplace_back([this, client] {
                serve(client);
                ::close(client);
            });
        }
    }

    void serve(int client)
    {
        char version[12];
        char choice = 0;
        char shared = 0;
        const char security[] = {1, 1, 0, 0, 0, 0};
        if (!writeAll(client, "RFB 003.008\n", 12) || !readExactly(client, version, 12) ||
            !writeAll(client, security, 2) || !readExactly(client, &choice, 1) ||
            !writeAll(client, security + 2, 4) || !readExactly(client, &shared, 1))
            return;
        const int width = m_size.width();
        const int height = m_size.height();
        const quint16 size[2] = {htons(quint16(width)), htons(quint16(height))};
        const char format[16] = {32, 24, 0, 1, 0, char(255), 0, char(255), 0, char(255), 16, 8, 0};
        const char name[] = {0, 0, 0, 5, 'b', 'e', 'n', 'c', 'h'};
        if (!writeAll(client, size, 4) || !writeAll(client, format, 16) ||
            !writeAll(client, name, sizeof name))
            return;
        std::vector<quint32> frame(size_t(width) * size_t(height));
        quint64 sent = 0;
        while (!m_stop) {
            unsigned char type = 0;
            if (!readExactly(client, &type, 1))
                return;
            char rest[64];
            if (type == 0 && !readExactly(client, rest, 19))
                return;
            if (type == 2) {
                quint16 count = 0;
                if (!readExactly(client, rest, 1) || !readExactly(client, &count, 2))
                    return;
                for (int n = ntohs(count); n > 0; --n)
                    if (!readExactly(client, rest, 4))
                        return;
            }
            if (type == 4 && !readExactly(client, rest, 7))
                return;
            if (type == 5 && !readExactly(client, rest, 5))
                return;
            if (type == 255 && !readExactly(client, rest, 11))
                return;
            if (type != 3)
                continue;
            if (!readExactly(client, rest, 9))
                return;
            const bool incremental = rest[0] != 0;
            if (incremental) {
                std::unique_lock lock(m_lock);
                m_wake.wait(lock, [&] { return m_stop || m_released > sent; });
                if (m_stop)
                    return;
                sent = m_released;
                m_sent = Clock::now();
            }
            std::fill(frame.begin(), frame.end(), quint32(sent * 0x10305));
            const char header[] = {0,
                                   0,
                                   0,
                                   1,
                                   0,
                                   0,
                                   0,
                                   0,
                                   char(width >> 8),
                                   char(width & 0xff),
                                   char(height >> 8),
                                   char(height & 0xff),
                                   0,
                                   0,
                                   0,
                                   0};
            if (!writeAll(client, header, sizeof header) ||
                !writeAll(client, frame.data(), frame.size() * sizeof(quint32)))
                return;
        }
    }

    QSize m_size;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    quint64 m_released = 0;
    Clock::time_point m_sent;
    std::vector<int> m_clients;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

double processorSeconds()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? double(fields.at(1).toLongLong()) * double(::getpagesize()) / 1048576.0
               : 0;
}

void updateToRepaint(const QString& folder, QSize frameSize, DisplayPanel::Scaling scaling,
                     QSize room)
{
    static int servers = 0;
    const QString path = folder + QStringLiteral("/frames-%1.sock").arg(++servers);
    FrameServer server(path, frameSize);
    DisplayPanel panel;
    panel.setScaling(scaling);
    panel.setAvailableSize(room);
    panel.show();
    panel.connectDisplay(path);
    if (!QTest::qWaitFor([&] { return panel.framesShown() >= 1; }, 10000)) {
        std::printf("update to repaint: no connection\n");
        return;
    }
    std::vector<double> latencies;
    for (int frame = 0; frame < 200; ++frame) {
        const quint64 before = panel.framesShown();
        server.releaseFrame();
        QElapsedTimer limit;
        limit.start();
        while (panel.framesShown() <= before && limit.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto painted = Clock::now();
        latencies.push_back(
            std::chrono::duration<double, std::milli>(painted - server.frameSent()).count());
        QTest::qWait(5);
    }
    std::sort(latencies.begin(), latencies.end());
    const QRectF picture = panel.pictureRect();
    std::printf("update to repaint, %dx%d full raw frames %s %dx%d: median %.2f ms, 90th "
                "percentile %.2f ms, worst %.2f ms (target: median <= 16 ms)\n",
                frameSize.width(), frameSize.height(),
                scaling == DisplayPanel::Scaling::Fit ? "fitted into" : "at one to one in",
                qRound(picture.width()), qRound(picture.height()), latencies[latencies.size() / 2],
                latencies[latencies.size() * 9 / 10], latencies.back());
}

void idleProcessor(const QString& folder, DisplayPanel::Scaling scaling, QSize room)
{
    const QString qemu = QStringLiteral("/usr/bin/qemu-system-x86_64");
    if (!QFileInfo(qemu).isExecutable()) {
        std::printf("idle processor: skipped, no QEMU\n");
        return;
    }
    // A guest that halts for good, its text screen with the blinking cursor left as it is.
    QByteArray sector("\xfb\xf4\xeb\xfd", 4);
    sector.resize(510, '\0');
    sector += "\x55\xaa";
    QFile disk(folder + QStringLiteral("/idle.img"));
    if (!disk.open(QIODevice::WriteOnly) || disk.write(sector) != sector.size())
        return;
    disk.close();
    const QString display =
        folder + QStringLiteral("/idle-%1.sock").arg(scaling == DisplayPanel::Scaling::Fit);
    QProcess guest;
    guest.start(qemu, {QStringLiteral("-display"), QStringLiteral("none"), QStringLiteral("-vnc"),
                       QStringLiteral("unix:") + display, QStringLiteral("-drive"),
                       QStringLiteral("file=") + disk.fileName() + QStringLiteral(",format=raw"),
                       QStringLiteral("-m"), QStringLiteral("16"), QStringLiteral("-nic"),
                       QStringLiteral("none")});
    DisplayPanel panel;
    panel.setScaling(scaling);
    panel.setAvailableSize(room);
    panel.show();
    panel.connectDisplay(display);
    QTest::qWait(5000); // booted and settled
    const double processor = processorSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(20000);
    const double share = (processorSeconds() - processor) / (double(wall.elapsed()) / 1000.0);
    const QRectF picture = panel.pictureRect();
    std::printf("viewer processor while the guest is idle (720x400 text screen %s %dx%d, 20 s): "
                "%.2f %% of one core (target: <= 2 %%)\n",
                scaling == DisplayPanel::Scaling::Fit ? "fitted into" : "at one to one in",
                qRound(picture.width()), qRound(picture.height()), share * 100.0);
    panel.disconnectDisplay();
    guest.kill();
    guest.waitForFinished(5000);
}

void memoryPerPanel(const QString& folder)
{
    constexpr int Panels = 8;
    const QString path = folder + QStringLiteral("/memory.sock");
    FrameServer server(path);
    const double before = residentMegabytes();
    std::vector<std::unique_ptr<DisplayPanel>> panels;
    for (int n = 0; n < Panels; ++n) {
        panels.push_back(std::make_unique<DisplayPanel>());
        panels.back()->setScaling(DisplayPanel::Scaling::Actual);
        panels.back()->connectDisplay(path);
    }
    // As in the main window, the panels are not on screen: each keeps its connection and frame.
    const bool shown = QTest::qWaitFor(
        [&] {
            return std::all_of(panels.begin(), panels.end(), [](const auto& panel) {
                return panel->size() == QSize(Width, Height);
            });
        },
        10000);
    if (!shown) {
        std::printf("memory per open panel: no connection\n");
        return;
    }
    QTest::qWait(1000);
    const double perPanel = (residentMegabytes() - before) / Panels;
    const double frame = double(Width) * Height * 4 / 1048576.0;
    std::printf("memory per open panel, %dx%d: %.2f MB in all, %.2f MB beyond the %.2f MB "
                "framebuffer (target: <= 8 MB)\n",
                Width, Height, perPanel, perPanel - frame, frame);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    memoryPerPanel(folder.path());
    using Scaling = DisplayPanel::Scaling;
    updateToRepaint(folder.path(), QSize(Width, Height), Scaling::Actual, QSize(Width, Height));
    updateToRepaint(folder.path(), FullHd, Scaling::Actual, FullHd);
    updateToRepaint(folder.path(), FullHd, Scaling::Fit, QSize(1280, 720));
    idleProcessor(folder.path(), Scaling::Actual, QSize(720, 400));
    idleProcessor(folder.path(), Scaling::Fit, QSize(1280, 720));
    return 0;
}
