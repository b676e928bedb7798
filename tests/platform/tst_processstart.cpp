#include "platform/ProcessStart.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Fields 19 (nice) and 41 (policy) of /proc/PID/stat; the command name may hold blanks.
struct Scheduling
{
    int nice = 0;
    int policy = -1;
};

Scheduling scheduling(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // fields[0] is field 3 (the state).
    return {fields.value(16).toInt(), fields.value(38).toInt()};
}

QString allowedProcessors(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Cpus_allowed_list:"))
            return QString::fromLatin1(line.mid(18).trimmed());
    }
    return {};
}

// A child that sleeps with the options applied; the test ends it.
class Sleeper final
{
public:
    explicit Sleeper(const ProcessStart::Options& options)
    {
        m_process.setProgram(QStringLiteral("sleep"));
        m_process.setArguments({QStringLiteral("30")});
        ProcessStart::apply(m_process, options);
        m_process.start();
    }
    ~Sleeper()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    bool started() { return m_process.waitForStarted(5000); }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

// Whether this process may lower its nice value or take a real-time policy.
bool mayRaisePriority()
{
    rlimit limit{};
    return ::geteuid() == 0 || (::getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur >= 30);
}

} // namespace

class TestProcessStart final : public QObject
{
    Q_OBJECT

private slots:
    void priorityFromText_data();
    void priorityFromText();
    void processorFromAffinity_data();
    void processorFromAffinity();
    void priority_data();
    void priority();
    void affinity_data();
    void affinity();
    void newSession();
    void hasArgument();
};

void TestProcessStart::priorityFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("priority");
    using P = ProcessStart::Priority;
    QTest::newRow("Idle") << QStringLiteral("Idle") << int(P::Idle);
    QTest::newRow("Normal") << QStringLiteral("Normal") << int(P::Normal);
    QTest::newRow("High") << QStringLiteral("High") << int(P::High);
    QTest::newRow("Realtime") << QStringLiteral("Realtime") << int(P::Realtime);
    QTest::newRow("lower case") << QStringLiteral("high") << int(P::Unchanged);
    QTest::newRow("trailing blank") << QStringLiteral("Idle ") << int(P::Unchanged);
    QTest::newRow("empty") << QString() << int(P::Unchanged);
}

void TestProcessStart::priorityFromText()
{
    QFETCH(QString, text);
    QFETCH(int, priority);
    QCOMPARE(int(ProcessStart::priorityFromText(text)), priority);
}

void TestProcessStart::processorFromAffinity_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("processor");
    QTest::newRow("1") << QStringLiteral("1") << 0;
    QTest::newRow("3") << QStringLiteral("3") << 2;
    QTest::newRow("31") << QStringLiteral("31") << 30;
    QTest::newRow("32 sets the sign bit") << QStringLiteral("32") << -1;
    QTest::newRow("33") << QStringLiteral("33") << -1;
    QTest::newRow("0") << QStringLiteral("0") << -1;
    QTest::newRow("negative") << QStringLiteral("-2") << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("not a number") << QStringLiteral("CPU 1") << -1;
}

void TestProcessStart::processorFromAffinity()
{
    QFETCH(QString, value);
    QFETCH(int, processor);
    QCOMPARE(ProcessStart::processorFromAffinity(value), processor);
}

void TestProcessStart::priority_data()
{
    QTest::addColumn<int>("priority");
    using P = ProcessStart::Priority;
    QTest::newRow("Unchanged") << int(P::Unchanged);
    QTest::newRow("Idle") << int(P::Idle);
    QTest::newRow("Normal") << int(P::Normal);
    QTest::newRow("High") << int(P::High);
    QTest::newRow("Realtime") << int(P::Realtime);
}

void TestProcessStart::priority()
{
    QFETCH(int, priority);
    const int inherited = ::getpriority(PRIO_PROCESS, 0);
    ProcessStart::Options options;
    options.priority = ProcessStart::Priority(priority);
    Sleeper child(options);
    QVERIFY(child.started());
    const Scheduling s = scheduling(child.pid());
    using P = ProcessStart::Priority;
    switch (ProcessStart::Priority(priority)) {
    case P::Unchanged:
        QCOMPARE(s.policy, SCHED_OTHER);
        QCOMPARE(s.nice, inherited);
        break;
    case P::Idle:
        QVERIFY2(s.policy == SCHED_IDLE || s.nice == 19, qPrintable(QString::number(s.policy)));
        break;
    case P::Normal:
        QCOMPARE(s.policy, SCHED_OTHER);
        QCOMPARE(s.nice, inherited > 0 && !mayRaisePriority() ? inherited : 0);
        break;
    case P::High:
        QCOMPARE(s.policy, SCHED_OTHER);
        if (mayRaisePriority())
            QCOMPARE(s.nice, -10);
        else
            QVERIFY(s.nice <= inherited);
        break;
    case P::Realtime:
        if (mayRaisePriority())
            QCOMPARE(s.policy, SCHED_RR);
        else
            QVERIFY(s.policy == SCHED_OTHER && s.nice <= inherited);
        break;
    }
}

void TestProcessStart::affinity_data()
{
    QTest::addColumn<QString>("affinityCpu");
    QTest::addColumn<QString>("allowed"); // empty: every processor, as the parent has it
    QTest::newRow("1 binds processor 0") << QStringLiteral("1") << QStringLiteral("0");
    QTest::newRow("2 binds processor 1") << QStringLiteral("2") << QStringLiteral("1");
    QTest::newRow("3 binds processor 2") << QStringLiteral("3") << QStringLiteral("2");
    QTest::newRow("32 binds nothing") << QStringLiteral("32") << QString();
    QTest::newRow("empty binds nothing") << QString() << QString();
}

void TestProcessStart::affinity()
{
    QFETCH(QString, affinityCpu);
    QFETCH(QString, allowed);
    const int processor = ProcessStart::processorFromAffinity(affinityCpu);
    if (processor >= QThread::idealThreadCount())
        QSKIP(qPrintable(QStringLiteral("This machine has %1 processors; processor %2 cannot be "
                                        "bound here.")
                             .arg(QThread::idealThreadCount())
                             .arg(processor)));
    ProcessStart::Options options;
    options.processor = processor;
    Sleeper child(options);
    QVERIFY(child.started());
    QCOMPARE(allowedProcessors(child.pid()),
             allowed.isEmpty() ? allowedProcessors(QCoreApplication::applicationPid()) : allowed);
}

void TestProcessStart::newSession()
{
    ProcessStart::Options options;
    options.newSession = true;
    Sleeper child(options);
    QVERIFY(child.started());
    QCOMPARE(qint64(::getsid(pid_t(child.pid()))), child.pid());
}

void TestProcessStart::hasArgument()
{
    Sleeper child({});
    QVERIFY(child.started());
    // The started signal can come just before the child's exec has replaced its command line.
    QTRY_VERIFY_WITH_TIMEOUT(ProcessStart::hasArgument(child.pid(), QStringLiteral("30")), 5000);
    QVERIFY(!ProcessStart::hasArgument(child.pid(), QStringLiteral("3")));
    QVERIFY(!ProcessStart::hasArgument(-1, QStringLiteral("30")));
}

QTEST_GUILESS_MAIN(TestProcessStart)
#include "tst_processstart.moc"
