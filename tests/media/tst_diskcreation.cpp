#include "app/ui/TMain.h"
#include "media/DiskImages.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/NewDiskImageDialog.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <functional>
#include <limits>
#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString SystemQemuImg = QStringLiteral("/usr/bin/qemu-img");
const QString NotCreated = QStringLiteral("Error: Disk image was not created successfully");
const QStringList EncryptionKeys = {QStringLiteral("HDAEnc"), QStringLiteral("HDBEnc"),
                                    QStringLiteral("HDCEnc"), QStringLiteral("HDDEnc")};

QString formatOf(const QString& path)
{
    QProcess info;
    info.start(SystemQemuImg, {QStringLiteral("info"), QStringLiteral("--output=json"), path});
    if (!info.waitForFinished(-1) || info.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(info.readAllStandardOutput())
        .object()
        .value(QStringLiteral("format"))
        .toString();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the user does in the "New Disk Image" window before pressing a button.
struct WindowChoice
{
    int type = DiskImageTypes::Qcow2;
    int sizeMB = 10000;
    bool encrypt = false;
    bool compress = false;
};

int pressButton(QDialog& dialog, QDialogButtonBox::StandardButton which)
{
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    if (!buttons || !buttons->button(which))
        return -1;
    buttons->button(which)->click();
    return dialog.result();
}

// Ticks the boxes first, then picks the type, the way a user would before changing the type.
std::function<int(QDialog&)> fillAndAccept(WindowChoice choice)
{
    return [choice](QDialog& dialog) {
        auto* window = qobject_cast<NewDiskImageDialog*>(&dialog);
        if (!window)
            return -1;
        window->encryptBox()->setChecked(choice.encrypt);
        window->compressBox()->setChecked(choice.compress);
        window->typeBox()->setCurrentIndex(choice.type);
        window->sizeBox()->setValue(choice.sizeMB);
        return pressButton(dialog, QDialogButtonBox::Ok);
    };
}

int cancel(QDialog& dialog)
{
    return pressButton(dialog, QDialogButtonBox::Cancel);
}

void addVersion(const TempProgramFolder& folder)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(QStringLiteral("ID"), QStringLiteral("v1"));
    versions.setFieldValue(QStringLiteral("DESC"), QStringLiteral("Test QEMU"));
    versions.setFieldValue(QStringLiteral("DEFAULT"), QStringLiteral("No"));
    QVERIFY(versions.post());
}

} // namespace

class TestDiskCreation final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowTexts();
    void windowPresetOnEveryOpening();
    void sizeLabel_data();
    void sizeLabel();
    void typeRule();

    void saveDialogRequest_data();
    void saveDialogRequest();
    void fileNames_data();
    void fileNames();
    void returnedPath_data();
    void returnedPath();
    void rawDropsOptions();
    void refusedOptionsShowError();
    void failedOverwriteShowsError();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void encryptionKey_data();
    void encryptionKey();
    void qemuImgMissing();
    void fileMenuCommand();

private:
    void start(const QString& storeId = QStringLiteral("0"), bool withQemuImg = true);
    QString read(const QString& key) const;
    QStringList filesIn(const QString& relativeFolder) const;

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<DiskCreation> m_creation;
    ScriptedInteraction* m_script = nullptr;
    QString m_vm;
    QString m_store;
    QString m_images;
};

void TestDiskCreation::initTestCase()
{
    if (!QFileInfo::exists(SystemQemuImg))
        QSKIP("qemu-img is not installed");
}

void TestDiskCreation::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    addVersion(*m_folder);
    m_vm = m_folder->file(QStringLiteral("VMs/test.vm2"));
    m_store = QDir::toNativeSeparators(m_folder->file(QStringLiteral("VMs")));
    m_images = QDir::toNativeSeparators(m_folder->file(QStringLiteral("images")));
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("images")));
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("Elsewhere")));
}

void TestDiskCreation::cleanup()
{
    m_creation.reset();
    m_window.reset();
    m_folder.reset();
}

void TestDiskCreation::start(const QString& storeId, bool withQemuImg)
{
    if (withQemuImg) {
        QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("qemu")));
        QVERIFY(QFile::link(SystemQemuImg, m_folder->file(QStringLiteral("qemu/qemu-img.exe"))));
    }
    QVERIFY(WriteVMTemplate(m_vm, true));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("Qemu Version ID"), s("v1")));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("VM Store ID"), storeId));
    for (const QString& key : EncryptionKeys)
        QVERIFY(WriteVMFileValue(m_vm, s("Drives"), key, s("unset")));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
    m_creation = std::make_unique<DiskCreation>(*m_window, m_window.get());
    m_script->clear();
}

