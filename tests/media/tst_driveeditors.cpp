#include "app/ui/TMain.h"
#include "launch/ui/SnapshotChooser.h"
#include "launch/ui/SnapshotsWindow.h"
#include "media/DriveValues.h"
#include "media/ui/BootDriveDialog.h"
#include "media/ui/BootOrderDialog.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/DriveEditors.h"
#include "media/ui/MediaWizard.h"
#include "media/ui/PhysicalDiskDialog.h"
#include "media/ui/PhysicalDriveDialog.h"
#include "media/ui/SelectPathDialog.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMContext.h"
#include "model/VMFile.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <tuple>

namespace {

using Keys = QList<std::tuple<QString, QString, QString>>;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

std::tuple<QString, QString, QString> key(const char* section, const char* name, const char* value)
{
    return {s(section), s(name), s(value)};
}

QStringList list(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result.append(s(text));
    return result;
}

const Keys BaseVM = {
    key("General", "Arc", "x86"),
    key("General", "Qemu Version", "Test QEMU"),
    key("General", "Qemu Version ID", "v0"),
    key("General", "VM Store ID", "0"),
    key("Hardware", "CPUArc", "32 Bit"),
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool touch(const QString& path, const QByteArray& bytes = QByteArray())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void addVersion(const TempProgramFolder& folder, const QString& id, const QString& code)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(QStringLiteral("ID"), id);
    versions.setFieldValue(QStringLiteral("DESC"), id);
    versions.setFieldValue(QStringLiteral("VERID"), code);
    versions.setFieldValue(QStringLiteral("DEFAULT"), QStringLiteral("No"));
    QVERIFY(versions.post());
}

// The main window as the editors' context, counting the refreshes of the settings view.
class CountingContext final : public VMContext
{
public:
    explicit CountingContext(TMain& window) : m_window(window) {}

    int refreshes = 0;

