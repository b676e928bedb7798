#include "media/ui/PhysicalDriveDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

PhysicalDriveDialog::PhysicalDriveDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PhysicalDriveDialog"));
    setWindowTitle(QStringLiteral("Select Physical Drive"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Physical Drive"), this);
    group->setObjectName(QStringLiteral("physicalDriveGroup"));
    auto* groupLayout = new QVBoxLayout(group);
    auto* label = new QLabel(QStringLiteral("Please select drive letter to use"), group);
    label->setObjectName(QStringLiteral("selectLetterLabel"));
    m_drives = new QComboBox(group);
    m_drives->setObjectName(QStringLiteral("driveList"));
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
