#include "platform/SingleInstance.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// True while some process holds the registration at path.
bool lockHeld(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (!held)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return held;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void secondRegistrationRefusedUntilFirstEnds()
    {
        auto first = std::make_unique<SingleInstance>(QStringLiteral("vimor-test"));
        QVERIFY(first->acquire());
        QVERIFY(first->acquire()); // asking again is harmless
        QVERIFY(first->lockPath().startsWith(m_runtime.path()));
        SingleInstance second(QStringLiteral("vimor-test"));
        QVERIFY(!second.acquire());
        SingleInstance otherName(QStringLiteral("vimor-other"));
        QVERIFY(otherName.acquire());
        first.reset();
        QVERIFY(second.acquire());
    }

    // Two real copies of the program: the second says so and ends with 0, the first runs on; a
    // first copy that crashed does not block the next start.
    void secondProgramEndsAndFirstRunsOn()
    {
        QTemporaryDir programFolder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QStringList args = {QStringLiteral("--program-folder"), programFolder.path(),
                                  QStringLiteral("--unattended")};
        const QString lock = m_runtime.filePath(QStringLiteral("vimor.lock"));

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(VIMOR_EXE), args);
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(lock), 10000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(VIMOR_EXE), args);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardError().contains("vimor: Vimor is already running!"));
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(lockHeld(lock));

        first.kill(); // a crash: no chance to clean up
        QVERIFY(first.waitForFinished(5000));
        QVERIFY(!lockHeld(lock));

        QProcess third;
        third.setProcessEnvironment(env);
        third.start(QStringLiteral(VIMOR_EXE), args);
        QVERIFY(third.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(lock), 10000);
        QCOMPARE(third.state(), QProcess::Running);
        QVERIFY(!third.readAllStandardError().contains("already running"));
        third.kill();
        third.waitForFinished(5000);
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
