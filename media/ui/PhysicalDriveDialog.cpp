#include "media/ui/PhysicalDriveDialog.h"

#include "media/ui/ChoiceLayout.h"

#include <QComboBox>

PhysicalDriveDialog::PhysicalDriveDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PhysicalDriveDialog"));
    setWindowTitle(QStringLiteral("Select Physical Drive"));
    m_drives = BuildChoiceLayout(*this, QStringLiteral("Physical Drive"),
                                 QStringLiteral("physicalDriveGroup"),
                                 QStringLiteral("Please select drive letter to use"),
                                 QStringLiteral("selectLetterLabel"), QStringLiteral("driveList"));
}

void PhysicalDriveDialog::start(const QStringList& letters)
{
    m_drives->clear();
    m_drives->addItems(letters);
    m_drives->setCurrentIndex(letters.isEmpty() ? -1 : 0);
}

QString PhysicalDriveDialog::chosenDrive() const
{
    return m_drives->currentIndex() < 0 ? QString() : m_drives->currentText();
}