    QString selectedVM() const override { return m_window.selectedVM(); }
    QString selectedVMName() const override { return m_window.selectedVMName(); }
    QString ReadVMValue(const QString& section, const QString& key) const override
    {
        return m_window.ReadVMValue(section, key);
    }
    bool WriteVMValue(const QString& path, const QString& section, const QString& key,
                      const QString& value) override
    {
        return m_window.WriteVMValue(path, section, key, value);
    }
    VersionRegistry& versions() override { return m_window.versions(); }
    TableHandle& table(Table which) override { return m_window.table(which); }
    const StartSettings& startSettings() const override { return m_window.startSettings(); }
    void ShowSettings() override
    {
        ++refreshes;
        m_window.ShowSettings();
    }
    QWidget* dialogParent() override { return &m_window; }
    const ImageLibrary& images() const override { return m_window.images(); }

private:
    TMain& m_window;
};

// Presses a button of the dialog as the user would and gives the dialog's result.
int press(QDialog& dialog, QDialogButtonBox::StandardButton which)
{
    dialog.setResult(QDialog::Rejected);
    auto* box = dialog.findChild<QDialogButtonBox*>();
    if (QAbstractButton* button = box ? box->button(which) : nullptr)
        button->click();
    return dialog.result();
}

int pressOk(QDialog& dialog)
{
    return press(dialog, QDialogButtonBox::Ok);
}

int pressCancel(QDialog& dialog)
{
    return press(dialog, QDialogButtonBox::Cancel);
}

template <typename Dialog>
Dialog* as(QDialog& dialog)
{
    auto* typed = qobject_cast<Dialog*>(&dialog);
    if (!typed)
        qWarning("The dialog \"%s\" is not the one expected", qPrintable(dialog.windowTitle()));
    return typed;
}

QStringList items(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

QStringList items(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QStringList texts(const QDialog& dialog)
{
    QStringList found;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        found.append(label->text());
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        found.append(group->title());
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        found.append(button->text());
    return found;
}

// A host whose devices live in a temporary folder: sys/block/<name>/removable and dev/<name>.
class FakeHost final
{
public:
    // Nothing mounted: no disk is marked in use.
    FakeHost()
    {
        HostDrives::setRoots(
            {m_dir.filePath(s("sys")), m_dir.filePath(s("dev")), m_dir.filePath(s("none"))});
    }
    ~FakeHost() { HostDrives::setRoots({}); }
    Q_DISABLE_COPY_MOVE(FakeHost)

    // A device listed by the sys tree; withDevice false leaves it without a device to open.
    void add(const char* name, bool removable = false, bool withDevice = true)
    {
        const QString block = m_dir.filePath(s("sys/block/") + s(name));
        QVERIFY(touch(block + s("/removable"), removable ? "1\n" : "0\n"));
        if (withDevice)
            QVERIFY(touch(m_dir.filePath(s("dev/") + s(name)), QByteArray(512, '\0')));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

class TestDriveEditors final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hardDiskWindow_data();
    void hardDiskWindow();
    void mediaWindow_data();
    void mediaWindow();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void clearEmptiesBoxAndBoxes();

    void hardDisk2AnsweredNo();
    void hardDisk2AnsweredYes_data();
    void hardDisk2AnsweredYes();
    void cdromWithHardDisk2();

    void mediaSaveResetsOldSwitches_data();
    void mediaSaveResetsOldSwitches();

    void browseDisk_data();
    void browseDisk();
    void browseDiskWithoutStore();
    void browseMedia_data();
    void browseMedia();

    void physicalDisks();
    void physicalDiskNotChosen();
    void diskManagement();
    void sharedFolder_data();
    void sharedFolder();
    void physicalDrives();
    void noPhysicalDrives();
    void newDiskCancelled();
    void importCancelled();

    void bootOrderRoundTrip();
    void fourthBootItem();
    void bootOrderMoves();
    void bootDrive();

private:
    void start(const Keys& extra = {});
    QString read(const char* section, const char* name) const;
    void answerSelectPath(const std::function<int(SelectPathDialog&)>& handler);

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    QString m_vm;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<CountingContext> m_context;
    std::unique_ptr<DiskCreation> m_disks;
    std::unique_ptr<MediaWizard> m_wizard;
    std::unique_ptr<SnapshotChooser> m_snapshots;
    std::unique_ptr<DriveEditors> m_editors;
};

void TestDriveEditors::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(s("VMs/test.vm2"));
    addVersion(*m_folder, s("v0"), s("0"));
    addVersion(*m_folder, s("v2"), s("2"));
}

void TestDriveEditors::cleanup()
{
    // Every scripted answer was asked for: no window or question was skipped.
    const int pending = m_script->pendingAnswers();
    m_editors.reset();
    m_snapshots.reset();
    m_wizard.reset();
    m_disks.reset();
    m_context.reset();
    m_window.reset();
    m_folder.reset();
    HostDrives::setRoots({});
    QCOMPARE(pending, 0);
}

void TestDriveEditors::start(const Keys& extra)
{
    QVERIFY(WriteVMTemplate(m_vm, true));
    for (const auto& [section, name, value] : BaseVM + extra)
        QVERIFY(WriteVMFileValue(m_vm, section, name, value));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
    m_context = std::make_unique<CountingContext>(*m_window);
    m_disks = std::make_unique<DiskCreation>(*m_context, m_window.get());
    m_wizard = std::make_unique<MediaWizard>(m_window.get());
    m_snapshots = std::make_unique<SnapshotChooser>(*m_context, m_window.get());
    m_editors = std::make_unique<DriveEditors>(*m_context, *m_disks, *m_wizard, *m_snapshots,
                                               m_window.get());
    m_editors->openDiskManagement = [] { return true; };
    m_script->clear();
}

QString TestDriveEditors::read(const char* section, const char* name) const
{
    return ReadVMFileValue(m_vm, s(section), s(name));
}

void TestDriveEditors::answerSelectPath(const std::function<int(SelectPathDialog&)>& handler)
{
    m_script->answerDialog([handler](QDialog& dialog) {
        auto* path = as<SelectPathDialog>(dialog);
        return path ? handler(*path) : int(QDialog::Rejected);
    });
}

// ---- The "Select Path" window ---------------------------------------------------------------

void TestDriveEditors::hardDiskWindow_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("label");
    QTest::newRow("disk 0") << 16 << s("HDA") << s("Specify Hard Disk 0 Path");
    QTest::newRow("disk 1") << 33 << s("HDB") << s("Specify Hard Disk 1 Path");
    QTest::newRow("disk 2") << 34 << s("HDC") << s("Specify Hard Disk 2 Image");
    QTest::newRow("disk 3") << 35 << s("HDD") << s("Specify Hard Disk 3 Image");
}

void TestDriveEditors::hardDiskWindow()
{
    QFETCH(int, icon);
    QFETCH(QString, prefix);
    QFETCH(QString, label);
    start();
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), prefix, s("old.qcow2")));
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), prefix + s("Enc"), s("Yes")));
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), prefix + s("SCSI"), s("No")));
    bool checked = false;
    answerSelectPath([&](SelectPathDialog& dialog) {
        checked = true;
        [&] {
            QCOMPARE(dialog.windowTitle(), s("Select Path"));
            QCOMPARE(dialog.findChild<QLabel*>(s("driveLabel"))->text(), label);
            QCOMPARE(dialog.pathBox()->text(), s("old.qcow2"));
            QVERIFY(dialog.encryptedBox()->isChecked());
            QVERIFY(!dialog.scsiBox()->isChecked());
            QCOMPARE(dialog.browseButton()->text(), s(".."));
            QCOMPARE(dialog.clearButton()->toolTip(), s("Use Portable Qemu Path"));
            for (QWidget* shown : QList<QWidget*>{
                     dialog.newDiskButton(), dialog.physicalDiskButton(),
                     dialog.sharedFolderButton(), dialog.scsiBox(), dialog.encryptedBox()})
                QVERIFY2(!shown->isHidden(), qPrintable(shown->objectName()));
            QVERIFY(dialog.physicalDriveButton()->isHidden());
            QVERIFY(dialog.importButton()->isHidden());
            const QStringList shownTexts = texts(dialog);
            for (const QString& text :
                 list({"Create New Disk Image", "Use Physical Disk", "Use Shared Folder",
                       "Use SCSI Interface", "Drive is Encrypted"}))
                QVERIFY2(shownTexts.contains(text), qPrintable(text));
        }();
        dialog.pathBox()->setText(s("new.qcow2"));
        dialog.scsiBox()->setChecked(true);
        dialog.encryptedBox()->setChecked(false);
        return pressOk(dialog);
    });
    m_editors->edit(icon);
    QVERIFY(checked);
    QCOMPARE(ReadVMFileValue(m_vm, s("Drives"), prefix), s("new.qcow2"));
    QCOMPARE(ReadVMFileValue(m_vm, s("Drives"), prefix + s("Enc")), s("No"));
    QCOMPARE(ReadVMFileValue(m_vm, s("Drives"), prefix + s("SCSI")), s("Yes"));
    QCOMPARE(m_context->refreshes, 1);
    // The extra buttons are hidden again once the window has closed.
    QVERIFY(m_editors->selectPathDialog()->newDiskButton()->isHidden());
    QVERIFY(m_editors->selectPathDialog()->scsiBox()->isHidden());
}

