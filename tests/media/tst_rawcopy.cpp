#include "media/RawCopy.h"
#include "platform/HostDrives.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int Chunk = 16384;

// Bytes that differ from chunk to chunk, so a chunk out of place shows.
QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251 + i / Chunk) & 0xff);
    return bytes;
}

} // namespace

class TestRawCopy final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiesDrive_data();
    void copiesDrive();
    void progressStaysInRangeWhenMediumIsLongerThanReported();
    void replacesLongerDestination();
    void failures_data();
    void failures();
    void refusesToCopyOntoItself();
    void eventsRunDuringACopy();

    void blankFloppy();
    void blankFloppyFailures_data();
    void blankFloppyFailures();

private:
    QString dev(const QString& name) const
    {
        return m_host->filePath(QStringLiteral("dev/") + name);
    }
    QString sys(const QString& name) const
    {
        return m_host->filePath(QStringLiteral("sys/block/") + name);
    }
    // An optical drive sr0 (D:) whose medium is the given bytes.
    void addCD(const QByteArray& medium)
    {
        QDir().mkpath(sys(QStringLiteral("sr0")));
        QVERIFY(writeFile(dev(QStringLiteral("sr0")), medium));
    }

    std::unique_ptr<QTemporaryDir> m_host;
    std::unique_ptr<QTemporaryDir> m_out;
};

void TestRawCopy::init()
{
    m_host = std::make_unique<QTemporaryDir>();
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_host->isValid() && m_out->isValid());
    QDir(m_host->path()).mkpath(QStringLiteral("sys/block"));
    QDir(m_host->path()).mkpath(QStringLiteral("dev"));
    HostDrives::setRoots(
        {m_host->filePath(QStringLiteral("sys")), m_host->filePath(QStringLiteral("dev"))});
}

void TestRawCopy::cleanup()
{
    HostDrives::setRoots({});
}

void TestRawCopy::copiesDrive_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("CD of 1,000,000 bytes, last chunk partial") << 1000000;
    QTest::newRow("whole number of chunks") << 10 * Chunk;
    QTest::newRow("one byte past a chunk") << Chunk + 1;
    QTest::newRow("a single chunk") << Chunk;
    QTest::newRow("smaller than a chunk") << 1000;
}

void TestRawCopy::copiesDrive()
{
    QFETCH(int, size);
    const QByteArray medium = pattern(size);
    addCD(medium);
    const QString image = m_out->filePath(QStringLiteral("cd.iso"));

    QList<int> progress;
    QVERIFY(
        CopyRawDrive(QStringLiteral("D:"), image, [&](int percent) { progress.append(percent); }));
    QCOMPARE(readAll(image), medium);
    QCOMPARE(QFile::permissions(image), QFile::Permissions(0x6600)); // 0600

    // 0 first, then one report per chunk after the first, rising to 100.
    const int chunks = (size + Chunk - 1) / Chunk;
    QCOMPARE(progress.size(), chunks);
    QCOMPARE(progress.first(), 0);
    for (qsizetype i = 1; i < progress.size(); ++i) {
        QVERIFY2(progress.at(i) >= progress.at(i - 1), "progress went back");
        const qint64 copied = qMin<qint64>(qint64(i + 1) * Chunk, size);
        QCOMPARE(progress.at(i), qRound(double(copied) * 100.0 / size));
    }
    if (chunks > 1)
        QCOMPARE(progress.last(), 100);
}

void TestRawCopy::progressStaysInRangeWhenMediumIsLongerThanReported()
{
    const QByteArray medium = pattern(200000);
    addCD(medium);
    // The sys tree says 100 sectors (51,200 bytes); the medium reads on to its real end.
    QVERIFY(writeFile(sys(QStringLiteral("sr0/size")), "100\n"));
    const QString image = m_out->filePath(QStringLiteral("cd.iso"));

    QList<int> progress;
    QVERIFY(
        CopyRawDrive(QStringLiteral("D:"), image, [&](int percent) { progress.append(percent); }));
    QCOMPARE(readAll(image), medium);
    for (int percent : std::as_const(progress))
        QVERIFY2(percent >= 0 && percent <= 100, qPrintable(QString::number(percent)));
    QCOMPARE(progress.last(), 100);
}

void TestRawCopy::replacesLongerDestination()
{
    const QByteArray medium = pattern(50000);
    addCD(medium);
    const QString image = m_out->filePath(QStringLiteral("old.iso"));
    QVERIFY(writeFile(image, QByteArray(300000, 'x')));

    QVERIFY(CopyRawDrive(QStringLiteral("D:"), image, {}));
    QCOMPARE(readAll(image), medium);
}

