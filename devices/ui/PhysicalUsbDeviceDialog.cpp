#include "devices/ui/PhysicalUsbDeviceDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

PhysicalUsbDeviceDialog::PhysicalUsbDeviceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Physical Device"));
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Physical Device"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QLabel(QStringLiteral("Devices on this computer:"), group));
    m_hostDevices = new QListWidget(group);
    m_hostDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    groupLayout->addWidget(m_hostDevices);
    auto* form = new QFormLayout;
    m_vendor = new QLineEdit(group);
    m_product = new QLineEdit(group);
    m_name = new QLineEdit(group);
    form->addRow(QStringLiteral("Vendor ID:"), m_vendor);
    form->addRow(QStringLiteral("Product ID"), m_product);
    form->addRow(QStringLiteral("Product Name:"), m_name);
    groupLayout->addLayout(form);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_hostDevices, &QListWidget::currentRowChanged, this,
            &PhysicalUsbDeviceDialog::hostDeviceChosen);
}

void PhysicalUsbDeviceDialog::start(const QString& vendorId, const QString& productId,
                                    const QString& name)
{
    m_hostDevices->blockSignals(true);
    m_hostDevices->clear();
    m_entries = ListHostUsbDevices();
    for (const HostUsbEntry& entry : std::as_const(m_entries))
        m_hostDevices->addItem(entry.caption());
    m_hostDevices->setCurrentRow(-1);
    m_hostDevices->blockSignals(false);
    m_vendor->setText(vendorId);
    m_product->setText(productId);
    m_name->setText(name);
    m_vendor->setFocus();
}

QString PhysicalUsbDeviceDialog::vendorId() const
{
    return m_vendor->text();
}

QString PhysicalUsbDeviceDialog::productId() const
{
    return m_product->text();
}

QString PhysicalUsbDeviceDialog::productName() const
{
    return m_name->text();
}

void PhysicalUsbDeviceDialog::hostDeviceChosen(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    const HostUsbEntry& entry = m_entries.at(row);
    m_vendor->setText(entry.vendorId);
    m_product->setText(entry.productId);
    m_name->setText(entry.name());
}
