#pragma once

#include "devices/UsbDevices.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

// The "Physical Device" dialog: vendor, product and name of a host USB device to pass through.
// The host's plugged-in devices are listed to pick from; picking one fills the three boxes, which
// stay free to type in.
class PhysicalUsbDeviceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhysicalUsbDeviceDialog)

public:
    explicit PhysicalUsbDeviceDialog(QWidget* parent = nullptr);

    // Sets the three boxes and lists the host's devices afresh, none chosen.
    void start(const QString& vendorId, const QString& productId, const QString& name);

    QString vendorId() const;
    QString productId() const;
    QString productName() const;

    QLineEdit* vendorBox() const { return m_vendor; }
    QLineEdit* productBox() const { return m_product; }
    QLineEdit* nameBox() const { return m_name; }
    QListWidget* hostDevices() const { return m_hostDevices; }

private:
    void hostDeviceChosen(int row);

    QLineEdit* m_vendor = nullptr;
    QLineEdit* m_product = nullptr;
    QLineEdit* m_name = nullptr;
    QListWidget* m_hostDevices = nullptr;
    QList<HostUsbEntry> m_entries;
};
