#include "app/ui/TMain.h"
#include "devices/UsbDevices.h"
#include "devices/ui/AddUsbDeviceDialog.h"
#include "devices/ui/PhysicalUsbDeviceDialog.h"
#include "devices/ui/UsbDevicesWindow.h"
#include "media/ui/NewDiskImageDialog.h"
#include "media/ui/PhysicalDiskDialog.h"
#include "model/IniFile.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>
#include <tuple>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QStringList list(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result.append(s(text));
    return result;
}

using Keys = QList<std::tuple<QString, QString, QString>>;

std::tuple<QString, QString, QString> key(const char* section, const char* name, const char* value)
{
    return {s(section), s(name), s(value)};
}

// The five keys of a device section, as "Type=..." lines in file order.
QStringList deviceLines(const char* type, const char* prod, const char* vend, const char* name,
                        const char* path)
{
    return {s("Type=") + s(type), s("ProdID=") + s(prod), s("VendID=") + s(vend),
            s("ProductName=") + s(name), s("DrivePath=") + s(path)};
}

Keys deviceKeys(int number, const QStringList& lines)
{
    Keys keys;
    const QString section = s("USB Device ") + QString::number(number);
    for (const QString& line : lines)
        keys.append(
            {section, line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1)});
    return keys;
}

const QStringList Mouse = deviceLines("MOUSE", "", "", "USB Mouse", "");
const QStringList Keyboard = deviceLines("KEYBOARD", "", "", "USB Keyboard", "");
const QStringList Tablet = deviceLines("TABLET", "", "", "USB Tablet", "");
const QStringList Receiver = deviceLines("HW", "c52b", "046d", "Receiver", "");
const QStringList Stick = deviceLines("DRIVE", "", "", "USB Disk Image Drive", "stick.qcow2");

bool touch(const QString& path, const QByteArray& bytes = QByteArray("x"))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

// A host whose disks live in a temporary folder: sys/block/<name> and dev/<name>.
class FakeDisks final
{
public:
    // Nothing mounted: no disk is marked in use.
    FakeDisks()
    {
        HostDrives::setRoots(
            {m_dir.filePath(s("sys")), m_dir.filePath(s("dev")), m_dir.filePath(s("none"))});
    }
    ~FakeDisks() { HostDrives::setRoots({}); }
    Q_DISABLE_COPY_MOVE(FakeDisks)

    void add(const char* name, bool withDevice = true)
    {
        QVERIFY(touch(m_dir.filePath(s("sys/block/") + s(name) + s("/removable")), "0\n"));
        if (withDevice)
            QVERIFY(touch(m_dir.filePath(s("dev/") + s(name)), QByteArray(512, '\0')));
    }

private:
    QTemporaryDir m_dir;
};

// A host USB tree as the kernel lays it out below /sys/bus/usb/devices.
class FakeUsb final
{
public:
    FakeUsb() { SetHostUsbRoot(m_dir.path()); }
    ~FakeUsb() { SetHostUsbRoot({}); }
    Q_DISABLE_COPY_MOVE(FakeUsb)

    // attributes: file name and content, "idVendor" and "046d"
    void add(const char* name, const QList<std::pair<const char*, const char*>>& attributes)
    {
        QVERIFY(QDir(m_dir.path()).mkpath(s(name)));
        for (const auto& [file, value] : attributes)
            QVERIFY(touch(m_dir.filePath(s(name) + QLatin1Char('/') + s(file)),
                          QByteArray(value) + "\n"));
    }
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace

class TestUsbDevices final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addEachKind_data();
    void addEachKind();
    void addAppendsAfterCount();
    void addCancelled_data();
    void addCancelled();
    void newDiskImage();
    void existingImageWithoutStore();
    void hostDeviceBoxesStartEmpty();

    void rows();
    void deleteSecondOfFour();
    void deleteImage_data();
    void deleteImage();
    void deletePhysicalDriveKeepsEverything();
    void deleteAnsweredNo();
    void deleteWithNoCount();
    void deleteAfterUnknownType();

    void hostUsbList();
    void hostUsbPick();

