#include "media/ui/DriveEditors.h"

#include "launch/ui/SnapshotChooser.h"
#include "launch/ui/SnapshotsWindow.h" // SnapshotChooser::window() needs the full type
#include "library/VMStores.h"
#include "library/ui/VMStoresWindow.h"
#include "media/DeviceIdentity.h"
#include "media/DriveValues.h"
#include "media/ui/BootDriveDialog.h"
#include "media/ui/BootOrderDialog.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/DriveFormatChoice.h"
#include "media/ui/MediaWizard.h"
#include "media/ui/PhysicalDiskDialog.h"
#include "media/ui/PhysicalDriveDialog.h"
#include "media/ui/SelectPathDialog.h"
#include "model/VMContext.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionRegistry.h"

#include <QProcess>
#include <QStandardPaths>

using namespace DriveEditing;

namespace {

const QString Drives = QStringLiteral("Drives");

} // namespace

DriveEditors::DriveEditors(VMContext& vm, DiskCreation& disks, MediaWizard& wizard,
                           SnapshotChooser& snapshots, QWidget* parent)
    : QObject(parent), openDiskManagement(&DriveEditors::startDiskManagementTool), m_vm(vm),
      m_disks(disks), m_wizard(wizard), m_snapshots(snapshots)
{
    m_selectPath = new SelectPathDialog(parent);
    m_physicalDisk = new PhysicalDiskDialog(parent);
    m_physicalDrive = new PhysicalDriveDialog(parent);
    m_bootOrder = new BootOrderDialog(parent);
    m_bootDrive = new BootDriveDialog(parent);
    connect(m_selectPath, &SelectPathDialog::browseRequested, this, &DriveEditors::BrowseClick);
    connect(m_selectPath, &SelectPathDialog::newDiskRequested, this, &DriveEditors::NewDiskClick);
    connect(m_selectPath, &SelectPathDialog::physicalDiskRequested, this,
            &DriveEditors::PhysicalDiskClick);
    connect(m_selectPath, &SelectPathDialog::sharedFolderRequested, this,
            &DriveEditors::SharedFolderClick);
    connect(m_selectPath, &SelectPathDialog::physicalDriveRequested, this,
            &DriveEditors::PhysicalDriveClick);
    connect(m_selectPath, &SelectPathDialog::importRequested, this, &DriveEditors::ImportClick);
    connect(m_physicalDisk, &PhysicalDiskDialog::diskManagementRequested, this,
            &DriveEditors::DiskManagementClick);
}

DriveEditors::~DriveEditors()
{
    // The dialogs belong to the window; whichever of the two goes first takes them along.
    delete m_selectPath;
    delete m_physicalDisk;
    delete m_physicalDrive;
    delete m_bootOrder;
    delete m_bootDrive;
}

SelectPathDialog* DriveEditors::selectPathDialog() const
{
    return m_selectPath;
}

PhysicalDiskDialog* DriveEditors::physicalDiskDialog() const
{
    return m_physicalDisk;
}

PhysicalDriveDialog* DriveEditors::physicalDriveDialog() const
{
    return m_physicalDrive;
}

BootOrderDialog* DriveEditors::bootOrderDialog() const
{
    return m_bootOrder;
}

BootDriveDialog* DriveEditors::bootDriveDialog() const
{
    return m_bootDrive;
}

bool DriveEditors::startDiskManagementTool()
{
    const QStringList tools = {QStringLiteral("gnome-disks"), QStringLiteral("partitionmanager"),
                               QStringLiteral("gparted")};
    for (const QString& tool : tools) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (!program.isEmpty())
            return QProcess::startDetached(program, {});
    }
    return false;
}

QString DriveEditors::NoDiskManagementMessage()
{
    return QStringLiteral("No disk management tool could be started. Install GNOME Disks "
                          "(gnome-disks), KDE Partition Manager (partitionmanager) or GParted "
                          "(gparted) to manage the host's disks.");
}

void DriveEditors::edit(int icon)
{
    if (m_vm.selectedVM().isEmpty())
        return;
    if (const auto keys = DiskKeysOf(icon)) {
        editDisk(*keys);
        return;
    }
    if (const auto row = MediaRowOf(icon)) {
        editMedia(icon, *row);
        return;
    }
    if (icon == BootIcon)
        editBoot();
    else if (icon == SnapshotIcon)
        m_snapshots.ChooseSnapshot();
}

bool DriveEditors::run(QDialog& dialog)
{
    return Interaction::current().execDialog(dialog) == QDialog::Accepted;
}

void DriveEditors::editDisk(const DiskKeys& keys)
{
    QWidget* parent = m_vm.dialogParent();
    // Hard disk 2 and the CD-ROM share one IDE position.
    if (keys.drive == 2 && CdromInUse(m_vm)) {
        if (!Interaction::confirm(parent, CdromInUseQuestion()))
            return;
        const bool removed = RemoveCdrom(m_vm);
        m_vm.ShowSettings();
        if (!removed)
            return;
    }
    const DiskPreset preset = ReadDisk(m_vm, keys);
    m_selectPath->startDisk(keys.label, preset.value, preset.scsi, preset.encrypted);
    m_disk = keys;
    m_pickedValue.clear();
    const bool accepted = run(*m_selectPath);
    m_disk.reset();
    m_selectPath->hideExtras();
    if (!accepted)
        return;
    const QString value = m_selectPath->text();
    const QString identity = DeviceIdentity::IdentityToStore(m_vm, Drives, keys.value, value,
                                                             m_pickedValue, m_pickedIdentity);
    if (SaveDisk(m_vm, keys, value, m_selectPath->encrypted(), m_selectPath->scsi())) {
        DeviceIdentity::StoreIdentity(m_vm, Drives, keys.value, identity);
        DriveFormatChoice::StoreForValue(m_vm, Drives, keys.value, preset.value, value, true);
    }
    m_vm.ShowSettings();
}

