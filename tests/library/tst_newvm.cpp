#include "app/ui/TMain.h"
#include "library/NewVM.h"
#include "library/OsProfiles.h"
#include "library/ui/NewVMWizard.h"
#include "library/ui/VMDeletion.h"
#include "model/HardwareCatalogue.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Host.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString SystemQemuImg = QStringLiteral("/usr/bin/qemu-img");
const QString DiskError = QStringLiteral("Error: Disk image was not created successfully");

struct VersionRow
{
    QString id;
    QString desc;
    QString isDefault;
    QString integrated;
    QString verid;
};

void addVersions(const TempProgramFolder& folder, const QList<VersionRow>& rows)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    for (const VersionRow& row : rows) {
        versions.insert();
        versions.setFieldValue(s("ID"), row.id);
        versions.setFieldValue(s("DESC"), row.desc);
        versions.setFieldValue(s("DEFAULT"), row.isDefault);
        versions.setFieldValue(s("INT"), row.integrated);
        versions.setFieldValue(s("VERID"), row.verid);
        QVERIFY(versions.post());
    }
}

void addProfiles(const TempProgramFolder& folder, const QList<OsProfile>& profiles)
{
    TableHandle opsys;
    opsys.setFolder(folder.path());
    opsys.setTableName(TableSchemas::OpSysTable);
    QVERIFY(opsys.open());
    for (const OsProfile& profile : profiles)
        QVERIFY(AddProfile(opsys, profile));
}

QString fileText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The definition file of a new x86 VM named Web in the default store, with a new Qcow2 disk, on
// a version with INT "Yes" and VERID "0"; VMID and MAC stand as <ID> and <MAC>.
QString expectedWebText()
{
    const MachinesAndCpus x86 = ListMachinesAndCpus(s("x86"), 0);
    const ChoiceRow sound = ListSoundCards(s("x86"))->first();
    const ChoiceRow video = ListVideoCards(s("x86"))->first();
    const ChoiceRow card = ListNetworkCardModels(s("x86"), x86.machines.first().id, false)->first();
    const QStringList lines{
        s("//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO WILL! CAUSE "
          "PROBLEMS"),
        s("//WITH VIMOR!"),
        s("[General]"),
        s("Version=2.0"),
        s("Window Title={VM NAME}"),
        s("Operating System="),
        s("Last Run="),
        s("Status=Stopped"),
        s("StatusID="),
        s("VMID=<ID>"),
        s("VM Store=Default VM Store"),
        s("Arc=x86"),
        s("VM Store ID=0"),
        s("Qemu EXE=qemu.exe"),
        s("Qemu Version=QEMU 0.12"),
        s("Qemu Version ID=v12"),
        s("[Hardware]"),
        s("RAM=256"),
        s("Enable USB=No"),
        s("Full Screen Display=No"),
        s("Do Not Start CPU=No"),
        s("Simulate ISA=No"),
        s("Use Local Time=Yes"),
        s("Do Not Apply=No"),
        s("Enable WIN2K Hack=No"),
        s("Enable USB=No"),
        s("Enable Bluetooth=No"),
        s("BTKeyboard=No"),
        s("Hard Disk Size="),
        s("Processors=1"),
        s("semihosting=No"),
        s("VNC Server=No"),
        s("VNC Number=1"),
        s("Keyboard=en-us"),
        s("KeyboardIndex=5"),
        s("USB Tablet=No"),
        s("Network=Yes"),
        s("CPUArc=32 Bit"),
        s("CPUType=") + x86.cpus.first().display,
        s("CID=") + x86.cpus.first().id,
        s("MID=") + x86.machines.first().id,
        s("MachineType=") + x86.machines.first().display,
        s("Video Card=") + video.display,
        s("VideoID=0"),
        s("VID=") + video.id,
        s("Kernel="),
        s("Initrd="),
        s("Vimor Client=Yes"),
        s("OutputID=0"),
        s("Output=Vimor (Default)"),
        s("[Drives]"),
        s("HDA=Web.qcow2"),
        s("HDB="),
        s("HDC="),
        s("HDD="),
        s("CDROM="),
        s("FloppyA="),
        s("FloppyB="),
        s("Boot Menu=No"),
        s("BootOrder=CD/DVD Drive|Hard Drive"),
        s("HDA Format=qcow2"),
        s("[Audio]"),
        s("Enable Sound=Yes"),
        s("SoundCard=") + sound.display,
        s("SoundID=0"),
        s("SID=") + sound.id,
        s("[Network]"),
        s("CardCount=1"),
        s("[Advanced]"),
        s("Audio Output=Direct Sound"),
        s("AOID=0"),
        s("AOItem=dsound"),
        s("OverrideAll=No"),
        s("OverrideString="),
        s("SavedState="),
        s("USBString="),
        s("SDL=No"),
        s("NoReboot=No"),
        s("ACPI=No"),
        s("Affinity=Disabled"),
        s("AffinityCPU="),
        s("Process=Normal"),
        s("Debug=No"),
        s("Monitor=No"),
        s("Name=No"),
        s("MachineTypeIndex=0"),
        s("ProcessIndex=1"),
        s("Enable HAL Hack=No"),
        s("Disable Boot Signature=No"),
        s("Disable HPET=No"),
        s("Bios=Default"),
        s("Start Time=Now"),
        s("KQEMUID=1"),
        s("KQEMU=User Mode"),
        s("[USB Devices]"),
        s("Count=0"),
        s("[Ports]"),
        s("SerialCount=1"),
        s("ParallelCount=1"),
        s("[Serial Port 1]"),
        s("SerialTy=0"),
        s("Serial=Console"),
        s("IP=0.0.0.0"),
        s("Port=4444"),
        s("listen=0"),
        s("wait=0"),
        s("[Parallel Port 1]"),
        s("ParallelTy=0"),
        s("Parallel=Console"),
        s("[Network Card 1]"),
        s("Lan Card=") + card.display,
        s("Lan Card ID=0"),
        s("LID=") + card.id,
        s("VLAN=0"),
        s("VLAN Type=User Networking"),
        s("MAC=<MAC>"),
        s("Redirectors="),
        s("Listeners="),
        s("Connectors="),
    };
    return lines.join(s("\r\n")) + s("\r\n");
}

