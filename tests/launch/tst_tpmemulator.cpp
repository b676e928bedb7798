#include "launch/TpmEmulator.h"
#include "platform/Processes.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// A real swtpm; a real QEMU uses it in tst_modernhardware.
namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

int modeOf(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class TestTpmEmulator final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString missing;
        if (!TpmEmulator::Available(&missing))
            QSKIP(qPrintable(s("the TPM emulator is needed: install ") + missing));
        // swtpm_setup writes a user's certificate authority there.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(s("config"))));
    }
    // Nothing connects to a swtpm a failed check left behind, so nothing would end it.
    void cleanupTestCase()
    {
        for (const char* vm : {"b"})
            TpmEmulator::Stop(socket(vm), pidFile(vm));
    }
    void prepareStateOnce();
    void stopEndsOnlyTheVMsSwtpm();

private:
    QString socket(const char* vm) const { return TpmEmulator::SocketPath(m_dir.path(), s(vm)); }
    QString pidFile(const char* vm) const { return TpmEmulator::PidFilePath(m_dir.path(), s(vm)); }

    QTemporaryDir m_dir;
    // swtpm's options cannot name a folder with a comma.
    const QString m_stateA = m_dir.filePath(s("vms/a, with comma/tpm"));
    const QString m_stateB = m_dir.filePath(s("vms/b/tpm"));
};

void TestTpmEmulator::prepareStateOnce()
{
    const QString stateFile = m_stateA + s("/tpm2-00.permall");
    QString error;
    QVERIFY2(TpmEmulator::PrepareState(m_stateA, &error), qPrintable(error));
    QCOMPARE(modeOf(m_stateA), 0700);
    const QByteArray made = readAll(stateFile);
    QVERIFY(made.size() > 100);
    QCOMPARE(modeOf(stateFile), 0600);
    QVERIFY2(TpmEmulator::PrepareState(m_stateA, &error), qPrintable(error));
    // A new state would hold a new endorsement key.
    QCOMPARE(readAll(stateFile), made);
}

void TestTpmEmulator::stopEndsOnlyTheVMsSwtpm()
{
    QString error;
    QVERIFY2(TpmEmulator::PrepareState(m_stateB, &error), qPrintable(error));
    const qint64 swtpmB = TpmEmulator::Start(m_stateB, socket("b"), pidFile("b"), &error);
    QVERIFY2(swtpmB > 0, qPrintable(error));
    QCOMPARE(modeOf(socket("b")), 0600);
    QTRY_COMPARE(readAll(pidFile("b")).trimmed(), QByteArray::number(swtpmB));
    QProcess unrelated;
    unrelated.start(s("sleep"), {s("30")});
    QVERIFY(unrelated.waitForStarted());

    // VM "c"'s pid file naming processes that are not its swtpm.
    for (const qint64 other : {unrelated.processId(), swtpmB}) {
        QVERIFY(writeFile(pidFile("c"), QByteArray::number(other)));
        TpmEmulator::Stop(socket("c"), pidFile("c"));
        QVERIFY2(Processes::IsProcessAlive(other), other == swtpmB ? "VM b's swtpm" : "sleep");
        QVERIFY(!QFileInfo::exists(pidFile("c")));
    }
    TpmEmulator::Stop(socket("b"), pidFile("b"));
    QVERIFY(!Processes::IsProcessAlive(swtpmB));
    QVERIFY(!QFileInfo::exists(socket("b")) && !QFileInfo::exists(pidFile("b")));
    unrelated.kill();
    unrelated.waitForFinished();
}

QTEST_GUILESS_MAIN(TestTpmEmulator)
#include "tst_tpmemulator.moc"