void TestDriveEditors::mediaWindow_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("label");
    QTest::newRow("floppy 0") << 18 << s("FloppyA") << s("Specify Floppy Disk Image");
    QTest::newRow("floppy 1") << 36 << s("FloppyB") << s("Specify Floppy Disk Image");
    QTest::newRow("cd") << 39 << s("CDROM") << s("Specify CD/DVD Image");
}

void TestDriveEditors::mediaWindow()
{
    QFETCH(int, icon);
    QFETCH(QString, key);
    QFETCH(QString, label);
    start();
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), key, s("{VR}\\media\\old.img")));
    answerSelectPath([&](SelectPathDialog& dialog) {
        [&] {
            QCOMPARE(dialog.findChild<QLabel*>(s("driveLabel"))->text(), label);
            QCOMPARE(dialog.pathBox()->text(), s("{VR}\\media\\old.img"));
            QVERIFY(!dialog.physicalDriveButton()->isHidden());
            QVERIFY(!dialog.importButton()->isHidden());
            for (QWidget* hidden : QList<QWidget*>{
                     dialog.newDiskButton(), dialog.physicalDiskButton(),
                     dialog.sharedFolderButton(), dialog.scsiBox(), dialog.encryptedBox()})
                QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        }();
        dialog.pathBox()->setText(s("/images/new.img"));
        return pressOk(dialog);
    });
    m_editors->edit(icon);
    QCOMPARE(ReadVMFileValue(m_vm, s("Drives"), key), s("/images/new.img"));
    QCOMPARE(m_context->refreshes, 1);
    QVERIFY(m_editors->selectPathDialog()->importButton()->isHidden());
}

void TestDriveEditors::cancelWritesNothing_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("version");
    QTest::newRow("disk 0") << 16 << s("v0");
    QTest::newRow("disk 1") << 33 << s("v0");
    QTest::newRow("disk 2") << 34 << s("v0");
    QTest::newRow("disk 3") << 35 << s("v0");
    QTest::newRow("floppy 0") << 18 << s("v0");
    QTest::newRow("floppy 1") << 36 << s("v0");
    QTest::newRow("cd") << 39 << s("v0");
    QTest::newRow("boot order") << 21 << s("v0");
    QTest::newRow("boot drive") << 21 << s("v2");
}

void TestDriveEditors::cancelWritesNothing()
{
    QFETCH(int, icon);
    QFETCH(QString, version);
    start({key("Drives", "USePCFloppy", "Yes"), key("Drives", "Use System CD", "No")});
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("Qemu Version ID"), version));
    const QByteArray before = fileBytes(m_vm);
    int dialogs = 0;
    m_script->answerDialog([&](QDialog& dialog) {
        ++dialogs;
        // Whatever the user changed is dropped.
        for (QLineEdit* box : dialog.findChildren<QLineEdit*>())
            box->setText(s("changed"));
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
            box->setChecked(!box->isChecked());
        for (QComboBox* box : dialog.findChildren<QComboBox*>())
            box->setCurrentIndex(box->count() - 1);
        return pressCancel(dialog);
    });
    m_editors->edit(icon);
    QCOMPARE(dialogs, 1);
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_context->refreshes, 0);
}