QString TestDiskCreation::read(const QString& key) const
{
    return ReadVMFileValue(m_vm, s("Drives"), key);
}

QStringList TestDiskCreation::filesIn(const QString& relativeFolder) const
{
    return QDir(m_folder->file(relativeFolder))
        .entryList({QStringLiteral("*")}, QDir::Files, QDir::Name);
}

void TestDiskCreation::windowTexts()
{
    start();
    m_script->answerDialog([](QDialog& dialog) {
        auto* window = qobject_cast<NewDiskImageDialog*>(&dialog);
        if (!window)
            return -1;
        [&] {
            QCOMPARE(dialog.windowTitle(), s("New Disk Image"));
            auto* group = dialog.findChild<QGroupBox*>();
            QVERIFY(group);
            QCOMPARE(group->title(), s("New Disk Image"));
            QStringList labels;
            for (const QLabel* label : dialog.findChildren<QLabel*>())
                labels.append(label->text());
            QVERIFY(labels.contains(s("Drive Type:")));
            QVERIFY(labels.contains(s("Drive Size:")));
            QStringList types;
            for (int i = 0; i < window->typeBox()->count(); ++i)
                types.append(window->typeBox()->itemText(i));
            QCOMPARE(
                types,
                QStringList({s("Qcow (QEMU Image Format)"), s("Qcow2  (Default QEMU Image Format)"),
                             s("Raw (Raw Disk Image File)"), s("vmdk (VMWare Image Format)")}));
            QCOMPARE(window->typeBox()->currentIndex(), 1);
            QCOMPARE(window->sizeBox()->value(), 10000);
            QCOMPARE(window->sizeBox()->singleStep(), 100);
            QCOMPARE(window->sizeBox()->minimum(), 0);
            QCOMPARE(window->sizeBox()->maximum(), std::numeric_limits<int>::max());
            QCOMPARE(window->sizeLabel()->text(), s("MB. (10 GB)"));
            QCOMPARE(window->encryptBox()->text(), s("Encrypt Disk"));
            QCOMPARE(window->compressBox()->text(), s("Compress Disk"));
            QVERIFY(!window->encryptBox()->isChecked());
            QVERIFY(!window->compressBox()->isChecked());
            QVERIFY(window->encryptBox()->isEnabled());
            QVERIFY(window->compressBox()->isEnabled());
            auto* buttons = dialog.findChild<QDialogButtonBox*>();
            QVERIFY(buttons);
            QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        }();
        return cancel(dialog);
    });
    QCOMPARE(m_creation->NewDiskDialog(0, false), QString());
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().constFirst().kind, s("dialog"));

    // Before anything presets it, the label has no size.
    NewDiskImageDialog fresh;
    QCOMPARE(fresh.sizeLabel()->text(), s("MB."));
}

void TestDiskCreation::windowPresetOnEveryOpening()
{
    start();
    // The first opening leaves the window changed; the second finds it preset again.
    m_script->answerDialog([](QDialog& dialog) {
        auto* window = qobject_cast<NewDiskImageDialog*>(&dialog);
        window->typeBox()->setCurrentIndex(2);
        window->sizeBox()->setValue(1500);
        return cancel(dialog);
    });
    bool preset = false;
    QDialog* seen = nullptr;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = qobject_cast<NewDiskImageDialog*>(&dialog);
        seen = &dialog;
        preset = window->typeBox()->currentIndex() == 1 && window->sizeBox()->value() == 10000 &&
                 window->sizeLabel()->text() == s("MB. (10 GB)") &&
                 window->encryptBox()->isEnabled() && window->compressBox()->isEnabled() &&
                 !window->encryptBox()->isChecked();
        return cancel(dialog);
    });
    QDialog* first = nullptr;
    m_script->answerDialog([&](QDialog& dialog) {
        first = &dialog;
        return cancel(dialog);
    });
    m_creation->NewDiskDialog(-1, true);
    m_creation->NewDiskDialog(-1, true);
    m_creation->NewDiskDialog(-1, true);
    QVERIFY(preset);
    QCOMPARE(first, seen);
}

