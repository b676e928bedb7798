#include "media/DiskImages.h"
#include "model/ProgramFolder.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString SystemQemuImg = QStringLiteral("/usr/bin/qemu-img");

// Puts the installed qemu-img where the program looks for it.
bool installQemuImg(const TempProgramFolder& folder)
{
    return QDir(folder.path()).mkpath(QStringLiteral("qemu")) &&
           QFile::link(SystemQemuImg, folder.file(QStringLiteral("qemu/qemu-img.exe")));
}

// qemu-img's own view of an image.
QJsonObject imageInfo(const QString& path)
{
    QProcess info;
    info.start(SystemQemuImg, {QStringLiteral("info"), QStringLiteral("--output=json"), path});
    if (!info.waitForFinished(-1) || info.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(info.readAllStandardOutput()).object();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestDiskImages final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void types_data();
    void types();
    void arguments_data();
    void arguments();
    void basePath_data();
    void basePath();
    void sizeLabel_data();
    void sizeLabel();

    void runAndWait();
    void runAndWaitFailures_data();
    void runAndWaitFailures();

    void createsEveryType_data();
    void createsEveryType();
    void optionsOnlyForQcow2();
    void refusedOptionsFail();
    void failedOverwriteIsNoSuccess();
    void confirmedOverwriteReplaces();
    void qemuImgMissing();
    void unknownTypeCreatesNothing();
    void quoteInPathRefused();
};

void TestDiskImages::initTestCase()
{
    if (!QFileInfo::exists(SystemQemuImg))
        QSKIP("qemu-img is not installed");
}

void TestDiskImages::types_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("format");

    QTest::newRow("qcow") << 0 << s("Qcow (QEMU Image Format)") << s(".qcow") << s("qcow");
    QTest::newRow("qcow2") << 1 << s("Qcow2  (Default QEMU Image Format)") << s(".qcow2")
                           << s("qcow2");
    QTest::newRow("raw") << 2 << s("Raw (Raw Disk Image File)") << s(".raw") << s("raw");
    QTest::newRow("vmdk") << 3 << s("vmdk (VMWare Image Format)") << s(".vmdk") << s("vmdk");
    QTest::newRow("below the list") << -1 << QString() << s(".dsk") << QString();
    QTest::newRow("past the list") << 4 << QString() << s(".dsk") << QString();
}

void TestDiskImages::types()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(QString, extension);
    QFETCH(QString, format);
    QCOMPARE(DiskImageTypes::texts().size(), 4);
    QCOMPARE(DiskImageTypes::texts().value(position), text);
    QCOMPARE(DiskImageTypes::extension(position), extension);
    QCOMPARE(DiskImageTypes::formatName(position), format);
}

void TestDiskImages::arguments_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("sizeMB");
    QTest::addColumn<bool>("compress");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("arguments");

    const QString path = s("C:\\My Disks\\web.qcow2");
    QTest::newRow("qcow2 with both options")
        << path << 10000 << true << true << s("qcow2")
        << s("create -c -e -f qcow2 \"C:\\My Disks\\web.qcow2\" "
             "10240000K");
    QTest::newRow("qcow2 compressed")
        << path << 100 << true << false << s("qcow2")
        << s("create -c -f qcow2 \"C:\\My Disks\\web.qcow2\" 102400K");
    QTest::newRow("qcow2 encrypted") << path << 100 << false << true << s("qcow2")
                                     << s("create -e -f qcow2 \"C:\\My Disks\\web.qcow2\" 102400K");
    QTest::newRow("qcow") << s("/d/a.qcow") << 1 << false << false << s("qcow")
                          << s("create -f qcow \"/d/a.qcow\" 1024K");
    QTest::newRow("vmdk") << s("/d/a.vmdk") << 1 << false << false << s("vmdk")
                          << s("create -f vmdk \"/d/a.vmdk\" 1024K");
    QTest::newRow("raw gets no format")
        << s("/d/a.raw") << 1 << false << false << s("raw") << s("create \"/d/a.raw\" 1024K");
    QTest::newRow("zero size") << s("/d/a.raw") << 0 << false << false << s("raw")
                               << s("create \"/d/a.raw\" 0K");
    QTest::newRow("largest size does not overflow")
        << s("/d/a.raw") << 2147483647 << false << false << s("raw")
        << s("create \"/d/a.raw\" 2199023254528K");
}