    void doubleClickHostDevice();
    void doubleClickCancelled();
    void doubleClickOtherRow();

    void windowThroughEntryPoint();

private:
    void start(const Keys& extra = {});
    QStringList section(int number) const;
    QString count() const;
    void chooseKind(AddUsbDeviceDialog::Choice choice);
    QTreeWidgetItem* row(int position) const;
    QStringList rowTexts() const;

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    QString m_vm;
    QString m_store;
    std::unique_ptr<TMain> m_window;
    UsbDevicesWindow* m_devices = nullptr;
};

void TestUsbDevices::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(s("VMs/test.vm2"));
    m_store = QDir::toNativeSeparators(m_folder->file(s("VMs")));
}

void TestUsbDevices::cleanup()
{
    // Every scripted answer was asked for: no window or question was skipped.
    const int pending = m_script->pendingAnswers();
    m_window.reset();
    m_devices = nullptr;
    m_folder.reset();
    QCOMPARE(pending, 0);
}

void TestUsbDevices::start(const Keys& extra)
{
    if (!QFileInfo::exists(m_vm))
        QVERIFY(WriteVMTemplate(m_vm, true));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("VM Store ID"), s("0")));
    for (const auto& [sectionName, name, value] : extra)
        QVERIFY(WriteVMFileValue(m_vm, sectionName, name, value));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
    m_devices = new UsbDevicesWindow(*m_window, m_window.get());
    m_devices->openDiskManagement = [] { return true; };
    m_devices->refill();
    m_script->clear();
}

QStringList TestUsbDevices::section(int number) const
{
    return IniFile(m_vm).readSectionValues(s("USB Device ") + QString::number(number));
}

QString TestUsbDevices::count() const
{
    return ReadVMFileValue(m_vm, s("USB Devices"), s("Count"));
}

void TestUsbDevices::chooseKind(AddUsbDeviceDialog::Choice choice)
{
    m_script->answerDialog([choice](QDialog& dialog) {
        auto* add = as<AddUsbDeviceDialog>(dialog);
        if (!add)
            return int(QDialog::Rejected);
        add->item(choice)->click();
        return pressOk(dialog);
    });
}

QTreeWidgetItem* TestUsbDevices::row(int position) const
{
    return m_devices->list()->topLevelItem(position);
}

QStringList TestUsbDevices::rowTexts() const
{
    QStringList found;
    for (int i = 0; i < m_devices->list()->topLevelItemCount(); ++i) {
        QStringList columns;
        for (int column = 0; column < 4; ++column)
            columns.append(row(i)->text(column));
        found.append(columns.join(QLatin1Char('|')));
    }
    return found;
}

void TestUsbDevices::addEachKind_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("mouse") << int(AddUsbDeviceDialog::Mouse) << Mouse;
    QTest::newRow("keyboard") << int(AddUsbDeviceDialog::Keyboard) << Keyboard;
    QTest::newRow("tablet") << int(AddUsbDeviceDialog::Tablet) << Tablet;
    QTest::newRow("host device, typed as is")
        << int(AddUsbDeviceDialog::HostDevice) << deviceLines("HW", "zz 1", "046D", " My Pad", "");
    QTest::newRow("existing image in the store folder")
        << int(AddUsbDeviceDialog::ExistingDiskImage)
        << deviceLines("DRIVE", "", "", "USB Disk Image Drive", "stick.qcow2") +
               QStringList{s("DrivePath Format=qcow2")};
    QTest::newRow("existing image elsewhere")
        << int(AddUsbDeviceDialog::ExistingDiskImage)
        << deviceLines("DRIVE", "", "", "USB Disk Image Drive", "ELSEWHERE") +
               QStringList{s("DrivePath Format=vmdk")};
    QTest::newRow("physical drive 2, drive 1 absent")
        << int(AddUsbDeviceDialog::PhysicalDisk)
        << deviceLines("DRIVE", "", "", "USB Physical Drive", "\\\\.\\PhysicalDrive2") +
               QStringList{s("DrivePath Device=sdc")}; // the disk it was chosen as
}

