#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

class AddUsbDeviceDialog;
class DiskCreation;
class PhysicalDiskDialog;
class PhysicalUsbDeviceDialog;
class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class VMContext;

// The "USB Devices" window of the selected VM: its list of USB devices, with commands to add and
// delete them and to edit a host device. Every change is written to the VM definition file at
// once; OK and Cancel only close the window. Made once and reused.
class UsbDevicesWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UsbDevicesWindow)

public:
    // disks: the new-disk window of the main window.
    UsbDevicesWindow(VMContext& vm, DiskCreation& disks, QWidget* parent);
    // The same with a new-disk window of its own.
    UsbDevicesWindow(VMContext& vm, QWidget* parent);
    ~UsbDevicesWindow() override;

    // Fills the list and runs the window modally. Refreshing the settings view afterwards is the
    // caller's.
    void ShowUsbDevices();
    // Refills the list from the VM definition file.
    void refill();

    // The toolbar buttons and the list's double-click.
    void AddManualDeviceClick();
    void DeleteManualDeviceClick();
    void ListDblClick(QTreeWidgetItem* item);

    // Starts the desktop's disk-management tool for the physical-disk window; false when none
    // could be started. Replaceable for tests.
    std::function<bool()> openDiskManagement;

    QTreeWidget* list() const { return m_list; }
    QAction* addAction() const { return m_add; }
    QAction* deleteAction() const { return m_delete; }
    AddUsbDeviceDialog* addDialog() const;
    PhysicalUsbDeviceDialog* physicalDeviceDialog() const;
    PhysicalDiskDialog* physicalDiskDialog() const;

private:
    void build();
    void addDevice(int choice);
    void DiskManagementClick();

    VMContext& m_vm;
    DiskCreation* m_disks = nullptr;
    QTreeWidget* m_list = nullptr;
    QAction* m_add = nullptr;
    QAction* m_delete = nullptr;
    // The smaller windows stand in front of the main window, as this one does.
    QPointer<AddUsbDeviceDialog> m_addDialog;
    QPointer<PhysicalUsbDeviceDialog> m_deviceDialog;
    QPointer<PhysicalDiskDialog> m_diskDialog;
};

// Opens the "USB Devices" window of the VM selected in the tree, made once per main window and
// reused. Refreshing the settings view afterwards is the caller's.
void ShowUsbDevices(VMContext& vm);
