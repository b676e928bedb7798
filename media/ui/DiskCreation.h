#pragma once

#include <QObject>
#include <QPointer>

class NewDiskImageDialog;
class QWidget;
class VMContext;

// The "New Disk Image" window and the save dialog after it, used by File > "Create New Virtual
// Disk", the drive editor and the USB device editor.
class DiskCreation final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiskCreation)

public:
    DiskCreation(VMContext& vm, QWidget* parent);
    ~DiskCreation() override;

    // drive: hard disk 0 to 3 being edited, or -1. Returns the value to store (a bare file name
    // when saved in the starting folder, else the full path), or empty when nothing was created.
    QString NewDiskDialog(int drive, bool startInImages);

    // File > "Create New Virtual Disk".
    void CreateNewVirtualDiskClick();

    // CreateDiskImage (media/DiskImages.h) under the busy cursor; a failure shows "Error: Disk
    // image was not created successfully". Returns the full path, or empty.
    static QString CreateDiskImage(QWidget* parent, int typePosition, int sizeMB, bool compress,
                                   bool encrypt, const QString& basePath);

private:
    VMContext& m_vm;
    QPointer<NewDiskImageDialog> m_dialog;
};