void TestUsbDevices::addEachKind()
{
    QFETCH(int, choice);
    QFETCH(QStringList, lines);
    FakeDisks disks;
    disks.add("sda");
    disks.add("sdb", false); // listed, but cannot be opened
    disks.add("sdc");
    const QString elsewhere = QDir::toNativeSeparators(m_folder->file(s("Elsewhere/big.vmdk")));
    QVERIFY(touch(elsewhere));
    QVERIFY(touch(m_folder->file(s("VMs/stick.qcow2"))));
    lines.replaceInStrings(s("ELSEWHERE"), elsewhere);
    QVERIFY(WriteVMTemplate(m_vm, true));
    QVERIFY(IniFile(m_vm).eraseSection(s("USB Devices"))); // no count at all
    start();
    QCOMPARE(count(), QString());

    chooseKind(static_cast<AddUsbDeviceDialog::Choice>(choice));
    QStringList diskEntries;
    switch (choice) {
    case AddUsbDeviceDialog::HostDevice:
        m_script->answerDialog([](QDialog& dialog) {
            auto* device = as<PhysicalUsbDeviceDialog>(dialog);
            if (!device)
                return int(QDialog::Rejected);
            device->vendorBox()->setText(s("046D"));
            device->productBox()->setText(s("zz 1"));
            device->nameBox()->setText(s(" My Pad"));
            return pressOk(dialog);
        });
        break;
    case AddUsbDeviceDialog::ExistingDiskImage:
        // The folder compares without regard to case.
        m_script->answerText(lines.value(4).endsWith(s("stick.qcow2"))
                                 ? m_store.toUpper() + QDir::separator() + s("stick.qcow2")
                                 : elsewhere);
        break;
    case AddUsbDeviceDialog::PhysicalDisk:
        m_script->answerDialog([&diskEntries](QDialog& dialog) {
            auto* window = as<PhysicalDiskDialog>(dialog);
            if (!window)
                return int(QDialog::Rejected);
            for (int i = 0; i < window->diskList()->count(); ++i)
                diskEntries.append(window->diskList()->itemText(i));
            window->diskList()->setCurrentIndex(1);
            return pressOk(dialog);
        });
        break;
    default:
        break;
    }
    m_devices->addAction()->trigger();

    QCOMPARE(section(1), lines);
    QCOMPARE(count(), s("1"));
    QCOMPARE(m_devices->list()->topLevelItemCount(), 1);
    if (choice == AddUsbDeviceDialog::ExistingDiskImage) {
        const auto& shown = m_script->shown().at(1);
        QCOMPARE(shown.kind, s("open"));
        QCOMPARE(shown.title, s("Select Disk Image to use"));
        QCOMPARE(shown.text, m_store);
        QCOMPARE(shown.preset, QString());
        QCOMPARE(shown.filter,
                 Interaction::pipeFilter(s("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw")));
    }
    if (choice == AddUsbDeviceDialog::PhysicalDisk)
        QCOMPARE(diskEntries, list({"Disk 0", "Disk 2"}));
}

void TestUsbDevices::addAppendsAfterCount()
{
    start(deviceKeys(1, Mouse) + deviceKeys(2, Receiver) + Keys{key("USB Devices", "Count", "2")});
    chooseKind(AddUsbDeviceDialog::Tablet);
    m_devices->AddManualDeviceClick();
    QCOMPARE(section(1), Mouse);
    QCOMPARE(section(2), Receiver);
    QCOMPARE(section(3), Tablet);
    QCOMPARE(count(), s("3"));
    QCOMPARE(rowTexts(), list({"USB Mouse|----|----|----", "Receiver|c52b|046d|----",
                               "USB Tablet|----|----|----"}));
}

void TestUsbDevices::addCancelled_data()
{
    QTest::addColumn<int>("choice"); // -1: the choice itself is cancelled
    QTest::newRow("choice") << -1;
    QTest::newRow("host device") << int(AddUsbDeviceDialog::HostDevice);
    QTest::newRow("existing image") << int(AddUsbDeviceDialog::ExistingDiskImage);
    QTest::newRow("physical drive") << int(AddUsbDeviceDialog::PhysicalDisk);
}

