#include "launch/FirmwareChoice.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace FirmwareChoice;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString Installed = s("/usr/share/qemu/firmware");
const QString QemuImg = s("/usr/bin/qemu-img");

} // namespace

class TestFirmwareChoice final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!QFile::exists(Installed + s("/60-edk2-x86_64.json")))
            QSKIP("The package ovmf is not installed.");
    }

    void choose_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<bool>("secure");
        // Laid over the installed folder, by blanks: "folder/name:installed name or text".
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("q35 with Secure Boot")
            << s("q35") << true << s("") << s("firmware/40-edk2-x86_64-secure-enrolled.json");
        QTest::newRow("q35") << s("q35") << false << s("") << s("firmware/60-edk2-x86_64.json");
        QTest::newRow("pc") << s("pc") << false << s("") << s("firmware/60-edk2-x86_64.json");
        QTest::newRow("pc has no Secure Boot") << s("pc") << true << s("") << s("");
        QTest::newRow("later folder replaces same name")
            << s("q35") << false
            << s("low/50.json:60-edk2-x86_64.json high/50.json:60-edk2-x86_64.json")
            << s("high/50.json");
        QTest::newRow("empty file hides")
            << s("q35") << false
            << s("low/50.json:60-edk2-x86_64.json low/55.json:60-edk2-x86_64.json high/50.json:")
            << s("low/55.json");
        QTest::newRow("garbage and incomplete skipped")
            << s("q35") << false
            << s(R"(low/10.json:{x low/20.json:{"mapping":1} low/30.json:60-edk2-x86_64.json)")
            << s("low/30.json");
        QTest::newRow("Secure Boot needs enrolled keys")
            << s("q35") << true << s("low/10.json:50-edk2-x86_64-secure.json")
            << s("firmware/40-edk2-x86_64-secure-enrolled.json");
    }
    void choose()
    {
        QFETCH(QString, machine);
        QFETCH(bool, secure);
        QFETCH(QString, files);
        QFETCH(QString, chosen);
        QTemporaryDir root;
        const QStringList folders{Installed, root.filePath(s("low")), root.filePath(s("high"))};
        QVERIFY(QDir().mkpath(folders[1]) && QDir().mkpath(folders[2]));
        for (const QString& row : files.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString kind = row.section(QLatin1Char(':'), 1);
            QFile file(root.filePath(row.section(QLatin1Char(':'), 0, 0)));
            if (kind.endsWith(s(".json"))) // a copy of an installed descriptor
                QVERIFY(QFile::copy(Installed + u'/' + kind, file.fileName()));
            else
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kind.toUtf8()) >= 0);
        }
        QString error;
        const std::optional<Firmware> firmware = Choose(machine, secure, folders, &error);
        const QFileInfo descriptor(firmware ? firmware->descriptor : s(""));
        QCOMPARE(firmware ? descriptor.dir().dirName() + u'/' + descriptor.fileName() : s(""),
                 chosen);
        QVERIFY2(firmware || error.contains(s("ovmf")), qPrintable(error));
    }

    // The store made by the real qemu-img; tst_modernhardware boots QEMU with it.
    void variableStore()
    {
        const std::optional<Firmware> firmware = Choose(s("q35"), true, {Installed});
        if (!QFile::exists(QemuImg))
            QSKIP("qemu-img is not installed.");
        QVERIFY(firmware && firmware->requiresSmm);
        QTemporaryDir root;
        const QString vars = root.filePath(s("vm,1.qcow2")); // a comma QEMU must keep
        QString error;
        Firmware missing = *firmware;
        missing.varsTemplate = root.filePath(s("none.fd"));
        QVERIFY(!MakeVariableStore(QemuImg, missing, vars, &error));
        QVERIFY2(QDir(root.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 "a failed conversion left a file");
        QVERIFY2(MakeVariableStore(QemuImg, *firmware, vars, &error), qPrintable(error));
        QVERIFY(!MakeVariableStore(QemuImg, *firmware, vars, &error));
        QVERIFY2(error.contains(s("exists")), qPrintable(error));
        // The "User" bits repeat the owner's for the owner running the test.
        QCOMPARE(QFile::permissions(vars).toInt() & ~0x0f00,
                 (QFile::ReadOwner | QFile::WriteOwner).toInt());

        QProcess process;
        process.start(QemuImg, {s("info"), s("--output=json"), vars});
        QVERIFY(process.waitForFinished());
        const QJsonObject image = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        QCOMPARE(image.value(s("format")).toString(), s("qcow2"));
        QCOMPARE(image.value(s("virtual-size")).toInteger(),
                 QFileInfo(firmware->varsTemplate).size());
    }
};

QTEST_GUILESS_MAIN(TestFirmwareChoice)
#include "tst_firmwarechoice.moc"
