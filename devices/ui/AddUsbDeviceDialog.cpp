#include "devices/ui/AddUsbDeviceDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

AddUsbDeviceDialog::AddUsbDeviceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add New USB Device"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Add new"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_items = new QButtonGroup(this);
    const QStringList captions = {QStringLiteral("USB Device on Host Computer"),
                                  QStringLiteral("New USB Hard Disk Image"),
                                  QStringLiteral("Existing USB Hard Disk Image"),
                                  QStringLiteral("Physical USB Hard Disk"),
                                  QStringLiteral("USB Mouse"),
                                  QStringLiteral("USB Keyboard"),
                                  QStringLiteral("USB Tablet")};
    for (int id = 0; id < captions.size(); ++id) {
        auto* button = new QRadioButton(captions.at(id), group);
        m_items->addButton(button, id);
        groupLayout->addWidget(button);
    }
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    start();
}

void AddUsbDeviceDialog::start()
{
    setChoice(HostDevice);
}

AddUsbDeviceDialog::Choice AddUsbDeviceDialog::choice() const
{
    const int id = m_items->checkedId();
    return id < 0 ? HostDevice : static_cast<Choice>(id);
}

void AddUsbDeviceDialog::setChoice(Choice choice)
{
    if (QAbstractButton* button = m_items->button(choice))
        button->setChecked(true);
}

QRadioButton* AddUsbDeviceDialog::item(Choice choice) const
{
    return qobject_cast<QRadioButton*>(m_items->button(choice));
}
