#include "launch/EmbeddedDisplay.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

class TestEmbeddedDisplay final : public QObject
{
    Q_OBJECT

private slots:
    void socketPath();
    void hasUsbTablet_data();
    void hasUsbTablet();
};

void TestEmbeddedDisplay::socketPath()
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCOMPARE(EmbeddedDisplay::socketPath(QStringLiteral("12")),
             runtime.path() + QStringLiteral("/vimor/display-12.sock"));
}

void TestEmbeddedDisplay::hasUsbTablet_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("versionHasUsb");
    QTest::addColumn<bool>("expected");
    const QByteArray tablet = "[Hardware]\nUSB Tablet=Yes\n";
    const QByteArray device = "[Hardware]\nEnable USB=Yes\n[USB Devices]\nCount=2\n"
                              "[USB Device 1]\nType=MOUSE\n[USB Device 2]\nType=TABLET\n";
    QTest::newRow("tablet") << tablet << true << true;
    QTest::newRow("tablet, version without USB") << tablet << false << false;
    QTest::newRow("tablet beside QEMU's VNC server") << tablet + "VNC Server=Yes\n"
                                                     << true << false;
    QTest::newRow("tablet device") << device << true << true;
    QTest::newRow("tablet device, USB off")
        << QByteArray(device).replace("Enable USB=Yes", "Enable USB=No") << true << false;
    QTest::newRow("mouse device only")
        << QByteArray(device).replace("Count=2", "Count=1") << true << false;
    QTest::newRow("neither") << QByteArray("[Hardware]\nUSB Tablet=No\n") << true << false;
}

void TestEmbeddedDisplay::hasUsbTablet()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, versionHasUsb);
    QTemporaryDir folder;
    const QString vm = folder.filePath(QStringLiteral("vm.vm2"));
    QVERIFY(writeFile(vm, file));
    QTEST(EmbeddedDisplay::hasUsbTablet(vm, versionHasUsb), "expected");
}

QTEST_GUILESS_MAIN(TestEmbeddedDisplay)
#include "tst_embeddeddisplay.moc"
