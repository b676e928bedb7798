#include "media/ui/PhysicalDiskDialog.h"

#include "media/ui/ChoiceLayout.h"

#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

PhysicalDiskDialog::PhysicalDiskDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PhysicalDiskDialog"));
    setWindowTitle(QStringLiteral("Use Physical Drive"));
    QVBoxLayout* groupLayout = nullptr;
    m_disks = BuildChoiceLayout(*this, QStringLiteral("Physical Drive"),
                                QStringLiteral("physicalDriveGroup"),
                                QStringLiteral("Select Drive"), QStringLiteral("selectDriveLabel"),
                                QStringLiteral("diskList"), &groupLayout);
    m_disks->setMinimumWidth(260);
    m_diskManagement = new QPushButton(QStringLiteral("Open Disk Management"), this);
    m_diskManagement->setObjectName(QStringLiteral("diskManagementButton"));
    m_diskManagement->setAutoDefault(false);
    groupLayout->addWidget(m_diskManagement);
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
