#include "devices/ui/UsbDevicesWindow.h"

#include "devices/UsbDevices.h"
#include "devices/ui/AddUsbDeviceDialog.h"
#include "devices/ui/PhysicalUsbDeviceDialog.h"
#include "library/VMStores.h"
#include "media/DeviceIdentity.h"
#include "media/DriveEditing.h"
#include "media/DriveValues.h"
#include "media/LaunchDrives.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/DriveEditors.h"
#include "media/ui/DriveFormatChoice.h"
#include "media/ui/PhysicalDiskDialog.h"
#include "model/ImageFormat.h"
#include "model/VMContext.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

bool run(QDialog& dialog)
{
    return Interaction::current().execDialog(dialog) == QDialog::Accepted;
}

} // namespace

UsbDevicesWindow::UsbDevicesWindow(VMContext& vm, DiskCreation& disks, QWidget* parent)
    : QDialog(parent), openDiskManagement(&DriveEditors::startDiskManagementTool), m_vm(vm),
      m_disks(&disks)
{
    build();
}

UsbDevicesWindow::UsbDevicesWindow(VMContext& vm, QWidget* parent)
    : QDialog(parent), openDiskManagement(&DriveEditors::startDiskManagementTool), m_vm(vm)
{
    m_disks = new DiskCreation(vm, parent);
    m_disks->setParent(this);
    build();
}

UsbDevicesWindow::~UsbDevicesWindow()
{
    // The smaller windows belong to the main window; whichever goes first takes them along.
    delete m_addDialog;
    delete m_deviceDialog;
    delete m_diskDialog;
}

AddUsbDeviceDialog* UsbDevicesWindow::addDialog() const
{
    return m_addDialog;
}

PhysicalUsbDeviceDialog* UsbDevicesWindow::physicalDeviceDialog() const
{
    return m_deviceDialog;
}

PhysicalDiskDialog* UsbDevicesWindow::physicalDiskDialog() const
{
    return m_diskDialog;
}

void UsbDevicesWindow::build()
{
    setWindowTitle(QStringLiteral("USB Devices"));
    setMinimumSize(560, 320);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("USB Devices"), this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* toolbar = new QToolBar(group);
    m_add = toolbar->addAction(QStringLiteral("Add Manual Device"));
    m_add->setToolTip(QStringLiteral("Add Manual Device"));
    toolbar->addSeparator();
    m_delete = toolbar->addAction(QStringLiteral("Delete Manual Device"));
    m_delete->setToolTip(QStringLiteral("Delete Manual Device"));
    groupLayout->addWidget(toolbar);
    m_list = new QTreeWidget(group);
    m_list->setHeaderLabels({QStringLiteral("USB Device"), QStringLiteral("Product ID"),
                             QStringLiteral("Vendor ID"), QStringLiteral("Path")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 180);
    groupLayout->addWidget(m_list);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    QWidget* owner = parentWidget();
    m_addDialog = new AddUsbDeviceDialog(owner);
    m_deviceDialog = new PhysicalUsbDeviceDialog(owner);
    m_diskDialog = new PhysicalDiskDialog(owner);

    connect(m_add, &QAction::triggered, this, &UsbDevicesWindow::AddManualDeviceClick);
    connect(m_delete, &QAction::triggered, this, &UsbDevicesWindow::DeleteManualDeviceClick);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { ListDblClick(item); });
    connect(m_diskDialog, &PhysicalDiskDialog::diskManagementRequested, this,
            &UsbDevicesWindow::DiskManagementClick);
}

void UsbDevicesWindow::ShowUsbDevices()
{
    if (m_vm.selectedVM().isEmpty())
        return;
    refill();
    Interaction::current().execDialog(*this);
}

void UsbDevicesWindow::refill()
{
    m_list->clear();
    for (const UsbDeviceRow& row : UsbDeviceRows(m_vm)) {
        auto* item = new QTreeWidgetItem(m_list, row.columns);
        item->setData(0, Qt::UserRole, row.number);
    }
}

void UsbDevicesWindow::AddManualDeviceClick()
{
    if (m_vm.selectedVM().isEmpty())
        return;
    m_addDialog->start();
    if (!run(*m_addDialog))
        return;
    addDevice(m_addDialog->choice());
    refill();
}

