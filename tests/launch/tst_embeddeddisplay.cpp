#include "launch/EmbeddedDisplay.h"
#include "model/VMFile.h"
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
    // Named after the VM, and never after a path a VM file could give as its identity.
    QTemporaryDir vms;
    const QString vm = vms.filePath(QStringLiteral("a.vm2"));
    QFile file(vm);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\r\nVMID=Ab3_x-9\r\n") > 0);
    file.close();
    QCOMPARE(EmbeddedDisplay::socketPath(vm),
             runtime.path() + QStringLiteral("/vimor/display-Ab3_x-9.sock"));
    QVERIFY(WriteVMFileValue(vm, QStringLiteral("General"), QStringLiteral("VMID"),
                             QStringLiteral("../../home/x")));
    QVERIFY(EmbeddedDisplay::socketKey(vm).startsWith(QStringLiteral("id-")));
    QCOMPARE(EmbeddedDisplay::socketKey(vm).size(), 27);
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