qint64 virtualSize(const QString& image)
{
    QProcess info;
    info.start(SystemQemuImg, {s("info"), s("--output=json"), image});
    if (!info.waitForFinished(30000))
        return -1;
    return QJsonDocument::fromJson(info.readAllStandardOutput())
        .object()
        .value(s("virtual-size"))
        .toInteger(-1);
}

} // namespace

class TestNewVM final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void webWithNewQcow2Disk();
    void deleteWithAndWithoutDisk();
    void deleteRefusalsAndValuesNamingNoFile();
    void nameRefusals_data();
    void nameRefusals();
    void emptyAndExistingNames();
    void failingDiskCreationWritesNothing();
    void unwritableStoreWritesNothing();
    void profilePresetsAndMemoryClamp();
    void page2Checks();
    void versionsAndPlatforms_data();
    void versionsAndPlatforms();
    void defaultVersionNotFirst();
    void pageTexts();
    void createNewStore();
    void existingDiskAndKernelChoosers();
    void linuxPresetAndInstallMedium();
    void missingFirmwareAndTpmAsked();

private:
    void start(bool withQemuImg = true);
    // Runs the wizard; steps drives it while it is shown and decides whether it finishes.
    QString runWizard(const std::function<bool(NewVMWizard&)>& steps);
    QString vmPath(const QString& name) const { return m_folder->file(s("VMs/") + name); }

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<NewVMWizard> m_wizard;
    ScriptedInteraction* m_script = nullptr;
};

void TestNewVM::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    Host::overridePhysicalMemoryMB(4096);
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void TestNewVM::cleanup()
{
    m_wizard.reset();
    m_window.reset();
    m_folder.reset();
    Host::overridePhysicalMemoryMB(0);
}

void TestNewVM::start(bool withQemuImg)
{
    if (withQemuImg) {
        if (!QFileInfo::exists(SystemQemuImg))
            QSKIP("qemu-img is not installed");
        QVERIFY(QDir(m_folder->path()).mkpath(s("qemu")));
        QVERIFY(QFile::link(SystemQemuImg, m_folder->file(s("qemu/qemu-img.exe"))));
    }
    m_window = std::make_unique<TMain>();
    m_wizard = std::make_unique<NewVMWizard>(*m_window, m_window->storeLists(), m_window.get());
    m_script->clear();
}

