// How the raw media copy (16 KB chunks, one progress report per chunk, events let through as the
// wizard lets them) compares with dd copying the same 700 MB image with the same block size. The
// files lie beside the benchmark, on the build's disk, since /tmp may be memory.
//   bench_rawcopy [ROUNDS]   (7 by default)

#include "media/RawCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr qint64 MediumSize = 700LL * 1024 * 1024;

// Fills the medium with pseudo-random bytes, so no layer can take a shortcut on repeated data.
bool writeMedium(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    quint64 state = 0x9e3779b97f4a7c15ULL;
    for (qint64 written = 0; written < MediumSize; written += block.size()) {
        for (qsizetype i = 0; i + 8 <= block.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(block.data() + i, &state, 8);
        }
        if (file.write(block) != block.size())
            return false;
    }
    return file.flush();
}

// With events let through on every report, as the wizard does, or with no progress at all.
// Every copy starts alike: its destination gone and the disk idle, so no copy pays for dropping the
// last one's file or for writing back the pages the one before left behind.
void settle(const QString& destination)
{
    QFile::remove(destination);
    QProcess::execute(QStringLiteral("sync"), {});
}

double timeCopyRawDevice(const QString& source, const QString& destination, bool withEvents,
                         int* reports)
{
    settle(destination);
    *reports = 0;
    QElapsedTimer timer;
    timer.start();
    std::function<void(int)> progress;
    CopyEventPacer events;
    if (withEvents)
        progress = [reports, &events](int) {
            ++*reports;
            events.afterChunk();
        };
    const bool copied = CopyRawDevice(source, destination, progress);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return copied ? seconds : -1.0;
}

double timeDd(const QString& source, const QString& destination)
{
    settle(destination);
    QElapsedTimer timer;
    timer.start();
    QProcess dd;
    dd.start(QStringLiteral("dd"),
             {QStringLiteral("if=") + source, QStringLiteral("of=") + destination,
              QStringLiteral("bs=16k"), QStringLiteral("status=none")});
    if (!dd.waitForFinished(-1) || dd.exitStatus() != QProcess::NormalExit || dd.exitCode() != 0)
        return -1.0;
    return double(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const size_t middle = times.size() / 2;
    return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir(QCoreApplication::applicationDirPath())
                          .filePath(QStringLiteral("bench_rawcopy-XXXXXX")));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a folder beside the benchmark\n");
        return 1;
    }
    const QString medium = dir.filePath(QStringLiteral("medium.img"));
    const QString ours = dir.filePath(QStringLiteral("copy.img"));
    const QString theirs = dir.filePath(QStringLiteral("dd.img"));
    std::printf("writing a %lld MB medium in %s\n", MediumSize / (1024 * 1024),
                qPrintable(dir.path()));
    std::fflush(stdout);
    if (!writeMedium(medium)) {
        std::fprintf(stderr, "cannot write the medium\n");
        return 1;
    }

    // No root to drop the page cache: the medium stays in the cache for every copy alike. The
    // three kinds take turns in a rotating order over several rounds and the medians count, so a
    // burst of other work on the machine hits no kind alone.
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    int reports = 0;
    std::vector<double> withEvents;
    std::vector<double> bare;
    std::vector<double> dd;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            switch ((round + turn) % 3) {
            case 0:
                withEvents.push_back(timeCopyRawDevice(medium, ours, true, &reports));
                break;
            case 1:
                bare.push_back(timeCopyRawDevice(medium, ours, false, &reports));
                break;
            default:
                dd.push_back(timeDd(medium, theirs));
                break;
            }
        }
        std::printf("round %d: CopyRawDevice %.3f s with events, %.3f s without progress, dd "
                    "bs=16k %.3f s\n",
                    round + 1, withEvents.back(), bare.back(), dd.back());
        std::fflush(stdout);
    }
    const double copySeconds = median(withEvents);
    const double bareSeconds = median(bare);
    const double ddSeconds = median(dd);
    const bool same =
        QFileInfo(ours).size() == MediumSize && QFileInfo(theirs).size() == MediumSize;
    dir.remove();
    const auto failed = [](const std::vector<double>& times) {
        return std::any_of(times.begin(), times.end(), [](double t) { return t <= 0.0; });
    };
    if (failed(withEvents) || failed(bare) || failed(dd) || !same) {
        std::fprintf(stderr, "a copy failed\n");
        return 1;
    }
    const double megabytes = double(MediumSize) / (1024 * 1024);
    std::printf("medians of %d rounds: CopyRawDevice %.3f s (%.0f MB/s), without progress %.3f s, "
                "dd %.3f s "
                "(%.0f MB/s); ratio CopyRawDevice/dd %.2f (without progress %.2f)\n",
                rounds, copySeconds, megabytes / copySeconds, bareSeconds, ddSeconds,
                megabytes / ddSeconds, copySeconds / ddSeconds, bareSeconds / ddSeconds);
    return 0;
}