void DriveEditors::editMedia(int icon, const MediaRow& row)
{
    if (icon == CdromIcon && HardDisk2InUse(m_vm)) {
        if (!Interaction::confirm(m_vm.dialogParent(), HardDisk2InUseQuestion()))
            return;
        const bool removed = RemoveHardDisk2(m_vm);
        m_vm.ShowSettings();
        if (!removed)
            return;
    }
    const QString previous = ReadMedia(m_vm, row);
    m_selectPath->startMedia(row.label, previous, row.filter);
    m_pickedValue.clear();
    const bool accepted = run(*m_selectPath);
    m_selectPath->hideExtras();
    if (!accepted)
        return;
    const QString value = m_selectPath->text();
    const QString identity = DeviceIdentity::IdentityToStore(m_vm, Drives, row.key, value,
                                                             m_pickedValue, m_pickedIdentity);
    if (SaveMedia(m_vm, row, value)) {
        DeviceIdentity::StoreIdentity(m_vm, Drives, row.key, identity);
        DriveFormatChoice::StoreForValue(m_vm, Drives, row.key, previous, value, false);
    }
    m_vm.ShowSettings();
}

void DriveEditors::editBoot()
{
    const QString version =
        m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("Qemu Version ID"));
    if (UsesBootOrder(m_vm.versions().VersionCode(version)))
        editBootOrder();
    else
        editBootDrive();
}

void DriveEditors::editBootOrder()
{
    const BootOrderPreset preset = ReadBootOrder(m_vm);
    m_bootOrder->start(preset.order, preset.available, preset.bootMenu);
    if (!run(*m_bootOrder))
        return;
    SaveBootOrder(m_vm, m_bootOrder->order(), m_bootOrder->bootMenu());
    m_vm.ShowSettings();
}

void DriveEditors::editBootDrive()
{
    m_bootDrive->start(BootDrivePreset(m_vm));
    if (!run(*m_bootDrive))
        return;
    SaveBootDrive(m_vm, m_bootDrive->position());
    m_vm.ShowSettings();
}

void DriveEditors::BrowseClick()
{
    Interaction::FileRequest request;
    if (m_selectPath->mode() == SelectPathDialog::Mode::Disk) {
        const QString storeId =
            m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID"));
        const auto store = FindVMStore(m_vm.table(VMContext::Table::VLookup), storeId);
        if (!store)
            return;
        request.title = QStringLiteral("Specify Disk Image");
        request.folder = *store;
        request.defaultSuffix = QStringLiteral("dsk");
        request.filter = Interaction::pipeFilter(
            QStringLiteral("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw|All Files|*.*"));
        const auto file = Interaction::current().openFileName(m_selectPath, request);
        if (file && !file->isEmpty())
            m_selectPath->setText(StoredPathFor(*file, *store));
        return;
    }
    request.title = QStringLiteral("Specify Media");
    request.folder = MediaFolder();
    request.defaultSuffix = QStringLiteral("img");
    request.filter = Interaction::pipeFilter(m_selectPath->mediaFilter());
    const auto file = Interaction::current().openFileName(m_selectPath, request);
    if (file && !file->isEmpty())
        m_selectPath->setText(MediaValueFor(*file));
}

void DriveEditors::NewDiskClick()
{
    if (!m_disk)
        return;
    // An empty answer (nothing made, or a failure already shown) empties the box.
    m_selectPath->setText(m_disks.NewDiskDialog(m_disk->drive, false));
    if (DiskEncrypted(m_vm, *m_disk))
        m_selectPath->setEncrypted(true);
}

void DriveEditors::PhysicalDiskClick()
{
    m_physicalDisk->start(PhysicalDiskEntries(HostDrives::ListPhysicalDisks()));
    if (!run(*m_physicalDisk))
        return;
    const QString value = PhysicalDiskValue(m_physicalDisk->chosenEntry());
    if (!value.isEmpty())
        pick(value);
}

void DriveEditors::pick(const QString& value)
{
    const auto device = HostDrives::deviceOf(value);
    m_pickedValue = value;
    m_pickedIdentity = device ? device->identity() : QString();
    m_selectPath->setText(value);
}

void DriveEditors::SharedFolderClick()
{
    const auto folder = BrowseForFolder(m_selectPath, QStringLiteral("Select Folder"));
    if (!folder || folder->isEmpty())
        return;
    const bool writable = Interaction::confirm(m_selectPath, WritableFolderQuestion());
    m_selectPath->setText(SharedFolderValue(*folder, writable));
}

void DriveEditors::PhysicalDriveClick()
{
    const auto type = WantsFloppyDrives(m_selectPath->label()) ? HostDrives::DriveType::Floppy
                                                               : HostDrives::DriveType::CD;
    const QStringList letters = HostDrives::ListHostDrives(type);
    if (letters.isEmpty()) {
        Interaction::error(m_selectPath, QStringLiteral("There are NO physical Drives to use!"));
        return;
    }
    m_physicalDrive->start(letters);
    if (!run(*m_physicalDrive))
        return;
    const QString letter = m_physicalDrive->chosenDrive();
    if (!letter.isEmpty())
        pick(letter);
}

void DriveEditors::ImportClick()
{
    m_wizard.OpenMediaWizard();
    const QString image = m_wizard.ImportedImage();
    if (!image.isEmpty())
        m_selectPath->setText(MediaValueFor(image));
}

void DriveEditors::DiskManagementClick()
{
    if (!openDiskManagement || !openDiskManagement())
        Interaction::information(m_physicalDisk, NoDiskManagementMessage());
}
