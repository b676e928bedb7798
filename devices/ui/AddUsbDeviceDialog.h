#pragma once

#include <QDialog>

class QButtonGroup;
class QRadioButton;

// The "Add New USB Device" choice: which kind of device to add.
class AddUsbDeviceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddUsbDeviceDialog)

public:
    // The items of the "Add new" group, in their order.
    enum Choice
    {
        HostDevice,
        NewDiskImage,
        ExistingDiskImage,
        PhysicalDisk,
        Mouse,
        Keyboard,
        Tablet
    };

    explicit AddUsbDeviceDialog(QWidget* parent = nullptr);

    // Selects the first item.
    void start();
    Choice choice() const;
    void setChoice(Choice choice);

    QRadioButton* item(Choice choice) const;

private:
    QButtonGroup* m_items = nullptr;
};