void TestDiskCreation::sizeLabel_data()
{
    QTest::addColumn<int>("sizeMB");
    QTest::addColumn<QString>("label");
    QTest::newRow("1500") << 1500 << s("MB. (1 GB)");
    QTest::newRow("10000") << 10000 << s("MB. (10 GB)");
    QTest::newRow("one step") << 100 << s("MB. (0 GB)");
}

void TestDiskCreation::sizeLabel()
{
    QFETCH(int, sizeMB);
    QFETCH(QString, label);
    NewDiskImageDialog window;
    window.preset();
    window.sizeBox()->setValue(sizeMB);
    QCOMPARE(window.sizeLabel()->text(), label);
    window.sizeBox()->stepUp();
    QCOMPARE(window.sizeBox()->value(), sizeMB + 100);
}

void TestDiskCreation::typeRule()
{
    NewDiskImageDialog window;
    window.preset();
    window.encryptBox()->setChecked(true);
    window.compressBox()->setChecked(true);
    for (int type : {2, 0, 3}) {
        window.typeBox()->setCurrentIndex(type);
        QVERIFY(!window.encryptBox()->isChecked());
        QVERIFY(!window.compressBox()->isChecked());
        QVERIFY(!window.encryptBox()->isEnabled());
        QVERIFY(!window.compressBox()->isEnabled());
    }
    window.typeBox()->setCurrentIndex(DiskImageTypes::Qcow2);
    QVERIFY(window.encryptBox()->isEnabled());
    QVERIFY(window.compressBox()->isEnabled());
    QVERIFY(!window.encryptBox()->isChecked());
    // Reopening after a non-Qcow2 choice enables the boxes again.
    window.typeBox()->setCurrentIndex(2);
    window.preset();
    QVERIFY(window.encryptBox()->isEnabled());
    QVERIFY(window.compressBox()->isEnabled());
}

void TestDiskCreation::saveDialogRequest_data()
{
    QTest::addColumn<bool>("startInImages");
    QTest::addColumn<QString>("storeId");
    QTest::addColumn<QString>("folder");

    QTest::newRow("images folder") << true << s("0") << s("images");
    QTest::newRow("store folder") << false << s("0") << s("VMs");
    QTest::newRow("store not found") << false << s("gone") << QString();
}

void TestDiskCreation::saveDialogRequest()
{
    QFETCH(bool, startInImages);
    QFETCH(QString, storeId);
    QFETCH(QString, folder);
    start(storeId);
    m_script->answerDialog(fillAndAccept({}));
    m_script->answerText(std::nullopt);
    QCOMPARE(m_creation->NewDiskDialog(-1, startInImages), QString());
    QCOMPARE(m_script->shown().size(), 2);
    const ScriptedInteraction::Shown save = m_script->shown().at(1);
    QCOMPARE(save.kind, s("save"));
    QCOMPARE(save.title, s("Save Virtual Disk as"));
    QCOMPARE(save.filter,
             Interaction::pipeFilter(s("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw")));
    QCOMPARE(save.text,
             folder.isEmpty() ? QString() : QDir::toNativeSeparators(m_folder->file(folder)));
    QCOMPARE(save.preset, QString());
}

void TestDiskCreation::fileNames_data()
{
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<QString>("chosenName");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("createdName");

    QTest::newRow("name cut at its first dot")
        << s("Disks") << s("my.disk.qcow2") << 2 << s("my.raw");
    QTest::newRow("dotted folder kept whole") << s("My.Folder") << s("web") << 1 << s("web.qcow2");
    QTest::newRow("extension follows the type") << s("Disks") << s("a.qcow2") << 3 << s("a.vmdk");
    QTest::newRow("blanks in folder and name")
        << s("My Disks") << s("my disk") << 0 << s("my disk.qcow");
}

void TestDiskCreation::fileNames()
{
    QFETCH(QString, folderName);
    QFETCH(QString, chosenName);
    QFETCH(int, type);
    QFETCH(QString, createdName);
    start();
    QVERIFY(QDir(m_folder->path()).mkpath(folderName));
    WindowChoice choice;
    choice.type = type;
    choice.sizeMB = 10;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(m_folder->file(folderName + QLatin1Char('/') + chosenName));

    const QString expected = m_folder->file(folderName + QLatin1Char('/') + createdName);
    QCOMPARE(m_creation->NewDiskDialog(-1, true), expected);
    QCOMPARE(filesIn(folderName), QStringList({createdName}));
    QCOMPARE(formatOf(expected), DiskImageTypes::formatName(type));
}