void UsbDevicesWindow::addDevice(int choice)
{
    switch (static_cast<AddUsbDeviceDialog::Choice>(choice)) {
    case AddUsbDeviceDialog::HostDevice:
        m_deviceDialog->start({}, {}, {});
        if (run(*m_deviceDialog))
            AddUsbDevice(m_vm,
                         HostUsbDevice(m_deviceDialog->vendorId(), m_deviceDialog->productId(),
                                       m_deviceDialog->productName()));
        return;
    case AddUsbDeviceDialog::NewDiskImage: {
        const QString path = m_disks->NewDiskDialog(-1, false);
        if (path.isEmpty())
            return;
        if (const int number = AddUsbDevice(m_vm, DiskImageUsbDevice(path)); number > 0)
            m_vm.WriteVMValue({}, UsbDeviceSection(number),
                              ImageFormat::KeyFor(QStringLiteral("DrivePath")),
                              ImageFormat::whenChosen(LaunchDrives::DiskPath(m_vm, path)));
        return;
    }
    case AddUsbDeviceDialog::ExistingDiskImage: {
        const QString storeId =
            m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID"));
        const auto store = FindVMStore(m_vm.table(VMContext::Table::VLookup), storeId);
        if (!store)
            return;
        Interaction::FileRequest request;
        request.title = QStringLiteral("Select Disk Image to use");
        request.folder = *store;
        request.defaultSuffix = QStringLiteral("dsk");
        request.filter = Interaction::pipeFilter(
            QStringLiteral("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw"));
        const auto file = Interaction::current().openFileName(this, request);
        if (!file || file->isEmpty())
            return;
        const QString format = DriveFormatChoice::ForChosenFile(this, *file);
        if (const int number = AddUsbDevice(m_vm, DiskImageUsbDevice(StoredPathFor(*file, *store)));
            number > 0)
            m_vm.WriteVMValue({}, UsbDeviceSection(number),
                              ImageFormat::KeyFor(QStringLiteral("DrivePath")), format);
        return;
    }
    case AddUsbDeviceDialog::PhysicalDisk: {
        m_diskDialog->start(DriveEditing::PhysicalDiskEntries(HostDrives::ListPhysicalDisks()));
        if (!run(*m_diskDialog))
            return;
        const QString value = DriveEditing::PhysicalDiskValue(m_diskDialog->chosenEntry());
        const auto device = HostDrives::deviceOf(value);
        const int number = value.isEmpty() ? 0 : AddUsbDevice(m_vm, PhysicalDriveUsbDevice(value));
        if (number > 0 && device)
            m_vm.WriteVMValue({}, UsbDeviceSection(number),
                              DeviceIdentity::KeyFor(QStringLiteral("DrivePath")),
                              device->identity());
        return;
    }
    case AddUsbDeviceDialog::Mouse:
        AddUsbDevice(m_vm, MouseUsbDevice());
        return;
    case AddUsbDeviceDialog::Keyboard:
        AddUsbDevice(m_vm, KeyboardUsbDevice());
        return;
    case AddUsbDeviceDialog::Tablet:
        AddUsbDevice(m_vm, TabletUsbDevice());
        return;
    }
}

void UsbDevicesWindow::DeleteManualDeviceClick()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    if (UsbDeviceCount(m_vm) == 0) {
        Interaction::error(this, QStringLiteral("There are NO devices to delete"));
        return;
    }
    if (!Interaction::confirm(this,
                              QStringLiteral("Are you sure you wish to delete this device ?")))
        return;
    const int number = item->data(0, Qt::UserRole).toInt();
    const UsbDevice device = ReadUsbDevice(m_vm, number);
    if (device.type == QLatin1String("DRIVE") &&
        Interaction::confirm(this,
                             QStringLiteral("Do you wish to delete the main disk image also ?"))) {
        const QString image = UsbImageToDelete(m_vm, device);
        // Only a plain file goes; a missing one is no failure.
        if (!image.isEmpty() && QFileInfo(image).isFile())
            QFile::remove(image);
    }
    QString error;
    if (!DeleteUsbDevice(m_vm, number, &error))
        Interaction::error(this, error);
    refill();
}

void UsbDevicesWindow::ListDblClick(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int number = item->data(0, Qt::UserRole).toInt();
    const UsbDevice device = ReadUsbDevice(m_vm, number);
    if (device.type != QLatin1String("HW"))
        return;
    m_deviceDialog->start(device.vendId, device.prodId, device.productName);
    if (!run(*m_deviceDialog))
        return;
    WriteUsbDevice(m_vm, number,
                   HostUsbDevice(m_deviceDialog->vendorId(), m_deviceDialog->productId(),
                                 m_deviceDialog->productName()));
    refill();
}

void UsbDevicesWindow::DiskManagementClick()
{
    if (!openDiskManagement || !openDiskManagement())
        Interaction::information(m_diskDialog, DriveEditors::NoDiskManagementMessage());
}

void ShowUsbDevices(VMContext& vm)
{
    // One window per main window, made on first use and gone with the window.
    static QPointer<UsbDevicesWindow> window;
    if (!window || window->parentWidget() != vm.dialogParent())
        window = new UsbDevicesWindow(vm, vm.dialogParent());
    window->ShowUsbDevices();
}