void TestDiskImages::arguments()
{
    QFETCH(QString, path);
    QFETCH(int, sizeMB);
    QFETCH(bool, compress);
    QFETCH(bool, encrypt);
    QFETCH(QString, format);
    QFETCH(QString, arguments);
    QCOMPARE(QemuImgCreateArguments(path, sizeMB, compress, encrypt, format), arguments);
}

void TestDiskImages::basePath_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("base");

    QTest::newRow("name cut at its first dot")
        << s("C:\\Disks\\my.disk.qcow2") << s("C:\\Disks\\my");
    QTest::newRow("dotted folder kept whole") << s("C:\\My.Folder\\web") << s("C:\\My.Folder\\web");
    QTest::newRow("native name cut") << s("/home/u/my.disk.qcow2") << s("/home/u/my");
    QTest::newRow("native dotted folder") << s("/home/My.Folder/web") << s("/home/My.Folder/web");
    QTest::newRow("dotted folder and dotted name") << s("/a.b/c.d/e.f.g") << s("/a.b/c.d/e");
    QTest::newRow("name ending in a dot") << s("/d/name.") << s("/d/name");
    QTest::newRow("bare name") << s("disk.raw") << s("disk");
}

void TestDiskImages::basePath()
{
    QFETCH(QString, chosen);
    QFETCH(QString, base);
    QCOMPARE(DiskBasePath(chosen), base);
}

void TestDiskImages::sizeLabel_data()
{
    QTest::addColumn<int>("sizeMB");
    QTest::addColumn<QString>("label");

    QTest::newRow("1500 drops the remainder") << 1500 << s("MB. (1 GB)");
    QTest::newRow("10000") << 10000 << s("MB. (10 GB)");
    QTest::newRow("below a gigabyte") << 999 << s("MB. (0 GB)");
    QTest::newRow("zero") << 0 << s("MB. (0 GB)");
    QTest::newRow("largest") << 2147483647 << s("MB. (2147483 GB)");
}

void TestDiskImages::sizeLabel()
{
    QFETCH(int, sizeMB);
    QFETCH(QString, label);
    QCOMPARE(DiskSizeLabel(sizeMB), label);
}

void TestDiskImages::runAndWait()
{
    // A program that records its arguments and its working folder, and ends with code 7.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("tool with blank"));
    QVERIFY(writeFile(script,
                      "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > args.txt\n"
                      "exit 7\n"));
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner));
    QCOMPARE(RunAndWait(script, s("one  \"two words\" \"\" a\"b c\"d")), 7);
    // Started in its own folder, with the arguments grouped at the quotes and no shell between.
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("args.txt"))),
             QByteArray("[one][two words][][ab cd]"));
}

void TestDiskImages::runAndWaitFailures_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("result");

    QTest::newRow("success") << s("/bin/sh") << s("-c \"exit 0\"") << 0;
    QTest::newRow("exit code passed on") << s("/bin/sh") << s("-c \"exit 3\"") << 3;
    QTest::newRow("missing program") << s("/nonexistent/qemu-img.exe") << s("create") << -1;
    QTest::newRow("not executable") << s("/etc/hostname") << QString() << -1;
    QTest::newRow("crash") << s("/bin/sh") << s("-c \"kill -SEGV $$\"") << -1;
    QTest::newRow("no input to wait for") << s("/bin/sh") << s("-c \"read x; exit 5\"") << 5;
}

void TestDiskImages::runAndWaitFailures()
{
    QFETCH(QString, executable);
    QFETCH(QString, arguments);
    QFETCH(int, result);
    QCOMPARE(RunAndWait(executable, arguments), result);
}

void TestDiskImages::createsEveryType_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("sizeMB");

    QTest::newRow("qcow") << 0 << s("new disk.qcow") << s("qcow") << 30;
    QTest::newRow("qcow2") << 1 << s("new disk.qcow2") << s("qcow2") << 10000;
    QTest::newRow("raw") << 2 << s("new disk.raw") << s("raw") << 1500;
    QTest::newRow("vmdk") << 3 << s("new disk.vmdk") << s("vmdk") << 20;
}