void TestRawCopy::failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("destination");
    // 1: the bar was set to 0 before the failure, 0: it was not, -1: either.
    QTest::addColumn<int>("progressStarted");

    QTest::newRow("medium of size 0") << "empty"
                                      << "D:"
                                      << "cd.iso" << 0;
    QTest::newRow("no medium in the drive") << "missing"
                                            << "D:"
                                            << "cd.iso" << 0;
    QTest::newRow("source that cannot be read") << "directory"
                                                << "D:"
                                                << "cd.iso" << -1;
    QTest::newRow("drive letter the host lacks") << "cd"
                                                 << "Q:"
                                                 << "cd.iso" << 0;
    QTest::newRow("destination folder missing") << "cd"
                                                << "D:"
                                                << "nowhere/cd.iso" << 1;
    QTest::newRow("destination is a folder") << "cd"
                                             << "D:"
                                             << "folder" << 1;
}

void TestRawCopy::failures()
{
    QFETCH(QString, setup);
    QFETCH(QString, drive);
    QFETCH(QString, destination);
    QFETCH(int, progressStarted);

    QDir().mkpath(sys(QStringLiteral("sr0")));
    if (setup == QLatin1String("empty"))
        QVERIFY(writeFile(dev(QStringLiteral("sr0")), {}));
    else if (setup == QLatin1String("directory"))
        QVERIFY(QDir().mkpath(dev(QStringLiteral("sr0"))));
    else if (setup == QLatin1String("cd"))
        QVERIFY(writeFile(dev(QStringLiteral("sr0")), pattern(40000)));
    QVERIFY(QDir(m_out->path()).mkpath(QStringLiteral("folder")));

    QList<int> progress;
    QVERIFY(!CopyRawDrive(drive, m_out->filePath(destination),
                          [&](int percent) { progress.append(percent); }));
    if (progressStarted >= 0)
        QCOMPARE(!progress.isEmpty(), progressStarted == 1);
}

void TestRawCopy::refusesToCopyOntoItself()
{
    const QByteArray medium = pattern(40000);
    const QString file = m_out->filePath(QStringLiteral("same.img"));
    QVERIFY(writeFile(file, medium));
    QVERIFY(!CopyRawDevice(file, file, {}));
    QCOMPARE(readAll(file), medium);
}

// The first chunk lets pending events run, and so does any chunk after the pause.
void TestRawCopy::eventsRunDuringACopy()
{
    CopyEventPacer events;
    int delivered = 0;
    QMetaObject::invokeMethod(
        this, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    events.afterChunk();
    QCOMPARE(delivered, 1);
    QMetaObject::invokeMethod(
        this, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    QTest::qSleep(CopyEventPacer::EventPauseMsecs + 1);
    events.afterChunk();
    QCOMPARE(delivered, 2);
}

void TestRawCopy::blankFloppy()
{
    TempProgramFolder folder;
    QVERIFY(folder.isValid());
    const QByteArray floppy = pattern(1474560);
    QVERIFY(folder.write(QStringLiteral("resource/144mb.img"), floppy));
    const QString image = m_out->filePath(QStringLiteral("blank.img"));
    QVERIFY(writeFile(image, QByteArray(2000000, 'x')));

    QVERIFY(CreateBlankFloppy(image));
    QCOMPARE(readAll(image), floppy);
}

void TestRawCopy::blankFloppyFailures_data()
{
    QTest::addColumn<bool>("withTemplate");
    QTest::addColumn<QString>("destination");
    QTest::newRow("template missing") << false << "blank.img";
    QTest::newRow("destination folder missing") << true << "nowhere/blank.img";
    QTest::newRow("destination is a folder") << true << "folder";
}

void TestRawCopy::blankFloppyFailures()
{
    QFETCH(bool, withTemplate);
    QFETCH(QString, destination);
    TempProgramFolder folder;
    QVERIFY(folder.isValid());
    if (withTemplate)
        QVERIFY(folder.write(QStringLiteral("resource/144mb.img"), pattern(1474560)));
    QVERIFY(QDir(m_out->path()).mkpath(QStringLiteral("folder")));
    QVERIFY(!CreateBlankFloppy(m_out->filePath(destination)));
}

QTEST_GUILESS_MAIN(TestRawCopy)
#include "tst_rawcopy.moc"