void TestDriveEditors::clearEmptiesBoxAndBoxes()
{
    start({key("Drives", "HDA", "a.dsk"), key("Drives", "HDAEnc", "Yes"),
           key("Drives", "HDASCSI", "Yes")});
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.clearButton()->click();
        return pressOk(dialog);
    });
    m_editors->edit(16);
    QCOMPARE(read("Drives", "HDA"), QString());
    QCOMPARE(read("Drives", "HDAEnc"), s("No"));
    QCOMPARE(read("Drives", "HDASCSI"), s("No"));
}

// ---- Hard disk 2 and the CD-ROM -------------------------------------------------------------

void TestDriveEditors::hardDisk2AnsweredNo()
{
    start({key("Drives", "CDROM", "{VR}\\media\\a.iso"), key("Drives", "HDC", "")});
    const QByteArray before = fileBytes(m_vm);
    m_script->answerMessage(Interaction::Answer::No);
    m_editors->edit(34);
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("confirmation"));
    QCOMPARE(m_script->shown().first().text,
             s("You have a CDROM image/drive configured, if you wish to continue this must be "
               "removed - continue ?"));
    QCOMPARE(m_context->refreshes, 0);
}

void TestDriveEditors::hardDisk2AnsweredYes_data()
{
    QTest::addColumn<QString>("cdrom");
    QTest::addColumn<QString>("systemCd");
    QTest::newRow("cd image") << s("{VR}\\media\\a.iso") << s("No");
    QTest::newRow("old system cd") << QString() << s("Yes");
}

void TestDriveEditors::hardDisk2AnsweredYes()
{
    QFETCH(QString, cdrom);
    QFETCH(QString, systemCd);
    start({key("Drives", "HDC", "c.dsk")});
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), s("CDROM"), cdrom));
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), s("Use System CD"), systemCd));
    m_script->answerMessage(Interaction::Answer::Yes);
    QString cdromSeen = s("unseen");
    QString systemCdSeen;
    int refreshesSeen = -1;
    answerSelectPath([&](SelectPathDialog& dialog) {
        cdromSeen = read("Drives", "CDROM");
        systemCdSeen = read("Drives", "Use System CD");
        refreshesSeen = m_context->refreshes;
        return pressCancel(dialog);
    });
    m_editors->edit(34);
    QCOMPARE(cdromSeen, QString());
    QCOMPARE(systemCdSeen, s("No"));
    QCOMPARE(refreshesSeen, 1);
    // The cancelled window itself writes nothing.
    QCOMPARE(read("Drives", "CDROM"), QString());
    QCOMPARE(read("Drives", "HDC"), s("c.dsk"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestDriveEditors::cdromWithHardDisk2()
{
    start({key("Drives", "HDC", "c.dsk"), key("Drives", "HDCEnc", "Yes"),
           key("Drives", "HDCSCSI", "Yes")});
    const QByteArray before = fileBytes(m_vm);
    m_script->answerMessage(Interaction::Answer::No);
    m_editors->edit(39);
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_script->shownTexts().size(), 1);
    QCOMPARE(m_script->shown().first().text,
             s("You have Hard Disk 2 drive configured, if you wish to continue this must be "
               "removed - continue ?"));

    m_script->clear();
    m_script->answerMessage(Interaction::Answer::Yes);
    QStringList seen;
    answerSelectPath([&](SelectPathDialog& dialog) {
        seen = {read("Drives", "HDC"), read("Drives", "HDCEnc"), read("Drives", "HDCSCSI")};
        dialog.pathBox()->setText(s("D:"));
        return pressOk(dialog);
    });
    m_editors->edit(39);
    QCOMPARE(seen, list({"", "No", "No"}));
    QCOMPARE(read("Drives", "CDROM"), s("D:"));
    QCOMPARE(m_context->refreshes, 2);
}

void TestDriveEditors::mediaSaveResetsOldSwitches_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("usePCFloppy");
    QTest::addColumn<QString>("useSystemCd");
    QTest::newRow("floppy 0") << 18 << s("a.img") << s("No") << s("Yes");
    QTest::newRow("floppy 0 emptied") << 18 << QString() << s("Yes") << s("Yes");
    QTest::newRow("floppy 1") << 36 << s("b.img") << s("Yes") << s("Yes");
    QTest::newRow("cd") << 39 << s("x.iso") << s("Yes") << s("No");
    QTest::newRow("cd emptied") << 39 << QString() << s("Yes") << s("Yes");
}