QString TestNewVM::runWizard(const std::function<bool(NewVMWizard&)>& steps)
{
    m_script->answerDialog([&steps](QDialog& dialog) {
        auto* wizard = qobject_cast<NewVMWizard*>(&dialog);
        if (!wizard)
            return -1;
        return steps(*wizard) ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    return m_wizard->NewVMClick();
}

void TestNewVM::webWithNewQcow2Disk()
{
    addVersions(*m_folder, {{s("v12"), s("QEMU 0.12"), s("Yes"), s("Yes"), s("0")}});
    start();
    const QString created = runWizard([](NewVMWizard& wizard) {
        wizard.nameBox()->setText(s("Web"));
        wizard.nextClick();
        wizard.nextClick();
        if (wizard.currentPage() != 2)
            return false;
        wizard.finishClick();
        return true;
    });
    QCOMPARE(m_script->shownTexts().filter(s("Error")), QStringList());
    // The store is "{VR}\VMs": the program folder's VMs folder.
    QCOMPARE(created, vmPath(s("Web.vm2")));
    QVERIFY(QFileInfo(vmPath(s("Web.qcow2"))).isFile());
    QCOMPARE(virtualSize(vmPath(s("Web.qcow2"))), qint64(10240000) * 1024);
    QCOMPARE(ReadVMFileValue(created, s("Drives"), s("HDA")), s("Web.qcow2"));

    QString text = fileText(created);
    const QRegularExpression id(s("^VMID=([0-9a-zA-HJ-NP-Z]{20})\r$"),
                                QRegularExpression::MultilineOption);
    const QRegularExpression mac(s("^MAC=(52-54-00-[0-9A-F]{2}-[0-9A-F]{2}-[0-9A-F]{2})\r$"),
                                 QRegularExpression::MultilineOption);
    QVERIFY2(id.match(text).hasMatch(), qPrintable(text));
    QVERIFY2(mac.match(text).hasMatch(), qPrintable(text));
    text.replace(id, s("VMID=<ID>\r")).replace(mac, s("MAC=<MAC>\r"));
    QCOMPARE(text, expectedWebText());

    // The caller's part: the tree shows the new VM and it can be selected.
    m_window->BuildVMTree();
    QVERIFY(m_window->selectVM(created));
    QCOMPARE(m_window->selectedVMName(), s("Web"));
}

void TestNewVM::deleteWithAndWithoutDisk()
{
    addVersions(*m_folder, {{s("v12"), s("QEMU 0.12"), s("Yes"), s("Yes"), s("0")}});
    start();
    const auto make = [this](const QString& name) {
        return runWizard([name](NewVMWizard& wizard) {
            wizard.nameBox()->setText(name);
            wizard.nextClick();
            wizard.nextClick();
            return wizard.currentPage() == 2;
        });
    };
    const QString keep = make(s("Keep"));
    const QString gone = make(s("Gone"));
    QVERIFY(!keep.isEmpty() && !gone.isEmpty());
    m_window->BuildVMTree();

    QVERIFY(m_window->selectVM(keep));
    m_script->clear();
    m_script->answerMessage(Interaction::Answer::Yes);
    m_script->answerMessage(Interaction::Answer::No);
    QCOMPARE(DeleteVMClick(*m_window), VMDeletion::Deleted);
    QCOMPARE(m_script->shownTexts(),
             QStringList({s("Are you Sure you wish to delete this virtual machine ?"),
                          s("Do you wish to delete the main virtual disk image also ?")}));
    QVERIFY(!QFileInfo::exists(keep));
    QVERIFY(QFileInfo::exists(vmPath(s("Keep.qcow2"))));

    QVERIFY(m_window->selectVM(gone));
    m_script->answerMessage(Interaction::Answer::Yes);
    m_script->answerMessage(Interaction::Answer::Yes);
    QCOMPARE(DeleteVMClick(*m_window), VMDeletion::Deleted);
    QVERIFY(!QFileInfo::exists(gone));
    QVERIFY(!QFileInfo::exists(vmPath(s("Gone.qcow2"))));
}

void TestNewVM::deleteRefusalsAndValuesNamingNoFile()
{
    QVERIFY(WriteVMTemplate(vmPath(s("A.vm2")), true));
    QVERIFY(WriteVMFileValue(vmPath(s("A.vm2")), s("General"), s("VM Store ID"), s("0")));
    start(false);
    // The root selected.
    m_window->tree()->setCurrentItem(m_window->tree()->topLevelItem(0));
    QCOMPARE(m_window->selectedVM(), QString());
    QCOMPARE(DeleteVMClick(*m_window), VMDeletion::NoVMSelected);
    QCOMPARE(m_script->shownTexts(), QStringList{s("Please select a virtual machine to delete")});

    QVERIFY(m_window->selectVM(vmPath(s("A.vm2"))));
    m_script->answerMessage(Interaction::Answer::No);
    QCOMPARE(DeleteVMClick(*m_window), VMDeletion::Cancelled);
    QVERIFY(QFileInfo::exists(vmPath(s("A.vm2"))));

    // Values that name no image file: nothing but the definition file goes.
    QVERIFY(m_folder->write(s("VMs/A.qcow2"), "disk"));
    QVERIFY(m_folder->write(s("VMs/fat:x"), "not a disk"));
    TableHandle& lookup = m_window->table(VMContext::Table::VLookup);
    const QString file = vmPath(s("A.vm2"));
    for (const QString& value :
         {QString(), s("\\\\.\\PhysicalDrive0"), s("fat:x"), s("VMs"), s("."), s("..")}) {
        QVERIFY(WriteVMFileValue(file, s("Drives"), s("HDA"), value));
        QCOMPARE(NewVM::MainDiskFile(file, lookup), QString());
    }
    // A bare name is the file in the store folder; a full path is taken as it stands.
    QVERIFY(WriteVMFileValue(file, s("Drives"), s("HDA"), s("a.QCOW2")));
    QCOMPARE(QFileInfo(NewVM::MainDiskFile(file, lookup)).fileName(), s("A.qcow2"));
    QVERIFY(WriteVMFileValue(file, s("Drives"), s("HDA"), vmPath(s("A.qcow2"))));
    QCOMPARE(NewVM::MainDiskFile(file, lookup), vmPath(s("A.qcow2")));
    NewVM::DeleteVMFiles(file, true, lookup);
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!QFileInfo::exists(vmPath(s("A.qcow2"))));
    QVERIFY(QFileInfo::exists(vmPath(s("fat:x"))));
    // Deleting what is already gone passes in silence.
    NewVM::DeleteVMFiles(file, true, lookup);
}

void TestNewVM::nameRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    const QString slashOrNul = s("The virtual machine name may not contain the characters / or "
                                 "NUL, please enter another name");
    const QString dots =
        s("The virtual machine name may not be . or .., please enter another name");
    const QString tooLong =
        s("The virtual machine name is too long for a file name, please enter a shorter name");
    QTest::newRow("slash") << s("a/b") << slashOrNul;
    QTest::newRow("leading slash") << s("/tmp/x") << slashOrNul;
    QTest::newRow("nul") << (s("a") + QChar(u'\0') + s("b")) << slashOrNul;
    QTest::newRow("dot") << s(".") << dots;
    QTest::newRow("dot dot") << s("..") << dots;
    QTest::newRow("249 bytes") << QString(245, QLatin1Char('x')) << tooLong;
    QTest::newRow("two-byte letters, 250 bytes") << QString(123, QChar(0xE9)) << tooLong;
    QTest::newRow("248 bytes") << QString(244, QLatin1Char('x')) << QString();
    QTest::newRow("two-byte letters, 248 bytes") << QString(122, QChar(0xE9)) << QString();
    QTest::newRow("dots inside") << s("...a..") << QString();
    QTest::newRow("backslash") << s("a\\b") << QString();
}