void TestDiskCreation::returnedPath_data()
{
    QTest::addColumn<bool>("startInImages");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<bool>("bare");

    QTest::newRow("drive editor into the store folder") << false << s("VMs") << true;
    QTest::newRow("drive editor elsewhere") << false << s("Elsewhere") << false;
    QTest::newRow("images folder") << true << s("images") << true;
    QTest::newRow("store folder when starting in images") << true << s("VMs") << false;
}

void TestDiskCreation::returnedPath()
{
    QFETCH(bool, startInImages);
    QFETCH(QString, folderName);
    QFETCH(bool, bare);
    start();
    WindowChoice choice;
    choice.sizeMB = 10;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(m_folder->file(folderName + s("/disk0.qcow2")));
    const QString full = m_folder->file(folderName + s("/disk0.qcow2"));
    QCOMPARE(m_creation->NewDiskDialog(0, startInImages), bare ? s("disk0.qcow2") : full);
    QCOMPARE(formatOf(full), s("qcow2"));
    QCOMPARE(m_script->shownTexts().size(), 2); // no message box
}

void TestDiskCreation::rawDropsOptions()
{
    // This qemu-img refuses -c and -e: a created raw image shows neither was passed, nor -f.
    start();
    WindowChoice choice;
    choice.type = 2;
    choice.sizeMB = 10;
    choice.encrypt = true;
    choice.compress = true;
    bool cleared = false;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = qobject_cast<NewDiskImageDialog*>(&dialog);
        const int result = fillAndAccept(choice)(dialog);
        cleared = !window->encryptBox()->isChecked() && !window->compressBox()->isChecked();
        return result;
    });
    m_script->answerText(m_folder->file(QStringLiteral("VMs/plain")));
    QCOMPARE(m_creation->NewDiskDialog(0, false), s("plain.raw"));
    QVERIFY(cleared);
    QCOMPARE(formatOf(m_folder->file(QStringLiteral("VMs/plain.raw"))), s("raw"));
    QCOMPARE(read(s("HDAEnc")), s("No"));
    QCOMPARE(QemuImgCreateArguments(s("/d/plain.raw"), 10, false, false, s("raw")),
             s("create \"/d/plain.raw\" 10240K"));
}

void TestDiskCreation::refusedOptionsShowError()
{
    start();
    WindowChoice choice;
    choice.encrypt = true;
    choice.compress = true;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(m_folder->file(QStringLiteral("VMs/secret.qcow2")));
    QCOMPARE(m_creation->NewDiskDialog(1, false), QString());
    // Encryption is LUKS, whose password comes first; without one nothing is made.
    QCOMPARE(m_script->shown().size(), 3);
    QCOMPARE(m_script->shown().at(2).kind, s("password"));
    QCOMPARE(QemuImgCreateArguments(m_folder->file(QStringLiteral("VMs/secret.qcow2")), 10000, true,
                                    true, s("qcow2")),
             s("create -c -e -f qcow2 \"") + m_folder->file(QStringLiteral("VMs/secret.qcow2")) +
                 s("\" 10240000K"));
    QCOMPARE(filesIn(s("VMs")), QStringList({s("test.vm2")}));
    // The key follows the box even though nothing was created.
    QCOMPARE(read(s("HDBEnc")), s("Yes"));
    QCOMPARE(read(s("HDAEnc")), s("unset"));
}

void TestDiskCreation::failedOverwriteShowsError()
{
    // The save dialog's overwrite question was answered Yes; qemu-img then failed. The old file
    // must not pass for the new image.
    start();
    const QString old = m_folder->file(QStringLiteral("VMs/old.qcow2"));
    QVERIFY(m_folder->write(QStringLiteral("VMs/old.qcow2"), "an older image"));
    WindowChoice choice;
    choice.compress = true;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(old);
    QCOMPARE(m_creation->NewDiskDialog(0, false), QString());
    QCOMPARE(m_script->shownTexts().value(2), NotCreated);
    QCOMPARE(fileBytes(old), QByteArray("an older image"));
}