void TestUsbDevices::addCancelled()
{
    QFETCH(int, choice);
    FakeDisks disks;
    disks.add("sda");
    start({key("USB Devices", "Count", "0")});
    const QByteArray before = fileBytes(m_vm);
    if (choice < 0) {
        m_script->answerDialog([](QDialog& dialog) {
            if (auto* add = as<AddUsbDeviceDialog>(dialog))
                add->item(AddUsbDeviceDialog::Mouse)->click();
            return pressCancel(dialog);
        });
    } else {
        chooseKind(static_cast<AddUsbDeviceDialog::Choice>(choice));
        if (choice == AddUsbDeviceDialog::ExistingDiskImage)
            m_script->answerText(std::nullopt);
        else
            m_script->answerDialog(pressCancel);
    }
    m_devices->AddManualDeviceClick();
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_devices->list()->topLevelItemCount(), 0);
}

void TestUsbDevices::newDiskImage()
{
    const QString qemuImg = s("/usr/bin/qemu-img");
    if (!QFileInfo::exists(qemuImg))
        QSKIP("qemu-img is not installed");
    QVERIFY(QDir(m_folder->path()).mkpath(s("qemu")));
    QVERIFY(QFile::link(qemuImg, m_folder->file(s("qemu/qemu-img.exe"))));
    start({key("Drives", "HDAEnc", "unset")});
    chooseKind(AddUsbDeviceDialog::NewDiskImage);
    m_script->answerDialog([](QDialog& dialog) {
        auto* window = as<NewDiskImageDialog>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        window->typeBox()->setCurrentIndex(1);
        window->sizeBox()->setValue(10);
        return pressOk(dialog);
    });
    m_script->answerText(m_store + QDir::separator() + s("usbdisk"));
    m_devices->AddManualDeviceClick();
    QVERIFY(QFileInfo::exists(m_folder->file(s("VMs/usbdisk.qcow2"))));
    QCOMPARE(section(1), deviceLines("DRIVE", "", "", "USB Disk Image Drive", "usbdisk.qcow2") +
                             QStringList{s("DrivePath Format=qcow2")});
    QCOMPARE(count(), s("1"));
    // No hard disk was being edited: no encryption key was touched.
    QCOMPARE(ReadVMFileValue(m_vm, s("Drives"), s("HDAEnc")), s("unset"));
}

void TestUsbDevices::existingImageWithoutStore()
{
    start({key("General", "VM Store ID", "gone")});
    const QByteArray before = fileBytes(m_vm);
    chooseKind(AddUsbDeviceDialog::ExistingDiskImage);
    m_devices->AddManualDeviceClick();
    QCOMPARE(m_script->shown().size(), 1); // the choice only: no file dialog
    QCOMPARE(fileBytes(m_vm), before);
}

void TestUsbDevices::hostDeviceBoxesStartEmpty()
{
    start();
    m_devices->physicalDeviceDialog()->start(s("1234"), s("5678"), s("left over"));
    chooseKind(AddUsbDeviceDialog::HostDevice);
    QStringList boxes;
    QStringList windowTexts;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* device = as<PhysicalUsbDeviceDialog>(dialog);
        if (!device)
            return int(QDialog::Rejected);
        windowTexts = texts(dialog);
        windowTexts.prepend(dialog.windowTitle());
        boxes = {device->vendorBox()->text(), device->productBox()->text(),
                 device->nameBox()->text()};
        return pressOk(dialog); // nothing is checked: empty texts are added as they are
    });
    m_devices->AddManualDeviceClick();
    QCOMPARE(boxes, list({"", "", ""}));
    for (const QString& text :
         list({"Physical Device", "Vendor ID:", "Product ID", "Product Name:"}))
        QVERIFY2(windowTexts.contains(text), qPrintable(text));
    QCOMPARE(section(1), deviceLines("HW", "", "", "", ""));
}