void TestNewVM::nameRefusals()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QCOMPARE(NewVM::NameProblem(name), message);

    addVersions(*m_folder, {{s("v12"), s("QEMU 0.12"), s("Yes"), s("Yes"), s("0")}});
    start(false);
    int page = -1;
    const QString created = runWizard([&](NewVMWizard& wizard) {
        wizard.nameBox()->setText(name);
        wizard.nextClick();
        page = wizard.currentPage();
        if (page != 1)
            return false;
        wizard.noDiskButton()->setChecked(true);
        wizard.nextClick();
        return wizard.currentPage() == 2;
    });
    if (message.isEmpty()) {
        QCOMPARE(page, 1);
        QVERIFY(!created.isEmpty());
        QCOMPARE(QFileInfo(created).fileName(), name + s(".vm2"));
        QCOMPARE(QFileInfo(created).absolutePath(), QFileInfo(vmPath(s("x"))).absolutePath());
        return;
    }
    QCOMPARE(page, 0);
    QCOMPARE(created, QString());
    QVERIFY(m_script->shownTexts().contains(message));
    QCOMPARE(m_script->shown().last().kind, s("warning"));
    QCOMPARE(m_script->shown().last().text, message);
    QCOMPARE(QDir(m_folder->file(s("VMs"))).entryList(QDir::Files), QStringList());
    QVERIFY(!QFileInfo::exists(s("/tmp/x.vm2")));
}

void TestNewVM::emptyAndExistingNames()
{
    QVERIFY(WriteVMTemplate(vmPath(s("Web.vm2")), true));
    addProfiles(*m_folder, {{s("Big"), s("1024"), s("20000")}});
    start(false);
    runWizard([this](NewVMWizard& wizard) {
        m_script->clear();
        wizard.nextClick();
        [&] {
            QCOMPARE(wizard.currentPage(), 0);
            QCOMPARE(m_script->shownTexts(),
                     QStringList{s("Please enter a name for the virtual machine")});
            m_script->clear();
            // The existing name in another case; page 2 is reset before the check.
            wizard.nameBox()->setText(s("wEB"));
            wizard.osBox()->setCurrentIndex(0);
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 0);
            QCOMPARE(m_script->shown().size(), 1);
            QCOMPARE(m_script->shown().first().kind, s("error"));
            QCOMPARE(m_script->shown().first().text,
                     s("A Virtual Machine with this name already exists!"));
            QCOMPARE(wizard.memoryBox()->value(), 1024);
            QCOMPARE(wizard.diskSizeBox()->value(), 20000);
        }();
        return false;
    });
    QCOMPARE(QDir(m_folder->file(s("VMs"))).entryList(QDir::Files), QStringList{s("Web.vm2")});
}

