#include "media/ui/BootDriveDialog.h"

#include "media/DriveEditing.h"
#include "media/ui/ChoiceLayout.h"

#include <QComboBox>

BootDriveDialog::BootDriveDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BootDriveDialog"));
    setWindowTitle(QStringLiteral("Boot Options"));
    m_drives = BuildChoiceLayout(*this, QStringLiteral("Boot Drive"),
                                 QStringLiteral("bootDriveGroup"), QStringLiteral("Boot From:"),
                                 QStringLiteral("bootFromLabel"), QStringLiteral("driveList"));
    m_drives->addItems(DriveEditing::BootDrives());
}

void BootDriveDialog::start(int position)
{
    m_drives->setCurrentIndex(position);
}

int BootDriveDialog::position() const
{
    return m_drives->currentIndex();
}