void TestUsbDevices::rows()
{
    start(deviceKeys(1, Receiver) + deviceKeys(2, Stick) +
          deviceKeys(3, deviceLines("USBDISK", "", "", "Old Disk", "old.img")) +
          deviceKeys(4, Keyboard) + deviceKeys(6, Mouse) + Keys{key("USB Devices", "Count", "5")});
    QCOMPARE(rowTexts(),
             list({"Receiver|c52b|046d|----", "USB Disk Image Drive|----|----|stick.qcow2",
                   "USB Keyboard|----|----|----"}));
    // Each row keeps its device number past the section that gives none.
    QList<int> numbers;
    for (int i = 0; i < 3; ++i)
        numbers.append(row(i)->data(0, Qt::UserRole).toInt());
    QCOMPARE(numbers, QList<int>({1, 2, 4}));

    QTreeWidget* tree = m_devices->list();
    QCOMPARE(tree->columnCount(), 4);
    QStringList headers;
    for (int column = 0; column < 4; ++column)
        headers.append(tree->headerItem()->text(column));
    QCOMPARE(headers, list({"USB Device", "Product ID", "Vendor ID", "Path"}));
    QCOMPARE(tree->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(tree->editTriggers(), QAbstractItemView::NoEditTriggers);

    // A count that is no number lists nothing rather than failing.
    QVERIFY(WriteVMFileValue(m_vm, s("USB Devices"), s("Count"), s("many")));
    m_devices->refill();
    QCOMPARE(rowTexts(), QStringList());
}

void TestUsbDevices::deleteSecondOfFour()
{
    start(deviceKeys(1, Receiver) + deviceKeys(2, Mouse) + deviceKeys(3, Stick) +
          deviceKeys(4, Tablet) + Keys{key("USB Devices", "Count", "4")});
    QVERIFY(touch(m_folder->file(s("VMs/stick.qcow2"))));
    m_devices->list()->setCurrentItem(row(1));
    m_script->answerMessage(Interaction::Answer::Yes);
    m_devices->deleteAction()->trigger();
    QCOMPARE(m_script->shownTexts(), list({"Are you sure you wish to delete this device ?"}));
    QCOMPARE(section(1), Receiver);
    QCOMPARE(section(2), Stick);
    QCOMPARE(section(3), Tablet);
    QVERIFY(!IniFile(m_vm).sectionExists(s("USB Device 4")));
    QCOMPARE(count(), s("3"));
    QCOMPARE(rowTexts(),
             list({"Receiver|c52b|046d|----", "USB Disk Image Drive|----|----|stick.qcow2",
                   "USB Tablet|----|----|----"}));
    QVERIFY(QFileInfo::exists(m_folder->file(s("VMs/stick.qcow2"))));
}

void TestUsbDevices::deleteImage_data()
{
    QTest::addColumn<bool>("elsewhere"); // the image's full path is stored, not a bare name
    QTest::addColumn<bool>("deleteImage");
    QTest::newRow("bare name, Yes") << false << true;
    QTest::newRow("bare name, No") << false << false;
    QTest::newRow("full path, Yes") << true << true;
    QTest::newRow("full path, No") << true << false;
}

void TestUsbDevices::deleteImage()
{
    QFETCH(bool, elsewhere);
    QFETCH(bool, deleteImage);
    const QString image =
        elsewhere ? m_folder->file(s("Elsewhere/disk.vmdk")) : m_folder->file(s("VMs/stick.qcow2"));
    QVERIFY(touch(image));
    const QString stored = elsewhere ? QDir::toNativeSeparators(image) : s("stick.qcow2");
    start(deviceKeys(1, Mouse) +
          deviceKeys(2, deviceLines("DRIVE", "", "", "USB Disk Image Drive", "")) +
          Keys{{s("USB Device 2"), s("DrivePath"), stored}, key("USB Devices", "Count", "2")});
    m_devices->list()->setCurrentItem(row(1));
    m_script->answerMessage(Interaction::Answer::Yes);
    m_script->answerMessage(deleteImage ? Interaction::Answer::Yes : Interaction::Answer::No);
    m_devices->DeleteManualDeviceClick();
    QCOMPARE(m_script->shownTexts(), list({"Are you sure you wish to delete this device ?",
                                           "Do you wish to delete the main disk image also ?"}));
    QCOMPARE(QFileInfo::exists(image), !deleteImage);
    QCOMPARE(count(), s("1"));
    QCOMPARE(section(1), Mouse);
    QVERIFY(!IniFile(m_vm).sectionExists(s("USB Device 2")));
}

void TestUsbDevices::deletePhysicalDriveKeepsEverything()
{
    // A file that happens to carry the device path's name, in the current folder, stays.
    QTemporaryDir current;
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current.path()));
    const QString lookalike = current.filePath(s("\\\\.\\PhysicalDrive0"));
    QVERIFY(touch(lookalike));
    start(
        deviceKeys(1, deviceLines("DRIVE", "", "", "USB Physical Drive", "\\\\.\\PhysicalDrive0")) +
        Keys{key("USB Devices", "Count", "1")});
    m_devices->list()->setCurrentItem(row(0));
    m_script->answerMessage(Interaction::Answer::Yes);
    m_script->answerMessage(Interaction::Answer::Yes);
    m_devices->DeleteManualDeviceClick();
    QDir::setCurrent(here);
    QVERIFY(QFileInfo::exists(lookalike));
    QCOMPARE(count(), s("0"));
    QCOMPARE(m_devices->list()->topLevelItemCount(), 0);
    QCOMPARE(m_script->shownTexts().size(), 2); // no error
}