void TestNewVM::failingDiskCreationWritesNothing()
{
    addVersions(*m_folder, {{s("v12"), s("QEMU 0.12"), s("Yes"), s("Yes"), s("0")}});
    start(false); // no qemu-img in the program folder
    const QString created = runWizard([](NewVMWizard& wizard) {
        wizard.nameBox()->setText(s("Web"));
        wizard.nextClick();
        wizard.nextClick();
        return wizard.currentPage() == 2;
    });
    QCOMPARE(created, QString());
    QCOMPARE(m_script->shownTexts().filter(s("Error")), QStringList{DiskError});
    QCOMPARE(QDir(m_folder->file(s("VMs"))).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestNewVM::unwritableStoreWritesNothing()
{
    addVersions(*m_folder, {{s("v12"), s("QEMU 0.12"), s("Yes"), s("Yes"), s("0")}});
    start();
    QVERIFY(QDir(m_folder->file(s("VMs"))).removeRecursively());
    const QString created = runWizard([](NewVMWizard& wizard) {
        wizard.nameBox()->setText(s("Web"));
        wizard.nextClick();
        wizard.noDiskButton()->setChecked(true);
        wizard.nextClick();
        return wizard.currentPage() == 2;
    });
    QCOMPARE(created, QString());
    QCOMPARE(m_script->shown().size(), 2); // the dialog and the error
    QCOMPARE(m_script->shown().last().kind, s("error"));
    QVERIFY(!QFileInfo::exists(m_folder->file(s("VMs"))));
}

void TestNewVM::profilePresetsAndMemoryClamp()
{
    Host::overridePhysicalMemoryMB(2048);
    addProfiles(*m_folder, {{s("Linux"), s("128"), s("3000")},
                            {s("Windows XP"), s("512"), s("4000")},
                            {s("Windows XP"), s("64"), s("1000")},
                            {s("Odd"), s("lots"), s("big")},
                            {s("Huge"), s("8192"), s("50000")}});
    start(false);
    runWizard([](NewVMWizard& wizard) {
        [&] {
            QCOMPARE(wizard.osBox()->count(), 5);
            QCOMPARE(wizard.osBox()->currentIndex(), -1);
            QCOMPARE(wizard.osBox()->currentText(), QString());
            wizard.nameBox()->setText(s("Web"));
            wizard.nextClick();
            QCOMPARE(wizard.memoryBox()->value(), 256);
            QCOMPARE(wizard.diskSizeBox()->value(), 10000);
            QCOMPARE(wizard.memorySlider()->maximum(), 2048);
            QCOMPARE(wizard.memoryTopLabel()->text(), s("2048 MB."));
            QCOMPARE(wizard.diskSizeLabel()->text(), s("MB. (10 GB)"));

            wizard.backClick();
            wizard.osBox()->setCurrentIndex(1); // the first "Windows XP" applies
            wizard.nextClick();
            QCOMPARE(wizard.memoryBox()->value(), 512);
            QCOMPARE(wizard.memorySlider()->value(), 512);
            QCOMPARE(wizard.diskSizeBox()->value(), 4000);
            QCOMPARE(wizard.diskSizeLabel()->text(), s("MB. (4 GB)"));
            wizard.memoryBox()->setValue(5000);
            QCOMPARE(wizard.memoryBox()->value(), 2048);
            QCOMPARE(wizard.memorySlider()->value(), 2048);
            // Typed, key by key, from a value below the host's memory.
            wizard.memoryBox()->setValue(100);
            wizard.memoryBox()->selectAll();
            QTest::keyClicks(wizard.memoryBox(), s("5000"));
            QCOMPARE(wizard.memoryBox()->value(), 2048);
            QCOMPARE(wizard.memorySlider()->value(), 2048);
            wizard.memorySlider()->setValue(1000);
            QCOMPARE(wizard.memoryBox()->value(), 1000);
            wizard.diskSizeBox()->setValue(1500);
            QCOMPARE(wizard.diskSizeLabel()->text(), s("MB. (1.5 GB)"));

            // A profile of no numbers keeps the presets; one above the host is clamped.
            wizard.backClick();
            wizard.osBox()->setCurrentIndex(3);
            wizard.nextClick();
            QCOMPARE(wizard.memoryBox()->value(), 256);
            QCOMPARE(wizard.diskSizeBox()->value(), 10000);
            wizard.backClick();
            wizard.osBox()->setCurrentIndex(4);
            wizard.nextClick();
            QCOMPARE(wizard.memoryBox()->value(), 2048);
            QCOMPARE(wizard.diskSizeBox()->value(), 50000);
        }();
        return false;
    });
}

void TestNewVM::page2Checks()
{
    start(false);
    runWizard([this](NewVMWizard& wizard) {
        m_script->clear();
        [&] {
            wizard.nameBox()->setText(s("Web"));
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 1);
            QVERIFY(wizard.createDiskButton()->isChecked());
            QCOMPARE(wizard.diskTypeBox()->currentIndex(), 1);
            QVERIFY(!wizard.newDiskGroup()->isHidden());
            QVERIFY(wizard.existingDiskGroup()->isHidden());

            const QString required = s("Please enter all the required details");
            wizard.existingDiskButton()->setChecked(true);
            QVERIFY(wizard.newDiskGroup()->isHidden());
            QVERIFY(!wizard.existingDiskGroup()->isHidden());
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 1);
            QCOMPARE(m_script->shownTexts(), QStringList{required});

            wizard.createDiskButton()->setChecked(true);
            wizard.diskSizeBox()->setValue(0);
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 1);
            wizard.diskSizeBox()->setValue(100);
            wizard.memoryBox()->setValue(0);
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 1);
            QCOMPARE(m_script->shownTexts(), QStringList(3, required));

            // Encryption and compression are for Qcow2 only.
            wizard.memoryBox()->setValue(128);
            wizard.encryptBox()->setChecked(true);
            wizard.compressBox()->setChecked(true);
            wizard.diskTypeBox()->setCurrentIndex(2);
            QVERIFY(!wizard.encryptBox()->isChecked() && !wizard.encryptBox()->isEnabled());
            QVERIFY(!wizard.compressBox()->isChecked() && !wizard.compressBox()->isEnabled());
            wizard.diskTypeBox()->setCurrentIndex(1);
            QVERIFY(wizard.encryptBox()->isEnabled() && wizard.compressBox()->isEnabled());

            wizard.noDiskButton()->setChecked(true);
            QVERIFY(wizard.newDiskGroup()->isHidden() && wizard.existingDiskGroup()->isHidden());
            wizard.nextClick();
            QCOMPARE(wizard.currentPage(), 2);
        }();
        return false;
    });
    QCOMPARE(QDir(m_folder->file(s("VMs"))).entryList(QDir::Files), QStringList());
}