void TestDriveEditors::mediaSaveResetsOldSwitches()
{
    QFETCH(int, icon);
    QFETCH(QString, value);
    start({key("Drives", "USePCFloppy", "Yes"), key("Drives", "Use System CD", "Yes")});
    // With "Use System CD" on, the CD row first asks nothing: only hard disk 2 is in its way.
    answerSelectPath([&](SelectPathDialog& dialog) {
        dialog.pathBox()->setText(value);
        return pressOk(dialog);
    });
    m_editors->edit(icon);
    QTEST(read("Drives", "USePCFloppy"), "usePCFloppy");
    QTEST(read("Drives", "Use System CD"), "useSystemCd");
}

// ---- ".." -----------------------------------------------------------------------------------

void TestDriveEditors::browseDisk_data()
{
    QTest::addColumn<bool>("inStore");
    QTest::addColumn<bool>("bareName");
    QTest::newRow("in the store folder") << true << true;
    QTest::newRow("elsewhere") << false << false;
}

void TestDriveEditors::browseDisk()
{
    QFETCH(bool, inStore);
    QFETCH(bool, bareName);
    start({key("Drives", "HDA", "old.dsk")});
    const QString store = QDir::toNativeSeparators(m_folder->file(s("VMs")));
    const QString chosen =
        inStore ? m_folder->file(s("VMs/disk1.qcow2")) : m_folder->file(s("elsewhere/disk1.qcow2"));
    QVERIFY(touch(chosen));
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.browseButton()->click();
        return pressOk(dialog);
    });
    m_script->answerText(chosen);
    m_editors->edit(16);
    QCOMPARE(read("Drives", "HDA"), bareName ? s("disk1.qcow2") : chosen);
    const auto& shown = m_script->shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).kind, s("open"));
    QCOMPARE(shown.at(1).title, s("Specify Disk Image"));
    QCOMPARE(QDir::cleanPath(shown.at(1).text), QDir::cleanPath(store));
    QCOMPARE(shown.at(1).preset, QString());
    QCOMPARE(
        shown.at(1).filter,
        Interaction::pipeFilter(s("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw|All Files|*.*")));
}

void TestDriveEditors::browseDiskWithoutStore()
{
    start({key("General", "VM Store ID", "gone"), key("Drives", "HDA", "old.dsk")});
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.browseButton()->click();
        return pressOk(dialog);
    });
    m_editors->edit(16);
    QCOMPARE(m_script->shown().size(), 1); // the window, no chooser
    QCOMPARE(read("Drives", "HDA"), s("old.dsk"));
}

void TestDriveEditors::browseMedia_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("filter");
    const QString cd = s("CD/DVD Image|*.Iso|Floppy Image|*.img|All Files|*.*");
    const QString floppy = s("Floppy Image|*.img|CD/DVD Image|*.Iso|All Files|*.*");
    QTest::newRow("cd in the Media folder")
        << 39 << s("Media/Debian.ISO") << s("{VR}\\media\\Debian.ISO") << cd;
    QTest::newRow("cd in a lower-case media folder")
        << 39 << s("media/Debian.ISO") << s("{VR}\\media\\Debian.ISO") << cd;
    QTest::newRow("floppy elsewhere") << 18 << s("floppies/boot.img") << QString() << floppy;
}

void TestDriveEditors::browseMedia()
{
    QFETCH(int, icon);
    QFETCH(QString, file);
    QFETCH(QString, stored);
    QFETCH(QString, filter);
    start();
    const QString chosen = m_folder->file(file);
    QVERIFY(touch(chosen));
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.browseButton()->click();
        return pressOk(dialog);
    });
    m_script->answerText(chosen);
    m_editors->edit(icon);
    QCOMPARE(read("Drives", icon == 39 ? "CDROM" : "FloppyA"), stored.isEmpty() ? chosen : stored);
    const auto& shown = m_script->shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).title, s("Specify Media"));
    QCOMPARE(shown.at(1).text, MediaFolder());
    QCOMPARE(shown.at(1).filter, Interaction::pipeFilter(filter));
}

// ---- Physical disks, shared folders, host drives ---------------------------------------------