void TestUsbDevices::deleteAnsweredNo()
{
    start(deviceKeys(1, Mouse) + Keys{key("USB Devices", "Count", "1")});
    const QByteArray before = fileBytes(m_vm);

    // Nothing selected: no question at all.
    m_devices->DeleteManualDeviceClick();
    QCOMPARE(m_script->shown().size(), 0);

    m_devices->list()->setCurrentItem(row(0));
    m_script->answerMessage(Interaction::Answer::No);
    m_devices->DeleteManualDeviceClick();
    QCOMPARE(m_script->shownTexts(), list({"Are you sure you wish to delete this device ?"}));
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_devices->list()->topLevelItemCount(), 1);
}

void TestUsbDevices::deleteWithNoCount()
{
    start(deviceKeys(1, Mouse) + Keys{key("USB Devices", "Count", "1")});
    m_devices->list()->setCurrentItem(row(0));
    // The file changed behind the window's back.
    QVERIFY(WriteVMFileValue(m_vm, s("USB Devices"), s("Count"), QString()));
    const QByteArray before = fileBytes(m_vm);
    m_devices->DeleteManualDeviceClick();
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().constFirst().kind, s("error"));
    QCOMPARE(m_script->shown().constFirst().text, s("There are NO devices to delete"));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestUsbDevices::deleteAfterUnknownType()
{
    const QStringList old = deviceLines("USBDISK", "", "", "Old Disk", "old.img");
    start(deviceKeys(1, old) + deviceKeys(2, Mouse) + deviceKeys(3, Keyboard) +
          Keys{key("USB Devices", "Count", "3")});
    QCOMPARE(rowTexts(), list({"USB Mouse|----|----|----", "USB Keyboard|----|----|----"}));
    // The first row is device 2, not device 1.
    m_devices->list()->setCurrentItem(row(0));
    m_script->answerMessage(Interaction::Answer::Yes);
    m_devices->DeleteManualDeviceClick();
    QCOMPARE(section(1), old);
    QCOMPARE(section(2), Keyboard);
    QCOMPARE(count(), s("2"));
    QCOMPARE(rowTexts(), list({"USB Keyboard|----|----|----"}));
}