void TestNewVM::versionsAndPlatforms_data()
{
    QTest::addColumn<QString>("integrated");
    QTest::addColumn<QString>("verid");
    QTest::addColumn<int>("platform");
    QTest::addColumn<int>("output");
    QTest::addColumn<QStringList>("expected"); // section/key=value, "!" + section/key absent

    QTest::newRow("INT off, VERID 2")
        << s("No") << s("2") << 0 << 1
        << QStringList{s("Drives/Boot Drive=Hard Disk"), s("Drives/Boot Drive ID=0"),
                       s("!Drives/BootOrder"),           s("!Hardware/Output"),
                       s("!Hardware/OutputID"),          s("!Hardware/Vimor Client"),
                       s("Advanced/KQEMU=User Mode")};
    QTest::newRow("INT on, VERID 1, VNC")
        << s("Yes") << s("1") << 0 << 2
        << QStringList{s("Drives/BootOrder=CD/DVD Drive|Hard Drive"),
                       s("!Drives/Boot Drive"),
                       s("Hardware/Output=VNC Client"),
                       s("Hardware/OutputID=2"),
                       s("Hardware/Vimor Client=No"),
                       s("Hardware/VNC Number=7")};
    QTest::newRow("INT on, VERID 3, in the main window")
        << s("Yes") << s("3") << 0 << 0
        << QStringList{s("Drives/BootOrder=CD/DVD Drive|Hard Drive"),
                       s("Hardware/Output=Vimor (Default)"), s("Hardware/OutputID=0"),
                       s("Hardware/Vimor Client=Yes")};
    QTest::newRow("INT on, full screen")
        << s("Yes") << s("0") << 0 << 3
        << QStringList{s("Hardware/Output=Full Screen Display"), s("Hardware/OutputID=3"),
                       s("Hardware/Vimor Client=No"), s("Hardware/VNC Number=1")};
    QTest::newRow("arm, empty kernel boxes")
        << s("Yes") << s("0") << 2 << 1
        << QStringList{s("General/Arc=arm"),         s("Hardware/Kernel="),
                       s("Hardware/Initrd="),        s("Advanced/KQEMUID=0"),
                       s("Advanced/KQEMU=Disabled"), s("Hardware/Output=QEMU Window"),
                       s("Hardware/OutputID=1")};
    QTest::newRow("sparc, no sound")
        << s("Yes") << s("0") << 5 << 0
        << QStringList{
               s("General/Arc=sparc"),   s("!Audio/SoundCard"),
               s("!Audio/SID"),          s("Network Card 1/Lan Card=Lance"),
               s("Network/CardCount=1"), s("General/Qemu EXE=") + QemuExeName(0, s("sparc"))};
}

void TestNewVM::versionsAndPlatforms()
{
    QFETCH(QString, integrated);
    QFETCH(QString, verid);
    QFETCH(int, platform);
    QFETCH(int, output);
    QFETCH(QStringList, expected);
    addVersions(*m_folder, {{s("v"), s("Some QEMU"), s("Yes"), integrated, verid}});
    start(false);
    const QString created = runWizard([&](NewVMWizard& wizard) {
        wizard.nameBox()->setText(s("Web"));
        wizard.platformBox()->setCurrentIndex(platform);
        wizard.nextClick();
        wizard.noDiskButton()->setChecked(true);
        wizard.nextClick();
        [&] {
            QCOMPARE(wizard.kernelGroup()->isHidden(), platform == 0);
            QCOMPARE(wizard.outputGroup()->isEnabled(), integrated == s("Yes") && verid != s("2"));
            QCOMPARE(wizard.outputBox()->currentIndex(), integrated == s("Yes") ? 0 : 1);
            QVERIFY(wizard.vncRow()->isHidden());
        }();
        wizard.outputBox()->setCurrentIndex(output);
        [&] { QCOMPARE(wizard.vncRow()->isHidden(), output != 2); }();
        wizard.vncNumberBox()->setValue(7);
        return true;
    });
    QVERIFY(!created.isEmpty());
    for (const QString& item : expected) {
        const bool absent = item.startsWith(QLatin1Char('!'));
        const QString spec = absent ? item.mid(1) : item;
        const QString section = spec.section(QLatin1Char('/'), 0, 0);
        const QString keyValue = spec.section(QLatin1Char('/'), 1);
        const QString key = keyValue.section(QLatin1Char('='), 0, 0);
        const QString text = fileText(created);
        if (absent) {
            QVERIFY2(!text.contains(s("\r\n") + key + s("=")), qPrintable(item));
        } else {
            QCOMPARE(ReadVMFileValue(created, section, key), keyValue.section(QLatin1Char('='), 1));
        }
    }
    QCOMPARE(ReadVMFileValue(created, s("Drives"), s("HDA")), QString());
}

void TestNewVM::defaultVersionNotFirst()
{
    addVersions(*m_folder, {{s("a"), s("First"), s("No"), s("Yes"), s("0")},
                            {s("b"), s("Second"), s("Yes"), s("Yes"), s("1")},
                            {s("c"), s("Third"), s("No"), s("No"), s("2")}});
    start(false);
    const QString created = runWizard([](NewVMWizard& wizard) {
        [&] {
            QCOMPARE(wizard.versionBox()->count(), 3);
            QCOMPARE(wizard.versionBox()->itemText(0), s("First"));
            QCOMPARE(wizard.versionBox()->itemText(2), s("Third"));
            QCOMPARE(wizard.versionBox()->currentText(), s("Second"));
        }();
        wizard.nameBox()->setText(s("Web"));
        wizard.nextClick();
        wizard.noDiskButton()->setChecked(true);
        wizard.nextClick();
        return true;
    });
    QCOMPARE(ReadVMFileValue(created, s("General"), s("Qemu Version")), s("Second"));
    QCOMPARE(ReadVMFileValue(created, s("General"), s("Qemu Version ID")), s("b"));
}

