#include "media/ui/PhysicalDiskDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PhysicalDiskDialog::PhysicalDiskDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PhysicalDiskDialog"));
    setWindowTitle(QStringLiteral("Use Physical Drive"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Physical Drive"), this);
    group->setObjectName(QStringLiteral("physicalDriveGroup"));
    auto* groupLayout = new QVBoxLayout(group);
    auto* label = new QLabel(QStringLiteral("Select Drive"), group);
    label->setObjectName(QStringLiteral("selectDriveLabel"));
    m_disks = new QComboBox(group);
    m_disks->setObjectName(QStringLiteral("diskList"));
    m_disks->setMinimumWidth(260);
    label->setBuddy(m_disks);
    m_diskManagement = new QPushButton(QStringLiteral("Open Disk Management"), group);
    m_diskManagement->setObjectName(QStringLiteral("diskManagementButton"));
    m_diskManagement->setAutoDefault(false);
    groupLayout->addWidget(label);
    groupLayout->addWidget(m_disks);
    groupLayout->addWidget(m_diskManagement);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_diskManagement, &QPushButton::clicked, this,
            &PhysicalDiskDialog::diskManagementRequested);
}

void PhysicalDiskDialog::start(const QStringList& entries)
{
    m_disks->clear();
    m_disks->addItems(entries);
    m_disks->setCurrentIndex(-1);
}

QString PhysicalDiskDialog::chosenEntry() const
{
    return m_disks->currentIndex() < 0 ? QString() : m_disks->currentText();
}
