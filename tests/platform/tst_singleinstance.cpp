#include "platform/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

using Result = SingleInstance::Result;
using namespace Qt::StringLiterals;

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
        QCOMPARE(first->acquire(), Result::Registered);
        QCOMPARE(first->acquire(), Result::Registered); // asking again is harmless
        QVERIFY(first->lockPath().startsWith(m_runtime.path()));
        SingleInstance second(QStringLiteral("vimor-test"));
        QCOMPARE(second.acquire(), Result::AlreadyRunning);
        SingleInstance otherName(QStringLiteral("vimor-other"));
        QCOMPARE(otherName.acquire(), Result::Registered);
        first.reset();
        QCOMPARE(second.acquire(), Result::Registered);
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

    // Without a runtime folder the lock lives in "<temp>/vimor-<uid>", which must be this user's
    // alone: another user could hold the lock there or plant a link. The program then says so and
    // starts in a fresh folder of its own.
    void fallbackFolder()
    {
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        const QByteArray folder = QFile::encodeName(temp.filePath(u"vimor-%1"_s.arg(::getuid())));
        QString error;
        QCOMPARE(SingleInstance(u"t"_s).acquire(&error), Result::Registered);
        struct stat info = {};
        QVERIFY(::lstat(folder.constData(), &info) == 0 && (info.st_mode & 0777) == 0700);

        QVERIFY(QFile::link(temp.filePath(u"elsewhere"_s), QFile::decodeName(folder + "/l.lock")));
        QCOMPARE(SingleInstance(u"l"_s).acquire(&error), Result::Refused);
        QVERIFY2(error.endsWith(u"is a link"_s), qPrintable(error));
        QVERIFY(!QFile::exists(temp.filePath(u"elsewhere"_s)));

        if (::getuid() != 0)
            QSKIP("runuser needs root to act as the user nobody");
        QVERIFY(QDir(QFile::decodeName(folder)).removeRecursively());
        QVERIFY(::chmod(QFile::encodeName(temp.path()).constData(), 01777) == 0); // like /tmp
        QCOMPARE(QProcess::execute(u"runuser"_s, {u"-u"_s, u"nobody"_s, u"--"_s, u"mkdir"_s,
                                                  QFile::decodeName(folder)}),
                 0);
        QProcess program;
        program.start(QStringLiteral(VIMOR_EXE),
                      {u"--unattended"_s, u"--program-folder"_s, temp.path()});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardError()).contains("using the"),
                                 9000);
        const QString fresh = temp.filePath(QDir(temp.path()).entryList({u"vimor-*-*"_s}).value(0));
        QVERIFY(said.contains(QFile::encodeName(fresh)));
        QCOMPARE(QFile::permissions(fresh), QFile::Permissions(0x7700)); // mkdtemp's, so ours
        QTRY_VERIFY_WITH_TIMEOUT(lockHeld(fresh + u"/vimor.lock"_s), 9000);
        program.kill();
        qunsetenv("TMPDIR");
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