void TestDriveEditors::physicalDisks()
{
    FakeHost host;
    host.add("sda");
    host.add("sdb", false, false); // disk 1: cannot be opened
    host.add("sdc");
    host.add("loop0");
    start();
    QStringList entries;
    QStringList windowTexts;
    answerSelectPath([&](SelectPathDialog& dialog) {
        dialog.physicalDiskButton()->click();
        return pressOk(dialog);
    });
    m_script->answerDialog([&](QDialog& dialog) {
        auto* disks = as<PhysicalDiskDialog>(dialog);
        if (!disks)
            return int(QDialog::Rejected);
        windowTexts = texts(dialog);
        windowTexts.prepend(dialog.windowTitle());
        entries = items(disks->diskList());
        disks->diskList()->setCurrentIndex(1);
        return pressOk(dialog);
    });
    m_editors->edit(16);
    QCOMPARE(entries, list({"Disk 0", "Disk 2"}));
    for (const QString& text :
         list({"Use Physical Drive", "Physical Drive", "Select Drive", "Open Disk Management"}))
        QVERIFY2(windowTexts.contains(text), qPrintable(text));
    QCOMPARE(read("Drives", "HDA"), s("\\\\.\\PhysicalDrive2"));
}

void TestDriveEditors::physicalDiskNotChosen()
{
    FakeHost host;
    host.add("sda");
    start({key("Drives", "HDB", "b.dsk")});
    answerSelectPath([&](SelectPathDialog& dialog) {
        dialog.physicalDiskButton()->click();
        return pressOk(dialog);
    });
    m_script->answerDialog([](QDialog& dialog) {
        auto* disks = as<PhysicalDiskDialog>(dialog);
        if (disks)
            [&] { QCOMPARE(disks->diskList()->currentIndex(), -1); }();
        return pressOk(dialog);
    });
    m_editors->edit(33);
    QCOMPARE(read("Drives", "HDB"), s("b.dsk"));
}

void TestDriveEditors::diskManagement()
{
    start();
    int calls = 0;
    bool found = false;
    m_editors->openDiskManagement = [&] {
        ++calls;
        return found;
    };
    PhysicalDiskDialog& window = *m_editors->physicalDiskDialog();
    window.diskManagementButton()->click();
    QCOMPARE(calls, 1);
    QCOMPARE(m_script->shownTexts().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("information"));
    QCOMPARE(m_script->shown().first().text, DriveEditors::NoDiskManagementMessage());

    m_script->clear();
    found = true;
    window.diskManagementButton()->click();
    QCOMPARE(calls, 2);
    QVERIFY(m_script->shown().isEmpty());
}

void TestDriveEditors::sharedFolder_data()
{
    QTest::addColumn<std::optional<QString>>("folder");
    QTest::addColumn<Interaction::Answer>("writable");
    QTest::addColumn<QString>("stored");
    QTest::newRow("read only") << std::optional<QString>(s("/srv/share")) << Interaction::Answer::No
                               << s("fat:/srv/share");
    QTest::newRow("writable") << std::optional<QString>(s("/srv/share")) << Interaction::Answer::Yes
                              << s("fat::rw:/srv/share");
    QTest::newRow("no folder chosen")
        << std::optional<QString>() << Interaction::Answer::Yes << s("old.dsk");
}

void TestDriveEditors::sharedFolder()
{
    QFETCH(std::optional<QString>, folder);
    QFETCH(Interaction::Answer, writable);
    start({key("Drives", "HDD", "old.dsk")});
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.sharedFolderButton()->click();
        return pressOk(dialog);
    });
    m_script->answerText(folder);
    if (folder)
        m_script->answerMessage(writable);
    m_editors->edit(35);
    QTEST(read("Drives", "HDD"), "stored");
    const auto& shown = m_script->shown();
    QVERIFY(shown.size() >= 2);
    QCOMPARE(shown.at(1).kind, s("folder"));
    QCOMPARE(shown.at(1).title, s("Select Folder"));
    if (folder) {
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.at(2).text, s("Do you wish to make this folder writable (Caution) ?"));
    } else {
        QCOMPARE(shown.size(), 2);
    }
}

void TestDriveEditors::physicalDrives()
{
    FakeHost host;
    host.add("fd0");
    host.add("sda");
    host.add("sr0");
    host.add("sr1");
    start({key("Drives", "USePCFloppy", "Yes")});

    QStringList letters;
    QStringList windowTexts;
    const auto chooseLast = [&](QDialog& dialog) {
        auto* drives = as<PhysicalDriveDialog>(dialog);
        if (!drives)
            return int(QDialog::Rejected);
        windowTexts = texts(dialog);
        windowTexts.prepend(dialog.windowTitle());
        letters = items(drives->driveList());
        [&] { QCOMPARE(drives->driveList()->currentIndex(), 0); }();
        drives->driveList()->setCurrentIndex(drives->driveList()->count() - 1);
        return pressOk(dialog);
    };
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.physicalDriveButton()->click();
        return pressOk(dialog);
    });
    m_script->answerDialog(chooseLast);
    m_editors->edit(39);
    QCOMPARE(letters, list({"D:", "E:"}));
    for (const QString& text :
         list({"Select Physical Drive", "Physical Drive", "Please select drive letter to use"}))
        QVERIFY2(windowTexts.contains(text), qPrintable(text));
    QCOMPARE(read("Drives", "CDROM"), s("E:"));

    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.physicalDriveButton()->click();
        return pressOk(dialog);
    });
    m_script->answerDialog(chooseLast);
    m_editors->edit(18);
    QCOMPARE(letters, list({"A:"}));
    QCOMPARE(read("Drives", "FloppyA"), s("A:"));
    QCOMPARE(read("Drives", "USePCFloppy"), s("No"));
}