void TestDiskImages::createsEveryType()
{
    QFETCH(int, position);
    QFETCH(QString, fileName);
    QFETCH(QString, format);
    QFETCH(int, sizeMB);

    TempProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(installQemuImg(folder));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("My Disks")));
    const QString base = folder.file(QStringLiteral("My Disks/new disk"));
    const QString expected = folder.file(QStringLiteral("My Disks/") + fileName);

    QCOMPARE(CreateDiskImage(position, sizeMB, false, false, base), expected);
    QVERIFY(QFileInfo::exists(expected));
    const QJsonObject info = imageInfo(expected);
    QCOMPARE(info.value(QStringLiteral("format")).toString(), format);
    QCOMPARE(info.value(QStringLiteral("virtual-size")).toInteger(), qint64(sizeMB) * 1024 * 1024);
    QCOMPARE(QFile::permissions(expected), QFile::Permissions(0x6600)); // 0600
}

void TestDiskImages::optionsOnlyForQcow2()
{
    // This qemu-img refuses -c and -e, so a created image shows that neither was passed.
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    for (int position : {0, 2, 3}) {
        const QString base = folder.file(QStringLiteral("disk%1").arg(position));
        const QString created = CreateDiskImage(position, 10, true, true, base);
        QCOMPARE(created, base + DiskImageTypes::extension(position));
        QCOMPARE(imageInfo(created).value(QStringLiteral("format")).toString(),
                 DiskImageTypes::formatName(position));
    }
}

void TestDiskImages::refusedOptionsFail()
{
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    const QString base = folder.file(QStringLiteral("web"));
    QVERIFY(CreateDiskImage(DiskImageTypes::Qcow2, 10, true, false, base).isEmpty());
    QVERIFY(CreateDiskImage(DiskImageTypes::Qcow2, 10, false, true, base).isEmpty());
    QVERIFY(!RunQemuImgCreate(base + s(".qcow2"), 10, true, true, s("qcow2")));
    QVERIFY(!QFileInfo::exists(base + s(".qcow2")));
}

void TestDiskImages::failedOverwriteIsNoSuccess()
{
    // The user confirmed replacing an old file and qemu-img then failed: the old file is still
    // readable, but nothing was created.
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    const QString base = folder.file(QStringLiteral("old"));
    const QString path = base + s(".qcow2");
    QVERIFY(writeFile(path, "an older image"));

    QVERIFY(!RunQemuImgCreate(path, 10, true, false, s("qcow2")));
    QVERIFY(CreateDiskImage(DiskImageTypes::Qcow2, 10, false, true, base).isEmpty());
    QCOMPARE(fileBytes(path), QByteArray("an older image"));
}

void TestDiskImages::confirmedOverwriteReplaces()
{
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    const QString base = folder.file(QStringLiteral("old"));
    QVERIFY(writeFile(base + s(".qcow2"), "an older image"));
    QCOMPARE(CreateDiskImage(DiskImageTypes::Qcow2, 10, false, false, base), base + s(".qcow2"));
    QCOMPARE(imageInfo(base + s(".qcow2")).value(QStringLiteral("format")).toString(), s("qcow2"));
}

void TestDiskImages::qemuImgMissing()
{
    TempProgramFolder folder;
    const QString base = folder.file(QStringLiteral("disk"));
    QVERIFY(CreateDiskImage(DiskImageTypes::Qcow2, 10, false, false, base).isEmpty());
    QVERIFY(!RunQemuImgCreate(base + s(".raw"), 10, false, false, s("raw")));
    QVERIFY(!QFileInfo::exists(base + s(".qcow2")));
    QVERIFY(!QFileInfo::exists(base + s(".raw")));
}

void TestDiskImages::unknownTypeCreatesNothing()
{
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    const QString base = folder.file(QStringLiteral("disk"));
    QVERIFY(CreateDiskImage(4, 10, false, false, base).isEmpty());
    QVERIFY(CreateDiskImage(-1, 10, false, false, base).isEmpty());
    QVERIFY(!QFileInfo::exists(base + s(".dsk")));
}

void TestDiskImages::quoteInPathRefused()
{
    // The quote would close the path's group and hand the rest to qemu-img as options.
    TempProgramFolder folder;
    QVERIFY(installQemuImg(folder));
    const QString base = folder.file(QStringLiteral("a\" -o \"size=1M"));
    QVERIFY(CreateDiskImage(2, 10, false, false, base).isEmpty());
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("a*")}, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestDiskImages)
#include "tst_diskimages.moc"
