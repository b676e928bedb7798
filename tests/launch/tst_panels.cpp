#include "launch/Panels.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// "1\r\n2\r\n" for {1, 2}.
QByteArray lines(const QList<int>& numbers)
{
    QByteArray text;
    for (const int number : numbers)
        text += QByteArray::number(number) + "\r\n";
    return text;
}

} // namespace

class TestPanels final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void allocatePanel_data();
    void allocatePanel();
    void removePanel_data();
    void removePanel();
    void firstPorts();
    void portsAfterGaps();
    void allPortsTaken();

private:
    QByteArray fileBytes(const char* name) const;

    std::unique_ptr<TempProgramFolder> m_folder;
};

void TestPanels::init()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::EmptyTables);
    QVERIFY(m_folder->isValid());
}

void TestPanels::cleanup()
{
    m_folder.reset();
}

QByteArray TestPanels::fileBytes(const char* name) const
{
    QFile file(m_folder->file(s(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestPanels::allocatePanel_data()
{
    QTest::addColumn<QByteArray>("inUse"); // "<missing>" for no file
    QTest::addColumn<QString>("panel");

    // "1" and "10" to "19": the first eleven in text order.
    QList<int> firstEleven{1};
    for (int n = 10; n <= 19; ++n)
        firstEleven.append(n);
    QList<int> all;
    for (int n = 1; n <= 20; ++n)
        all.append(n);
    QList<int> allBut9 = all;
    allBut9.removeAll(9);

    QTest::newRow("no file") << QByteArray("<missing>") << s("1");
    QTest::newRow("empty file") << QByteArray() << s("1");
    QTest::newRow("1 in use") << lines({1}) << s("10");
    QTest::newRow("1 and 10 in use") << lines({1, 10}) << s("11");
    QTest::newRow("1 and 10 to 19 in use") << lines(firstEleven) << s("2");
    QTest::newRow("1 to 19 in use") << lines(all.mid(0, 19)) << s("20");
    QTest::newRow("all but 9") << lines(allBut9) << s("9");
    QTest::newRow("all twenty in use") << lines(all) << s("ERR");
    QTest::newRow("lines without carriage returns") << QByteArray("1\n10\n") << s("11");
}

void TestPanels::allocatePanel()
{
    QFETCH(QByteArray, inUse);
    QFETCH(QString, panel);

    if (inUse != "<missing>")
        QVERIFY(m_folder->write(s("panels.dat"), inUse));
    QCOMPARE(Panels::AllocatePanel(), panel);
    if (panel == s("ERR")) {
        QCOMPARE(fileBytes("panels.dat"), inUse);
        QVERIFY(Panels::PanelsInUse());
        return;
    }
    // The new panel is appended as a line of its own.
    QVERIFY(fileBytes("panels.dat").endsWith(QByteArray(panel.toLatin1() + "\r\n")));
    QVERIFY(Panels::PanelsInUse());
}

void TestPanels::removePanel_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("10 then 1, remove 1") << lines({10, 1}) << s("1") << lines({10});
    QTest::newRow("remove the only one") << lines({5}) << s("5") << QByteArray();
    QTest::newRow("not listed") << lines({10, 1}) << s("2") << lines({10, 1});
    QTest::newRow("no file") << QByteArray("<missing>") << s("1") << QByteArray("<missing>");
}

void TestPanels::removePanel()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, number);
    QFETCH(QByteArray, after);

    if (before != "<missing>")
        QVERIFY(m_folder->write(s("panels.dat"), before));
    Panels::RemovePanel(number);
    QCOMPARE(fileBytes("panels.dat"), after);
    QCOMPARE(Panels::PanelsInUse(), !after.isEmpty() && after != "<missing>");
}

void TestPanels::firstPorts()
{
    QCOMPARE(Panels::AllocateMonitorPort(), 60001);
    QCOMPARE(fileBytes("VRPorts.dat"), QByteArray("60001\r\n"));
    QCOMPARE(Panels::AllocateMonitorPort(), 60002);
    QCOMPARE(fileBytes("VRPorts.dat"), QByteArray("60001\r\n60002\r\n"));

    // An empty file counts as none.
    QVERIFY(m_folder->write(s("VRPorts.dat"), QByteArray()));
    QCOMPARE(Panels::AllocateMonitorPort(), 60001);
    QCOMPARE(fileBytes("VRPorts.dat"), QByteArray("60001\r\n"));
}

void TestPanels::portsAfterGaps()
{
    QVERIFY(m_folder->write(s("VRPorts.dat"), lines({60003, 60001})));
    QCOMPARE(Panels::AllocateMonitorPort(), 60002);
    QCOMPARE(Panels::AllocateMonitorPort(), 60004);
}

void TestPanels::allPortsTaken()
{
    QList<int> all;
    for (int port = Panels::FirstMonitorPort; port <= Panels::LastMonitorPort; ++port)
        all.append(port);
    QVERIFY(m_folder->write(s("VRPorts.dat"), lines(all)));
    QCOMPARE(Panels::AllocateMonitorPort(), 0);
    QCOMPARE(fileBytes("VRPorts.dat"), lines(all));
}

QTEST_GUILESS_MAIN(TestPanels)
#include "tst_panels.moc"