void TestUsbDevices::hostUsbList()
{
    FakeUsb usb;
    usb.add("usb1",
            {{"idVendor", "1d6b"}, {"idProduct", "0002"}, {"product", "EHCI Host Controller"}});
    usb.add("1-10", {{"idVendor", "0781"}, {"idProduct", "5567"}});
    usb.add("1-1", {{"idVendor", "046d"},
                    {"idProduct", "c52b"},
                    {"manufacturer", "Logitech"},
                    {"product", "USB Receiver"}});
    usb.add("1-1:1.0", {{"bInterfaceClass", "03"}});
    usb.add("1-2", {{"idVendor", "04f2"},
                    {"idProduct", "b6dd"},
                    {"manufacturer", "Chicony Electronics Co.,Ltd."}});
    usb.add("1-3", {{"product", "No identifiers"}});

    const QList<HostUsbEntry> entries = ListHostUsbDevices();
    QCOMPARE(entries, ListHostUsbDevices(usb.root()));
    QStringList found;
    for (const HostUsbEntry& entry : entries)
        found.append(entry.busPath + QLatin1Char('|') + entry.vendorId + QLatin1Char('|') +
                     entry.productId + QLatin1Char('|') + entry.name());
    QCOMPARE(found, list({"1-1|046d|c52b|USB Receiver",
                          "1-2|04f2|b6dd|Chicony Electronics Co.,Ltd.", "1-10|0781|5567|"}));
    QCOMPARE(entries.constFirst().caption(), s("1-1  046d:c52b  Logitech USB Receiver"));
    QCOMPARE(entries.constLast().caption(), s("1-10  0781:5567"));

    SetHostUsbRoot({});
    QCOMPARE(HostUsbRoot(), s("/sys/bus/usb/devices"));
    QVERIFY(ListHostUsbDevices(usb.root() + s("/missing")).isEmpty());
}

void TestUsbDevices::hostUsbPick()
{
    FakeUsb usb;
    usb.add("2-1", {{"idVendor", "046d"},
                    {"idProduct", "c52b"},
                    {"manufacturer", "Logitech"},
                    {"product", "USB Receiver"}});
    usb.add("3-4", {{"idVendor", "0781"}, {"idProduct", "5567"}, {"product", "Cruzer Blade"}});
    start();
    chooseKind(AddUsbDeviceDialog::HostDevice);
    QStringList listed;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* device = as<PhysicalUsbDeviceDialog>(dialog);
        if (!device)
            return int(QDialog::Rejected);
        for (int i = 0; i < device->hostDevices()->count(); ++i)
            listed.append(device->hostDevices()->item(i)->text());
        [&] { QCOMPARE(device->hostDevices()->currentRow(), -1); }();
        device->hostDevices()->setCurrentRow(1);
        // Typing after the pick still counts.
        device->nameBox()->setText(device->nameBox()->text() + s(" 16GB"));
        return pressOk(dialog);
    });
    m_devices->AddManualDeviceClick();
    QCOMPARE(listed,
             list({"2-1  046d:c52b  Logitech USB Receiver", "3-4  0781:5567  Cruzer Blade"}));
    QCOMPARE(section(1), deviceLines("HW", "5567", "0781", "Cruzer Blade 16GB", ""));
}

void TestUsbDevices::doubleClickHostDevice()
{
    start(deviceKeys(1, Mouse) +
          deviceKeys(2, deviceLines("HW", "c52b", "046d", "Receiver", "left.img")) +
          Keys{key("USB Devices", "Count", "2")});
    QStringList boxes;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* device = as<PhysicalUsbDeviceDialog>(dialog);
        if (!device)
            return int(QDialog::Rejected);
        boxes = {device->vendorBox()->text(), device->productBox()->text(),
                 device->nameBox()->text()};
        device->productBox()->setText(s("c534"));
        device->nameBox()->setText(s("Unifying Receiver"));
        return pressOk(dialog);
    });
    emit m_devices->list()->itemDoubleClicked(row(1), 0);
    QCOMPARE(boxes, list({"046d", "c52b", "Receiver"}));
    QCOMPARE(section(2), deviceLines("HW", "c534", "046d", "Unifying Receiver", ""));
    QCOMPARE(section(1), Mouse);
    QCOMPARE(count(), s("2"));
    QCOMPARE(rowTexts().constLast(), s("Unifying Receiver|c534|046d|----"));
}