void TestDiskCreation::cancelWritesNothing_data()
{
    QTest::addColumn<bool>("cancelWindow");
    QTest::newRow("window cancelled") << true;
    QTest::newRow("save dialog cancelled") << false;
}

void TestDiskCreation::cancelWritesNothing()
{
    QFETCH(bool, cancelWindow);
    start();
    const QByteArray before = fileBytes(m_vm);
    WindowChoice choice;
    choice.encrypt = true;
    if (cancelWindow) {
        m_script->answerDialog(cancel);
    } else {
        m_script->answerDialog(fillAndAccept(choice));
        m_script->answerText(std::nullopt);
    }
    QCOMPARE(m_creation->NewDiskDialog(0, false), QString());
    QCOMPARE(m_script->shown().size(), cancelWindow ? 1 : 2);
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(filesIn(s("VMs")), QStringList({s("test.vm2")}));
    QCOMPARE(filesIn(s("images")), QStringList());
}

void TestDiskCreation::encryptionKey_data()
{
    QTest::addColumn<int>("drive");
    QTest::addColumn<bool>("encrypt");
    QTest::newRow("disk 0 encrypted") << 0 << true;
    QTest::newRow("disk 1 plain") << 1 << false;
    QTest::newRow("disk 2 encrypted") << 2 << true;
    QTest::newRow("disk 3 plain") << 3 << false;
    QTest::newRow("no drive") << -1 << true;
    QTest::newRow("past the disks") << 4 << true;
}

void TestDiskCreation::encryptionKey()
{
    QFETCH(int, drive);
    QFETCH(bool, encrypt);
    start();
    WindowChoice choice;
    choice.encrypt = encrypt;
    choice.sizeMB = 10;
    m_script->answerDialog(fillAndAccept(choice));
    // Encrypted creation fails with this qemu-img; the key is written all the same.
    m_script->answerText(m_folder->file(QStringLiteral("VMs/disk")));
    const QString returned = m_creation->NewDiskDialog(drive, false);
    QCOMPARE(returned, encrypt ? QString() : s("disk.qcow2"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(read(EncryptionKeys.at(i)),
                 i == drive ? (encrypt ? s("Yes") : s("No")) : s("unset"));
}

void TestDiskCreation::qemuImgMissing()
{
    start(QStringLiteral("0"), false);
    m_script->answerDialog(fillAndAccept({}));
    m_script->answerText(m_folder->file(QStringLiteral("images/disk")));
    QCOMPARE(m_creation->NewDiskDialog(-1, true), QString());
    QCOMPARE(m_script->shownTexts().value(2), NotCreated);
    QCOMPARE(m_script->shown().value(2).kind, s("error"));
    QCOMPARE(filesIn(s("images")), QStringList());
}

void TestDiskCreation::fileMenuCommand()
{
    start();
    WindowChoice choice;
    choice.sizeMB = 10;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(m_folder->file(QStringLiteral("images/new")));
    m_creation->CreateNewVirtualDiskClick();
    QCOMPARE(m_script->shown().size(), 3);
    QCOMPARE(m_script->shown().at(1).text, m_images);
    QCOMPARE(m_script->shown().at(2).kind, s("information"));
    QCOMPARE(m_script->shown().at(2).text, s("Virtual Disk created successfully"));
    QCOMPARE(formatOf(m_folder->file(QStringLiteral("images/new.qcow2"))), s("qcow2"));

    // A failure shows the error alone; cancelling shows nothing more.
    m_script->clear();
    choice.compress = true;
    m_script->answerDialog(fillAndAccept(choice));
    m_script->answerText(m_folder->file(QStringLiteral("images/other")));
    m_creation->CreateNewVirtualDiskClick();
    QCOMPARE(m_script->shownTexts().mid(2), QStringList({NotCreated}));
    m_script->clear();
    m_script->answerDialog(cancel);
    m_creation->CreateNewVirtualDiskClick();
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(filesIn(s("images")), QStringList({s("new.qcow2")}));

    // The main window's File menu command reaches the same window.
    m_script->clear();
    m_script->answerDialog(cancel);
    m_window->CreateNewVirtualDiskClick();
    QCOMPARE(m_script->shownTexts(), QStringList({s("New Disk Image")}));
}

QTEST_MAIN(TestDiskCreation)
#include "tst_diskcreation.moc"