void TestDriveEditors::noPhysicalDrives()
{
    FakeHost host;
    host.add("sda");
    host.add("sr0"); // a CD drive does not serve a floppy row
    start({key("Drives", "FloppyB", "b.img")});
    answerSelectPath([](SelectPathDialog& dialog) {
        dialog.physicalDriveButton()->click();
        return pressOk(dialog);
    });
    m_editors->edit(36);
    const auto& shown = m_script->shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).kind, s("error"));
    QCOMPARE(shown.at(1).text, s("There are NO physical Drives to use!"));
    QCOMPARE(read("Drives", "FloppyB"), s("b.img"));
}

void TestDriveEditors::newDiskCancelled()
{
    start({key("Drives", "HDA", "a.dsk"), key("Drives", "HDAEnc", "Yes")});
    bool encryptedAfter = false;
    QString textAfter = s("unseen");
    answerSelectPath([&](SelectPathDialog& dialog) {
        dialog.clearButton()->click();
        dialog.pathBox()->setText(s("typed.dsk"));
        dialog.newDiskButton()->click();
        textAfter = dialog.pathBox()->text();
        encryptedAfter = dialog.encryptedBox()->isChecked();
        return pressCancel(dialog);
    });
    m_script->answerDialog([](QDialog& dialog) { return pressCancel(dialog); });
    m_editors->edit(16);
    QCOMPARE(m_script->shown().at(1).title, s("New Disk Image"));
    // Nothing made empties the box; the drive's key still says encrypted.
    QCOMPARE(textAfter, QString());
    QVERIFY(encryptedAfter);
    QCOMPARE(read("Drives", "HDA"), s("a.dsk"));
}

void TestDriveEditors::importCancelled()
{
    start({key("Drives", "CDROM", "x.iso")});
    QString textAfter;
    answerSelectPath([&](SelectPathDialog& dialog) {
        dialog.importButton()->click();
        textAfter = dialog.pathBox()->text();
        return pressOk(dialog);
    });
    m_script->answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    m_editors->edit(39);
    QCOMPARE(m_script->shown().at(1).title, s("Import Media Wizard"));
    QCOMPARE(textAfter, s("x.iso"));
    QCOMPARE(read("Drives", "CDROM"), s("x.iso"));
}

// ---- Boot windows ---------------------------------------------------------------------------