void TestUsbDevices::doubleClickCancelled()
{
    start(deviceKeys(1, Receiver) + Keys{key("USB Devices", "Count", "1")});
    const QByteArray before = fileBytes(m_vm);
    m_script->answerDialog([](QDialog& dialog) {
        if (auto* device = as<PhysicalUsbDeviceDialog>(dialog))
            device->nameBox()->setText(s("changed"));
        return pressCancel(dialog);
    });
    m_devices->ListDblClick(row(0));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestUsbDevices::doubleClickOtherRow()
{
    start(deviceKeys(1, Stick) + deviceKeys(2, Mouse) + Keys{key("USB Devices", "Count", "2")});
    const QByteArray before = fileBytes(m_vm);
    m_devices->ListDblClick(row(0));
    m_devices->ListDblClick(row(1));
    m_devices->ListDblClick(nullptr);
    QCOMPARE(m_script->shown().size(), 0);
    QCOMPARE(fileBytes(m_vm), before);
}

void TestUsbDevices::windowThroughEntryPoint()
{
    start(deviceKeys(1, Keyboard) + Keys{key("USB Devices", "Count", "1")});
    QStringList windowTexts;
    QStringList hints;
    QStringList choices;
    QStringList firstRows;
    bool firstChosen = false;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<UsbDevicesWindow>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        windowTexts = texts(dialog);
        windowTexts.prepend(dialog.windowTitle());
        for (QAction* action : dialog.findChild<QToolBar*>()->actions())
            hints.append(action->isSeparator() ? s("-") : action->toolTip());
        for (int i = 0; i < window->list()->topLevelItemCount(); ++i)
            firstRows.append(window->list()->topLevelItem(i)->text(0));
        window->addAction()->trigger();
        return pressCancel(dialog); // the change stays all the same
    });
    m_script->answerDialog([&](QDialog& dialog) {
        auto* add = as<AddUsbDeviceDialog>(dialog);
        if (!add)
            return int(QDialog::Rejected);
        for (int i = AddUsbDeviceDialog::HostDevice; i <= AddUsbDeviceDialog::Tablet; ++i)
            choices.append(add->item(static_cast<AddUsbDeviceDialog::Choice>(i))->text());
        choices.prepend(dialog.findChild<QGroupBox*>()->title());
        choices.prepend(dialog.windowTitle());
        firstChosen = add->item(AddUsbDeviceDialog::HostDevice)->isChecked();
        add->item(AddUsbDeviceDialog::Mouse)->click();
        return pressOk(dialog);
    });
    ShowUsbDevices(*m_window);
    QVERIFY(windowTexts.contains(s("USB Devices")));
    QCOMPARE(windowTexts.constFirst(), s("USB Devices"));
    QCOMPARE(hints, list({"Add Manual Device", "-", "Delete Manual Device"}));
    QCOMPARE(firstRows, list({"USB Keyboard"}));
    QCOMPARE(choices, list({"Add New USB Device", "Add new", "USB Device on Host Computer",
                            "New USB Hard Disk Image", "Existing USB Hard Disk Image",
                            "Physical USB Hard Disk", "USB Mouse", "USB Keyboard", "USB Tablet"}));
    QVERIFY(firstChosen);
    QCOMPARE(section(2), Mouse);
    QCOMPARE(count(), s("2"));

    // The window is reused, and the choice starts on the first item again.
    m_script->answerDialog([&](QDialog& dialog) {
        auto* window = as<UsbDevicesWindow>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        firstRows.clear();
        for (int i = 0; i < window->list()->topLevelItemCount(); ++i)
            firstRows.append(window->list()->topLevelItem(i)->text(0));
        window->addAction()->trigger();
        return pressOk(dialog);
    });
    m_script->answerDialog([&](QDialog& dialog) {
        if (auto* add = as<AddUsbDeviceDialog>(dialog))
            firstChosen = add->item(AddUsbDeviceDialog::HostDevice)->isChecked();
        return pressCancel(dialog);
    });
    ShowUsbDevices(*m_window);
    QCOMPARE(firstRows, list({"USB Keyboard", "USB Mouse"}));
    QVERIFY(firstChosen);
}

QTEST_MAIN(TestUsbDevices)
#include "tst_usbdevices.moc"