void TestNewVM::pageTexts()
{
    start(false);
    runWizard([](NewVMWizard& wizard) {
        [&] {
            QCOMPARE(wizard.windowTitle(), s("New Virual Machine Wizard"));
            QStringList labels;
            for (const QLabel* label : wizard.findChildren<QLabel*>())
                labels.append(label->text());
            for (const char* text :
                 {"New Virtual Machine Wizard",
                  "Welcome to the new virtual machine wizard.   This wizard will help you create a "
                  "new virtual machine.",
                  "Please specify where you wish to store your virtual machine configuration and "
                  "disk images:",
                  "Please select the platform for the virtual machine. ",
                  "Please specfiy the amount of memory, and hard disk type/size your require.",
                  "If prompted enter some final information below. ", "Kernel  Path:", "0MB"})
                QVERIFY2(labels.contains(s(text)), text);
            QStringList titles;
            for (const QGroupBox* group : wizard.findChildren<QGroupBox*>())
                titles.append(group->title());
            QVERIFY(titles.contains(s("Kernel && Initial Ram Disk Images")));
            QCOMPARE(wizard.existingDiskButton()->text(),
                     s("Use an  Existing Virtual Disk Image."));
            QCOMPARE(wizard.platformBox()->count(), 8);
            QCOMPARE(wizard.platformBox()->currentText(), s("Standard x86/x64 PC"));
            QCOMPARE(wizard.diskTypeBox()->itemText(1), s("Qcow2  (Default QEMU Image Format)"));
            QCOMPARE(wizard.storeBox()->currentText(), s("Default VM Store"));
            QCOMPARE(wizard.currentPage(), 0);
            QVERIFY(!wizard.finishButton()->isVisibleTo(&wizard));
        }();
        return false;
    });
}

void TestNewVM::createNewStore()
{
    const QString extra = m_folder->file(s("Extra"));
    QVERIFY(QDir().mkpath(extra));
    start(false);
    const QString created = runWizard([this, extra](NewVMWizard& wizard) {
        m_script->answerText(std::nullopt); // the name box cancelled
        wizard.createStoreClick();
        m_script->answerText(s("More")); // the folder picker cancelled
        m_script->answerText(std::nullopt);
        wizard.createStoreClick();
        [&] { QCOMPARE(wizard.storeBox()->count(), 1); }();
        m_script->answerText(s("More"));
        m_script->answerText(extra);
        wizard.createStoreClick();
        [&] {
            QCOMPARE(wizard.storeBox()->count(), 2);
            QCOMPARE(wizard.storeBox()->currentIndex(), 1);
            QCOMPARE(wizard.storeBox()->currentText(), s("More"));
        }();
        wizard.nameBox()->setText(s("Web"));
        wizard.nextClick();
        wizard.noDiskButton()->setChecked(true);
        wizard.nextClick();
        return true;
    });
    QCOMPARE(created, extra + s("/Web.vm2"));
    const QString id = ReadVMFileValue(created, s("General"), s("VM Store ID"));
    QCOMPARE(id, m_window->storeLists().ids.value(1));
    QCOMPARE(id.size(), 20);
    QCOMPARE(ReadVMFileValue(created, s("General"), s("VM Store")), s("More"));
}

void TestNewVM::existingDiskAndKernelChoosers()
{
    start(false);
    const QString store = m_folder->file(s("VMs"));
    const QString created = runWizard([this, store](NewVMWizard& wizard) {
        wizard.nameBox()->setText(s("Web"));
        wizard.platformBox()->setCurrentIndex(1);
        wizard.nextClick();
        wizard.existingDiskButton()->setChecked(true);
        m_script->answerText(store + s("/OLD.qcow2"));
        wizard.browseExistingDiskClick();
        [&] {
            QCOMPARE(wizard.existingDiskBox()->text(), s("OLD.qcow2"));
            const ScriptedInteraction::Shown& shown = m_script->shown().last();
            QCOMPARE(shown.kind, s("open"));
            QCOMPARE(shown.title, s("Specify Disk Image"));
            QCOMPARE(shown.text, store);
        }();
        m_script->answerText(s("/elsewhere/disk.raw"));
        wizard.browseExistingDiskClick();
        wizard.existingEncryptedBox()->setChecked(true);
        wizard.nextClick();
        m_script->answerText(s("/boot/vmlinuz"));
        wizard.browseKernelClick();
        m_script->answerText(std::nullopt);
        wizard.browseInitrdClick();
        [&] {
            QCOMPARE(m_script->shown().last().title, s("Specify Image"));
            QCOMPARE(m_script->shown().last().text, QString());
        }();
        return true;
    });
    QCOMPARE(ReadVMFileValue(created, s("Drives"), s("HDA")), s("/elsewhere/disk.raw"));
    QCOMPARE(ReadVMFileValue(created, s("Drives"), s("HDAEnc")), s("Yes"));
    QCOMPARE(ReadVMFileValue(created, s("Hardware"), s("Kernel")), s("/boot/vmlinuz"));
    QCOMPARE(ReadVMFileValue(created, s("Hardware"), s("Initrd")), QString());
    QCOMPARE(ReadVMFileValue(created, s("General"), s("Arc")), s("ppc"));
}

namespace {

const char LinuxPreset[] = "arch=64;machine=q35;firmware=bios;cpus=2;disk=virtio;"
                           "nic=virtio-net-pci;video=virtio;sound=hda;rng=yes;usb=xhci;tablet=yes;"
                           "localtime=no;clipboard=yes";
const char Windows11Preset[] = "arch=64;machine=q35;firmware=uefi-secure;tpm=2.0;cpus=2;ram=4096;"
                               "disk=sata;nic=e1000e;video=std;usb=xhci;tablet=yes;hpet=off";

// Steps through the wizard with an operating system chosen from the list; false when a page
// refused to move on.
bool finishWith(NewVMWizard& wizard, const QString& name, const QString& os, const QString& medium)
{
    wizard.nameBox()->setText(name);
    wizard.osBox()->setCurrentIndex(wizard.osBox()->findText(os));
    wizard.mediumBox()->setText(medium);
    wizard.nextClick();
    wizard.nextClick();
    if (wizard.currentPage() != 2)
        return false;
    wizard.finishClick();
    return true;
}

} // namespace

