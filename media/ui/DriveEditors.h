#pragma once

#include "media/DriveEditing.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class BootDriveDialog;
class BootOrderDialog;
class DiskCreation;
class MediaWizard;
class PhysicalDiskDialog;
class PhysicalDriveDialog;
class QDialog;
class QWidget;
class SelectPathDialog;
class SnapshotChooser;
class VMContext;

// The editors of the "Drives" list's rows, dispatched on the row's icon number (16, 33, 34, 35
// hard disks 0-3; 18, 36 floppies 0-1; 39 CD-ROM; 21 boot; 31 snapshot). Windows are made once and
// reused; every opening presets them from the VM's file. OK writes and refreshes the settings view.
class DriveEditors final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DriveEditors)

public:
    DriveEditors(VMContext& vm, DiskCreation& disks, MediaWizard& wizard,
                 SnapshotChooser& snapshots, QWidget* parent);
    ~DriveEditors() override;

    void edit(int icon);

    // Opens the desktop's disk-management tool; tests replace it. False when none could be
    // started. The default starts the first of GNOME Disks, KDE Partition Manager and GParted
    // found on the PATH.
    std::function<bool()> openDiskManagement;
    static bool startDiskManagementTool();
    static QString NoDiskManagementMessage();

    SelectPathDialog* selectPathDialog() const;
    PhysicalDiskDialog* physicalDiskDialog() const;
    PhysicalDriveDialog* physicalDriveDialog() const;
    BootOrderDialog* bootOrderDialog() const;
    BootDriveDialog* bootDriveDialog() const;

private:
    bool run(QDialog& dialog);
    void editDisk(const DriveEditing::DiskKeys& keys);
    void editMedia(int icon, const DriveEditing::MediaRow& row);
    void editBoot();
    void editBootOrder();
    void editBootDrive();

    // The "Select Path" window's buttons.
    void BrowseClick();
    void NewDiskClick();
    void PhysicalDiskClick();
    void SharedFolderClick();
    void PhysicalDriveClick();
    void ImportClick();
    void DiskManagementClick();
    // Puts a device value picked from the host's list into the box, noting its device.
    void pick(const QString& value);

    VMContext& m_vm;
    DiskCreation& m_disks;
    MediaWizard& m_wizard;
    SnapshotChooser& m_snapshots;
    QPointer<SelectPathDialog> m_selectPath;
    QPointer<PhysicalDiskDialog> m_physicalDisk;
    QPointer<PhysicalDriveDialog> m_physicalDrive;
    QPointer<BootOrderDialog> m_bootOrder;
    QPointer<BootDriveDialog> m_bootDrive;
    // The hard disk being edited, while the window is open in disk mode.
    std::optional<DriveEditing::DiskKeys> m_disk;
    // The device value last picked from the host's list in this edit, and its device's identity.
    QString m_pickedValue;
    QString m_pickedIdentity;
};