void TestDriveEditors::bootOrderRoundTrip()
{
    start(
        {key("Drives", "BootOrder", "CD/DVD Drive|Hard Drive"), key("Drives", "Boot Menu", "Yes")});
    const QByteArray before = fileBytes(m_vm);
    m_script->answerDialog([](QDialog& dialog) {
        auto* window = as<BootOrderDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        [&] {
            QCOMPARE(dialog.windowTitle(), s("Boot Options"));
            auto* tabs = dialog.findChild<QTabWidget*>();
            QVERIFY(tabs);
            QCOMPARE(tabs->tabText(0), s("Boot Options"));
            const QStringList shown = texts(dialog);
            for (const QString& text : list({"Available Drives:", "Boot Order:", ">", "<", "Up",
                                             "Down", "Show boot menu"}))
                QVERIFY2(shown.contains(text), qPrintable(text));
            QCOMPARE(items(window->orderList()), list({"CD/DVD Drive", "Hard Drive"}));
            QCOMPARE(items(window->availableList()), list({"Floppy Drive", "Network"}));
            QVERIFY(window->bootMenuBox()->isChecked());
        }();
        return pressOk(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(read("Drives", "BootOrder"), s("CD/DVD Drive|Hard Drive"));
    QCOMPARE(read("Drives", "Boot Menu"), s("Yes"));
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_context->refreshes, 1);
}

void TestDriveEditors::fourthBootItem()
{
    start({key("Drives", "BootOrder", "Network|Hard Drive|CD/DVD Drive")});
    QStringList order;
    QStringList available;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<BootOrderDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        window->availableList()->setCurrentRow(0);
        window->addButton()->click();
        // The double-click does the same.
        emit window->availableList()->itemDoubleClicked(window->availableList()->item(0));
        order = items(window->orderList());
        available = items(window->availableList());
        return pressOk(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(m_script->shownTexts().count(s("You can only specify 3 boot order items")), 2);
    QCOMPARE(m_script->shown().at(1).kind, s("warning"));
    QCOMPARE(order, list({"Network", "Hard Drive", "CD/DVD Drive"}));
    QCOMPARE(available, list({"Floppy Drive"}));
    QCOMPARE(read("Drives", "BootOrder"), s("Network|Hard Drive|CD/DVD Drive"));
}

void TestDriveEditors::bootOrderMoves()
{
    start({key("Drives", "BootOrder", "Hard Drive|Network"), key("Drives", "Boot Menu", "No")});
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<BootOrderDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        QListWidget* order = window->orderList();
        QListWidget* available = window->availableList();
        [&] {
            // Nothing selected: the buttons do nothing.
            window->upButton()->click();
            window->downButton()->click();
            window->addButton()->click();
            window->removeButton()->click();
            QCOMPARE(items(order), list({"Hard Drive", "Network"}));
            QCOMPARE(items(available), list({"CD/DVD Drive", "Floppy Drive"}));

            order->setCurrentRow(0);
            window->upButton()->click();
            QCOMPARE(items(order), list({"Hard Drive", "Network"}));
            order->setCurrentRow(1);
            window->downButton()->click();
            QCOMPARE(items(order), list({"Hard Drive", "Network"}));

            // Up moves the item and leaves it selected.
            window->upButton()->click();
            QCOMPARE(items(order), list({"Network", "Hard Drive"}));
            QCOMPARE(order->selectedItems().size(), 1);
            QCOMPARE(order->selectedItems().first()->text(), s("Network"));

            // Back to the available drives, which stay sorted.
            emit order->itemDoubleClicked(order->item(0));
            QCOMPARE(items(order), list({"Hard Drive"}));
            QCOMPARE(items(available), list({"CD/DVD Drive", "Floppy Drive", "Network"}));

            // ">" appends at the end of the boot order.
            available->setCurrentRow(0);
            window->addButton()->click();
            QCOMPARE(items(order), list({"Hard Drive", "CD/DVD Drive"}));
            QCOMPARE(items(available), list({"Floppy Drive", "Network"}));
            window->bootMenuBox()->setChecked(true);
        }();
        return pressOk(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(read("Drives", "BootOrder"), s("Hard Drive|CD/DVD Drive"));
    QCOMPARE(read("Drives", "Boot Menu"), s("Yes"));

    // Emptied, the list is stored as an empty value.
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<BootOrderDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        while (window->orderList()->count() > 0) {
            window->orderList()->setCurrentRow(0);
            window->removeButton()->click();
        }
        return pressOk(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(read("Drives", "BootOrder"), QString());
}

void TestDriveEditors::bootDrive()
{
    start({key("General", "Qemu Version ID", "v2"), key("Drives", "BootOrder", "Hard Drive"),
           key("Drives", "Boot Menu", "Yes"), key("Drives", "Boot Drive", "Floppy Disk"),
           key("Drives", "Boot Drive ID", "1")});
    int preset = -1;
    QStringList windowTexts;
    QStringList drives;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<BootDriveDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        windowTexts = texts(dialog);
        windowTexts.prepend(dialog.windowTitle());
        drives = items(window->driveList());
        preset = window->driveList()->currentIndex();
        window->driveList()->setCurrentIndex(2);
        return pressOk(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(preset, 1);
    QCOMPARE(drives, list({"Hard Disk", "Floppy Disk", "CD-ROM", "Network", "None"}));
    for (const QString& text : list({"Boot Options", "Boot Drive", "Boot From:"}))
        QVERIFY2(windowTexts.contains(text), qPrintable(text));
    QCOMPARE(read("Drives", "Boot Drive"), s("CD-ROM"));
    QCOMPARE(read("Drives", "Boot Drive ID"), s("2"));
    QCOMPARE(read("Drives", "Boot Menu"), s("No"));
    QCOMPARE(read("Drives", "BootOrder"), QString());
    QCOMPARE(m_context->refreshes, 1);

    // A stored position that is no position opens on the first entry.
    QVERIFY(WriteVMFileValue(m_vm, s("Drives"), s("Boot Drive ID"), s("CD")));
    preset = -1;
    m_script->answerDialog([&](QDialog& dialog) {
        if (auto* window = as<BootDriveDialog>(dialog))
            preset = window->driveList()->currentIndex();
        return pressCancel(dialog);
    });
    m_editors->edit(21);
    QCOMPARE(preset, 0);
}

QTEST_MAIN(TestDriveEditors)
#include "tst_driveeditors.moc"
