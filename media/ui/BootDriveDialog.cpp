#include "media/ui/BootDriveDialog.h"

#include "media/DriveEditing.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

BootDriveDialog::BootDriveDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BootDriveDialog"));
    setWindowTitle(QStringLiteral("Boot Options"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Boot Drive"), this);
    group->setObjectName(QStringLiteral("bootDriveGroup"));
    auto* groupLayout = new QVBoxLayout(group);
    auto* label = new QLabel(QStringLiteral("Boot From:"), group);
    label->setObjectName(QStringLiteral("bootFromLabel"));
    m_drives = new QComboBox(group);
    m_drives->setObjectName(QStringLiteral("driveList"));
    m_drives->addItems(DriveEditing::BootDrives());
    label->setBuddy(m_drives);
    groupLayout->addWidget(label);
    groupLayout->addWidget(m_drives);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void BootDriveDialog::start(int position)
{
    m_drives->setCurrentIndex(position);
}

int BootDriveDialog::position() const
{
    return m_drives->currentIndex();
}
