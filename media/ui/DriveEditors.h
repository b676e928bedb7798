#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class DiskCreation;
class MediaWizard;
class QWidget;
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

    // Opens the desktop's disk-management tool; tests replace it.
    std::function<bool()> openDiskManagement;
};