void TestNewVM::linuxPresetAndInstallMedium()
{
    addVersions(*m_folder, {{s("v3"), s("QEMU 7.2"), s("Yes"), s("Yes"), s("3")}});
    addProfiles(*m_folder, {{s("Debian 12"), s("2048"), s("20000"), s(LinuxPreset)}});
    QVERIFY(m_folder->write(s("Media/debian.iso"), QByteArray(4096, 'x')));
    start();

    // A medium that is not there is refused on the first page, and nothing is written.
    QVERIFY(runWizard([](NewVMWizard& wizard) {
                return finishWith(wizard, s("Deb"), s("Debian 12"), s("/nonexistent/d.iso"));
            }).isEmpty());
    QVERIFY(!m_script->shownTexts().filter(s("/nonexistent/d.iso")).isEmpty());
    QVERIFY(!QFileInfo::exists(vmPath(s("Deb.vm2"))));

    // A medium named like a raw image that holds a qcow2 one is offered with that format.
    const QString medium = m_folder->file(s("Media/debian.iso"));
    QVERIFY(m_folder->write(s("Media/debian.iso"), QByteArray("QFI\xfb\0\0\0\3", 8)));
    const QString vm = runWizard([&](NewVMWizard& wizard) {
        m_script->answerMessage(Interaction::Answer::Yes);
        return finishWith(wizard, s("Deb"), s("Debian 12"), medium);
    });
    QVERIFY(m_script->shownTexts().last().contains(s("holds a qcow2 image")));
    QCOMPARE(vm, vmPath(s("Deb.vm2")));
    const auto read = [&vm](const char* section, const char* key) {
        return ReadVMFileValue(vm, s(section), s(key));
    };
    const std::pair<std::pair<const char*, const char*>, QString> expected[] = {
        {{"Hardware", "CPUArc"}, s("64 Bit")},
        {{"General", "Qemu EXE"}, s("qemu-system-x86_64.exe")},
        {{"Hardware", "MID"}, s("q35")},
        {{"Hardware", "MachineType"}, s("Standard PC (Q35 + ICH9, 2009)")},
        {{"Hardware", "CID"}, s("host")},
        {{"Hardware", "Processors"}, s("2")},
        {{"Hardware", "RAM"}, s("2048")},
        {{"Hardware", "VID"}, s("virtio")},
        {{"Audio", "SID"}, s("hda")},
        {{"Network Card 1", "LID"}, s("virtio-net-pci")},
        {{"Drives", "HDA Bus"}, s("VirtIO")},
        {{"Hardware", "Enable USB"}, s("Yes")},
        {{"Hardware", "USB3"}, s("Yes")},
        {{"Hardware", "USB Tablet"}, s("Yes")},
        {{"Hardware", "VirtIO RNG"}, s("Yes")},
        {{"Hardware", "Use Local Time"}, s("No")},
        {{"Hardware", "Share Clipboard"}, s("Yes")},
        {{"Drives", "CDROM"}, medium},
        {{"Drives", "CDROM Format"}, s("qcow2")},
        {{"Drives", "BootOrder"}, s("CD/DVD Drive|Hard Drive")},
        {{"Drives", "HDA"}, s("Deb.qcow2")},
    };
    for (const auto& [key, value] : expected)
        QCOMPARE(read(key.first, key.second), value);
    QCOMPARE(read("Hardware", "Firmware"), QString());
}

void TestNewVM::missingFirmwareAndTpmAsked()
{
    // Empty descriptors of the same names hide the installed firmware, as QEMU's own rules say,
    // and no swtpm is on the path.
    QTemporaryDir config;
    for (const char* name : {"40-edk2-x86_64-secure-enrolled.json", "50-edk2-x86_64-secure.json",
                             "60-edk2-x86_64.json"}) {
        QFile hide(config.filePath(s("qemu/firmware/") + s(name)));
        QVERIFY(QDir().mkpath(config.filePath(s("qemu/firmware"))) &&
                hide.open(QIODevice::WriteOnly));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("PATH", "/nonexistent");
    addVersions(*m_folder, {{s("v3"), s("QEMU 7.2"), s("Yes"), s("Yes"), s("3")}});
    addProfiles(*m_folder, {{s("Windows 11"), s("2048"), s("1000"), s(Windows11Preset)}});
    start();
    const auto answering = [this](Interaction::Answer answer) {
        return runWizard([this, answer](NewVMWizard& wizard) {
            m_script->answerMessage(answer);
            return finishWith(wizard, s("Win"), s("Windows 11"), {});
        });
    };
    const QString refused = answering(Interaction::Answer::No);
    const QString vm = answering(Interaction::Answer::Yes);
    qputenv("PATH", path);
    qunsetenv("XDG_CONFIG_HOME");

    QVERIFY(refused.isEmpty());
    const QStringList asked = m_script->shownTexts().filter(s("ovmf"));
    QVERIFY(asked.size() >= 2);
    QVERIFY2(asked.first().contains(s("swtpm")), qPrintable(asked.first()));
    QCOMPARE(vm, vmPath(s("Win.vm2")));
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("Firmware")), QString());
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("TPM")), QString());
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("MID")), s("q35"));
}

QTEST_MAIN(TestNewVM)
#include "tst_newvm.moc"
